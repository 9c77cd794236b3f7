#include "AboutTexts.h"
#include "AppError.h"
#include "ClickLabel.h"
#include "ErrorReport.h"
#include "FakeFileProbe.h"
#include "FakeProgramStarter.h"
#include "FakeRegistry.h"
#include "PictureBox.h"
#include "ResourcePictures.h"
#include "UrlCatcher.h"
#include "frmAbout.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

const std::string MsinfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string LocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

AppIdentity identityWithComments(const QString &comments)
{
    AppIdentity identity;
    identity.title = QStringLiteral("Tapwire");
    identity.productName = QStringLiteral("Tapwire Suite");
    identity.versionMajor = 1;
    identity.versionMinor = 5;
    identity.versionRevision = 3;
    identity.fileDescription = QStringLiteral("Connects, listens, <b>sends</b> and receives.");
    identity.legalCopyright = QStringLiteral("Copyright (C) 2026 VeLoNaR");
    identity.comments = comments;
    identity.companyName = QStringLiteral("VeLoNaR");
    return identity;
}

// WCAG 2: how far apart two colours are for reading, from 1 to 21.
double contrastRatio(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto linear = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A dark theme as Qt 6.4 gives one: light text on a dark window, the link
// still pure blue unless `link` says otherwise.
QPalette darkPalette(const QColor &link = QColor(0, 0, 255))
{
    QPalette palette(QColor(60, 60, 60), QColor(45, 45, 45));
    palette.setColor(QPalette::WindowText, QColor(230, 230, 230));
    palette.setColor(QPalette::Text, QColor(230, 230, 230));
    palette.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    palette.setColor(QPalette::Base, QColor(30, 30, 30));
    palette.setColor(QPalette::Link, link);
    return palette;
}

QIcon ownerIcon()
{
    QPixmap picture(32, 32);
    picture.fill(QColor(200, 30, 30));
    return QIcon(picture);
}

QImage imageOf(const QPixmap &pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

// Closes every message box that comes up with its OK button, and remembers
// what it showed.
class MessageCatcher : public QObject
{
public:
    struct Shown
    {
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool parentStillVisible = false;
    };

    MessageCatcher()
    {
        connect(&m_timer, &QTimer::timeout, this, &MessageCatcher::poll);
        m_timer.start(5);
    }

    QList<Shown> shown;

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        shown.append({box->windowTitle(), box->text(), box->standardButtons(), box->icon(),
                      box->parentWidget() != nullptr && box->parentWidget()->isVisible()});
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    }

    QTimer m_timer;
};

// As if the shell's function could not be found.
class MissingShell : public UrlOpener
{
public:
    void open(const QString &, QWidget *) override
    {
        throw AppError(453,
                       QStringLiteral("Can't find DLL entry point ShellExecuteA in shell32.dll"));
    }
};

} // namespace

class TestFrmAbout : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void testLayoutWhenCommentsShown();
    void testCollapseDoesNotAccumulate();
    void testContent();
    void testLabelsReadable_data();
    void testLabelsReadable();
    void testRealIdentity();
    void testPictures();
    void testSeparatorLines();
    void testWindow();
    void testTabOrder();
    void testEnterAndEsc_data();
    void testEnterAndEsc();
    void testAltS();
    void testCloseBox();
    void testLauncher_data();
    void testLauncher();
    void testLauncherSearchesAgain();
    void testLinkOpensPageAndCloses();
    void testOkOpensNothing();
    void testLinkErrorKeepsDialogOpen();
    void testScreenshot();

private:
    std::unique_ptr<frmAbout> openDialog(const AppIdentity &identity);
    template <typename T> T *control(const char *name);

    std::unique_ptr<QMainWindow> m_owner;
    std::unique_ptr<frmAbout> m_dialog;
    std::shared_ptr<FakeRegistry> m_registry;
    std::shared_ptr<FakeProgramStarter> m_starter;
    std::shared_ptr<FakeFileProbe> m_files;
    std::shared_ptr<UrlOpener> m_urlOpener;
    AppIdentity m_identity;
    UrlCatcher m_urls;
};

