// The About dialog's Windows layers against the real Windows API: a console
// program, cross-compiled by `make check-windows` and run under wine. It
// covers the registry reader, the file probe, the program starter, the shell
// call behind the web link and the System Info search. It writes the registry
// values it reads itself, with reg.exe, and starts copies of marker.exe (built
// next to it, see MarkerProgram.cpp) to see what a started program receives.

#include "GetKeyValue.h"
#include "ShellOpen.h"
#include "SysInfoSearch.h"
#include "WindowsFileProbe.h"
#include "WindowsProgramStarter.h"
#include "WindowsRegistry.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string &what)
{
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what.c_str());
    ++(ok ? passed : failed);
}

// Text in the system's code page, as the registry's A calls give it. Throws
// when the code page cannot hold it.
std::string codePage(const std::wstring &text)
{
    if (text.empty())
        return {};
    BOOL lossy = FALSE;
    BOOL *const lossyOut = GetACP() == CP_UTF8 ? nullptr : &lossy;
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr,
                                           0, nullptr, lossyOut);
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, result.data(), length,
                        nullptr, lossyOut);
    if (length == 0 || lossy)
        throw std::runtime_error("code page " + std::to_string(GetACP()) +
                                 " cannot hold a test path");
    return result;
}

std::string narrow(const std::wstring &text)
{
    std::string result;
    for (wchar_t c : text)
        result += c < 0x80 ? static_cast<char>(c) : '?';
    return result;
}

// One argument as the C runtime splits command lines: in quotes, with the
// backslashes before a quote (or before the closing one) doubled.
std::wstring quoted(const std::wstring &argument)
{
    std::wstring result = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
        } else {
            if (c == L'"')
                result.append(backslashes + 1, L'\\');
            backslashes = 0;
        }
        result += c;
    }
    result.append(backslashes, L'\\');
    return result + L"\"";
}

// Runs a program to its end with its output discarded; its exit code, or -1
// when it could not be started.
long run(const std::wstring &program, const std::wstring &arguments)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const HANDLE nul =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = quoted(program) + L" " + arguments;
    DWORD code = static_cast<DWORD>(-1);
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(nul);
    return static_cast<long>(code);
}

std::wstring systemFolder()
{
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length);
}

const std::wstring CheckKey = L"HKLM\\SOFTWARE\\Tapwire\\Check";
const std::wstring MsinfoKey = L"HKLM\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::wstring LocationKey = L"HKLM\\SOFTWARE\\Microsoft\\Shared Tools Location";

// A registry value written with reg.exe: its type, as reg names it, and data.
struct Value
{
    std::wstring type;
    std::wstring data;
};

void regAdd(const std::wstring &key, const std::wstring &name, const Value &value)
{
    const long code = run(systemFolder() + L"\\reg.exe", L"add " + quoted(key) + L" /v " +
                                                             quoted(name) + L" /t " + value.type +
                                                             L" /d " + quoted(value.data) + L" /f");
    if (code != 0)
        throw std::runtime_error("reg add " + narrow(key) + " " + narrow(name) + " failed");
}

void regDelete(const std::wstring &key)
{
    run(systemFolder() + L"\\reg.exe", L"delete " + quoted(key) + L" /f"); // missing is fine
}

void createFile(const fs::path &path, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create " + narrow(path.wstring()));
    CloseHandle(file);
}

fs::path markerOf(const fs::path &program)
{
    return program.wstring() + L".marker";
}

// What a started marker program wrote: its window style and command line.
struct Marker
{
    std::wstring style;
    std::wstring commandLine;
};

