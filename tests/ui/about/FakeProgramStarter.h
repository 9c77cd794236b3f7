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

    bool start(const QString &path, int windowStyle) override
    {
        attempts.append(path);
        windowStyles.append(windowStyle);
        return startable.contains(path);
    }
};