void TestFrmAbout::init()
{
    m_owner = std::make_unique<QMainWindow>();
    m_owner->setWindowIcon(ownerIcon());
    m_registry = std::make_shared<FakeRegistry>();
    m_starter = std::make_shared<FakeProgramStarter>();
    m_files = std::make_shared<FakeFileProbe>();
    m_urlOpener = systemUrlOpener();
    m_urls.opened.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_urls, "open");
}

void TestFrmAbout::cleanup()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    m_dialog.reset();
    m_owner.reset();
}

std::unique_ptr<frmAbout> TestFrmAbout::openDialog(const AppIdentity &identity)
{
    m_identity = identity;
    AboutPlatform platform;
    platform.registry = m_registry;
    platform.programStarter = m_starter;
    platform.fileProbe = m_files;
    platform.urlOpener = m_urlOpener;
    return std::make_unique<frmAbout>(m_owner.get(), m_identity, platform);
}

template <typename T> T *TestFrmAbout::control(const char *name)
{
    T *found = m_dialog->findChild<T *>(QLatin1String(name));
    if (found == nullptr)
        qFatal("no control %s", name);
    return found;
}

void TestFrmAbout::testLayoutWhenCommentsShown()
{
    // A single space is something to show: nothing moves.
    m_dialog = openDialog(identityWithComments(QStringLiteral(" ")));

    QCOMPARE(m_dialog->size(), QSize(384, 437));
    QCOMPARE(control<PictureBox>("picIcon")->geometry(), QRect(16, 16, 36, 36));
    QCOMPARE(control<QLabel>("lblTitle")->geometry(), QRect(64, 16, 177, 16));
    QCOMPARE(control<QLabel>("lblVersion")->geometry(), QRect(256, 16, 113, 15));
    QCOMPARE(control<QLabel>("lblCopyright")->geometry(), QRect(64, 32, 305, 15));
    QCOMPARE(control<QLabel>("lblDescription")->geometry(), QRect(16, 56, 353, 65));
    QCOMPARE(control<PictureBox>("picVeLoNaR")->geometry(), QRect(128, 136, 128, 80));
    QCOMPARE(control<QLabel>("lblVeLoNaR")->geometry(), QRect(16, 224, 353, 33));
    QCOMPARE(control<QLabel>("lblComments")->geometry(), QRect(16, 288, 353, 33));
    QCOMPARE(control<QLabel>("lblDisclaimer")->geometry(), QRect(16, 341, 258, 79));
    QCOMPARE(control<QPushButton>("cmdOK")->geometry(), QRect(283, 341, 84, 23));
    QCOMPARE(control<QPushButton>("cmdSysInfo")->geometry(), QRect(284, 371, 83, 23));
    QVERIFY(!control<QLabel>("lblComments")->isHidden());
    QCOMPARE(control<QLabel>("lblComments")->text(), QStringLiteral(" "));

    const auto &lines = m_dialog->lines();
    QCOMPARE(lines[1].x1, 90);
    QCOMPARE(lines[0].x1, 105);
    for (const SeparatorLine &line : lines) {
        QCOMPARE(line.y1, 4935);
        QCOMPARE(line.y2, 4935);
        QCOMPARE(line.x2, 5654);
    }

    // lblVersion's text ends at the same right edge as the labels below it.
    const auto *version = control<QLabel>("lblVersion");
    QVERIFY(version->alignment() & Qt::AlignRight);
    QCOMPARE(version->geometry().right(), control<QLabel>("lblCopyright")->geometry().right());
    QVERIFY(control<QLabel>("lblVeLoNaR")->alignment() & Qt::AlignHCenter);
}

