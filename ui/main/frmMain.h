#pragma once

#include <QList>
#include <QMainWindow>

#include <memory>

namespace Ui {
class frmMain;
}
class FileCommands;
class LineBreakSetting;
class QAction;
class QMenu;
class RecentSends;
class SessionController;
class SocketEndpoint;

// The application's main window: the session controls, the transcript and the
// File / Tools / Help menus. Closing it ends the program; nothing is saved.
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // The socket endpoint the window owns for its whole life.
    SocketEndpoint *wskWinSock() const { return m_endpoint; }
    SessionController *session() const { return m_session; }
    FileCommands *files() const { return m_files; }
    RecentSends *recentSends() const { return m_recentSends; }

    void mnuFile_Click(qint16 index);
    void mnuTools_Click(qint16 index);
    void mnuHelp_Click(qint16 index);

    // Menu arrays: the top-level menus and the one item of each drop-down.
    QList<QMenu *> mnuMain;
    QList<QAction *> mnuFile;
    QList<QAction *> mnuTools;
    QList<QAction *> mnuHelp;
    // Start TLS: in both boxes' context menus, and Ctrl+T anywhere in the window.
    QAction *mnuStartTLS = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    // What the boxes' context menus offer beyond editing.
    void buildContextMenus();
    void Form_Load();

    std::unique_ptr<Ui::frmMain> ui;
    SocketEndpoint *m_endpoint = nullptr;
    SessionController *m_session = nullptr;
    FileCommands *m_files = nullptr;
    RecentSends *m_recentSends = nullptr;
    LineBreakSetting *m_lineBreaks = nullptr;
};
