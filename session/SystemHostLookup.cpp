#include "HostLookup.h"

#include <QHostInfo>
#include <QObject>

namespace {

class SystemHostLookup final : public HostLookup
{
public:
    ~SystemHostLookup() override { cancel(); }

    void lookUp(const QString &name, Done done) override
    {
        cancel();
        const quint64 lookup = ++m_lookup;
        m_id = QHostInfo::lookupHost(name, &m_context,
                                     [this, lookup, done = std::move(done)](const QHostInfo &info) {
                                         // An answer to a lookup that was cancelled.
                                         if (lookup != m_lookup)
                                             return;
                                         m_id = -1;
                                         done(outcomeOf(info), info.addresses());
                                     });
    }

    void cancel() override
    {
        ++m_lookup;
        if (m_id != -1)
            QHostInfo::abortHostLookup(m_id);
        m_id = -1;
    }

private:
    // Qt gives "host not found" only when the name service said so; a name
    // server that never answered, and other failures, come as UnknownError
    // ("Temporary failure in name resolution").
    static Outcome outcomeOf(const QHostInfo &info)
    {
        switch (info.error()) {
        case QHostInfo::NoError:
            return info.addresses().isEmpty() ? Outcome::NotFound : Outcome::Found;
        case QHostInfo::HostNotFound:
            return Outcome::NotFound;
        default:
            return Outcome::TryAgain;
        }
    }

    // Answers are delivered to this, and die with it.
    QObject m_context;
    int m_id = -1;
    quint64 m_lookup = 0;
};

} // namespace

std::unique_ptr<HostLookup> systemHostLookup()
{
    return std::make_unique<SystemHostLookup>();
}
