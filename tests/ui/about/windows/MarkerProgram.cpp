// A program for the Windows check to start: it writes, next to itself, a file
// named after itself plus ".marker" holding the window style it was given
// ("-" when none) and, after a line break, its command line, in UTF-16. It is
// written under another name first and then renamed, so that whoever waits
// for the file never reads half of it.

#include <string>
#include <windows.h>

int main()
{
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length == MAX_PATH)
        return 1;

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    std::wstring text = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0
                            ? std::to_wstring(startup.wShowWindow)
                            : std::wstring(L"-");
    text += L'\n';
    text += GetCommandLineW();

    const std::wstring marker = std::wstring(self, length) + L".marker";
    const std::wstring partial = marker + L".partial";
    const HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    const bool ok = WriteFile(file, text.data(), size, &written, nullptr) && written == size;
    CloseHandle(file);
    return ok && MoveFileExW(partial.c_str(), marker.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
