#include <fstream>
#include <iterator>
#include <vector>

#include "SimulatorServer.h"
#include "TermSim.h"
#include "TermSimDevice.h"
#include "commands/Common.h"
#include "commands/Subcommands.h"
#include "platform/Codepage.h"

namespace dcthost {

using dct::platform::SystemTextToUtf8;

namespace {

std::string ReadTextFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

constexpr char kSampleRecords[] =
    "4601234567890;2\n"
    "4607654321098;1.5\n"
    "4600000000017;12\n"
    "2000000012345;0.75\n"
    "4601111111116;1\n";

}  // namespace

int Sim(const Options& o) {
    if (o.device) dct::termsim::SetDeviceFolderVariable(*o.device);
    const std::string what = o.arguments.empty() ? "state" : o.arguments[0];
    const std::filesystem::path folder = SimulatorFolder(o);
    std::error_code ec;
    if (what == "register" || what == "unregister") {
        dct::termsim::RegistrationTurn turn;
        std::string message;
        // A local server started by the system does not share this program's environment: it is
        // told the folder chosen here, if one was.
        const bool chosen =
            o.device || !SystemEnv().EnvironmentVariable(dct::termsim::kFolderVariable).empty();
        const std::string chosenFolder = chosen ? dct::termsim::DeviceFolder().string() : std::string();
        const int32_t hr = RegisterSimulatorServer(what == "unregister", o.local, chosenFolder, &message);
        (hr == 0 ? Say : Complain)(message + (hr == 0 ? "\n" : ""));
        return hr == 0 ? exitcode::Ok : exitcode::Failed;
    }
    if (what == "folder") {
        Say(Utf8Path(folder) + "\n");
        return exitcode::Ok;
    }
    std::filesystem::create_directories(folder, ec);
    if (what == "records") {
        std::string bytes = kSampleRecords;
        if (o.arguments.size() > 1 && !ReadWholeFile(o.arguments[1], &(bytes = std::string()))) {
            Complain("cannot read " + o.arguments[1]);
            return exitcode::File;
        }
        if (!dct::termsim::DeviceFiles(folder).Replace("records.csv", bytes)) {
            Complain("cannot write " + Utf8Path((folder / "records.csv")));
            return exitcode::File;
        }
        Say("records put into " + Utf8Path((folder / "records.csv")) + "\n");
        return exitcode::Ok;
    }
    if (what == "fault") {
        if (o.arguments.size() == 2 && o.arguments[1] == "clear") {
            std::filesystem::remove(folder / "faults.ini", ec);
            Say("no faults injected any more\n");
            return exitcode::Ok;
        }
        if (o.arguments.size() < 3) {
            Complain(
                "usage: dcthost sim fault OPERATION KEY=VALUE...  (e.g. sim fault BeginReport Status=7 "
                "Description=\"No link\"; sim fault Device Enabled=0; sim fault clear)");
            return exitcode::Usage;
        }
        std::vector<std::string> settings;
        for (std::size_t i = 2; i < o.arguments.size(); ++i) {
            if (o.arguments[i].find('=') == std::string::npos) {
                Complain("\"" + o.arguments[i] + "\" is not KEY=VALUE");
                return exitcode::Usage;
            }
            settings.push_back(SystemTextToUtf8(o.arguments[i]));
        }
        // One section per operation: the new one replaces a section of the same name.
        const std::string kept =
            dct::termsim::WithFaultSection(ReadTextFile(folder / "faults.ini"), o.arguments[1], settings);
        if (!dct::termsim::DeviceFiles(folder).Replace("faults.ini", kept)) {
            Complain("cannot write " + Utf8Path((folder / "faults.ini")));
            return exitcode::File;
        }
        Say("fault injected into " + Utf8Path((folder / "faults.ini")) + "\n");
        return exitcode::Ok;
    }
    if (what == "state") {
        Say("device folder: " + Utf8Path(folder) + "\n");
        for (const char* name : {"records.csv", "table.csv", "faults.ini", "connection.ini", "tasks.log"}) {
            const std::string bytes = ReadTextFile(folder / name);
            std::size_t lines = 0;
            for (char ch : bytes) lines += ch == '\n';
            if (!bytes.empty() && bytes.back() != '\n') ++lines;
            Say("--- " + std::string(name) + " (" + std::to_string(lines) + " lines)\n" + bytes +
                (bytes.empty() || bytes.back() == '\n' ? "" : "\n"));
        }
        const std::string calls = ReadTextFile(folder / "calls.log");
        std::size_t count = 0;
        for (char ch : calls) count += ch == '\n';
        Say("--- calls.log: " + std::to_string(count) + " calls\n");
        return exitcode::Ok;
    }
    Complain("unknown sim command \"" + what + "\" (register, unregister, folder, records, fault, state)");
    return exitcode::Usage;
}

}  // namespace dcthost
