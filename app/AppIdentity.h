#pragma once

#include <QString>

// Who the program is: fixed when it is built, read by every window, never copied.
struct AppIdentity
{
    QString title;
    QString productName;
    qint16 versionMajor = 0;
    qint16 versionMinor = 0;
    qint16 versionRevision = 0;
    QString fileDescription;
    QString legalCopyright;
    QString comments;
    QString companyName;
    // Reverse-DNS name of the desktop entry, the icon and the running window.
    QString applicationId;
    // The maker's web page, which is also the project's home page.
    QString homePage;
};

const AppIdentity &appIdentity();
