#include "AppIdentity.h"
#include "ResourcePictures.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <memory>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

struct Run
{
    int exitCode = -1;
    QString output;
};

Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        result.output = program + QStringLiteral(": did not run: ") + process.errorString();
        return result;
    }
    result.exitCode = process.exitCode();
    result.output = QString::fromLocal8Bit(process.readAll());
    return result;
}

QString versionText()
{
    const AppIdentity &identity = appIdentity();
    return QStringLiteral("%1.%2")
        .arg(identity.versionMajor)
        .arg(identity.versionMinor, 2, 10, QLatin1Char('0'));
}

// Every element's text and attribute of an XML file, by path:
// "component/id" for text, "component/releases/release@date" for attributes.
QMultiMap<QString, QString> xmlValues(const QByteArray &xml)
{
    QMultiMap<QString, QString> values;
    QStringList path;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            path << reader.name().toString();
            const QString here = path.join(QLatin1Char('/'));
            for (const QXmlStreamAttribute &attribute : reader.attributes())
                values.insert(here + QLatin1Char('@') + attribute.name().toString(),
                              attribute.value().toString());
        } else if (reader.isCharacters() && !reader.isWhitespace()) {
            values.insert(path.join(QLatin1Char('/')), reader.text().toString());
        } else if (reader.isEndElement()) {
            path.removeLast();
        }
    }
    if (reader.hasError())
        values.insert(QStringLiteral("error"), reader.errorString());
    return values;
}

} // namespace

// `cmake --install` into an empty folder, and what the desktop makes of it.
class tst_InstallTree : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> prefix;

    QString installed(const QString &path) const { return prefix->filePath(path); }
    static QString id() { return appIdentity().applicationId; }
    static QString desktopFile()
    {
        return QStringLiteral("share/applications/%1.desktop").arg(id());
    }
    static QString metainfoFile()
    {
        return QStringLiteral("share/metainfo/%1.metainfo.xml").arg(id());
    }
    static QString manualPage() { return QStringLiteral("share/man/man1/tapwire.1.gz"); }
    static QString iconFile(int size)
    {
        return QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(id());
    }

