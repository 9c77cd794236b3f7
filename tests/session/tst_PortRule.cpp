#include "AppError.h"
#include "PortRule.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QTest>

#include <clocale>
#include <cmath>
#include <limits>

namespace {

// Row names show tabs and line feeds as escapes so that the test log stays one line per row.
QByteArray visible(const char *text)
{
    return QByteArray(text).replace('\t', "\\t").replace('\n', "\\n");
}

} // namespace

class TestPortRule : public QObject
{
    Q_OBJECT

private slots:
    void testSanitisedPortText_data();
    void testSanitisedPortText();
    void testSanitisedPortTextIsStable_data();
    void testSanitisedPortTextIsStable();
    void testLeadingNumberValue_data();
    void testLeadingNumberValue();
    void testLeadingNumberValueOutOfRange_data();
    void testLeadingNumberValueOutOfRange();
    void testNumberText_data();
    void testNumberText();
    void testNumberTextReadsBackAsItself();
    void testNumbersIgnoreLocale();
    void testPortFromText_data();
    void testPortFromText();
    void testPortFromTextErrors_data();
    void testPortFromTextErrors();
};

void TestPortRule::testSanitisedPortText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    // Number texts stay as typed.
    for (const char *text :
         {"80", "0", "65535", "123456789012345", "-80", "1.5", ".5", "-.5", "1E+15", "1E-05"})
        QTest::addRow("stays '%s'", text) << QString::fromLatin1(text) << QString::fromLatin1(text);

    // Anything that is not exactly its own number text is replaced.
    for (const char *text : {"",     "080", "00",   "+80", " 80",  "80 ",  "8 0",   "80a", "a",
                             "8O",   "0.5", "1.50", "80.", "&H50", "1e3",  "1,000", "-0",  "1e+15",
                             "1E15", ".50", "-",    ".",   "inf",  "\t80", "80\n"})
        QTest::addRow("replaced '%s'", visible(text).constData())
            << QString::fromLatin1(text) << QStringLiteral("0");
}

void TestPortRule::testSanitisedPortText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);

    QCOMPARE(PortRule::sanitisedPortText(text), expected);
}

void TestPortRule::testSanitisedPortTextIsStable_data()
{
    QTest::addColumn<QString>("text");

    for (const char *text : {"80", "080", "1e3", "&H50", "8 0", "1E+15", "1e400", "-.5", ""})
        QTest::addRow("'%s'", text) << QString::fromLatin1(text);
}

void TestPortRule::testSanitisedPortTextIsStable()
{
    QFETCH(QString, text);

    // Whatever the box holds after one change must survive the change notification that
    // setting it causes, or the box would keep rewriting itself.
    const QString once = PortRule::sanitisedPortText(text);
    QCOMPARE(PortRule::sanitisedPortText(once), once);
}

