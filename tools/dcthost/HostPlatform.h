// What dcthost needs of the operating system, one implementation per platform
// (platform/win32/HostPlatform.cpp, platform/posix/HostPlatform.cpp).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace dcthost::platform {

// A loaded library, unloaded when the object goes.
class Module {
public:
    virtual ~Module() = default;
    // The address of an export by name, or null.
    virtual void* Symbol(const char* name) const = 0;
    // The file the system actually loaded.
    virtual std::string Path() const = 0;
};

// "DctDrv.dll" or "libDctDrv.so".
std::string LibraryFileName();
// Loads by name (the system's search order, the program's own folder first) or by path. Null with
// the system's reason in *error on failure.
std::unique_ptr<Module> LoadModule(const std::string& nameOrPath, std::string* error);

// The per-user settings directory used when --settings is not given and DCTHOST_SETTINGS is unset:
// %LOCALAPPDATA%\DctHost on Windows, $XDG_CONFIG_HOME/dcthost (~/.config/dcthost) elsewhere.
// In the 8-bit form the library takes.
std::string DefaultSettingsDirectory();
// An environment variable in the 8-bit form, empty when unset.
std::string Environment(const char* name);
// Creates a directory and its parents; false when it cannot exist.
bool MakeDirectories(const std::string& path);
// True when a file of that name can be created in the directory (the probe is removed again).
bool DirectoryWritable(const std::string& path, std::string* reason);
bool FileExists(const std::string& path);

// COM for the calling thread as the real host sets it up: a single-threaded apartment.
class Apartment {
public:
    Apartment();
    ~Apartment();
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

private:
    bool initialised_ = false;
};

// While it lives, the x87 control word is the host's ($1332: invalid operation, division by zero and
// overflow unmasked) as the library meets it in the real host. No effect where there is no x87 host.
class HostFpuWord {
public:
    HostFpuWord();
    ~HostFpuWord();
    HostFpuWord(const HostFpuWord&) = delete;
    HostFpuWord& operator=(const HostFpuWord&) = delete;

private:
    uint16_t saved_ = 0;
};
// The opposite, for dcthost's own work inside a callback from the library: every exception masked.
class OwnFpuWord {
public:
    OwnFpuWord();
    ~OwnFpuWord();
    OwnFpuWord(const OwnFpuWord&) = delete;
    OwnFpuWord& operator=(const OwnFpuWord&) = delete;

private:
    uint16_t saved_ = 0;
};

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
int32_t RegisterSimulatorServer(bool unregister, bool local, const std::string& deviceFolder, std::string* message);

// Text output: stdout and stderr carry bytes as written (no newline translation).
void UseBinaryStandardStreams();
bool IsTerminal(FILE* stream);
// Flushes a written file through to the disk and closes it; false (file closed anyway) on any failure.
bool FlushToDiskAndClose(FILE* file, std::string* reason);
// Gives a written file its final name, replacing a file of that name; false with the reason if not.
bool MoveReplacing(const std::string& from, const std::string& to, std::string* reason);
// Text of the command line, the environment and file names, as UTF-8: the ANSI code page on Windows,
// already UTF-8 elsewhere.
std::string SystemTextToUtf8(const std::string& text);
// Opens a file by its 8-bit name.
FILE* OpenFile(const std::string& path, const char* mode);

// Monotonic seconds, for rates only.
double Seconds();

}  // namespace dcthost::platform
