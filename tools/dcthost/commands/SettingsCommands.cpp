#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "HostText.h"
#include "base/Exceptions.h"
#include "base/cp1251.h"
#include "commands/Common.h"
#include "commands/Subcommands.h"
#include "drv/dct/drivers/opticon_zebex/UDrvIni.h"
#include "platform/Codepage.h"

namespace dcthost {

using dct::platform::SystemTextToUtf8;

namespace {

std::string ConnectionName(int type) {
    return type == 0 ? "infrared cradle" : type == 1 ? "cable" : "none (" + std::to_string(type) + ")";
}

}  // namespace

int Info(const Options& o) {
    auto library = LoadLibraryOrSay(o);
    if (!library) return exitcode::Failed;
    Say("library:  " + SystemTextToUtf8(library->Path()) + "\n");
    for (int i = 0; i < 6; ++i) {
        auto e = library->ExportAt(i);
        char line[128];
        std::snprintf(line, sizeof line, "  export %-17s %p\n", e.name, e.address);
        Say(line);
    }
    // A record larger than the 524 bytes the library may fill shows whether it keeps to them.
    unsigned char block[600];
    std::memset(block, 0xFF, sizeof block);
    auto* info = reinterpret_cast<DriverInfo*>(block);
    library->GetDriverInfo(info);
    bool past = false;
    for (std::size_t i = sizeof(DriverInfo); i < sizeof block; ++i) past = past || block[i] != 0xFF;
    const std::string name(info->Name, strnlen(info->Name, sizeof info->Name));
    const std::string models(info->Models, strnlen(info->Models, sizeof info->Models));
    Say("name:     " + dct::Cp1251ToUtf8(name) + "\n");
    Say("models:   " + dct::Cp1251ToUtf8(models) + "\n");
    Say("flags:    " + std::to_string(info->Flag1) + " " + std::to_string(info->Flag2) + "\n");
    Say(std::string("record:   ") +
        (past ? "WRITTEN PAST ITS 524 BYTES" : "524 bytes, nothing written past them") + "\n");
    Say("LoadDctLibrary: " + std::to_string(library->LoadDctLibrary()) + "\n");
    Say("settings: " + SystemTextToUtf8(SettingsPath(o)) + "\n");
    return past ? exitcode::Failed : exitcode::Ok;
}

int Show(const Options& o) {
    const std::string path = SettingsPath(o);
    dct::TDrvIni ini(path, SystemEnv());
    const std::string section = std::to_string(o.terminal);
    if (!ini.DctExist(o.terminal)) {
        return LibraryFailure(
            "show", code::NoSection, "terminal " + section + " has no section in " + SystemTextToUtf8(path),
            "fix: dcthost configure --terminal " + section + " --port N --rate BPS --cable|--cradle");
    }
    auto value = [&](const char* key, const char* fallback) {
        return AnsiToUtf8(ini.ReadString(section, key, fallback));
    };
    const std::string port = value("DCT_Port", "1"), rate = value("DCT_Rate", "1"), id = value("DCT_ID", "0"),
                      type = value("DCT_Type", "0");
    Say("terminal:   " + section + "  (" + SystemTextToUtf8(path) + ")\n");
    Say("port:       " + port +
        (port.find_first_not_of("0123456789") == std::string::npos ? "  (COM " + port + ")" : "") + "\n");
    const int rateCode = std::atoi(rate.c_str());
    Say("rate code:  " + rate +
        (RateOf(rateCode) ? "  (" + std::to_string(RateOf(rateCode)) + " bit/s)" : "") + "\n");
    Say("connection: " + type + "  (" + ConnectionName(std::atoi(type.c_str())) + ")\n");
    Say("id:         " + id + "\n");
    auto library = LoadLibraryOrSay(o);
    if (!library) return exitcode::Failed;
    DctInstance instance(*library, o.terminal, SettingsDirectory(o));
    if (!instance.Ok()) return OpenInstance(instance, o) ? exitcode::Ok : exitcode::Failed;
    Say("the library accepts these settings (DctInit 0)\n");
    return exitcode::Ok;
}

int Configure(const Options& o) {
    const std::string directory = SettingsDirectory(o);
    if (!o.port && !o.rateCode && !o.connType) {
        // The library's own dialog, as the host opens it.
        auto library = LoadLibraryOrSay(o);
        if (!library) return exitcode::Failed;
        MakeFolder(directory);
        const int32_t rc = library->Configure(o.terminal, directory);
        if (rc != code::Ok) {
            Complain("DctConfigure: " + std::to_string(rc) +
                     " (the dialog was not confirmed; nothing saved)");
            return exitcode::Cancelled;
        }
        return Show(o);
    }
    if (!MakeFolder(directory)) {
        Complain("cannot create the settings directory " + SystemTextToUtf8(directory));
        return exitcode::File;
    }
    try {
        // As the dialog saves: what the section holds stays unless a flag changes it.
        dct::TDrvIni ini(SettingsPath(o), SystemEnv());
        dct::TTermInfo info;
        info.Port = 1, info.Rate = 1, info.ConnType = 0;
        if (ini.DctExist(o.terminal)) {
            try {
                ini.GetTermInfoByID(o.terminal, info);
            } catch (const dct::Exception&) {
                info.Port = 1, info.Rate = 1, info.ConnType = 0;  // unreadable values are replaced
            }
        }
        if (o.port) info.Port = *o.port;
        if (o.rateCode) info.Rate = *o.rateCode;
        if (o.connType) info.ConnType = *o.connType;
        info.ID = o.terminal;
        ini.GetTermCount();
        ini.NewTermInfo(info);
    } catch (const dct::Exception& e) {
        Complain(AnsiToUtf8(e.Message()));
        return exitcode::File;
    }
    return Show(o);
}

int Remove(const Options& o) {
    auto library = LoadLibraryOrSay(o);
    if (!library) return exitcode::Failed;
    const int32_t rc = library->Remove(o.terminal, SettingsDirectory(o));
    if (rc != code::Ok)
        return LibraryFailure("DctRemove", rc,
                              "terminal " + std::to_string(o.terminal) + " has no section in " +
                                  SystemTextToUtf8(SettingsPath(o)));
    Say("terminal " + std::to_string(o.terminal) + " removed from " + SystemTextToUtf8(SettingsPath(o)) +
        "\n");
    return exitcode::Ok;
}

}  // namespace dcthost
