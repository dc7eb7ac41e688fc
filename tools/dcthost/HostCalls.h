// Calls that cross a calling convention the compiler does not speak by itself.
//
// i686 (platform/win32/RegisterCalls.S): the library's goods-table operations use the register
// convention (EAX, EDX, ECX, further arguments pushed left to right, callee pops), and so must the
// per-record procedure that the bulk read calls back. Hand-written thunks translate from and to cdecl.
// x86_64 (platform/posix/RegisterCalls.cpp): the platform's one convention, plain calls.
#pragma once

#include <cstdint>
#include <optional>

#include "DctHostAbi.h"
#include "platform/FpuControl.h"

namespace dcthost {

// DctWriteWareTableRecord(handle, Text2, Text1, Spare, Number, Barcodes) at address `operation`.
int32_t CallWriteWareTableRecord(void* operation, DctHandle handle, const char* text2, const char* text1,
                                 int32_t spare, double number, const char* barcodes);
// DctEndWareTableWriting(handle) at address `operation`.
int32_t CallEndWareTableWriting(void* operation, DctHandle handle);

// Bytes the last register-convention call left on (positive) or took off (negative) the stack
// beyond what its convention says: 0 when the operation popped exactly its own arguments.
int32_t LastStackImbalance();

// The per-record procedure to hand to DctEnumData. Every record it receives goes to
// OnEnumRecord(userData, code, quantity), which the program defines (noexcept: nothing may unwind
// through the library's frames).
void* EnumCallbackAddress();

// While it lives, the x87 control word is the host's ($1332: invalid operation, division by zero and
// overflow unmasked), as the library meets it in a station's 32-bit host. Nothing changes where the
// host's convention has no such word (x86_64).
class HostFpuWord {
public:
    HostFpuWord();

private:
    std::optional<dct::platform::FpuWordScope> scope_;
};

// The opposite, for dcthost's own work inside a callback from the library: every exception masked.
class OwnFpuWord {
public:
    OwnFpuWord();

private:
    std::optional<dct::platform::FpuWordScope> scope_;
};

}  // namespace dcthost

// Defined by the program; called with the host's floating-point word as the library left it.
extern "C" void DctHostOnEnumRecord(int32_t userData, const char* code, double quantity) noexcept;
