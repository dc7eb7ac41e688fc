// Terminal-server simulator: an object that behaves as the terminal-communication server does
// (coclass Terminals, interface ITerminals) over a simulated device kept in a folder of plain files.
//
// The folder is DCT_TERMSIM_DIR when that variable is set when an object is created, else
// DefaultDeviceFolder(). Files: records.csv, table.csv, tasks.log, faults.ini, calls.log (README.md).
#pragma once

#include <chrono>
#include <filesystem>

#include "ComBase.h"
#include "terminals/ITerminals.h"
#include "platform/ComPtr.h"
#include "platform/ComRegistration.h"

namespace dct::termsim {

inline constexpr const char* kFolderVariable = "DCT_TERMSIM_DIR";

// %LOCALAPPDATA%\DctTermSim on Windows; $XDG_DATA_HOME/dct-termsim or ~/.local/share/dct-termsim elsewhere.
std::filesystem::path DefaultDeviceFolder();
// The folder an object created now would use.
std::filesystem::path DeviceFolder();
// Sets DCT_TERMSIM_DIR in this process's environment (an empty path removes it).
void SetDeviceFolderVariable(const std::filesystem::path& folder);

// What a simulator object needs of the process that serves it, when that is a local server of its
// own. The in-process simulator has none: it takes no notice of connections and never ends its host.
class ServerProcess {
public:
    virtual ~ServerProcess() = default;
    // A client in another process took or dropped a reference (IExternalConnection): the strong
    // connections left.
    virtual void ConnectionsChanged(unsigned long strongConnections) = 0;
    // faults.ini asks the process to end in the middle of a call (Exit=N).
    [[noreturn]] virtual void EndNow(int exitCode) = 0;
};

// A new simulator object, one reference.
platform::ComPtr<ITerminals> CreateTerminals(ServerProcess* process = nullptr);
// A class factory that makes simulator objects, or, given one, hands that same object to every caller.
platform::ComPtr<IClassFactory> CreateClassFactory(platform::ComPtr<ITerminals> single = nullptr);

// Makes CLSID_Terminals creatable in this process without any registration outside it
// (CoRegisterClassObject). Calls nest: the class stays registered until as many UnregisterInProcess.
HRESULT RegisterInProcess();
void UnregisterInProcess();

// RPC_S_SERVER_UNAVAILABLE as an HRESULT: what Wine's running-object table answers while the RPC
// service behind it is not up yet (a freshly made prefix).
inline constexpr HRESULT kRpcServerUnavailable = static_cast<HRESULT>(0x800706BA);

// Enters `object` in the running-object table for CLSID_Terminals (ACTIVEOBJECT_STRONG or _WEAK),
// trying again for up to `patience` while the table is unavailable; the table's last answer. On
// success *registration holds the entry (anything it held before is revoked first).
HRESULT RegisterRunning(IUnknown* object, DWORD flags, std::chrono::milliseconds patience,
                        dct::platform::RunningObjectRegistration* registration);

// Held by whatever changes the machine's registration of CLSID_Terminals or relies on its absence
// (tests): such holders take turns across all processes of the machine (of the Wine prefix).
class RegistrationTurn {
public:
    RegistrationTurn();
    ~RegistrationTurn();
    RegistrationTurn(const RegistrationTurn&) = delete;
    RegistrationTurn& operator=(const RegistrationTurn&) = delete;

private:
    void* lock_;
};

// Simulator objects alive now, and made since the process started.
long LiveObjects();
long ObjectsCreated();
// Objects and class-factory locks that keep a server module loaded.
bool CanUnload();

}  // namespace dct::termsim