void TestFrmAbout::testCollapseDoesNotAccumulate()
{
    for (int opening = 1; opening <= 2; ++opening) {
        m_dialog = openDialog(identityWithComments(QString()));
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));

        QCOMPARE(m_dialog->size(), QSize(384, 397));
        QVERIFY(m_dialog->minimumSize() == m_dialog->maximumSize());
        for (const SeparatorLine &line : m_dialog->lines()) {
            QCOMPARE(line.y1, 4335);
            QCOMPARE(line.y2, 4335);
        }
        QCOMPARE(control<QLabel>("lblDisclaimer")->geometry(), QRect(16, 301, 258, 79));
        QCOMPARE(control<QPushButton>("cmdOK")->geometry(), QRect(283, 301, 84, 23));
        QCOMPARE(control<QPushButton>("cmdSysInfo")->geometry(), QRect(284, 331, 83, 23));
        // The label is hidden where it was; the rows above do not move.
        QVERIFY(!control<QLabel>("lblComments")->isVisible());
        QCOMPARE(control<QLabel>("lblComments")->geometry(), QRect(16, 288, 353, 33));
        QCOMPARE(control<PictureBox>("picVeLoNaR")->geometry(), QRect(128, 136, 128, 80));
        QCOMPARE(control<QLabel>("lblVeLoNaR")->geometry(), QRect(16, 224, 353, 33));

        control<QPushButton>("cmdOK")->click();
        QVERIFY(!m_dialog->isVisible());
    }
}

void TestFrmAbout::testContent()
{
    m_dialog = openDialog(identityWithComments(QStringLiteral("Beta build")));

    // The caption uses the title, the large label the product name.
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("About Tapwire"));
    QCOMPARE(control<QLabel>("lblTitle")->text(), QStringLiteral("Tapwire Suite"));
    QCOMPARE(control<QLabel>("lblVersion")->text(), QStringLiteral("Version 1.05.0003"));
    QCOMPARE(control<QLabel>("lblCopyright")->text(), QStringLiteral("Copyright (C) 2026 VeLoNaR"));
    // Texts from the identity are shown as they are, never as markup.
    QCOMPARE(control<QLabel>("lblDescription")->text(), m_identity.fileDescription);
    QCOMPARE(control<QLabel>("lblDescription")->textFormat(), Qt::PlainText);
    QCOMPARE(control<QLabel>("lblComments")->text(), QStringLiteral("Beta build"));

    const auto *link = control<ClickLabel>("lblVeLoNaR");
    const QStringList linkLines = link->text().split(QStringLiteral("\r\n"));
    QCOMPARE(linkLines.size(), 2);
    QCOMPARE(linkLines.at(1), QStringLiteral("(http://www.example.com/velonar)"));
    QVERIFY(link->toolTip().endsWith(QStringLiteral("...")));
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QVERIFY(link->font().underline());
    QCOMPARE(link->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(imageOf(link->cursor().pixmap()), imageOf(ResourcePictures::cursor(903).pixmap()));

    const QString warning = control<QLabel>("lblDisclaimer")->text();
    QCOMPARE(warning.split(QStringLiteral("\r\n")).size(), 6);
    QVERIFY(!warning.endsWith(QStringLiteral("\r\n")));

    // Fonts and colours of the layout.
    QCOMPARE(m_dialog->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(m_dialog->font().pointSizeF(), 8.25);
    QVERIFY(!m_dialog->font().bold() && !m_dialog->font().italic());
    QVERIFY(control<QLabel>("lblTitle")->font().bold());
    QCOMPARE(control<QLabel>("lblTitle")->font().pointSizeF(), 8.25);
    QVERIFY(!control<QLabel>("lblCopyright")->font().bold());
    for (const char *name : {"lblTitle", "lblDescription", "lblDisclaimer"})
        QCOMPARE(control<QLabel>(name)->palette().color(QPalette::WindowText), QColor(Qt::black));

    // Each line of the warning fits the label's width, so it shows six rows.
    const QFontMetrics metrics(control<QLabel>("lblDisclaimer")->font());
    for (const QString &line : warning.split(QStringLiteral("\r\n")))
        QVERIFY2(metrics.horizontalAdvance(line) <= 258, qPrintable(line));
    QVERIFY(6 * metrics.lineSpacing() <= 79);
}

void TestFrmAbout::testLabelsReadable_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::addColumn<bool>("keepsLayoutColours");
    QTest::addColumn<QColor>("link");
    QTest::newRow("light theme") << QPalette(QColor(239, 239, 239)) << true << QColor(0, 0, 255);
    QTest::newRow("white theme") << QPalette(QColor(255, 255, 255)) << true << QColor(0, 0, 255);
    // Pure blue on dark grey is unreadable, so the link is lightened.
    QTest::newRow("dark theme, blue link") << darkPalette() << false << QColor();
    QTest::newRow("dark theme, readable link")
        << darkPalette(QColor(120, 180, 255)) << false << QColor(120, 180, 255);
}

