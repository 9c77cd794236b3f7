#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

// Looks a host name up in the system's name service, one name at a time.
class HostLookup
{
public:
    enum class Outcome {
        Found,
        // The name service answered that the name does not exist.
        NotFound,
        // No answer to be sure of: a name server that did not answer in time,
        // or failed. Asking again later may work.
        TryAgain,
    };
    using Done = std::function<void(Outcome outcome, const QList<QHostAddress> &addresses)>;

    virtual ~HostLookup() = default;

    // Starts looking `name` up, ending any lookup before. `done` is called
    // later on this thread, never from within lookUp, at most once, and never
    // after cancel() or the lookup's destruction.
    virtual void lookUp(const QString &name, Done done) = 0;
    virtual void cancel() = 0;
};

std::unique_ptr<HostLookup> systemHostLookup();
