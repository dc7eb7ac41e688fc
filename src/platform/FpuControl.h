// The x87 floating-point control word, which a host of the library and the library itself each set
// for their own code: a station's host runs with invalid operation, division by zero and overflow
// unmasked, the library's code with every exception masked. Where there is no x87 unit, the word
// reads as 0 and loading one does nothing.
#pragma once

#include <cstdint>

namespace dct::platform {

// The exception mask bits of the word (precision, underflow, overflow, zero divide, denormal, invalid).
inline constexpr uint16_t kFpuExceptionMasks = 0x003F;

#if defined(__i386__) || defined(__x86_64__)
inline uint16_t ReadFpuControlWord() {
    uint16_t word;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}
inline void LoadFpuControlWord(uint16_t word) {
    // Pending exception flags would fire at the next floating-point instruction once a word that
    // unmasks them is in force, so they are cleared first.
    asm volatile("fnclex\n\tfldcw %0" : : "m"(word));
}
#else
inline uint16_t ReadFpuControlWord() { return 0; }
inline void LoadFpuControlWord(uint16_t) {}
#endif

struct MaskAllFpuExceptions {};

// A control word in force while it lives; the word it found comes back when it goes.
class FpuWordScope {
public:
    explicit FpuWordScope(uint16_t word) : saved_(ReadFpuControlWord()) { LoadFpuControlWord(word); }
    // The word found, with every exception masked.
    explicit FpuWordScope(MaskAllFpuExceptions) : saved_(ReadFpuControlWord()) {
        LoadFpuControlWord(saved_ | kFpuExceptionMasks);
    }
    ~FpuWordScope() { LoadFpuControlWord(saved_); }
    FpuWordScope(const FpuWordScope&) = delete;
    FpuWordScope& operator=(const FpuWordScope&) = delete;

    // The word in force when the scope began.
    uint16_t Found() const { return saved_; }

private:
    uint16_t saved_;
};

}  // namespace dct::platform
