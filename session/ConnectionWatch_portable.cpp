#include "ConnectionWatch.h"

// Where the system cannot be asked, every close of the peer counts as regular
// and a connect runs as Qt runs it.
ConnectionWatch::ConnectionWatch() = default;

ConnectionWatch::~ConnectionWatch() = default;

void ConnectionWatch::watch(qintptr)
{
}

bool ConnectionWatch::watches(qintptr) const
{
    return false;
}

ConnectionWatch::Ending ConnectionWatch::ending() const
{
    return Ending::RegularClose;
}

quint16 ConnectionWatch::localPort() const
{
    return 0;
}

qint64 ConnectionWatch::unreadBytes() const
{
    return 0;
}

void ConnectionWatch::notifyActivity(QObject *, std::function<void()>)
{
}

void ConnectionWatch::stopNotifying()
{
    m_notifier = nullptr;
}

void ConnectionWatch::release()
{
    m_handle = -1;
}
