#include "SimulatorServer.h"

#include "TermSim.h"

namespace dcthost {

ServerRegistration TerminalServerRegistration() {
    ServerRegistration r;
    r.registered = true;
    r.simulator = true;
    r.detail = "the simulator, registered in this process (no other server exists on this platform)";
    return r;
}

// The library shares this process and its COM stand-in: the program exports the stand-in's entry
// points (see the dynamic list in CMakeLists.txt), so the library's activation calls land in the
// program's class table, where this registers the simulator.
bool ActivateInProcessSimulator(std::string* detail) {
    HRESULT hr = dct::termsim::RegisterInProcess();
    if (detail)
        *detail = SUCCEEDED(hr) ? "simulator registered in this process" : "simulator registration failed";
    return SUCCEEDED(hr);
}

// Nothing is registered outside a run here.
std::optional<std::filesystem::path> RegisteredSimulatorFolder() { return std::nullopt; }

int32_t RegisterSimulatorServer(bool, bool, const std::string&, std::string* message) {
    if (message)
        *message = "nothing to do here: on this platform the simulator is registered inside each dcthost run";
    return 0;
}

}  // namespace dcthost
