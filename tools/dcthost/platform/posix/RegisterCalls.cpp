// x86_64 and other 64-bit targets: the library's operations use the platform's one convention.
// The native library declares the goods-record operation with its stack arguments in the order the
// 32-bit convention lays them out (handle, Text2, Text1, Barcodes, Number, Spare), so that is the
// parameter order of the call here.
#include "HostCalls.h"

namespace dcthost {
namespace {

using WriteRecordFn = int32_t (*)(DctHandle, const char*, const char*, const char*, double, int32_t);
using EndWritingFn = int32_t (*)(DctHandle);

void EnumCallback(int32_t userData, const char* code, double quantity) {
    DctHostOnEnumRecord(userData, code, quantity);
}

}  // namespace

int32_t CallWriteWareTableRecord(void* operation, DctHandle handle, const char* text2, const char* text1,
                                 int32_t spare, double number, const char* barcodes) {
    return reinterpret_cast<WriteRecordFn>(operation)(handle, text2, text1, barcodes, number, spare);
}

int32_t CallEndWareTableWriting(void* operation, DctHandle handle) {
    return reinterpret_cast<EndWritingFn>(operation)(handle);
}

int32_t LastStackImbalance() { return 0; }

void* EnumCallbackAddress() { return reinterpret_cast<void*>(&EnumCallback); }

// One convention for the host and the library, with no control word of the host's to keep.
HostFpuWord::HostFpuWord() = default;
OwnFpuWord::OwnFpuWord() = default;

}  // namespace dcthost
