#include "PathSearchRegistry.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Registry names are compared without regard to case.
bool sameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool isExecutableFile(const std::string &path)
{
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

} // namespace

PathSearchRegistry::PathSearchRegistry(Locate locate) : m_locate(std::move(locate))
{
}

const std::vector<std::string> &PathSearchRegistry::programs()
{
    static const std::vector<std::string> list{"hardinfo2", "hardinfo", "kinfocenter", "cpu-x",
                                               "lshw-gtk"};
    return list;
}

std::string PathSearchRegistry::searchPath(const std::string &program)
{
    const char *variable = std::getenv("PATH");
    const std::string path = variable != nullptr ? variable : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(':', start), path.size());
        const std::string directory = path.substr(start, end - start);
        if (!directory.empty() && directory.front() == '/') {
            const std::string candidate =
                directory + (directory.back() == '/' ? "" : "/") + program;
            if (isExecutableFile(candidate))
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

RegistryApi::Status PathSearchRegistry::openKey(Handle root, const std::string &subKey,
                                                std::uint32_t, std::uint32_t, Handle &key)
{
    // Nothing here can be written, so the access mask asks for nothing more.
    if (root != LocalMachine || !sameName(subKey, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"))
        return FileNotFound;
    key = MsinfoKey;
    return Success;
}

RegistryApi::Status PathSearchRegistry::queryValue(Handle key, const std::string &valueName,
                                                   std::uint32_t &type, unsigned char *data,
                                                   std::uint32_t &size)
{
    if (key != MsinfoKey)
        return InvalidHandle;
    if (!sameName(valueName, "PATH"))
        return FileNotFound;

    std::string found;
    for (const std::string &program : programs()) {
        found = m_locate(program);
        if (!found.empty())
            break;
    }
    if (found.empty())
        return FileNotFound;

    // Stored the way Windows stores text: with its terminating zero.
    const auto needed = static_cast<std::uint32_t>(found.size() + 1);
    if (needed > size) {
        size = needed;
        return MoreData;
    }
    std::memcpy(data, found.c_str(), needed);
    type = RegSz;
    size = needed;
    return Success;
}

RegistryApi::Status PathSearchRegistry::closeKey(Handle key)
{
    return key == MsinfoKey ? Success : InvalidHandle;
}

std::unique_ptr<RegistryApi> systemRegistry()
{
    return std::make_unique<PathSearchRegistry>();
}