void TestFrmAbout::testLabelsReadable()
{
    QFETCH(QPalette, palette);
    QFETCH(bool, keepsLayoutColours);
    QFETCH(QColor, link);
    const QPalette before = QApplication::palette();
    const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
    QApplication::setPalette(palette);
    // With comments, so that every label shows.
    m_dialog = openDialog(identityWithComments(QStringLiteral("Beta build")));

    const QColor background = m_dialog->palette().color(QPalette::Window);
    QCOMPARE(background, palette.color(QPalette::Window));
    int labels = 0;
    for (const QLabel *label : m_dialog->findChildren<QLabel *>()) {
        if (label->isHidden())
            continue;
        ++labels;
        const QColor text = label->palette().color(QPalette::WindowText);
        const double ratio = contrastRatio(text, background);
        QVERIFY2(ratio >= 4.5,
                 qPrintable(QStringLiteral("%1: %2 on %3, contrast %4")
                                .arg(label->objectName(), text.name(), background.name())
                                .arg(ratio)));
    }
    QCOMPARE(labels, 7);

    const QColor shownLink = control<QLabel>("lblVeLoNaR")->palette().color(QPalette::WindowText);
    if (link.isValid())
        QCOMPARE(shownLink, link);
    for (const char *name : {"lblTitle", "lblDescription", "lblDisclaimer"}) {
        const QColor text = control<QLabel>(name)->palette().color(QPalette::WindowText);
        QCOMPARE(text == QColor(Qt::black), keepsLayoutColours);
    }
}

void TestFrmAbout::testRealIdentity()
{
    // The program's own identity has no comments, so the dialog opens collapsed.
    m_dialog = std::make_unique<frmAbout>(m_owner.get());
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("About ") + appIdentity().title);
    QCOMPARE(control<QLabel>("lblVersion")->text(), QStringLiteral("Version 0.52"));
    QCOMPARE(m_dialog->height(), 397);
}

void TestFrmAbout::testPictures()
{
    m_dialog = openDialog(identityWithComments(QString()));

    // picIcon shows the owner's icon; the dialog's own icon is a different one.
    const auto *icon = control<PictureBox>("picIcon");
    QCOMPARE(imageOf(icon->picture()), imageOf(ownerIcon().pixmap(32, 32)));
    QCOMPARE(icon->contentsRect(), QRect(2, 2, 32, 32));
    QCOMPARE(imageOf(m_dialog->windowIcon().pixmap(32, 32)),
             imageOf(ResourcePictures::icon(901).pixmap(32, 32)));
    QVERIFY(imageOf(m_dialog->windowIcon().pixmap(32, 32)) != imageOf(icon->picture()));

    // The logo fills the inner area exactly.
    auto *logoBox = control<PictureBox>("picVeLoNaR");
    const QImage logo = imageOf(ResourcePictures::bitmap(902));
    QCOMPARE(logo.size(), QSize(124, 76));
    QCOMPARE(logoBox->contentsRect(), QRect(2, 2, 124, 76));
    const QImage shown = imageOf(logoBox->grab());
    QCOMPARE(shown.copy(2, 2, 124, 76), logo);

    for (const char *name : {"picIcon", "picVeLoNaR"}) {
        auto *box = control<PictureBox>(name);
        QCOMPARE(box->frameWidth(), 2);
        QCOMPARE(box->frameShadow(), QFrame::Sunken);
        QVERIFY(box->focusPolicy() & Qt::TabFocus);
    }
}

