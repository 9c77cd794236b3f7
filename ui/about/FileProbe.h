#pragma once

#include <memory>
#include <string>

// Whether one file exists, named in full. Folders, hidden and system files do
// not count, and the name is taken literally (no wildcards). The name is text
// in the system's 8-bit code page, as the registry gives it. Free of Qt, so
// that the Windows side builds on its own.
class FileProbe
{
public:
    virtual ~FileProbe() = default;
    virtual bool exists(const std::string &fileName) = 0;
};

std::unique_ptr<FileProbe> systemFileProbe();
