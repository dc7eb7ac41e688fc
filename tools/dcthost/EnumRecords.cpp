#include "EnumRecords.h"

#include "HostCalls.h"

namespace dcthost {
namespace {

EnumRecordSink* g_current = nullptr;

}  // namespace

EnumRecordScope::EnumRecordScope(EnumRecordSink& sink) : previous_(g_current) { g_current = &sink; }

EnumRecordScope::~EnumRecordScope() { g_current = previous_; }

}  // namespace dcthost

// The bulk read's per-record procedure, reached through the thunk of HostCalls.h: dcthost's own
// code runs with its own floating-point word.
extern "C" void DctHostOnEnumRecord(int32_t userData, const char* code, double quantity) noexcept {
    dcthost::OwnFpuWord fpu;
    if (dcthost::g_current) dcthost::g_current->Record(userData, code, quantity);
}
