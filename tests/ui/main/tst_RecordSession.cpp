#include "CodePageTable.h"
#include "SessionController.h"
#include "WindowDriver.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

// Record Session end to end: real sessions through the window, the file read
// back by tshark.
class tst_RecordSession : public QObject, private WindowDriver
{
    Q_OBJECT

    static constexpr int peerMs = 30000;
    QTemporaryDir m_dir;

    static QByteArray everyByte() { return LoopbackTools::allBytesPattern(256); }

    QAction *recordItem() const
    {
        const std::unique_ptr<QMenu> menu(box("txtRecvData")->createStandardContextMenu());
        for (QAction *action : menu->actions()) {
            if (action->text().contains(QStringLiteral("&S")))
                return action;
        }
        return nullptr;
    }

    // tshark's output; fails on an exit status or anything on stderr but
    // its notice about running as root.
    static QString tshark(const QStringList &args)
    {
        QProcess run;
        run.start(QStringLiteral("tshark"), args);
        if (!run.waitForFinished(peerMs) || run.exitCode() != 0)
            return QStringLiteral("tshark failed: ") + run.readAllStandardError();
        const QByteArray errors =
            run.readAllStandardError().replace(R"(Running as user "root" and group "root". )"
                                               "This could be dangerous.\n",
                                               "");
        return QString::fromUtf8(errors.isEmpty() ? run.readAllStandardOutput()
                                                  : "tshark said: " + errors);
    }

