#include "HostPlatform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <string>

#include "HostText.h"
#include "platform/Codepage.h"
#include "platform/win32/Handle.h"
#include "registration/Registration.h"

namespace dcthost::platform {
namespace {

constexpr char kClassKey[] = "CLSID\\{3A9E81C3-133A-11D6-9917-80E62FD8C953}";

std::string SystemMessage(DWORD error) {
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n && text ? std::string(text, n) : std::string();
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                                message.back() == '.'))
        message.pop_back();
    char code[32];
    std::snprintf(code, sizeof code, "error %lu", static_cast<unsigned long>(error));
    return message.empty() ? std::string(code) : message + " (" + code + ")";
}

using dct::platform::UniqueHandle;
using dct::platform::UniqueModule;
using dct::platform::UniqueRegKey;

class Win32Module final : public Module {
public:
    explicit Win32Module(HMODULE module) : module_(module) {}
    void* Symbol(const char* name) const override {
        return reinterpret_cast<void*>(GetProcAddress(module_.get(), name));
    }
    std::string Path() const override {
        char path[MAX_PATH * 2];
        DWORD n = GetModuleFileNameA(module_.get(), path, sizeof path);
        return std::string(path, n);
    }

private:
    UniqueModule module_;
};

std::string ProgramFolder() {
    char path[MAX_PATH * 2];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p(path, n);
    auto slash = p.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

UniqueRegKey OpenClassKey(const std::string& subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    return UniqueRegKey(key);
}

std::string ReadClassValue(const std::string& subkey) {
    UniqueRegKey key = OpenClassKey(subkey);
    if (!key) return {};
    char value[1024];
    DWORD size = sizeof value - 1, type = 0;
    LONG rc = RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
    value[size] = 0;
    return value;
}

}  // namespace

std::string LibraryFileName() { return "DctDrv.dll"; }

std::unique_ptr<Module> LoadModule(const std::string& nameOrPath, std::string* error) {
    // A bare name is looked up beside the program first (the system's order), as the host's own is.
    HMODULE module = LoadLibraryA(nameOrPath.c_str());
    if (!module) {
        if (error) *error = SystemMessage(GetLastError());
        return nullptr;
    }
    return std::make_unique<Win32Module>(module);
}

std::string DefaultSettingsDirectory() {
    std::string base = Environment("LOCALAPPDATA");
    if (base.empty()) base = Environment("APPDATA");
    if (base.empty()) base = ProgramFolder();
    if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
    return base + "DctHost";
}

