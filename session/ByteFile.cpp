#include "ByteFile.h"

#include <QFileInfo>

namespace ByteFile {

AppError fileError(const QFileDevice &file, const QString &path, bool reading)
{
    return fileError(file.error(), path, reading, file.errorString());
}

AppError fileError(QFileDevice::FileError error, const QString &path, bool reading,
                   const QString &reason)
{
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    int number = 75;
    QString meaning = QStringLiteral("Path/File access error");
    switch (error) {
    case QFileDevice::ResourceError:
        number = 61;
        meaning = QStringLiteral("Disk full");
        break;
    case QFileDevice::PermissionsError:
        number = 70;
        meaning = QStringLiteral("Permission denied");
        break;
    case QFileDevice::ReadError:
    case QFileDevice::WriteError:
    case QFileDevice::FatalError:
        number = 57;
        meaning = QStringLiteral("Device I/O error");
        break;
    default:
        if (!folder.isDir()) {
            number = 76;
            meaning = QStringLiteral("Path not found");
        } else if (reading && !info.exists()) {
            number = 53;
            meaning = QStringLiteral("File not found");
        } else if (!info.isDir() &&
                   ((reading && !info.isReadable()) || (!reading && !folder.isWritable()))) {
            number = 70;
            meaning = QStringLiteral("Permission denied");
        }
        break;
    }
    return AppError(number, QStringLiteral("%1: %2: %3").arg(meaning, path, reason));
}

AppError notRegularFile(const QString &path, const QString &kind)
{
    return AppError(
        75,
        QStringLiteral("Path/File access error: %1: not a regular file but %2").arg(path, kind));
}

} // namespace ByteFile
