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

#include "BenchPeer.h"
#include "CodePageTable.h"
#include "CommandRuns.h"
#include "FileCommands.h"
#include "Payload.h"
#include "Profile.h"
#include "Reception.h"
#include "RunMeter.h"
#include "SessionController.h"
#include "SocketEndpoint.h"
#include "TranscriptCheck.h"
#include "WireTextEdit.h"
#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
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
        Profile::windowStarts();
        QTcpSocket *socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead,
                         [&received, socket] { received += socket->readAll().size(); });
        QObject::connect(socket, &QTcpSocket::disconnected, [&closed] { closed = true; });
    });
    RunMeter meter;
    PeerProcess peer(shape.name, mib, server.serverPort());
    const bool moved =
        runUntil([&] { return closed || peer.endedEarly(); }, [&] { return received; });
    Profile::windowEnds();
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

// Runs one measurement in a fresh process; with `profileDir`, under perf,
// into <profileDir>/<shape>-<MiB>.data.
ChildRun runInChild(const QString &shape, int mib, double limit, const QString &profileDir)
{
    QProcess run;
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QStringList arguments{QStringLiteral("--run"), shape, QString::number(mib),
                                QString::number(limit)};
    if (profileDir.isEmpty())
        run.start(QCoreApplication::applicationFilePath(), arguments);
    else
        run.start(QStringLiteral("perf"),
                  Profile::command(
                      QDir(profileDir).filePath(QStringLiteral("%1-%2.data").arg(shape).arg(mib)),
                      arguments));
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
        Profile::namePeer();
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
    Profile::takeFifos(args);
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
    // whose peak_rss_bytes_per_byte is over X fails, marked over_limit. With
    // --profile DIR, each run is sampled by perf over its measured window
    // alone (see Profile).
    int repeat = 1;
    double limit = 0;
    QString profileDir;
    while (args.size() >= 2 && args[0].startsWith(QLatin1String("--"))) {
        bool valid = true;
        if (args[0] == QLatin1String("--repeat")) {
            repeat = qMax(1, args[1].toInt());
        } else if (args[0] == QLatin1String("--limit")) {
            limit = args[1].toDouble(&valid);
            valid = valid && limit > 0;
        } else if (args[0] == QLatin1String("--profile")) {
            profileDir = args[1];
            valid = QDir().mkpath(profileDir);
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
            const ChildRun run = runInChild(shape, mib, limit, profileDir);
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
