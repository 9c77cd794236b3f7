#include "AboutTexts.h"
#include "CommentsCollapse.h"
#include "VersionLine.h"

#include <QTest>
#include <QUrl>

class TestAboutRules : public QObject
{
    Q_OBJECT

private slots:
    void testVersionLine_data();
    void testVersionLine();
    void testCollapseApplies_data();
    void testCollapseApplies();
    void testCollapsedRows();
    void testLinkCaption();
    void testWebPageAddressIsReserved();
    void testLegalWarning();
};

void TestAboutRules::testVersionLine_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("line");

    QTest::newRow("0.52") << 0 << 52 << 0 << "Version 0.52";
    QTest::newRow("1.05") << 1 << 5 << 0 << "Version 1.05";
    QTest::newRow("1.05.0003") << 1 << 5 << 3 << "Version 1.05.0003";
    QTest::newRow("10.00") << 10 << 0 << 0 << "Version 10.00";
    QTest::newRow("minor 123") << 1 << 123 << 0 << "Version 1.123";
    QTest::newRow("revision 12345") << 2 << 7 << 12345 << "Version 2.07.12345";
    QTest::newRow("negative revision") << 1 << 5 << -1 << "Version 1.05";
}

void TestAboutRules::testVersionLine()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, line);

    const auto m = static_cast<qint16>(major);
    const auto n = static_cast<qint16>(minor);
    const auto r = static_cast<qint16>(revision);
    QCOMPARE(VersionLine::text(m, n, r), line);
    // The two steps the load sequence takes give the same line.
    QCOMPARE(VersionLine::withoutRevision(m, n) + VersionLine::revisionPart(r), line);
    QVERIFY(line.startsWith(VersionLine::withoutRevision(m, n)));
}

void TestAboutRules::testCollapseApplies_data()
{
    QTest::addColumn<QString>("comments");
    QTest::addColumn<bool>("collapses");

    QTest::newRow("empty") << QString(QLatin1String("")) << true;
    QTest::newRow("null") << QString() << true;
    QTest::newRow("single space") << " " << false;
    QTest::newRow("line break") << "\r\n" << false;
    QTest::newRow("text") << "Beta" << false;
}

void TestAboutRules::testCollapseApplies()
{
    QFETCH(QString, comments);
    QFETCH(bool, collapses);

    QCOMPARE(CommentsCollapse::applies(comments), collapses);
}

void TestAboutRules::testCollapsedRows()
{
    CommentsCollapse::Rows laidOut;
    laidOut.line0Y1 = 4935;
    laidOut.line0Y2 = 4935;
    laidOut.line1Y1 = 4935;
    laidOut.line1Y2 = 4935;
    laidOut.disclaimerTop = 5115;
    laidOut.okTop = 5115;
    laidOut.sysInfoTop = 5565;
    laidOut.dialogHeight = 6555;

    QCOMPARE(CommentsCollapse::distance(495), 600);
    const CommentsCollapse::Rows moved = CommentsCollapse::collapsed(laidOut, 495);
    QCOMPARE(moved.line0Y1, 4335);
    QCOMPARE(moved.line0Y2, 4335);
    QCOMPARE(moved.line1Y1, 4335);
    QCOMPARE(moved.line1Y2, 4335);
    QCOMPARE(moved.disclaimerTop, 4515);
    QCOMPARE(moved.okTop, 4515);
    QCOMPARE(moved.sysInfoTop, 4965);
    QCOMPARE(moved.dialogHeight, 5955);
}

void TestAboutRules::testLinkCaption()
{
    const QStringList lines = AboutTexts::linkCaption(QStringLiteral("http://host.example/page/"))
                                  .split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(0).contains(QStringLiteral("free software")));
    QCOMPARE(lines.at(1), QStringLiteral("(http://host.example/page)"));

    // Only the one closing "/" goes.
    QCOMPARE(AboutTexts::linkCaption(QStringLiteral("http://a.example//"))
                 .section(QStringLiteral("\r\n"), 1),
             QStringLiteral("(http://a.example/)"));
    QVERIFY(AboutTexts::linkToolTip().endsWith(QStringLiteral("...")));
}

void TestAboutRules::testWebPageAddressIsReserved()
{
    const QString address = AboutTexts::webPageAddress();
    QVERIFY(address.endsWith(QLatin1Char('/')));
    const QUrl url(address);
    QVERIFY(url.isValid());
    QCOMPARE(url.scheme(), QStringLiteral("http"));
    // A reserved example domain (RFC 2606) until the maker has a page of its own.
    const QString host = url.host();
    QVERIFY2(host == QLatin1String("example.com") || host.endsWith(QLatin1String(".example.com")),
             qPrintable(host));
}

void TestAboutRules::testLegalWarning()
{
    const QString warning = AboutTexts::legalWarning();
    QVERIFY(!warning.endsWith(QStringLiteral("\r\n")));
    const QStringList lines = warning.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 6);
    for (const QString &line : lines) {
        QVERIFY(!line.isEmpty());
        QVERIFY(!line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')));
    }
    QVERIFY(lines.at(0).startsWith(QStringLiteral("Warning:")));
    const QString text = lines.join(QLatin1Char(' '));
    for (const char *phrase :
         {"copyright law", "international treaties", "reproduction or distribution",
          "any portion of it", "civil and criminal penalties", "maximum extent possible under law"})
        QVERIFY2(text.contains(QLatin1String(phrase)), phrase);
}

QTEST_GUILESS_MAIN(TestAboutRules)
#include "tst_AboutRules.moc"
