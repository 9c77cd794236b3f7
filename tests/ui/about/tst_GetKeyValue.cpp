#include "FakeRegistry.h"
#include "GetKeyValue.h"
#include "RegistryValueText.h"

#include <QTest>

#include <stdexcept>

namespace {

const std::string Key = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";

std::string bytes(const QByteArray &data)
{
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

QByteArray bytes(const std::string &data)
{
    return QByteArray(data.data(), static_cast<qsizetype>(data.size()));
}

} // namespace

class TestGetKeyValue : public QObject
{
    Q_OBJECT

private slots:
    void testTextValue();
    void testStoredBytes_data();
    void testStoredBytes();
    void testNumberValue_data();
    void testNumberValue();
    void testOtherTypeKeepsText();
    void testMissingKey();
    void testMissingValue();
    void testValueWithoutDataThrowsAndClosesKey();
    void testHexLiteral_data();
    void testHexLiteral();
    void testBadHexLiterals_data();
    void testBadHexLiterals();
};

void TestGetKeyValue::testTextValue()
{
    FakeRegistry registry;
    registry.setValue(Key, "PATH", RegistryApi::RegSz,
                      std::string("C:\\Tools\\msinfo32.exe\0", 22));
    std::string value = "before";

    QVERIFY(GetKeyValue(registry, RegistryApi::LocalMachine, Key, "PATH", value));
    QCOMPARE(value, std::string("C:\\Tools\\msinfo32.exe"));
    QCOMPARE(registry.openedKeys, std::vector<std::string>{Key});
    QCOMPARE(registry.openOptions, std::vector<std::uint32_t>{0});
    QCOMPARE(registry.openAccess, std::vector<std::uint32_t>{0x2003F});
    QCOMPARE(registry.querySizes, std::vector<std::uint32_t>{1024});
    QVERIFY(registry.everyBufferWasZeroed);
    QCOMPARE(registry.closedKeys, registry.handedOutKeys);
}

void TestGetKeyValue::testStoredBytes_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("terminating zero dropped")
        << QByteArray("abc\0", 4) << true << QByteArray("abc");
    QTest::newRow("no terminator kept whole") << QByteArray("abc") << true << QByteArray("abc");
    QTest::newRow("two zeros keep one")
        << QByteArray("abc\0\0", 5) << true << QByteArray("abc\0", 4);
    QTest::newRow("zero byte alone") << QByteArray(1, '\0') << true << QByteArray();
    QTest::newRow("1024 bytes read") << QByteArray(1024, 'x') << true << QByteArray(1024, 'x');
    QTest::newRow("1023 and terminator")
        << QByteArray(1023, 'x') + QByteArray(1, '\0') << true << QByteArray(1023, 'x');
    QTest::newRow("1025 bytes missing") << QByteArray(1025, 'x') << false << QByteArray();
    QTest::newRow("4000 bytes missing") << QByteArray(4000, 'x') << false << QByteArray();
}

void TestGetKeyValue::testStoredBytes()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, found);
    QFETCH(QByteArray, expected);

    FakeRegistry registry;
    registry.setValue(Key, "PATH", RegistryApi::RegSz, bytes(stored));
    std::string value = "before";

    QCOMPARE(GetKeyValue(registry, RegistryApi::LocalMachine, Key, "PATH", value), found);
    QCOMPARE(bytes(value), expected);
    QCOMPARE(registry.closedKeys, registry.handedOutKeys);
}

void TestGetKeyValue::testNumberValue_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("expected");

    QTest::newRow("1") << QByteArray("\x01\x00\x00\x00", 4) << "1";
    QTest::newRow("256") << QByteArray("\x00\x01\x00\x00", 4) << "256";
    QTest::newRow("65536") << QByteArray("\x00\x00\x01\x00", 4) << "65536";
    QTest::newRow("0") << QByteArray(4, '\0') << "0";
    QTest::newRow("305419896") << QByteArray("\x78\x56\x34\x12", 4) << "305419896";
    // The top bit is read as part of an unsigned number.
    QTest::newRow("top bit set") << QByteArray("\x00\x00\x00\x80", 4) << "2147483648";
    QTest::newRow("all bits set") << QByteArray("\xFF\xFF\xFF\xFF", 4) << "4294967295";
}

