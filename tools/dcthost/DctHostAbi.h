// dcthost's own view of the driver library's C boundary, written from the host's side: the two
// records it exchanges, the cdecl operations it calls directly, the register-convention calls that
// go through hand-written thunks (HostCalls.h), and the result codes the boundary documents.
//
// dcthost shares the library's layers below the boundary: the platform's seams (loading the
// library, files, the environment, text conversion, the x87 control word), the settings file class
// and path helpers for `configure` and `show`, the terminal-server client for `doctor`, and the
// simulator. What it deliberately does not share is the boundary itself (boundary/DctBoundary.h):
// a host knows the library only by these layouts, so they are declared again here and checked by the
// static_asserts below against what a 32-bit host relies on, not taken from the library's compiler.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dcthost {

// The opaque instance handle of DctInit.
using DctHandle = void*;

// The description record filled by DctGetDriverInfo; the texts are Windows-1251.
struct DriverInfo {
    int32_t Reserved;
    char Name[256];
    int32_t Flag1;
    int32_t Flag2;
    char Models[256];
};
static_assert(sizeof(DriverInfo) == 524);
static_assert(offsetof(DriverInfo, Name) == 4);
static_assert(offsetof(DriverInfo, Flag1) == 260);
static_assert(offsetof(DriverInfo, Flag2) == 264);
static_assert(offsetof(DriverInfo, Models) == 268);

// The six exports. On i686 every one is cdecl, which is also what GCC calls through a plain
// function pointer there; on x86_64 there is one convention only.
using GetDriverInfoFn = void (*)(DriverInfo* info);
using RemoveFn = int32_t (*)(int32_t number, const char* directory);
using ConfigureFn = int32_t (*)(int32_t number, const char* directory);
struct DriverFuncs;
using InitFn = int32_t (*)(int32_t number, const char* directory, DriverFuncs** funcs, DctHandle* handle);
using ErrFn = int32_t (*)(DctHandle handle, int32_t* code, char** buffer, int32_t max);
using LoadDctLibraryFn = int32_t (*)();

// The cdecl operations of the table.
using FiniFn = int32_t (*)(DctHandle handle, DriverFuncs* funcs);
using HandleOpFn = int32_t (*)(DctHandle handle);
using EnumDataFn = int32_t (*)(DctHandle handle, void* callback, int32_t userData, int32_t clearAfter);
using NextRecordFn = int32_t (*)(DctHandle handle, const char** code, double* quantity, int32_t* more);
using FlagOpFn = int32_t (*)(DctHandle handle, int32_t flag);

// The operation table DctInit hands out. The two register-convention entries are kept as bare
// addresses: they are only ever called through the thunks of HostCalls.h.
struct DriverFuncs {
    int32_t Reserved1;
    int32_t TermNumber;
    int32_t Reserved2;
    int32_t Reserved3;
    FiniFn DctFini;
    HandleOpFn DctInteractiveService;
    HandleOpFn DctClearData;
    HandleOpFn DctBeginDataReading;
    EnumDataFn DctEnumData;
    NextRecordFn DctNextRecord;
    FlagOpFn DctEndDataReading;
    FlagOpFn DctBeginWareTableWriting;
    void* DctWriteWareTableRecord;
    void* DctEndWareTableWriting;
};
static_assert(offsetof(DriverFuncs, TermNumber) == 4);
static_assert(offsetof(DriverFuncs, DctFini) == 16);
static_assert(offsetof(DriverFuncs, DctEndWareTableWriting) == 16 + 9 * sizeof(void*));
static_assert(sizeof(void*) != 4 || sizeof(DriverFuncs) == 56);

// Result codes the boundary documents.
namespace code {
constexpr int32_t Ok = 0;
constexpr int32_t FiniFailed = -3;
constexpr int32_t InitFailed = -4;
constexpr int32_t NotConfirmed = -5;
constexpr int32_t ServerFailure = -6;
constexpr int32_t NoSection = -7;
constexpr int32_t BadHandle = -9;
constexpr int32_t BufferTooSmall = 4;
}  // namespace code

}  // namespace dcthost
