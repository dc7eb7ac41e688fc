// Register-convention thunks for 32-bit x86, written out in assembly so that nothing depends on how
// a compiler maps that convention (GCC would need regparm + stdcall and reversed stack arguments).
//
// The convention: the first three arguments in EAX, EDX, ECX; further arguments pushed left to right,
// so the last one lies nearest the return address; a double on the stack takes 8 bytes, low half at
// the lower address; the callee removes its stack arguments; EBX, ESI, EDI and EBP survive the call.
#include "HostCalls.h"

extern "C" {
int32_t DctHostCallWriteRecord(void* operation, void* handle, const char* text2, const char* text1, int32_t spare,
                               double number, const char* barcodes);
int32_t DctHostCallEndWriting(void* operation, void* handle);
void DctHostEnumCallback();
extern int32_t DctHostStackImbalance;
}

// Each caller thunk keeps its frame in EBP, so whatever the callee pops, the thunk returns cleanly;
// EBP minus ESP after the call is what the callee left behind beyond the convention (0 when right).
asm(R"(
    .data
    .globl _DctHostStackImbalance
    .balign 4
_DctHostStackImbalance:
    .long 0

    .text
    .globl _DctHostCallWriteRecord
    .def _DctHostCallWriteRecord; .scl 2; .type 32; .endef
    # cdecl (operation, handle, text2, text1, spare, number, barcodes):
    # 8(%ebp) operation, 12 handle, 16 text2, 20 text1, 24 spare, 28/32 number, 36 barcodes
_DctHostCallWriteRecord:
    pushl %ebp
    movl  %esp, %ebp
    pushl 24(%ebp)          # Spare, pushed first
    pushl 32(%ebp)          # Number, high half
    pushl 28(%ebp)          #         low half at the lower address
    pushl 36(%ebp)          # Barcodes, nearest the return address
    movl  12(%ebp), %eax    # handle
    movl  16(%ebp), %edx    # Text2
    movl  20(%ebp), %ecx    # Text1
    call  *8(%ebp)
    movl  %ebp, %ecx
    subl  %esp, %ecx
    movl  %ecx, _DctHostStackImbalance
    movl  %ebp, %esp
    popl  %ebp
    ret

    .globl _DctHostCallEndWriting
    .def _DctHostCallEndWriting; .scl 2; .type 32; .endef
    # cdecl (operation, handle): the handle in EAX, no stack arguments.
_DctHostCallEndWriting:
    pushl %ebp
    movl  %esp, %ebp
    movl  12(%ebp), %eax
    call  *8(%ebp)
    movl  %ebp, %ecx
    subl  %esp, %ecx
    movl  %ecx, _DctHostStackImbalance
    movl  %ebp, %esp
    popl  %ebp
    ret

    .globl _DctHostEnumCallback
    .def _DctHostEnumCallback; .scl 2; .type 32; .endef
    # Called by the library: UserData in EAX, the code text in EDX, the quantity's 8 bytes above the
    # return address. Hands them to the cdecl DctHostOnEnumRecord and removes the 8 bytes itself.
_DctHostEnumCallback:
    pushl %ebp
    movl  %esp, %ebp
    pushl 12(%ebp)          # quantity, high half
    pushl 8(%ebp)           # quantity, low half
    pushl %edx              # code
    pushl %eax              # UserData
    call  _DctHostOnEnumRecord
    movl  %ebp, %esp
    popl  %ebp
    ret   $8
)");

namespace dcthost {

int32_t CallWriteWareTableRecord(void* operation, DctHandle handle, const char* text2, const char* text1,
                                 int32_t spare, double number, const char* barcodes) {
    return DctHostCallWriteRecord(operation, handle, text2, text1, spare, number, barcodes);
}

int32_t CallEndWareTableWriting(void* operation, DctHandle handle) {
    return DctHostCallEndWriting(operation, handle);
}

int32_t LastStackImbalance() { return DctHostStackImbalance; }

void* EnumCallbackAddress() { return reinterpret_cast<void*>(&DctHostEnumCallback); }

namespace {
constexpr uint16_t kHostControlWord = 0x1332;
}  // namespace

HostFpuWord::HostFpuWord() { scope_.emplace(kHostControlWord); }

OwnFpuWord::OwnFpuWord() { scope_.emplace(dct::platform::MaskAllFpuExceptions{}); }

}  // namespace dcthost
