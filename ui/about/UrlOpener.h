#pragma once

#include <QString>

#include <memory>

class QWidget;

// Hands a web address to the user's default handler. Whether the handler
// managed to open it is not reported: nothing could be done about it here.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;

    // `owner` is the window the request is made for, where the platform
    // wants one. Throws AppError when the platform's mechanism is missing.
    virtual void open(const QString &address, QWidget *owner) = 0;
};

std::unique_ptr<UrlOpener> systemUrlOpener();
