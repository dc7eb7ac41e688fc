#include "lib/TraceFiles.h"

#include "lib/RegSettings.h"
#include "lib/commutil.h"
#include "lib/cp1251.h"
#include "platform/Codepage.h"
#include "platform/DebugOutput.h"
#include "platform/FileAppend.h"
#include "platform/ModuleInfo.h"
#include "platform/SystemInfo.h"

namespace dct::trace {
namespace {

// Never destroyed, only emptied at unload: the trace log's installer clears it from its destructor,
// which runs after every other static object of the module is gone.
std::string& Folder() {
    static std::string* folder = new std::string;
    return *folder;
}

std::string TraceFileNameOnly() { return ChangeFileExt(ExtractFileName(ModuleName()), ".trc"); }

std::string SettleFolder() {
    std::string folder = ReadRegistrySetting("TraceDir", "");
    if (folder.empty()) folder = platform::EnvironmentVariable("TARN_LOGS_FOLDER");
    if (folder.empty()) folder = ExtractFilePath(ModuleName()) + "logs";
    // A folder that cannot be made now is no error here: the append fails and the block goes to
    // the fallback file.
    platform::CreateFolderWithParents(folder);
    if (folder.back() != '\\') folder += '\\';
    if (folder.rfind("\\\\", 0) == 0) {
        // A network folder shared by several computers: each computer's file carries its name.
        if (std::optional<std::string> computer = platform::ComputerName()) {
            std::string name = platform::AnsiUpperCase(*computer);
            folder = platform::AnsiLowerCase(folder);
            if (folder.find(platform::AnsiLowerCase("\\logs\\" + name + "\\")) == std::string::npos)
                folder += name + "-";
        }
    }
    return folder;
}

}  // namespace

std::string ExtractFilePath(const std::string& path) {
    std::size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string ExtractFileName(const std::string& path) {
    std::size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ModuleName() { return platform::ExpandFileName(platform::OwnModuleFileName()); }

std::string TraceFilename() {
    if (Folder().empty()) Folder() = SettleFolder();
    std::string name = Folder() + TraceFileNameOnly();
    platform::DebugOutput(name);
    return name;
}

std::string SafeTraceFilename() {
    std::string folder =
        ReadRegistryText(platform::RegistryRoot::LocalMachine,
                         "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Common Documents", "");
    // Without a common documents folder there is no safe place: an empty folder name would put
    // the file into whatever the current directory happens to be.
    if (folder.empty()) return {};
    if (folder.back() != '\\') folder += '\\';
    folder += Cp1251(u8"Логи Тарн\\").str();
    platform::CreateFolderWithParents(folder);
    return folder + TraceFileNameOnly();
}

bool SaveLines(const std::string& fileName, const std::vector<std::string>& lines) {
    if (fileName.empty()) return false;
    try {
        std::string block;
        for (const std::string& line : lines) block += line + "\r\n";
        return platform::AppendToFile(fileName, block, platform::AppendShare::ReadOnly).Status ==
               platform::AppendStatus::Ok;
    } catch (...) {
        return false;
    }
}

std::string TraceFolder() { return Folder(); }
void ClearTraceFolder() { Folder().clear(); }

}  // namespace dct::trace
