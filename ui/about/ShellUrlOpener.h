#pragma once

#include "UrlOpener.h"

// shell32's ShellExecuteA, looked up by name at its first call, with the
// owner's window handle, the default verb and show command 0.
class ShellUrlOpener : public UrlOpener
{
public:
    void open(const QString &address, QWidget *owner) override;
};
