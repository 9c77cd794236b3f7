#include "WindowsFileProbe.h"

#include <string>
#include <windows.h>

bool WindowsFileProbe::exists(const QString &fileName)
{
    if (fileName.isEmpty())
        return false;
    const std::wstring name = fileName.toStdWString();
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    return (attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

std::unique_ptr<FileProbe> systemFileProbe()
{
    return std::make_unique<WindowsFileProbe>();
}
