#include "AppError.h"
#include "AppIdentity.h"
#include "ResourcePictures.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTest>
#include <QtEndian>

#include <array>

using ResourcePictures::Kind;
Q_DECLARE_METATYPE(ResourcePictures::Kind)

namespace {

// The standard 16-colour Windows palette every 4-bit picture must carry.
constexpr std::array<QRgb, 16> windowsPalette{
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xc0c0c0,
    0x808080, 0xff0000, 0x00ff00, 0xffff00, 0x0000ff, 0xff00ff, 0x00ffff, 0xffffff,
};

quint16 word(const QByteArray &data, qsizetype offset)
{
    return qFromLittleEndian<quint16>(data.constData() + offset);
}

quint32 dword(const QByteArray &data, qsizetype offset)
{
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The "VALUE" lines of the generated resource script's string block, in order.
QList<QPair<QString, QString>> rcStrings(const QString &script)
{
    static const QRegularExpression value(
        QStringLiteral(R"re(VALUE\s+"([^"]*)"\s*,\s*"((?:[^"]|"")*)")re"));
    QList<QPair<QString, QString>> strings;
    for (auto it = value.globalMatch(script); it.hasNext();) {
        const auto match = it.next();
        strings.append({match.captured(1),
                        match.captured(2).replace(QStringLiteral("\"\""), QStringLiteral("\""))});
    }
    return strings;
}

// The generated resource script; or, named by TAPWIRE_RC_SCRIPT, the script
// that windres reads back out of the compiled resource (make check-windows).
QString rcScript()
{
    const QString readBack = qEnvironmentVariable("TAPWIRE_RC_SCRIPT");
    return QString::fromUtf8(
        readFile(readBack.isEmpty() ? QStringLiteral(TAPWIRE_RC_FILE) : readBack));
}

QString expectedNotFound(int id)
{
    return QStringLiteral("Resource with identifier '%1' not found").arg(id);
}

} // namespace

class TestAppShell : public QObject
{
    Q_OBJECT

private slots:
    void testIdentity();

    void testIconLoads_data();
    void testIconLoads();
    void testLogoLoads();
    void testCursorLoads();
    void testUnknownPictureThrows_data();
    void testUnknownPictureThrows();

    void testRcStringOrder();
    void testRcStringValue_data();
    void testRcStringValue();
    void testRcIconGroups_data();
    void testRcIconGroups();
    void testRcStatement_data();
    void testRcStatement();
    void testRcPicturesMatchEmbeddedFiles_data();
    void testRcPicturesMatchEmbeddedFiles();

    void testIconFileFormat_data();
    void testIconFileFormat();
    void testBitmapFileFormat();
};

void TestAppShell::testIdentity()
{
    const AppIdentity &identity = appIdentity();
    QCOMPARE(identity.title, QStringLiteral("Tapwire"));
    QCOMPARE(identity.productName, QStringLiteral("Tapwire"));
    QCOMPARE(identity.versionMajor, qint16(0));
    QCOMPARE(identity.versionMinor, qint16(52));
    QCOMPARE(identity.versionRevision, qint16(0));
    QCOMPARE(
        identity.fileDescription,
        QStringLiteral("A small tool that allows you to connect to a remote host then send and "
                       "receive data as text.  It also allows you to listen for a connection "
                       "locally and then communicating with what connects.  This is mainly "
                       "useful for investigating various network/internet communications."));
    QVERIFY(identity.comments.isEmpty());
    QVERIFY(!identity.legalCopyright.isEmpty());
    QVERIFY(!identity.legalCopyright.contains(QLatin1Char('\n')));
    QVERIFY(!identity.legalCopyright.contains(QLatin1Char('\r')));
}

void TestAppShell::testIconLoads_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("blueQuestionMark");
    QTest::newRow("application icon") << 1 << false;
    QTest::newRow("help icon") << 901 << true;
}

void TestAppShell::testIconLoads()
{
    QFETCH(int, id);
    QFETCH(bool, blueQuestionMark);
    const auto picture = ResourcePictures::load(id, Kind::Icon);
    QCOMPARE(picture.kind, Kind::Icon);
    const QList<QSize> sizes = picture.icon.availableSizes();
    QVERIFY2(sizes.contains(QSize(32, 32)), "no 32x32 image");
    QVERIFY2(sizes.contains(QSize(16, 16)), "no 16x16 image");
    for (const int side : {32, 16}) {
        const QImage image = picture.icon.pixmap(QSize(side, side)).toImage();
        QCOMPARE(image.size(), QSize(side, side));
        // The mask leaves the corner clear and the drawing opaque.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(side / 2, side / 2)), 255);
        bool hasBlue = false;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x)
                hasBlue = hasBlue || image.pixel(x, y) == qRgb(0, 0, 255);
        }
        // Tells the two icons apart, so each id reaches its own file.
        QCOMPARE(hasBlue, blueQuestionMark);
    }
    QVERIFY(picture.bitmap.isNull());
}

