// The library as a foreign host drives it: found by name and ordinal, every table operation called
// through call thunks written here from the host's conventions (not from the library's own
// declarations), with the host's x87 control word ($1332: invalid, zero-divide and overflow
// unmasked) in force, against the terminal simulator.
#include <windows.h>
#include <objbase.h>
#define PSAPI_VERSION 2

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/ProcessMemory.h"
#include "support/TermSimFixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// One call made the way the host makes it. Stack dwords are pushed in the order given (push[0]
// first), EAX/EDX/ECX loaded, EBX/ESI/EDI/EBP set to sentinels, the host control word loaded.
struct AbiCallSpec {
    void* fn;                // 0
    uint32_t eax, edx, ecx;  // 4, 8, 12
    const uint32_t* push;    // 16
    uint32_t pushCount;      // 20
    uint32_t callerPops;     // 24: bytes the caller removes after the return (cdecl)
    int32_t espDelta;        // 28: out: 0 when the stack came back balanced
    uint32_t savedOk;        // 32: out: 1 when EBX, ESI, EDI and EBP kept their values
    uint32_t hostCw;         // 36: control word in force during the call
    uint32_t cwAfter;        // 40: out: control word found after the return
    uint32_t swAfter;        // 44: out: status word found after the return (pending exception flags)
};
static_assert(offsetof(AbiCallSpec, swAfter) == 44);

extern "C" int32_t AbiCall(AbiCallSpec* frame);
extern "C" void AbiCallback();  // register convention: EAX user data, EDX text, double on the stack

asm(R"(
    .data
    .balign 4
_abi_spec:      .long 0
_abi_fn:        .long 0
_abi_esp:       .long 0
_abi_result:    .long 0
_abi_ok:        .long 0
_abi_cw_saved:  .word 0
_abi_cw_host:   .word 0
_abi_cw_after:  .word 0
_abi_sw_after:  .word 0
    .text
    .globl _AbiCall
_AbiCall:
    push %ebp
    push %ebx
    push %esi
    push %edi
    mov 20(%esp), %eax
    mov %eax, _abi_spec
    mov 0(%eax), %ecx
    mov %ecx, _abi_fn
    mov 36(%eax), %ecx
    mov %cx, _abi_cw_host
    fnstcw _abi_cw_saved
    mov %esp, _abi_esp
    mov 16(%eax), %esi
    mov 20(%eax), %ecx
    xor %edx, %edx
1:  cmp %ecx, %edx
    jae 2f
    pushl (%esi,%edx,4)
    inc %edx
    jmp 1b
2:  fnclex
    fldcw _abi_cw_host
    mov $0x11111111, %ebx
    mov $0x22222222, %esi
    mov $0x33333333, %edi
    mov $0x44444444, %ebp
    mov _abi_spec, %ecx
    mov 4(%ecx), %eax
    mov 8(%ecx), %edx
    mov 12(%ecx), %ecx
    call *_abi_fn
    mov %eax, _abi_result
    fnstcw _abi_cw_after
    fnstsw _abi_sw_after
    movl $0, _abi_ok
    cmp $0x11111111, %ebx
    jne 3f
    cmp $0x22222222, %esi
    jne 3f
    cmp $0x33333333, %edi
    jne 3f
    cmp $0x44444444, %ebp
    jne 3f
    movl $1, _abi_ok
3:  mov _abi_spec, %ecx
    add 24(%ecx), %esp
    mov %esp, %eax
    sub _abi_esp, %eax
    mov %eax, 28(%ecx)
    mov _abi_ok, %eax
    mov %eax, 32(%ecx)
    movzwl _abi_cw_after, %eax
    mov %eax, 40(%ecx)
    movzwl _abi_sw_after, %eax
    mov %eax, 44(%ecx)
    mov _abi_esp, %esp
    fnclex
    fldcw _abi_cw_saved
    mov _abi_result, %eax
    pop %edi
    pop %esi
    pop %ebx
    pop %ebp
    ret

    .data
    .globl _cb_eax
    .globl _cb_edx
    .globl _cb_lo
    .globl _cb_hi
    .globl _cb_cw
_cb_eax: .long 0
_cb_edx: .long 0
_cb_lo:  .long 0
_cb_hi:  .long 0
_cb_cw:  .long 0
    .text
    .globl _AbiCallback
_AbiCallback:
    mov %eax, _cb_eax
    mov %edx, _cb_edx
    mov 4(%esp), %ecx
    mov %ecx, _cb_lo
    mov 8(%esp), %ecx
    mov %ecx, _cb_hi
    movl $0, _cb_cw
    fnstcw _cb_cw
    call _RecordCallback
    ret $8
)");