void TestPortRule::testLeadingNumberValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("hexadecimal") << QStringLiteral("&H50") << 80.0;
    QTest::newRow("hexadecimal lower case") << QStringLiteral("&hfF") << 255.0;
    QTest::newRow("octal") << QStringLiteral("&O17") << 15.0;
    QTest::newRow("octal stops at 8") << QStringLiteral("&o178") << 15.0;
    QTest::newRow("hexadecimal without digits") << QStringLiteral("&H") << 0.0;
    QTest::newRow("unknown radix letter") << QStringLiteral("&X1") << 0.0;
    QTest::newRow("signed hexadecimal is no number") << QStringLiteral("-&H50") << 0.0;
    QTest::newRow("spaced hexadecimal") << QStringLiteral("& H 5 0") << 80.0;
    QTest::newRow("exponent E") << QStringLiteral("1e3") << 1000.0;
    QTest::newRow("exponent D") << QStringLiteral("1D2") << 100.0;
    QTest::newRow("exponent d negative") << QStringLiteral("25d-1") << 2.5;
    QTest::newRow("exponent with plus") << QStringLiteral("1.5E+2") << 150.0;
    QTest::newRow("spaces inside") << QStringLiteral(" - 8 0") << -80.0;
    QTest::newRow("tabs and line feeds inside") << QStringLiteral("\t1\n2 3") << 123.0;
    QTest::newRow("spaced exponent") << QStringLiteral("1 e - 2") << 0.01;
    QTest::newRow("stops at letter") << QStringLiteral("80a") << 80.0;
    QTest::newRow("stops at comma") << QStringLiteral("1,000") << 1.0;
    QTest::newRow("stops at carriage return") << QStringLiteral("1\r2") << 1.0;
    QTest::newRow("exponent without digits") << QStringLiteral("1e") << 1.0;
    QTest::newRow("exponent sign without digits") << QStringLiteral("1e+") << 1.0;
    QTest::newRow("exponent letter twice") << QStringLiteral("1e2e3") << 100.0;
    QTest::newRow("point alone") << QStringLiteral(".") << 0.0;
    QTest::newRow("second point stops") << QStringLiteral("1.2.3") << 1.2;
    QTest::newRow("sign alone") << QStringLiteral("-") << 0.0;
    QTest::newRow("plus sign") << QStringLiteral("+7") << 7.0;
    QTest::newRow("two signs") << QStringLiteral("--7") << 0.0;
    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("letter first") << QStringLiteral("a1") << 0.0;
    QTest::newRow("fraction without zero") << QStringLiteral("-.5") << -0.5;
    QTest::newRow("trailing point") << QStringLiteral("80.") << 80.0;
    QTest::newRow("leading zeros") << QStringLiteral("000123") << 123.0;
    QTest::newRow("zeros after point") << QStringLiteral("0.00025") << 0.00025;
    QTest::newRow("small fraction scaled up")
        << QStringLiteral("0.000000000000000000000000000001e30") << 1.0;
    QTest::newRow("many digits scaled down")
        << QStringLiteral("1") + QString(400, u'0') + QStringLiteral("e-400") << 1.0;
    QTest::newRow("smallest subnormal")
        << QStringLiteral("4.94065645841247E-324") << std::numeric_limits<double>::denorm_min();
    QTest::newRow("letter O is no zero") << QStringLiteral("8O") << 8.0;
    QTest::newRow("fullwidth digit is no digit") << QString(QChar(0xFF18)) << 0.0;
}

void TestPortRule::testLeadingNumberValue()
{
    QFETCH(QString, text);
    QFETCH(double, expected);

    QCOMPARE(PortRule::leadingNumberValue(text), expected);
}

void TestPortRule::testLeadingNumberValueOutOfRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    const double infinity = std::numeric_limits<double>::infinity();
    QTest::newRow("large exponent") << QStringLiteral("1e400") << infinity;
    QTest::newRow("negative large exponent") << QStringLiteral("-1e400") << -infinity;
    QTest::newRow("exponent beyond any integer")
        << QStringLiteral("1e99999999999999999999999999") << infinity;
    QTest::newRow("many digits") << QString(500, u'9') << infinity;
    QTest::newRow("long hexadecimal") << QStringLiteral("&H") + QString(300, u'F') << infinity;
    QTest::newRow("just past the largest double") << QStringLiteral("1.8e308") << infinity;
    QTest::newRow("1E+309") << QStringLiteral("1E+309") << infinity;
    QTest::newRow("just past the smallest double") << QStringLiteral("1e-330") << 0.0;
    QTest::newRow("tiny exponent") << QStringLiteral("1e-400") << 0.0;
    QTest::newRow("tiny exponent beyond any integer")
        << QStringLiteral("1e-99999999999999999999999999") << 0.0;
    QTest::newRow("zero with large exponent") << QStringLiteral("0e99999") << 0.0;
}

void TestPortRule::testLeadingNumberValueOutOfRange()
{
    QFETCH(QString, text);
    QFETCH(double, expected);

    const double value = PortRule::leadingNumberValue(text);
    QCOMPARE(value, expected);
    // Such a text never stays in the box, and neither does the number text of its value.
    QCOMPARE(PortRule::sanitisedPortText(text), QStringLiteral("0"));
    const QString valueText = PortRule::numberText(value);
    QVERIFY2(valueText == QStringLiteral("0") ||
                 PortRule::sanitisedPortText(valueText) == QStringLiteral("0"),
             qPrintable(valueText));
}

