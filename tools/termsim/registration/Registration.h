// Registering the simulator for CLSID_Terminals in the registry (HKEY_CLASSES_ROOT), in one of two
// ways: TermSim.dll as an in-process server, or TermSimServer.exe as a local server together with the
// type library that lets COM marshal ITerminals between processes.
//
// Only one of the two is registered at a time: COM prefers an in-process server, so registering
// either kind first removes whatever the simulator had registered before.
//
// Every key the simulator writes carries the marker value "DctTermSim", which records what the
// simulator wrote into the key's server entry. A key counts as the simulator's only while its marker
// is there and every server entry it holds still names what the simulator wrote: a real server that
// registers itself at a station after the simulator writes its own entries into the same keys and
// leaves the marker behind. Keys of another server, marked or not, are never changed or removed.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace dct::termsim {

// The simulator's own type library (ITerminals, coclass Terminals), built into TermSimServer.exe.
// {53BD5EC9-7D55-4A4E-A7E7-E1865849AC93}
inline constexpr GUID LIBID_DctTermSim = {0x53BD5EC9, 0x7D55, 0x4A4E, {0xA7, 0xE7, 0xE1, 0x86, 0x58, 0x49, 0xAC, 0x93}};

// A key of another server where the simulator's would be, and why it stops a change.
struct ForeignKey {
    std::wstring key;            // under HKEY_CLASSES_ROOT
    std::wstring names;          // what its server entry names (empty when it has none)
    bool overSimulator = false;  // it carries the simulator's marker: the server registered over it
    HRESULT refusal = S_OK;      // SELFREG_E_CLASS, or SELFREG_E_TYPELIB for the type library's key
};

enum class Change { RegisterInProcess, RegisterLocal, Unregister };
// The key that makes `change` refuse, if any. Unregistering is refused by a key that another
// server registered over the simulator's (removing it would remove that server); registering also
// by another server's class key, and the local server by another's key of the simulator's type
// library id. Another server's interface key stops nothing: it stays and describes the marshalling.
std::optional<ForeignKey> Obstacle(Change change);

// S_OK, or the refusal of Obstacle(Change::RegisterInProcess) with nothing written.
HRESULT RegisterInProcessServer(const std::wstring& dllPath);

// S_OK, or the refusal of Obstacle(Change::RegisterLocal) with nothing written. The server's command
// line is the quoted path, followed by `--device "deviceFolder"` when one is given, quoted so that
// the server reads back the folder exactly (a trailing backslash included).
HRESULT RegisterLocalServer(const std::wstring& exePath, const std::wstring& deviceFolder);

// Removes the keys the simulator wrote, of either kind; S_OK also when there were none. Refused
// (nothing removed) as Obstacle(Change::Unregister) says.
HRESULT UnregisterServer();

enum class Registered { None, InProcess, Local, Other };
// Which server the registry names for the class.
Registered RegisteredServer();

// The folder the registered local server of the simulator serves (its --device), if it has one.
std::optional<std::wstring> RegisteredDeviceFolder();

// One argument of a command line, quoted as the C runtime and CommandLineToArgvW read it back.
std::wstring QuoteArgument(const std::wstring& argument);

}  // namespace dct::termsim
