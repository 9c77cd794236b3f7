#include "UnixFileProbe.h"

#include <QFile>
#include <QFileInfo>

bool UnixFileProbe::exists(const std::string &fileName)
{
    if (fileName.empty())
        return false;
    const QFileInfo info(QFile::decodeName(QByteArray::fromStdString(fileName)));
    return info.isFile() && !info.isHidden();
}

std::unique_ptr<FileProbe> systemFileProbe()
{
    return std::make_unique<UnixFileProbe>();
}