void TestFrmAbout::testSeparatorLines()
{
    m_dialog = openDialog(identityWithComments(QStringLiteral(" ")));
    QImage shown = imageOf(m_dialog->grab());

    const QColor grey(128, 128, 128);
    const QColor white(255, 255, 255);
    // Only the grey line reaches pixel 6; from 7 on the white one covers it.
    QCOMPARE(shown.pixelColor(6, 329), grey);
    QCOMPARE(shown.pixelColor(7, 329), white);
    QCOMPARE(shown.pixelColor(200, 329), white);
    QCOMPARE(shown.pixelColor(200, 330), white);
    QCOMPARE(shown.pixelColor(376, 330), white);
    QVERIFY(shown.pixelColor(377, 329) != white);
    QVERIFY(shown.pixelColor(200, 328) != white);
    QVERIFY(shown.pixelColor(200, 331) != white);
    QVERIFY(shown.pixelColor(5, 329) != grey);

    m_dialog = openDialog(identityWithComments(QString()));
    shown = imageOf(m_dialog->grab());
    QCOMPARE(shown.pixelColor(6, 289), grey);
    QCOMPARE(shown.pixelColor(200, 289), white);
    QVERIFY(shown.pixelColor(200, 329) != white);
}

void TestFrmAbout::testWindow()
{
    m_dialog = openDialog(identityWithComments(QString()));
    const Qt::WindowFlags flags = m_dialog->windowFlags();
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
    QCOMPARE(m_dialog->minimumSize(), m_dialog->maximumSize());
    // Owned by the main window, hence no task-bar button of its own.
    QCOMPARE(m_dialog->parentWidget(), m_owner.get());
    QVERIFY(m_dialog->isWindow());

    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    // The whole window, frame included, is centred.
    const QPoint screenCentre = m_dialog->screen()->availableGeometry().center();
    QVERIFY(qAbs(m_dialog->frameGeometry().center().x() - screenCentre.x()) <= 1);
    QVERIFY(qAbs(m_dialog->frameGeometry().center().y() - screenCentre.y()) <= 1);
}

void TestFrmAbout::testTabOrder()
{
    m_dialog = openDialog(identityWithComments(QString()));
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));

    QCOMPARE(QApplication::focusWidget(), control<QWidget>("cmdOK"));
    for (const char *name : {"cmdSysInfo", "picIcon", "picVeLoNaR", "cmdOK"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(name));
    }
}

void TestFrmAbout::testEnterAndEsc_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("closes");

    QTest::newRow("Enter on cmdOK") << 0 << int(Qt::Key_Return) << true;
    QTest::newRow("keypad Enter on cmdOK") << 0 << int(Qt::Key_Enter) << true;
    QTest::newRow("Enter on cmdSysInfo") << 1 << int(Qt::Key_Return) << false;
    QTest::newRow("Enter on picIcon") << 2 << int(Qt::Key_Return) << true;
    QTest::newRow("Enter on picVeLoNaR") << 3 << int(Qt::Key_Return) << true;
    QTest::newRow("Esc on cmdOK") << 0 << int(Qt::Key_Escape) << true;
    QTest::newRow("Esc on cmdSysInfo") << 1 << int(Qt::Key_Escape) << true;
    QTest::newRow("Esc on picIcon") << 2 << int(Qt::Key_Escape) << true;
    QTest::newRow("Esc on picVeLoNaR") << 3 << int(Qt::Key_Escape) << true;
}

