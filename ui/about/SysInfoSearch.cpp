#include "SysInfoSearch.h"

#include "GetKeyValue.h"

#include <exception>
#include <string>

namespace SysInfoSearch {

bool startTool(RegistryApi &registry, FileProbe &files, ProgramStarter &starter)
{
    try {
        // One text for both lookups, empty when the search starts.
        std::string path;
        if (!GetKeyValue(registry, RegistryApi::LocalMachine,
                         "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", path)) {
            if (!GetKeyValue(registry, RegistryApi::LocalMachine,
                             "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", path))
                return false;
            path += "\\MSINFO32.EXE";
            if (!files.exists(path))
                return false;
        }
        return starter.start(path, ProgramStarter::NormalWindow);
    } catch (const std::exception &) {
        // An error on the way is one more way of finding nothing.
        return false;
    }
}

} // namespace SysInfoSearch
