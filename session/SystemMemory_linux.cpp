#include "TranscriptLimit.h"

#include <QFile>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// A limit the cgroup file gives, v2's memory.max or v1's
// memory.limit_in_bytes; "max", or v1's page-rounded largest number, for none.
std::optional<qint64> cgroupLimit()
{
    QFile membership(QStringLiteral("/proc/self/cgroup"));
    if (!membership.open(QIODevice::ReadOnly))
        return std::nullopt;
    QStringList files;
    for (const QByteArray &line : membership.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(':');
        if (fields.size() != 3)
            continue;
        const QString path = QString::fromLocal8Bit(fields[2]);
        if (fields[1].isEmpty())
            files << QStringLiteral("/sys/fs/cgroup%1/memory.max").arg(path);
        else if (fields[1].split(',').contains("memory"))
            files << QStringLiteral("/sys/fs/cgroup/memory%1/memory.limit_in_bytes").arg(path);
    }
    // Inside a container the cgroup's own files sit at the top.
    files << QStringLiteral("/sys/fs/cgroup/memory.max")
          << QStringLiteral("/sys/fs/cgroup/memory/memory.limit_in_bytes");
    for (const QString &name : std::as_const(files)) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        bool isNumber = false;
        const qint64 bytes = file.readAll().trimmed().toLongLong(&isNumber);
        if (isNumber && bytes < (qint64(1) << 60))
            return bytes;
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

TranscriptLimit::Memory TranscriptLimit::systemMemory()
{
    Memory memory;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        memory.physical = qint64(pages) * pageSize;
    memory.cgroup = cgroupLimit();
    rlimit addressSpace{};
    if (::getrlimit(RLIMIT_AS, &addressSpace) == 0 && addressSpace.rlim_cur != RLIM_INFINITY)
        memory.addressSpace = qint64(addressSpace.rlim_cur);
    return memory;
}
