#pragma once

#include "FileProbe.h"

// Reads the file's attributes through the code-page (A) call; a name with
// wildcards matches nothing.
class WindowsFileProbe : public FileProbe
{
public:
    bool exists(const std::string &fileName) override;
};
