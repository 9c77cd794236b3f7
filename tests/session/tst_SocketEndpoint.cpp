#include "ErrorReport.h"
#include "LoopbackTools.h"
#include "SocketEndpoint.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <memory>

// A name service that answers every name with the same addresses, or never
// answers when it has none. glibc asks only the name servers of resolv.conf,
// on port 53, so no test can play a real one.
class FakeLookup : public HostLookup
{
public:
    explicit FakeLookup(const QStringList &addresses = {})
    {
        for (const QString &address : addresses)
            m_addresses << QHostAddress(address);
    }
    void lookUp(const QString &, Done done) override
    {
        if (m_addresses.isEmpty())
            return;
        QTimer::singleShot(0, &m_context, [this, done, lookup = ++m_lookup] {
            if (lookup == m_lookup)
                done(Outcome::Found, m_addresses);
        });
    }
    void cancel() override { ++m_lookup; }

private:
    QList<QHostAddress> m_addresses;
    QObject m_context;
    int m_lookup = 0;
};

// The endpoint on real loopback sockets, through its own methods and events.
class tst_SocketEndpoint : public QObject
{
    Q_OBJECT

private:
    QList<AppError> reports;

    // Listens on a free loopback port and returns it.
    static int listenAnywhere(SocketEndpoint &endpoint)
    {
        endpoint.setLocalPort(0);
        endpoint.Listen();
        return endpoint.LocalPort();
    }

    static QByteArray readAll(SocketEndpoint &endpoint)
    {
        QByteArray bytes;
        endpoint.GetData(bytes);
        return bytes;
    }

    // Connects the endpoint to a loopback server; returns the server's side of
    // the connection, owned by the server, or null when it did not connect.
    static QTcpSocket *connectedPeer(SocketEndpoint &endpoint, QTcpServer &server)
    {
        if (!server.isListening() && !server.listen(QHostAddress::LocalHost, 0))
            return nullptr;
        endpoint.setRemoteHost(server.serverAddress().toString());
        endpoint.setRemotePort(server.serverPort());
        endpoint.Connect();
        const bool connected = QTest::qWaitFor([&] {
            return endpoint.State() == EndpointState::Connected && server.hasPendingConnections();
        });
        return connected ? server.nextPendingConnection() : nullptr;
    }

    template <typename F> static int errorNumberOf(F &&f)
    {
        try {
            f();
        } catch (const AppError &error) {
            return error.number();
        }
        return 0;
    }

private slots:
    void init()
    {
        reports.clear();
        ErrorReport::setSink([this](const AppError &error) { reports.append(error); });
    }
    void cleanup() { ErrorReport::setSink({}); }

    void startsClosed()
    {
        SocketEndpoint endpoint;
        QCOMPARE(endpoint.State(), int(EndpointState::Closed));
        endpoint.Close(); // allowed in every state, closed included
        QCOMPARE(endpoint.State(), int(EndpointState::Closed));
    }

