#include "AppIdentity.h"
#include "frmMain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The desktop matches a running window to its menu entry and icon by the
    // application id: Wayland by the desktop file name, X11 by the window
    // class, which Qt takes from the application name.
    QGuiApplication::setDesktopFileName(appIdentity().applicationId);
    QCoreApplication::setApplicationName(appIdentity().applicationId);
    frmMain window;
    window.show();
    return app.exec();
}
