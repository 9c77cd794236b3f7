#pragma once

#include "FileProbe.h"

// Dot files are this platform's hidden files; it has no system files.
class UnixFileProbe : public FileProbe
{
public:
    bool exists(const std::string &fileName) override;
};
