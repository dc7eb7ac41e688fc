// The terminal server as dcthost finds and registers it: the registry on Windows, the simulator in
// this very process elsewhere (platform/win32/SimulatorServer.cpp, platform/posix/SimulatorServer.cpp).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace dcthost {

// The terminal server as the library will reach it.
struct ServerRegistration {
    bool registered = false;
    bool simulator = false;  // the registration is the simulator's
    std::string detail;      // where the class is served from, or why it is not
};
ServerRegistration TerminalServerRegistration();

// Makes the simulator reachable for this process where no system registration exists: the in-process
// class object of the posix COM stand-in. Nothing to do on Windows (the registry decides).
bool ActivateInProcessSimulator(std::string* detail);

// The folder the registered local server of the simulator was told to serve (--device), if any.
std::optional<std::filesystem::path> RegisteredSimulatorFolder();

// Registers the simulator beside the program: TermSim.dll (its DllRegisterServer), or with `local`
// TermSimServer.exe with its type library, serving `deviceFolder` when that is not empty. Unregistering
// removes either kind. 0 on success, else the HRESULT; *message says what happened.
int32_t RegisterSimulatorServer(bool unregister, bool local, const std::string& deviceFolder,
                                std::string* message);

}  // namespace dcthost
