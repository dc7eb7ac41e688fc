// The library's C boundary: calling conventions and record layouts the host relies on.
// Nothing but the exports and the operation table includes this header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/FpuControl.h"

namespace dct {
struct DctInstance;
}

// The host's two conventions on 32-bit x86. cdecl: right to left, caller pops. The register
// convention: EAX, EDX, ECX, further arguments pushed left to right, callee pops; in GCC terms
// regparm(3) + stdcall with the stack arguments declared in reverse order. On other targets both
// collapse to the platform's one convention.
#if defined(__i386__)
#define DCT_CDECL __attribute__((cdecl))
#define DCT_REGISTER(n) __attribute__((regparm(n), stdcall))
#else
#define DCT_CDECL
#define DCT_REGISTER(n)
#endif

#if defined(__GNUC__) && !defined(_WIN32)
#define DCT_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define DCT_EXPORT extern "C"
#endif

extern "C" {

// Opaque to the host: the boundary's instance around the driver (DctInstance.h).
using DctHandle = dct::DctInstance*;

// The host's per-record procedure: UserData in EAX, the code text in EDX, the quantity on the
// stack (popped by the procedure itself).
typedef void(DCT_REGISTER(2) * TDctEnumCallbackProc)(int32_t userData, const char* code, double quantity);

struct TDctDriverFuncs;

typedef int32_t(DCT_CDECL* TDctFiniProc)(DctHandle handle, TDctDriverFuncs* funcs);
typedef int32_t(DCT_CDECL* TDctHandleProc)(DctHandle handle);
typedef int32_t(DCT_CDECL* TDctEnumDataProc)(DctHandle handle, TDctEnumCallbackProc callback, int32_t userData,
                                             int32_t clearAfter);
typedef int32_t(DCT_CDECL* TDctNextRecordProc)(DctHandle handle, const char** code, double* quantity, int32_t* more);
typedef int32_t(DCT_CDECL* TDctFlagProc)(DctHandle handle, int32_t flag);
// Register convention: handle, Text2, Text1 in registers; Spare, Number, Barcodes pushed in that
// order, so Barcodes lies nearest the return address and comes first among the stack parameters.
typedef int32_t(DCT_REGISTER(3) * TDctWriteRecordProc)(DctHandle handle, const char* text2, const char* text1,
                                                       const char* barcodes, double number, int32_t spare);
typedef int32_t(DCT_REGISTER(1) * TDctEndWritingProc)(DctHandle handle);

struct TDctDriverFuncs {
    int32_t Reserved1;
    int32_t TermNumber;
    int32_t Reserved2;
    int32_t Reserved3;
    TDctFiniProc DctFini;
    TDctHandleProc DctInteractiveService;
    TDctHandleProc DctClearData;
    TDctHandleProc DctBeginDataReading;
    TDctEnumDataProc DctEnumData;
    TDctNextRecordProc DctNextRecord;
    TDctFlagProc DctEndDataReading;
    TDctFlagProc DctBeginWareTableWriting;
    TDctWriteRecordProc DctWriteWareTableRecord;
    TDctEndWritingProc DctEndWareTableWriting;
};

struct TDctDriverInfo {
    int32_t Reserved;
    char Name[256];
    int32_t Flag1;
    int32_t Flag2;
    char Models[256];
};

}  // extern "C"

#if defined(__i386__)
static_assert(sizeof(TDctDriverFuncs) == 56);
static_assert(offsetof(TDctDriverFuncs, TermNumber) == 4);
static_assert(offsetof(TDctDriverFuncs, Reserved3) == 12);
static_assert(offsetof(TDctDriverFuncs, DctFini) == 16);
static_assert(offsetof(TDctDriverFuncs, DctInteractiveService) == 20);
static_assert(offsetof(TDctDriverFuncs, DctClearData) == 24);
static_assert(offsetof(TDctDriverFuncs, DctBeginDataReading) == 28);
static_assert(offsetof(TDctDriverFuncs, DctEnumData) == 32);
static_assert(offsetof(TDctDriverFuncs, DctNextRecord) == 36);
static_assert(offsetof(TDctDriverFuncs, DctEndDataReading) == 40);
static_assert(offsetof(TDctDriverFuncs, DctBeginWareTableWriting) == 44);
static_assert(offsetof(TDctDriverFuncs, DctWriteWareTableRecord) == 48);
static_assert(offsetof(TDctDriverFuncs, DctEndWareTableWriting) == 52);
#endif
static_assert(sizeof(TDctDriverInfo) == 524);
static_assert(offsetof(TDctDriverInfo, Name) == 4);
static_assert(offsetof(TDctDriverInfo, Flag1) == 260);
static_assert(offsetof(TDctDriverInfo, Flag2) == 264);
static_assert(offsetof(TDctDriverInfo, Models) == 268);

namespace dct {

// A fresh operation table for a terminal: zeroes, the number, the ten operations.
TDctDriverFuncs* NewDriverFuncs(int32_t termNumber);
// The handle check of every operation but DctFini.
bool DctHandleValid(DctHandle handle);
// DctErr after its handle check: the instance's pending error into the host's buffer.
int32_t HandOutError(DctHandle handle, int32_t* code, char** buffer, int32_t max);

// The x87 control word of the host unmasks invalid-operation, zero-divide and overflow; library
// code runs with every exception masked. The host's word is back in force on every way out and
// during calls into the host.
class FpuGuard {
public:
    FpuGuard() : library_(platform::MaskAllFpuExceptions{}) {}

    // The control word in force now: at a boundary entry, before the guard, the host's.
    static uint16_t CurrentWord() { return platform::ReadFpuControlWord(); }
    // Runs a call into the host with the host's word in force, and the library's again afterwards.
    template <typename F>
    static void WithHostWord(uint16_t hostWord, F&& call) {
        platform::FpuWordScope host(hostWord);
        call();
    }

private:
    platform::FpuWordScope library_;
};

}  // namespace dct
