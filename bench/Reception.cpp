#include "Reception.h"

#include "BenchPeer.h"
#include "Profile.h"
#include "SocketEndpoint.h"
#include "TranscriptCheck.h"
#include "WireTextEdit.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

namespace bench {

// Listens on a free loopback port through the window's own controls.
quint16 listen(frmMain &window)
{
    window.findChild<QLineEdit *>(QStringLiteral("txtPort"))->setText(QStringLiteral("0"));
    window.findChild<QPushButton *>(QStringLiteral("cmdListen"))->click();
    QCoreApplication::processEvents();
    return quint16(window.wskWinSock()->LocalPort());
}

Reception::Reception(const Shape &shape, qint64 mib)
    : m_shape(shape), m_mib(mib),
      m_transcript(window.findChild<WireTextEdit *>(QStringLiteral("txtRecvData")))
{
    if (shape.prepare)
        shape.prepare(window);
    window.show();
    m_port = listen(window);
    if (shape.tls)
        window.mnuStartTLS->trigger();
    QObject::connect(window.wskWinSock(), &SocketEndpoint::connectionRequested, &window, [this] {
        m_clock.start();
        Profile::windowStarts();
    });
    QObject::connect(window.wskWinSock(), &SocketEndpoint::peerClosed, &window,
                     [this] { m_closed = true; });
}

Figures Reception::receive(const RunMeter &meter)
{
    PeerProcess peer(m_shape.name, m_mib, m_port);
    const bool moved = runUntil([&] { return m_closed || peer.endedEarly(); },
                                [this] { return m_transcript->textLength(); });
    QCoreApplication::processEvents();
    Profile::windowEnds();
    Figures figures = meter.stop(m_clock);
    figures.exact = moved && peer.finish() && m_closed;
    return figures;
}

Figures Reception::receiveChecked(const RunMeter &meter)
{
    Figures figures = receive(meter);
    figures.exact = figures.exact && transcriptExact();
    return figures;
}

bool Reception::transcriptExact() const
{
    return transcriptHolds(BoxText(m_transcript), Payload(m_shape.content, bytes()), m_shape.tls);
}

QByteArray field(const char *key, double value)
{
    return QByteArray(" ") + key + '=' + QByteArray::number(value, 'f', 3);
}

} // namespace bench
