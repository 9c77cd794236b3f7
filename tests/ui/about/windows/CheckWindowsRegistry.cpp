// The registry reader against the real Windows registry: a console program,
// cross-compiled by `make check-windows` and run under wine. The values it
// reads are written beforehand, with `reg add`, under
// HKEY_LOCAL_MACHINE\SOFTWARE\Tapwire\Check (see the Makefile).

#include "GetKeyValue.h"
#include "WindowsRegistry.h"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <windows.h>

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const char *what)
{
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what);
    ++(ok ? passed : failed);
}

const std::string Key = "SOFTWARE\\Tapwire\\Check";

bool read(RegistryApi &registry, const std::string &key, const char *name, std::string &value)
{
    return GetKeyValue(registry, RegistryApi::LocalMachine, key, name, value);
}

} // namespace

int main()
{
    WindowsRegistry registry;
    std::string value;

    check(reinterpret_cast<RegistryApi::Handle>(HKEY_LOCAL_MACHINE) == RegistryApi::LocalMachine,
          "HKEY_LOCAL_MACHINE has the handle the reader uses");

    check(read(registry, Key, "Text", value) && value == "C:\\Tools\\msinfo32.exe",
          "text value read without its terminating zero");
    check(read(registry, Key, "Number1", value) && value == "1", "DWORD 1");
    check(read(registry, Key, "Number256", value) && value == "256", "DWORD 256");
    check(read(registry, Key, "Number65536", value) && value == "65536", "DWORD 65536");

    value = "held";
    check(read(registry, Key, "Expandable", value) && value == "held",
          "type 2 is read but leaves the text as it was");

    check(read(registry, Key, "Fits", value) && value == std::string(1023, 'x'),
          "1023 characters and the terminator: exactly 1024 bytes are read");
    value = "held";
    check(!read(registry, Key, "TooLong", value) && value.empty(),
          "1024 characters and the terminator: 1025 bytes count as missing");

    value = "held";
    check(!read(registry, Key, "Absent", value) && value.empty(), "missing value");
    value = "held";
    check(!read(registry, Key + "\\Absent", "Text", value) && value.empty(), "missing key");

    bool threw = false;
    try {
        read(registry, Key, "Empty", value);
    } catch (const std::invalid_argument &) {
        threw = true;
    }
    check(threw, "a value without data raises an error");

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