std::string Environment(const char* name) {
    char value[4096];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n && n < sizeof value ? std::string(value, n) : std::string();
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) return true;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    auto slash = path.find_last_of("\\/");
    if (slash != std::string::npos && slash > 0 && path[slash - 1] != ':')
        if (!MakeDirectories(path.substr(0, slash))) return false;
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool DirectoryWritable(const std::string& path, std::string* reason) {
    std::string probe = path;
    if (!probe.empty() && probe.back() != '\\' && probe.back() != '/') probe += '\\';
    probe += "dcthost-probe.tmp";
    UniqueHandle file(CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file) {
        if (reason) *reason = SystemMessage(GetLastError());
        return false;
    }
    return true;
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Apartment::Apartment() { initialised_ = SUCCEEDED(CoInitialize(nullptr)); }
Apartment::~Apartment() {
    if (initialised_) CoUninitialize();
}

namespace {
uint16_t ControlWord() {
    uint16_t word;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}
void SetControlWord(uint16_t word) {
    asm volatile("fnclex\n\tfldcw %0" : : "m"(word));
}
}  // namespace

HostFpuWord::HostFpuWord() : saved_(ControlWord()) { SetControlWord(0x1332); }
HostFpuWord::~HostFpuWord() { SetControlWord(saved_); }
OwnFpuWord::OwnFpuWord() : saved_(ControlWord()) { SetControlWord(saved_ | 0x3F); }
OwnFpuWord::~OwnFpuWord() { SetControlWord(saved_); }

ServerRegistration TerminalServerRegistration() {
    ServerRegistration r;
    const std::string key = kClassKey;
    std::string inproc = ReadClassValue(key + "\\InprocServer32");
    std::string local = ReadClassValue(key + "\\LocalServer32");
    if (inproc.empty() && local.empty()) {
        r.detail = std::string("HKEY_CLASSES_ROOT\\") + kClassKey + " is not registered";
        return r;
    }
    r.registered = true;
    // Marked, and still naming what the simulator wrote: another server's entries over the mark do not count.
    r.simulator = dct::termsim::RegisteredServer() != dct::termsim::Registered::Other;
    r.detail = inproc.empty() ? "local server " + local : "in-process server " + inproc;
    if (!inproc.empty() && !FileExists(inproc)) {
        r.registered = false;
        r.detail += " (the file does not exist)";
    }
    return r;
}

std::optional<std::filesystem::path> RegisteredSimulatorFolder() {
    if (auto folder = dct::termsim::RegisteredDeviceFolder()) return std::filesystem::path(*folder);
    return std::nullopt;
}

bool ActivateInProcessSimulator(std::string* detail) {
    if (detail) *detail = "the registry decides which server is created";
    return true;
}

namespace {

std::wstring Widen(const std::string& ansi) {
    const std::u16string wide = dct::platform::AnsiToUtf16(ansi);
    return std::wstring(wide.begin(), wide.end());
}

// The server runs in a folder of its own choosing: it must be given a whole path.
std::wstring FullPath(const std::string& path) {
    if (path.empty()) return {};
    wchar_t full[MAX_PATH * 2];
    DWORD n = GetFullPathNameW(Widen(path).c_str(), MAX_PATH * 2, full, nullptr);
    return n && n < MAX_PATH * 2 ? std::wstring(full, n) : Widen(path);
}

std::string Utf8(const std::wstring& text) {
    return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

// One line on the key of another server that stopped a change of the simulator's registration.
std::string ObstacleText(const dct::termsim::ForeignKey& obstacle) {
    const std::string key = "HKEY_CLASSES_ROOT\\" + Utf8(obstacle.key);
    const std::string names =
        obstacle.names.empty() ? "an entry the simulator did not write" : Utf8(obstacle.names);
    if (obstacle.overSimulator)
        return key + " names " + names +
               ": another server has registered itself over the simulator; its registration is left as it is "
               "and "
               "nothing was changed";
    if (obstacle.refusal == SELFREG_E_TYPELIB)
        return key + " (the simulator's type library id) is registered by another program (" + names +
               "), which is left as it is";
    return key + " is registered by another server (" + names + "), which is left as it is";
}

// The DLL's own DllRegisterServer, as regsvr32 runs it; *loadProblem says why it could not run.
HRESULT RunDllRegisterServer(const std::string& path, std::string* loadProblem) {
    UniqueModule module(LoadLibraryA(path.c_str()));
    if (!module) {
        DWORD error = GetLastError();
        *loadProblem = "cannot load " + path + ": " + SystemMessage(error);
        return HRESULT_FROM_WIN32(error);
    }
    using Entry = HRESULT(__stdcall*)();
    auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module.get(), "DllRegisterServer")));
    return entry ? entry() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

}  // namespace

int32_t RegisterSimulatorServer(bool unregister, bool local, const std::string& deviceFolder, std::string* message) {
    std::string path, done;
    HRESULT hr;
    if (unregister) {
        hr = dct::termsim::UnregisterServer();
        done = "the simulator is no longer registered";
    } else if (local) {
        path = ProgramFolder() + "TermSimServer.exe";
        if (!FileExists(path)) {
            if (message) *message = "cannot find " + path;
            return static_cast<int32_t>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        }
        hr = dct::termsim::RegisterLocalServer(Widen(path), FullPath(deviceFolder));
        done = "registered " + path + " (local server, a process of its own)";
    } else {
        path = ProgramFolder() + "TermSim.dll";
        std::string loadProblem;
        hr = RunDllRegisterServer(path, &loadProblem);
        if (!loadProblem.empty()) {
            if (message) *message = loadProblem;
            return static_cast<int32_t>(hr);
        }
        done = "registered " + path + " (in-process server)";
    }
    if (message) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
        using dct::termsim::Change;
        const std::string what = unregister ? "unregistration" : "registration";
        if (SUCCEEDED(hr))
            *message = done;
        else if (auto obstacle = dct::termsim::Obstacle(unregister ? Change::Unregister
                                                        : local    ? Change::RegisterLocal
                                                                   : Change::RegisterInProcess))
            *message = what + " refused (" + code + "): " + ObstacleText(*obstacle);
        else
            *message = what + " failed: " + code;
    }
    return static_cast<int32_t>(hr);
}

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

bool IsTerminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }

bool FlushToDiskAndClose(FILE* file, std::string* reason) {
    bool ok = std::fflush(file) == 0;
    if (ok && _commit(_fileno(file)) != 0) ok = false;
    if (!ok && reason) *reason = SystemMessage(GetLastError());
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        if (reason) *reason = "closing the file failed";
    }
    return ok;
}

bool MoveReplacing(const std::string& from, const std::string& to, std::string* reason) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (reason) *reason = SystemMessage(GetLastError());
    return false;
}

std::string SystemTextToUtf8(const std::string& text) {
    if (text.empty()) return {};
    const std::wstring wide = Widen(text);
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

double Seconds() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace dcthost::platform
