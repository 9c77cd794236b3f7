#pragma once

// Drives a main window through its own controls, the way a user would, for
// tests that run real loopback sessions. Errors that reach the top-level
// report are collected instead of shown.

#include "ErrorReport.h"
#include "LoopbackTools.h"
#include "SocketEndpoint.h"
#include "WireTextEdit.h"
#include "frmMain.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <memory>

class WindowDriver
{
public:
    std::unique_ptr<frmMain> window;
    QList<AppError> reports;

    void open()
    {
        reports.clear();
        ErrorReport::setSink([this](const AppError &error) { reports.append(error); });
        window = std::make_unique<frmMain>();
        window->show();
    }
    void close()
    {
        window.reset();
        ErrorReport::setSink({});
    }

    QPushButton *button(const char *name) const { return window->findChild<QPushButton *>(name); }
    QLineEdit *line(const char *name) const { return window->findChild<QLineEdit *>(name); }
    WireTextEdit *box(const char *name) const { return window->findChild<WireTextEdit *>(name); }
    QString transcript() const { return box("txtRecvData")->text(); }
    SocketEndpoint *endpoint() const { return window->wskWinSock(); }
    QList<int> reportNumbers() const
    {
        QList<int> numbers;
        for (const AppError &error : reports)
            numbers << error.number();
        return numbers;
    }

    // Clicks a button as the mouse would; false when it is disabled.
    bool click(const char *name)
    {
        QPushButton *b = button(name);
        if (!b->isEnabled())
            return false;
        QTest::mouseClick(b, Qt::LeftButton);
        return true;
    }

    // The session controls that are enabled, in a fixed order, so that a
    // comparison names what is wrong.
    QStringList enabledControls() const
    {
        QStringList enabled;
        for (const char *name : {"cmdListen", "cmdConnect", "cmdClose", "cmdSendData"}) {
            if (button(name)->isEnabled())
                enabled << QLatin1String(name);
        }
        for (const char *name : {"txtAddress", "txtPort"}) {
            if (line(name)->isEnabled())
                enabled << QLatin1String(name);
        }
        return enabled;
    }
    static QStringList idle() { return {"cmdListen", "cmdConnect", "txtAddress", "txtPort"}; }
    static QStringList connected() { return {"cmdClose", "cmdSendData"}; }
    static QStringList pending() { return {"cmdClose"}; }

    // Listens through the window on a port the system picks; returns the port.
    int listen()
    {
        line("txtPort")->setText(QStringLiteral("0"));
        click("cmdListen");
        return endpoint()->LocalPort();
    }

    void connectTo(const QString &host, int port)
    {
        line("txtAddress")->setText(host);
        line("txtPort")->setText(QString::number(port));
        click("cmdConnect");
    }

    // A session with a peer of the given address: the window listens and
    // accepts it, or connects to it (by `hostName` when given). Null when no
    // connection was made.
    std::unique_ptr<QTcpSocket> sessionWith(const QString &peerAddress, bool windowListens,
                                            const QString &hostName = {})
    {
        auto peer = std::make_unique<QTcpSocket>();
        QTcpServer server;
        if (windowListens) {
            peer->connectToHost(peerAddress, quint16(listen()));
        } else {
            if (!server.listen(QHostAddress(peerAddress), 0))
                return nullptr;
            connectTo(hostName.isEmpty() ? peerAddress : hostName, server.serverPort());
            if (!LoopbackTools::spinUntil([&] { return server.hasPendingConnections(); }))
                return nullptr;
            peer.reset(server.nextPendingConnection());
            peer->setParent(nullptr);
        }
        const bool made = LoopbackTools::spinUntil([&] {
            return button("cmdSendData")->isEnabled() &&
                   peer->state() == QAbstractSocket::ConnectedState;
        });
        return made ? std::move(peer) : nullptr;
    }
    std::unique_ptr<QTcpSocket> acceptedPeer()
    {
        return sessionWith(QStringLiteral("127.0.0.1"), true);
    }

    // Runs `inspect` on the modal window that `open` brings up, then closes it.
    static bool whileModal(const std::function<void()> &open,
                           const std::function<void(QWidget *)> &inspect)
    {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            seen = true;
            inspect(modal);
            modal->close();
        });
        open();
        return seen;
    }
};

// Adds up what the endpoint announces, so a test can wait for a byte count
// without reading back a large transcript again and again.
class ArrivalCounter
{
public:
    explicit ArrivalCounter(SocketEndpoint *endpoint)
    {
        QObject::connect(endpoint, &SocketEndpoint::dataArrived, &m_context,
                         [this](int bytes) { total += bytes; });
    }
    qint64 total = 0;

private:
    QObject m_context;
};
