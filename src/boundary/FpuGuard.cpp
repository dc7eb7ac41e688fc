#include "boundary/DctBoundary.h"

namespace dct {
namespace {

#if defined(__i386__) || defined(__x86_64__)
uint16_t ReadControlWord() {
    uint16_t word;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}
void LoadControlWord(uint16_t word) {
    // Pending exception flags would fire at the next floating-point instruction once the host's
    // unmasked word is back, so they are cleared first.
    asm volatile("fnclex\n\tfldcw %0" : : "m"(word));
}
#else
uint16_t ReadControlWord() { return 0; }
void LoadControlWord(uint16_t) {}
#endif

constexpr uint16_t kAllExceptionsMasked = 0x003F;

}  // namespace

uint16_t FpuGuard::CurrentWord() { return ReadControlWord(); }

FpuGuard::FpuGuard() : host_(ReadControlWord()) { LoadControlWord(host_ | kAllExceptionsMasked); }

FpuGuard::~FpuGuard() { LoadControlWord(host_); }

FpuGuard::HostWordScope::HostWordScope(uint16_t hostWord) : saved(ReadControlWord()) { LoadControlWord(hostWord); }

FpuGuard::HostWordScope::~HostWordScope() { LoadControlWord(saved); }

}  // namespace dct