// Waits up to 30 s for `program` to write its marker, then reads and removes it.
std::optional<Marker> waitForMarker(const fs::path &program)
{
    const fs::path marker = markerOf(program);
    for (int i = 0; i < 300 && !fs::exists(marker); ++i)
        Sleep(100);
    const HANDLE file = CreateFileW(marker.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::wstring text(static_cast<std::size_t>(GetFileSize(file, nullptr)) / sizeof(wchar_t),
                      L'\0');
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    CloseHandle(file);
    fs::remove(marker);
    const std::size_t lineBreak = text.find(L'\n');
    if (lineBreak == std::wstring::npos)
        return std::nullopt;
    return Marker{text.substr(0, lineBreak), text.substr(lineBreak + 1)};
}

// The real file probe and program starter, with every call recorded.
class RecordingProbe : public FileProbe
{
public:
    std::vector<std::string> asked;
    bool exists(const std::string &fileName) override
    {
        asked.push_back(fileName);
        return m_real.exists(fileName);
    }

private:
    WindowsFileProbe m_real;
};

class RecordingStarter : public ProgramStarter
{
public:
    std::vector<std::string> started;
    bool start(const std::string &path, int windowStyle) override
    {
        started.push_back(path);
        return m_real.start(path, windowStyle);
    }

private:
    WindowsProgramStarter m_real;
};

// What ShellOpen::open handed to ShellExecuteA, pointers included.
struct ShellCall
{
    HWND owner = nullptr;
    const char *verb = nullptr;
    std::string file;
    const char *parameters = nullptr;
    const char *folder = nullptr;
    INT showCommand = -1;
} shellCall;

HINSTANCE WINAPI recordShellCall(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                 LPCSTR folder, INT showCommand)
{
    shellCall = {owner, verb, file != nullptr ? file : "(null)", parameters, folder, showCommand};
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

bool isEmptyText(const char *text)
{
    return text != nullptr && *text == '\0';
}

void checkRegistryReader()
{
    regDelete(CheckKey);
    regAdd(CheckKey, L"Text", {L"REG_SZ", L"C:\\Tools\\msinfo32.exe"});
    regAdd(CheckKey, L"Number1", {L"REG_DWORD", L"1"});
    regAdd(CheckKey, L"Number256", {L"REG_DWORD", L"256"});
    regAdd(CheckKey, L"Number65536", {L"REG_DWORD", L"65536"});
    regAdd(CheckKey, L"Expandable", {L"REG_EXPAND_SZ", L"%SystemRoot%"});
    regAdd(CheckKey, L"Fits", {L"REG_SZ", std::wstring(1023, L'x')});
    regAdd(CheckKey, L"TooLong", {L"REG_SZ", std::wstring(1024, L'x')});
    regAdd(CheckKey, L"Empty", {L"REG_BINARY", L""});

    WindowsRegistry registry;
    const std::string key = "SOFTWARE\\Tapwire\\Check";
    const auto read = [&registry](const std::string &keyName, const char *name,
                                  std::string &value) {
        return GetKeyValue(registry, RegistryApi::LocalMachine, keyName, name, value);
    };
    std::string value;

    check(reinterpret_cast<RegistryApi::Handle>(HKEY_LOCAL_MACHINE) == RegistryApi::LocalMachine,
          "registry: HKEY_LOCAL_MACHINE has the handle the reader uses");
    check(read(key, "Text", value) && value == "C:\\Tools\\msinfo32.exe",
          "registry: text value read without its terminating zero");
    check(read(key, "Number1", value) && value == "1", "registry: DWORD 1");
    check(read(key, "Number256", value) && value == "256", "registry: DWORD 256");
    check(read(key, "Number65536", value) && value == "65536", "registry: DWORD 65536");
    value = "held";
    check(read(key, "Expandable", value) && value == "held",
          "registry: type 2 is read but leaves the text as it was");
    check(read(key, "Fits", value) && value == std::string(1023, 'x'),
          "registry: 1023 characters and the terminator, exactly 1024 bytes, are read");
    value = "held";
    check(!read(key, "TooLong", value) && value.empty(),
          "registry: 1024 characters and the terminator, 1025 bytes, count as missing");
    value = "held";
    check(!read(key, "Absent", value) && value.empty(), "registry: missing value");
    value = "held";
    check(!read(key + "\\Absent", "Text", value) && value.empty(), "registry: missing key");
    bool threw = false;
    try {
        read(key, "Empty", value);
    } catch (const std::invalid_argument &) {
        threw = true;
    }
    check(threw, "registry: a value without data raises an error");
}

void checkFileProbe(const fs::path &work)
{
    const fs::path odd = work / L"Dossier \u00e9t\u00e9 \u00fc" / L"fichier sp\u00e9cial.txt";
    fs::create_directories(odd.parent_path());
    fs::create_directories(work / L"folder");
    createFile(work / L"plain.txt");
    createFile(work / L"hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    createFile(work / L"system.txt", FILE_ATTRIBUTE_SYSTEM);
    createFile(odd);

    struct Row
    {
        const char *what;
        fs::path path;
        bool exists;
    };
    const Row rows[] = {
        {"an existing file", work / L"plain.txt", true},
        {"a folder", work / L"folder", false},
        {"a hidden file", work / L"hidden.txt", false},
        {"a system file", work / L"system.txt", false},
        {"a missing path", work / L"missing.txt", false},
        {"spaces and non-ASCII characters", odd, true},
        {"a wildcard matching a file", work / L"plain.*", false},
    };
    WindowsFileProbe probe;
    for (const Row &row : rows)
        check(probe.exists(codePage(row.path.wstring())) == row.exists,
              std::string("file probe: ") + row.what + (row.exists ? " exists" : " does not"));
    check(!probe.exists(""), "file probe: an empty name does not exist");
}

void checkProgramStarter(const fs::path &marker)
{
    WindowsProgramStarter starter;
    for (int style : {ProgramStarter::NormalWindow, SW_SHOWMINNOACTIVE}) {
        const bool started = starter.start(codePage(marker.wstring()), style);
        const std::optional<Marker> got = started ? waitForMarker(marker) : std::nullopt;
        check(got && got->style == std::to_wstring(style) &&
                  got->commandLine == L"\"" + marker.wstring() + L"\"",
              "program starter: started from a path with spaces, window style " +
                  std::to_string(style) + " arrives, command line is the quoted path");
    }
    check(!starter.start(codePage((marker.parent_path() / L"missing.exe").wstring()),
                         ProgramStarter::NormalWindow),
          "program starter: false for a missing program");
    check(!starter.start("", ProgramStarter::NormalWindow),
          "program starter: false for an empty path");
}

void checkShellOpen(const fs::path &marker)
{
    // Not imported: shell32 is loaded by the first call that needs it.
    const bool loadedBefore = GetModuleHandleA("shell32.dll") != nullptr;
    const auto resolved = reinterpret_cast<void (*)()>(ShellOpen::resolved());
    const HMODULE shell32 = GetModuleHandleA("shell32.dll");
    check(!loadedBefore && shell32 != nullptr &&
              resolved == reinterpret_cast<void (*)()>(GetProcAddress(shell32, "ShellExecuteA")),
          "URL opener: ShellExecuteA is looked up in shell32 at run time");

    const HWND owner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x10010));
    ShellOpen::open(owner, "http://www.example.com/velonar/", recordShellCall);
    check(shellCall.owner == owner && isEmptyText(shellCall.verb) &&
              shellCall.file == "http://www.example.com/velonar/" &&
              isEmptyText(shellCall.parameters) && isEmptyText(shellCall.folder) &&
              shellCall.showCommand == 0,
          "URL opener: owner and address passed on, verb, parameters and folder empty "
          "strings (not null), show command 0");

    ShellOpen::open(nullptr, codePage(marker.wstring()));
    const std::optional<Marker> got = waitForMarker(marker);
    check(got && got->style == L"0" &&
              got->commandLine.find(marker.wstring()) != std::wstring::npos,
          "URL opener: the shell starts the program it is given, with show command 0");
}

void checkSysInfoSearch(const fs::path &work, const fs::path &marker)
{
    const fs::path tools = work / L"Shared Tools \u00e9";
    const fs::path tool = tools / L"MSINFO32.EXE";
    const fs::path empty = work / L"Empty folder";
    const fs::path missing = work / L"missing.exe";
    fs::create_directories(tools);
    fs::create_directories(empty);
    fs::copy_file(marker, tool);

    const auto sz = [](const fs::path &path) { return Value{L"REG_SZ", path.wstring()}; };
    struct Row
    {
        const char *what;
        std::optional<Value> path;   // "PATH" of the first location
        std::optional<Value> folder; // "MSINFO" of the second
        std::vector<fs::path> probed;
        std::vector<fs::path> started;
        bool result;
    };
    const Row rows[] = {
        {"the first location's path is started as read", sz(marker), sz(tools), {}, {marker}, true},
        {"the second location's folder gets \\MSINFO32.EXE and is file-tested",
         std::nullopt,
         sz(tools),
         {tool},
         {tool},
         true},
        {"a folder ending in a backslash gets a second one",
         std::nullopt,
         Value{L"REG_SZ", tools.wstring() + L"\\"},
         {tools.wstring() + L"\\\\MSINFO32.EXE"},
         {tools.wstring() + L"\\\\MSINFO32.EXE"},
         true},
        {"a second-location file that does not exist is unavailable",
         std::nullopt,
         sz(empty),
         {empty / L"MSINFO32.EXE"},
         {},
         false},
        {"neither value is unavailable", std::nullopt, std::nullopt, {}, {}, false},
        {"a first value without data is unavailable, the second not tried",
         Value{L"REG_BINARY", L""},
         sz(tools),
         {},
         {},
         false},
        {"a second value too long to read is unavailable",
         std::nullopt,
         Value{L"REG_SZ", std::wstring(1024, L'x')},
         {},
         {},
         false},
        {"a first path that does not start is unavailable, the second not tried",
         sz(missing),
         sz(tools),
         {},
         {missing},
         false},
        {"a first path of type 2 starts an empty path and is unavailable",
         Value{L"REG_EXPAND_SZ", marker.wstring()},
         sz(tools),
         {},
         {fs::path()},
         false},
    };

    for (const Row &row : rows) {
        regDelete(MsinfoKey);
        regDelete(LocationKey);
        if (row.path)
            regAdd(MsinfoKey, L"PATH", *row.path);
        if (row.folder)
            regAdd(LocationKey, L"MSINFO", *row.folder);

        WindowsRegistry registry;
        RecordingProbe probe;
        RecordingStarter starter;
        const bool result = SysInfoSearch::startTool(registry, probe, starter);

        std::vector<std::string> probed;
        for (const fs::path &path : row.probed)
            probed.push_back(codePage(path.wstring()));
        std::vector<std::string> started;
        for (const fs::path &path : row.started)
            started.push_back(codePage(path.wstring()));
        // A started tool really ran, with the normal window style.
        bool ran = true;
        if (result && !row.started.empty()) {
            const std::optional<Marker> got = waitForMarker(row.started.front());
            ran = got && got->style == L"1";
        }
        check(result == row.result && probe.asked == probed && starter.started == started && ran,
              std::string("System Info search: ") + row.what);
    }
    regDelete(MsinfoKey);
    regDelete(LocationKey);
}

} // namespace

int main()
{
    try {
        std::printf("code page %u\n", GetACP());
        wchar_t temp[MAX_PATH];
        const fs::path work =
            fs::path(std::wstring(temp, GetTempPathW(MAX_PATH, temp))) / L"Tapwire check";
        fs::remove_all(work);
        fs::create_directories(work);
        // A program's own path, with spaces and characters outside ASCII.
        const fs::path marker = work / L"Program Files \u00e9" / L"marker program.exe";
        fs::create_directories(marker.parent_path());
        wchar_t self[MAX_PATH];
        const fs::path here = std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
        fs::copy_file(here.parent_path() / L"marker.exe", marker);

        checkRegistryReader();
        checkFileProbe(work);
        checkProgramStarter(marker);
        checkShellOpen(marker);
        checkSysInfoSearch(work, marker);
    } catch (const std::exception &error) {
        check(false, std::string("the check itself: ") + error.what());
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
