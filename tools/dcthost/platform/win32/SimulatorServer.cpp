#include "SimulatorServer.h"

#include <windows.h>
#include <olectl.h>

#include <cstdio>
#include <string>

#include "base/Utf.h"
#include "platform/Codepage.h"
#include "platform/Files.h"
#include "platform/ModuleInfo.h"
#include "platform/win32/Handle.h"
#include "registration/Registration.h"

namespace dcthost {
namespace {

using dct::platform::UniqueModule;
using dct::platform::UniqueRegKey;

constexpr char kClassKey[] = "CLSID\\{3A9E81C3-133A-11D6-9917-80E62FD8C953}";

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
    return dct::Utf16ToUtf8(std::u16string(text.begin(), text.end()));
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
        *loadProblem = "cannot load " + path + ": " + dct::platform::SystemErrorReason(error);
        return HRESULT_FROM_WIN32(error);
    }
    using Entry = HRESULT(__stdcall*)();
    auto entry =
        reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module.get(), "DllRegisterServer")));
    return entry ? entry() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

}  // namespace

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
    if (!inproc.empty() && !dct::platform::FileExists(inproc)) {
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

int32_t RegisterSimulatorServer(bool unregister, bool local, const std::string& deviceFolder,
                                std::string* message) {
    const std::string folder = dct::platform::ProgramFolder();
    std::string path, done;
    HRESULT hr;
    if (unregister) {
        hr = dct::termsim::UnregisterServer();
        done = "the simulator is no longer registered";
    } else if (local) {
        path = folder + "TermSimServer.exe";
        if (!dct::platform::FileExists(path)) {
            if (message) *message = "cannot find " + path;
            return static_cast<int32_t>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        }
        hr = dct::termsim::RegisterLocalServer(Widen(path), FullPath(deviceFolder));
        done = "registered " + path + " (local server, a process of its own)";
    } else {
        path = folder + "TermSim.dll";
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

}  // namespace dcthost
