#pragma once

#include <QPointer>
#include <QSocketNotifier>

#include <functional>

// The system's view of a TCP socket that Qt owns, through a handle of our own.
// Qt reports a peer's reset like its regular close, and has closed its
// descriptor by then; and when a peer resets a connection during its
// handshake, Qt silently connects the same socket again, without end. The
// watch lets the endpoint tell both. Until release() the system keeps the
// socket open even after Qt has closed its descriptor, so the owner releases
// it as soon as it has asked, and whenever it lets go of the socket.
class ConnectionWatch
{
public:
    enum class Ending { RegularClose, Reset };

    ConnectionWatch();
    ~ConnectionWatch();
    ConnectionWatch(const ConnectionWatch &) = delete;
    ConnectionWatch &operator=(const ConnectionWatch &) = delete;

    // Starts watching the socket `descriptor`, letting go of any watched before.
    void watch(qintptr descriptor);
    // Whether `descriptor` is the watched socket itself (Qt opens a new socket
    // for each address it tries).
    bool watches(qintptr descriptor) const;
    // How the watched connection ended. A regular close when nothing is
    // watched or when the system cannot tell.
    Ending ending() const;
    // The local port the system has bound the watched socket to; 0 while none.
    quint16 localPort() const;
    // What the system has received on the watched socket that nobody has read.
    qint64 unreadBytes() const;
    // Calls `onActivity` whenever something arrives on the watched socket: data,
    // the peer's close or its reset. The calls belong to `context` and end with
    // it, with stopNotifying() or with the watch.
    void notifyActivity(QObject *context, std::function<void()> onActivity);
    // Safe from within a call of onActivity itself.
    void stopNotifying();
    void release();

private:
    qintptr m_handle = -1;
    QPointer<QSocketNotifier> m_notifier;
};
