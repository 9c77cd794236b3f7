#include "TlsText.h"

#include "AddressText.h"
#include "CodePageTable.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QHostAddress>
#include <QSslCertificate>

#include <algorithm>

namespace TlsText {

namespace {

const QString crlf = QStringLiteral("\r\n");

QString hex(char32_t value, int digits)
{
    return QStringLiteral("%1").arg(uint(value), digits, 16, QLatin1Char('0')).toUpper();
}

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

} // namespace

QString escaped(QStringView field)
{
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (c.isHighSurrogate() && i + 1 < field.size() && field.at(i + 1).isLowSurrogate()) {
            out += QStringLiteral("\\U") + hex(QChar::surrogateToUcs4(c, field.at(i + 1)), 8);
            ++i;
        } else if (isControl(c.unicode())) {
            out += QStringLiteral("\\x") + hex(c.unicode(), 2);
        } else if (c == QLatin1Char('\\')) {
            out += QStringLiteral("\\\\");
        } else if (c == QLatin1Char(' ') && i > 0 && field.at(i - 1) == QLatin1Char(' ')) {
            // Padding could push text of the peer's choosing to where a
            // wrapped row ends, as if the line ended there.
            out += QStringLiteral("\\x20");
        } else if (CodePageTable::firstWithoutByte(QStringView(&c, 1)) >= 0) {
            out += QStringLiteral("\\u") + hex(c.unicode(), 4);
        } else {
            out += c;
        }
    }
    return out;
}

QString distinguishedName(const QList<std::pair<QString, QString>> &attributes)
{
    static const QStringList first = {QStringLiteral("CN"), QStringLiteral("OU"),
                                      QStringLiteral("O"),  QStringLiteral("L"),
                                      QStringLiteral("ST"), QStringLiteral("C")};
    const auto rank = [](const std::pair<QString, QString> &attribute) {
        const qsizetype at = first.indexOf(attribute.first);
        return at < 0 ? first.size() : at;
    };
    QList<std::pair<QString, QString>> ordered = attributes;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [&rank](const auto &a, const auto &b) { return rank(a) < rank(b); });
    QStringList parts;
    for (const auto &[name, value] : ordered)
        parts << escaped(name) + QLatin1Char('=') + escaped(value);
    return parts.join(QStringLiteral(", "));
}

QString fingerprint(const QByteArray &digest)
{
    return QString::fromLatin1(digest.toHex(':').toUpper());
}

QString protocolName(QSsl::SslProtocol protocol)
{
    switch (protocol) {
    case QSsl::TlsV1_2:
        return QStringLiteral("TLSv1.2");
    case QSsl::TlsV1_3:
        return QStringLiteral("TLSv1.3");
    default:
        return QStringLiteral("unknown protocol");
    }
}

QString handshakeLines(const Handshake &handshake)
{
    QString lines =
        QStringLiteral("TLS STARTED (%1, %2).").arg(handshake.protocol, handshake.cipher) + crlf;
    const Certificate &certificate = handshake.certificate;
    const QString sha256 = QStringLiteral("SHA-256 ") + fingerprint(certificate.sha256);
    if (handshake.asServer)
        return lines +
               QStringLiteral("OUR CERTIFICATE (%1; %2).").arg(certificate.subject, sha256) + crlf;
    lines += QStringLiteral("PEER CERTIFICATE (");
    if (handshake.hasCertificate) {
        lines += QStringLiteral("%1; ISSUER %2; EXPIRES %3; %4")
                     .arg(certificate.subject, certificate.issuer,
                          certificate.expires.toString(Qt::ISODate), sha256);
    } else {
        lines += QStringLiteral("NONE");
    }
    lines += QStringLiteral("): ");
    if (handshake.untrusted.isEmpty() && handshake.hasCertificate)
        return lines + QStringLiteral("TRUSTED.") + crlf;
    QStringList reasons;
    for (const QString &reason : handshake.untrusted)
        reasons << escaped(reason);
    if (reasons.isEmpty())
        reasons << QStringLiteral("The peer presented no certificate");
    lines += QStringLiteral("NOT TRUSTED (%1).").arg(reasons.join(QStringLiteral("; "))) + crlf;
    if (handshake.heldNotSent > 0)
        lines += QStringLiteral("HELD DATA NOT SENT (%1 BYTES): PEER NOT TRUSTED.")
                     .arg(handshake.heldNotSent) +
                 crlf;
    return lines;
}

QString verificationName(const QString &remoteHost)
{
    const QString host = AddressText::hostToLookUp(remoteHost);
    return host.size() > 1 && host.endsWith(QLatin1Char('.')) ? host.chopped(1) : host;
}

bool sendsServerName(const QString &remoteHost)
{
    // The same test Connect makes to decide whether to look the host up.
    QHostAddress address;
    return !address.setAddress(verificationName(remoteHost));
}

QString failureReason(const QString &errorString)
{
    static const QString prefix = QStringLiteral("Error during SSL handshake: ");
    return errorString.startsWith(prefix) ? errorString.mid(prefix.size()) : errorString;
}

Certificate describe(const QSslCertificate &certificate)
{
    const auto name = [&certificate](bool subject) {
        QList<std::pair<QString, QString>> attributes;
        const QList<QByteArray> keys =
            subject ? certificate.subjectInfoAttributes() : certificate.issuerInfoAttributes();
        for (const QByteArray &key : keys) {
            const QStringList values =
                subject ? certificate.subjectInfo(key) : certificate.issuerInfo(key);
            for (const QString &value : values)
                attributes.append({QString::fromLatin1(key), value});
        }
        return distinguishedName(attributes);
    };
    return {name(true), name(false), certificate.expiryDate().toUTC().date(),
            certificate.digest(QCryptographicHash::Sha256)};
}

} // namespace TlsText
