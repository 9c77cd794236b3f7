#include "WindowDriver.h"

#include <QElapsedTimer>
#include <QProcess>

#include <cstdio>

using namespace LoopbackTools;

namespace {

const char programSwitch[] = "--connect-then-exit";

// The program as a user runs it: the main window connects to `port` through
// its controls and, once `bytes` have arrived, the user chooses Exit. Prints
// "exiting" just before, so that the caller can time the end.
int runProgram(int argc, char **argv)
{
    QApplication app(argc, argv);
    WindowDriver driver; // no report sink: an error would show its box and stall the end
    driver.window = std::make_unique<frmMain>();
    frmMain &window = *driver.window;
    window.show();
    const int port = QString::fromLatin1(argv[2]).toInt();
    const qint64 bytes = QString::fromLatin1(argv[3]).toLongLong();
    ArrivalCounter arrived(window.wskWinSock());
    driver.connectTo(QStringLiteral("127.0.0.1"), port);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        if (!driver.button("cmdSendData")->isEnabled() || arrived.total < bytes)
            return;
        poll.stop();
        std::puts("exiting");
        std::fflush(stdout);
        window.mnuFile[0]->trigger();
    });
    poll.start(5);
    return app.exec();
}

} // namespace

// The program ends at once when the user chooses Exit, whatever the peer is
// doing. It runs as a program of its own, so that its whole end is seen.
class tst_ProgramExit : public QObject
{
    Q_OBJECT

private slots:
    void exitEndsTheProgramAtOnce_data()
    {
        QTest::addColumn<bool>("flood");
        QTest::newRow("connected, quiet peer") << false;
        QTest::newRow("peer floods") << true;
    }
    void exitEndsTheProgramAtOnce()
    {
        QFETCH(bool, flood);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        QProcess program;
        const qint64 before = flood ? 4 * 1024 * 1024 : 0;
        program.start(
            QCoreApplication::applicationFilePath(),
            {programSwitch, QString::number(server.serverPort()), QString::number(before)});
        QVERIFY(spinUntil([&] { return server.hasPendingConnections(); }, 20000));
        std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
        const QByteArray chunk = allBytesPattern(256 * 1024);
        const auto topUp = [&] {
            while (flood && peer->bytesToWrite() < 2 * chunk.size())
                peer->write(chunk);
        };
        connect(peer.get(), &QTcpSocket::bytesWritten, peer.get(), topUp);
        topUp();

        QVERIFY(
            spinUntil([&] { return program.readAllStandardOutput().contains("exiting"); }, 30000));
        QElapsedTimer ending;
        ending.start();
        QVERIFY(spinUntil([&] { return program.state() == QProcess::NotRunning; }, 20000));
        const QByteArray errors = program.readAllStandardError();
        QVERIFY2(ending.elapsed() < 3000, qPrintable(QString::number(ending.elapsed())));
        QVERIFY2(program.exitStatus() == QProcess::NormalExit, errors.constData());
        QVERIFY2(program.exitCode() == 0, errors.constData());
        QVERIFY(spinUntil([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
    }
};

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], programSwitch) == 0)
        return runProgram(argc, argv);
    QApplication app(argc, argv);
    tst_ProgramExit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ProgramExit.moc"
