#pragma once

#include "SocketErrors.h"

#include <QHostAddress>

#include <functional>
#include <memory>

class QObject;

// Listens for TCP connections on every local address, IPv4 and IPv6 alike,
// and hands over each connection the system accepts as a bare descriptor,
// together with the peer's address as the accept itself gave it: once a peer
// has reset, the system no longer tells who it was. Destroying the listener
// stops listening at once; descriptors already handed over stay open.
class RequestListener
{
public:
    struct Request
    {
        qintptr descriptor = -1;
        // Null where the platform's accept cannot be reached; the socket is
        // asked instead.
        QHostAddress peerAddress;
        quint16 peerPort = 0;
    };
    // Must not destroy the listener.
    using OnRequest = std::function<void(const Request &)>;
    // The listener can accept no more (out of descriptors, for one); it may
    // be destroyed from here.
    using OnError = std::function<void(SocketErrors::Number)>;

    virtual ~RequestListener() = default;

    // Throws AppError when the port cannot be listened on (10048 when in use).
    virtual void listen(quint16 port) = 0;
    // The port listened on; for port 0, the one the system picked.
    virtual quint16 port() const = 0;
};

// Calls arrive on `context`'s thread while it lives.
std::unique_ptr<RequestListener> systemRequestListener(QObject *context,
                                                       RequestListener::OnRequest onRequest,
                                                       RequestListener::OnError onError);