    void refusedCalls_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("number");
        QTest::newRow("local port -1") << 0 << 380;
        QTest::newRow("local port 65536") << 1 << 380;
        QTest::newRow("remote port -1") << 2 << 380;
        QTest::newRow("remote port 65536") << 3 << 380;
        QTest::newRow("send while closed") << 4 << 40006;
        QTest::newRow("accept unknown request") << 5 << 40020;
        QTest::newRow("listen twice") << 6 << 40006;
    }
    void refusedCalls()
    {
        QFETCH(int, which);
        QFETCH(int, number);
        SocketEndpoint endpoint;
        const std::function<void()> calls[] = {
            [&] { endpoint.setLocalPort(-1); },
            [&] { endpoint.setLocalPort(65536); },
            [&] { endpoint.setRemotePort(-1); },
            [&] { endpoint.setRemotePort(65536); },
            [&] { endpoint.SendData(QStringLiteral("x")); },
            [&] { endpoint.Accept(12345); },
            [&] {
                listenAnywhere(endpoint);
                endpoint.Listen();
            },
        };
        QCOMPARE(errorNumberOf(calls[which]), number);
    }

    void listenOnPortInUseRaisesAddressInUse()
    {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::Any, 0));
        SocketEndpoint endpoint;
        endpoint.setLocalPort(holder.serverPort());
        QCOMPARE(errorNumberOf([&] { endpoint.Listen(); }), 10048);
        QCOMPARE(endpoint.State(), int(EndpointState::Closed));
    }

    void acceptsRequestThatSurvivesClose_data()
    {
        QTest::addColumn<QString>("peerAddress");
        QTest::addColumn<bool>("resetsAtOnce");
        QTest::addColumn<QString>("shown");
        QTest::newRow("IPv4") << "127.0.0.1" << false << "127.0.0.1";
        QTest::newRow("IPv6") << "::1" << false << "[::1]";
        // Once the peer has reset, the system no longer tells its address.
        QTest::newRow("IPv4 peer that resets at once") << "127.0.0.1" << true << "127.0.0.1";
        QTest::newRow("IPv6 peer that resets at once") << "::1" << true << "[::1]";
    }
    void acceptsRequestThatSurvivesClose()
    {
        QFETCH(QString, peerAddress);
        QFETCH(bool, resetsAtOnce);
        QFETCH(QString, shown);
        SocketEndpoint endpoint;
        const int port = listenAnywhere(endpoint);
        QCOMPARE(endpoint.State(), int(EndpointState::Listening));
        QString accepted;
        connect(&endpoint, &SocketEndpoint::connectionRequested, &endpoint, [&](int id) {
            endpoint.Close();
            endpoint.Accept(id);
            accepted = endpoint.RemoteHostIP() + ':' + QString::number(endpoint.RemotePort());
        });
        QTcpSocket peer;
        peer.connectToHost(peerAddress, quint16(port));
        // Waiting here runs none of the endpoint's events: the peer is
        // connected, and perhaps gone, before the endpoint hears of it.
        QVERIFY(peer.waitForConnected(5000));
        const QString expected = shown + ':' + QString::number(peer.localPort());
        if (resetsAtOnce)
            LoopbackTools::resetConnection(peer);
        QTRY_VERIFY(!accepted.isEmpty());
        // A v4 peer on the dual-stack listener is shown dotted, never as ::ffff:.
        QCOMPARE(accepted, expected);
        if (resetsAtOnce) {
            QTRY_COMPARE(reports.size(), 1);
            QCOMPARE(reports[0].number(), 10054);
        } else {
            QCOMPARE(endpoint.State(), int(EndpointState::Connected));
        }
    }

    void unacceptedRequestIsClosed()
    {
        SocketEndpoint endpoint;
        const int port = listenAnywhere(endpoint);
        QSignalSpy requests(&endpoint, &SocketEndpoint::connectionRequested);
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, quint16(port));
        QTRY_COMPARE(requests.size(), 1);
        // Nobody accepted it, so the endpoint must not keep the connection open.
        QTRY_COMPARE(peer.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(endpoint.State(), int(EndpointState::Listening));
    }

    void connectsAndExchangesData_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("listenOn");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("lookedUp");
        QTest::newRow("IPv4 literal") << "127.0.0.1"
                                      << "127.0.0.1"
                                      << "127.0.0.1" << QStringList();
        QTest::newRow("IPv6 literal") << "::1"
                                      << "::1"
                                      << "[::1]" << QStringList();
        QTest::newRow("IPv6 literal in brackets") << "[::1]"
                                                  << "::1"
                                                  << "[::1]" << QStringList();
        // White space around the host goes, for addresses and names alike.
        QTest::newRow("IPv6 literal in brackets, spaces around") << " [::1] "
                                                                 << "::1"
                                                                 << "[::1]" << QStringList();
        QTest::newRow("name, spaces around") << " localhost "
                                             << "127.0.0.1"
                                             << "127.0.0.1" << QStringList();
        // Nothing listens at the name's first address; the next one answers.
        QTest::newRow("name whose first address refuses")
            << "tapwire.test"
            << "127.0.0.1"
            << "127.0.0.1" << QStringList{"::1", "127.0.0.1"};
    }
    void connectsAndExchangesData()
    {
        QFETCH(QString, host);
        QFETCH(QString, listenOn);
        QFETCH(QString, shown);
        QFETCH(QStringList, lookedUp);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress(listenOn), 0));
        SocketEndpoint endpoint;
        if (!lookedUp.isEmpty())
            endpoint.setHostLookup(std::make_unique<FakeLookup>(lookedUp));
        QSignalSpy connected(&endpoint, &SocketEndpoint::connected);
        endpoint.setRemoteHost(host);
        endpoint.setRemotePort(server.serverPort());
        endpoint.Connect();
        QVERIFY(endpoint.State() > EndpointState::Closed);
        QTRY_COMPARE(connected.size(), 1);
        QCOMPARE(endpoint.State(), int(EndpointState::Connected));
        QCOMPARE(endpoint.RemoteHostIP(), shown);
        QCOMPARE(endpoint.RemotePort(), int(server.serverPort()));

        QTRY_VERIFY(server.hasPendingConnections());
        std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
        endpoint.SendData(QStringLiteral("hello\r\n\u20AC"));
        QTRY_COMPARE(peer->bytesAvailable(), qint64(8));
        QCOMPARE(peer->readAll(), QByteArray("hello\r\n\x80"));

        QSignalSpy arrived(&endpoint, &SocketEndpoint::dataArrived);
        peer->write("back");
        QTRY_VERIFY(arrived.size() >= 1);
        QCOMPARE(readAll(endpoint), QByteArray("back"));
    }

    void everythingBeforePeerCloseIsDeliveredFirst()
    {
        QTcpServer server;
        SocketEndpoint endpoint;
        QByteArray received;
        QStringList events;
        connect(&endpoint, &SocketEndpoint::dataArrived, &endpoint, [&] {
            events << QStringLiteral("data");
            received += readAll(endpoint);
        });
        connect(&endpoint, &SocketEndpoint::peerClosed, &endpoint,
                [&] { events << QStringLiteral("close"); });
        QTcpSocket *peer = connectedPeer(endpoint, server);
        QVERIFY(peer);
        const QByteArray payload(200000, 'z');
        peer->write(payload);
        peer->disconnectFromHost();
        QTRY_COMPARE(events.value(events.size() - 1), QStringLiteral("close"));
        QCOMPARE(received, payload);
        QCOMPARE(events.count(QStringLiteral("close")), 1);
        QCOMPARE(endpoint.State(), int(EndpointState::Closing));
    }

    void sendThenCloseStillDelivers()
    {
        QTcpServer server;
        SocketEndpoint endpoint;
        QTcpSocket *peer = connectedPeer(endpoint, server);
        QVERIFY(peer);
        const QString text(4 * 1024 * 1024, QLatin1Char('q'));
        endpoint.SendData(text);
        endpoint.Close();
        QCOMPARE(endpoint.State(), int(EndpointState::Closed));
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += peer->readAll(), got.size() == text.size()), 20000);
        QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
        QTRY_COMPARE(endpoint.flushingSockets(), 0);
    }

    void unencodableTextSendsNothing()
    {
        QTcpServer server;
        SocketEndpoint endpoint;
        QTcpSocket *peer = connectedPeer(endpoint, server);
        QVERIFY(peer);
        QCOMPARE(errorNumberOf([&] { endpoint.SendData(QStringLiteral("ok \u4E2D")); }), 40200);
        endpoint.SendData(QStringLiteral("after"));
        QTRY_COMPARE(peer->bytesAvailable(), qint64(5));
        QCOMPARE(peer->readAll(), QByteArray("after"));
    }

    void unheardErrorReachesTheReport()
    {
        // A port that was just free: nothing listens there, so the connect is refused.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        SocketEndpoint endpoint;
        endpoint.setRemoteHost(QStringLiteral("127.0.0.1"));
        endpoint.setRemotePort(port);
        endpoint.Connect();
        QTRY_COMPARE(reports.size(), 1);
        QCOMPARE(reports[0].number(), 10061);
        QCOMPARE(endpoint.State(), int(EndpointState::Error));
        QCOMPARE(errorNumberOf([&] { endpoint.SendData(QStringLiteral("x")); }), 40006);
    }

    void unknownHostIsReported_data()
    {
        QTest::addColumn<bool>("nameServerAnswers");
        QTest::addColumn<int>("number");
        QTest::newRow("no such name") << true << 11001;
        // Not knowing is not \"not found\": asking again later may work.
        QTest::newRow("name server never answers") << false << 11002;
    }
    void unknownHostIsReported()
    {
        QFETCH(bool, nameServerAnswers);
        QFETCH(int, number);
        SocketEndpoint endpoint;
        if (!nameServerAnswers) {
            endpoint.setHostLookup(std::make_unique<FakeLookup>());
            endpoint.setLookupTimeout(100);
        }
        endpoint.setRemoteHost(QStringLiteral("no-such-host.invalid"));
        endpoint.setRemotePort(80);
        endpoint.Connect();
        QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, 20000);
        QCOMPARE(reports[0].number(), number);
        QCOMPARE(endpoint.State(), int(EndpointState::Error));
    }
};

QTEST_GUILESS_MAIN(tst_SocketEndpoint)
#include "tst_SocketEndpoint.moc"
