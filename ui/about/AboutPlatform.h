#pragma once

#include "FileProbe.h"
#include "ProgramStarter.h"
#include "RegistryApi.h"
#include "UrlOpener.h"

#include <memory>

// What the About dialog asks of the operating system. A default-constructed
// one is the real thing; tests put fakes in its place.
struct AboutPlatform
{
    std::shared_ptr<RegistryApi> registry = systemRegistry();
    std::shared_ptr<ProgramStarter> programStarter = systemProgramStarter();
    std::shared_ptr<FileProbe> fileProbe = systemFileProbe();
    std::shared_ptr<UrlOpener> urlOpener = systemUrlOpener();
};
