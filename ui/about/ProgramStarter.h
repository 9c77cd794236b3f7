#pragma once

#include <QString>

#include <memory>

// Starts a program by its full path and lets it run on its own: nothing waits
// for it and nothing of it is kept.
class ProgramStarter
{
public:
    // Windows' SW_SHOWNORMAL: a normal window with the focus.
    static constexpr int NormalWindow = 1;

    virtual ~ProgramStarter() = default;

    // False when the program could not be started (an empty path included).
    virtual bool start(const QString &path, int windowStyle) = 0;
};

std::unique_ptr<ProgramStarter> systemProgramStarter();
