// Owner types for Win32 handles: the invalid value is part of the type, cleanup is never written by hand.
#pragma once

#include <windows.h>

#include <utility>

namespace dct::platform {

template <typename Traits>
class UniqueAny {
public:
    using pointer = typename Traits::pointer;
    UniqueAny() = default;
    explicit UniqueAny(pointer value) : value_(value) {}
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    ~UniqueAny() { reset(); }

    pointer get() const { return value_; }
    explicit operator bool() const { return value_ != Traits::Invalid(); }
    pointer release() { return std::exchange(value_, Traits::Invalid()); }
    void reset(pointer value = Traits::Invalid()) {
        // Cleanup must not disturb the caller's view of the failure that led here.
        DWORD lastError = GetLastError();
        if (value_ != Traits::Invalid()) Traits::Close(value_);
        value_ = value;
        SetLastError(lastError);
    }

private:
    pointer value_ = Traits::Invalid();
};

struct FileHandleTraits {
    using pointer = HANDLE;
    static pointer Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(pointer h) { CloseHandle(h); }
};
using UniqueHandle = UniqueAny<FileHandleTraits>;

// Kernel objects that signal failure with a null handle (mutexes, events, processes).
struct KernelHandleTraits {
    using pointer = HANDLE;
    static pointer Invalid() { return nullptr; }
    static void Close(pointer h) { CloseHandle(h); }
};
using UniqueKernelHandle = UniqueAny<KernelHandleTraits>;

// A mutex the calling thread has waited for and holds: released, then closed.
struct HeldMutexTraits {
    using pointer = HANDLE;
    static pointer Invalid() { return nullptr; }
    static void Close(pointer h) {
        ReleaseMutex(h);
        CloseHandle(h);
    }
};
using UniqueHeldMutex = UniqueAny<HeldMutexTraits>;

struct RegKeyTraits {
    using pointer = HKEY;
    static pointer Invalid() { return nullptr; }
    static void Close(pointer h) { RegCloseKey(h); }
};
using UniqueRegKey = UniqueAny<RegKeyTraits>;

struct ModuleTraits {
    using pointer = HMODULE;
    static pointer Invalid() { return nullptr; }
    static void Close(pointer h) { FreeLibrary(h); }
};
using UniqueModule = UniqueAny<ModuleTraits>;

// Memory the system allocated for the caller with LocalAlloc (FormatMessage's text,
// CommandLineToArgvW's list).
template <typename Pointer>
struct LocalMemoryTraits {
    using pointer = Pointer;
    static pointer Invalid() { return nullptr; }
    static void Close(pointer p) { LocalFree(p); }
};
template <typename Pointer>
using UniqueLocalMemory = UniqueAny<LocalMemoryTraits<Pointer>>;

}  // namespace dct::platform
