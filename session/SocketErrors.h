#pragma once

#include "AppError.h"

#include <QAbstractSocket>

// The endpoint's error numbers and descriptions. They are the numbers of the
// classic Windows socket control, which users of such tools recognise:
//
//   380    Invalid property value (a port outside 0 to 65535)
//   40006  Wrong protocol or connection state for the requested transaction or request
//   40020  Invalid operation at current state
//   10048  Address in use
//   10049  Address is not available from the local machine
//   10053  Connection is aborted due to timeout or other failure
//   10054  The connection is reset by remote side
//   10060  Attempt to connect timed out
//   10061  Connection is forcefully rejected
//   10065  No route to host
//   11001  Authoritative answer: Host not found
//   11002  Non-Authoritative answer: Host not found (no answer in time; try again)
//   10013  Permission denied
//   10055  No buffer space is available
//   10043  The specified port is not supported (protocol not supported)
//   10050  The network subsystem has failed (anything else the system reports)
//   40300  TLS handshake failed: <the library's reason>
//   40301  The connection ended during the TLS handshake
//   40302  The TLS handshake did not complete within 30 seconds
namespace SocketErrors {

enum Number {
    InvalidPropertyValue = 380,
    BadState = 40006,
    InvalidOperation = 40020,
    PermissionDenied = 10013,
    PortNotSupported = 10043,
    AddressInUse = 10048,
    AddressNotAvailable = 10049,
    NetworkSubsystemFailed = 10050,
    ConnectAborted = 10053,
    ConnectionReset = 10054,
    NoBufferSpace = 10055,
    TimedOut = 10060,
    ConnectionRefused = 10061,
    HostUnreachable = 10065,
    HostNotFound = 11001,
    HostNotFoundTryAgain = 11002,
    TlsHandshakeFailed = 40300,
    TlsHandshakeEnded = 40301,
    TlsHandshakeTimedOut = 40302,
};

QString description(Number number);
// The description followed by ": " and the detail, when there is one.
QString description(Number number, const QString &detail);
AppError error(Number number, const QString &detail = {});

// The error a Qt socket or server failure stands for.
Number fromSocketError(QAbstractSocket::SocketError socketError);

// The error a failed system call's errno stands for.
Number fromErrno(int error);

} // namespace SocketErrors
