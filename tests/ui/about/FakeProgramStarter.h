#pragma once

#include "ProgramStarter.h"

#include <QStringList>

// Starts only the programs it was told about, and records every attempt.
class FakeProgramStarter : public ProgramStarter
{
public:
    QStringList startable;
    QStringList attempts;
    QList<int> windowStyles;

    bool start(const std::string &path, int windowStyle) override
    {
        attempts.append(QString::fromStdString(path));
        windowStyles.append(windowStyle);
        return startable.contains(attempts.last());
    }
};