void TestAppShell::testLogoLoads()
{
    const auto picture = ResourcePictures::load(902, Kind::Bitmap);
    QCOMPARE(picture.kind, Kind::Bitmap);
    QCOMPARE(picture.bitmap.size(), QSize(124, 76));
    QVERIFY(ResourcePictures::bitmap(902).toImage() == picture.bitmap.toImage());
    const QImage image = picture.bitmap.toImage();
    const QRgb corner = image.pixel(0, 0);
    QCOMPARE(corner, qRgb(255, 255, 255));
    QCOMPARE(image.pixel(image.width() - 1, image.height() - 1), qRgb(255, 255, 255));
    bool varied = false;
    for (int y = 0; y < image.height() && !varied; ++y) {
        for (int x = 0; x < image.width() && !varied; ++x)
            varied = image.pixel(x, y) != corner;
    }
    QVERIFY2(varied, "the logo is a single colour");
}

void TestAppShell::testCursorLoads()
{
    const auto picture = ResourcePictures::load(903, Kind::Cursor);
    QCOMPARE(picture.kind, Kind::Cursor);
    QCOMPARE(picture.cursor.hotSpot(), QPoint(6, 1));
    QCOMPARE(ResourcePictures::cursor(903).hotSpot(), QPoint(6, 1));
    const QImage image = picture.cursor.pixmap().toImage();
    QCOMPARE(image.size(), QSize(32, 32));
    // The hot spot is the fingertip's outline, so it must be drawn, in black.
    QCOMPARE(image.pixel(6, 1), qRgb(0, 0, 0));
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            const bool blackOrWhite = pixel == qRgb(0, 0, 0) || pixel == qRgb(255, 255, 255);
            QVERIFY2(
                qAlpha(pixel) == 0 || blackOrWhite,
                qPrintable(
                    QStringLiteral("pixel %1,%2 is neither black, white nor clear").arg(x).arg(y)));
        }
    }
}

void TestAppShell::testUnknownPictureThrows_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<Kind>("kind");
    for (const int id : {0, 2, 900, 904, 30001}) {
        for (const Kind kind : {Kind::Icon, Kind::Bitmap, Kind::Cursor}) {
            QTest::addRow("id %d kind %d", id, int(kind)) << id << kind;
        }
    }
    QTest::newRow("logo as icon") << 902 << Kind::Icon;
    QTest::newRow("logo as cursor") << 902 << Kind::Cursor;
    QTest::newRow("application icon as cursor") << 1 << Kind::Cursor;
    QTest::newRow("application icon as bitmap") << 1 << Kind::Bitmap;
    QTest::newRow("help icon as bitmap") << 901 << Kind::Bitmap;
    QTest::newRow("cursor as icon") << 903 << Kind::Icon;
}

void TestAppShell::testUnknownPictureThrows()
{
    QFETCH(int, id);
    QFETCH(Kind, kind);
    try {
        ResourcePictures::load(id, kind);
        QFAIL("no error was thrown");
    } catch (const AppError &error) {
        QCOMPARE(error.number(), 326);
        QCOMPARE(error.description(), expectedNotFound(id));
    }
}

void TestAppShell::testRcStringOrder()
{
    const QString script = rcScript();
    QVERIFY2(!script.isEmpty(), TAPWIRE_RC_FILE);
    QStringList keys;
    for (const auto &entry : rcStrings(script))
        keys << entry.first;
    // The Translation value is not a string, so it does not match.
    const QStringList expected{
        QStringLiteral("CompanyName"),    QStringLiteral("FileDescription"),
        QStringLiteral("LegalCopyright"), QStringLiteral("ProductName"),
        QStringLiteral("FileVersion"),    QStringLiteral("ProductVersion"),
        QStringLiteral("InternalName"),   QStringLiteral("OriginalFilename"),
    };
    QCOMPARE(keys, expected);
    QVERIFY(!script.contains(QStringLiteral("Comments")));
}

