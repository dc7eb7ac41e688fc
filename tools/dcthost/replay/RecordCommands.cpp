#include "replay/RecordCommands.h"

#include <chrono>
#include <ctime>
#include <iostream>

#include "Commands.h"
#include "DctLibrary.h"
#include "HostText.h"
#include "lib/RecordingFiles.h"
#include "lib/TraceFiles.h"
#include "lib/RegSettings.h"
#include "platform/Codepage.h"
#include "platform/Env.h"
#include "platform/Files.h"
#include "platform/ModuleInfo.h"
#include "replay/RecordSwitch.h"
#include "replay/RecordingFile.h"
#include "replay/Replayer.h"
#include "replay/Summary.h"

namespace dcthost {
namespace {

constexpr int kDefaultHours = 24;

int Complain(const std::string& message, int status) {
    std::cerr << "dcthost: " << message << "\n";
    return status;
}

// The local time `hours` from now, as the switch holds it.
std::string HoursFromNow(int hours) {
    const std::time_t at = std::time(nullptr) + static_cast<std::time_t>(hours) * 3600;
    const std::tm* local = std::localtime(&at);
    dct::LocalTime t{local->tm_year + 1900, local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec, 0};
    return dct::SwitchTime(t);
}

std::string Now() { return HoursFromNow(0); }

// The library's view of the machine, but with the library's own file as its module: the trace
// folder it chooses is the one its recordings go to.
class LibraryEnv final : public dct::platform::EnvWrapper {
public:
    explicit LibraryEnv(std::string module) : EnvWrapper(dct::platform::Env::Default()), module_(std::move(module)) {}
    std::string OwnModuleFileName() override { return module_; }

private:
    std::string module_;
};

int Status(const Options& o) {
    // Read as the library reads it when a terminal is opened.
    const std::string until =
        dct::ReadRegistryText(dct::platform::Env::Default(), dct::platform::RegistryRoot::CurrentUser,
                              dct::kRecordSwitchKey, dct::kRecordSwitchValue, "");
    if (!dct::WellFormedSwitchTime(until))
        std::cout << "recording is off\n";
    else if (until <= Now())
        std::cout << "recording is off (it was on until " << until << ")\n";
    else
        std::cout << "recording is on until " << until << " for terminals opened from now on\n";
    std::string error;
    auto library = DctLibrary::Load(o.library.value_or(DctLibrary::DefaultFileName()), &error);
    if (!library) return Complain(error, exitcode::Failed);
    LibraryEnv env(library->Path());
    dct::trace::TraceFiles files(env);
    const std::string folder = files.Folder();
    const std::string directory = dct::trace::ExtractFilePath(folder), prefix = dct::trace::ExtractFileName(folder);
    const std::string base = dct::trace::ExtractFileName(library->Path());
    const std::string name = base.substr(0, base.find_last_of('.'));
    std::cout << "recordings go to " << dct::platform::SystemTextToUtf8(directory) << "\n";
    long count = 0;
    for (const std::string& file : dct::platform::FileNamesIn(directory)) {
        dct::LocalTime date;
        if (!dct::StartsWithIgnoringAsciiCase(file, prefix) || !dct::RecordingDate(file.substr(prefix.size()), name, date))
            continue;
        const auto stamp = dct::platform::ReadFileStamp(directory + file);
        std::cout << "  " << dct::platform::SystemTextToUtf8(file) << "  "
                  << (stamp.Ok ? stamp.Stamp.Size : 0) << " bytes\n";
        ++count;
    }
    if (count == 0) std::cout << "  (none)\n";
    return exitcode::Ok;
}

}  // namespace

int Record(const Options& o) {
    const std::string what = o.arguments.empty() ? std::string() : o.arguments[0];
    std::string error;
    if (what == "on") {
        const std::string until = HoursFromNow(o.hours.value_or(kDefaultHours));
        if (!replay::WriteRecordSwitch(until, &error)) return Complain("cannot switch recording on: " + error, exitcode::Failed);
        std::cout << "recording is on until " << until
                  << ": terminals the host opens from now on are recorded (barcodes, quantities, goods texts and the "
                     "terminal's settings; nothing about the user or the machine)\n";
        return exitcode::Ok;
    }
    if (what == "off") {
        if (!replay::WriteRecordSwitch("", &error)) return Complain("cannot switch recording off: " + error, exitcode::Failed);
        std::cout << "recording is off for terminals opened from now on\n";
        return exitcode::Ok;
    }
    if (what == "status") return Status(o);
    if (what == "show") {
        if (o.arguments.size() != 2) return Complain("record show takes one recording file", exitcode::Usage);
        try {
            replay::Summarize(replay::ReadRecording(o.arguments[1]), std::cout);
        } catch (const replay::RecordingError& e) {
            return Complain(o.arguments[1] + ": " + e.what(), exitcode::Usage);
        }
        return exitcode::Ok;
    }
    return Complain("record takes on, off, status or show FILE", exitcode::Usage);
}

int Replay(const Options& o) {
    if (o.arguments.size() != 1) return Complain("replay takes one recording file", exitcode::Usage);
    replay::RecordingFile recording;
    try {
        recording = replay::ReadRecording(o.arguments[0]);
    } catch (const replay::RecordingError& e) {
        return Complain(o.arguments[0] + ": " + e.what(), exitcode::Usage);
    }
    replay::ReplayOptions options;
    options.library = o.library.value_or(DctLibrary::DefaultFileName());
    if (o.terminalGiven) options.terminal = o.terminal;
    options.until = o.until;
    const replay::ReplayOutcome outcome = replay::Replay(recording, options);
    return replay::Report(recording, outcome, std::cout) == 0 ? exitcode::Ok : exitcode::Failed;
}

}  // namespace dcthost
