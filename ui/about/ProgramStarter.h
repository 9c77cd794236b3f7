#pragma once

#include <memory>
#include <string>

// Starts a program by its full path and lets it run on its own: nothing waits
// for it and nothing of it is kept. The path is text in the system's 8-bit
// code page. Free of Qt, so that the Windows side builds on its own.
class ProgramStarter
{
public:
    // Windows' SW_SHOWNORMAL: a normal window with the focus.
    static constexpr int NormalWindow = 1;

    virtual ~ProgramStarter() = default;

    // False when the program could not be started (an empty path included).
    virtual bool start(const std::string &path, int windowStyle) = 0;
};

std::unique_ptr<ProgramStarter> systemProgramStarter();