void TestAppShell::testRcStringValue_data()
{
    const AppIdentity &identity = appIdentity();
    const QString version = QStringLiteral("%1.%2")
                                .arg(identity.versionMajor)
                                .arg(identity.versionMinor, 2, 10, QLatin1Char('0'));
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("company") << "CompanyName" << identity.companyName;
    QTest::newRow("description") << "FileDescription" << identity.fileDescription;
    QTest::newRow("copyright") << "LegalCopyright" << identity.legalCopyright;
    QTest::newRow("product") << "ProductName" << identity.productName;
    QTest::newRow("file version") << "FileVersion" << version;
    QTest::newRow("product version") << "ProductVersion" << version;
    QTest::newRow("file version text") << "FileVersion" << QStringLiteral("0.52");
    QTest::newRow("internal name") << "InternalName" << identity.title;
    QTest::newRow("original file name") << "OriginalFilename" << QStringLiteral("Tapwire.exe");
}

void TestAppShell::testRcStringValue()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QStringList found;
    for (const auto &entry : rcStrings(rcScript())) {
        if (entry.first == key)
            found << entry.second;
    }
    QCOMPARE(found, QStringList{value});
}

void TestAppShell::testRcIconGroups_data()
{
    QTest::addColumn<int>("id");
    QTest::newRow("application icon") << 1;
    QTest::newRow("help icon") << 901;
}

// An icon group is an ICON statement in the script, and type 14 (group icon)
// in what windres reads back; the member icons get numbers of windres's own.
void TestAppShell::testRcIconGroups()
{
    QFETCH(int, id);
    const QRegularExpression group(QStringLiteral("^%1 (ICON|14)\\b").arg(id),
                                   QRegularExpression::MultilineOption);
    QVERIFY(group.match(rcScript()).hasMatch());
}

void TestAppShell::testRcStatement_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::newRow("file version") << R"(^FILEVERSION 0,52,0,0$)";
    QTest::newRow("product version") << R"(^PRODUCTVERSION 0,52,0,0$)";
    QTest::newRow("flags") << R"(^FILEFLAGS 0(x0)?$)";
    QTest::newRow("windows 32") << R"(^FILEOS 0x0*4$)";
    QTest::newRow("application") << R"(^FILETYPE 0x0*1$)";
    QTest::newRow("string block") << R"(^\s*BLOCK "040904B0"$)";
    QTest::newRow("translation") << R"(^\s*VALUE "Translation", 0x0*409, 1200$)";
    QTest::newRow("application icon") << R"(^1 ICON "[^"]*/tapwire\.ico"$)";
    QTest::newRow("help icon") << R"(^901 ICON "[^"]*/help\.ico"$)";
    QTest::newRow("logo") << R"(^902 BITMAP "[^"]*/logo\.bmp"$)";
    QTest::newRow("cursor") << R"(^903 CURSOR "[^"]*/hand\.cur"$)";
}

void TestAppShell::testRcStatement()
{
    QFETCH(QString, pattern);
    const QRegularExpression statement(pattern, QRegularExpression::MultilineOption);
    QVERIFY(statement.isValid());
    const QString script = rcScript();
    QVERIFY2(statement.match(script).hasMatch(), qPrintable(pattern));
}

void TestAppShell::testRcPicturesMatchEmbeddedFiles_data()
{
    QTest::addColumn<QString>("resourceLine");
    QTest::addColumn<QString>("embedded");
    QTest::newRow("1") << "1 ICON"
                       << ":/pictures/tapwire.ico";
    QTest::newRow("901") << "901 ICON"
                         << ":/pictures/help.ico";
    QTest::newRow("902") << "902 BITMAP"
                         << ":/pictures/logo.bmp";
    QTest::newRow("903") << "903 CURSOR"
                         << ":/pictures/hand.cur";
}

// Windows and the Qt loader must show the same artwork.
void TestAppShell::testRcPicturesMatchEmbeddedFiles()
{
    QFETCH(QString, resourceLine);
    QFETCH(QString, embedded);
    const QRegularExpression line(QStringLiteral("^%1 \"([^\"]+)\"$").arg(resourceLine),
                                  QRegularExpression::MultilineOption);
    const auto match = line.match(rcScript());
    QVERIFY(match.hasMatch());
    const QString path = match.captured(1);
    QVERIFY2(QFileInfo(path).isAbsolute(), qPrintable(path));
    const QByteArray onDisk = readFile(path);
    QVERIFY2(!onDisk.isEmpty(), qPrintable(path));
    QCOMPARE(onDisk, readFile(embedded));
}

