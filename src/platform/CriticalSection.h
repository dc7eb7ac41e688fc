// A process-wide lock that the owning thread may enter again (an operating-system critical section
// on win32, a recursive mutex on posix). Usable from static initialisation on, without the
// standard library's threading support.
#pragma once

namespace dct::platform {

class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter();
    void Leave();

private:
    alignas(8) unsigned char storage_[64];
};

class CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CriticalSection& lock) : lock_(lock) { lock_.Enter(); }
    ~CriticalSectionGuard() { lock_.Leave(); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

private:
    CriticalSection& lock_;
};

}  // namespace dct::platform
