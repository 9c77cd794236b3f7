#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QSsl>
#include <QString>
#include <QStringList>

#include <utility>

class QSslCertificate;

// The transcript lines of a TLS session, and the names a client hands the
// handshake. Everything here but describe() is a plain function of its
// arguments.
namespace TlsText {

// What the lines show of a certificate.
struct Certificate
{
    QString subject;
    QString issuer;
    QDate expires;
    QByteArray sha256;
};

// What a completed handshake showed.
struct Handshake
{
    QString protocol;
    QString cipher;
    bool asServer = false;
    // The peer's certificate as client, our own as server.
    Certificate certificate;
    bool hasCertificate = false;
    // Why the peer's certificate is not trusted; empty when it is.
    QStringList untrusted;
    // What was sent during the handshake and not sent after it, because the
    // peer is not trusted.
    qint64 heldNotSent = 0;
};

// A certificate field as the transcript shows it: it comes from the peer, so
// no character in it may start a line or hide what it is. Control characters
// become \xHH, a backslash \\, a space after a space \x20, and characters
// the code page cannot carry \uHHHH (\UHHHHHHHH beyond the basic plane), so
// the transcript stays savable.
QString escaped(QStringView field);

// "CN=…, OU=…, O=…, L=…, ST=…, C=…", then any other attributes in the order
// given; each value escaped.
QString distinguishedName(const QList<std::pair<QString, QString>> &attributes);

// "AA:BB:…", upper-case hexadecimal.
QString fingerprint(const QByteArray &digest);

// As OpenSSL names it: "TLSv1.2", "TLSv1.3".
QString protocolName(QSsl::SslProtocol protocol);

// "TLS STARTED (…).", the certificate line and, when held data was not
// sent, "HELD DATA NOT SENT (…): PEER NOT TRUSTED.", each ending in CR LF.
QString handshakeLines(const Handshake &handshake);

// The name a client checks the peer's certificate against, and sends in its
// hello: the host as typed, trimmed, an IPv6 address without its brackets,
// a name without one trailing dot (a fully qualified name's root).
QString verificationName(const QString &remoteHost);
// Whether the client names the host in its hello (SNI): not for an address.
bool sendsServerName(const QString &remoteHost);

// The library's reason from a failed handshake's error text.
QString failureReason(const QString &errorString);

// The fields the lines show, read from a certificate.
Certificate describe(const QSslCertificate &certificate);

} // namespace TlsText
