#pragma once

#include "RegistryApi.h"

#include <map>
#include <string>
#include <vector>

// An in-memory registry that answers like Windows does: keys under
// HKEY_LOCAL_MACHINE, values with a type and raw bytes, MoreData when a value
// does not fit the caller's buffer. It records every call for the tests.
class FakeRegistry : public RegistryApi
{
public:
    void setValue(const std::string &key, const std::string &name, std::uint32_t type,
                  const std::string &data);

    // Throws std::runtime_error from every call, as a missing advapi32 would.
    bool unavailable = false;

    std::vector<std::string> openedKeys; // every key asked for, opened or not
    std::vector<std::uint32_t> openOptions;
    std::vector<std::uint32_t> openAccess;
    std::vector<std::uint32_t> querySizes; // the buffer size each query was given
    bool everyBufferWasZeroed = true;      // all of it, before each query
    std::vector<Handle> closedKeys;
    std::vector<Handle> handedOutKeys;

    Status openKey(Handle root, const std::string &subKey, std::uint32_t options,
                   std::uint32_t access, Handle &key) override;
    Status queryValue(Handle key, const std::string &valueName, std::uint32_t &type,
                      unsigned char *data, std::uint32_t &size) override;
    Status closeKey(Handle key) override;

private:
    struct Value
    {
        std::uint32_t type = 0;
        std::string data;
    };

    std::map<std::string, std::map<std::string, Value>> m_keys;
    std::map<Handle, std::string> m_open;
    Handle m_nextHandle = 0x100;
};
