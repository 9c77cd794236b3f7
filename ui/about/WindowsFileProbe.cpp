#include "WindowsFileProbe.h"

#include <windows.h>

bool WindowsFileProbe::exists(const std::string &fileName)
{
    if (fileName.empty())
        return false;
    const DWORD attributes = GetFileAttributesA(fileName.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    return (attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

std::unique_ptr<FileProbe> systemFileProbe()
{
    return std::make_unique<WindowsFileProbe>();
}
