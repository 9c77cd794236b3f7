#include "UnixFileProbe.h"

#include <QFileInfo>

bool UnixFileProbe::exists(const QString &fileName)
{
    if (fileName.isEmpty())
        return false;
    const QFileInfo info(fileName);
    return info.isFile() && !info.isHidden();
}

std::unique_ptr<FileProbe> systemFileProbe()
{
    return std::make_unique<UnixFileProbe>();
}
