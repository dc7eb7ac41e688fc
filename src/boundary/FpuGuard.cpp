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

// The host's word at the innermost boundary entry of this thread; calls into the host use it.
thread_local uint16_t tHostWord = 0;

}  // namespace

FpuGuard::FpuGuard() : host_(ReadControlWord()), previousHost_(tHostWord) {
    tHostWord = host_;
    LoadControlWord(host_ | kAllExceptionsMasked);
}

FpuGuard::~FpuGuard() {
    LoadControlWord(host_);
    tHostWord = previousHost_;
}

FpuGuard::HostWordScope::HostWordScope() : saved(ReadControlWord()) { LoadControlWord(tHostWord); }

FpuGuard::HostWordScope::~HostWordScope() { LoadControlWord(saved); }

}  // namespace dct
