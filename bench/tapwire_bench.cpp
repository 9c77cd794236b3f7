// Measures how fast what a peer sends reaches the transcript, how long the UI
// thread ever goes without serving a 10 ms timer, and what memory it costs.
// Each run is a child process of its own so that one run's memory does not
// flatter the next. One line per run, in a form scripts read:
//   shape=<name> MiB=<n> seconds=<s> MBps=<x> max_stall_ms=<ms> rss_bytes_per_byte=<x>
//   exact=<yes|no>

#include "CodePage1252.h"
#include "FileCommands.h"
#include "SocketEndpoint.h"
#include "WireTextEdit.h"
#include "frmMain.h"

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
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

namespace {

constexpr qint64 MiB = 1024 * 1024;

// Deterministic content for each shape.
QByteArray makePayload(const QString &shape, qint64 size)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 24;
    };
    const bool binary = shape == QLatin1String("binary");
    const bool lines = shape == QLatin1String("lines80");
    for (qint64 i = 0; i < size; ++i) {
        if (binary) {
            data[i] = char(next());
        } else if (lines && i % 80 >= 78) {
            data[i] = i % 80 == 78 ? '\r' : '\n';
        } else {
            data[i] = char(0x20 + next() % 95);
        }
    }
    return data;
}

qint64 residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    qint64 pages = 0;
    qint64 resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// Sends `data` to 127.0.0.1:port from its own thread with blocking writes, then
// closes, so the UI thread only ever receives.
std::thread startSender(quint16 port, const QByteArray &data)
{
    return std::thread([port, &data] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            ::close(fd);
            return;
        }
        for (qint64 sent = 0; sent < data.size();) {
            const ssize_t n = ::send(fd, data.constData() + sent, size_t(data.size() - sent), 0);
            if (n <= 0)
                break;
            sent += n;
        }
        ::close(fd);
    });
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

void printRun(const QString &shape, qint64 mib, double seconds, qint64 stallMs, double rssPerByte,
              bool exact)
{
    std::printf("shape=%s MiB=%lld seconds=%.3f MBps=%.1f max_stall_ms=%lld "
                "rss_bytes_per_byte=%.2f exact=%s\n",
                qPrintable(shape), mib, seconds, double(mib * MiB) / 1e6 / seconds, stallMs,
                rssPerByte, exact ? "yes" : "no");
}

int runReceive(const QString &shape, qint64 mib)
{
    const QByteArray payload = makePayload(shape, mib * MiB);
    frmMain window;
    window.show();
    auto *transcript = window.findChild<WireTextEdit *>(QStringLiteral("txtRecvData"));
    window.findChild<QLineEdit *>(QStringLiteral("txtPort"))->setText(QStringLiteral("0"));
    window.findChild<QPushButton *>(QStringLiteral("cmdListen"))->click();
    const auto port = quint16(window.wskWinSock()->LocalPort());
    QCoreApplication::processEvents();

    bool closed = false;
    QObject::connect(window.wskWinSock(), &SocketEndpoint::peerClosed, &window,
                     [&closed] { closed = true; });
    const qint64 rssBefore = residentBytes();
    StallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    std::thread sender = startSender(port, payload);
    while (!closed)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    const double seconds = clock.nsecsElapsed() / 1e9;
    sender.join();
    const qint64 rssAfter = residentBytes();

    const QString text = transcript->text();
    const QString accepted = QStringLiteral("CONNECTION ACCEPTED (");
    const qsizetype dataStart = text.indexOf(QStringLiteral(").\r\n")) + 4;
    const QString closedLine = QStringLiteral("CLOSED.\r\n");
    const bool exact =
        text.startsWith(accepted) && text.endsWith(closedLine) &&
        QStringView(text).mid(dataStart, text.size() - dataStart - closedLine.size()) ==
            CodePage1252::decode(payload);
    printRun(shape, mib, seconds, stalls.maxStallMs(),
             double(rssAfter - rssBefore) / double(payload.size()), exact);
    return exact ? 0 : 1;
}