void TestPortRule::testNumberText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("1E15") << 1e15 << QStringLiteral("1E+15");
    QTest::newRow("16 digits") << 1234567890123456.0 << QStringLiteral("1.23456789012346E+15");
    QTest::newRow("1.5E15") << 1.5e15 << QStringLiteral("1.5E+15");
    QTest::newRow("1E100") << 1e100 << QStringLiteral("1E+100");
    QTest::newRow("rounds up into exponent form") << 999999999999999.9 << QStringLiteral("1E+15");
    QTest::newRow("15 digits") << 123456789012345.0 << QStringLiteral("123456789012345");
    QTest::newRow("1E14") << 1e14 << QStringLiteral("100000000000000");
    QTest::newRow("0.1+0.2") << 0.1 + 0.2 << QStringLiteral(".3");
    QTest::newRow("1/3") << 1.0 / 3.0 << QStringLiteral(".333333333333333");
    QTest::newRow("2/3") << 2.0 / 3.0 << QStringLiteral(".666666666666667");
    QTest::newRow("100") << 100.0 << QStringLiteral("100");
    QTest::newRow("1000000") << 1e6 << QStringLiteral("1000000");
    QTest::newRow("65535") << 65535.0 << QStringLiteral("65535");
    QTest::newRow("-2.5") << -2.5 << QStringLiteral("-2.5");
    QTest::newRow("0.5") << 0.5 << QStringLiteral(".5");
    QTest::newRow("-0.5") << -0.5 << QStringLiteral("-.5");
    QTest::newRow("zero") << 0.0 << QStringLiteral("0");
    QTest::newRow("negative zero") << -0.0 << QStringLiteral("0");
    QTest::newRow("1E-4") << 0.0001 << QStringLiteral(".0001");
    QTest::newRow("0.000123") << 0.000123 << QStringLiteral(".000123");
    QTest::newRow("1E-5") << 0.00001 << QStringLiteral("1E-05");
    QTest::newRow("-1.5E-7") << -1.5e-7 << QStringLiteral("-1.5E-07");
    QTest::newRow("1E-300") << 1e-300 << QStringLiteral("1E-300");
    QTest::newRow("fraction above 1") << 12.0625 << QStringLiteral("12.0625");
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << QStringLiteral("inf");
    QTest::newRow("negative infinity")
        << -std::numeric_limits<double>::infinity() << QStringLiteral("-inf");
}

void TestPortRule::testNumberText()
{
    QFETCH(double, value);
    QFETCH(QString, expected);

    QCOMPARE(PortRule::numberText(value), expected);
}

void TestPortRule::testNumberTextReadsBackAsItself()
{
    // Every number text must stay in the box (it is its own number text) and must mean the
    // value it was written from, across the whole range of magnitudes.
    QRandomGenerator random(1252);
    for (int i = 0; i < 20000; ++i) {
        const double mantissa = random.generateDouble() * 10.0;
        const int exponent = random.bounded(-320, 309);
        double value = mantissa * std::pow(10.0, exponent);
        if (i % 2)
            value = -value;
        if (!std::isfinite(value))
            continue;
        // Integers are what the port box mostly holds; cover them densely too.
        if (i % 5 == 0)
            value = std::round(random.bounded(2e15) - 1e15);

        const QString text = PortRule::numberText(value);
        QCOMPARE(PortRule::sanitisedPortText(text), text);
        const double readBack = PortRule::leadingNumberValue(text);
        QVERIFY2(
            std::fabs(readBack - value) <= 1e-14 * std::fabs(value),
            qPrintable(QStringLiteral("%1 reads back as %2").arg(text).arg(readBack, 0, 'g', 17)));
    }
}

void TestPortRule::testNumbersIgnoreLocale()
{
    // The app takes its C locale from the environment; numbers must still use "." both ways.
    const QLocale previousDefault;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QByteArray previousNumeric = std::setlocale(LC_NUMERIC, nullptr);
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "German_Germany.1252"}) {
        if (std::setlocale(LC_NUMERIC, name))
            break;
    }

    const QString text = PortRule::numberText(1.5);
    const double value = PortRule::leadingNumberValue(QStringLiteral("2.25"));
    const qint32 port = PortRule::portFromText(QStringLiteral("3.5"));

    std::setlocale(LC_NUMERIC, previousNumeric.constData());
    QLocale::setDefault(previousDefault);

    QCOMPARE(text, QStringLiteral("1.5"));
    QCOMPARE(value, 2.25);
    QCOMPARE(port, 4);
}

