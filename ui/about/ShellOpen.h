#pragma once

#include <stdexcept>
#include <string>
#include <windows.h>

// shell32's ShellExecuteA, looked up by name at run time. Free of Qt, so that
// it builds and runs on Windows alone; ShellUrlOpener adapts it to the dialog.
namespace ShellOpen {

using Function = HINSTANCE(WINAPI *)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

// shell32 or its ShellExecuteA cannot be found: the number and description
// the error report is to show.
class Missing : public std::runtime_error
{
public:
    Missing(int number, const std::string &description)
        : std::runtime_error(description), m_number(number)
    {
    }
    int number() const { return m_number; }

private:
    int m_number;
};

// ShellExecuteA, found at the first call that finds it and kept from then
// on. Throws Missing.
Function resolved();

// Hands `file`, text in the system's 8-bit code page, to the shell's default
// action for it on `owner`'s behalf, show command 0. The empty verb,
// parameters and folder go as empty strings, never as null pointers; the
// shell's answer is not examined. `call` is ShellExecuteA or a stand-in.
void open(HWND owner, const std::string &file, Function call = resolved());

} // namespace ShellOpen
