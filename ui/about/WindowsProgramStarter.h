#pragma once

#include "ProgramStarter.h"

// Starts the program with CreateProcessA, showing its window as asked.
class WindowsProgramStarter : public ProgramStarter
{
public:
    bool start(const std::string &path, int windowStyle) override;
};
