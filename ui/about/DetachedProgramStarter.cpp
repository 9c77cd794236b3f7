#include "DetachedProgramStarter.h"

#include <QFile>
#include <QProcess>

bool DetachedProgramStarter::start(const std::string &path, int)
{
    // The path names the program itself, never a command line to be split.
    return !path.empty() &&
           QProcess::startDetached(QFile::decodeName(QByteArray::fromStdString(path)), {});
}

std::unique_ptr<ProgramStarter> systemProgramStarter()
{
    return std::make_unique<DetachedProgramStarter>();
}
