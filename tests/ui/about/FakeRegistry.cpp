#include "FakeRegistry.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

void FakeRegistry::setValue(const std::string &key, const std::string &name, std::uint32_t type,
                            const std::string &data)
{
    m_keys[key][name] = Value{type, data};
}

RegistryApi::Status FakeRegistry::openKey(Handle root, const std::string &subKey,
                                          std::uint32_t options, std::uint32_t access, Handle &key)
{
    if (unavailable)
        throw std::runtime_error("File not found: advapi32");
    openedKeys.push_back(subKey);
    openOptions.push_back(options);
    openAccess.push_back(access);
    if (root != LocalMachine || m_keys.count(subKey) == 0)
        return FileNotFound;
    key = m_nextHandle++;
    m_open[key] = subKey;
    handedOutKeys.push_back(key);
    return Success;
}

RegistryApi::Status FakeRegistry::queryValue(Handle key, const std::string &valueName,
                                             std::uint32_t &type, unsigned char *data,
                                             std::uint32_t &size)
{
    if (unavailable)
        throw std::runtime_error("File not found: advapi32");
    querySizes.push_back(size);
    everyBufferWasZeroed = everyBufferWasZeroed &&
                           std::all_of(data, data + size, [](unsigned char b) { return b == 0; });
    const auto open = m_open.find(key);
    if (open == m_open.end())
        return InvalidHandle;
    const auto &values = m_keys[open->second];
    const auto value = values.find(valueName);
    if (value == values.end())
        return FileNotFound;
    const auto needed = static_cast<std::uint32_t>(value->second.data.size());
    type = value->second.type;
    if (needed > size) {
        size = needed;
        return MoreData;
    }
    std::memcpy(data, value->second.data.data(), needed);
    size = needed;
    return Success;
}

RegistryApi::Status FakeRegistry::closeKey(Handle key)
{
    closedKeys.push_back(key);
    return m_open.erase(key) == 1 ? Success : InvalidHandle;
}