struct CallbackRecord {
    uint32_t userData;
    std::string code;
    double quantity;
    uint32_t cw;
};
std::vector<CallbackRecord> gCallbacks;

extern "C" {
extern uint32_t cb_eax, cb_edx, cb_lo, cb_hi, cb_cw;
// Called from the assembly callback with the registers it saw; the text is copied at once, since
// its pointer is valid only during the call.
void RecordCallback() {
    uint64_t bits = (uint64_t(cb_hi) << 32) | cb_lo;
    double q;
    std::memcpy(&q, &bits, sizeof q);
    gCallbacks.push_back({cb_eax, reinterpret_cast<const char*>(cb_edx), q, cb_cw & 0xFFFF});
}
}

constexpr uint32_t kHostCw = 0x1332;

// The bits of an x87 control word that mean something: exception masks (0-5), precision (8-9),
// rounding (10-11) and infinity (12). The processor reads the reserved bit 6 back as 1 whatever was
// loaded, while qemu's user-mode emulator keeps it as loaded: whole words differ between the two.
constexpr uint32_t Meaningful(uint32_t cw) { return cw & 0x1F3F; }

struct Funcs {
    uint32_t reserved1, termNumber, reserved2, reserved3;
    void* ops[10];  // Fini, InteractiveService, ClearData, BeginDataReading, EnumData, NextRecord,
                    // EndDataReading, BeginWareTableWriting, WriteWareTableRecord, EndWareTableWriting
};
static_assert(sizeof(Funcs) == 56);

