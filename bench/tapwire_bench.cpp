// Measures how fast what a peer sends reaches the transcript, how long the UI
// thread ever goes without serving a 10 ms timer, and what memory it costs.
// The peer is a process of its own (this program started with --peer), so
// every figure is what the program alone pays; each run is a process of its
// own too, so that one run's memory does not flatter the next. One line per
// run, in a form scripts read:
//   shape=<name> MiB=<n> seconds=<s> MBps=<x> max_stall_ms=<ms>
//   rss_bytes_per_byte=<x> peak_rss_bytes_per_byte=<x> exact=<yes|no>

#include "CodePage1252.h"
#include "FileCommands.h"
#include "SocketEndpoint.h"
#include "WireTextEdit.h"
#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/ssl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr qint64 MiB = 1024 * 1024;
// What the peer hands its socket, and the check compares, at a time.
constexpr qint64 pieceSize = MiB;

enum class Content { Printable, Lines80, Binary };

// The bytes of a run, made the same way every time from one seed, a piece at
// a time, so that the check can make them again beside what arrived without
// holding them whole.
class Payload
{
public:
    Payload(Content content, qint64 size) : m_content(content), m_size(size) {}
    qint64 left() const { return m_size - m_position; }
    QByteArray next(qint64 most)
    {
        QByteArray piece(qMin(most, left()), Qt::Uninitialized);
        for (char &byte : piece)
            byte = nextByte();
        return piece;
    }

private:
    char nextByte()
    {
        const qint64 at = m_position++;
        if (m_content == Content::Lines80 && at % 80 >= 78)
            return at % 80 == 78 ? '\r' : '\n';
        m_seed = m_seed * 1664525u + 1013904223u;
        const quint32 random = m_seed >> 24;
        return char(m_content == Content::Binary ? random : 0x20 + random % 95);
    }

    Content m_content;
    qint64 m_size;
    qint64 m_position = 0;
    quint32 m_seed = 12345;
};

// The one way the bench reads a box's text: its length, and a range of it at
// a time, never a second copy of the whole.
class BoxText
{
public:
    explicit BoxText(const WireTextEdit *box) : m_box(box) {}
    qsizetype size() const { return m_box->textLength(); }
    QString range(qsizetype from, qsizetype length) const
    {
        return m_box->document().text(from, from + length);
    }

private:
    const WireTextEdit *m_box;
};

// Whether the box holds what is left of `payload` from `from` on.
bool holdsFrom(const BoxText &box, qsizetype from, Payload payload)
{
    for (qsizetype at = from; payload.left() > 0;) {
        const QString expected = CodePage1252::decode(payload.next(pieceSize));
        if (box.range(at, expected.size()) != expected)
            return false;
        at += expected.size();
    }
    return true;
}

// The transcript of one accepted connection: its status lines (those of the
// handshake too, over TLS), every byte the peer sent, and the closing line.
bool transcriptHolds(const BoxText &transcript, const Payload &payload, bool tls)
{
    const QString head = transcript.range(0, 1024);
    const QString closedLine = QStringLiteral("CLOSED.\r\n");
    const QString first = tls ? QStringLiteral("TLS ARMED.\r\nCONNECTION ACCEPTED (")
                              : QStringLiteral("CONNECTION ACCEPTED (");
    const QString last = tls ? QStringLiteral("\r\nOUR CERTIFICATE (") : first;
    const qsizetype lastAt = head.indexOf(last);
    const qsizetype headEnd = lastAt < 0 ? -1 : head.indexOf(QStringLiteral(").\r\n"), lastAt);
    if (!head.startsWith(first) || headEnd < 0)
        return false;
    const qsizetype dataStart = headEnd + 4;
    const qsizetype dataEnd = dataStart + payload.left();
    return transcript.size() == dataEnd + closedLine.size() &&
           transcript.range(dataEnd, closedLine.size()) == closedLine &&
           holdsFrom(transcript, dataStart, payload);
}

qint64 residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    qint64 pages = 0;
    qint64 resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

qint64 peakResidentBytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atoll(line.c_str() + 6) * 1024;
    }
    return 0;
}

// The longest the UI thread went without serving a 10 ms timer.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_timer.setInterval(10);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, this,
                         [this] { m_maxGapMs = qMax(m_maxGapMs, m_sinceLast.restart()); });
        m_sinceLast.start();
        m_timer.start();
    }
    qint64 maxStallMs() const { return qMax<qint64>(0, m_maxGapMs - 10); }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    qint64 m_maxGapMs = 0;
};

struct Figures
{
    double seconds = 0;
    qint64 stallMs = 0;
    qint64 residentGrowth = 0;
    qint64 peakGrowth = 0;
    bool exact = false;
};

