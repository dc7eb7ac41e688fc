// What dcthost's subcommands share: the settings file and its folder, the library loaded by name,
// the instance of a terminal opened as the host opens it, and the lines the user reads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "Commands.h"
#include "DctLibrary.h"
#include "platform/Env.h"

namespace dcthost {

// The operating system as the library sees it: settings, formats, registry, the terminal server.
inline dct::platform::Env& SystemEnv() {
    return dct::platform::Env::Default();
}

// Creates a folder with its parents; an empty path is the current folder, which exists.
bool MakeFolder(const std::string& path);
// Monotonic seconds, for rates only.
double Seconds();
std::string Utf8Path(const std::filesystem::path& path);
// The whole file, or standard input for "-"; false when it cannot be read (errno says why).
bool ReadWholeFile(const std::string& path, std::string* bytes);

// A line (or lines) for the user on standard output; a complaint, "dcthost: " first, on standard error.
void Say(const std::string& text);
void Complain(const std::string& text);

// --settings, else DCTHOST_SETTINGS, else the default folder; and the settings file in it.
std::string SettingsDirectory(const Options& o);
std::string SettingsPath(const Options& o);

// The library of --library or the default one; null, said, when it cannot be used.
std::unique_ptr<DctLibrary> LoadLibraryOrSay(const Options& o);
// The library's code with what it means, its DctErr text and a hint; the exit status for it.
int LibraryFailure(const std::string& operation, int32_t result, const std::string& text,
                   const std::string& hint = {});
// Whether DctInit gave the terminal an instance; when not, the user is told what the code means.
bool OpenInstance(DctInstance& instance, const Options& o);

// Simulator plumbing shared by every command that reaches the terminal server.
void PrepareServer(const Options& o);
// What every command that works with a terminal does first: the simulator made ready, the library
// loaded, COM on this thread, an instance for the terminal (DctInit). Then `body` does the command's
// own part with the instance, which DctFini ends afterwards.
int WithInstance(const Options& o, const std::function<int(DctInstance&)>& body);
// The device folder the simulator serves, for the commands that look into it: --device when given;
// else the folder the registered local server was told, which it serves whatever this program's
// environment says; else DCT_TERMSIM_DIR or the default, as TermSim.dll settles it.
std::filesystem::path SimulatorFolder(const Options& o);

}  // namespace dcthost
