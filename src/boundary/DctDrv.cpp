// The six functions the host finds by name. Each catches everything: an exception that crossed
// into the host would end its process.
#include <cstring>
#include <memory>

#include "base/SysUtils.h"
#include "base/cp1251.h"
#include "boundary/DctBoundary.h"
#include "boundary/DctInstance.h"
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

}  // namespace
}  // namespace dct

using namespace dct;

DCT_EXPORT int32_t DCT_CDECL LoadDctLibrary() { return 0; }

DCT_EXPORT void DCT_CDECL DctGetDriverInfo(TDctDriverInfo* info) {
    if (!info) return;
    // Reserved stays as the host left it.
    info->Flag2 = 1;
    FillText(info->Name, kOpticonZebexDriverName.view());
    info->Flag1 = 1;
    FillText(info->Models, kModels.view());
}

DCT_EXPORT int32_t DCT_CDECL DctRemove(int32_t number, const char* directory) {
    FpuGuard fpu;
    try {
        TDrvIni ini(ConstructFileName(TextOf(directory), kSettingsFileName), TheEnv());
        if (!ini.DctExist(number)) return rc::NoSection;
        ini.DelTermInfo(IntToStr(number));
        return rc::Ok;
    } catch (...) {
        return rc::InitFailed;
    }
}

DCT_EXPORT int32_t DCT_CDECL DctConfigure(int32_t number, const char* directory) {
    FpuGuard fpu;
    try {
        return ConfigureTerminal(number, TextOf(directory), TheEnv());
    } catch (...) {
        return rc::NotConfirmed;
    }
}

DCT_EXPORT int32_t DCT_CDECL DctInit(int32_t number, const char* directory, TDctDriverFuncs** funcs,
                                     DctHandle* handle) {
    if (handle) *handle = nullptr;  // first, before anything can fail
    if (!funcs || !handle) return rc::InitFailed;
    FpuGuard fpu;
    try {
        return OpenTerminal(number, TextOf(directory), funcs, handle, TheEnv());
    } catch (...) {
        *handle = nullptr;
        return rc::InitFailed;
    }
}

DCT_EXPORT int32_t DCT_CDECL DctErr(DctHandle handle, int32_t* code, char** buffer, int32_t max) {
    if (!DctHandleValid(handle)) return rc::Ok;
    // Without somewhere to put them, the text and code stay pending for a later call.
    if (!code || !buffer || (max > 0 && !*buffer)) return rc::BufferTooSmall;
    FpuGuard fpu;
    try {
        AnsiString text;
        handle->Driver->GetStateErr(text, *code);
        CopyBounded(*buffer, text, max);
        return max < 4 ? rc::BufferTooSmall : rc::Ok;
    } catch (...) {
        return rc::InitFailed;
    }
}
