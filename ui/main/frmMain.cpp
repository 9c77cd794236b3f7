#include "frmMain.h"

#include "ui_frmMain.h"

#include "AppIdentity.h"
#include "ControlStates.h"
#include "ErrorReport.h"
#include "FileCommands.h"
#include "LineBreakSetting.h"
#include "MemoryRelease.h"
#include "RecentSends.h"
#include "RecordCommand.h"
#include "ResourcePictures.h"
#include "SessionController.h"
#include "SocketEndpoint.h"
#include "frmAbout.h"

#include <QAction>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QToolTip>

#include <limits>

namespace {

// The host a new window offers to connect to: a public web server on port 80.
const QString defaultHost = QStringLiteral("www.example.com");
const QString defaultPort = QStringLiteral("80");

QFont wireFont()
{
    QFont font(QStringLiteral("Courier New"));
    // Liberation Mono has Courier New's metrics where Courier New is absent;
    // FreeMono draws symbols that both lack.
    font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                      QStringLiteral("FreeMono")});
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(8.25);
    return font;
}

} // namespace

frmMain::frmMain(QWidget *parent) : QMainWindow(parent), ui(std::make_unique<Ui::frmMain>())
{
    auto *client = new QWidget(this);
    ui->setupUi(client);
    client->setFixedSize(client->size());
    setCentralWidget(client);
    setWindowTitle(QStringLiteral("Tapwire"));
    setWindowIcon(ResourcePictures::icon(1));
    // Minimise, but neither maximise nor resize.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    ui->txtSendData->setFont(wireFont());
    ui->txtRecvData->setFont(wireFont());
    ui->txtRecvData->setUndoRedoEnabled(false);
    // What the user pastes is never cut short.
    ui->txtAddress->setMaxLength(std::numeric_limits<int>::max());
    ui->txtPort->setMaxLength(std::numeric_limits<int>::max());

    m_endpoint = new SocketEndpoint(this);
    // T is taken by Cut in the same menus.
    mnuStartTLS = new QAction(tr("Start T&LS"), this);
    mnuStartTLS->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    addAction(mnuStartTLS);
    const SessionControls controls{ui->cmdListen,   ui->cmdConnect,   ui->cmdClose,
                                   ui->cmdSendData, ui->cmdSendDataC, ui->cmdRecvDataC,
                                   ui->txtAddress,  ui->txtPort,      ui->txtSendData,
                                   ui->txtRecvData, mnuStartTLS};
    m_session = new SessionController(controls, m_endpoint, this);
    m_files = new FileCommands(ui->txtRecvData, ui->txtSendData, this);
    // A cleared box's text goes back to the system, once the box has let it
    // go, so that clearing a large transcript shrinks the process.
    for (QAbstractButton *clear : {ui->cmdSendDataC, ui->cmdRecvDataC})
        connect(clear, &QAbstractButton::clicked, this, &releaseFreedMemory, Qt::QueuedConnection);
    m_recentSends = new RecentSends(ui->txtSendData, this);
    connect(m_session, &SessionController::textSent, m_recentSends, &RecentSends::remember);
    m_lineBreaks = new LineBreakSetting(this);
    buildContextMenus();
    ui->txtPort->installEventFilter(this);

    buildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    Form_Load();

    adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

frmMain::~frmMain() = default;

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    // The tip is made when it is asked for, from the endpoint as it is then.
    if (watched == ui->txtPort && event->type() == QEvent::ToolTip) {
        const QString tip =
            ControlStates::portToolTip(m_endpoint->State(), m_endpoint->LocalPort());
        if (!tip.isEmpty()) {
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), tip, ui->txtPort);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::buildMenus()
{
    struct Item
    {
        QString menu;
        QString item;
        QKeySequence shortcut;
        QList<QAction *> *array;
        void (frmMain::*handler)(qint16);
    };
    const Item items[] = {
        {QStringLiteral("&File"), QStringLiteral("E&xit"), {}, &mnuFile, &frmMain::mnuFile_Click},
        {QStringLiteral("&Tools"), QStringLiteral("&Options..."), QKeySequence(Qt::Key_F2),
         &mnuTools, &frmMain::mnuTools_Click},
        {QStringLiteral("&Help"), QStringLiteral("&About..."), QKeySequence(Qt::Key_F1), &mnuHelp,
         &frmMain::mnuHelp_Click},
    };
    for (const Item &item : items) {
        QMenu *menu = menuBar()->addMenu(item.menu);
        QAction *action = menu->addAction(item.item);
        action->setShortcut(item.shortcut);
        const qint16 index = qint16(item.array->size());
        connect(action, &QAction::triggered, this,
                ErrorReport::guarded(
                    [this, handler = item.handler, index] { (this->*handler)(index); }));
        mnuMain.append(menu);
        item.array->append(action);
    }
    // Tools has nothing to offer yet: shown, but greyed out.
    mnuMain[1]->setEnabled(false);
}

void frmMain::buildContextMenus()
{
    // Either box can show the same text as a hex dump; in the outgoing box's,
    // hex digits type bytes.
    ui->txtSendData->setHexEditable(true);
    for (WireTextEdit *box : {ui->txtSendData, ui->txtRecvData}) {
        auto *showHex = new QAction(tr("Show as &Hex"), box);
        showHex->setCheckable(true);
        connect(showHex, &QAction::toggled, box, &WireTextEdit::setHexShown);
        box->addContextAction(showHex);
        if (box == ui->txtRecvData) {
            // I, as T is taken by Cut in the same menu.
            auto *showTimes = new QAction(tr("Show T&imes"), box);
            showTimes->setCheckable(true);
            connect(showTimes, &QAction::toggled, box, &WireTextEdit::setTimesShown);
            box->addContextAction(showTimes);
            new RecordCommand(box, m_session, this);
        }
        box->addContextAction(mnuStartTLS);
        box->setLineBreak(m_lineBreaks->lineBreak());
        connect(m_lineBreaks, &LineBreakSetting::lineBreakChanged, box,
                &WireTextEdit::setLineBreak);
        box->addContextAction(m_lineBreaks->menu()->menuAction());
    }
    ui->txtSendData->addContextAction(m_recentSends->menu()->menuAction());
}

void frmMain::Form_Load()
{
    mnuFile[0]->setText(mnuFile[0]->text() + QStringLiteral("\tAlt+F4"));
    m_session->ShowIdleState();
    ui->txtRecvData->setText(QString());
    ui->txtSendData->setText(QString());
    ui->txtAddress->setText(defaultHost);
    ui->txtPort->setText(defaultPort);
}

void frmMain::mnuFile_Click(qint16 index)
{
    if (index == 0)
        close();
}

void frmMain::mnuTools_Click(qint16 index)
{
    if (index != 0)
        return;
    QMessageBox box(QMessageBox::NoIcon, appIdentity().title, QStringLiteral("Options Here..."),
                    QMessageBox::Ok, this);
    box.exec();
}

void frmMain::mnuHelp_Click(qint16 index)
{
    if (index != 0)
        return;
    frmAbout about(this);
    about.exec();
}
