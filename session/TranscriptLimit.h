#pragma once

#include <QString>

#include <optional>

// How far the transcript may grow before reading pauses. The limit counts
// characters; whatever else the transcript comes to hold counts against it
// too, through the one measure the session takes of it.
namespace TranscriptLimit {

constexpr qint64 MiB = 1024 * 1024;

// What the process may use, as far as the system says; none where it sets
// no limit or cannot tell.
struct Memory
{
    std::optional<qint64> physical;
    std::optional<qint64> cgroup;
    std::optional<qint64> addressSpace;
};

// A quarter of the smallest, at most 16 GiB and at least 1 MiB.
qint64 fromMemory(const Memory &memory);
// What the system says (SystemMemory_linux.cpp, SystemMemory_portable.cpp).
Memory systemMemory();

// The value of --transcript-limit: a whole number of MiB, at least 1.
std::optional<qint64> fromMiBText(const QString &text);

// Reading pauses once the transcript is this full...
bool isReached(qint64 used, qint64 limit);
// ...and resumes only once it is at least 1 MiB under the limit again (or
// empty, for a limit that small), so that it does not flip back and forth.
bool isLeftBehind(qint64 used, qint64 limit);

} // namespace TranscriptLimit
