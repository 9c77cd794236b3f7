#include "CodePageTable.h"
#include "ServerIdentity.h"
#include "TextStore.h"
#include "TlsText.h"
#include "WindowDriver.h"

#include <QAction>
#include <QCryptographicHash>
#include <QMenu>
#include <QProcess>
#include <QSslCertificate>
#include <QStandardPaths>
#include <QTemporaryDir>

// TLS sessions through the window's own controls, against real peers on
// loopback: openssl s_server and s_client, and a STARTTLS-style peer, with
// Tapwire in each role. Keys and the test CA are made when the test starts.
class tst_TlsSessions : public QObject, private WindowDriver
{
    Q_OBJECT

private:
    // How long a wait that spans a peer process starting or a handshake may
    // take on a loaded machine; a wait that succeeds ends as soon as it does.
    static constexpr int peerMs = 30000;

    QTemporaryDir m_dir;
    QString m_openssl;
    QString m_python;

    QString file(const QString &name) const { return m_dir.filePath(name); }

    // A P-256 key and a certificate for 127.0.0.1, self-signed or signed by
    // the test CA.
    bool makeCertificate(const QString &name, const QString &subject, bool signedByCa)
    {
        QStringList args = {QStringLiteral("req"),
                            QStringLiteral("-x509"),
                            QStringLiteral("-newkey"),
                            QStringLiteral("ec"),
                            QStringLiteral("-pkeyopt"),
                            QStringLiteral("ec_paramgen_curve:P-256"),
                            QStringLiteral("-nodes"),
                            QStringLiteral("-days"),
                            QStringLiteral("2"),
                            QStringLiteral("-subj"),
                            subject,
                            QStringLiteral("-keyout"),
                            file(name + ".key"),
                            QStringLiteral("-out"),
                            file(name + ".pem")};
        if (name != QLatin1String("ca"))
            args << QStringLiteral("-addext") << QStringLiteral("subjectAltName=IP:127.0.0.1");
        if (signedByCa)
            args << QStringLiteral("-CA") << file("ca.pem") << QStringLiteral("-CAkey")
                 << file("ca.key");
        QProcess openssl;
        openssl.start(m_openssl, args);
        return openssl.waitForFinished(30000) && openssl.exitCode() == 0;
    }

    static QSslCertificate certificate(const QString &path)
    {
        const QList<QSslCertificate> found = QSslCertificate::fromPath(path);
        return found.isEmpty() ? QSslCertificate() : found.first();
    }

    static QString sha256(const QSslCertificate &certificate)
    {
        return TlsText::fingerprint(certificate.digest(QCryptographicHash::Sha256));
    }

    static QByteArray everyByte() { return LoopbackTools::allBytesPattern(256); }

    // Starts a peer process and waits until it listens on `port`.
    static bool startListening(QProcess &peer, const QString &program, const QStringList &args,
                               quint16 port)
    {
        peer.start(program, args);
        return peer.waitForStarted() &&
               LoopbackTools::spinUntil([&] { return LoopbackTools::isListening(port); }, peerMs);
    }

    static bool readUntil(QProcess &peer, QByteArray &got, qsizetype size)
    {
        return LoopbackTools::spinUntil(
            [&] { return (got += peer.readAllStandardOutput()).size() >= size; }, peerMs);
    }

    QAction *startTls() const { return window->mnuStartTLS; }

    void pressCtrlT() { QTest::keyClick(window.get(), Qt::Key_T, Qt::ControlModifier); }

private slots:
    void initTestCase()
    {
        m_openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
        m_python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        QVERIFY2(!m_openssl.isEmpty() && !m_python.isEmpty(),
                 "openssl and python3 are installed by the Makefile");
        QVERIFY(m_dir.isValid());
        QVERIFY(makeCertificate(QStringLiteral("self"), QStringLiteral("/CN=localhost"), false));
        QVERIFY(
            makeCertificate(QStringLiteral("ca"), QStringLiteral("/CN=Tapwire Test CA"), false));
        // A subject that tries to forge a transcript line.
        QVERIFY(
            makeCertificate(QStringLiteral("leaf"), QStringLiteral("/CN=line\r\nCLOSED."), true));
        // Our own server certificate, for the peers that check it.
        QFile ours(file("ours.pem"));
        QVERIFY(ours.open(QIODevice::WriteOnly));
        ours.write(ServerIdentity::get().certificate.toPem());
    }
    void init() { open(); }
    void cleanup() { close(); }

