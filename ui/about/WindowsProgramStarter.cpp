#include "WindowsProgramStarter.h"

#include <windows.h>

bool WindowsProgramStarter::start(const std::string &path, int windowStyle)
{
    if (path.empty())
        return false;
    // The path goes in as the application name, so a folder with spaces in it
    // ("C:\Program Files\...") can never start a different program; the
    // command line only repeats it, quoted, as the program's argv[0].
    std::string commandLine = "\"" + path + "\"";

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

std::unique_ptr<ProgramStarter> systemProgramStarter()
{
    return std::make_unique<WindowsProgramStarter>();
}
