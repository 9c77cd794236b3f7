#include "ErrorReport.h"
#include "LoopbackTools.h"
#include "SocketEndpoint.h"

#include <QTest>

#include <cstddef>
#include <memory>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAPWIRE_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TAPWIRE_ASAN 1
#endif

#if defined(TAPWIRE_ASAN)
// The sanitizer's own count: it replaces malloc, so mallinfo2 knows nothing.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace LoopbackTools;

namespace {

// Bytes the program holds on its heap, or -1 where that cannot be asked.
qint64 heapInUse()
{
#if defined(TAPWIRE_ASAN)
    return qint64(__sanitizer_get_current_allocated_bytes());
#elif defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
#else
    return -1;
#endif
}

} // namespace

// Sessions started and ended many times over leave nothing behind: no open
// descriptor and no memory.
class tst_EndpointCycles : public QObject
{
    Q_OBJECT

private:
    SocketEndpoint endpoint;
    QTcpServer server; // the far end for outgoing connections
    int cycles = 0;

    // Listen, a peer connects, the request is accepted, then Close: the peer
    // sees the end.
    bool listenAcceptClose()
    {
        endpoint.setLocalPort(0);
        endpoint.Listen();
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, quint16(endpoint.LocalPort()));
        const bool accepted = spinUntil([&] {
            return endpoint.State() == EndpointState::Connected &&
                   peer.state() == QAbstractSocket::ConnectedState;
        });
        endpoint.Close();
        return accepted &&
               spinUntil([&] { return peer.state() == QAbstractSocket::UnconnectedState; });
    }

    // Connect to the server, then Close: the server's side sees the end.
    bool connectClose()
    {
        endpoint.setRemoteHost(QStringLiteral("127.0.0.1"));
        endpoint.setRemotePort(server.serverPort());
        endpoint.Connect();
        const bool connected = spinUntil([&] {
            return endpoint.State() == EndpointState::Connected && server.hasPendingConnections();
        });
        std::unique_ptr<QTcpSocket> far(server.nextPendingConnection());
        endpoint.Close();
        return connected && far &&
               spinUntil([&] { return far->state() == QAbstractSocket::UnconnectedState; });
    }

    bool runCycles(int count)
    {
        for (int i = 0; i < count; ++i, ++cycles) {
            if (!listenAcceptClose() || !connectClose())
                return false;
        }
        // What Close handed to the event loop to delete is gone before counting.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return true;
    }

private slots:
    void initTestCase()
    {
        ErrorReport::setSink([](const AppError &error) {
            QFAIL(qPrintable(QStringLiteral("reported %1").arg(error.number())));
        });
        connect(&endpoint, &SocketEndpoint::connectionRequested, this, [this](int id) {
            endpoint.Close();
            endpoint.Accept(id);
        });
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    }
    void cleanupTestCase() { ErrorReport::setSink({}); }

    void thousandCyclesLeaveNothingBehind()
    {
        // Warm up: the first sessions fill caches that then stay.
        QVERIFY(runCycles(50));
        const int descriptorsBefore = openDescriptorCount();
        const qint64 heapBefore = heapInUse();
        QVERIFY(runCycles(1000));
        const int descriptorsAfter = openDescriptorCount();
        const qint64 heapAfter = heapInUse();
        qInfo("%d cycles of listen/accept/close and connect/close: descriptors %d -> %d, heap %lld "
              "-> %lld bytes",
              cycles, descriptorsBefore, descriptorsAfter, heapBefore, heapAfter);
        QCOMPARE(descriptorsAfter, descriptorsBefore);
        // A session's sockets take kilobytes; a leak of one per cycle shows.
        QVERIFY2(heapAfter - heapBefore < 64 * 1024,
                 qPrintable(QString::number(heapAfter - heapBefore)));
    }
};

QTEST_GUILESS_MAIN(tst_EndpointCycles)
#include "tst_EndpointCycles.moc"
