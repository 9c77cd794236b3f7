#pragma once

#include <QtGlobal>

#include <chrono>

// The times of what a session reads and shows. A steady clock is read once
// per read of the socket and turned into wall-clock time through one offset
// taken when the session starts, so that the times within a session never go
// back, even when the system's clock is set meanwhile.
class SessionClock
{
public:
    SessionClock() { start(); }

    // A session starts: the offset is taken again.
    void start()
    {
        m_offset = microseconds(std::chrono::system_clock::now().time_since_epoch()) -
                   microseconds(std::chrono::steady_clock::now().time_since_epoch());
    }
    // Microseconds since the epoch (UTC).
    qint64 now() const
    {
        return m_offset + microseconds(std::chrono::steady_clock::now().time_since_epoch());
    }

private:
    template <typename Duration> static qint64 microseconds(Duration duration)
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(duration).count();
    }

    qint64 m_offset = 0;
};