uint32_t U(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

class HostAbiTest : public ::testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryA("DctDrv.dll");
        ASSERT_NE(module, nullptr);
        dir = sim.Folder().string();
        std::ofstream(sim.Folder() / "DctDrv.ini", std::ios::binary)
            << "[1]\r\nDCT_Port=3\r\nDCT_Rate=2\r\nDCT_type=1\r\nDCT_ID=1\r\n";
        void* init = reinterpret_cast<void*>(GetProcAddress(module, "DctInit"));
        uint32_t args[] = {U(&handle), U(&funcs), U(dir.c_str()), 1};  // pushed right to left
        ASSERT_EQ(Call(init, args, 4, true), 0);
        ASSERT_NE(funcs, nullptr);
        gCallbacks.clear();
    }
    void TearDown() override {
        if (funcs) {
            uint32_t args[] = {U(funcs), U(handle)};
            EXPECT_EQ(Call(funcs->ops[0], args, 2, true), 0);
        }
        FreeLibrary(module);
    }

    // A cdecl call (caller pops) or a register-convention call with only EAX (callee pops nothing).
    int32_t Call(void* fn, const uint32_t* push, uint32_t count, bool callerPops, uint32_t eax = 0, uint32_t edx = 0,
                 uint32_t ecx = 0) {
        AbiCallSpec frame{fn, eax, edx, ecx, push, count, callerPops ? count * 4 : 0, 0, 0, kHostCw, 0, 0};
        int32_t result = AbiCall(&frame);
        EXPECT_EQ(frame.espDelta, 0) << "stack not balanced";
        EXPECT_EQ(frame.savedOk, 1u) << "a callee-saved register changed";
        EXPECT_EQ(Meaningful(frame.cwAfter), kHostCw) << "the host's control word was not restored";
        // A flag that the host's word unmasks, left set, traps at the host's next x87 instruction on
        // the processor; the emulator may never raise it, so it is looked at here.
        EXPECT_EQ(frame.swAfter & ~kHostCw & 0x3F, 0u) << "an exception the host unmasks is pending";
        return result;
    }
    int32_t Handle1(int op) {
        uint32_t args[] = {U(handle)};
        return Call(funcs->ops[op], args, 1, true);
    }
    int32_t Handle2(int op, uint32_t flag) {
        uint32_t args[] = {flag, U(handle)};
        return Call(funcs->ops[op], args, 2, true);
    }
    int32_t EnumData(void* callback, uint32_t userData, uint32_t clearAfter) {
        uint32_t args[] = {clearAfter, userData, U(callback), U(handle)};
        return Call(funcs->ops[4], args, 4, true);
    }
    int32_t WriteRecord(const char* text2, const char* text1, uint32_t spare, double number, const char* barcodes) {
        uint32_t halves[2];
        std::memcpy(halves, &number, 8);
        // Left to right: Spare, then Number (high half first so its low half lies lower), then Barcodes.
        uint32_t args[] = {spare, halves[1], halves[0], U(barcodes)};
        return Call(funcs->ops[8], args, 4, false, U(handle), U(text2), U(text1));
    }
    int32_t EndWriting() { return Call(funcs->ops[9], nullptr, 0, false, U(handle)); }
    std::pair<int32_t, std::string> Err(int32_t max = 256) {
        void* err = reinterpret_cast<void*>(GetProcAddress(module, "DctErr"));
        int32_t code = 0;
        char text[256] = {};
        char* buffer = text;
        uint32_t args[] = {static_cast<uint32_t>(max), U(&buffer), U(&code), U(handle)};
        int32_t result = Call(err, args, 4, true);
        EXPECT_EQ(code, -6);
        return {result, text};
    }
    std::string Log() const {
        std::ifstream in(sim.Folder() / "DctDrv.log", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    struct ComThread {  // the host's apartment, before the simulator registers its class in it
        ComThread() { CoInitialize(nullptr); }
        ~ComThread() { CoUninitialize(); }
    } com;
    dct::test::TermSimFixture sim;
    HMODULE module = nullptr;
    std::string dir;
    Funcs* funcs = nullptr;
    void* handle = nullptr;
};

TEST(HostExports, SixNamesWithTheirOrdinals) {
    HMODULE module = LoadLibraryA("DctDrv.dll");
    ASSERT_NE(module, nullptr);
    const char* names[] = {"DctGetDriverInfo", "DctRemove", "DctConfigure", "DctInit", "DctErr", "LoadDctLibrary"};
    for (int ordinal = 1; ordinal <= 6; ++ordinal) {
        FARPROC byName = GetProcAddress(module, names[ordinal - 1]);
        ASSERT_NE(byName, nullptr) << names[ordinal - 1];
        EXPECT_EQ(byName, GetProcAddress(module, MAKEINTRESOURCEA(ordinal))) << names[ordinal - 1];
    }
    FreeLibrary(module);
}

TEST_F(HostAbiTest, BulkReadHandsEveryRecordToTheHostCallback) {
    sim.WriteRecords({{"4601", "2"}, {"4602", "0"}, {"4603", "0.5"}});
    EXPECT_EQ(EnumData(reinterpret_cast<void*>(&AbiCallback), 0xC0FFEE, 0), 0);
    ASSERT_EQ(gCallbacks.size(), 2u);
    EXPECT_EQ(gCallbacks[0].userData, 0xC0FFEEu);
    EXPECT_EQ(gCallbacks[0].code, "4601");
    EXPECT_EQ(gCallbacks[0].quantity, 2.0);
    EXPECT_EQ(gCallbacks[1].code, "4603");
    EXPECT_EQ(gCallbacks[1].quantity, 0.5);
    for (const auto& c : gCallbacks) EXPECT_EQ(Meaningful(c.cw), kHostCw) << "the callback must run under the host's word";
    EXPECT_EQ(sim.Records().size(), 3u);

    gCallbacks.clear();
    EXPECT_EQ(EnumData(reinterpret_cast<void*>(&AbiCallback), 1, 5), 0);  // any non-zero flag clears
    EXPECT_EQ(gCallbacks.size(), 2u);
    EXPECT_TRUE(sim.Records().empty());
}

TEST_F(HostAbiTest, StepReadingMarksEachRecordAndEndsWithAnEmptyText) {
    sim.WriteRecords({{"A1", "3"}, {"A2", "4.25"}});
    EXPECT_EQ(Handle1(3), 0);
    std::vector<std::pair<std::string, double>> got;
    for (int i = 0; i < 5; ++i) {
        const char* code = nullptr;
        double quantity = -7;
        int32_t more = 12345;
        uint32_t args[] = {U(&more), U(&quantity), U(&code), U(handle)};
        EXPECT_EQ(Call(funcs->ops[5], args, 4, true), 0);
        ASSERT_NE(code, nullptr);
        if (more == 0) {
            EXPECT_STREQ(code, "");
            EXPECT_EQ(quantity, -7);  // untouched when no record came
            break;
        }
        EXPECT_EQ(more, -1);
        got.emplace_back(code, quantity);
    }
    EXPECT_THAT(got, ElementsAre(std::make_pair(std::string("A1"), 3.0), std::make_pair(std::string("A2"), 4.25)));
    EXPECT_EQ(Handle2(6, 2), 0);  // ClearAfter 2 clears like 1
    EXPECT_TRUE(sim.Records().empty());
}

TEST_F(HostAbiTest, GoodsTableThroughTheRegisterConvention) {
    EXPECT_EQ(Handle2(7, 1), 0);
    EXPECT_EQ(WriteRecord("pcs", "Milk", 0xDEAD, 12.5, " 4601|4602:1|| 4601 "), 0);
    EXPECT_EQ(WriteRecord("", "Tea", 0, 1.0, "|||"), 0);
    EXPECT_EQ(WriteRecord(nullptr, nullptr, 0, 1.0, "77"), 0);
    EXPECT_EQ(EndWriting(), 0);
    EXPECT_THAT(sim.Table(), ElementsAre(ElementsAre("4601", "0", "Milk", "pcs"), ElementsAre("4602", "0", "Milk", "pcs"),
                                         ElementsAre("77", "0", "", "")));
}

TEST_F(HostAbiTest, ServerStatusReachesTheHostAsMinusSixWithItsText) {
    sim.WriteRecords({{"1", "1"}});
    sim.WriteFaults("[BeginReport]\nStatus=7\nDescription=No link\n");
    EXPECT_EQ(EnumData(reinterpret_cast<void*>(&AbiCallback), 0, 0), 7);
    EXPECT_TRUE(gCallbacks.empty());
    EXPECT_EQ(Handle1(3), -6);  // the step read reports GetError, not the status
    auto [result, text] = Err(4);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(text, "No ");  // max 4: three characters and the zero
    EXPECT_EQ(Err().second, "");
    EXPECT_THAT(Log(), HasSubstr("No link(7)\r\n"));
}

TEST_F(HostAbiTest, ComFailureInsideAnOperationBecomesAPendingError) {
    sim.WriteRecords({{"1", "1"}});
    sim.WriteFaults("[EndReport]\nHResult=0x80004005\nErrorInfo=Port busy.\n");
    EXPECT_EQ(EnumData(reinterpret_cast<void*>(&AbiCallback), 0, 1), -6);
    EXPECT_EQ(sim.Records().size(), 1u);  // never cleared when the read did not finish
    EXPECT_EQ(Err().second, "Port busy");
    EXPECT_THAT(Log(), HasSubstr("Port busy(-2147467259)\r\n"));
    sim.WriteFaults("");
    EXPECT_EQ(EnumData(reinterpret_cast<void*>(&AbiCallback), 0, 0), 0);  // the handle still works
}

TEST_F(HostAbiTest, BadQuantityIsReportedNotFatal) {
    sim.WriteRecords({{"1", "lots"}});
    EXPECT_EQ(EnumData(reinterpret_cast<void*>(&AbiCallback), 0, 0), -6);
    EXPECT_THAT(Err().second, HasSubstr("'lots'"));
}

TEST_F(HostAbiTest, RepeatedInitAndFiniLeaveMemoryFlat) {
    void* init = reinterpret_cast<void*>(GetProcAddress(module, "DctInit"));
    auto cycle = [&] {
        Funcs* f = nullptr;
        void* h = nullptr;
        uint32_t args[] = {U(&h), U(&f), U(dir.c_str()), 1};
        AbiCallSpec frame{init, 0, 0, 0, args, 4, 16, 0, 0, kHostCw, 0, 0};
        ASSERT_EQ(AbiCall(&frame), 0);
        uint32_t fini[] = {U(f), U(h)};
        AbiCallSpec frame2{f->ops[0], 0, 0, 0, fini, 2, 8, 0, 0, kHostCw, 0, 0};
        ASSERT_EQ(AbiCall(&frame2), 0);
    };
    for (int i = 0; i < 50; ++i) cycle();
    const long long before = dct::test::CommittedPrivateBytes();
    for (int i = 0; i < 1000; ++i) cycle();
    EXPECT_LT(dct::test::CommittedPrivateBytes() - before, 1 << 20);
}

}  // namespace
