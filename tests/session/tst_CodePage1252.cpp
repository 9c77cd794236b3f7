#include "AppError.h"
#include "CodePage1252.h"
#include "CodePageTable.h"

#include <QSet>
#include <QStringDecoder>
#include <QTest>

namespace {

QByteArray allBytes()
{
    QByteArray bytes(256, Qt::Uninitialized);
    for (int byte = 0; byte < 256; ++byte)
        bytes[byte] = char(byte);
    return bytes;
}

bool isUndefinedByte(int byte)
{
    return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

} // namespace

class TestCodePage1252 : public QObject
{
    Q_OBJECT

private slots:
    void testAllBytesRoundTrip();
    void testDecodeMatchesSystemDecoder();
    void testUndefinedBytes_data();
    void testUndefinedBytes();
    void testSpecialCharacters_data();
    void testSpecialCharacters();
    void testEncodesExactlyTheDecodedCharacters();
    void testUnencodable_data();
    void testUnencodable();
    void testEmpty();
    void testNulBytes();
};

void TestCodePage1252::testAllBytesRoundTrip()
{
    const QByteArray bytes = allBytes();
    const QString text = CodePageTable::decode(bytes);

    QCOMPARE(text.size(), bytes.size());
    QCOMPARE(CodePageTable::firstWithoutByte(text), qsizetype(-1));
    QCOMPARE(CodePage1252::encode(text), bytes);
    // Each byte also decodes alone to the character it gives inside a longer chunk.
    for (int byte = 0; byte < 256; ++byte)
        QCOMPARE(CodePageTable::decode(bytes.mid(byte, 1)), QString(text.at(byte)));
}

void TestCodePage1252::testDecodeMatchesSystemDecoder()
{
    // ICU's windows-1252 serves as the reference for every defined byte. For the five undefined
    // bytes ICU 72 (Debian 12) also yields the C1 control of the same number without flagging
    // an error, but other converters differ (some give U+FFFD or fail), so those bytes are
    // checked against their C1 code point in testUndefinedBytes instead.
    QStringDecoder probe("windows-1252");
    if (!probe.isValid())
        QSKIP("This Qt has no windows-1252 decoder (built without ICU)");

    for (int byte = 0; byte < 256; ++byte) {
        if (isUndefinedByte(byte))
            continue;
        QStringDecoder oracle("windows-1252", QStringDecoder::Flag::Stateless);
        const char single = char(byte);
        const QString expected = oracle.decode(QByteArrayView(&single, 1));
        QVERIFY2(!oracle.hasError(), qPrintable(QString::number(byte, 16)));
        QCOMPARE(CodePageTable::decode(QByteArrayView(&single, 1)), expected);
    }
}

void TestCodePage1252::testUndefinedBytes_data()
{
    QTest::addColumn<int>("byte");

    for (int byte : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        QTest::addRow("0x%X", byte) << byte;
}

void TestCodePage1252::testUndefinedBytes()
{
    QFETCH(int, byte);

    const QByteArray bytes(1, char(byte));
    const QString text = CodePageTable::decode(bytes);
    QCOMPARE(text, QString(QChar(char16_t(byte))));
    QCOMPARE(CodePage1252::encode(text), bytes);
}

void TestCodePage1252::testSpecialCharacters_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("character");

    const struct
    {
        int byte;
        const char16_t *character;
        const char *name;
    } rows[] = {
        {0x80, u"€", "euro sign"},
        {0x82, u"‚", "single low-9 quotation mark"},
        {0x83, u"ƒ", "latin small f with hook"},
        {0x84, u"„", "double low-9 quotation mark"},
        {0x85, u"…", "horizontal ellipsis"},
        {0x86, u"†", "dagger"},
        {0x87, u"‡", "double dagger"},
        {0x88, u"ˆ", "modifier circumflex"},
        {0x89, u"‰", "per mille sign"},
        {0x8A, u"Š", "capital S with caron"},
        {0x8B, u"‹", "single left-pointing angle quotation mark"},
        {0x8C, u"Œ", "capital ligature OE"},
        {0x8E, u"Ž", "capital Z with caron"},
        {0x91, u"‘", "left single quotation mark"},
        {0x92, u"’", "right single quotation mark"},
        {0x93, u"“", "left double quotation mark"},
        {0x94, u"”", "right double quotation mark"},
        {0x95, u"•", "bullet"},
        {0x96, u"–", "en dash"},
        {0x97, u"—", "em dash"},
        {0x98, u"˜", "small tilde"},
        {0x99, u"™", "trade mark sign"},
        {0x9A, u"š", "small s with caron"},
        {0x9B, u"›", "single right-pointing angle quotation mark"},
        {0x9C, u"œ", "small ligature oe"},
        {0x9E, u"ž", "small z with caron"},
        {0x9F, u"Ÿ", "capital Y with diaeresis"},
        // Latin-1 neighbours keep their own numbers.
        {0x7F, u"\u007F", "delete"},
        {0xA0, u"\u00A0", "no-break space"},
        {0xE9, u"é", "small e with acute"},
        {0xFF, u"ÿ", "small y with diaeresis"},
    };
    for (const auto &row : rows)
        QTest::addRow("0x%X %s", row.byte, row.name)
            << row.byte << QString::fromUtf16(row.character);
}

void TestCodePage1252::testSpecialCharacters()
{
    QFETCH(int, byte);
    QFETCH(QString, character);

    const QByteArray bytes(1, char(byte));
    QCOMPARE(CodePage1252::encode(character), bytes);
    QCOMPARE(CodePageTable::decode(bytes), character);
}

void TestCodePage1252::testEncodesExactlyTheDecodedCharacters()
{
    // Across the whole BMP, a code unit is encodable exactly when some byte decodes to it, and
    // then it encodes to that byte: encode is the inverse of decode and nothing more.
    const QString decoded = CodePageTable::decode(allBytes());
    for (int unit = 0; unit <= 0xFFFF; ++unit) {
        const QChar character{char16_t(unit)};
        const qsizetype byte = decoded.indexOf(character);
        const QStringView text(&character, 1);
        if (byte >= 0) {
            QCOMPARE(CodePageTable::firstWithoutByte(text), qsizetype(-1));
            QCOMPARE(CodePage1252::encode(text), QByteArray(1, char(byte)));
        } else {
            QCOMPARE(CodePageTable::firstWithoutByte(text), qsizetype(0));
            QVERIFY_THROWS_EXCEPTION(AppError, CodePage1252::encode(text));
        }
    }
}

void TestCodePage1252::testUnencodable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("index");
    QTest::addColumn<QString>("codePoint");
    QTest::addColumn<QString>("place");

