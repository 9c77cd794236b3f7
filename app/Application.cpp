#include "Application.h"

#include "ErrorReport.h"

bool Application::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    ErrorReport::guarded([&] { handled = QApplication::notify(receiver, event); })();
    return handled;
}
