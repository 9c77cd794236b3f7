#pragma once

#include "AboutPlatform.h"
#include "AppIdentity.h"
#include "SeparatorLine.h"

#include <QDialog>

#include <array>
#include <memory>

namespace Ui {
class frmAbout;
}

// The About dialog: the application's identity, a way to the system's own
// information tool, and a link to the maker's web page. Shown modally over
// the main window, created afresh for each showing and discarded after it:
//
//     frmAbout about(this);
//     about.exec();
//
// The constructor runs the load sequence; an AppError in it (a missing
// resource picture) leaves the constructor for the caller's error report.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    // `owner` is the main window: its icon is shown, and the web page is
    // opened on its behalf. The identity must outlive the dialog.
    explicit frmAbout(QWidget *owner, const AppIdentity &identity = appIdentity(),
                      AboutPlatform platform = {});
    ~frmAbout() override;

    // The two separator lines, element 0 (white) drawn over element 1 (grey).
    const std::array<SeparatorLine, 2> &lines() const { return Line1; }

    void cmdOK_Click();
    void cmdSysInfo_Click();
    void lblVeLoNaR_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void applyLayoutStyle();
    void Form_Load(const AppIdentity &identity);
    void collapseComments();
    void Form_QueryUnload(qint16 &Cancel, qint16 &UnloadMode);
    void StartSysInfo();
    void showSysInfoUnavailable();

    std::unique_ptr<Ui::frmAbout> ui;
    QWidget *m_owner = nullptr;
    const AppIdentity &m_identity;
    AboutPlatform m_platform;
    // Element 1 is created first, so element 0 is drawn over it.
    std::array<SeparatorLine, 2> Line1{{
        {105, 4935, 5654, 4935, QColor(255, 255, 255), 2},
        {90, 4935, 5654, 4935, QColor(128, 128, 128), 1},
    }};
    bool m_unloadingFromCode = false;
    bool m_centred = false;
};
