#include "RequestListener.h"

#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// What Qt's own listeners use.
constexpr int backlog = 50;

quint16 portOf(const sockaddr_storage &address)
{
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
    return 0;
}

// Errors of accept() that belong to the one connection being accepted, which
// is gone; the next one may be fine.
bool concernsOneConnection(int error)
{
    switch (error) {
    case ECONNABORTED:
    case EPROTO:
    case EPERM:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
        return true;
    default:
        return false;
    }
}

// The listening socket is our own, so the peer's address comes from accept()
// itself: Qt's listener asks the system again afterwards, and once the peer
// has reset, the system no longer answers.
class LinuxRequestListener final : public RequestListener
{
public:
    LinuxRequestListener(QObject *context, OnRequest onRequest, OnError onError)
        : m_context(context), m_onRequest(std::move(onRequest)), m_onError(std::move(onError))
    {
    }
    ~LinuxRequestListener() override
    {
        if (m_notifier) {
            // Disabled at once so the socket may close now; deleted later,
            // since this may run inside the notifier's own signal.
            m_notifier->setEnabled(false);
            m_notifier->deleteLater();
        }
        if (m_socket >= 0)
            ::close(m_socket);
    }

    void listen(quint16 port) override
    {
        // Dual-stack where the system has IPv6: IPv4 peers arrive mapped.
        bool v6 = true;
        int socket = ::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (socket < 0) {
            v6 = false;
            socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        }
        if (socket < 0)
            throw SocketErrors::error(SocketErrors::fromErrno(errno));
        // As Qt does on Unix: a port whose last connection still waits out
        // TIME_WAIT can be listened on again at once.
        const int on = 1;
        const int off = 0;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_storage address{};
        socklen_t size = 0;
        if (v6) {
            ::setsockopt(socket, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
            auto &v6Address = reinterpret_cast<sockaddr_in6 &>(address);
            v6Address.sin6_family = AF_INET6;
            v6Address.sin6_addr = in6addr_any;
            v6Address.sin6_port = htons(port);
            size = sizeof v6Address;
        } else {
            auto &v4Address = reinterpret_cast<sockaddr_in &>(address);
            v4Address.sin_family = AF_INET;
            v4Address.sin_addr.s_addr = htonl(INADDR_ANY);
            v4Address.sin_port = htons(port);
            size = sizeof v4Address;
        }
        if (::bind(socket, reinterpret_cast<const sockaddr *>(&address), size) != 0 ||
            ::listen(socket, backlog) != 0) {
            const int error = errno;
            ::close(socket);
            throw SocketErrors::error(SocketErrors::fromErrno(error));
        }
        m_socket = socket;
        m_notifier = new QSocketNotifier(socket, QSocketNotifier::Read, m_context);
        QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier,
                         [this] { acceptPending(); });
    }

    quint16 port() const override
    {
        sockaddr_storage address{};
        socklen_t size = sizeof address;
        if (m_socket < 0 ||
            ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            return 0;
        return portOf(address);
    }

private:
    void acceptPending()
    {
        for (;;) {
            sockaddr_storage address{};
            socklen_t size = sizeof address;
            const int descriptor = ::accept4(m_socket, reinterpret_cast<sockaddr *>(&address),
                                             &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (descriptor >= 0) {
                m_onRequest({descriptor, QHostAddress(reinterpret_cast<const sockaddr *>(&address)),
                             portOf(address)});
                continue;
            }
            const int error = errno;
            if (error == EINTR || concernsOneConnection(error))
                continue;
            if (error == EAGAIN || error == EWOULDBLOCK)
                return;
            // The request stays queued and would wake us again at once.
            m_notifier->setEnabled(false);
            // The owner may destroy this listener from here: nothing of it is
            // touched afterwards.
            const OnError onError = m_onError;
            onError(SocketErrors::fromErrno(error));
            return;
        }
    }

    QObject *m_context = nullptr;
    OnRequest m_onRequest;
    OnError m_onError;
    int m_socket = -1;
    QPointer<QSocketNotifier> m_notifier;
};

} // namespace

std::unique_ptr<RequestListener> systemRequestListener(QObject *context,
                                                       RequestListener::OnRequest onRequest,
                                                       RequestListener::OnError onError)
{
    return std::make_unique<LinuxRequestListener>(context, std::move(onRequest),
                                                  std::move(onError));
}