// What a run costs from the meter's start until stop(): stalls, the growth of
// resident memory at the end and the growth of its peak. The peak is first
// lowered to what is resident, so that setting the run up does not hide the
// run's own peak. The time is the caller's clock, which starts where the run's
// work does.
class RunMeter
{
public:
    RunMeter()
    {
        std::ofstream clearRefs("/proc/self/clear_refs");
        clearRefs << "5";
        clearRefs.close();
        if (!clearRefs)
            std::fputs("tapwire_bench: cannot reset the peak; peak growth reads low\n", stderr);
        m_resident = residentBytes();
        m_peak = peakResidentBytes();
    }
    Figures stop(const QElapsedTimer &clock) const
    {
        Figures figures;
        figures.seconds = clock.isValid() ? clock.nsecsElapsed() / 1e9 : 0;
        figures.stallMs = m_stalls.maxStallMs();
        figures.residentGrowth = residentBytes() - m_resident;
        figures.peakGrowth = peakResidentBytes() - m_peak;
        return figures;
    }

private:
    qint64 m_resident = 0;
    qint64 m_peak = 0;
    StallMeter m_stalls;
};

// The peer of one run: this program again, with --peer, connecting to `port`
// on loopback.
class PeerProcess
{
public:
    PeerProcess(const char *shape, qint64 mib, quint16 port)
    {
        QObject::connect(&m_process, &QProcess::finished, [this] { m_ended = true; });
        QObject::connect(&m_process, &QProcess::errorOccurred, [this] { m_ended = true; });
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--peer"), QString::fromLatin1(shape), QString::number(mib),
                         QString::number(port)});
    }
    // Ended before the run did: it failed, or the run will not end.
    bool endedEarly() const { return m_ended && !succeeded(); }
    // Waits for the peer to end; whether it did all it was there to do.
    bool finish()
    {
        if (m_process.state() != QProcess::NotRunning)
            m_process.waitForFinished(-1);
        if (!succeeded())
            std::fputs("tapwire_bench: the peer failed\n", stderr);
        return succeeded();
    }

private:
    bool succeeded() const
    {
        return m_process.error() == QProcess::UnknownError &&
               m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

    QProcess m_process;
    bool m_ended = false;
};

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

// The peer sends the payload; the clock runs from the connection being
// accepted until the transcript holds every byte and the close.
Figures runReceive(const Shape &shape, qint64 mib)
{
    frmMain window;
    if (shape.prepare)
        shape.prepare(window);
    window.show();
    const quint16 port = listen(window);
    if (shape.tls)
        window.mnuStartTLS->trigger();
    QElapsedTimer clock;
    bool closed = false;
    QObject::connect(window.wskWinSock(), &SocketEndpoint::connectionRequested, &window,
                     [&clock] { clock.start(); });
    QObject::connect(window.wskWinSock(), &SocketEndpoint::peerClosed, &window,
                     [&closed] { closed = true; });

    RunMeter meter;
    PeerProcess peer(shape.name, mib, port);
    while (!closed && !peer.endedEarly())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    Figures figures = meter.stop(clock);
    const BoxText transcript(window.findChild<WireTextEdit *>(QStringLiteral("txtRecvData")));
    figures.exact = peer.finish() && closed &&
                    transcriptHolds(transcript, Payload(shape.content, mib * MiB), shape.tls);
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
            text += CodePage1252::decode(payload.next(pieceSize));
        window.findChild<WireTextEdit *>(QStringLiteral("txtSendData"))->setText(text);
    }
    const quint16 port = listen(window);
    bool closed = false;
    QObject::connect(window.wskWinSock(), &SocketEndpoint::peerClosed, &window,
                     [&closed] { closed = true; });
    auto *sendButton = window.findChild<QPushButton *>(QStringLiteral("cmdSendData"));
    PeerProcess peer(shape.name, mib, port);
    while (!sendButton->isEnabled() && !peer.endedEarly())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    RunMeter meter;
    QElapsedTimer clock;
    clock.start();
    sendButton->click();
    while (!closed && !peer.endedEarly())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    Figures figures = meter.stop(clock);
    figures.exact = peer.finish() && closed;
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
    while (box.size() != mib * MiB || !outgoing->rows().isComplete())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    Figures figures = meter.stop(clock);
    figures.exact = holdsFrom(box, 0, Payload(shape.content, mib * MiB));
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
    while (!closed && !peer.endedEarly())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    Figures figures = meter.stop(clock);
    figures.exact = peer.finish() && received == mib * MiB;
    return figures;
}

int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Peer: sends the payload as fast as the socket takes it, then closes.
bool sendPayload(const QByteArray &payload, quint16 port)
{
    const int fd = connectTo(port);
    bool whole = fd >= 0;
    for (qint64 sent = 0; whole && sent < payload.size();) {
        const ssize_t n = ::send(fd, payload.constData() + sent,
                                 size_t(qMin(pieceSize, payload.size() - sent)), MSG_NOSIGNAL);
        whole = n > 0;
        sent += n;
    }
    if (fd >= 0)
        ::close(fd);
    return whole;
}

