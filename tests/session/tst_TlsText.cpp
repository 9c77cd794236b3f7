#include "ServerIdentity.h"
#include "TlsText.h"

#include <QDateTime>
#include <QHostAddress>
#include <QTest>

Q_DECLARE_METATYPE(TlsText::Handshake)

// The lines a TLS session adds to the transcript, the names a client gives
// the handshake, and the certificate Tapwire serves.
class tst_TlsText : public QObject
{
    Q_OBJECT

private slots:
    void escaped_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "www.example.com"
                               << "www.example.com";
        QTest::newRow("CR LF") << "a\r\nCLOSED."
                               << "a\\x0D\\x0ACLOSED.";
        QTest::newRow("NUL, TAB, DEL")
            << QString::fromLatin1("a\0b\tc\x7F", 6) << "a\\x00b\\x09c\\x7F";
        QTest::newRow("C1 next line") << QStringLiteral("a\u0085b") << "a\\x85b";
        QTest::newRow("padding") << "a b   ): TRUSTED."
                                 << "a b \\x20\\x20): TRUSTED.";
        QTest::newRow("backslash") << "a\\x0D"
                                   << "a\\\\x0D";
        QTest::newRow("code page letters")
            << QStringLiteral("Caf\u00E9 \u20AC") << QStringLiteral("Caf\u00E9 \u20AC");
        QTest::newRow("beyond the code page") << QStringLiteral("\u0414\u2028") << "\\u0414\\u2028";
        QTest::newRow("beyond the plane") << QStringLiteral("\U0001F600") << "\\U0001F600";
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << "\\uD800";
    }
    void escaped()
    {
        QFETCH(QString, field);
        QFETCH(QString, shown);
        QCOMPARE(TlsText::escaped(field), shown);
    }

    void distinguishedName()
    {
        QCOMPARE(TlsText::distinguishedName({{"emailAddress", "a@b"},
                                             {"C", "DE"},
                                             {"O", "Org"},
                                             {"CN", "x\ny"},
                                             {"OU", "Unit"}}),
                 QStringLiteral("CN=x\\x0Ay, OU=Unit, O=Org, C=DE, emailAddress=a@b"));
    }

    void handshakeLines_data()
    {
        TlsText::Handshake handshake;
        handshake.protocol = QStringLiteral("TLSv1.3");
        handshake.cipher = QStringLiteral("TLS_AES_256_GCM_SHA384");
        handshake.certificate = {QStringLiteral("CN=a"), QStringLiteral("CN=ca"),
                                 QDate(2027, 1, 31), QByteArray("\x0A\xBC\xFF", 3)};
        handshake.hasCertificate = true;
        const QString started =
            QStringLiteral("TLS STARTED (TLSv1.3, TLS_AES_256_GCM_SHA384).\r\n");
        const QString peer =
            QStringLiteral("PEER CERTIFICATE (CN=a; ISSUER CN=ca; EXPIRES 2027-01-31; "
                           "SHA-256 0A:BC:FF): ");

        QTest::addColumn<TlsText::Handshake>("handshake");
        QTest::addColumn<QString>("lines");
        QTest::newRow("trusted") << handshake << started + peer + "TRUSTED.\r\n";
        TlsText::Handshake untrusted = handshake;
        untrusted.untrusted = QStringList{"Self-signed", "Wrong\r\nname"};
        QTest::newRow("not trusted")
            << untrusted << started + peer + "NOT TRUSTED (Self-signed; Wrong\\x0D\\x0Aname).\r\n";
        TlsText::Handshake held = untrusted;
        held.heldNotSent = 27;
        QTest::newRow("not trusted, held data not sent")
            << held
            << started + peer +
                   "NOT TRUSTED (Self-signed; Wrong\\x0D\\x0Aname).\r\n"
                   "HELD DATA NOT SENT (27 BYTES): PEER NOT TRUSTED.\r\n";
        TlsText::Handshake none = handshake;
        none.hasCertificate = false;
        QTest::newRow("no certificate")
            << none
            << started +
                   "PEER CERTIFICATE (NONE): NOT TRUSTED (The peer presented no certificate).\r\n";
        TlsText::Handshake server = untrusted;
        server.asServer = true;
        QTest::newRow("server") << server
                                << started + "OUR CERTIFICATE (CN=a; SHA-256 0A:BC:FF).\r\n";
    }
    void handshakeLines()
    {
        QFETCH(TlsText::Handshake, handshake);
        QFETCH(QString, lines);
        QCOMPARE(TlsText::handshakeLines(handshake), lines);
    }

    void clientNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("verified");
        QTest::addColumn<bool>("sni");
        QTest::newRow("name") << "mail.example.com"
                              << "mail.example.com" << true;
        QTest::newRow("name as typed, root dot dropped") << "Mail.Example.COM."
                                                         << "Mail.Example.COM" << true;
        QTest::newRow("one dot dropped") << "a.."
                                         << "a." << true;
        QTest::newRow("spaces around") << " mail.example.com. \t"
                                       << "mail.example.com" << true;
        QTest::newRow("IPv4") << "127.0.0.1"
                              << "127.0.0.1" << false;
        QTest::newRow("IPv6") << "::1"
                              << "::1" << false;
        QTest::newRow("IPv6 in brackets") << "[::1]"
                                          << "::1" << false;
        QTest::newRow("spaces around IPv6 in brackets") << " [::1] "
                                                        << "::1" << false;
    }
    void clientNames()
    {
        QFETCH(QString, typed);
        QFETCH(QString, verified);
        QFETCH(bool, sni);
        QCOMPARE(TlsText::verificationName(typed), verified);
        QCOMPARE(TlsText::sendsServerName(typed), sni);
    }

    void failureReason()
    {
        QCOMPARE(
            TlsText::failureReason(QStringLiteral(
                "Error during SSL handshake: error:0A00010B:SSL routines::wrong version number")),
            QStringLiteral("error:0A00010B:SSL routines::wrong version number"));
        QCOMPARE(TlsText::failureReason(QStringLiteral("Unknown")), QStringLiteral("Unknown"));
    }

    void serverIdentity()
    {
        const ServerIdentity::Identity &identity = ServerIdentity::get();
        QCOMPARE(&ServerIdentity::get(), &identity); // made once a run
        const QSslCertificate &certificate = identity.certificate;
        QVERIFY(certificate.isSelfSigned());
        QCOMPARE(certificate.subjectInfo(QSslCertificate::CommonName),
                 QStringList{QStringLiteral("Tapwire")});
        const auto names = certificate.subjectAlternativeNames();
        QCOMPARE(names.values(QSsl::DnsEntry), QStringList{QStringLiteral("localhost")});
        QStringList addresses = names.values(QSsl::IpAddressEntry);
        addresses.sort();
        QCOMPARE(addresses, (QStringList{QStringLiteral("127.0.0.1"), QStringLiteral("::1")}));
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QVERIFY(certificate.effectiveDate() < now && now.addDays(7) < certificate.expiryDate());
        QCOMPARE(identity.key.type(), QSsl::PrivateKey);
        QCOMPARE(identity.key.algorithm(), QSsl::Ec);

        // A listener still running when less than a day is left serves a new one.
        const QDateTime late = certificate.expiryDate().addSecs(-3600);
        const QSslCertificate first = certificate;
        const QSslCertificate renewed = ServerIdentity::get(late).certificate;
        QVERIFY(renewed != first);
        QVERIFY(renewed.expiryDate() > now.addDays(7));
    }
};

QTEST_GUILESS_MAIN(tst_TlsText)
#include "tst_TlsText.moc"
