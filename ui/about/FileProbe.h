#pragma once

#include <QString>

#include <memory>

// Whether one file exists, named in full. Folders, hidden and system files do
// not count, and the name is taken literally (no wildcards).
class FileProbe
{
public:
    virtual ~FileProbe() = default;
    virtual bool exists(const QString &fileName) = 0;
};

std::unique_ptr<FileProbe> systemFileProbe();
