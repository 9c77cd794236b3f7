#include "ShellUrlOpener.h"

#include "AppError.h"
#include "ShellOpen.h"

#include <QByteArray>
#include <QWidget>

void ShellUrlOpener::open(const QString &address, QWidget *owner)
{
    const HWND window =
        owner != nullptr ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr;
    try {
        ShellOpen::open(window, address.toLocal8Bit().toStdString());
    } catch (const ShellOpen::Missing &missing) {
        throw AppError(missing.number(), QString::fromStdString(missing.what()));
    }
}

std::unique_ptr<UrlOpener> systemUrlOpener()
{
    return std::make_unique<ShellUrlOpener>();
}
