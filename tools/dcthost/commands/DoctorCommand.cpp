#include "HostText.h"
#include "SimulatorServer.h"
#include "base/Exceptions.h"
#include "commands/Common.h"
#include "commands/Subcommands.h"
#include "drv/dct/drivers/opticon_zebex/AddIn_TLB.h"
#include "drv/dct/drivers/opticon_zebex/UDrvIni.h"
#include "lib/RegSettings.h"
#include "platform/Codepage.h"
#include "platform/ComApartment.h"
#include "platform/Files.h"

namespace dcthost {

using dct::platform::SystemTextToUtf8;

namespace {

struct Checklist {
    int failures = 0;
    void Ok(const std::string& what) { Say("[ ok ] " + what + "\n"); }
    void Warn(const std::string& what, const std::string& fix) {
        Say("[warn] " + what + "\n       fix: " + fix + "\n");
    }
    void Fail(const std::string& what, const std::string& fix) {
        ++failures;
        Say("[FAIL] " + what + "\n       fix: " + fix + "\n");
    }
};

void CheckFolder(Checklist& c, const std::string& label, const std::string& folder, const std::string& fix) {
    std::string reason;
    if (!MakeFolder(folder))
        c.Fail(label + " " + SystemTextToUtf8(folder) + " cannot be created", fix);
    else if (!dct::platform::CanCreateFileIn(folder, "dcthost-probe.tmp", &reason))
        c.Fail(label + " " + SystemTextToUtf8(folder) + " is not writable: " + SystemTextToUtf8(reason), fix);
    else
        c.Ok(label + " " + SystemTextToUtf8(folder) + " is writable");
}

}  // namespace

int Doctor(const Options& o) {
    Checklist c;
    const std::string terminal = std::to_string(o.terminal);
    const std::string directory = SettingsDirectory(o), path = SettingsPath(o);
    auto library = LoadLibraryOrSay(o);
    if (library)
        c.Ok("library " + SystemTextToUtf8(library->Path()) + " loads and exports all six functions");
    else
        c.Fail("the library cannot be used",
               "build it (cmake --build --preset win32) or name it with --library FILE");

    // The settings file and the terminal's section.
    if (!dct::platform::FileExists(path)) {
        c.Fail("settings file " + SystemTextToUtf8(path) + " does not exist",
               "dcthost configure --terminal " + terminal + " --port N --rate BPS --cable|--cradle");
    } else if (!dct::TDrvIni(path, SystemEnv()).DctExist(o.terminal)) {
        c.Fail("settings file has no section [" + terminal + "]",
               "dcthost configure --terminal " + terminal + " --port N --rate BPS --cable|--cradle");
    } else if (library) {
        DctInstance instance(*library, o.terminal, directory);
        if (instance.Ok())
            c.Ok("terminal " + terminal + " is configured in " + SystemTextToUtf8(path) +
                 " and DctInit accepts it");
        else
            c.Fail("DctInit refuses the section [" + terminal + "]: " + std::to_string(instance.InitResult()),
                   "dcthost show --terminal " + terminal + " to see the values, then configure it again");
    }
    CheckFolder(c, "driver log folder (DctDrv.log beside the settings file)",
                directory.empty() ? "." : directory, "choose a writable --settings directory");

    // The terminal server: registered, reachable, its device switched on.
    PrepareServer(o);
    const auto registration = TerminalServerRegistration();
    if (registration.registered)
        c.Ok("terminal server registered: " + SystemTextToUtf8(registration.detail));
    else
        c.Fail("terminal server: " + SystemTextToUtf8(registration.detail),
               "install the terminal server, or use the simulator: dcthost sim register");
    {
        dct::platform::ComApartment apartment;
        try {
            dct::TTerminals server(SystemEnv());
            server.Connect();
            c.Ok("terminal server reachable");
            if (server.Get_DeviceEnabled())
                c.Ok("the server's device is enabled");
            else
                c.Fail("the server's device is switched off (reading and writing fail with -4)",
                       registration.simulator
                           ? "remove Enabled=0 from [Device] in faults.ini (dcthost sim fault clear)"
                           : "put the terminal in its cradle or connect its cable, and switch it on");
        } catch (const dct::Exception& e) {
            c.Fail("terminal server cannot be reached: " + AnsiToUtf8(e.Message()),
                   "register it (dcthost sim register for the simulator) and check that its file exists");
        }
    }
    if (registration.simulator) Say("       simulator device folder: " + Utf8Path(SimulatorFolder(o)) + "\n");

    // The trace folder, as the library settles it: registry TraceDir, TARN_LOGS_FOLDER, the library's folder.
    std::string trace = dct::ReadRegistrySetting(SystemEnv(), "TraceDir", "");
    std::string source = "registry value TraceDir";
    if (trace.empty())
        trace = SystemEnv().EnvironmentVariable("TARN_LOGS_FOLDER"), source = "TARN_LOGS_FOLDER";
    if (trace.empty() && library) {
        const std::string lib = library->Path();
        trace = lib.substr(0, lib.find_last_of("\\/") + 1) + "logs";
        source = "beside the library";
    }
    if (!trace.empty())
        CheckFolder(c, "trace folder (" + source + ")", trace,
                    "set TARN_LOGS_FOLDER or the registry value TraceDir to a writable folder");

    Say(c.failures ? std::to_string(c.failures) + " problem(s) found\n" : "everything looks right\n");
    return c.failures ? exitcode::Failed : exitcode::Ok;
}

}  // namespace dcthost
