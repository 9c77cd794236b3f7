#include "ShellUrlOpener.h"

#include "AppError.h"

#include <QByteArray>
#include <QWidget>
#include <windows.h>

namespace {

using ShellExecuteAFn = HINSTANCE(WINAPI *)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

ShellExecuteAFn resolveShellExecute()
{
    const HMODULE library = LoadLibraryA("shell32.dll");
    if (library == nullptr)
        throw AppError(53, QStringLiteral("File not found: shell32.dll"));
    const FARPROC address = GetProcAddress(library, "ShellExecuteA");
    if (address == nullptr)
        throw AppError(453,
                       QStringLiteral("Can't find DLL entry point ShellExecuteA in shell32.dll"));
    return reinterpret_cast<ShellExecuteAFn>(reinterpret_cast<void (*)()>(address));
}

} // namespace

void ShellUrlOpener::open(const QString &address, QWidget *owner)
{
    static const ShellExecuteAFn shellExecuteA = resolveShellExecute();
    const HWND window =
        owner != nullptr ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr;
    const QByteArray file = address.toLocal8Bit();
    // Empty texts go as empty strings, never as null pointers; the answer
    // (above 32 on success) is not examined.
    shellExecuteA(window, "", file.constData(), "", "", 0);
}

std::unique_ptr<UrlOpener> systemUrlOpener()
{
    return std::make_unique<ShellUrlOpener>();
}
