#include "SocketErrors.h"

#include <cerrno>

namespace SocketErrors {

QString description(Number number)
{
    switch (number) {
    case InvalidPropertyValue:
        return QStringLiteral("Invalid property value");
    case BadState:
        return QStringLiteral(
            "Wrong protocol or connection state for the requested transaction or request");
    case InvalidOperation:
        return QStringLiteral("Invalid operation at current state");
    case PermissionDenied:
        return QStringLiteral("Permission denied");
    case PortNotSupported:
        return QStringLiteral("The specified port is not supported");
    case AddressInUse:
        return QStringLiteral("Address in use");
    case AddressNotAvailable:
        return QStringLiteral("Address is not available from the local machine");
    case NetworkSubsystemFailed:
        return QStringLiteral("The network subsystem has failed");
    case ConnectAborted:
        return QStringLiteral("Connection is aborted due to timeout or other failure");
    case ConnectionReset:
        return QStringLiteral("The connection is reset by remote side");
    case NoBufferSpace:
        return QStringLiteral("No buffer space is available");
    case TimedOut:
        return QStringLiteral("Attempt to connect timed out");
    case ConnectionRefused:
        return QStringLiteral("Connection is forcefully rejected");
    case HostUnreachable:
        return QStringLiteral("No route to host");
    case HostNotFound:
        return QStringLiteral("Authoritative answer: Host not found");
    case HostNotFoundTryAgain:
        return QStringLiteral("Non-Authoritative answer: Host not found");
    case TlsHandshakeFailed:
        return QStringLiteral("TLS handshake failed");
    case TlsHandshakeEnded:
        return QStringLiteral("The connection ended during the TLS handshake");
    case TlsHandshakeTimedOut:
        return QStringLiteral("The TLS handshake did not complete within 30 seconds");
    }
    return QStringLiteral("Unknown socket error");
}

QString description(Number number, const QString &detail)
{
    return detail.isEmpty() ? description(number)
                            : description(number) + QStringLiteral(": ") + detail;
}

AppError error(Number number, const QString &detail)
{
    return AppError(number, description(number, detail));
}

Number fromSocketError(QAbstractSocket::SocketError socketError)
{
    switch (socketError) {
    case QAbstractSocket::ConnectionRefusedError:
        return ConnectionRefused;
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::NetworkError:
        return ConnectionReset;
    case QAbstractSocket::HostNotFoundError:
        return HostNotFound;
    case QAbstractSocket::SocketAccessError:
        return PermissionDenied;
    case QAbstractSocket::SocketResourceError:
        return NoBufferSpace;
    case QAbstractSocket::SocketTimeoutError:
        return TimedOut;
    case QAbstractSocket::AddressInUseError:
        return AddressInUse;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return AddressNotAvailable;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return PortNotSupported;
    default:
        return NetworkSubsystemFailed;
    }
}

Number fromErrno(int error)
{
    switch (error) {
    case EADDRINUSE:
        return AddressInUse;
    case EADDRNOTAVAIL:
        return AddressNotAvailable;
    case EACCES:
    case EPERM:
        return PermissionDenied;
    case EMFILE:
    case ENFILE:
    case ENOBUFS:
    case ENOMEM:
        return NoBufferSpace;
    default:
        return NetworkSubsystemFailed;
    }
}

} // namespace SocketErrors