    void inBothMenusUnderCtrlT()
    {
        for (const char *name : {"txtSendData", "txtRecvData"}) {
            std::unique_ptr<QMenu> menu(box(name)->createStandardContextMenu());
            QVERIFY2(menu->actions().contains(startTls()), name);
        }
        QCOMPARE(startTls()->text(), QStringLiteral("Start T&LS"));
        QCOMPARE(startTls()->shortcut(), QKeySequence(QStringLiteral("Ctrl+T")));
        QVERIFY(!startTls()->isEnabled()); // idle
    }

    // Tapwire as client: a self-signed server, so what was sent during the
    // handshake is not sent at all; every byte both ways once the user sends
    // again, then the server killed.
    void clientAgainstOpensslServer()
    {
        const quint16 port = LoopbackTools::freePort();
        QProcess server;
        QVERIFY(startListening(server, m_openssl,
                               {QStringLiteral("s_server"), QStringLiteral("-accept"),
                                QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("-cert"),
                                file("self.pem"), QStringLiteral("-key"), file("self.key"),
                                QStringLiteral("-quiet"), QStringLiteral("-naccept"),
                                QStringLiteral("1")},
                               port));
        connectTo(QStringLiteral("127.0.0.1"), port);
        QTRY_VERIFY_WITH_TIMEOUT(startTls()->isEnabled(), peerMs);
        const QString connected = transcript();

        pressCtrlT();
        QVERIFY(!startTls()->isEnabled());
        QCOMPARE(endpoint()->State(), int(EndpointState::Connected));
        // Sent during the handshake: held, and dropped once the peer proves
        // not to be trusted.
        box("txtSendData")->setText(QStringLiteral("AUTH PLAIN c2VjcmV0\r\n"));
        QVERIFY(click("cmdSendData"));
        QTRY_VERIFY_WITH_TIMEOUT(transcript().endsWith(QStringLiteral("TRUSTED.\r\n")), peerMs);

        const QSslCertificate self = certificate(file("self.pem"));
        QCOMPARE(transcript(),
                 connected + QStringLiteral("TLS STARTED (TLSv1.3, TLS_AES_256_GCM_SHA384).\r\n") +
                     QStringLiteral("PEER CERTIFICATE (CN=localhost; ISSUER CN=localhost; "
                                    "EXPIRES %1; SHA-256 %2): NOT TRUSTED (%3).\r\n"
                                    "HELD DATA NOT SENT (21 BYTES): PEER NOT TRUSTED.\r\n")
                         .arg(self.expiryDate().toUTC().date().toString(Qt::ISODate), sha256(self),
                              QSslError(QSslError::SelfSignedCertificate).errorString()));
        const QString started = transcript();
        // The session stays open; what is sent now, the user sends knowing.
        box("txtSendData")->setText(CodePageTable::decode(everyByte()));
        QVERIFY(click("cmdSendData"));
        QByteArray got;
        QVERIFY(readUntil(server, got, 256));
        QCOMPARE(got, everyByte());
        server.write(everyByte());
        QTRY_COMPARE_WITH_TIMEOUT(transcript(), started + CodePageTable::decode(everyByte()),
                                  peerMs);

        server.kill(); // no close_notify
        QTRY_COMPARE_WITH_TIMEOUT(
            transcript(),
            started + CodePageTable::decode(everyByte()) +
                QStringLiteral("TLS ENDED WITHOUT CLOSE NOTIFY.\r\nCLOSED.\r\n"),
            peerMs);
        QCOMPARE(enabledControls(), idle());
        QVERIFY(reports.isEmpty());
    }

