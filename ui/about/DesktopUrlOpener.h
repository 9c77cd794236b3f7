#pragma once

#include "UrlOpener.h"

// QDesktopServices: the desktop's default browser, no owner window needed.
class DesktopUrlOpener : public UrlOpener
{
public:
    void open(const QString &address, QWidget *owner) override;
};
