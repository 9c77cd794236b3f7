#include "WindowsRegistry.h"

#include <stdexcept>
#include <windows.h>

namespace {

using RegOpenKeyExAFn = LONG(WINAPI *)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using RegQueryValueExAFn = LONG(WINAPI *)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using RegCloseKeyFn = LONG(WINAPI *)(HKEY);

// Resolved when first needed, so that a missing function only costs the call
// that needs it (and the caller's trap turns that into its message).
template <typename Function> Function advapi32(const char *name)
{
    const HMODULE library = LoadLibraryA("advapi32.dll");
    if (library == nullptr)
        throw std::runtime_error("File not found: advapi32");
    const FARPROC address = GetProcAddress(library, name);
    if (address == nullptr)
        throw std::runtime_error(std::string("Can't find DLL entry point ") + name +
                                 " in advapi32");
    // Through the generic function type, which converts to any other.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

HKEY toKey(RegistryApi::Handle handle)
{
    return reinterpret_cast<HKEY>(handle);
}

} // namespace

RegistryApi::Status WindowsRegistry::openKey(Handle root, const std::string &subKey,
                                             std::uint32_t options, std::uint32_t access,
                                             Handle &key)
{
    static const auto regOpenKeyExA = advapi32<RegOpenKeyExAFn>("RegOpenKeyExA");
    HKEY opened = nullptr;
    const LONG status = regOpenKeyExA(toKey(root), subKey.c_str(), options, access, &opened);
    if (status == ERROR_SUCCESS)
        key = reinterpret_cast<Handle>(opened);
    return status;
}

RegistryApi::Status WindowsRegistry::queryValue(Handle key, const std::string &valueName,
                                                std::uint32_t &type, unsigned char *data,
                                                std::uint32_t &size)
{
    static const auto regQueryValueExA = advapi32<RegQueryValueExAFn>("RegQueryValueExA");
    DWORD valueType = type;
    DWORD dataSize = size;
    const LONG status =
        regQueryValueExA(toKey(key), valueName.c_str(), nullptr, &valueType, data, &dataSize);
    type = valueType;
    size = dataSize;
    return status;
}

RegistryApi::Status WindowsRegistry::closeKey(Handle key)
{
    static const auto regCloseKey = advapi32<RegCloseKeyFn>("RegCloseKey");
    return regCloseKey(toKey(key));
}

std::unique_ptr<RegistryApi> systemRegistry()
{
    return std::make_unique<WindowsRegistry>();
}
