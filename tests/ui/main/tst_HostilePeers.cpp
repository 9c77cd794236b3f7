#include "CodePageTable.h"
#include "FileCommands.h"
#include "SessionController.h"
#include "TextStore.h"
#include "WindowDriver.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

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

    void peerThatNeverReadsBlocksNothing_data()
    {
        QTest::addColumn<bool>("peerGoesAway");
        QTest::newRow("peer goes away") << true;
        QTest::newRow("flush cut off at its limit") << false;
    }
    void peerThatNeverReadsBlocksNothing()
    {
        QFETCH(bool, peerGoesAway);
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

        if (!peerGoesAway)
            w.endpoint()->setFlushLinger(500);
        clock.start();
        QVERIFY(w.click("cmdClose"));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(w.transcript(), before + "typedCLOSED.\r\n");
        QCOMPARE(w.enabledControls(), WindowDriver::idle());
        // What was accepted keeps waiting for the peer, off the endpoint,
        // until the peer goes away or the time allowed runs out; one line
        // then names the peer and what it did not get.
        QCOMPARE(w.endpoint()->flushingSockets(), 1);
        const QString closed = w.transcript();
        const QString start =
            QStringLiteral("DATA NOT SENT TO 127.0.0.1:%1 (").arg(peer->localPort());
        if (peerGoesAway)
            peer->abort();
        QVERIFY(spinUntil([&] { return w.endpoint()->flushingSockets() == 0; }));
        const QString notSent = w.transcript().mid(closed.size());
        QVERIFY2(notSent.startsWith(start) && notSent.endsWith(QStringLiteral(" BYTES).\r\n")),
                 qPrintable(notSent));
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

    // A flood against a small limit: reading pauses near it with one line
    // and the peer is held back; saving and clearing over and over gives
    // back every byte. Close while paused says what it drops.
    void floodMeetsTheTranscriptLimit_data()
    {
        QTest::addColumn<bool>("closeWhilePaused");
        QTest::newRow("save and clear") << false;
        QTest::newRow("close while paused") << true;
    }
    void floodMeetsTheTranscriptLimit()
    {
        QFETCH(bool, closeWhilePaused);
        constexpr qint64 MiB = 1024 * 1024;
        w.window->session()->setTranscriptLimit(4 * MiB);
        auto peer = w.acceptedPeer();
        QVERIFY(peer);
        const QByteArray expected = w.transcript().toLatin1() + allBytesPattern(16 * MiB + 3);
        peer->write(expected.mid(w.transcript().size()));
        WireTextEdit *box = w.box("txtRecvData");
        const QString paused = QStringLiteral(" BYTES): READING PAUSED.\r\n");
        const auto isPaused = [&] {
            const qsizetype size = box->textLength();
            return box->document().text(qMax<qsizetype>(0, size - paused.size()), size) == paused;
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("part.bin"));
        QByteArray saved;
        const auto save = [&](qsizetype length) {
            w.window->files()->saveTranscript(path);
            if (!spinUntil([&] { return !w.window->files()->isSaving(); }))
                return false;
            QFile part(path);
            return part.open(QIODevice::ReadOnly) && !(saved += part.read(length)).isEmpty();
        };
        int pauses = 0;
        while (true) {
            QVERIFY(spinUntil(
                [&] { return isPaused() || saved.size() + box->textLength() == expected.size(); },
                30000));
            if (!isPaused())
                break;
            ++pauses;
            const QString text = w.transcript();
            const qsizetype at = text.lastIndexOf(QStringLiteral("TRANSCRIPT FULL ("));
            QCOMPARE(text.mid(at), QStringLiteral("TRANSCRIPT FULL (%1").arg(at) + paused);
            QVERIFY2(at >= 4 * MiB && at <= 4 * MiB + 256 * 1024, qPrintable(QString::number(at)));
            QTest::qWait(300);
            QCOMPARE(box->textLength(), text.size()); // nothing read, no second line
            if (closeWhilePaused) {
                QVERIFY(w.click("cmdClose"));
                const QString ending = w.transcript().mid(text.size());
                QVERIFY2(ending.startsWith(QStringLiteral("UNREAD DATA DISCARDED (")) &&
                             ending.endsWith(QStringLiteral(" BYTES).\r\nCLOSED.\r\n")),
                         qPrintable(ending));
                const qint64 unread = ending.mid(23).section(QLatin1Char(' '), 0, 0).toLongLong();
                QVERIFY2(unread > 0 && unread <= expected.size() - at, qPrintable(ending));
                QVERIFY(
                    spinUntil([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
                return;
            }
            QVERIFY(save(at));
            QVERIFY(w.click("cmdRecvDataC"));
        }
        QVERIFY(save(box->textLength()));
        QVERIFY(saved == expected);
        QVERIFY2(pauses >= 3, qPrintable(QString::number(pauses)));
        QVERIFY(w.reports.isEmpty());
    }

    // An allocation that fails while a peer's data goes in is reported (7)
    // and ends nothing: reading waits, and the next edit lets all of it in.
    void outOfMemoryLosesNothing()
    {
        auto peer = w.acceptedPeer();
        QVERIFY(peer);
        const QString before = w.transcript();
        TextStore::failNextAppends(1);
        peer->write("first");
        QVERIFY(spinUntil([&] { return !w.reports.isEmpty(); }));
        QCOMPARE(w.reportNumbers(), QList<int>{7});
        QCOMPARE(w.reports[0].description(), QStringLiteral("Out of memory"));
        peer->write("second");
        QTest::qWait(300);
        QCOMPARE(w.transcript(), before);

        WireTextEdit *box = w.box("txtRecvData");
        box->setFocus();
        box->setCursorPosition(before.size());
        QTest::keyClicks(box, QStringLiteral("x"));
        QVERIFY(spinUntil([&] { return w.transcript() == before + "xfirstsecond"; }));
    }
};

QTEST_MAIN(tst_HostilePeers)
#include "tst_HostilePeers.moc"
