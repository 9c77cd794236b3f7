#pragma once

#include "ProgramStarter.h"

// Starts the program with CreateProcessW, showing its window as asked.
class WindowsProgramStarter : public ProgramStarter
{
public:
    bool start(const QString &path, int windowStyle) override;
};
