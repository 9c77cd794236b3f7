#include "TlsCloseNotify.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <mutex>
#include <unordered_set>

namespace TlsCloseNotify {

namespace {

// Qt makes and frees its sessions on the UI thread; the lock is for anyone
// else in the process who makes one.
std::mutex mutex;
std::unordered_set<void *> alive;
void *lastMade = nullptr;

void made(void *session, void *, CRYPTO_EX_DATA *, int, long, void *)
{
    const std::lock_guard<std::mutex> lock(mutex);
    alive.insert(session);
    lastMade = session;
}

void freed(void *session, void *, CRYPTO_EX_DATA *, int, long, void *)
{
    const std::lock_guard<std::mutex> lock(mutex);
    alive.erase(session);
    if (lastMade == session)
        lastMade = nullptr;
}

} // namespace

Session sessionMadeBy(const std::function<void()> &start)
{
    // The library calls these for every session made after this.
    static const int announced =
        CRYPTO_get_ex_new_index(CRYPTO_EX_INDEX_SSL, 0, nullptr, made, nullptr, freed);
    {
        const std::lock_guard<std::mutex> lock(mutex);
        lastMade = nullptr;
    }
    start();
    const std::lock_guard<std::mutex> lock(mutex);
    return announced >= 0 ? lastMade : nullptr;
}

bool answer(Session session)
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (!session || alive.count(session) == 0)
        return false;
    if (SSL_shutdown(static_cast<SSL *>(session)) >= 0)
        return true;
    ERR_clear_error();
    return false;
}

} // namespace TlsCloseNotify
