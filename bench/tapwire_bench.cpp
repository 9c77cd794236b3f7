// Measures how fast what a peer sends reaches the transcript, how long the UI
// thread ever goes without serving a 10 ms timer, and what memory it costs.
// The peer is a process of its own (this program started with --peer), so
// every figure is what the program alone pays; each run is a process of its
// own too, so that one run's memory does not flatter the next. One line per
// run, in a form scripts read:
//   shape=<name> MiB=<n> seconds=<s> MBps=<x> max_stall_ms=<ms>
//   rss_bytes_per_byte=<x> peak_rss_bytes_per_byte=<x> exact=<yes|no>
//   [the run's own key=value fields] [over_limit]
// A run that ends with one operation on the full window (Save As, Copy,
// Select All, a triple click, switching to the dump and back) adds
// op_stall_ms, the longest the window went without handling events during
// that operation alone; max_stall_ms covers only the receiving before it.

#include "AppError.h"
#include "BenchPeer.h"
#include "CodePageTable.h"
#include "ErrorReport.h"
#include "FileCommands.h"
#include "Payload.h"
#include "RunMeter.h"
#include "SessionController.h"
#include "SocketEndpoint.h"
#include "TranscriptCheck.h"
#include "WireTextEdit.h"
#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace bench;

namespace {

struct Shape
{
    const char *name;
    Content content;
    // The program's side of the run.
    Figures (*run)(const Shape &shape, qint64 mib);
    // The peer's side, in its own process; none for a run without a peer.
    bool (*peer)(const QByteArray &payload, quint16 port);
    QList<int> defaultMiB;
    // Sets the window up before a receiving run listens.
    void (*prepare)(frmMain &window) = nullptr;
    // A receiving run over TLS: armed once listening, the peer a TLS client.
    bool tls = false;
};

// Listens on a free loopback port through the window's own controls.
quint16 listen(frmMain &window)
{
    window.findChild<QLineEdit *>(QStringLiteral("txtPort"))->setText(QStringLiteral("0"));
    window.findChild<QPushButton *>(QStringLiteral("cmdListen"))->click();
    QCoreApplication::processEvents();
    return quint16(window.wskWinSock()->LocalPort());
}

// A receiving run's window, set up and listening, and the transcript it
// fills from the peer.
class Reception
{
public:
    Reception(const Shape &shape, qint64 mib);

    // The peer sends the payload; the clock runs from the connection being
    // accepted until the transcript holds every byte and the close. Exact
    // here means that the peer did all it was there to do and closed.
    Figures receive(const RunMeter &meter);
    // receive(), then whether the transcript holds every byte exactly.
    Figures receiveChecked(const RunMeter &meter);
    // Whether the transcript holds the status lines and the payload, exactly.
    bool transcriptExact() const;

