#include "RegularFile.h"

#include "ByteFile.h"

#include <QFile>
#include <QFileInfo>

namespace RegularFile {

qint64 openToRead(QFile &file, const QString &path)
{
    const QString kind = specialKind(path);
    if (!kind.isEmpty())
        throw ByteFile::notRegularFile(path, kind);
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ByteFile::fileError(file, path, true);
    return file.size();
}

void openToWrite(QFile &file, const QString &path)
{
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        throw ByteFile::fileError(file, path, false);
}

QString specialKind(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return {};
    return info.isDir() ? QStringLiteral("a folder") : QStringLiteral("a special file");
}

void syncWritten(QFileDevice &)
{
}

} // namespace RegularFile
