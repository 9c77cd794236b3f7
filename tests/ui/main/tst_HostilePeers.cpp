#include "CodePageTable.h"
#include "WindowDriver.h"

#include <QElapsedTimer>
#include <QSignalSpy>

using namespace LoopbackTools;

// Broken and hostile peers on real loopback sockets, met through the window's
// own controls. Each case ends with the window usable and the transcript
// exactly what arrived, plus the status lines the session appends.
class tst_HostilePeers : public QObject
{
    Q_OBJECT

private:
    WindowDriver w;

private slots:
    void init() { w.open(); }
    void cleanup() { w.close(); }

    void resetMidStreamIsAnError_data()
    {
        QTest::addColumn<QString>("peerAddress");
        QTest::addColumn<bool>("windowListens");
        QTest::addColumn<QString>("hostName");
        QTest::newRow("accepted IPv4") << "127.0.0.1" << true << "";
        QTest::newRow("accepted IPv6") << "::1" << true << "";
        QTest::newRow("connected IPv4") << "127.0.0.1" << false << "";
        QTest::newRow("connected IPv6") << "::1" << false << "";
        QTest::newRow("connected by name") << "127.0.0.1" << false << "localhost";
    }
    void resetMidStreamIsAnError()
    {
        QFETCH(QString, peerAddress);
        QFETCH(bool, windowListens);
        QFETCH(QString, hostName);
        auto peer = w.sessionWith(peerAddress, windowListens, hostName);
        QVERIFY(peer);
        const QString before = w.transcript();
        const QByteArray first = allBytesPattern(3000);
        peer->write(first);
        QVERIFY(spinUntil([&] { return w.transcript().size() == before.size() + first.size(); }));

        // The rest reaches the window's system, then the reset follows at
        // once: the window reads both only after that.
        const QByteArray rest = allBytesPattern(60000).mid(77);
        QVERIFY(writeThrough(*peer, rest));
        resetConnection(*peer);
        QVERIFY(spinUntil([&] { return !w.reports.isEmpty(); }));

        QCOMPARE(w.transcript(), before + CodePageTable::decode(first + rest));
        QCOMPARE(w.reportNumbers(), QList<int>{10054});
        QCOMPARE(w.endpoint()->State(), int(EndpointState::Error));
        QCOMPARE(w.enabledControls(), WindowDriver::connected());

        QVERIFY(w.click("cmdSendData"));
        QCOMPARE(w.reportNumbers(), (QList<int>{10054, 40006}));
        QVERIFY(w.click("cmdClose"));
        QCOMPARE(w.transcript(), before + CodePageTable::decode(first + rest) + "CLOSED.\r\n");
        QCOMPARE(w.enabledControls(), WindowDriver::idle());
    }

