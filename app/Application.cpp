#include "Application.h"

#include "ErrorReport.h"

#include <QTimer>

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const AppError &error) {
        reportLater(error);
    } catch (const std::bad_alloc &) {
        reportLater(ErrorReport::outOfMemory());
    }
    return false;
}

// Shown once the event is over, and one at a time: a box opened inside a
// paint that failed would be painted over by the same paint, fail again and
// open a box inside the box, until the stack ran out.
void Application::reportLater(const AppError &error)
{
    if (m_reportPending)
        return;
    m_reportPending = true;
    QTimer::singleShot(0, this, [this, error] {
        ErrorReport::report(error);
        m_reportPending = false;
    });
}
