// The memory a Windows process has committed for itself, for tests that look for leaks.
#pragma once

#include <windows.h>

namespace dct::test {

// The sum of the committed private regions of the address space. Wine keeps this exact whatever it
// runs on, whereas the process counters (PrivateUsage) read 0 when 32-bit code runs under emulation.
inline long long CommittedPrivateBytes() {
    long long total = 0;
    MEMORY_BASIC_INFORMATION info;
    const char* at = nullptr;
    while (VirtualQuery(at, &info, sizeof info) == sizeof info) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += static_cast<long long>(info.RegionSize);
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= at) break;  // the top of the address space
        at = next;
    }
    return total;
}

}  // namespace dct::test
