#pragma once

// The socket endpoint's State, numbered as the classic socket control numbers
// it. The window tests only for a value above Closed and for Connected.
namespace EndpointState {

enum Code {
    Closed = 0,
    Open = 1,
    Listening = 2,
    ConnectionPending = 3,
    ResolvingHost = 4,
    HostResolved = 5,
    Connecting = 6,
    Connected = 7,
    Closing = 8,
    Error = 9,
};

// How far TLS has come on the session. Armed: a listening endpoint starts a
// server handshake with the next peer it accepts, a connected one right after
// the next SendData.
enum class Tls {
    Off,
    Armed,
    Handshaking,
    On,
};

// How a connection ended: closed by Tapwire or by the peer (FIN), reset by
// the peer, or dropped by Tapwire at an error (RST).
enum class Ending {
    Closed,
    PeerClosed,
    PeerReset,
    Aborted,
};

} // namespace EndpointState
