#include "RegularFile.h"

#include "ByteFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    return QStringLiteral("a special file");
}

AppError systemError(int error, const QString &path, bool reading = true)
{
    const bool denied = error == EACCES || error == EPERM;
    return ByteFile::fileError(denied ? QFileDevice::PermissionsError : QFileDevice::OpenError,
                               path, reading, qt_error_string(error));
}

} // namespace

namespace RegularFile {

qint64 openToRead(QFile &file, const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw systemError(errno, path);
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        throw systemError(error, path);
    }
    const QString kind = kindOf(status.st_mode);
    if (!kind.isEmpty()) {
        ::close(fd);
        throw ByteFile::notRegularFile(path, kind);
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw ByteFile::fileError(file, path, true);
    }
    return status.st_size;
}

void openToWrite(QFile &file, const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        throw systemError(errno, path, false);
    // Writes wait as they do on any file.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw ByteFile::fileError(file, path, false);
    }
}

QString specialKind(const QString &path)
{
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return kindOf(status.st_mode);
}

void syncWritten(QFileDevice &file)
{
    // A failure shows again, and is reported, when the save is committed.
    if (file.flush())
        ::fdatasync(file.handle());
}

} // namespace RegularFile
