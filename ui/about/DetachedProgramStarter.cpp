#include "DetachedProgramStarter.h"

#include <QProcess>

bool DetachedProgramStarter::start(const QString &path, int)
{
    // The path names the program itself, never a command line to be split.
    return !path.isEmpty() && QProcess::startDetached(path, {});
}

std::unique_ptr<ProgramStarter> systemProgramStarter()
{
    return std::make_unique<DetachedProgramStarter>();
}
