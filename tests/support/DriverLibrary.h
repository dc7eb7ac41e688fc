// The driver library loaded by name, with its exports, as a host sees them.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "boundary/DctBoundary.h"
#include "platform/DynamicLibrary.h"

namespace dct::test {

struct DriverLibrary {
    using GetDriverInfoFn = void(DCT_CDECL*)(TDctDriverInfo*);
    using RemoveFn = int32_t(DCT_CDECL*)(int32_t, const char*);
    using ConfigureFn = int32_t(DCT_CDECL*)(int32_t, const char*);
    using InitFn = int32_t(DCT_CDECL*)(int32_t, const char*, TDctDriverFuncs**, DctHandle*);
    using ErrFn = int32_t(DCT_CDECL*)(DctHandle, int32_t*, char**, int32_t);
    using LoadFn = int32_t(DCT_CDECL*)();

    DriverLibrary() : library(platform::DynamicLibrary::OpenBesideProgram("DctDrv")) {
        if (!library) return;
        GetDriverInfo = reinterpret_cast<GetDriverInfoFn>(library->Symbol("DctGetDriverInfo"));
        Remove = reinterpret_cast<RemoveFn>(library->Symbol("DctRemove"));
        Configure = reinterpret_cast<ConfigureFn>(library->Symbol("DctConfigure"));
        Init = reinterpret_cast<InitFn>(library->Symbol("DctInit"));
        Err = reinterpret_cast<ErrFn>(library->Symbol("DctErr"));
        Load = reinterpret_cast<LoadFn>(library->Symbol("LoadDctLibrary"));
    }
    bool Complete() const { return library && GetDriverInfo && Remove && Configure && Init && Err && Load; }

    std::unique_ptr<platform::DynamicLibrary> library;
    GetDriverInfoFn GetDriverInfo = nullptr;
    RemoveFn Remove = nullptr;
    ConfigureFn Configure = nullptr;
    InitFn Init = nullptr;
    ErrFn Err = nullptr;
    LoadFn Load = nullptr;
};

}  // namespace dct::test