    // Tapwire as client of a STARTTLS exchange: plain lines, then the
    // upgrade with a send held meanwhile; a chain from a CA the endpoint was
    // given, and a subject that holds CR LF. The server ends TLS with
    // close_notify: it gets the answer, and no socket is left open.
    void clientUpgradesAStarttlsServer()
    {
        const int socketsBefore = LoopbackTools::openSocketCount();
        QProcess server;
        server.start(m_python, {QStringLiteral(STARTTLS_PEER), QStringLiteral("server"),
                                file("leaf.pem"), file("leaf.key")});
        QVERIFY(server.waitForReadyRead());
        const QByteArray portLine = server.readLine().trimmed();
        QVERIFY2(portLine.startsWith("PORT "), portLine);
        endpoint()->addCaCertificates({certificate(file("ca.pem"))});
        connectTo(QStringLiteral("127.0.0.1"), portLine.mid(5).toInt());
        QTRY_VERIFY_WITH_TIMEOUT(transcript().endsWith(QStringLiteral("220 ready\r\n")), peerMs);
        box("txtSendData")->setText(QStringLiteral("STARTTLS\r\n"));
        QVERIFY(click("cmdSendData"));
        QTRY_VERIFY_WITH_TIMEOUT(transcript().endsWith(QStringLiteral("220 go ahead\r\n")), peerMs);
        const QString plain = transcript();

        startTls()->trigger();
        // Held during the handshake; it goes out once the peer is trusted.
        box("txtSendData")->setText(CodePageTable::decode(everyByte()));
        QVERIFY(click("cmdSendData"));
        QTRY_VERIFY_WITH_TIMEOUT(transcript().contains(QStringLiteral("TRUSTED.\r\n")), peerMs);
        const QSslCertificate leaf = certificate(file("leaf.pem"));
        // The echo of the held send may follow at once.
        const QString trusted = QStringLiteral("TRUSTED.\r\n");
        const QString lines = transcript().mid(plain.size()).section(trusted, 0, 0) + trusted;
        QVERIFY2(lines.startsWith(QStringLiteral("TLS STARTED (TLSv1.3, ")), qPrintable(lines));
        QVERIFY2(lines.endsWith(QStringLiteral("\r\nPEER CERTIFICATE (CN=line\\x0D\\x0ACLOSED.; "
                                               "ISSUER CN=Tapwire Test CA; EXPIRES %1; "
                                               "SHA-256 %2): TRUSTED.\r\n")
                                    .arg(leaf.expiryDate().toUTC().date().toString(Qt::ISODate),
                                         sha256(leaf))),
                 qPrintable(lines));
        QCOMPARE(lines.count(QStringLiteral("\r\n")), 2);

        // The echo, then the server's close_notify: no truncation line.
        QTRY_COMPARE_WITH_TIMEOUT(transcript(),
                                  plain + lines + CodePageTable::decode(everyByte()) +
                                      QStringLiteral("CLOSED.\r\n"),
                                  peerMs);
        QCOMPARE(LoopbackTools::openSocketCount(), socketsBefore);
        QTRY_COMPARE_WITH_TIMEOUT(server.state(), QProcess::NotRunning, peerMs);
        QVERIFY2(server.exitCode() == 0, server.readAllStandardError().constData());
        QVERIFY(server.readAllStandardOutput().endsWith("UNWRAPPED\n"));
        QVERIFY(reports.isEmpty());
    }

