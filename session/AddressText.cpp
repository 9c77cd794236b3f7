#include "AddressText.h"

#include <QHostAddress>

namespace AddressText {

QString remoteHostIP(const QHostAddress &address)
{
    if (address.isNull())
        return {};
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4)
        return QHostAddress(v4).toString();
    return QLatin1Char('[') + address.toString() + QLatin1Char(']');
}

QString hostToLookUp(const QString &typed)
{
    const QString remoteHost = typed.trimmed();
    if (remoteHost.size() > 2 && remoteHost.startsWith(QLatin1Char('[')) &&
        remoteHost.endsWith(QLatin1Char(']'))) {
        const QString inner = remoteHost.mid(1, remoteHost.size() - 2);
        QHostAddress address;
        if (address.setAddress(inner) && address.protocol() == QAbstractSocket::IPv6Protocol)
            return inner;
    }
    return remoteHost;
}

} // namespace AddressText
