#include "lib/TraceFiles.h"

#include "base/cp1251.h"
#include "lib/RegSettings.h"
#include "lib/commutil.h"
#include "platform/Codepage.h"
#include "platform/Files.h"

namespace dct::trace {

std::string ExtractFilePath(const std::string& path) {
    std::size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string ExtractFileName(const std::string& path) {
    std::size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string TraceFiles::ModuleName() { return platform::ExpandFileName(env_.OwnModuleFileName()); }

std::string TraceFiles::TraceFileNameOnly() { return ChangeFileExt(ExtractFileName(ModuleName()), ".trc"); }

std::string TraceFiles::SettleFolder() {
    std::string folder = ReadRegistrySetting(env_, "TraceDir", "");
    if (folder.empty()) folder = env_.EnvironmentVariable("TARN_LOGS_FOLDER");
    if (folder.empty()) folder = ExtractFilePath(ModuleName()) + "logs";
    // A folder that cannot be made now is no error here: the append fails and the block goes to
    // the fallback file.
    env_.CreateFolderWithParents(folder);
    if (folder.back() != '\\') folder += '\\';
    if (folder.rfind("\\\\", 0) == 0) {
        // A network folder shared by several computers: each computer's file carries its name.
        if (std::optional<std::string> computer = env_.ComputerName()) {
            std::string name = platform::AnsiUpperCase(*computer);
            folder = platform::AnsiLowerCase(folder);
            if (folder.find(platform::AnsiLowerCase("\\logs\\" + name + "\\")) == std::string::npos)
                folder += name + "-";
        }
    }
    return folder;
}

std::string TraceFiles::TraceFilename() {
    if (folder_.empty()) folder_ = SettleFolder();
    std::string name = folder_ + TraceFileNameOnly();
    env_.DebugOutput(name);
    return name;
}

std::string TraceFiles::SafeTraceFilename() {
    std::string folder = ReadRegistryText(env_, platform::RegistryRoot::LocalMachine,
                                          "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                          "Common Documents", "");
    // Without a common documents folder there is no safe place: an empty folder name would put
    // the file into whatever the current directory happens to be.
    if (folder.empty()) return {};
    if (folder.back() != '\\') folder += '\\';
    folder += Cp1251(u8"Логи Тарн\\").str();
    env_.CreateFolderWithParents(folder);
    return folder + TraceFileNameOnly();
}

bool TraceFiles::SaveLines(const std::string& fileName, const std::vector<std::string>& lines) {
    if (fileName.empty()) return false;
    try {
        std::string block;
        for (const std::string& line : lines) block += line + "\r\n";
        return env_.AppendToFile(fileName, block, platform::AppendShare::ReadOnly).Status ==
               platform::AppendStatus::Ok;
    } catch (...) {
        return false;
    }
}

}  // namespace dct::trace