    void halfCloseDeliversEverythingThenClosed()
    {
        auto peer = w.acceptedPeer();
        QVERIFY(peer);
        const QString before = w.transcript();
        // More than the endpoint reads at a time, so the close waits behind data.
        const QByteArray payload = allBytesPattern(3 * 1024 * 1024 + 5);
        peer->write(payload);
        QVERIFY(spinUntil([&] { return peer->bytesToWrite() == 0; }, 30000));
        QVERIFY(halfClose(*peer));
        QVERIFY(spinUntil([&] { return w.button("cmdListen")->isEnabled(); }, 30000));

        QCOMPARE(w.transcript(), before + CodePageTable::decode(payload) + "CLOSED.\r\n");
        QCOMPARE(w.endpoint()->State(), int(EndpointState::Closing));
        QCOMPARE(w.enabledControls(), WindowDriver::idle());
        QCOMPARE(w.reports.size(), 0);
        // The window's side closes too, so the peer still reading sees the end.
        QVERIFY(spinUntil([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
        QCOMPARE(peer->error(), QAbstractSocket::RemoteHostClosedError);
    }

    void peerThatNeverReadsBlocksNothing()
    {
        auto peer = w.acceptedPeer();
        QVERIFY(peer);
        peer->setReadBufferSize(1); // takes one byte, then never reads again
        QString line(1022, QLatin1Char('x'));
        line += QStringLiteral("\r\n");
        w.box("txtSendData")->setText(line.repeated(1024)); // 1 MiB
        const QString before = w.transcript();

        // 64 MiB in all. A click must never wait for the peer.
        QElapsedTimer clock;
        qint64 slowestClick = 0;
        for (int i = 0; i < 64; ++i) {
            clock.start();
            QVERIFY(w.click("cmdSendData"));
            slowestClick = qMax(slowestClick, clock.elapsed());
        }
        QVERIFY2(slowestClick < 1000, qPrintable(QString::number(slowestClick)));

        // The event loop keeps turning and the user can still type.
        qint64 longestGap = 0;
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout,
                         [&] { longestGap = qMax(longestGap, sinceTick.restart()); });
        tick.start(5);
        QTest::qWait(300);
        w.box("txtRecvData")->setFocus();
        w.box("txtRecvData")->setCursorPosition(w.transcript().size());
        QTest::keyClicks(w.box("txtRecvData"), QStringLiteral("typed"));
        QVERIFY2(longestGap < 250, qPrintable(QString::number(longestGap)));
        QCOMPARE(w.transcript(), before + "typed");

        clock.start();
        QVERIFY(w.click("cmdClose"));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(w.transcript(), before + "typedCLOSED.\r\n");
        QCOMPARE(w.enabledControls(), WindowDriver::idle());
        // What was accepted keeps waiting for the peer, off the endpoint,
        // until the peer goes away.
        QCOMPARE(w.endpoint()->flushingSockets(), 1);
        peer->abort();
        QVERIFY(spinUntil([&] { return w.endpoint()->flushingSockets() == 0; }));
    }

    void connectThatFailsOrHangsEndsWithClose_data()
    {
        QTest::addColumn<QString>("peer");
        QTest::addColumn<QList<int>>("reported");
        QTest::newRow("unknown host") << "unknown host" << QList<int>{11001};
        QTest::newRow("no answer") << "no answer" << QList<int>{10060};
        QTest::newRow("reset on accept") << "reset on accept" << QList<int>{10054};
    }
    void connectThatFailsOrHangsEndsWithClose()
    {
        QFETCH(QString, peer);
        QFETCH(QList<int>, reported);
        SilentListener silent;
        QTcpServer resetting;
        int accepts = 0;
        QString host = QStringLiteral("127.0.0.1");
        quint16 port = 80;
        if (peer == QLatin1String("unknown host")) {
            host = QStringLiteral("no-such-host.invalid");
        } else if (peer == QLatin1String("no answer")) {
            QVERIFY(silent.start());
            port = silent.port();
        } else {
            QVERIFY(resetting.listen(QHostAddress::LocalHost, 0));
            connect(&resetting, &QTcpServer::newConnection, &resetting, [&] {
                while (QTcpSocket *accepted = resetting.nextPendingConnection()) {
                    ++accepts;
                    resetConnection(*accepted);
                    accepted->deleteLater();
                }
            });
            port = resetting.serverPort();
        }
        // The listener that never answers is given up on after this, not after
        // half a minute.
        w.endpoint()->setConnectTimeout(300);
        const int sockets = openSocketCount();
        w.connectTo(host, port);
        QVERIFY(spinUntil([&] { return w.reports.size() == reported.size(); }, 20000));
        QTest::qWait(300); // the connect stays where it is; nothing tries again
        QCOMPARE(w.reportNumbers(), reported);
        QVERIFY2(accepts <= 3, qPrintable(QString::number(accepts)));
        // Once the error is reported, nothing is left connecting or open.
        QVERIFY2(spinUntil([&] { return openSocketCount() == sockets; }),
                 qPrintable(QStringLiteral("%1 -> %2").arg(sockets).arg(openSocketCount())));
        QCOMPARE(w.enabledControls(), WindowDriver::pending());
        QCOMPARE(w.transcript(), QString());

        QVERIFY(w.click("cmdClose"));
        QCOMPARE(w.transcript(), QStringLiteral("CLOSED.\r\n"));
        QCOMPARE(w.enabledControls(), WindowDriver::idle());
        QCOMPARE(w.endpoint()->State(), int(EndpointState::Closed));
        QTest::qWait(100); // nothing of the cancelled connect comes later
        QCOMPARE(w.transcript(), QStringLiteral("CLOSED.\r\n"));
        QCOMPARE(w.reportNumbers(), reported);
    }

    void floodLandsBehindAModalBox_data()
    {
        QTest::addColumn<bool>("about");
        QTest::newRow("Options") << false;
        QTest::newRow("About") << true;
    }
    void floodLandsBehindAModalBox()
    {
        QFETCH(bool, about);
        auto peer = w.acceptedPeer();
        QVERIFY(peer);
        const QString before = w.transcript();
        const QByteArray flood = allBytesPattern(4 * 1024 * 1024 + 3);
        ArrivalCounter arrived(w.endpoint());
        qint64 arrivedWhenOpened = -1;
        bool landed = false;
        const bool opened = WindowDriver::whileModal(
            [&] { about ? w.window->mnuHelp_Click(0) : w.window->mnuTools_Click(0); },
            [&](QWidget *) {
                arrivedWhenOpened = arrived.total;
                peer->write(flood);
                landed = spinUntil([&] { return arrived.total == flood.size(); }, 60000);
            });
        QVERIFY(opened);
        QCOMPARE(arrivedWhenOpened, qint64(0));
        QVERIFY(landed);
        QCOMPARE(w.transcript(), before + CodePageTable::decode(flood));
        QCOMPARE(w.enabledControls(), WindowDriver::connected());
    }
};

QTEST_MAIN(tst_HostilePeers)
#include "tst_HostilePeers.moc"