void TestPortRule::testPortFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("expected");

    QTest::newRow("plain") << QStringLiteral("80") << 80;
    QTest::newRow("surrounding spaces") << QStringLiteral(" 80 ") << 80;
    QTest::newRow("zero") << QStringLiteral("0") << 0;
    QTest::newRow("negative") << QStringLiteral("-1") << -1;
    QTest::newRow("above the TCP range") << QStringLiteral("65536") << 65536;
    QTest::newRow("2.5 to even below") << QStringLiteral("2.5") << 2;
    QTest::newRow("3.5 to even above") << QStringLiteral("3.5") << 4;
    QTest::newRow("-2.5 to even") << QStringLiteral("-2.5") << -2;
    QTest::newRow("-3.5 to even") << QStringLiteral("-3.5") << -4;
    QTest::newRow(".5 to zero") << QStringLiteral(".5") << 0;
    QTest::newRow("0.5 to zero") << QStringLiteral("0.5") << 0;
    QTest::newRow("-.5 to zero") << QStringLiteral("-.5") << 0;
    QTest::newRow("1.5 to 2") << QStringLiteral("1.5") << 2;
    QTest::newRow("just below half") << QStringLiteral("2.4999999") << 2;
    QTest::newRow("just above half") << QStringLiteral("2.5000001") << 3;
    QTest::newRow("exponent form") << QStringLiteral("1.5E+3") << 1500;
    QTest::newRow("small exponent form") << QStringLiteral("1E-05") << 0;
    QTest::newRow("largest") << QStringLiteral("2147483647") << 2147483647;
    QTest::newRow("largest by rounding") << QStringLiteral("2147483646.5") << 2147483646;
    QTest::newRow("smallest") << QStringLiteral("-2147483648") << qint32(-2147483647 - 1);
    QTest::newRow("smallest by rounding")
        << QStringLiteral("-2147483648.5") << qint32(-2147483647 - 1);
}

void TestPortRule::testPortFromText()
{
    QFETCH(QString, text);
    QFETCH(qint32, expected);

    QCOMPARE(PortRule::portFromText(text), expected);
}

void TestPortRule::testPortFromTextErrors_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");

    const QString overflow = QStringLiteral("Overflow");
    const QString typeMismatch = QStringLiteral("Type mismatch");
    QTest::newRow("11 digits") << QStringLiteral("99999999999") << 6 << overflow;
    QTest::newRow("1E+15") << QStringLiteral("1E+15") << 6 << overflow;
    QTest::newRow("rounds above largest") << QStringLiteral("2147483647.5") << 6 << overflow;
    QTest::newRow("below smallest") << QStringLiteral("-2147483649") << 6 << overflow;
    QTest::newRow("rounds below smallest") << QStringLiteral("-2147483649.5") << 6 << overflow;
    QTest::newRow("beyond double") << QStringLiteral("1E+400") << 6 << overflow;
    QTest::newRow("empty") << QString() << 13 << typeMismatch;
    QTest::newRow("spaces only") << QStringLiteral("   ") << 13 << typeMismatch;
    QTest::newRow("letters") << QStringLiteral("abc") << 13 << typeMismatch;
    QTest::newRow("trailing letters") << QStringLiteral("80a") << 13 << typeMismatch;
    QTest::newRow("inner space") << QStringLiteral("8 0") << 13 << typeMismatch;
    QTest::newRow("hexadecimal") << QStringLiteral("&H50") << 13 << typeMismatch;
    QTest::newRow("sign alone") << QStringLiteral("-") << 13 << typeMismatch;
    QTest::newRow("point alone") << QStringLiteral(".") << 13 << typeMismatch;
    QTest::newRow("two points") << QStringLiteral("1.2.3") << 13 << typeMismatch;
    QTest::newRow("exponent without digits") << QStringLiteral("1E") << 13 << typeMismatch;
    QTest::newRow("grouping comma") << QStringLiteral("1,000") << 13 << typeMismatch;
    QTest::newRow("infinity") << QStringLiteral("inf") << 13 << typeMismatch;
    QTest::newRow("not a number") << QStringLiteral("nan") << 13 << typeMismatch;
}

void TestPortRule::testPortFromTextErrors()
{
    QFETCH(QString, text);
    QFETCH(int, number);
    QFETCH(QString, description);

    try {
        const qint32 port = PortRule::portFromText(text);
        QFAIL(qPrintable(QStringLiteral("read as %1 instead of failing").arg(port)));
    } catch (const AppError &error) {
        QCOMPARE(error.number(), number);
        QCOMPARE(error.description(), description);
    }
}

QTEST_APPLESS_MAIN(TestPortRule)
#include "tst_PortRule.moc"