// Peer: sends the payload inside TLS (not checking the certificate) with
// blocking writes straight from OpenSSL to the socket, as the plain peer
// does, then closes TLS with close_notify and the connection. Before it
// closes it reads what the server sent (its session tickets): closing with
// bytes unread would reset the connection and lose the payload's end.
bool sendPayloadTls(const QByteArray &payload, quint16 port)
{
    const int fd = connectTo(port);
    SSL_CTX *context = SSL_CTX_new(TLS_client_method());
    SSL *tls = context && fd >= 0 ? SSL_new(context) : nullptr;
    bool whole = tls && SSL_set_fd(tls, fd) == 1 && SSL_connect(tls) == 1;
    for (qint64 sent = 0; whole && sent < payload.size();) {
        const int n =
            SSL_write(tls, payload.constData() + sent, int(qMin(pieceSize, payload.size() - sent)));
        whole = n > 0;
        sent += n;
    }
    if (whole) {
        char discard[4096];
        int unread = 0;
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        while ((::ioctl(fd, FIONREAD, &unread) == 0 && unread > 0) || SSL_pending(tls) > 0)
            SSL_read(tls, discard, sizeof discard);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        whole = SSL_shutdown(tls) >= 0;
    }
    SSL_free(tls);
    SSL_CTX_free(context);
    if (fd >= 0)
        ::close(fd);
    return whole;
}

// Peer: reads the payload, checking every byte, and closes once it has all.
bool takePayload(const QByteArray &payload, quint16 port)
{
    const int fd = connectTo(port);
    bool exact = fd >= 0;
    std::vector<char> buffer(pieceSize);
    for (qint64 received = 0; exact && received < payload.size();) {
        const ssize_t n =
            ::recv(fd, buffer.data(), size_t(qMin(pieceSize, payload.size() - received)), 0);
        exact = n > 0 && std::memcmp(payload.constData() + received, buffer.data(), size_t(n)) == 0;
        received += n;
    }
    if (fd >= 0)
        ::close(fd);
    return exact;
}

// The transcript shown as a hex dump of the same text.
void showHex(frmMain &window)
{
    window.findChild<WireTextEdit *>(QStringLiteral("txtRecvData"))->setHexShown(true);
}

// Every run there is. A new one is a row here: what the peer's bytes look
// like, the program's side and the peer's side, the sizes `make bench` runs
// by default, and, for a receiving run that needs the window set up first
// (an option turned on, a view shown), a hook that does it.
const Shape shapes[] = {
    {"noline", Content::Printable, runReceive, sendPayload, {4, 64, 256}},
    {"lines80", Content::Lines80, runReceive, sendPayload, {4, 64, 256}},
    {"binary", Content::Binary, runReceive, sendPayload, {4, 64, 256}},
    {"hex", Content::Binary, runReceive, sendPayload, {64}, showHex},
    {"tls", Content::Binary, runReceive, sendPayloadTls, {64}, nullptr, true},
    {"baseline", Content::Binary, runDiscard, sendPayload, {64}},
    {"send", Content::Lines80, runSend, takePayload, {16}},
    {"open", Content::Binary, runOpen, nullptr, {64}},
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
                "rss_bytes_per_byte=%.2f peak_rss_bytes_per_byte=%.2f exact=%s\n",
                shape.name, mib, figures.seconds, bytes / 1e6 / figures.seconds, figures.stallMs,
                double(figures.residentGrowth) / bytes, double(figures.peakGrowth) / bytes,
                figures.exact ? "yes" : "no");
}

struct ChildRun
{
    QByteArray line;
    bool passed;
};

// Runs one measurement in a fresh process.
ChildRun runInChild(const QString &shape, int mib)
{
    QProcess run;
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    run.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--run"), shape, QString::number(mib)});
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
    // It makes the whole payload before it connects, so that making it is
    // neither timed nor in the way of the run; that memory is the peer's own.
    if (argc == 5 && std::strcmp(argv[1], "--peer") == 0) {
        const Shape *shape = findShape(QString::fromLatin1(argv[2]));
        if (!shape || !shape->peer)
            return 1;
        const qint64 bytes = std::atoll(argv[3]) * MiB;
        return shape->peer(Payload(shape->content, bytes).next(bytes), quint16(std::atoi(argv[4])))
                   ? 0
                   : 1;
    }
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    // tapwire_bench --run SHAPE MiB: one measurement in this process.
    if (args.size() == 3 && args[0] == QLatin1String("--run")) {
        const Shape *shape = findShape(args[1]);
        const qint64 mib = args[2].toLongLong();
        if (!shape || mib <= 0)
            return 2;
        const Figures figures = shape->run(*shape, mib);
        printRun(*shape, mib, figures);
        return figures.exact ? 0 : 1;
    }
    // tapwire_bench [--repeat N] [shape:MiB ...]: every default run (or those
    // named), each in a fresh process; with --repeat, each N times, and the
    // run with the median time is printed.
    int repeat = 1;
    if (args.size() >= 2 && args[0] == QLatin1String("--repeat")) {
        repeat = qMax(1, args[1].toInt());
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
            const ChildRun run = runInChild(shape, mib);
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
