#pragma once

#include <QString>

class QHostAddress;

// How the endpoint reads the host the user typed and writes a peer's address.
namespace AddressText {

// The peer's address as RemoteHostIP gives it: IPv4 dotted, also for an IPv4
// peer on a dual-stack socket (never as ::ffff:); IPv6 in brackets, so that a
// port can follow it ("[::1]:5003"). Empty for no address.
QString remoteHostIP(const QHostAddress &address);

// The host to connect to for the RemoteHost text: without the white space
// around it, and an IPv6 address written in brackets, as in web addresses
// ("[::1]"), without them; any other text exactly as typed.
QString hostToLookUp(const QString &remoteHost);

} // namespace AddressText
