#include "HostPlatform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "TermSim.h"

namespace dcthost::platform {
namespace {

class PosixModule final : public Module {
public:
    explicit PosixModule(void* module) : module_(module) {}
    ~PosixModule() override { dlclose(module_); }
    void* Symbol(const char* name) const override { return dlsym(module_, name); }
    std::string Path() const override {
        // Any export of the library names its file.
        Dl_info info{};
        void* anchor = dlsym(module_, "LoadDctLibrary");
        if (anchor && dladdr(anchor, &info) && info.dli_fname) return info.dli_fname;
        return {};
    }

private:
    void* module_;
};

std::string ProgramFolder() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    std::string p(path, static_cast<size_t>(n));
    return p.substr(0, p.find_last_of('/') + 1);
}

}  // namespace

std::string LibraryFileName() { return "libDctDrv.so"; }

std::unique_ptr<Module> LoadModule(const std::string& nameOrPath, std::string* error) {
    // The Windows loader looks beside the program first; do the same for a bare name.
    void* module = nullptr;
    if (nameOrPath.find('/') == std::string::npos) {
        std::string beside = ProgramFolder() + nameOrPath;
        if (access(beside.c_str(), F_OK) == 0) module = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!module) module = dlopen(nameOrPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        if (error) *error = dlerror();
        return nullptr;
    }
    return std::make_unique<PosixModule>(module);
}

std::string DefaultSettingsDirectory() {
    std::string config = Environment("XDG_CONFIG_HOME");
    if (config.empty()) {
        std::string home = Environment("HOME");
        config = (home.empty() ? std::string("/tmp") : home) + "/.config";
    }
    return config + "/dcthost";
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool MakeDirectories(const std::string& path) {
    std::error_code ec;
    if (path.empty()) return true;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

bool DirectoryWritable(const std::string& path, std::string* reason) {
    std::string probe = (path.empty() ? std::string(".") : path) + "/.dcthost-probe.tmp";
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) {
        if (reason) *reason = std::strerror(errno);
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

bool FileExists(const std::string& path) {
    // The library joins folders with '\' and opens such paths with '/' here; so does this.
    std::string native = path;
    for (char& c : native)
        if (c == '\\') c = '/';
    struct stat s;
    return ::stat(native.c_str(), &s) == 0 && S_ISREG(s.st_mode);
}

Apartment::Apartment() = default;
Apartment::~Apartment() = default;

HostFpuWord::HostFpuWord() = default;
HostFpuWord::~HostFpuWord() = default;
OwnFpuWord::OwnFpuWord() = default;
OwnFpuWord::~OwnFpuWord() = default;

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
    if (detail) *detail = SUCCEEDED(hr) ? "simulator registered in this process" : "simulator registration failed";
    return SUCCEEDED(hr);
}

// Nothing is registered outside a run here.
std::optional<std::filesystem::path> RegisteredSimulatorFolder() {
    return std::nullopt;
}

int32_t RegisterSimulatorServer(bool, bool, const std::string&, std::string* message) {
    if (message)
        *message = "nothing to do here: on this platform the simulator is registered inside each dcthost run";
    return 0;
}

void UseBinaryStandardStreams() {}

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

bool FlushToDiskAndClose(FILE* file, std::string* reason) {
    bool ok = std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    if (!ok && reason) *reason = std::strerror(errno);
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        if (reason) *reason = std::strerror(errno);
    }
    return ok;
}

bool MoveReplacing(const std::string& from, const std::string& to, std::string* reason) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    if (reason) *reason = std::strerror(errno);
    return false;
}

std::string SystemTextToUtf8(const std::string& text) { return text; }

FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

double Seconds() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace dcthost::platform