    // Tapwire as an implicit-TLS server: armed while listening, the client's
    // hello never shows, and the client checks our certificate strictly.
    void opensslClientAgainstArmedListener()
    {
        const int port = listen();
        QVERIFY(startTls()->isEnabled());
        startTls()->trigger();
        QCOMPARE(transcript(), QStringLiteral("TLS ARMED.\r\n"));
        QVERIFY(!startTls()->isEnabled());

        QProcess client;
        client.start(m_openssl,
                     {QStringLiteral("s_client"), QStringLiteral("-connect"),
                      QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("-quiet"),
                      QStringLiteral("-CAfile"), file("ours.pem"), QStringLiteral("-verify_ip"),
                      QStringLiteral("127.0.0.1"), QStringLiteral("-verify_return_error")});
        QTRY_VERIFY_WITH_TIMEOUT(transcript().contains(QStringLiteral("OUR CERTIFICATE")), peerMs);
        const QString ours = QStringLiteral("OUR CERTIFICATE (CN=Tapwire; SHA-256 %1).\r\n")
                                 .arg(sha256(ServerIdentity::get().certificate));
        QVERIFY2(transcript().endsWith(ours), qPrintable(transcript()));
        const QStringList lines = transcript().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines[1].startsWith(QStringLiteral("CONNECTION ACCEPTED (127.0.0.1:")));
        QVERIFY(lines[2].startsWith(QStringLiteral("TLS STARTED (TLSv1.3, ")));
        // What arrives is read in place; an allocation that fails before it
        // goes in loses none of it: reading waits, and the next edit lets it in.
        TextStore::failNextAppends(1);
        client.write(everyByte());
        QTRY_COMPARE_WITH_TIMEOUT(reportNumbers(), QList<int>{7}, peerMs);
        reports.clear();
        WireTextEdit *received = box("txtRecvData");
        received->setFocus();
        received->setCursorPosition(received->textLength());
        QTest::keyClicks(received, QStringLiteral("x"));
        const QString started = transcript();
        QVERIFY(started.endsWith(QStringLiteral(").\r\nx")));
        QTRY_COMPARE_WITH_TIMEOUT(transcript(), started + CodePageTable::decode(everyByte()),
                                  peerMs);
        box("txtSendData")->setText(CodePageTable::decode(everyByte()));
        QVERIFY(click("cmdSendData"));
        QByteArray got;
        QVERIFY(readUntil(client, got, 256));
        QCOMPARE(got, everyByte());
        QVERIFY(click("cmdClose"));
        // Waits with the event loop running: Close sends close_notify from it.
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QProcess::NotRunning, peerMs);
        QVERIFY(reports.isEmpty());
    }

    // Close disarms: after a new Listen the next peer talks in the clear.
    void closeDisarms()
    {
        listen();
        startTls()->trigger();
        QVERIFY(click("cmdClose"));
        QVERIFY(!startTls()->isEnabled());
        auto peer = acceptedPeer();
        QVERIFY(peer);
        QVERIFY(startTls()->isEnabled());
        peer->write("hello");
        QTRY_VERIFY(transcript().endsWith(QStringLiteral(").\r\nhello")));
        QVERIFY(transcript().startsWith(
            QStringLiteral("TLS ARMED.\r\nCLOSED.\r\nCONNECTION ACCEPTED (")));
    }

    // Tapwire as server of a STARTTLS exchange: armed while connected, the
    // go-ahead goes out in the clear, the handshake follows it. Close ends
    // TLS with close_notify; or the client does, gets the answer, and no
    // socket is left open.
    void listenerUpgradesForAStarttlsClient_data()
    {
        QTest::addColumn<bool>("clientCloses");
        QTest::newRow("Close") << false;
        QTest::newRow("client's close_notify") << true;
    }
    void listenerUpgradesForAStarttlsClient()
    {
        QFETCH(bool, clientCloses);
        const int socketsBefore = LoopbackTools::openSocketCount();
        const int port = listen();
        QProcess client;
        QStringList args = {QStringLiteral(STARTTLS_PEER), QStringLiteral("client"),
                            QString::number(port), file("ours.pem")};
        if (clientCloses)
            args << QStringLiteral("unwrap");
        client.start(m_python, args);
        QTRY_VERIFY_WITH_TIMEOUT(transcript().endsWith(QStringLiteral("STARTTLS\r\n")), peerMs);
        QVERIFY(startTls()->isEnabled());
        pressCtrlT();
        QVERIFY(transcript().endsWith(QStringLiteral("STARTTLS\r\nTLS ARMED.\r\n")));
        QVERIFY(!startTls()->isEnabled());

        box("txtSendData")->setText(QStringLiteral("220 go ahead\r\n"));
        QVERIFY(click("cmdSendData"));
        QTRY_VERIFY_WITH_TIMEOUT(transcript().contains(QStringLiteral("OUR CERTIFICATE")), peerMs);
        QTRY_VERIFY_WITH_TIMEOUT(transcript().endsWith(CodePageTable::decode(everyByte())), peerMs);
        QVERIFY(transcript().endsWith(
            QStringLiteral("TLS ARMED.\r\nTLS STARTED (TLSv1.3, TLS_AES_256_GCM_SHA384).\r\n"
                           "OUR CERTIFICATE (CN=Tapwire; SHA-256 %1).\r\n")
                .arg(sha256(ServerIdentity::get().certificate)) +
            CodePageTable::decode(everyByte())));
        QTRY_VERIFY_WITH_TIMEOUT(client.canReadLine(), peerMs);
        QCOMPARE(client.readLine(),
                 QByteArray("GO-AHEAD ") + QByteArray("220 go ahead\r\n").toHex() + '\n');

        box("txtSendData")->setText(CodePageTable::decode(everyByte()));
        QVERIFY(click("cmdSendData"));
        QTRY_VERIFY_WITH_TIMEOUT(client.canReadLine(), peerMs);
        QCOMPARE(client.readLine(), "GOT " + everyByte().toHex() + '\n');
        if (clientCloses) {
            QTRY_VERIFY_WITH_TIMEOUT(transcript().endsWith(CodePageTable::decode(everyByte()) +
                                                           QStringLiteral("CLOSED.\r\n")),
                                     peerMs);
            QCOMPARE(LoopbackTools::openSocketCount(), socketsBefore);
        } else {
            QVERIFY(click("cmdClose"));
        }
        // Waits with the event loop running: Close sends close_notify from it.
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QProcess::NotRunning, peerMs);
        QVERIFY2(client.exitCode() == 0, client.readAllStandardError().constData());
        QCOMPARE(client.readAll(), QByteArray(clientCloses ? "UNWRAPPED\n" : "CLOSE_NOTIFY\n"));
        QVERIFY(reports.isEmpty());
    }

    // A failed handshake ends the session: its number, nothing of it in the
    // transcript, and no socket left open. A peer that never answers meets
    // the deadline (shortened here).
    void failedHandshakeEndsTheSession_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");
        QTest::newRow("plain text") << QByteArray("HTTP/1.0 400 Bad Request\r\n\r\n") << 40300
                                    << "TLS handshake failed: error:0A00010B:SSL "
                                       "routines::wrong version number";
        QTest::newRow("dropped") << QByteArray() << 40301
                                 << "The connection ended during the TLS handshake";
        QTest::newRow("silent") << QByteArray("silent") << 40302
                                << "The TLS handshake did not complete within 30 seconds";
    }
    void failedHandshakeEndsTheSession()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, number);
        QFETCH(QString, description);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        const int socketsBefore = LoopbackTools::openSocketCount();
        endpoint()->setHandshakeTimeout(500);
        connectTo(QStringLiteral("127.0.0.1"), server.serverPort());
        QVERIFY(server.waitForNewConnection(5000));
        std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
        QTRY_VERIFY_WITH_TIMEOUT(startTls()->isEnabled(), peerMs);
        const QString connected = transcript();

        pressCtrlT();
        QTRY_VERIFY_WITH_TIMEOUT(peer->bytesAvailable() > 0, peerMs); // the client's hello
        peer->readAll();
        if (answer.isEmpty())
            peer->close();
        else if (answer != "silent")
            peer->write(answer);
        QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, peerMs);
        QCOMPARE(reports[0].number(), number);
        QCOMPARE(reports[0].description(), description);
        QCOMPARE(transcript(), connected);
        QCOMPARE(endpoint()->State(), int(EndpointState::Error));
        QVERIFY(!startTls()->isEnabled());
        peer.reset();
        QTRY_COMPARE_WITH_TIMEOUT(LoopbackTools::openSocketCount(), socketsBefore, peerMs);
    }

    // Armed on Listen, a client that connects and says nothing holds the
    // one accept slot only until the deadline.
    void silentClientMeetsTheDeadline()
    {
        const int socketsBefore = LoopbackTools::openSocketCount();
        endpoint()->setHandshakeTimeout(500);
        const int port = listen();
        startTls()->trigger();
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, quint16(port));
        QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, peerMs);
        QCOMPARE(reports[0].number(), 40302);
        QTRY_COMPARE_WITH_TIMEOUT(peer.state(), QAbstractSocket::UnconnectedState, peerMs);
        QTRY_COMPARE_WITH_TIMEOUT(LoopbackTools::openSocketCount(), socketsBefore, peerMs);
    }

    // Close during a handshake says what it held and did not send.
    void closeDuringHandshakeNamesWhatWasHeld()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        connectTo(QStringLiteral("127.0.0.1"), server.serverPort());
        QVERIFY(server.waitForNewConnection(5000));
        std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
        QTRY_VERIFY_WITH_TIMEOUT(startTls()->isEnabled(), peerMs);
        pressCtrlT();
        box("txtSendData")->setText(QStringLiteral("held"));
        QVERIFY(click("cmdSendData"));
        const QString before = transcript();
        QVERIFY(click("cmdClose"));
        QCOMPARE(transcript(),
                 before + QStringLiteral("HELD DATA NOT SENT (4 BYTES).\r\nCLOSED.\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(peer->state(), QAbstractSocket::UnconnectedState, peerMs);
    }
};

QTEST_MAIN(tst_TlsSessions)
#include "tst_TlsSessions.moc"
