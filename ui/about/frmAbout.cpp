#include "frmAbout.h"
#include "ui_frmAbout.h"

#include "AboutTexts.h"
#include "CommentsCollapse.h"
#include "ErrorReport.h"
#include "LabelColours.h"
#include "ResourcePictures.h"
#include "SysInfoSearch.h"
#include "Twips.h"
#include "VersionLine.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>

#include <utility>

namespace {

constexpr int IconId = 901;
constexpr int LogoId = 902;
constexpr int LinkCursorId = 903;

// Unload modes, as a close request reports where it came from.
constexpr qint16 FromControlMenu = 0;
constexpr qint16 FromCode = 1;

QFont dialogFont()
{
    QFont font;
    // Tahoma where it is installed; elsewhere Liberation Sans, whose widths
    // are close enough to Tahoma's for every text to fit its label as laid
    // out (the usual substitute, DejaVu Sans, runs a sixth wider).
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    return font;
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

int topTwips(const QWidget *widget)
{
    return Twips::fromPixels(widget->y());
}

void moveTopTo(QWidget *widget, int twips)
{
    widget->move(widget->x(), Twips::toPixels(twips));
}

} // namespace

frmAbout::frmAbout(QWidget *owner, const AppIdentity &identity, AboutPlatform platform)
    : QDialog(owner), ui(std::make_unique<Ui::frmAbout>()), m_owner(owner), m_identity(identity),
      m_platform(std::move(platform))
{
    ui->setupUi(this);
    applyLayoutStyle();

    connect(ui->cmdOK, &QPushButton::clicked, this,
            ErrorReport::guarded([this] { cmdOK_Click(); }));
    connect(ui->cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    connect(ui->lblVeLoNaR, &ClickLabel::clicked, this,
            ErrorReport::guarded([this] { lblVeLoNaR_Click(); }));

    Form_Load(identity);
}

frmAbout::~frmAbout() = default;

// What the layout fixes but Designer cannot hold.
void frmAbout::applyLayoutStyle()
{
    // A fixed dialog frame with the system menu and Close only. Having an
    // owner keeps it off the task bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Twips::toPixels(5760), Twips::toPixels(6555));
    setFont(dialogFont());

    QFont titleFont = dialogFont();
    titleFont.setWeight(QFont::Bold);
    ui->lblTitle->setFont(titleFont);
    // Black as laid out, unless the theme's window is dark.
    const QColor textColour = LabelColours::textColour(palette());
    setTextColour(ui->lblTitle, textColour);
    setTextColour(ui->lblDescription, textColour);
    setTextColour(ui->lblDisclaimer, textColour);

    ui->picIcon->setAutoSize(true);
    ui->cmdOK->setFocus();
}

void frmAbout::Form_Load(const AppIdentity &identity)
{
    setWindowTitle(QStringLiteral("About ") + identity.title);
    setWindowIcon(ResourcePictures::icon(IconId));
    if (m_owner != nullptr)
        ui->picIcon->setPicture(m_owner->windowIcon().pixmap(QSize(32, 32)));
    ui->picIcon->setAccessibleName(identity.productName + QStringLiteral(" icon"));
    ui->lblTitle->setText(identity.productName);
    ui->lblVersion->setText(
        VersionLine::withoutRevision(identity.versionMajor, identity.versionMinor));
    if (identity.versionRevision > 0)
        ui->lblVersion->setText(ui->lblVersion->text() +
                                VersionLine::revisionPart(identity.versionRevision));
    ui->lblCopyright->setText(identity.legalCopyright);
    ui->lblDescription->setText(identity.fileDescription);

    ui->lblVeLoNaR->setText(AboutTexts::linkCaption(AboutTexts::webPageAddress()));
    ui->lblVeLoNaR->setCursor(ResourcePictures::cursor(LinkCursorId));
    ui->lblVeLoNaR->setToolTip(AboutTexts::linkToolTip());
    setTextColour(ui->lblVeLoNaR, LabelColours::linkColour(palette()));
    QFont linkFont = ui->lblVeLoNaR->font();
    linkFont.setUnderline(true);
    ui->lblVeLoNaR->setFont(linkFont);

    ui->lblComments->setText(identity.comments);
    if (CommentsCollapse::applies(identity.comments))
        collapseComments();

    ui->lblDisclaimer->setText(AboutTexts::legalWarning());
    ui->picVeLoNaR->setPicture(ResourcePictures::bitmap(LogoId));
    ui->picVeLoNaR->setAccessibleName(identity.companyName + QStringLiteral(" logo"));
}

void frmAbout::collapseComments()
{
    CommentsCollapse::Rows rows;
    rows.line0Y1 = Line1[0].y1;
    rows.line0Y2 = Line1[0].y2;
    rows.line1Y1 = Line1[1].y1;
    rows.line1Y2 = Line1[1].y2;
    rows.disclaimerTop = topTwips(ui->lblDisclaimer);
    rows.okTop = topTwips(ui->cmdOK);
    rows.sysInfoTop = topTwips(ui->cmdSysInfo);
    rows.dialogHeight = Twips::fromPixels(height());

    const CommentsCollapse::Rows moved =
        CommentsCollapse::collapsed(rows, Twips::fromPixels(ui->lblComments->height()));
    Line1[0].y1 = moved.line0Y1;
    Line1[0].y2 = moved.line0Y2;
    Line1[1].y1 = moved.line1Y1;
    Line1[1].y2 = moved.line1Y2;
    moveTopTo(ui->lblDisclaimer, moved.disclaimerTop);
    moveTopTo(ui->cmdOK, moved.okTop);
    moveTopTo(ui->cmdSysInfo, moved.sysInfoTop);
    // The frame around the client area stays as it is, so taking d off the
    // client area takes it off the whole window.
    setFixedHeight(Twips::toPixels(moved.dialogHeight));
    ui->lblComments->hide();
    update();
}

void frmAbout::cmdOK_Click()
{
    m_unloadingFromCode = true;
    close();
    m_unloadingFromCode = false;
}

void frmAbout::Form_QueryUnload(qint16 &, qint16 &)
{
    // No request to close is ever refused, wherever it comes from.
}

void frmAbout::closeEvent(QCloseEvent *event)
{
    qint16 cancel = 0;
    qint16 unloadMode = m_unloadingFromCode ? FromCode : FromControlMenu;
    Form_QueryUnload(cancel, unloadMode);
    if (cancel != 0) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    // Esc clicks the cancel button, OK, wherever the focus is; QDialog would
    // reject() without it.
    if (event->matches(QKeySequence::Cancel)) {
        ui->cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmAbout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_centred || event->spontaneous())
        return;
    // Centred on the screen (the owner's) rather than over the owner, and
    // only now: the load sequence may have made the dialog shorter, and the
    // frame's size is known once the window is there.
    m_centred = true;
    const QScreen *shownOn = m_owner != nullptr ? m_owner->screen() : screen();
    if (shownOn == nullptr)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(shownOn->availableGeometry().center());
    move(frame.topLeft());
}

void frmAbout::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    Line1[1].paint(painter);
    Line1[0].paint(painter);
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    // Whatever goes wrong on the way ends in the one message; the dialog
    // stays open and the next press searches again from the start.
    if (!SysInfoSearch::startTool(*m_platform.registry, *m_platform.fileProbe,
                                  *m_platform.programStarter))
        showSysInfoUnavailable();
}

void frmAbout::showSysInfoUnavailable()
{
    QMessageBox box(QMessageBox::NoIcon, m_identity.title, AboutTexts::sysInfoUnavailable(),
                    QMessageBox::Ok, this);
    box.exec();
}

void frmAbout::lblVeLoNaR_Click()
{
    // Opened on the main window's behalf, not the dialog's, which is about to
    // close. The answer is not waited for.
    m_platform.urlOpener->open(AboutTexts::webPageAddress(), m_owner);
    cmdOK_Click();
}
