#pragma once

#include <functional>

// Qt's TLS socket never answers a peer's close_notify: once one arrives it
// counts the session as shut down and sends nothing more, so the peer waits
// for an answer that never comes. The TLS library announces every session
// object it makes; the endpoint keeps the one made for its socket's handshake
// and sends the answer on it itself.
namespace TlsCloseNotify {

using Session = void *;

// Runs `start` (a socket starting its handshake) and returns the session the
// TLS library made meanwhile, or null when it made none (another backend).
Session sessionMadeBy(const std::function<void()> &start);

// Queues close_notify on `session` for the socket to send with its next
// flush. False when the session no longer exists or the library refused.
bool answer(Session session);

} // namespace TlsCloseNotify
