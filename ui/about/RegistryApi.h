#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The three registry calls the About dialog needs, shaped like the Windows
// ones they stand for: every call answers with the status code Windows would
// return (0 for success), texts are 8-bit strings in the system's code page.
// Deliberately free of Qt so that the Windows side builds on its own.
class RegistryApi
{
public:
    using Handle = std::uintptr_t; // an open key; 0 is no key
    using Status = std::int32_t;   // LONG, as the Windows calls return it

    static constexpr Status Success = 0;
    static constexpr Status FileNotFound = 2;
    static constexpr Status InvalidHandle = 6;
    static constexpr Status MoreData = 234;

    // HKEY_LOCAL_MACHINE: Windows sign-extends the 32-bit 0x80000002.
    static constexpr Handle LocalMachine =
        static_cast<Handle>(static_cast<std::intptr_t>(INT32_MIN + 2));

    static constexpr std::uint32_t RegSz = 1;
    static constexpr std::uint32_t RegExpandSz = 2;
    static constexpr std::uint32_t RegDword = 4;

    virtual ~RegistryApi() = default;

    // RegOpenKeyExA: on success `key` receives the open key.
    virtual Status openKey(Handle root, const std::string &subKey, std::uint32_t options,
                           std::uint32_t access, Handle &key) = 0;

    // RegQueryValueExA: `size` goes in as the buffer's size and comes back as
    // the number of data bytes (or the number needed, with MoreData).
    virtual Status queryValue(Handle key, const std::string &valueName, std::uint32_t &type,
                              unsigned char *data, std::uint32_t &size) = 0;

    // RegCloseKey.
    virtual Status closeKey(Handle key) = 0;
};

// The registry of the platform the program was built for.
std::unique_ptr<RegistryApi> systemRegistry();