private slots:
    void initTestCase()
    {
        prefix = std::make_unique<QTemporaryDir>();
        QVERIFY(prefix->isValid());
        const Run install = run(QStringLiteral(TAPWIRE_CMAKE),
                                {QStringLiteral("--install"), QStringLiteral(TAPWIRE_BUILD_DIR),
                                 QStringLiteral("--prefix"), prefix->path()});
        QVERIFY2(install.exitCode == 0, qPrintable(install.output));
    }

    void installsExactlyTheseFiles()
    {
        QStringList files;
        QDirIterator it(prefix->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(prefix->path()).relativeFilePath(it.next());
        files.sort();
        QStringList expected{QStringLiteral("bin/tapwire"), desktopFile(), metainfoFile(),
                             manualPage()};
        if (TAPWIRE_INSTALL_DOCS)
            expected << QStringLiteral("share/doc/tapwire/changelog.gz")
                     << QStringLiteral("share/doc/tapwire/copyright");
        for (const int size : {16, 32, 64, 128, 256})
            expected << iconFile(size);
        expected.sort();
        QCOMPARE(files, expected);
        QVERIFY(QFileInfo(installed(QStringLiteral("bin/tapwire"))).isExecutable());
    }

    void validatorsFindNothing_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("infosAllowed");
        QTest::newRow("desktop entry")
            << "desktop-file-validate" << QStringList{desktopFile()} << false;
        QTest::newRow("AppStream")
            << "appstreamcli" << QStringList{"validate", "--no-net", metainfoFile()} << true;
        // As lintian renders it; only the warnings are kept.
        QTest::newRow("manual page")
            << "sh"
            << QStringList{"-c",
                           "LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 "
                           "man --warnings -E UTF-8 -l -Tutf8 -Z \"$0\" >/dev/null",
                           manualPage()}
            << false;
    }
    void validatorsFindNothing()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(bool, infosAllowed);
        arguments.last() = installed(arguments.last());
        const Run check = run(program, arguments);
        QVERIFY2(check.exitCode == 0, qPrintable(check.output));
        if (!infosAllowed) {
            QVERIFY2(check.output.isEmpty(), qPrintable(check.output));
            return;
        }
        // Infos may stay; errors and warnings may not.
        static const QRegularExpression complaint(QStringLiteral("^(E|W): |: (error|warning): "),
                                                  QRegularExpression::MultilineOption);
        QVERIFY2(!complaint.match(check.output).hasMatch(), qPrintable(check.output));
    }

    // The manual page lists the README's error numbers and texts, in order.
    void manualPageListsTheErrors()
    {
        const QString readme =
            QString::fromUtf8(readFile(QStringLiteral(TAPWIRE_SOURCE_DIR "/README.md")));
        const QString table = readme.section(QStringLiteral("\n## Error numbers\n"), 1)
                                  .section(QStringLiteral("\n## "), 0, 0);
        static const QRegularExpression row(QStringLiteral("^\\| (\\d+) \\| (.*) \\|$"),
                                            QRegularExpression::MultilineOption);
        QStringList expected;
        for (const QRegularExpressionMatch &match : row.globalMatch(table))
            expected << match.captured(1) + QLatin1Char(' ') + match.captured(2);
        QVERIFY(expected.size() > 20);

        const Run page =
            run(QStringLiteral("gzip"), {QStringLiteral("-dc"), installed(manualPage())});
        QCOMPARE(page.exitCode, 0);
        static const QRegularExpression entry(QStringLiteral("^\\.TP\n\\.B (\\d+)\n(.*)$"),
                                              QRegularExpression::MultilineOption);
        QStringList listed;
        for (const QRegularExpressionMatch &match : entry.globalMatch(page.output)) {
            QString text = match.captured(2);
            text.replace(QStringLiteral("\\e"), QStringLiteral("\\")).remove(QStringLiteral("\\&"));
            listed << match.captured(1) + QLatin1Char(' ') + text;
        }
        QCOMPARE(listed, expected);
    }

    // The one option of its own, a bad value refused before any window
    // shows; Qt's own options still pass.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--transcript-limit <MiB>";
        QTest::newRow("no number") << QStringList{"--transcript-limit", "four"} << 2
                                   << "tapwire: --transcript-limit takes a whole number of MiB, "
                                      "at least 1, not \"four\"\n";
        QTest::newRow("zero, after a Qt option")
            << QStringList{"-platform", "offscreen", "--transcript-limit", "0"} << 2 << "not \"0\"";
        QTest::newRow("argument") << QStringList{"file.txt"} << 2
                                  << "unexpected argument: file.txt";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        const Run program = run(installed(QStringLiteral("bin/tapwire")), arguments);
        QCOMPARE(program.exitCode, exitCode);
        QVERIFY2(program.output.contains(says), qPrintable(program.output));
    }

    void desktopEntryComesFromTheIdentity_data()
    {
        const AppIdentity &identity = appIdentity();
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("Type") << "Type"
                              << "Application";
        QTest::newRow("Name") << "Name" << identity.productName;
        QTest::newRow("Comment") << "Comment" << QStringLiteral(TAPWIRE_SYNOPSIS);
        QTest::newRow("Icon") << "Icon" << id();
        QTest::newRow("Exec") << "Exec"
                              << "tapwire";
        QTest::newRow("Terminal") << "Terminal"
                                  << "false";
        QTest::newRow("Categories") << "Categories"
                                    << "Network;";
        QTest::newRow("StartupWMClass") << "StartupWMClass" << id();
    }
    void desktopEntryComesFromTheIdentity()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QStringList lines =
            QString::fromUtf8(readFile(installed(desktopFile()))).split(QLatin1Char('\n'));
        QCOMPARE(lines.value(0), QStringLiteral("[Desktop Entry]"));
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^\\w+="))).size(), 8);
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^%1=").arg(key))),
                 QStringList{key + QLatin1Char('=') + value});
    }

    void metainfoComesFromTheIdentity_data()
    {
        const AppIdentity &identity = appIdentity();
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("value");
        QTest::newRow("type") << "component@type"
                              << "desktop-application";
        QTest::newRow("id") << "component/id" << id();
        QTest::newRow("name") << "component/name" << identity.productName;
        QTest::newRow("summary") << "component/summary" << QStringLiteral(TAPWIRE_SYNOPSIS);
        QTest::newRow("description") << "component/description/p" << identity.fileDescription;
        QTest::newRow("developer") << "component/developer_name" << identity.companyName;
        QTest::newRow("metadata licence") << "component/metadata_license"
                                          << "CC0-1.0";
        QTest::newRow("project licence") << "component/project_license"
                                         << "MIT";
        QTest::newRow("launchable") << "component/launchable" << id() + ".desktop";
        QTest::newRow("launchable type") << "component/launchable@type"
                                         << "desktop-id";
        QTest::newRow("home page") << "component/url" << identity.homePage;
        QTest::newRow("home page type") << "component/url@type"
                                        << "homepage";
        QTest::newRow("content rating") << "component/content_rating@type"
                                        << "oars-1.1";
        QTest::newRow("release") << "component/releases/release@version" << versionText();
        QTest::newRow("release date")
            << "component/releases/release@date" << QStringLiteral(TAPWIRE_RELEASE_DATE);
        // AppStream wants a web address for a screenshot, and there is none yet.
        QTest::newRow("no screenshots") << "component/screenshots" << QString();
    }
    void metainfoComesFromTheIdentity()
    {
        QFETCH(QString, path);
        QFETCH(QString, value);
        const QMultiMap<QString, QString> values = xmlValues(readFile(installed(metainfoFile())));
        QVERIFY2(!values.contains(QStringLiteral("error")),
                 qPrintable(values.value(QStringLiteral("error"))));
        const QStringList expected = value.isNull() ? QStringList() : QStringList{value};
        QCOMPARE(values.values(path), expected);
    }

    // Each size is a drawing of the application icon enlarged by a whole
    // factor, every pixel a square block: no blurring.
    void iconsAreTheArtworkEnlarged_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("drawn");
        QTest::newRow("16") << 16 << 16;
        QTest::newRow("32") << 32 << 32;
        QTest::newRow("64") << 64 << 32;
        QTest::newRow("128") << 128 << 32;
        QTest::newRow("256") << 256 << 32;
    }
    void iconsAreTheArtworkEnlarged()
    {
        QFETCH(int, size);
        QFETCH(int, drawn);
        const QImage icon(installed(iconFile(size)));
        QCOMPARE(icon.size(), QSize(size, size));
        const QImage artwork = ResourcePictures::icon(1)
                                   .pixmap(QSize(drawn, drawn))
                                   .toImage()
                                   .convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(artwork.size(), QSize(drawn, drawn));
        const QImage shown = icon.convertToFormat(QImage::Format_ARGB32);
        const int factor = size / drawn;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb want = artwork.pixel(x / factor, y / factor);
                const QRgb got = shown.pixel(x, y);
                const bool same = qAlpha(want) == 0 ? qAlpha(got) == 0 : got == want;
                QVERIFY2(same, qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
    }

    void documentsAreTheLicenceAndTheChangelog()
    {
        if (!TAPWIRE_INSTALL_DOCS)
            QSKIP("Built for a package whose own tools install these");
        const QByteArray copyright =
            readFile(installed(QStringLiteral("share/doc/tapwire/copyright")));
        QCOMPARE(copyright, readFile(QStringLiteral(TAPWIRE_SOURCE_DIR "/LICENSE")));
        QVERIFY(copyright.startsWith("MIT License\n"));
        const QStringList lines = QString::fromUtf8(copyright).split(QLatin1Char('\n'));
        QVERIFY(lines.contains(appIdentity().legalCopyright));

        const Run changelog = run(
            QStringLiteral("gzip"),
            {QStringLiteral("-dc"), installed(QStringLiteral("share/doc/tapwire/changelog.gz"))});
        QCOMPARE(changelog.exitCode, 0);
        QCOMPARE(changelog.output.section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("tapwire (%1) unstable; urgency=medium").arg(versionText()));
    }
};

QTEST_MAIN(tst_InstallTree)
#include "tst_InstallTree.moc"