    frmMain window;
    WireTextEdit *transcript() const { return m_transcript; }
    const QElapsedTimer &clock() const { return m_clock; }
    qint64 bytes() const { return m_mib * MiB; }

private:
    const Shape &m_shape;
    qint64 m_mib;
    WireTextEdit *m_transcript;
    quint16 m_port = 0;
    QElapsedTimer m_clock;
    bool m_closed = false;
};

Reception::Reception(const Shape &shape, qint64 mib)
    : m_shape(shape), m_mib(mib),
      m_transcript(window.findChild<WireTextEdit *>(QStringLiteral("txtRecvData")))
{
    if (shape.prepare)
        shape.prepare(window);
    window.show();
    m_port = listen(window);
    if (shape.tls)
        window.mnuStartTLS->trigger();
    QObject::connect(window.wskWinSock(), &SocketEndpoint::connectionRequested, &window,
                     [this] { m_clock.start(); });
    QObject::connect(window.wskWinSock(), &SocketEndpoint::peerClosed, &window,
                     [this] { m_closed = true; });
}

Figures Reception::receive(const RunMeter &meter)
{
    PeerProcess peer(m_shape.name, m_mib, m_port);
    const bool moved = runUntil([&] { return m_closed || peer.endedEarly(); },
                                [this] { return m_transcript->textLength(); });
    QCoreApplication::processEvents();
    Figures figures = meter.stop(m_clock);
    figures.exact = moved && peer.finish() && m_closed;
    return figures;
}

Figures Reception::receiveChecked(const RunMeter &meter)
{
    Figures figures = receive(meter);
    figures.exact = figures.exact && transcriptExact();
    return figures;
}

bool Reception::transcriptExact() const
{
    return transcriptHolds(BoxText(m_transcript), Payload(m_shape.content, bytes()), m_shape.tls);
}

QByteArray field(const char *key, double value)
{
    return QByteArray(" ") + key + '=' + QByteArray::number(value, 'f', 3);
}

// What remembering where each character came from costs: the spans, and
// their memory per byte received.
Figures runReceive(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receiveChecked(meter);
    const OriginSpans &origins = reception.transcript()->document().origins();
    figures.more +=
        " origin_spans=" + QByteArray::number(origins.spanCount()) +
        field("origin_bytes_per_byte", double(origins.memoryBytes()) / double(reception.bytes()));
    return figures;
}

// After receiving, a user types 中, which the code page has no byte for, in
// the middle of the transcript, as an input method delivers it. The peak
// covers the receiving and the typing. The character is then taken out
// again, so that the usual check applies.
Figures runWiden(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receive(meter);
    WireTextEdit *transcript = reception.transcript();
    const qsizetype size = transcript->textLength();
    transcript->setCursorPosition(size / 2);
    const qsizetype at = transcript->cursorPosition();
    const QChar wide(0x4E2D);
    QInputMethodEvent typing;
    typing.setCommitString(wide);
    QCoreApplication::sendEvent(transcript, &typing);
    QCoreApplication::processEvents();
    const Figures typed = meter.stop(reception.clock());
    figures.residentGrowth = typed.residentGrowth;
    figures.peakGrowth = typed.peakGrowth;
    const bool inserted =
        transcript->textLength() == size + 1 && transcript->document().at(at) == wide;
    transcript->document().edit(at, at + 1, QString(), WireDocument::EditKind::Other);
    figures.exact = figures.exact && inserted && reception.transcriptExact();
    return figures;
}

// After receiving, the transcript's Clear button, then what is resident
// compared with before the data came. It should all have gone back.
Figures runClear(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receiveChecked(meter);
    reception.window.findChild<QPushButton *>(QStringLiteral("cmdRecvDataC"))->click();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    const double left = double(meter.stop(reception.clock()).residentGrowth) / MiB;
    figures.exact = figures.exact && reception.transcript()->textLength() == 0;
    figures.overLimit = left > 32;
    figures.more = field("rss_after_clear_minus_before_MiB", left);
    return figures;
}

void pressWithControl(QWidget *widget, Qt::Key key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::ControlModifier);
    QCoreApplication::sendEvent(widget, &release);
}

// An operation's own fields: its longest stall, and its time as `name`.
// Past 100 ms without handling events the window has frozen: the run fails.
QByteArray operationFields(const char *name, const OperationFigures &operation, Figures &figures)
{
    figures.exact = figures.exact && operation.finished;
    figures.overLimit = figures.overLimit || operation.stallMs > 100;
    return " op_stall_ms=" + QByteArray::number(operation.stallMs) + field(name, operation.seconds);
}

// After receiving, Select All with the transcript's keys, until the whole
// text is selected.
Figures runSelectAll(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receiveChecked(meter);
    WireTextEdit *transcript = reception.transcript();
    const qsizetype size = transcript->textLength();
    const OperationFigures selecting = measureOperation(
        [&] { pressWithControl(transcript, Qt::Key_A); },
        [&] { return transcript->selectionEnd() - transcript->selectionStart() == size; });
    figures.more = operationFields("select_seconds", selecting, figures);
    return figures;
}

