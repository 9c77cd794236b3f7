#pragma once

#include "RegistryApi.h"

#include <functional>
#include <string>
#include <vector>

// Stands in for the registry where there is none. It knows one value: "PATH"
// under HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Shared Tools\MSINFO, the full
// path of the first of programs() installed on the PATH, as a text value.
// Every other key, the shared-tools folder among them, is missing. So the
// System Info button starts such a tool where there is one and shows its
// message elsewhere.
class PathSearchRegistry : public RegistryApi
{
public:
    // Full path of an installed program, or "" when it is not installed.
    using Locate = std::function<std::string(const std::string &program)>;

    explicit PathSearchRegistry(Locate locate = searchPath);

    // Graphical system-information tools, most complete first: HardInfo (new
    // and old name), KDE's Info Center, CPU-X, and lshw's GTK front end.
    static const std::vector<std::string> &programs();

    // Looks `program` up in the directories of $PATH. Only absolute
    // directories count: an empty or relative entry would make the current
    // folder decide what is started.
    static std::string searchPath(const std::string &program);

    Status openKey(Handle root, const std::string &subKey, std::uint32_t options,
                   std::uint32_t access, Handle &key) override;
    Status queryValue(Handle key, const std::string &valueName, std::uint32_t &type,
                      unsigned char *data, std::uint32_t &size) override;
    Status closeKey(Handle key) override;

private:
    static constexpr Handle MsinfoKey = 1;

    Locate m_locate;
};
