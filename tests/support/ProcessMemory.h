// The memory a Windows process has committed for itself, for tests that look for leaks.
#pragma once

#include <windows.h>

namespace dct::test {

// The sum of the committed private regions of the address space, as Wine's own map of the process
// gives them: counted the same way whether 32-bit code runs on the processor or under qemu. The process
// counters (PrivateUsage) are no substitute: they read 0 under emulation, and where 32-bit code runs
// natively they come from the host's figures for the whole Wine process, not from these commits.
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

// The bytes held in allocated blocks of every heap of the process (the C runtime's, COM's task
// allocator's and the process heap among them). Unlike committed memory, which a heap keeps after
// blocks are freed and so hides small leaks, this counts every block still held.
inline long long HeapBytesInUse() {
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    long long total = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += static_cast<long long>(entry.cbData);
        HeapUnlock(heaps[i]);
    }
    return total;
}

}  // namespace dct::test
