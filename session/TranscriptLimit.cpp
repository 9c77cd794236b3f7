#include "TranscriptLimit.h"

#include <algorithm>
#include <limits>

namespace TranscriptLimit {

qint64 fromMemory(const Memory &memory)
{
    constexpr qint64 most = 16 * 1024 * MiB;
    qint64 smallest = std::numeric_limits<qint64>::max();
    for (const std::optional<qint64> &figure :
         {memory.physical, memory.cgroup, memory.addressSpace})
        smallest = std::min(smallest, figure.value_or(smallest));
    return std::clamp(smallest / 4, MiB, most);
}

std::optional<qint64> fromMiBText(const QString &text)
{
    bool isNumber = false;
    const qint64 mib = text.toLongLong(&isNumber);
    if (!isNumber || mib < 1 || mib > std::numeric_limits<qint64>::max() / MiB ||
        text != QString::number(mib))
        return std::nullopt;
    return mib * MiB;
}

bool isReached(qint64 used, qint64 limit)
{
    return used >= limit;
}

bool isLeftBehind(qint64 used, qint64 limit)
{
    return used <= std::max<qint64>(0, limit - MiB);
}

} // namespace TranscriptLimit
