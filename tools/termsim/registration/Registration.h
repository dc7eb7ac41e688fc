// Registering the simulator for CLSID_Terminals in the registry (HKEY_CLASSES_ROOT), in one of two
// ways: TermSim.dll as an in-process server, or TermSimServer.exe as a local server together with the
// type library that lets COM marshal ITerminals between processes.
//
// Only one of the two is registered at a time: COM prefers an in-process server, so registering
// either kind first removes whatever the simulator had registered before. Every key the simulator
// writes carries the marker value "DctTermSim"; a key without it belongs to another server (at a
// station, the real terminal server) and is never changed or removed.
#pragma once

#include <windows.h>

#include <string>

namespace dct::termsim {

// The simulator's own type library (ITerminals, coclass Terminals), built into TermSimServer.exe.
// {53BD5EC9-7D55-4A4E-A7E7-E1865849AC93}
inline constexpr GUID LIBID_DctTermSim = {0x53BD5EC9, 0x7D55, 0x4A4E, {0xA7, 0xE7, 0xE1, 0x86, 0x58, 0x49, 0xAC, 0x93}};

// S_OK; SELFREG_E_CLASS when another server holds the class (nothing is written then).
HRESULT RegisterInProcessServer(const std::wstring& dllPath);

// S_OK; SELFREG_E_CLASS when another server holds the class, SELFREG_E_TYPELIB when another holds
// the simulator's type library id (nothing is written then). An interface key of another server
// (HKCR\Interface\{IID}) is left as it is and then describes the marshalling. The server's command
// line is the quoted path, followed by `--device "deviceFolder"` when one is given.
HRESULT RegisterLocalServer(const std::wstring& exePath, const std::wstring& deviceFolder);

// Removes the keys the simulator wrote, of either kind; S_OK also when there were none.
HRESULT UnregisterServer();

enum class Registered { None, InProcess, Local, Other };
// Which server the registry names for the class.
Registered RegisteredServer();

}  // namespace dct::termsim
