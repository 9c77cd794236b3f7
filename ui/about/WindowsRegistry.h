#pragma once

#include "RegistryApi.h"

// The real registry, through advapi32's RegOpenKeyExA, RegQueryValueExA and
// RegCloseKey. Each function is looked up by name at its first call; a
// library or function that cannot be found throws std::runtime_error.
class WindowsRegistry : public RegistryApi
{
public:
    Status openKey(Handle root, const std::string &subKey, std::uint32_t options,
                   std::uint32_t access, Handle &key) override;
    Status queryValue(Handle key, const std::string &valueName, std::uint32_t &type,
                      unsigned char *data, std::uint32_t &size) override;
    Status closeKey(Handle key) override;
};
