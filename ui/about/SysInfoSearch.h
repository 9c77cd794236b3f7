#pragma once

#include "FileProbe.h"
#include "ProgramStarter.h"
#include "RegistryApi.h"

// The System Info button's search, without the dialog. First the tool's full
// path, the value "PATH" of HKLM "SOFTWARE\Microsoft\Shared Tools\MSINFO",
// started as read and untested; failing that value, the folder in the value
// "MSINFO" of HKLM "SOFTWARE\Microsoft\Shared Tools Location" with
// "\MSINFO32.EXE" appended, started only when that file exists. Free of Qt,
// so that it builds and runs on Windows alone.
namespace SysInfoSearch {

// True when the tool was started; false when the caller is to say that
// system information is unavailable. That covers every failure, thrown
// errors included; a first path that does not start ends the search, the
// second location is not tried.
bool startTool(RegistryApi &registry, FileProbe &files, ProgramStarter &starter);

} // namespace SysInfoSearch
