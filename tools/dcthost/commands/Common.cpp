#include "commands/Common.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <iterator>

#include "SettingsFolder.h"
#include "SimulatorServer.h"
#include "TermSim.h"
#include "lib/commutil.h"
#include "platform/Codepage.h"
#include "platform/ComApartment.h"
#include "platform/StdioFile.h"

namespace dcthost {
namespace {

using dct::platform::SystemTextToUtf8;

// What a code means, for the codes the boundary documents.
std::string Meaning(int32_t result) {
    switch (result) {
        case code::FiniFailed:
            return "destroying the instance failed";
        case code::InitFailed:
            return "the driver could not be created, or the terminal server's device is not usable";
        case code::NotConfirmed:
            return "not confirmed, or the terminal sent records of fewer than two fields";
        case code::ServerFailure:
            return "the terminal server reported a failure";
        case code::NoSection:
            return "no settings for this terminal";
        case code::BadHandle:
            return "no driver instance";
        default:
            return "status of the terminal server";
    }
}

}  // namespace

bool MakeFolder(const std::string& path) {
    return path.empty() || SystemEnv().CreateFolderWithParents(path);
}

double Seconds() {
    return std::chrono::duration<double>(SystemEnv().MonotonicNow().time_since_epoch()).count();
}

std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
    if (path == "-") {
        bytes->assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    const dct::platform::UniqueFile file = dct::platform::OpenFile(path, "rb");
    if (!file) return false;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes->append(buffer, n);
    return !std::ferror(file.get());
}

void Say(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void Complain(const std::string& text) {
    const std::string line = "dcthost: " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::string SettingsDirectory(const Options& o) {
    if (o.settings) return *o.settings;
    std::string fromEnvironment = SystemEnv().EnvironmentVariable("DCTHOST_SETTINGS");
    return fromEnvironment.empty() ? DefaultSettingsDirectory() : fromEnvironment;
}

std::string SettingsPath(const Options& o) {
    return dct::ConstructFileName(SettingsDirectory(o), dct::kSettingsFileName);
}

std::unique_ptr<DctLibrary> LoadLibraryOrSay(const Options& o) {
    std::string error;
    auto library = DctLibrary::Load(o.library.value_or(DctLibrary::DefaultFileName()), &error);
    if (!library) Complain(error);
    return library;
}

int LibraryFailure(const std::string& operation, int32_t result, const std::string& text,
                   const std::string& hint) {
    std::string message = operation + " failed: " + std::to_string(result) + " (" + Meaning(result) + ")";
    if (!text.empty()) message += ": " + text;
    Complain(message);
    if (!hint.empty()) Complain(hint);
    return exitcode::Failed;
}

bool OpenInstance(DctInstance& instance, const Options& o) {
    if (instance.Ok()) return true;
    const int32_t rc = instance.InitResult();
    if (rc == code::NoSection)
        LibraryFailure("DctInit", rc, "",
                       "fix: dcthost configure --terminal " + std::to_string(o.terminal) +
                           " --port N --rate BPS --cable|--cradle  (settings file " +
                           SystemTextToUtf8(SettingsPath(o)) + ")");
    else if (rc == code::InitFailed)
        LibraryFailure("DctInit", rc, "",
                       "fix: check the section [" + std::to_string(o.terminal) + "] of " +
                           SystemTextToUtf8(SettingsPath(o)) + " (dcthost show), or configure it again");
    else
        LibraryFailure("DctInit", rc, "");
    return false;
}

void PrepareServer(const Options& o) {
    if (o.device) dct::termsim::SetDeviceFolderVariable(*o.device);
    std::string detail;
    if (!ActivateInProcessSimulator(&detail)) Complain(detail);
}

int WithInstance(const Options& o, const std::function<int(DctInstance&)>& body) {
    PrepareServer(o);
    auto library = LoadLibraryOrSay(o);
    if (!library) return exitcode::Failed;
    dct::platform::ComApartment apartment;
    DctInstance instance(*library, o.terminal, SettingsDirectory(o));
    if (!OpenInstance(instance, o)) return exitcode::Failed;
    return body(instance);
}

std::filesystem::path SimulatorFolder(const Options& o) {
    if (o.device) return dct::termsim::DeviceFolder();
    if (auto served = RegisteredSimulatorFolder()) return *served;
    return dct::termsim::DeviceFolder();
}

}  // namespace dcthost
