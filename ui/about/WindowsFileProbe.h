#pragma once

#include "FileProbe.h"

// Reads the file's attributes; a name with wildcards matches nothing.
class WindowsFileProbe : public FileProbe
{
public:
    bool exists(const QString &fileName) override;
};
