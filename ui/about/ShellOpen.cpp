#include "ShellOpen.h"

namespace ShellOpen {

Function resolved()
{
    static const Function function = [] {
        const HMODULE library = LoadLibraryA("shell32.dll");
        if (library == nullptr)
            throw Missing(53, "File not found: shell32.dll");
        const FARPROC address = GetProcAddress(library, "ShellExecuteA");
        if (address == nullptr)
            throw Missing(453, "Can't find DLL entry point ShellExecuteA in shell32.dll");
        // Through the generic function type, which converts to any other.
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
    }();
    return function;
}

void open(HWND owner, const std::string &file, Function call)
{
    call(owner, "", file.c_str(), "", "", 0);
}

} // namespace ShellOpen
