#include "AppIdentity.h"
#include "UrlCatcher.h"
#include "frmAbout.h"
#include "frmMain.h"

#include <QAccessible>
#include <QDesktopServices>
#include <QScopeGuard>
#include <QSet>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

struct Node
{
    QAccessible::Role role = QAccessible::NoRole;
    QString name;
    QString objectName;
    QAccessibleInterface *interface = nullptr;
};

// Unnamed containers a screen reader passes through: the client area, the
// menu bar, a scroll area's viewport and the boxes its scroll bars sit in.
bool isContainer(QAccessible::Role role)
{
    return role == QAccessible::Client || role == QAccessible::MenuBar;
}

// Everything a screen reader meets in a window, through the accessibility
// interfaces alone. Scroll bars, separators and anything hidden are left out
// with all they hold.
void collect(QAccessibleInterface *interface, QList<Node> &nodes)
{
    if (interface == nullptr)
        return;
    const QAccessible::Role role = interface->role();
    if (role == QAccessible::ScrollBar || role == QAccessible::Separator ||
        interface->state().invisible)
        return;
    if (!isContainer(role)) {
        const QObject *object = interface->object();
        nodes.append({role, interface->text(QAccessible::Name),
                      object != nullptr ? object->objectName() : QString(), interface});
    }
    for (int i = 0; i < interface->childCount(); ++i)
        collect(interface->child(i), nodes);
}

QList<Node> walk(QWidget *window)
{
    QList<Node> nodes;
    collect(QAccessible::queryAccessibleInterface(window), nodes);
    return nodes;
}

const Node *find(const QList<Node> &nodes, const QString &objectName)
{
    for (const Node &node : nodes) {
        if (node.objectName == objectName)
            return &node;
    }
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(QAccessible::Role)

// Both windows as assistive technology sees them.
class tst_Accessibility : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<frmMain> mainWindow;
    std::unique_ptr<frmAbout> about;

    QWidget *window(bool isAbout) const
    {
        return isAbout ? static_cast<QWidget *>(about.get()) : mainWindow.get();
    }

private slots:
    void init()
    {
        mainWindow = std::make_unique<frmMain>();
        mainWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(mainWindow.get()));
        about = std::make_unique<frmAbout>(mainWindow.get());
        about->show();
        QVERIFY(QTest::qWaitForWindowExposed(about.get()));
    }
    void cleanup()
    {
        about.reset();
        mainWindow.reset();
    }

    void everythingHasItsOwnName_data()
    {
        QTest::addColumn<bool>("isAbout");
        QTest::newRow("main window") << false;
        QTest::newRow("About dialog") << true;
    }
    void everythingHasItsOwnName()
    {
        QFETCH(bool, isAbout);
        const QList<Node> nodes = walk(window(isAbout));
        QVERIFY(nodes.size() > 10);
        QSet<QString> names;
        for (const Node &node : nodes) {
            const QString what = QStringLiteral("%1 (role %2)").arg(node.objectName).arg(node.role);
            QVERIFY2(!node.name.trimmed().isEmpty(), qPrintable(what + QStringLiteral(" unnamed")));
            QVERIFY2(!names.contains(node.name),
                     qPrintable(what + QStringLiteral(" repeats \"%1\"").arg(node.name)));
            names.insert(node.name);
        }
    }

    void controlsAreNamedAsTheyAppear_data()
    {
        QTest::addColumn<bool>("isAbout");
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QAccessible::Role>("role");
        const auto edit = QAccessible::EditableText;
        QTest::newRow("port") << false << "txtPort"
                              << "Port" << edit;
        QTest::newRow("address") << false << "txtAddress"
                                 << "Address to Connect to" << edit;
        QTest::newRow("outgoing") << false << "txtSendData"
                                  << "Data to Send" << edit;
        QTest::newRow("transcript") << false << "txtRecvData"
                                    << "Data Received" << edit;
        QTest::newRow("clear outgoing") << false << "cmdSendDataC"
                                        << "Clear data to send" << QAccessible::Button;
        QTest::newRow("clear transcript") << false << "cmdRecvDataC"
                                          << "Clear data received" << QAccessible::Button;
        QTest::newRow("icon") << true << "picIcon" << appIdentity().productName + " icon"
                              << QAccessible::Graphic;
        QTest::newRow("logo") << true << "picVeLoNaR" << appIdentity().companyName + " logo"
                              << QAccessible::Graphic;
    }
    void controlsAreNamedAsTheyAppear()
    {
        QFETCH(bool, isAbout);
        QFETCH(QString, objectName);
        QFETCH(QString, name);
        QFETCH(QAccessible::Role, role);
        const QList<Node> nodes = walk(window(isAbout));
        const Node *node = find(nodes, objectName);
        QVERIFY2(node != nullptr, qPrintable(objectName));
        QCOMPARE(node->name, name);
        QCOMPARE(node->role, role);
    }

    // The link takes no focus, so pressing it is how it is reached without a mouse.
    void linkCanBePressed()
    {
        UrlCatcher urls;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &urls, "open");
        const auto unset =
            qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); });
        const QList<Node> nodes = walk(about.get());
        const Node *link = find(nodes, QStringLiteral("lblVeLoNaR"));
        QVERIFY(link != nullptr);
        QCOMPARE(link->role, QAccessible::Link);
        QVERIFY(link->name.contains(QStringLiteral("VeLoNaR")));
        QVERIFY(!link->interface->state().focusable);
        QAccessibleActionInterface *actions = link->interface->actionInterface();
        QVERIFY(actions != nullptr);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));

        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(urls.opened, QList<QUrl>{QUrl(appIdentity().homePage)});
        QVERIFY(!about->isVisible());
    }
};

QTEST_MAIN(tst_Accessibility)
#include "tst_Accessibility.moc"
