#pragma once

#include "EndpointState.h"

#include <QString>

// Which of the window's session controls are usable, and what the Close button
// says, for the idle state and for a session in a given endpoint state.
namespace ControlStates {

struct Controls
{
    bool listen = false;
    bool connect = false;
    bool close = false;
    bool sendData = false;
    bool address = false;
    bool port = false;
    // Empty when the caption is left as it is.
    QString closeCaption;
};

// A session in progress: the entries are locked, Close is usable and reads
// "Cancel" only when the endpoint turned out closed; Send Data only once connected.
Controls session(int endpointState);

// No session: Listen, Connect and the entries usable, the Close caption kept.
Controls idle();

// Connect and Listen are usable while both entry boxes hold text (spaces count).
bool entriesComplete(const QString &address, const QString &port);

// Start TLS is usable while listening, and while connected before TLS has
// been armed or started.
bool startTls(int endpointState, EndpointState::Tls tls);

// The port box's tool tip: while listening it names the port listened on, which
// for port 0 only the system knows. Empty otherwise.
QString portToolTip(int endpointState, int localPort);

} // namespace ControlStates