// After receiving, Select All, then Copy with the transcript's keys, until
// the clipboard offers text; then the clipboard is read back whole, as a
// paste would, and its length and 65 characters spread over it are checked.
// The clipboard's copy is not in the run's own memory figures; what the
// copying raised the peak by is a field of its own.
Figures runCopy(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receiveChecked(meter);
    WireTextEdit *transcript = reception.transcript();
    pressWithControl(transcript, Qt::Key_A);
    QCoreApplication::processEvents();
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    RunMeter copyMeter;
    const OperationFigures copying =
        measureOperation([&] { pressWithControl(transcript, Qt::Key_C); },
                         [&] { return clipboard->mimeData() && clipboard->mimeData()->hasText(); });
    const Figures copied = copyMeter.stop(QElapsedTimer());
    QElapsedTimer reading;
    reading.start();
    const QString text = clipboard->text();
    const double readSeconds = reading.nsecsElapsed() / 1e9;
    const qsizetype size = transcript->textLength();
    bool same = text.size() == size;
    for (int i = 0; same && i <= 64; ++i) {
        const qsizetype at = (size - 1) * i / 64;
        same = text.at(at) == transcript->document().at(at);
    }
    figures.exact = figures.exact && same;
    figures.more = operationFields("copy_seconds", copying, figures) +
                   field("copy_peak_raise_MiB", double(copied.peakGrowth) / MiB) +
                   field("read_back_seconds", readSeconds);
    return figures;
}

// After receiving, Save As to a new file, as the menu does once the dialog
// has its name, until the file is there or an error is reported. The peak is
// lowered just before, so that its raise is the saving's own; the file must
// hold the transcript's bytes exactly.
Figures runSave(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receiveChecked(meter);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("transcript.bin"));
    bool failed = false;
    const ErrorReport::Sink shown = ErrorReport::setSink([&failed](const AppError &error) {
        std::fprintf(stderr, "tapwire_bench: %s\n", qPrintable(error.description()));
        failed = true;
    });
    RunMeter saveMeter;
    const OperationFigures saving = measureOperation(
        ErrorReport::guarded([&] { reception.window.files()->saveTranscript(path); }),
        [&] { return failed || QFileInfo::exists(path); });
    const Figures saved = saveMeter.stop(QElapsedTimer());
    ErrorReport::setSink(shown);
    const double raise = double(saved.peakGrowth) / MiB;
    figures.exact =
        figures.exact && !failed &&
        transcriptHolds(FileText(path), Payload(shape.content, reception.bytes()), shape.tls);
    figures.overLimit = raise > 64;
    figures.more =
        operationFields("save_seconds", saving, figures) + field("save_peak_raise_MiB", raise);
    return figures;
}

void sendMouse(QWidget *viewport, QEvent::Type type, const QPoint &point)
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, point, viewport->mapToGlobal(point), Qt::LeftButton, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &event);
}

// After a `noline` receive, whose payload and closing line are one line, a
// double click in the middle of it and a third click, until the line is
// selected, to and with its line end.
Figures runTripleClick(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receiveChecked(meter);
    WireTextEdit *transcript = reception.transcript();
    const qsizetype size = transcript->textLength();
    const qsizetype lineStart =
        transcript->document().text(0, 1024).indexOf(QStringLiteral(").\r\n")) + 4;
    const qsizetype middle = (lineStart + size) / 2;
    transcript->ensureVisible(middle);
    QCoreApplication::processEvents();
    const QPoint point = transcript->characterRect(middle).center();
    QWidget *viewport = transcript->viewport();
    sendMouse(viewport, QEvent::MouseButtonPress, point);
    sendMouse(viewport, QEvent::MouseButtonRelease, point);
    sendMouse(viewport, QEvent::MouseButtonDblClick, point);
    sendMouse(viewport, QEvent::MouseButtonRelease, point);
    const OperationFigures selecting = measureOperation(
        [&] {
            sendMouse(viewport, QEvent::MouseButtonPress, point);
            sendMouse(viewport, QEvent::MouseButtonRelease, point);
        },
        [&] {
            return transcript->selectionStart() == lineStart && transcript->selectionEnd() == size;
        });
    figures.more = operationFields("select_seconds", selecting, figures);
    return figures;
}

