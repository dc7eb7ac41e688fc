// The six functions the host finds by name. Each catches everything: an exception that crossed
// into the host would end its process.
#include <cstring>
#include <memory>

#include "base/SysUtils.h"
#include "base/cp1251.h"
#include "boundary/DctBoundary.h"
#include "boundary/DctInstance.h"
#include "boundary/Recording.h"
#include "boundary/TerminalDriver.h"
#include "drv/dct/DctDriver.h"
#include "drv/dct/dctIntf.h"
#include "drv/dct/drivers/opticon_zebex/UDrvIni.h"
#include "drv/dct/drivers/opticon_zebex/UInterConf.h"
#include "drv/dct/drivers/opticon_zebex/Umain.h"
#include "lib/commutil.h"
#include "platform/Env.h"

namespace dct {
namespace {

constexpr auto kModels = Cp1251(u8"ZEBEX: PDx-10, PDx-20. OPTICON: PHL,OPL, DWT7133");

AnsiString TextOf(const char* text) { return text ? AnsiString(text) : AnsiString(); }

// The whole 256 bytes of a text field: the text, then zeros.
void FillText(char (&field)[256], std::string_view text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

// lstrcpynA: at most max - 1 characters and a terminating zero; nothing at all for max 0.
void CopyBounded(char* destination, const AnsiString& text, int32_t max) {
    if (max <= 0) return;
    const std::size_t count = std::min(text.size(), static_cast<std::size_t>(max) - 1);
    std::memcpy(destination, text.data(), count);
    destination[count] = '\0';
}

// Everything the exports do with the operating system goes through the real one.
platform::Env& TheEnv() { return platform::Env::Default(); }

void Text(JsonWriter& json, const char* text) {
    if (text)
        json.Bytes(text);
    else
        json.Null();
}

// A terminal's call with its number and settings folder as the host gave them.
void TerminalArgs(JsonWriter& json, int32_t number, const char* directory) {
    json.Key("args").BeginObject().Key("number").Int(number).Key("directory");
    Text(json, directory);
    json.EndObject();
}

// The terminal's section of DctDrv.ini, key by key, as the library reads it: what a replay rebuilds.
void Section(JsonWriter& json, int32_t number, const char* directory) {
    json.Key("section").BeginArray();
    for (const auto& [key, value] : TerminalSection(number, TextOf(directory), TheEnv()))
        json.BeginArray().Bytes(key).Bytes(value).EndArray();
    json.EndArray();
}

// A call that belongs to no terminal, recorded while the process records.
template <typename Fields>
void RecordProcessCall(std::string_view op, Fields&& fields) {
    recording::HostCall(recording::Recording::Active(), 0, op, std::forward<Fields>(fields));
}

}  // namespace
}  // namespace dct

using namespace dct;

DCT_EXPORT int32_t DCT_CDECL LoadDctLibrary() {
    FpuGuard fpu;
    try {
        RecordProcessCall("LoadDctLibrary", [](JsonWriter& json) { json.Key("result").Int(0); });
    } catch (...) {
    }
    return 0;
}

DCT_EXPORT void DCT_CDECL DctGetDriverInfo(TDctDriverInfo* info) {
    if (!info) return;
    // Reserved stays as the host left it.
    info->Flag2 = 1;
    FillText(info->Name, kOpticonZebexDriverName.view());
    info->Flag1 = 1;
    FillText(info->Models, kModels.view());
    FpuGuard fpu;
    try {
        RecordProcessCall("DctGetDriverInfo", [&](JsonWriter& json) {
            json.Key("out").BeginObject().Key("name").Bytes(info->Name).Key("flag1").Int(info->Flag1);
            json.Key("flag2").Int(info->Flag2).Key("models").Bytes(info->Models).EndObject();
        });
    } catch (...) {
    }
}

DCT_EXPORT int32_t DCT_CDECL DctRemove(int32_t number, const char* directory) {
    FpuGuard fpu;
    int32_t result;
    try {
        TDrvIni ini(ConstructFileName(TextOf(directory), kSettingsFileName), TheEnv());
        if (!ini.DctExist(number)) {
            result = rc::NoSection;
        } else {
            ini.DelTermInfo(IntToStr(number));
            result = rc::Ok;
        }
    } catch (...) {
        result = rc::InitFailed;
    }
    try {
        RecordProcessCall("DctRemove", [&](JsonWriter& json) {
            TerminalArgs(json, number, directory);
            json.Key("result").Int(result);
        });
    } catch (...) {
    }
    return result;
}

DCT_EXPORT int32_t DCT_CDECL DctConfigure(int32_t number, const char* directory) {
    FpuGuard fpu;
    int32_t result;
    try {
        result = ConfigureTerminal(number, TextOf(directory), TheEnv());
    } catch (...) {
        result = rc::NotConfirmed;
    }
    // What the dialog left in the settings file is its outcome, which a replay applies.
    try {
        RecordProcessCall("DctConfigure", [&](JsonWriter& json) {
            TerminalArgs(json, number, directory);
            json.Key("result").Int(result);
            Section(json, number, directory);
        });
    } catch (...) {
    }
    return result;
}

DCT_EXPORT int32_t DCT_CDECL DctInit(int32_t number, const char* directory, TDctDriverFuncs** funcs,
                                     DctHandle* handle) {
    if (handle) *handle = nullptr;  // first, before anything can fail
    if (!funcs || !handle) return rc::InitFailed;
    FpuGuard fpu;
    recording::Recording* recording = nullptr;
    try {
        recording = recording::Recording::ForNewTerminal(TheEnv());
    } catch (...) {
        // Not recorded: the terminal opens all the same.
    }
    int32_t result;
    try {
        result = OpenTerminal(number, TextOf(directory), funcs, handle, TheEnv(), recording);
    } catch (...) {
        *handle = nullptr;
        result = rc::InitFailed;
    }
    try {
        recording::HostCall(recording, *handle ? (*handle)->RecordedAs : 0, "DctInit", [&](JsonWriter& json) {
            TerminalArgs(json, number, directory);
            json.Key("result").Int(result);
            Section(json, number, directory);
        });
    } catch (...) {
    }
    return result;
}

DCT_EXPORT int32_t DCT_CDECL DctErr(DctHandle handle, int32_t* code, char** buffer, int32_t max) {
    if (!DctHandleValid(handle)) return rc::Ok;
    // Without somewhere to put them, the text and code stay pending for a later call.
    if (!code || !buffer || (max > 0 && !*buffer)) return rc::BufferTooSmall;
    FpuGuard fpu;
    int32_t result;
    try {
        AnsiString text;
        handle->Driver->GetStateErr(text, *code);
        CopyBounded(*buffer, text, max);
        result = max < 4 ? rc::BufferTooSmall : rc::Ok;
    } catch (...) {
        result = rc::InitFailed;
    }
    recording::HostCall(handle->Recorder, handle->RecordedAs, "DctErr", [&](JsonWriter& json) {
        json.Key("args").BeginObject().Key("max").Int(max).EndObject();
        json.Key("result").Int(result).Key("out").BeginObject().Key("code").Int(*code).Key("text");
        if (max > 0)
            json.Bytes(*buffer);
        else
            json.Null();
        json.EndObject();
    });
    return result;
}
