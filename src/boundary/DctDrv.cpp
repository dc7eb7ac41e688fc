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

// Everything the exports do with the operating system goes through the real one.
platform::Env& TheEnv() { return platform::Env::Default(); }

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
            WriteTerminalCall(json, number, directory, result, false, TheEnv());
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
            WriteTerminalCall(json, number, directory, result, true, TheEnv());
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
    return InitTerminal(number, directory, funcs, handle, TheEnv());
}

DCT_EXPORT int32_t DCT_CDECL DctErr(DctHandle handle, int32_t* code, char** buffer, int32_t max) {
    if (!DctHandleValid(handle)) return rc::Ok;
    FpuGuard fpu;
    return HandOutError(handle, code, buffer, max);
}
