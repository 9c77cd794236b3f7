#include "AboutTexts.h"

#include "AppIdentity.h"

namespace AboutTexts {

QString webPageAddress()
{
    return appIdentity().homePage;
}

QString linkCaption(const QString &address)
{
    QString shown = address;
    if (shown.endsWith(QLatin1Char('/')))
        shown.chop(1);
    return QStringLiteral("For more free software, visit the VeLoNaR web site:\r\n(") + shown +
           QLatin1Char(')');
}

QString linkToolTip()
{
    return QStringLiteral("Click here to visit the VeLoNaR web site...");
}

QString legalWarning()
{
    // Each line fits the warning label's width, so the label shows six rows.
    return QStringLiteral("Warning: This computer program is protected by\r\n"
                          "copyright law and international treaties.\r\n"
                          "Unauthorized reproduction or distribution of this\r\n"
                          "program, or any portion of it, may result in severe\r\n"
                          "civil and criminal penalties, and will be prosecuted\r\n"
                          "to the maximum extent possible under law.");
}

QString sysInfoUnavailable()
{
    return QStringLiteral("System Information Is Unavailable At This Time");
}

} // namespace AboutTexts
