#pragma once

#include "FileProbe.h"

#include <QStringList>

// Knows a fixed set of files, and records every name asked about.
class FakeFileProbe : public FileProbe
{
public:
    QStringList files;
    QStringList asked;

    bool exists(const std::string &fileName) override
    {
        asked.append(QString::fromStdString(fileName));
        return files.contains(asked.last());
    }
};