void TestFrmAbout::testEnterAndEsc()
{
    QFETCH(int, tabs);
    QFETCH(int, key);
    QFETCH(bool, closes);

    m_registry->setValue(MsinfoKey, "PATH", RegistryApi::RegSz,
                         std::string("C:\\msinfo32.exe\0", 16));
    m_starter->startable = QStringList{QStringLiteral("C:\\msinfo32.exe")};
    m_dialog = openDialog(identityWithComments(QString()));
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    for (int i = 0; i < tabs; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QCOMPARE(m_dialog->isVisible(), !closes);
    // Whatever closed the dialog, it was not the System Info button.
    QCOMPARE(m_starter->attempts.size(), closes ? 0 : 1);
}

void TestFrmAbout::testAltS()
{
    m_registry->setValue(MsinfoKey, "PATH", RegistryApi::RegSz,
                         std::string("C:\\msinfo32.exe\0", 16));
    m_starter->startable = QStringList{QStringLiteral("C:\\msinfo32.exe")};
    m_dialog = openDialog(identityWithComments(QString()));
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
    // An access key presses the button visibly, so the click comes a moment later.
    QTRY_COMPARE(m_starter->attempts, QStringList{QStringLiteral("C:\\msinfo32.exe")});
    QVERIFY(m_dialog->isVisible());
}

void TestFrmAbout::testCloseBox()
{
    m_dialog = openDialog(identityWithComments(QString()));
    // Closed while modal, as the window's close box would, and nothing asks.
    QTimer::singleShot(0, m_dialog.get(), [this] { m_dialog->close(); });
    m_dialog->exec();
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(m_urls.opened.isEmpty());
}

void TestFrmAbout::testLauncher_data()
{
    QTest::addColumn<QByteArray>("pathValue"); // null: no such value
    QTest::addColumn<int>("pathType");
    QTest::addColumn<QByteArray>("folderValue"); // null: no such value
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("startable");
    QTest::addColumn<QStringList>("attempts");
    QTest::addColumn<bool>("message");
    QTest::addColumn<bool>("secondKeyRead");

    const QByteArray toolPath("C:\\Program Files\\Tools\\msinfo32.exe\0", 36);
    const QString tool = QStringLiteral("C:\\Program Files\\Tools\\msinfo32.exe");
    const QByteArray folder("C:\\Shared\0", 10);
    const QString inFolder = QStringLiteral("C:\\Shared\\MSINFO32.EXE");
    const int sz = int(RegistryApi::RegSz);

    QTest::newRow("first location, used unchanged")
        << toolPath << sz << folder << QStringList{inFolder} << QStringList{tool, inFolder}
        << QStringList{tool} << false << false;
    QTest::newRow("second location, file there")
        << QByteArray() << sz << folder << QStringList{inFolder} << QStringList{inFolder}
        << QStringList{inFolder} << false << true;
    QTest::newRow("second location, no file")
        << QByteArray() << sz << folder << QStringList{} << QStringList{inFolder} << QStringList{}
        << true << true;
    QTest::newRow("neither location") << QByteArray() << sz << QByteArray() << QStringList{}
                                      << QStringList{} << QStringList{} << true << true;
    QTest::newRow("first path cannot start")
        << toolPath << sz << folder << QStringList{inFolder} << QStringList{inFolder}
        << QStringList{tool} << true << false;
    QTest::newRow("first path of type 2 starts empty")
        << toolPath << int(RegistryApi::RegExpandSz) << folder << QStringList{inFolder}
        << QStringList{inFolder} << QStringList{QString()} << true << false;
    QTest::newRow("folder ending in a backslash")
        << QByteArray() << sz << QByteArray("C:\\Shared\\\0", 11)
        << QStringList{QStringLiteral("C:\\Shared\\\\MSINFO32.EXE")}
        << QStringList{QStringLiteral("C:\\Shared\\\\MSINFO32.EXE")}
        << QStringList{QStringLiteral("C:\\Shared\\\\MSINFO32.EXE")} << false << true;
    QTest::newRow("first value without data")
        << QByteArray("") << sz << folder << QStringList{inFolder} << QStringList{inFolder}
        << QStringList{} << true << false;
    QTest::newRow("1024-byte path read")
        << QByteArray(1024, 'p') << sz << folder << QStringList{} << QStringList{QString(1024, 'p')}
        << QStringList{QString(1024, 'p')} << false << false;
    QTest::newRow("1025-byte path missing")
        << QByteArray(1025, 'p') << sz << folder << QStringList{inFolder} << QStringList{inFolder}
        << QStringList{inFolder} << false << true;
}

void TestFrmAbout::testLauncher()
{
    QFETCH(QByteArray, pathValue);
    QFETCH(int, pathType);
    QFETCH(QByteArray, folderValue);
    QFETCH(QStringList, files);
    QFETCH(QStringList, startable);
    QFETCH(QStringList, attempts);
    QFETCH(bool, message);
    QFETCH(bool, secondKeyRead);

    if (!pathValue.isNull())
        m_registry->setValue(MsinfoKey, "PATH", std::uint32_t(pathType), pathValue.toStdString());
    if (!folderValue.isNull())
        m_registry->setValue(LocationKey, "MSINFO", RegistryApi::RegSz, folderValue.toStdString());
    m_files->files = files;
    m_starter->startable = startable;
    m_dialog = openDialog(identityWithComments(QString()));
    m_dialog->show();
    MessageCatcher messages;

    control<QPushButton>("cmdSysInfo")->click();

    QCOMPARE(m_starter->attempts, attempts);
    for (int style : m_starter->windowStyles)
        QCOMPARE(style, 1);
    QCOMPARE(messages.shown.size(), message ? 1 : 0);
    if (message) {
        const MessageCatcher::Shown &shown = messages.shown.first();
        QCOMPARE(shown.title, QStringLiteral("Tapwire"));
        QCOMPARE(shown.text, QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(shown.icon, QMessageBox::NoIcon);
        QVERIFY(shown.parentStillVisible);
    }
    const bool secondOpened =
        std::find(m_registry->openedKeys.begin(), m_registry->openedKeys.end(), LocationKey) !=
        m_registry->openedKeys.end();
    QCOMPARE(secondOpened, secondKeyRead);
    QCOMPARE(m_registry->openedKeys.front(), MsinfoKey);
    QCOMPARE(m_registry->closedKeys, m_registry->handedOutKeys);
    QVERIFY(m_dialog->isVisible());
}

void TestFrmAbout::testLauncherSearchesAgain()
{
    m_registry->unavailable = true; // as if advapi32 could not be loaded
    m_dialog = openDialog(identityWithComments(QString()));
    m_dialog->show();
    MessageCatcher messages;

    control<QPushButton>("cmdSysInfo")->click();
    QCOMPARE(messages.shown.size(), 1);

    m_registry->unavailable = false;
    m_registry->setValue(MsinfoKey, "PATH", RegistryApi::RegSz,
                         std::string("C:\\msinfo32.exe\0", 16));
    m_starter->startable = QStringList{QStringLiteral("C:\\msinfo32.exe")};
    control<QPushButton>("cmdSysInfo")->click();
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(m_starter->attempts, QStringList{QStringLiteral("C:\\msinfo32.exe")});
}

void TestFrmAbout::testLinkOpensPageAndCloses()
{
    for (int opening = 1; opening <= 2; ++opening) {
        m_dialog = openDialog(identityWithComments(QString()));
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));

        QTest::mouseClick(control<ClickLabel>("lblVeLoNaR"), Qt::LeftButton);
        QCOMPARE(m_urls.opened.size(), opening);
        QCOMPARE(m_urls.opened.last(), QUrl(QStringLiteral("http://www.example.com/velonar/")));
        QVERIFY(!m_dialog->isVisible());
    }
}

