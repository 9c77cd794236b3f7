#include "ConnectionWatch.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool sameSocket(int a, int b)
{
    struct stat first
    {
    };
    struct stat second
    {
    };
    return ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

} // namespace

ConnectionWatch::ConnectionWatch() = default;

ConnectionWatch::~ConnectionWatch()
{
    release();
}

void ConnectionWatch::watch(qintptr descriptor)
{
    release();
    // Close-on-exec: a program started from the About dialog must not inherit it.
    m_handle = ::fcntl(int(descriptor), F_DUPFD_CLOEXEC, 0);
}

bool ConnectionWatch::watches(qintptr descriptor) const
{
    return m_handle >= 0 && descriptor >= 0 && sameSocket(int(m_handle), int(descriptor));
}

ConnectionWatch::Ending ConnectionWatch::ending() const
{
    if (m_handle < 0)
        return Ending::RegularClose;
    tcp_info info{};
    socklen_t size = sizeof info;
    if (::getsockopt(int(m_handle), IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return Ending::RegularClose;
    // The peer's FIN leaves our side waiting to close (CLOSE_WAIT); a reset
    // closes the connection outright while we still hold it.
    return info.tcpi_state == TCP_CLOSE ? Ending::Reset : Ending::RegularClose;
}

quint16 ConnectionWatch::localPort() const
{
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (m_handle < 0 || ::getsockname(int(m_handle), reinterpret_cast<sockaddr *>(&address), &size))
        return 0;
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
    return 0;
}

qint64 ConnectionWatch::unreadBytes() const
{
    int unread = 0;
    return m_handle >= 0 && ::ioctl(int(m_handle), FIONREAD, &unread) == 0 ? unread : 0;
}

void ConnectionWatch::notifyActivity(QObject *context, std::function<void()> onActivity)
{
    stopNotifying();
    if (m_handle < 0)
        return;
    m_notifier = new QSocketNotifier(m_handle, QSocketNotifier::Read, context);
    QObject::connect(m_notifier, &QSocketNotifier::activated, context, std::move(onActivity));
}

void ConnectionWatch::stopNotifying()
{
    if (!m_notifier)
        return;
    // Disabled at once, so the handle may close now; deleted later, since this
    // may run inside the notifier's own signal.
    m_notifier->setEnabled(false);
    m_notifier->deleteLater();
    m_notifier = nullptr;
}

void ConnectionWatch::release()
{
    stopNotifying();
    if (m_handle >= 0)
        ::close(int(m_handle));
    m_handle = -1;
}