    QTest::newRow("U+0080 C1 control")
        << QString::fromUtf16(u"ab\u0080") << qsizetype(2) << QStringLiteral("0080")
        << QStringLiteral("line 1, column 3");
    QTest::newRow("U+0100") << QString::fromUtf16(u"\u0100") << qsizetype(0)
                            << QStringLiteral("0100") << QStringLiteral("line 1, column 1");
    QTest::newRow("U+20AD next to euro")
        << QString::fromUtf16(u"€\u20AD€") << qsizetype(1) << QStringLiteral("20AD")
        << QStringLiteral("line 1, column 2");
    QTest::newRow("U+4E2D") << QString::fromUtf16(u"abc\u4E2D") << qsizetype(3)
                            << QStringLiteral("4E2D") << QStringLiteral("line 1, column 4");
    QTest::newRow("surrogate pair")
        << QString::fromUtf16(u"x\U0001F600y") << qsizetype(1) << QStringLiteral("1F600")
        << QStringLiteral("line 1, column 2");
    QTest::newRow("lone high surrogate")
        << QString::fromUtf16(u"ab\xD800") << qsizetype(2) << QStringLiteral("D800")
        << QStringLiteral("line 1, column 3");
    QTest::newRow("high surrogate before letter")
        << QString::fromUtf16(u"\xD83Dz") << qsizetype(0) << QStringLiteral("D83D")
        << QStringLiteral("line 1, column 1");
    QTest::newRow("lone low surrogate")
        << QString::fromUtf16(u"a\xDE00") << qsizetype(1) << QStringLiteral("DE00")
        << QStringLiteral("line 1, column 2");
    QTest::newRow("after CR LF, a lone CR and a lone LF")
        << QString::fromUtf16(u"ab\r\ncd\re\nfg\u4E2D") << qsizetype(11) << QStringLiteral("4E2D")
        << QStringLiteral("line 4, column 3");
    QTest::newRow("first of two") << QString::fromUtf16(u"é\u4E2D\u0100") << qsizetype(1)
                                  << QStringLiteral("4E2D") << QStringLiteral("line 1, column 2");
}

void TestCodePage1252::testUnencodable()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, index);
    QFETCH(QString, codePoint);
    QFETCH(QString, place);

    QCOMPARE(CodePageTable::firstWithoutByte(text), index);
    try {
        const QByteArray bytes = CodePage1252::encode(text);
        QFAIL(
            qPrintable(QStringLiteral("encoded to %1 bytes instead of failing").arg(bytes.size())));
    } catch (const AppError &error) {
        QCOMPARE(error.number(), 40200);
        QCOMPARE(error.description(), QStringLiteral("Character U+%1 at %2 cannot be sent in the "
                                                     "Windows-1252 code page")
                                          .arg(codePoint, place));
    }
}

void TestCodePage1252::testEmpty()
{
    QVERIFY(CodePage1252::encode(QString()).isEmpty());
    QVERIFY(CodePage1252::encode(QStringLiteral("")).isEmpty());
    QVERIFY(CodePageTable::decode(QByteArray()).isEmpty());
    QVERIFY(CodePageTable::decode(QByteArrayView(static_cast<const char *>(nullptr), 0)).isEmpty());
    QCOMPARE(CodePageTable::firstWithoutByte(QString()), qsizetype(-1));
}

void TestCodePage1252::testNulBytes()
{
    const QByteArray bytes("\0a\0\0b\0", 6);
    const QString text = CodePageTable::decode(bytes);

    QCOMPARE(text.size(), 6);
    QCOMPARE(text, QString::fromUtf16(u"\0a\0\0b\0", 6));
    QCOMPARE(CodePageTable::firstWithoutByte(text), qsizetype(-1));
    QCOMPARE(CodePage1252::encode(text), bytes);
}

QTEST_APPLESS_MAIN(TestCodePage1252)
#include "tst_CodePage1252.moc"
