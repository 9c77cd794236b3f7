#pragma once

#include "ProgramStarter.h"

// Starts the program as a detached process. The window style has no
// counterpart here: the program's windows are its own business.
class DetachedProgramStarter : public ProgramStarter
{
public:
    bool start(const std::string &path, int windowStyle) override;
};