void TestGetKeyValue::testNumberValue()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, expected);

    FakeRegistry registry;
    registry.setValue(Key, "Number", RegistryApi::RegDword, bytes(stored));
    std::string value;

    QVERIFY(GetKeyValue(registry, RegistryApi::LocalMachine, Key, "Number", value));
    QCOMPARE(QString::fromStdString(value), expected);
}

void TestGetKeyValue::testOtherTypeKeepsText()
{
    FakeRegistry registry;
    registry.setValue(Key, "PATH", RegistryApi::RegExpandSz, std::string("%SystemRoot%\0", 13));
    std::string value = "held";

    QVERIFY(GetKeyValue(registry, RegistryApi::LocalMachine, Key, "PATH", value));
    QCOMPARE(value, std::string("held"));
}

void TestGetKeyValue::testMissingKey()
{
    FakeRegistry registry;
    std::string value = "held";

    QVERIFY(!GetKeyValue(registry, RegistryApi::LocalMachine, Key, "PATH", value));
    QCOMPARE(value, std::string());
    QCOMPARE(registry.openedKeys.size(), std::size_t(1));
    QVERIFY(registry.closedKeys.empty()); // nothing was opened, so nothing is closed
}

void TestGetKeyValue::testMissingValue()
{
    FakeRegistry registry;
    registry.setValue(Key, "Other", RegistryApi::RegSz, std::string("x\0", 2));
    std::string value = "held";

    QVERIFY(!GetKeyValue(registry, RegistryApi::LocalMachine, Key, "PATH", value));
    QCOMPARE(value, std::string());
    QCOMPARE(registry.closedKeys.size(), std::size_t(1));
    QCOMPARE(registry.closedKeys, registry.handedOutKeys);
}

void TestGetKeyValue::testValueWithoutDataThrowsAndClosesKey()
{
    FakeRegistry registry;
    registry.setValue(Key, "PATH", RegistryApi::RegSz, std::string());
    std::string value = "held";

    QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                             GetKeyValue(registry, RegistryApi::LocalMachine, Key, "PATH", value));
    QCOMPARE(registry.closedKeys.size(), std::size_t(1));
    QCOMPARE(registry.closedKeys, registry.handedOutKeys);
}

void TestGetKeyValue::testHexLiteral_data()
{
    QTest::addColumn<QByteArray>("kept");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QString>("decimal");

    QTest::newRow("three bytes") << QByteArray("\x00\x00\x01", 3) << "&h010000"
                                 << "65536";
    QTest::newRow("last byte first") << QByteArray("\xAB\xCD", 2) << "&hCDAB"
                                     << "52651";
    QTest::newRow("one byte") << QByteArray("\x0F", 1) << "&h0F"
                              << "15";
    // Leading zeros make a literal long without making the number large.
    QTest::newRow("five bytes, top zero") << QByteArray("\x01\x00\x00\x00\x00", 5) << "&h0000000001"
                                          << "1";
}

void TestGetKeyValue::testHexLiteral()
{
    QFETCH(QByteArray, kept);
    QFETCH(QString, literal);
    QFETCH(QString, decimal);

    const std::string hex = RegistryValueText::hexLiteral(bytes(kept));
    QCOMPARE(QString::fromStdString(hex), literal);
    QCOMPARE(QString::fromStdString(RegistryValueText::decimalFromHexLiteral(hex)), decimal);
}

void TestGetKeyValue::testBadHexLiterals_data()
{
    QTest::addColumn<QString>("literal");
    QTest::addColumn<bool>("tooLarge");

    QTest::newRow("no digits") << "&h" << false;
    QTest::newRow("not hexadecimal") << "&h12G4" << false;
    QTest::newRow("no prefix") << "1234" << false;
    QTest::newRow("33 bits") << "&h100000000" << true;
}

void TestGetKeyValue::testBadHexLiterals()
{
    QFETCH(QString, literal);
    QFETCH(bool, tooLarge);

    const std::string text = literal.toStdString();
    if (tooLarge)
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, RegistryValueText::decimalFromHexLiteral(text));
    else
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 RegistryValueText::decimalFromHexLiteral(text));
}

QTEST_GUILESS_MAIN(TestGetKeyValue)
#include "tst_GetKeyValue.moc"