int runSend(qint64 mib)
{
    // The peer is a thread with a plain listening socket that reads everything.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    const QByteArray payload = makePayload(QStringLiteral("lines80"), mib * MiB);
    std::atomic<qint64> received{0};
    std::thread reader([listener, &received, total = payload.size()] {
        const int fd = ::accept(listener, nullptr, nullptr);
        std::vector<char> buffer(1 << 20);
        while (received < total) {
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n <= 0)
                break;
            received += n;
        }
        ::close(fd);
    });

    frmMain window;
    window.show();
    window.findChild<QLineEdit *>(QStringLiteral("txtAddress"))
        ->setText(QStringLiteral("127.0.0.1"));
    window.findChild<QLineEdit *>(QStringLiteral("txtPort"))
        ->setText(QString::number(ntohs(address.sin_port)));
    auto *outgoing = window.findChild<WireTextEdit *>(QStringLiteral("txtSendData"));
    outgoing->setText(CodePage1252::decode(payload));
    auto *send = window.findChild<QPushButton *>(QStringLiteral("cmdSendData"));
    window.findChild<QPushButton *>(QStringLiteral("cmdConnect"))->click();
    while (!send->isEnabled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    StallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    send->click();
    while (received < payload.size() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double seconds = clock.nsecsElapsed() / 1e9;
    const bool whole = received == payload.size();
    window.findChild<QPushButton *>(QStringLiteral("cmdClose"))->click();
    reader.join();
    ::close(listener);
    std::printf("shape=send MiB=%lld seconds=%.3f MBps=%.1f max_stall_ms=%lld exact=%s\n", mib,
                seconds, double(payload.size()) / 1e6 / seconds, stalls.maxStallMs(),
                whole ? "yes" : "no");
    return whole ? 0 : 1;
}

// Opens a file of `mib` MiB into the outgoing box, as its context menu does,
// until every byte is in the box and laid out.
int runOpen(qint64 mib)
{
    const QByteArray payload = makePayload(QStringLiteral("binary"), mib * MiB);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("payload.bin"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(payload) != payload.size())
        return 1;
    file.close();

    frmMain window;
    window.show();
    auto *outgoing = window.findChild<WireTextEdit *>(QStringLiteral("txtSendData"));
    QCoreApplication::processEvents();
    StallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    window.files()->openFile(path);
    while (outgoing->text().size() != payload.size() || !outgoing->rows().isComplete())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = clock.nsecsElapsed() / 1e9;
    const bool exact = outgoing->text() == CodePage1252::decode(payload);
    std::printf("shape=open MiB=%lld seconds=%.3f MBps=%.1f max_stall_ms=%lld exact=%s\n", mib,
                seconds, double(payload.size()) / 1e6 / seconds, stalls.maxStallMs(),
                exact ? "yes" : "no");
    return exact ? 0 : 1;
}

int runBaseline(qint64 mib)
{
    const QByteArray payload = makePayload(QStringLiteral("binary"), mib * MiB);
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    qint64 received = 0;
    bool closed = false;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket *socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead,
                         [&received, socket] { received += socket->readAll().size(); });
        QObject::connect(socket, &QTcpSocket::disconnected, [&closed] { closed = true; });
    });
    QElapsedTimer clock;
    clock.start();
    std::thread sender = startSender(server.serverPort(), payload);
    while (!closed)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = clock.nsecsElapsed() / 1e9;
    sender.join();
    std::printf("shape=baseline MiB=%lld seconds=%.3f MBps=%.1f\n", mib, seconds,
                double(received) / 1e6 / seconds);
    return received == payload.size() ? 0 : 1;
}

// Runs one measurement in a fresh process; returns its line, or nothing when
// it failed.
QByteArray runInChild(const QString &shape, int mib)
{
    QProcess run;
    run.setProcessChannelMode(QProcess::SeparateChannels);
    run.setReadChannel(QProcess::StandardOutput);
    run.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--run"), shape, QString::number(mib)});
    run.waitForFinished(-1);
    std::fputs(run.readAllStandardError().constData(), stderr);
    const QByteArray line = run.readAllStandardOutput().trimmed();
    return run.exitCode() == 0 ? line : QByteArray();
}

double secondsOf(const QByteArray &line)
{
    const qsizetype at = line.indexOf("seconds=") + 8;
    return line.mid(at, line.indexOf(' ', at) - at).toDouble();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("--run")) {
        const QString shape = args[1];
        const qint64 mib = args[2].toLongLong();
        if (shape == QLatin1String("baseline"))
            return runBaseline(mib);
        if (shape == QLatin1String("send"))
            return runSend(mib);
        if (shape == QLatin1String("open"))
            return runOpen(mib);
        return runReceive(shape, mib);
    }
    // tapwire_bench [--repeat N] [shape:MiB ...]: every run (or those named),
    // each in a fresh process; with --repeat, each N times, and the run with
    // the median time is printed.
    int repeat = 1;
    if (args.size() >= 2 && args[0] == QLatin1String("--repeat")) {
        repeat = qMax(1, args[1].toInt());
        args = args.mid(2);
    }
    QList<QPair<QString, int>> runs;
    for (const QString &arg : args)
        runs.append({arg.section(u':', 0, 0), arg.section(u':', 1).toInt()});
    if (runs.isEmpty()) {
        runs = {{"noline", 4},   {"noline", 64},   {"noline", 256}, {"lines80", 4},
                {"lines80", 64}, {"lines80", 256}, {"binary", 4},   {"binary", 64},
                {"binary", 256}, {"baseline", 64}, {"send", 16},    {"open", 64}};
    }
    int failures = 0;
    for (const auto &[shape, mib] : runs) {
        QList<QByteArray> lines;
        for (int i = 0; i < repeat; ++i)
            lines.append(runInChild(shape, mib));
        if (lines.contains(QByteArray())) {
            std::printf("shape=%s MiB=%d failed\n", qPrintable(shape), mib);
            ++failures;
            continue;
        }
        std::sort(lines.begin(), lines.end(), [](const QByteArray &a, const QByteArray &b) {
            return secondsOf(a) < secondsOf(b);
        });
        std::printf("%s%s\n", lines[lines.size() / 2].constData(),
                    repeat > 1 ? qPrintable(QStringLiteral(" median_of=%1").arg(repeat)) : "");
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
