#include "RequestListener.h"

#include <QPointer>
#include <QTcpServer>

namespace {

// Where the system's accept cannot be reached, Qt accepts; the peer's address
// is then whatever the socket can still tell.
class ServerListener : public QTcpServer
{
public:
    ServerListener(QObject *context, RequestListener::OnRequest onRequest)
        : QTcpServer(context), m_onRequest(std::move(onRequest))
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override { m_onRequest({descriptor, {}, 0}); }

private:
    RequestListener::OnRequest m_onRequest;
};

class PortableRequestListener final : public RequestListener
{
public:
    PortableRequestListener(QObject *context, OnRequest onRequest, OnError onError)
        : m_server(new ServerListener(context, std::move(onRequest)))
    {
        QObject::connect(m_server, &QTcpServer::acceptError, m_server,
                         [onError = std::move(onError)](QAbstractSocket::SocketError error) {
                             onError(SocketErrors::fromSocketError(error));
                         });
    }
    ~PortableRequestListener() override
    {
        if (!m_server)
            return;
        m_server->close();
        // Later: this may run inside the server's own signal.
        m_server->deleteLater();
    }

    void listen(quint16 port) override
    {
        // Any is dual-stack: IPv4 and IPv6 peers alike.
        if (!m_server->listen(QHostAddress::Any, port))
            throw SocketErrors::error(SocketErrors::fromSocketError(m_server->serverError()));
    }
    quint16 port() const override { return m_server ? m_server->serverPort() : 0; }

private:
    QPointer<ServerListener> m_server;
};

} // namespace

std::unique_ptr<RequestListener> systemRequestListener(QObject *context,
                                                       RequestListener::OnRequest onRequest,
                                                       RequestListener::OnError onError)
{
    return std::make_unique<PortableRequestListener>(context, std::move(onRequest),
                                                     std::move(onError));
}