// After receiving, the transcript shown as its dump and then as text again,
// each until its rows are all known.
Figures runHexSwitch(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receiveChecked(meter);
    WireTextEdit *transcript = reception.transcript();
    const OperationFigures toDump = measureOperation(
        [&] { transcript->setHexShown(true); },
        [&] { return transcript->hexRows().rowCount() == transcript->textLength() / 16 + 1; });
    const OperationFigures toText = measureOperation(
        [&] { transcript->setHexShown(false); },
        [&] { return !transcript->isHexShown() && transcript->rows().isComplete(); });
    OperationFigures both = toDump;
    both.finished = toDump.finished && toText.finished;
    both.stallMs = qMax(toDump.stallMs, toText.stallMs);
    both.seconds = toDump.seconds + toText.seconds;
    figures.more = operationFields("switch_seconds", both, figures) +
                   " to_dump_stall_ms=" + QByteArray::number(toDump.stallMs) +
                   " to_text_stall_ms=" + QByteArray::number(toText.stallMs);
    return figures;
}

// The payload in the outgoing box sent with one click, until the peer has
// all of it; the peer checks every byte and closes.
Figures runSend(const Shape &shape, qint64 mib)
{
    frmMain window;
    window.show();
    {
        QString text;
        text.reserve(mib * MiB);
        for (Payload payload(shape.content, mib * MiB); payload.left() > 0;)
            text += CodePageTable::decode(payload.next(pieceSize));
        window.findChild<WireTextEdit *>(QStringLiteral("txtSendData"))->setText(text);
    }
    const quint16 port = listen(window);
    bool closed = false;
    QObject::connect(window.wskWinSock(), &SocketEndpoint::peerClosed, &window,
                     [&closed] { closed = true; });
    auto *sendButton = window.findChild<QPushButton *>(QStringLiteral("cmdSendData"));
    PeerProcess peer(shape.name, mib, port);
    bool moved =
        runUntil([&] { return sendButton->isEnabled() || peer.endedEarly(); }, [] { return 0; });

    RunMeter meter;
    QElapsedTimer clock;
    clock.start();
    if (moved)
        sendButton->click();
    // What the socket has yet to send shrinks while the peer takes it.
    const auto unsent = [&window] {
        const auto *socket = window.wskWinSock()->findChild<QAbstractSocket *>();
        return socket ? socket->bytesToWrite() : -1;
    };
    moved = moved && runUntil([&] { return closed || peer.endedEarly(); }, unsent);
    Figures figures = meter.stop(clock);
    figures.exact = moved && peer.finish() && closed;
    return figures;
}

// A file opened into the outgoing box, as its context menu does, until every
// byte is in the box and laid out.
Figures runOpen(const Shape &shape, qint64 mib)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("payload.bin"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    for (Payload payload(shape.content, mib * MiB); payload.left() > 0;) {
        const QByteArray piece = payload.next(pieceSize);
        if (file.write(piece) != piece.size())
            return {};
    }
    file.close();

    frmMain window;
    window.show();
    auto *outgoing = window.findChild<WireTextEdit *>(QStringLiteral("txtSendData"));
    const BoxText box(outgoing);
    QCoreApplication::processEvents();
    RunMeter meter;
    QElapsedTimer clock;
    clock.start();
    window.files()->openFile(path);
    const bool moved =
        runUntil([&] { return box.size() == mib * MiB && outgoing->rows().isComplete(); },
                 [&] { return box.size() + outgoing->rows().knownRows(); });
    Figures figures = meter.stop(clock);
    figures.exact = moved && holdsFrom(box, 0, Payload(shape.content, mib * MiB));
    return figures;
}

// The same peer into a plain socket that discards what it reads: what
// loopback and Qt's socket give before the window does anything.
Figures runDiscard(const Shape &shape, qint64 mib)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    QElapsedTimer clock;
    qint64 received = 0;
    bool closed = false;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        clock.start();
        QTcpSocket *socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead,
                         [&received, socket] { received += socket->readAll().size(); });
        QObject::connect(socket, &QTcpSocket::disconnected, [&closed] { closed = true; });
    });
    RunMeter meter;
    PeerProcess peer(shape.name, mib, server.serverPort());
    const bool moved =
        runUntil([&] { return closed || peer.endedEarly(); }, [&] { return received; });
    Figures figures = meter.stop(clock);
    figures.exact = moved && peer.finish() && received == mib * MiB;
    return figures;
}

