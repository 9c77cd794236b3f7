#pragma once

#include <QString>

// The About dialog's fixed texts.
namespace AboutTexts {

// The maker's web page, the identity's home page. The maker has no page of
// its own yet, so this is a reserved example address (RFC 2606) rather than
// someone else's domain.
QString webPageAddress();

// Two lines joined by CR LF: the invitation, then `address` in parentheses
// without its closing "/".
QString linkCaption(const QString &address);

QString linkToolTip();

// Six lines joined by CR LF, none after the last.
QString legalWarning();

QString sysInfoUnavailable();

} // namespace AboutTexts
