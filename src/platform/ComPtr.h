// Owner types for COM references and COM strings, the same on every platform.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "ComBase.h"

namespace dct::platform {

// One owned reference to an interface; Release when it goes or is replaced.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference that the caller already owns (no AddRef).
    static ComPtr Attach(T* raw) {
        ComPtr p;
        p.ptr_ = raw;
        return p;
    }
    // Shares a reference: AddRef.
    static ComPtr Share(T* raw) {
        if (raw) raw->AddRef();
        return Attach(raw);
    }
    ComPtr(const ComPtr& other) : ptr_(other.ptr_) {
        if (ptr_) ptr_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(ptr_, other.ptr_);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    T* detach() { return std::exchange(ptr_, nullptr); }
    void reset() {
        if (T* p = std::exchange(ptr_, nullptr)) p->Release();
    }
    // For functions that hand out a new reference through T**: whatever was held is released first.
    T** put() {
        reset();
        return &ptr_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

private:
    T* ptr_ = nullptr;
};

// One owned COM string; SysFreeString when it goes. A null BSTR is an empty string.
class UniqueBstr {
public:
    UniqueBstr() = default;
    explicit UniqueBstr(BSTR raw) : raw_(raw) {}
    UniqueBstr(UniqueBstr&& other) noexcept : raw_(std::exchange(other.raw_, nullptr)) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept {
        if (this != &other) reset(std::exchange(other.raw_, nullptr));
        return *this;
    }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    ~UniqueBstr() { reset(); }

    // A copy of the text; null only when memory ran out.
    static UniqueBstr FromUtf16(std::u16string_view text) {
        return UniqueBstr(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                            static_cast<UINT>(text.size())));
    }

    BSTR get() const { return raw_; }
    BSTR release() { return std::exchange(raw_, nullptr); }
    void reset(BSTR raw = nullptr) {
        if (raw_) SysFreeString(raw_);
        raw_ = raw;
    }
    BSTR* put() {
        reset();
        return &raw_;
    }
    // The characters up to the stored length (embedded zeros included).
    std::u16string_view view() const {
        if (!raw_) return {};
        return {reinterpret_cast<const char16_t*>(raw_), SysStringLen(raw_)};
    }

private:
    BSTR raw_ = nullptr;
};

}  // namespace dct::platform
