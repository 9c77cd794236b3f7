#pragma once

#include <QDateTime>
#include <QSslCertificate>
#include <QSslKey>

// What Tapwire shows a TLS client when it plays the server: a self-signed
// certificate for localhost, 127.0.0.1 and ::1 on a key of its own. Qt cannot
// make keys, so the crypto library makes both, in memory, the first time a
// run asks; they stay in this process's memory until it ends and are never
// written anywhere.
namespace ServerIdentity {

struct Identity
{
    QSslCertificate certificate;
    QSslKey key;
};

// Made anew when less than a day of its validity is left at `now`, so that
// a listener left running for weeks never serves an expired one. Throws
// AppError 40300 when the crypto library cannot make one.
const Identity &get(const QDateTime &now = QDateTime::currentDateTimeUtc());

} // namespace ServerIdentity
