#include "CodePageTable.h"
#include "ErrorReport.h"
#include "RecentSends.h"
#include "SessionController.h"
#include "SocketEndpoint.h"
#include "WindowDriver.h"
#include "WireTextEdit.h"
#include "frmMain.h"

#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QToolTip>

#include <memory>

// Real loopback sessions driven through the main window's own controls.
class tst_SessionWindow : public QObject, private WindowDriver
{
    Q_OBJECT

private:
    static quint16 freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

    void verifyIdle() { QCOMPARE(enabledControls(), idle()); }

private slots:
    void init() { open(); }
    void cleanup() { close(); }

    void listenAcceptsOnePeer()
    {
        line("txtPort")->setText(QStringLiteral("0"));
        QVERIFY(click("cmdListen"));
        const int port = window->wskWinSock()->LocalPort();
        QVERIFY(port > 0);
        QCOMPARE(window->wskWinSock()->State(), int(EndpointState::Listening));
        // Port 0 left the choice to the system; the port box's tip tells it.
        QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), line("txtPort")->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(line("txtPort"), &hover);
        QCOMPARE(QToolTip::text(), QStringLiteral("Listening on port %1").arg(port));
        QCOMPARE(button("cmdClose")->text(), QStringLiteral("Close"));
        QVERIFY(!button("cmdSendData")->isEnabled());
        QVERIFY(!button("cmdListen")->isEnabled() && !line("txtPort")->isEnabled());

        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, quint16(port));
        QTRY_VERIFY(button("cmdSendData")->isEnabled());
        QTRY_COMPARE(peer.state(), QAbstractSocket::ConnectedState);
        QCOMPARE(transcript(),
                 QStringLiteral("CONNECTION ACCEPTED (127.0.0.1:%1).\r\n").arg(peer.localPort()));

        // Nothing listens any more: a second peer is turned away by the system.
        QTcpSocket second;
        second.connectToHost(QHostAddress::LocalHost, quint16(port));
        QTRY_COMPARE(second.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(second.error(), QAbstractSocket::ConnectionRefusedError);
    }

    void connectsAndRoundsThePort()
    {
        // An even port written with ".5" connects to that port (half to even).
        // The system hands out odd ports for listening, so ask for an even one.
        QTcpServer server;
        for (quint16 port = freePort() & ~1u; !server.listen(QHostAddress::LocalHost, port);)
            port -= 2;
        line("txtAddress")->setText(QStringLiteral("127.0.0.1"));
        line("txtPort")->setText(QStringLiteral("%1.5").arg(server.serverPort()));
        QCOMPARE(line("txtPort")->text(), QStringLiteral("%1.5").arg(server.serverPort()));
        QVERIFY(click("cmdConnect"));
        QVERIFY(!button("cmdSendData")->isEnabled());
        QTRY_VERIFY(button("cmdSendData")->isEnabled());
        QCOMPARE(transcript(),
                 QStringLiteral("CONNECTED (127.0.0.1:%1).\r\n").arg(server.serverPort()));
    }

    void dataBothWaysThenPeerClose()
    {
        auto peer = acceptedPeer();
        QVERIFY(peer);
        const QString accepted = transcript();

        box("txtSendData")->setText(QStringLiteral("GET / HTTP/1.0\r\n\r\n"));
        QVERIFY(click("cmdSendData"));
        QVERIFY(click("cmdSendData")); // the same text again: the box keeps it
        QTRY_COMPARE(peer->bytesAvailable(), qint64(36));
        QCOMPARE(peer->readAll(), QByteArray("GET / HTTP/1.0\r\n\r\nGET / HTTP/1.0\r\n\r\n"));
        QCOMPARE(box("txtSendData")->text(), QStringLiteral("GET / HTTP/1.0\r\n\r\n"));
        QCOMPARE(transcript(), accepted); // nothing echoed

        peer->write("abc");
        QTRY_COMPARE(transcript(), accepted + QStringLiteral("abc"));
        peer->write("def");
        QTRY_COMPARE(transcript(), accepted + QStringLiteral("abcdef"));
        peer->disconnectFromHost();
        QTRY_COMPARE(transcript(), accepted + QStringLiteral("abcdefCLOSED.\r\n"));
        verifyIdle();
        QCOMPARE(window->wskWinSock()->State(), int(EndpointState::Closing));

        // Listen works at once: it closes the endpoint left closing.
        listen();
        QCOMPARE(window->wskWinSock()->State(), int(EndpointState::Listening));
    }

    void closeAppendsOneLineWhateverTheState_data()
    {
        QTest::addColumn<QString>("during");
        QTest::newRow("listening") << "listening";
        QTest::newRow("connecting") << "connecting";
        QTest::newRow("connected") << "connected";
    }
    void closeAppendsOneLineWhateverTheState()
    {
        QFETCH(QString, during);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        std::unique_ptr<QTcpSocket> peer;
        if (during == QLatin1String("listening")) {
            listen();
        } else if (during == QLatin1String("connecting")) {
            connectTo(QStringLiteral("127.0.0.1"), server.serverPort());
            QVERIFY(window->wskWinSock()->State() != EndpointState::Connected);
        } else {
            peer = acceptedPeer();
            QVERIFY(peer);
        }
        const QString before = transcript();
        QVERIFY(click("cmdClose"));
        QCOMPARE(transcript(), before + QStringLiteral("CLOSED.\r\n"));
        verifyIdle();
        QCOMPARE(window->wskWinSock()->State(), int(EndpointState::Closed));
        if (peer) {
            QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
        }
        QTest::qWait(50); // no second line from the endpoint
        QCOMPARE(transcript(), before + QStringLiteral("CLOSED.\r\n"));
    }

    void everyByteRoundTrips()
    {
        auto peer = acceptedPeer();
        QVERIFY(peer);
        QByteArray bytes;
        for (int c = 0; c < 256; ++c)
            bytes += char(c);
        const QString accepted = transcript();
        peer->write(bytes);
        QTRY_COMPARE(transcript().size(), accepted.size() + 256);
        QCOMPARE(transcript().mid(accepted.size()), CodePageTable::decode(bytes));

        box("txtSendData")->setText(CodePageTable::decode(bytes));
        QVERIFY(click("cmdSendData"));
        QByteArray echoed;
        QTRY_VERIFY((echoed += peer->readAll(), echoed.size() >= 256));
        QCOMPARE(echoed, bytes);
    }

    void lineEndsStayDistinct()
    {
        auto peer = acceptedPeer();
        QVERIFY(peer);
        const QString accepted = transcript();
        peer->write("a\r\nb\rc\nd\r");
        QTRY_COMPARE(transcript(), accepted + QStringLiteral("a\r\nb\rc\nd\r"));
        peer->write("\ne");
        QTRY_COMPARE(transcript(), accepted + QStringLiteral("a\r\nb\rc\nd\r\ne"));
    }

    void unencodableTextIsRefusedAndNothingSent()
    {
        auto peer = acceptedPeer();
        QVERIFY(peer);
        box("txtSendData")->setText(QStringLiteral("caf\u00E9 \u2603"));
        QVERIFY(click("cmdSendData"));
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports[0].number(), 40200);
        box("txtSendData")->setText(QStringLiteral("caf\u00E9"));
        QVERIFY(click("cmdSendData"));
        QTRY_COMPARE(peer->bytesAvailable(), qint64(4));
        QCOMPARE(peer->readAll(), QByteArray("caf\xE9"));
    }

    void refusedListenIsReportedAndWindowCarriesOn_data()
    {
        QTest::addColumn<bool>("portInUse");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("number");
        QTest::newRow("99999") << false << "99999" << 380;
        QTest::newRow("-1") << false << "-1" << 380;
        QTest::newRow("1E+15") << false << "1E+15" << 6;
        QTest::newRow("in use") << true << "" << 10048;
    }
    void refusedListenIsReportedAndWindowCarriesOn()
    {
        QFETCH(bool, portInUse);
        QFETCH(QString, port);
        QFETCH(int, number);
        QTcpServer holder;
        if (portInUse) {
            QVERIFY(holder.listen(QHostAddress::Any, 0));
            port = QString::number(holder.serverPort());
        }
        line("txtPort")->setText(port);
        QCOMPARE(line("txtPort")->text(), port);
        QVERIFY(click("cmdListen"));
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports[0].number(), number);
        QCOMPARE(transcript(), QString());
        verifyIdle();

        listen();
        QCOMPARE(window->wskWinSock()->State(), int(EndpointState::Listening));
    }

    void refusedConnectLeavesSessionUntilClose()
    {
        connectTo(QStringLiteral("127.0.0.1"), freePort());
        QTRY_COMPARE(reports.size(), 1);
        QCOMPARE(reports[0].number(), 10061);
        QCOMPARE(transcript(), QString());
        QVERIFY(button("cmdClose")->isEnabled());
        QVERIFY(!button("cmdSendData")->isEnabled() && !button("cmdConnect")->isEnabled());
        QVERIFY(click("cmdClose"));
        QCOMPARE(transcript(), QStringLiteral("CLOSED.\r\n"));
        verifyIdle();
    }

    void cancelCaptionSurvivesIdle()
    {
        window->session()->ShowSessionState();
        QCOMPARE(button("cmdClose")->text(), QStringLiteral("Cancel"));
        window->session()->ShowIdleState();
        QCOMPARE(button("cmdClose")->text(), QStringLiteral("Cancel"));
        QVERIFY(!button("cmdClose")->isEnabled());
        listen();
        QCOMPARE(button("cmdClose")->text(), QStringLiteral("Close"));
    }

    void clearButtonsEmptyTheirBoxesOnly()
    {
        auto peer = acceptedPeer();
        QVERIFY(peer);
        box("txtSendData")->setText(QStringLiteral("keep?"));
        QVERIFY(click("cmdRecvDataC"));
        QCOMPARE(transcript(), QString());
        QCOMPARE(box("txtSendData")->text(), QStringLiteral("keep?"));
        peer->write("later");
        QTRY_COMPARE(transcript(), QStringLiteral("later"));
        QVERIFY(click("cmdSendDataC"));
        QCOMPARE(box("txtSendData")->text(), QString());
        QVERIFY(button("cmdSendData")->isEnabled());
    }

    void portBoxKeepsANumber_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::newRow("digit after 0") << "0" << 1 << "8"
                                       << "0";
        QTest::newRow("digit before 0") << "0" << 0 << "8"
                                        << "80";
        QTest::newRow("stray letter") << "80" << 2 << "x"
                                      << "0";
        QTest::newRow("leading space") << "80" << 0 << " "
                                       << "0";
        QTest::newRow("point into a number") << "15" << 1 << "."
                                             << "1.5";
        QTest::newRow("point at the end") << "15" << 2 << "."
                                          << "0";
        QTest::newRow("negative") << "80" << 0 << "-"
                                  << "-80";
        QTest::newRow("typing over the 0 that deleting left") << "80" << 2 << "\b\b8080"
                                                              << "8080";
    }
    void portBoxKeepsANumber()
    {
        QFETCH(QString, start);
        QFETCH(int, cursor);
        QFETCH(QString, typed);
        QFETCH(QString, result);
        QLineEdit *port = line("txtPort");
        port->setText(start);
        port->setFocus();
        port->setCursorPosition(cursor);
        QTest::keyClicks(port, typed);
        QCOMPARE(port->text(), result);
    }

    void emptyEntriesDisableConnectAndListen()
    {
        QLineEdit *port = line("txtPort");
        port->setText(QStringLiteral("7"));
        port->setFocus();
        port->end(false);
        QTest::keyClick(port, Qt::Key_Backspace);
        QCOMPARE(port->text(), QStringLiteral("0"));
        QVERIFY(button("cmdConnect")->isEnabled() && button("cmdListen")->isEnabled());

        line("txtAddress")->setText(QString());
        QVERIFY(!button("cmdConnect")->isEnabled() && !button("cmdListen")->isEnabled());
        line("txtAddress")->setText(QStringLiteral(" "));
        QVERIFY(button("cmdConnect")->isEnabled() && button("cmdListen")->isEnabled());
    }

    void closeDuringAFloodEndsTheTranscript()
    {
        auto peer = acceptedPeer();
        QVERIFY(peer);
        const QString accepted = transcript();
        QByteArray flood(32 * 1024 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < flood.size(); ++i)
            flood[i] = char('a' + i % 23);
        peer->write(flood);
        QTRY_VERIFY(transcript().size() > accepted.size() + 1024 * 1024);
        QVERIFY(click("cmdClose"));
        const QString closed = transcript();
        QVERIFY(closed.endsWith(QStringLiteral("CLOSED.\r\n")));
        const QString received = closed.mid(accepted.size(), closed.size() - accepted.size() - 9);
        QCOMPARE(received, QString::fromLatin1(flood.left(received.size())));
        QTest::qWait(200);
        QCOMPARE(transcript(), closed);
        verifyIdle();
    }

    void sixteenMebibytesGoOutWhole()
    {
        auto peer = acceptedPeer();
        QVERIFY(peer);
        QString text(16 * 1024 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] = QChar(char16_t(i % 80 == 78 ? '\r' : i % 80 == 79 ? '\n' : 'A' + i % 26));
        box("txtSendData")->setText(text);
        QVERIFY(click("cmdSendData"));
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += peer->readAll(), got.size() >= text.size()), 30000);
        QCOMPARE(got, text.toLatin1());
    }

    void typesBytesInTheOutgoingDump()
    {
        auto peer = acceptedPeer();
        QVERIFY(peer);
        WireTextEdit *outgoing = box("txtSendData");
        const std::unique_ptr<QMenu> menu(outgoing->createStandardContextMenu());
        for (QAction *action : menu->actions()) {
            if (action->text() == QStringLiteral("Show as &Hex"))
                action->trigger();
        }
        QVERIFY(outgoing->isHexShown());
        outgoing->setFocus();
        // A digit Escape dropped is gone; a key that is no hex digit types
        // nothing and says why.
        QTest::keyClicks(outgoing, QStringLiteral("4"));
        QTest::keyClick(outgoing, Qt::Key_Escape);
        QTest::keyClicks(outgoing, QStringLiteral("g"));
        QVERIFY(QToolTip::text().contains(QStringLiteral("hex digits")));
        QTest::keyClicks(outgoing, QStringLiteral("00ff"));
        QVERIFY(click("cmdSendData"));
        QTRY_COMPARE(peer->bytesAvailable(), qint64(2));
        QCOMPARE(peer->readAll(), QByteArray("\0\xff", 2));
    }

    void recallsWhatWasSent()
    {
        auto peer = acceptedPeer();
        QVERIFY(peer);
        WireTextEdit *outgoing = box("txtSendData");
        for (const QString &text : {QStringLiteral("one\r\n"), QStringLiteral("two\n"),
                                    QStringLiteral("three"), QStringLiteral("\u2603")}) {
            outgoing->setText(text);
            QVERIFY(click("cmdSendData"));
        }
        QCOMPARE(reportNumbers(), QList<int>{40200}); // refused, so not kept
        QTRY_COMPARE(peer->bytesAvailable(), qint64(14));
        outgoing->setText(QString());
        QTest::keyClicks(outgoing, QStringLiteral("draft"));
        const auto recall = [outgoing](Qt::Key key) {
            QTest::keyClick(outgoing, key, Qt::AltModifier);
            return outgoing->text();
        };
        QCOMPARE(recall(Qt::Key_Up), QStringLiteral("three"));
        QCOMPARE(recall(Qt::Key_Up), QStringLiteral("two\n"));
        QCOMPARE(recall(Qt::Key_Up), QStringLiteral("one\r\n"));
        QCOMPARE(recall(Qt::Key_Up), QStringLiteral("one\r\n"));
        QCOMPARE(recall(Qt::Key_Down), QStringLiteral("two\n"));
        QCOMPARE(recall(Qt::Key_Down), QStringLiteral("three"));
        QCOMPARE(recall(Qt::Key_Down), QStringLiteral("draft"));
        QCOMPARE(recall(Qt::Key_Down), QStringLiteral("draft"));
        // Each recall is one step for undo.
        QTest::keyClick(outgoing, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(outgoing->text(), QStringLiteral("three"));
        const SendHistory &history = window->recentSends()->history();
        QCOMPARE(history.label(2), QStringLiteral("one\u240D\u240A\t5 bytes"));
    }

    void keepsTheLastSendsWithinLimits_data()
    {
        QTest::addColumn<QList<qsizetype>>("lengths");
        QTest::addColumn<QList<qsizetype>>("kept");
        QList<qsizetype> fiftyOne;
        QList<qsizetype> lastFifty;
        for (qsizetype length = 1; length <= 51; ++length) {
            fiftyOne.append(length);
            lastFifty.prepend(length);
        }
        lastFifty.removeLast();
        const qsizetype half = SendHistory::maxBytes / 2;
        QTest::newRow("the last 50") << fiftyOne << lastFifty;
        QTest::newRow("16 MiB together")
            << QList<qsizetype>{half, half, 1} << QList<qsizetype>{1, half};
        QTest::newRow("one larger than all")
            << QList<qsizetype>{SendHistory::maxBytes + 1, SendHistory::maxBytes, 0}
            << QList<qsizetype>{SendHistory::maxBytes};
    }
    void keepsTheLastSendsWithinLimits()
    {
        QFETCH(QList<qsizetype>, lengths);
        QFETCH(QList<qsizetype>, kept);
        SendHistory history;
        for (const qsizetype length : lengths)
            history.remember({QByteArray(length / 2, 'a'), QByteArray(length - length / 2, 'b')});
        QList<qsizetype> found;
        for (qsizetype index = 0; index < history.count(); ++index) {
            qsizetype length = 0;
            for (const QByteArray &piece : history.pieces(index))
                length += piece.size();
            found.append(length);
        }
        QCOMPARE(found, kept);
    }

    void talksToSocatEchoServer()
    {
        const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
        QVERIFY2(!socat.isEmpty(), "socat is installed by the Makefile");
        const quint16 port = freePort();
        QProcess echo;
        echo.start(socat, {QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr").arg(port),
                           QStringLiteral("PIPE")});
        QVERIFY(echo.waitForStarted());
        QVERIFY(QTest::qWaitFor(
            [&] {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, port);
                return probe.waitForConnected(100);
            },
            5000));
        // The probe used socat's only connection; start it again for the window.
        QTRY_COMPARE(echo.state(), QProcess::NotRunning);
        echo.start(socat, {QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr").arg(port),
                           QStringLiteral("PIPE")});
        QVERIFY(echo.waitForStarted());
        QTest::qWait(200);

        connectTo(QStringLiteral("127.0.0.1"), port);
        QTRY_VERIFY(button("cmdSendData")->isEnabled());
        box("txtSendData")->setText(QStringLiteral("ping\r\npong\n\x01"));
        QVERIFY(click("cmdSendData"));
        const QString connected = QStringLiteral("CONNECTED (127.0.0.1:%1).\r\n").arg(port);
        QTRY_COMPARE(transcript(), connected + QStringLiteral("ping\r\npong\n\x01"));
        QVERIFY(click("cmdClose"));
        QTRY_COMPARE(echo.state(), QProcess::NotRunning);
    }

    void acceptsNetcat()
    {
        const QString nc = QStandardPaths::findExecutable(QStringLiteral("nc"));
        QVERIFY2(!nc.isEmpty(), "netcat-openbsd is installed by the Makefile");
        const int port = listen();
        QProcess netcat;
        netcat.start(nc, {QStringLiteral("-q"), QStringLiteral("0"), QStringLiteral("127.0.0.1"),
                          QString::number(port)});
        QVERIFY(netcat.waitForStarted());
        netcat.write("hello from nc\n");
        netcat.closeWriteChannel();
        QTRY_VERIFY(transcript().endsWith(QStringLiteral("CLOSED.\r\n")));
        QVERIFY(transcript().startsWith(QStringLiteral("CONNECTION ACCEPTED (127.0.0.1:")));
        QVERIFY(transcript().endsWith(QStringLiteral(").\r\nhello from nc\nCLOSED.\r\n")));
        verifyIdle();
        QTRY_COMPARE(netcat.state(), QProcess::NotRunning);
    }
};

QTEST_MAIN(tst_SessionWindow)
#include "tst_SessionWindow.moc"
