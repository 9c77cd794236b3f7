#include "GetKeyValue.h"

#include "RegistryValueText.h"

#include <array>

namespace {

// READ_CONTROL with query, set, create-sub-key, enumerate, notify and
// create-link rights: the mask this reader has always asked for.
constexpr std::uint32_t OpenAccess = 0x2003F;

// Closes the key on every way out, including an error thrown while the value
// is being read.
class OpenKey
{
public:
    explicit OpenKey(RegistryApi &registry) : m_registry(registry) {}
    OpenKey(const OpenKey &) = delete;
    OpenKey &operator=(const OpenKey &) = delete;
    ~OpenKey()
    {
        if (handle != 0)
            m_registry.closeKey(handle);
    }

    RegistryApi::Handle handle = 0;

private:
    RegistryApi &m_registry;
};

} // namespace

bool GetKeyValue(RegistryApi &registry, RegistryApi::Handle KeyRoot, const std::string &KeyName,
                 const std::string &SubKeyRef, std::string &KeyVal)
{
    OpenKey key(registry);
    if (registry.openKey(KeyRoot, KeyName, 0, OpenAccess, key.handle) != RegistryApi::Success) {
        key.handle = 0; // nothing was opened, whatever the call left there
        KeyVal.clear();
        return false;
    }

    std::array<char, RegistryValueText::BufferSize> buffer{};
    std::uint32_t type = 0;
    std::uint32_t size = RegistryValueText::BufferSize;
    if (registry.queryValue(key.handle, SubKeyRef, type,
                            reinterpret_cast<unsigned char *>(buffer.data()),
                            size) != RegistryApi::Success) {
        KeyVal.clear();
        return false;
    }

    const std::string kept = RegistryValueText::keptCharacters(buffer.data(), buffer.size(), size);
    if (type == RegistryApi::RegSz)
        KeyVal = kept;
    else if (type == RegistryApi::RegDword)
        KeyVal = RegistryValueText::decimalFromHexLiteral(RegistryValueText::hexLiteral(kept));
    return true;
}
