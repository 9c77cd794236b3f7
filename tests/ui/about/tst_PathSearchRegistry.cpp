#include "GetKeyValue.h"
#include "PathSearchRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <map>

namespace {

const std::string MsinfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string LocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

// Answers for the programs it was given, and records the order it was asked in.
struct Installed
{
    std::map<std::string, std::string> paths;
    std::vector<std::string> asked;

    PathSearchRegistry::Locate locate()
    {
        return [this](const std::string &program) {
            asked.push_back(program);
            const auto found = paths.find(program);
            return found != paths.end() ? found->second : std::string();
        };
    }
};

void writeFile(const QString &path, QFile::Permissions permissions)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    QVERIFY(file.setPermissions(permissions));
}

// Puts PATH and the current folder back as they were when the test ends.
class PathGuard
{
public:
    PathGuard() = default;
    PathGuard(const PathGuard &) = delete;
    PathGuard &operator=(const PathGuard &) = delete;
    ~PathGuard()
    {
        qputenv("PATH", m_path);
        QDir::setCurrent(m_folder);
    }

private:
    QByteArray m_path = qgetenv("PATH");
    QString m_folder = QDir::currentPath();
};

} // namespace

class TestPathSearchRegistry : public QObject
{
    Q_OBJECT

private slots:
    void testFirstInstalledProgramInListOrder();
    void testNothingInstalled();
    void testOnlyTheFirstLocationExists();
    void testValueLongerThanBuffer();
    void testSearchPath();
};

void TestPathSearchRegistry::testFirstInstalledProgramInListOrder()
{
    Installed installed;
    installed.paths = {{"kinfocenter", "/usr/bin/kinfocenter"}, {"lshw-gtk", "/usr/sbin/lshw-gtk"}};
    PathSearchRegistry registry(installed.locate());
    std::string value;

    QVERIFY(GetKeyValue(registry, RegistryApi::LocalMachine, MsinfoKey, "PATH", value));
    QCOMPARE(value, std::string("/usr/bin/kinfocenter"));
    const std::vector<std::string> expectedAsked{"hardinfo2", "hardinfo", "kinfocenter"};
    QCOMPARE(installed.asked, expectedAsked);
}

void TestPathSearchRegistry::testNothingInstalled()
{
    Installed installed;
    PathSearchRegistry registry(installed.locate());
    std::string value = "held";

    QVERIFY(!GetKeyValue(registry, RegistryApi::LocalMachine, MsinfoKey, "PATH", value));
    QCOMPARE(value, std::string());
    QCOMPARE(installed.asked, PathSearchRegistry::programs());
}

void TestPathSearchRegistry::testOnlyTheFirstLocationExists()
{
    Installed installed;
    installed.paths = {{"hardinfo2", "/usr/bin/hardinfo2"}};
    PathSearchRegistry registry(installed.locate());
    std::string value;

    QVERIFY(!GetKeyValue(registry, RegistryApi::LocalMachine, LocationKey, "MSINFO", value));
    QVERIFY(!GetKeyValue(registry, RegistryApi::LocalMachine, MsinfoKey, "MSINFO", value));
    // Only HKEY_LOCAL_MACHINE holds it.
    QVERIFY(!GetKeyValue(registry, RegistryApi::LocalMachine + 1, MsinfoKey, "PATH", value));
    // Registry names ignore case.
    QVERIFY(GetKeyValue(registry, RegistryApi::LocalMachine,
                        "software\\microsoft\\shared tools\\msinfo", "Path", value));
    QCOMPARE(value, std::string("/usr/bin/hardinfo2"));
}

void TestPathSearchRegistry::testValueLongerThanBuffer()
{
    Installed installed;
    installed.paths = {{"hardinfo2", "/opt/hardinfo2"}};
    PathSearchRegistry registry(installed.locate());
    RegistryApi::Handle key = 0;
    QCOMPARE(registry.openKey(RegistryApi::LocalMachine, MsinfoKey, 0, 0x2003F, key),
             RegistryApi::Success);

    unsigned char buffer[8] = {};
    std::uint32_t type = 0;
    std::uint32_t size = sizeof buffer;
    QCOMPARE(registry.queryValue(key, "PATH", type, buffer, size), RegistryApi::MoreData);
    QCOMPARE(size, std::uint32_t(15)); // the path and its terminating zero
    QCOMPARE(registry.closeKey(key), RegistryApi::Success);
}

void TestPathSearchRegistry::testSearchPath()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString bin = root.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QDir().mkpath(bin + QStringLiteral("/folder-tool")));
    const auto executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    writeFile(bin + QStringLiteral("/good-tool"), executable);
    writeFile(bin + QStringLiteral("/plain-tool"), QFile::ReadOwner | QFile::WriteOwner);
    writeFile(root.filePath(QStringLiteral("here-tool")), executable);

    PathGuard guard;
    QDir::setCurrent(root.path());
    // An empty entry and a relative one both mean folders relative to the
    // current one; neither is searched.
    qputenv("PATH", QByteArray(":.:") + QFile::encodeName(bin));

    QCOMPARE(PathSearchRegistry::searchPath("good-tool"),
             (bin + QStringLiteral("/good-tool")).toStdString());
    QCOMPARE(PathSearchRegistry::searchPath("plain-tool"), std::string());
    QCOMPARE(PathSearchRegistry::searchPath("folder-tool"), std::string());
    QCOMPARE(PathSearchRegistry::searchPath("here-tool"), std::string());
    QCOMPARE(PathSearchRegistry::searchPath("absent-tool"), std::string());
}

QTEST_GUILESS_MAIN(TestPathSearchRegistry)
#include "tst_PathSearchRegistry.moc"