// Received while Record Session writes a file, as the menu does once the
// dialog has its name; the file must hold every byte the peer sent, in order,
// and the recording must still run.
Figures runRecord(const Shape &shape, qint64 mib)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.pcapng"));
    Reception reception(shape, mib);
    SessionController *session = reception.window.session();
    session->startRecording(path);
    RunMeter meter;
    Figures figures = reception.receiveChecked(meter);
    const bool recording = session->recorder().isRecording();
    session->stopRecording();
    const RecordedText recorded(path);
    figures.exact = figures.exact && recording && recorded.size() == reception.bytes() &&
                    holdsFrom(recorded, 0, Payload(shape.content, reception.bytes()));
    figures.more = field("file_MiB", double(QFileInfo(path).size()) / MiB);
    return figures;
}

// The transcript shown as a hex dump of the same text.
void showHex(frmMain &window)
{
    window.findChild<WireTextEdit *>(QStringLiteral("txtRecvData"))->setHexShown(true);
}

// The transcript with the time of each line beside it.
void showTimes(frmMain &window)
{
    window.findChild<WireTextEdit *>(QStringLiteral("txtRecvData"))->setTimesShown(true);
}

// Every run there is. A new one is a row here: what the peer's bytes look
// like, the program's side and the peer's side, the sizes `make bench` runs
// by default, and, for a receiving run that needs the window set up first
// (an option turned on, a view shown), a hook that does it.
const Shape shapes[] = {
    {"noline", Content::Printable, runReceive, sendPayload, {4, 64, 256}},
    {"lines80", Content::Lines80, runReceive, sendPayload, {4, 64, 256}},
    {"binary", Content::Binary, runReceive, sendPayload, {4, 64, 256}},
    {"trickle", Content::Binary, runReceive, tricklePayload, {1}},
    {"hex", Content::Binary, runReceive, sendPayload, {64}, showHex},
    {"record", Content::Binary, runRecord, sendPayload, {64}},

    {"times", Content::Binary, runReceive, sendPayload, {64}, showTimes},
    {"tls", Content::Binary, runReceive, sendPayloadTls, {64}, nullptr, true},
    {"baseline", Content::Binary, runDiscard, sendPayload, {64}},
    {"send", Content::Lines80, runSend, takePayload, {16}},
    {"open", Content::Binary, runOpen, nullptr, {64}},
    {"widen", Content::Printable, runWiden, sendPayload, {64}},
    {"clear", Content::Printable, runClear, sendPayload, {64}},
    {"copy", Content::Binary, runCopy, sendPayload, {}},
    {"save", Content::Binary, runSave, sendPayload, {}},
    {"selectall", Content::Binary, runSelectAll, sendPayload, {}},
    {"tripleclick", Content::Printable, runTripleClick, sendPayload, {}},
    {"hexswitch", Content::Binary, runHexSwitch, sendPayload, {}},
};

const Shape *findShape(const QString &name)
{
    for (const Shape &shape : shapes) {
        if (name == QLatin1String(shape.name))
            return &shape;
    }
    return nullptr;
}

void printRun(const Shape &shape, qint64 mib, const Figures &figures)
{
    const double bytes = double(mib * MiB);
    std::printf("shape=%s MiB=%lld seconds=%.3f MBps=%.1f max_stall_ms=%lld "
                "rss_bytes_per_byte=%.2f peak_rss_bytes_per_byte=%.2f exact=%s%s%s\n",
                shape.name, mib, figures.seconds, bytes / 1e6 / figures.seconds, figures.stallMs,
                double(figures.residentGrowth) / bytes, double(figures.peakGrowth) / bytes,
                figures.exact ? "yes" : "no", figures.more.constData(),
                figures.overLimit ? " over_limit" : "");
}

struct ChildRun
{
    QByteArray line;
    bool passed;
};

// Runs one measurement in a fresh process.
ChildRun runInChild(const QString &shape, int mib, double limit)
{
    QProcess run;
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    run.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--run"), shape, QString::number(mib), QString::number(limit)});
    run.waitForFinished(-1);
    return {run.readAllStandardOutput().trimmed(),
            run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0};
}