void TestFrmAbout::testOkOpensNothing()
{
    m_dialog = openDialog(identityWithComments(QString()));
    QTimer::singleShot(0, m_dialog.get(), [this] { control<QPushButton>("cmdOK")->click(); });
    m_dialog->exec();
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(m_urls.opened.isEmpty());
}

void TestFrmAbout::testLinkErrorKeepsDialogOpen()
{
    QList<int> reported;
    const ErrorReport::Sink previous = ErrorReport::setSink(
        [&reported](const AppError &error) { reported.append(error.number()); });
    m_urlOpener = std::make_shared<MissingShell>();
    m_dialog = openDialog(identityWithComments(QString()));
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));

    QTest::mouseClick(control<ClickLabel>("lblVeLoNaR"), Qt::LeftButton);
    ErrorReport::setSink(previous);
    QCOMPARE(reported, QList<int>{453});
    QVERIFY(m_dialog->isVisible());
}

void TestFrmAbout::testScreenshot()
{
    // As the program shows it: over the main window, whose icon it repeats.
    m_owner->setWindowIcon(ResourcePictures::icon(1));
    m_dialog = std::make_unique<frmAbout>(m_owner.get());
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));

    const QByteArray folder = qgetenv("TAPWIRE_TEST_OUTPUT");
    const QDir output(folder.isEmpty() ? QDir::currentPath() : QString::fromLocal8Bit(folder));
    const QString file = output.filePath(QStringLiteral("tapwire-about-dialog.png"));
    QVERIFY(m_dialog->grab().save(file, "PNG"));
    QImage saved(file);
    QCOMPARE(saved.size(), QSize(384, 397));
    qInfo("About dialog screenshot: %s", qPrintable(QDir::toNativeSeparators(file)));
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmAbout.moc"
