#pragma once

#include "Payload.h"
#include "RunMeter.h"
#include "frmMain.h"

#include <QElapsedTimer>
#include <QList>

class WireTextEdit;

namespace bench {

// One kind of run: what the peer sends and what the program does with it.
struct Shape
{
    const char *name;
    Content content;
    // The program's side of the run.
    Figures (*run)(const Shape &shape, qint64 mib);
    // The peer's side, in its own process; none for a run without a peer.
    bool (*peer)(const QByteArray &payload, quint16 port);
    QList<int> defaultMiB;
    // Sets the window up before a receiving run listens.
    void (*prepare)(frmMain &window) = nullptr;
    // A receiving run over TLS: armed once listening, the peer a TLS client.
    bool tls = false;
};

// Listens on a free loopback port through the window's own controls.
quint16 listen(frmMain &window);

// A receiving run's window, set up and listening, and the transcript it
// fills from the peer.
class Reception
{
public:
    Reception(const Shape &shape, qint64 mib);

    // The peer sends the payload; the clock runs from the connection being
    // accepted until the transcript holds every byte and the close. Exact
    // here means that the peer did all it was there to do and closed.
    Figures receive(const RunMeter &meter);
    // receive(), then whether the transcript holds every byte exactly.
    Figures receiveChecked(const RunMeter &meter);
    // Whether the transcript holds the status lines and the payload, exactly.
    bool transcriptExact() const;

    frmMain window;
    WireTextEdit *transcript() const { return m_transcript; }
    const QElapsedTimer &clock() const { return m_clock; }
    qint64 bytes() const { return m_mib * MiB; }

private:
    const Shape &m_shape;
    qint64 m_mib;
    WireTextEdit *m_transcript;
    quint16 m_port = 0;
    QElapsedTimer m_clock;
    bool m_closed = false;
};

// " key=value", the value with three decimals, as a run's own fields are printed.
QByteArray field(const char *key, double value);

} // namespace bench