double secondsOf(const QByteArray &line)
{
    const qsizetype at = line.indexOf("seconds=") + 8;
    return line.mid(at, line.indexOf(' ', at) - at).toDouble();
}

} // namespace

int main(int argc, char *argv[])
{
    // tapwire_bench --peer SHAPE MiB PORT: the peer of one run, with no window.
    if (argc == 5 && std::strcmp(argv[1], "--peer") == 0) {
        const Shape *shape = findShape(QString::fromLatin1(argv[2]));
        if (!shape || !shape->peer)
            return 1;
        return servePeer(shape->peer, shape->content, std::atoll(argv[3]),
                         quint16(std::atoi(argv[4])))
                   ? 0
                   : 1;
    }
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    // tapwire_bench --run SHAPE MiB LIMIT: one measurement in this process.
    if (args.size() == 4 && args[0] == QLatin1String("--run")) {
        const Shape *shape = findShape(args[1]);
        const qint64 mib = args[2].toLongLong();
        const double limit = args[3].toDouble();
        if (!shape || mib <= 0)
            return 2;
        Figures figures = shape->run(*shape, mib);
        if (limit > 0 && double(figures.peakGrowth) / double(mib * MiB) > limit)
            figures.overLimit = true;
        printRun(*shape, mib, figures);
        return figures.exact && !figures.overLimit ? 0 : 1;
    }
    // tapwire_bench [--repeat N] [--limit X] [shape:MiB ...]: every default
    // run (or those named), each in a fresh process; with --repeat, each N
    // times, and the run with the median time is printed. With --limit, a run
    // whose peak_rss_bytes_per_byte is over X fails, marked over_limit.
    int repeat = 1;
    double limit = 0;
    while (args.size() >= 2 && args[0].startsWith(QLatin1String("--"))) {
        bool valid = true;
        if (args[0] == QLatin1String("--repeat")) {
            repeat = qMax(1, args[1].toInt());
        } else if (args[0] == QLatin1String("--limit")) {
            limit = args[1].toDouble(&valid);
            valid = valid && limit > 0;
        } else {
            valid = false;
        }
        if (!valid) {
            std::fprintf(stderr, "tapwire_bench: %s %s?\n", qPrintable(args[0]),
                         qPrintable(args[1]));
            return 2;
        }
        args = args.mid(2);
    }
    QList<QPair<QString, int>> runs;
    for (const QString &arg : args) {
        const QString name = arg.section(u':', 0, 0);
        const int mib = arg.section(u':', 1).toInt();
        if (!findShape(name) || mib <= 0) {
            std::fprintf(stderr, "tapwire_bench: no run %s; runs are SHAPE:MiB, SHAPE one of",
                         qPrintable(arg));
            for (const Shape &shape : shapes)
                std::fprintf(stderr, " %s", shape.name);
            std::fputs("\n", stderr);
            return 2;
        }
        runs.append({name, mib});
    }
    if (runs.isEmpty()) {
        for (const Shape &shape : shapes) {
            for (const int mib : shape.defaultMiB)
                runs.append({QString::fromLatin1(shape.name), mib});
        }
    }
    int failures = 0;
    for (const auto &[shape, mib] : runs) {
        QList<QByteArray> lines;
        for (int i = 0; i < repeat; ++i) {
            const ChildRun run = runInChild(shape, mib, limit);
            if (!run.passed) {
                std::printf("%s failed\n",
                            run.line.isEmpty()
                                ? qPrintable(QStringLiteral("shape=%1 MiB=%2").arg(shape).arg(mib))
                                : run.line.constData());
                ++failures;
                break;
            }
            lines.append(run.line);
        }
        if (lines.size() == repeat) {
            std::sort(lines.begin(), lines.end(), [](const QByteArray &a, const QByteArray &b) {
                return secondsOf(a) < secondsOf(b);
            });
            std::printf("%s%s\n", lines[lines.size() / 2].constData(),
                        repeat > 1 ? qPrintable(QStringLiteral(" median_of=%1").arg(repeat)) : "");
        }
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
