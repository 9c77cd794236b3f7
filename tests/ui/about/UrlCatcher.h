#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Stands in for the desktop's browser (QDesktopServices::setUrlHandler).
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};