void TestAppShell::testIconFileFormat_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("type");
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<QList<int>>("dibBytes");
    QTest::addColumn<QPoint>("hotSpot");
    QTest::newRow("application icon")
        << ":/pictures/tapwire.ico" << 1 << QList<int>{32, 16} << QList<int>{744, 296} << QPoint();
    QTest::newRow("help icon") << ":/pictures/help.ico" << 1 << QList<int>{32, 16}
                               << QList<int>{744, 296} << QPoint();
    QTest::newRow("cursor") << ":/pictures/hand.cur" << 2 << QList<int>{32} << QList<int>{744}
                            << QPoint(6, 1);
}

void TestAppShell::testIconFileFormat()
{
    QFETCH(QString, path);
    QFETCH(int, type);
    QFETCH(QList<int>, sizes);
    QFETCH(QList<int>, dibBytes);
    QFETCH(QPoint, hotSpot);
    const QByteArray data = readFile(path);
    const qsizetype directoryBytes = 6 + 16 * sizes.size();
    QVERIFY2(data.size() >= directoryBytes, qPrintable(path));
    QCOMPARE(word(data, 0), quint16(0));
    QCOMPARE(int(word(data, 2)), type);
    QCOMPARE(int(word(data, 4)), sizes.size());
    qsizetype expectedOffset = directoryBytes;
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const qsizetype entry = 6 + 16 * i;
        const int side = sizes.at(i);
        QCOMPARE(int(quint8(data.at(entry))), side);
        QCOMPARE(int(quint8(data.at(entry + 1))), side);
        QCOMPARE(int(quint8(data.at(entry + 2))), 16);
        QCOMPARE(int(quint8(data.at(entry + 3))), 0);
        if (type == 1) {
            QCOMPARE(word(data, entry + 4), quint16(1)); // planes
            QCOMPARE(word(data, entry + 6), quint16(4)); // bits per pixel
        } else {
            QCOMPARE(QPoint(word(data, entry + 4), word(data, entry + 6)), hotSpot);
        }
        QCOMPARE(int(dword(data, entry + 8)), dibBytes.at(i));
        QCOMPARE(qsizetype(dword(data, entry + 12)), expectedOffset);

        // The image itself: BITMAPINFOHEADER with the height doubled for the
        // AND mask, 4 bits per pixel, uncompressed, then the 16-colour palette.
        const qsizetype dib = expectedOffset;
        QVERIFY(data.size() >= dib + 40 + 64);
        QCOMPARE(dword(data, dib), quint32(40));
        QCOMPARE(int(dword(data, dib + 4)), side);
        QCOMPARE(int(dword(data, dib + 8)), side * 2);
        QCOMPARE(word(data, dib + 12), quint16(1));
        QCOMPARE(word(data, dib + 14), quint16(4));
        QCOMPARE(dword(data, dib + 16), quint32(0));
        for (int colour = 0; colour < 16; ++colour) {
            const qsizetype at = dib + 40 + 4 * colour;
            const QRgb rgb =
                qRgb(quint8(data.at(at + 2)), quint8(data.at(at + 1)), quint8(data.at(at)));
            QCOMPARE(rgb & 0xffffff, windowsPalette.at(colour));
        }
        expectedOffset += dibBytes.at(i);
    }
    QCOMPARE(data.size(), expectedOffset);
}

void TestAppShell::testBitmapFileFormat()
{
    const QByteArray data = readFile(QStringLiteral(":/pictures/logo.bmp"));
    QCOMPARE(data.size(), qsizetype(28326));
    QCOMPARE(data.left(2), QByteArray("BM"));
    QCOMPARE(dword(data, 2), quint32(28326));
    QCOMPARE(dword(data, 10), quint32(14 + 40));
    QCOMPARE(dword(data, 14), quint32(40));
    QCOMPARE(dword(data, 18), quint32(124));
    QCOMPARE(dword(data, 22), quint32(76)); // positive: stored bottom row first
    QCOMPARE(word(data, 26), quint16(1));
    QCOMPARE(word(data, 28), quint16(24));
    QCOMPARE(dword(data, 30), quint32(0)); // BI_RGB, uncompressed
    // Rows of 124 * 3 bytes need no padding: the pixels fill the rest exactly.
    QCOMPARE(data.size() - 54, qsizetype(124 * 3 * 76));
}

QTEST_MAIN(TestAppShell)
#include "tst_AppShell.moc"
