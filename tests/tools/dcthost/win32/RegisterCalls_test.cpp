// The hand-written register-convention thunks against functions that GCC compiles for that convention
// (regparm + stdcall, stack arguments declared in reverse): both sides must agree on every argument
// and on who pops what.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "HostCalls.h"

namespace {

struct Seen {
    void* handle;
    std::string text2, text1, barcodes;
    double number;
    int32_t spare;
} seen;

int32_t __attribute__((regparm(3), stdcall)) FakeWrite(void* handle, const char* text2, const char* text1,
                                                       const char* barcodes, double number, int32_t spare) {
    seen = {handle, text2, text1, barcodes, number, spare};
    return 42;
}

int32_t __attribute__((regparm(1), stdcall)) FakeEnd(void* handle) { return handle ? 7 : -9; }

struct Record {
    int32_t userData = 0;
    std::string code;
    double quantity = 0;
    int calls = 0;
} record;

using Callback = void(__attribute__((regparm(2), stdcall))*)(int32_t, const char*, double);

}  // namespace

extern "C" void DctHostOnEnumRecord(int32_t userData, const char* code, double quantity) noexcept {
    record.userData = userData;
    record.code = code;
    record.quantity = quantity;
    ++record.calls;
}

TEST(RegisterCalls, WriteRecordDeliversEveryArgumentAndBalancesTheStack) {
    int handle = 0;
    const int32_t rc = dcthost::CallWriteWareTableRecord(reinterpret_cast<void*>(&FakeWrite), &handle, "t2", "t1",
                                                         0x5A5A5A5A, 1234.5, "4601|4602");
    EXPECT_EQ(rc, 42);
    EXPECT_EQ(seen.handle, &handle);
    EXPECT_EQ(seen.text2, "t2");
    EXPECT_EQ(seen.text1, "t1");
    EXPECT_EQ(seen.barcodes, "4601|4602");
    EXPECT_EQ(seen.number, 1234.5);
    EXPECT_EQ(seen.spare, 0x5A5A5A5A);
    EXPECT_EQ(dcthost::LastStackImbalance(), 0);
}

TEST(RegisterCalls, EndWritingTakesTheHandleInEax) {
    int handle = 0;
    EXPECT_EQ(dcthost::CallEndWareTableWriting(reinterpret_cast<void*>(&FakeEnd), &handle), 7);
    EXPECT_EQ(dcthost::LastStackImbalance(), 0);
}

TEST(RegisterCalls, TheCallbackReceivesWhatARegisterCallerPasses) {
    auto callback = reinterpret_cast<Callback>(dcthost::EnumCallbackAddress());
    // Called repeatedly: a callback that popped the wrong amount would corrupt this frame quickly.
    for (int i = 0; i < 100; ++i) callback(0x44435448, "4601234567890", 1.25 + i);
    EXPECT_EQ(record.calls, 100);
    EXPECT_EQ(record.userData, 0x44435448);
    EXPECT_EQ(record.code, "4601234567890");
    EXPECT_EQ(record.quantity, 100.25);
}