    // Both directions of a stream, each as its client (node 0) and server
    // sent them, after the line that names the two.
    static QByteArrayList followed(const QString &path, int stream)
    {
        const QString out = tshark({QStringLiteral("-r"), path, QStringLiteral("-qz"),
                                    QStringLiteral("follow,tcp,raw,%1").arg(stream)});
        QByteArrayList result = {
            {}, {}, out.section(QStringLiteral("Node 0: "), 1).section(u'\n', 0, 0).toUtf8()};
        for (const QString &line : out.section(QStringLiteral("Node 1: "), 1).split(u'\n').mid(1)) {
            if (!line.startsWith(u'='))
                result[line.startsWith(u'\t') ? 1 : 0] +=
                    QByteArray::fromHex(line.trimmed().toLatin1());
        }
        return result;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("tshark")).isEmpty(),
                 "tshark is installed by the Makefile");
        QVERIFY(m_dir.isValid());
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                       QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                       QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes"),
                       QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                       QStringLiteral("/CN=localhost"), QStringLiteral("-keyout"),
                       m_dir.filePath(QStringLiteral("self.key")), QStringLiteral("-out"),
                       m_dir.filePath(QStringLiteral("self.pem"))});
        QVERIFY(openssl.waitForFinished(peerMs) && openssl.exitCode() == 0);
    }
    void init() { open(); }
    void cleanup() { close(); }

    // A STARTTLS session with a server not trusted, so that what was sent
    // during the handshake is held and dropped, which its close ends; then a
    // session over IPv6 that the peer resets. tshark reads both back: both
    // ways byte for byte, with nothing to warn about but the reset.
    void tsharkReadsBothSessionsBack()
    {
        const QString path = m_dir.filePath(QStringLiteral("sessions.pcapng"));
        QCOMPARE(recordItem()->text(), QStringLiteral("Record &Session..."));
        QString title;
        QVERIFY(whileModal([&] { recordItem()->trigger(); },
                           [&](QWidget *modal) {
                               auto *dialog = qobject_cast<QFileDialog *>(modal);
                               QVERIFY(dialog);
                               title = dialog->windowTitle();
                               dialog->selectFile(path);
                               QMetaObject::invokeMethod(dialog, "accept");
                           }));
        QCOMPARE(title, QStringLiteral("Record Session"));
        QCOMPARE(recordItem()->text(), QStringLiteral("&Stop Recording"));

        QProcess server;
        server.start(QStringLiteral("python3"),
                     {QStringLiteral(STARTTLS_PEER), QStringLiteral("server"),
                      m_dir.filePath(QStringLiteral("self.pem")),
                      m_dir.filePath(QStringLiteral("self.key"))});
        QVERIFY(server.waitForReadyRead(peerMs));
        const int port = server.readLine().trimmed().mid(5).toInt();
        connectTo(QStringLiteral("127.0.0.1"), port);
        QTRY_VERIFY_WITH_TIMEOUT(transcript().endsWith(QStringLiteral("220 ready\r\n")), peerMs);
        box("txtSendData")->setText(QStringLiteral("STARTTLS\r\n"));
        QVERIFY(click("cmdSendData"));
        QTRY_VERIFY_WITH_TIMEOUT(transcript().endsWith(QStringLiteral("220 go ahead\r\n")), peerMs);
        window->mnuStartTLS->trigger();
        box("txtSendData")->setText(QStringLiteral("HELD\r\n"));
        QVERIFY(click("cmdSendData"));
        QTRY_VERIFY_WITH_TIMEOUT(transcript().endsWith(QStringLiteral("PEER NOT TRUSTED.\r\n")),
                                 peerMs);
        box("txtSendData")->setText(CodePageTable::decode(everyByte()));
        QVERIFY(click("cmdSendData"));
        QTRY_VERIFY_WITH_TIMEOUT(transcript().endsWith(CodePageTable::decode(everyByte()) +
                                                       QStringLiteral("CLOSED.\r\n")),
                                 peerMs);
        QTRY_COMPARE_WITH_TIMEOUT(server.state(), QProcess::NotRunning, peerMs);
        QCOMPARE(server.exitCode(), 0);

        auto peer = sessionWith(QStringLiteral("::1"), true);
        QVERIFY(peer);
        QVERIFY(LoopbackTools::writeThrough(*peer, everyByte()));
        QTRY_VERIFY(transcript().endsWith(CodePageTable::decode(everyByte())));
        QVERIFY(click("cmdSendData"));
        QTRY_COMPARE(peer->bytesAvailable(), 256);
        QCOMPARE(peer->readAll(), everyByte());
        LoopbackTools::resetConnection(*peer);
        QTRY_COMPARE(reportNumbers(), QList<int>{10054});
        recordItem()->trigger();
        QCOMPARE(recordItem()->text(), QStringLiteral("Record &Session..."));

        const QString listed = tshark({QStringLiteral("-r"), path});
        QVERIFY2(listed.contains(QStringLiteral(" 127.0.0.1 → 127.0.0.1 ")), qPrintable(listed));
        // Every port decoded as plain data: an ephemeral port that happens to
        // be some protocol's would otherwise have the bytes dissected as it.
        const QString expert =
            tshark({QStringLiteral("-r"), path, QStringLiteral("-d"),
                    QStringLiteral("tcp.port==1-65535,data"), QStringLiteral("-o"),
                    QStringLiteral("ip.check_checksum:TRUE"), QStringLiteral("-o"),
                    QStringLiteral("tcp.check_checksum:TRUE"), QStringLiteral("-qz"),
                    QStringLiteral("expert")});
        QVERIFY2(!expert.contains(QStringLiteral("Errors (")), qPrintable(expert));
        const QString warnings =
            expert.section(QStringLiteral("Warns ("), 1).section(QStringLiteral("\n\n"), 0, 0);
        QVERIFY2(warnings.startsWith(QStringLiteral("1)")) &&
                     warnings.contains(QStringLiteral("Connection reset (RST)")),
                 qPrintable(expert));

        const QByteArrayList tls = followed(path, 0);
        QVERIFY2(tls[2].startsWith("127.0.0.1:"), tls[2].constData());
        QCOMPARE(tls[0], "STARTTLS\r\n" + everyByte());
        QCOMPARE(tls[1], "220 ready\r\n220 go ahead\r\n" + everyByte());
        const QByteArrayList reset = followed(path, 1);
        QVERIFY2(reset[2].startsWith("[::1]:"), reset[2].constData());
        QCOMPARE(reset[0], everyByte());
        QCOMPARE(reset[1], everyByte());

        // Each status line on the packet it belongs to, or the next.
        const QString comments = tshark(
            {QStringLiteral("-r"), path, QStringLiteral("-Y"), QStringLiteral("frame.comment"),
             QStringLiteral("-T"), QStringLiteral("fields"), QStringLiteral("-e"),
             QStringLiteral("tcp.stream"), QStringLiteral("-e"), QStringLiteral("tcp.flags.str"),
             QStringLiteral("-e"), QStringLiteral("frame.comment")});
        for (const char *expected :
             {"^0\t··········S·\tCONNECTED \\(127.0.0.1:\\d+\\).$",
              "^0\t·······AP···\tTLS STARTED \\(", "^0\t·······A···F\tCLOSED.$",
              "^1\t··········S·\tCONNECTION ACCEPTED \\(\\[::1\\]:\\d+\\).$",
              "^1\t·······A·R··\tError 10054: "}) {
            QVERIFY2(comments.contains(QRegularExpression(QString::fromUtf8(expected),
                                                          QRegularExpression::MultilineOption)),
                     qPrintable(expected + QStringLiteral(" in\n") + comments));
        }
    }

    // A write that fails stops the recording and names the file; the
    // session and the transcript go on. A file that can't be made is refused
    // before anything is recorded.
    void failedWriteStopsOnlyTheRecording()
    {
        auto peer = acceptedPeer();
        QVERIFY(peer);
        window->session()->startRecording(QStringLiteral("/dev/full"));
        QCOMPARE(recordItem()->text(), QStringLiteral("&Stop Recording"));
        peer->write("before");
        QTRY_VERIFY_WITH_TIMEOUT(!reports.isEmpty(), 5000);
        QCOMPARE(reports[0].number(), 61);
        QVERIFY2(reports[0].description().contains(QStringLiteral("/dev/full")),
                 qPrintable(reports[0].description()));
        QCOMPARE(recordItem()->text(), QStringLiteral("Record &Session..."));
        peer->write("after");
        QTRY_VERIFY(transcript().endsWith(QStringLiteral(").\r\nbeforeafter")));
        QCOMPARE(enabledControls(), connected());

        const QString missing = m_dir.filePath(QStringLiteral("missing/session.pcapng"));
        QVERIFY_THROWS_EXCEPTION(AppError, window->session()->startRecording(missing));
        QVERIFY(!window->session()->recorder().isRecording());
        QCOMPARE(recordItem()->text(), QStringLiteral("Record &Session..."));
    }
};

QTEST_MAIN(tst_RecordSession)
#include "tst_RecordSession.moc"
