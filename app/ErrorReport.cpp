#include "ErrorReport.h"

#include "AppIdentity.h"

#include <QApplication>
#include <QMessageBox>

namespace ErrorReport {

namespace {
Sink &currentSink()
{
    static Sink sink;
    return sink;
}
} // namespace

QString messageText(const AppError &error)
{
    return QStringLiteral("Error %1: %2").arg(error.number()).arg(error.description());
}

AppError outOfMemory()
{
    return AppError(7, QStringLiteral("Out of memory"));
}

void report(const AppError &error)
{
    if (const Sink &sink = currentSink()) {
        sink(error);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, appIdentity().title, messageText(error), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

Sink setSink(Sink sink)
{
    return std::exchange(currentSink(), std::move(sink));
}

} // namespace ErrorReport
