// Owners of what a COM server registers for its clients: a class object (CoRegisterClassObject) and
// an entry in the running-object table (RegisterActiveObject). Each is revoked when its owner goes or
// is reset; an owner that holds no cookie revokes nothing.
#pragma once

#include <optional>
#include <utility>

#include "ComBase.h"

namespace dct::platform {

template <typename Traits>
class UniqueComRegistration {
public:
    UniqueComRegistration() = default;
    explicit UniqueComRegistration(DWORD cookie) : cookie_(cookie) {}
    UniqueComRegistration(UniqueComRegistration&& other) noexcept : cookie_(std::exchange(other.cookie_, {})) {}
    UniqueComRegistration& operator=(UniqueComRegistration&& other) noexcept {
        if (this != &other) {
            reset();
            cookie_ = std::exchange(other.cookie_, {});
        }
        return *this;
    }
    UniqueComRegistration(const UniqueComRegistration&) = delete;
    UniqueComRegistration& operator=(const UniqueComRegistration&) = delete;
    ~UniqueComRegistration() { reset(); }

    explicit operator bool() const { return cookie_.has_value(); }
    void reset() {
        if (const std::optional<DWORD> cookie = std::exchange(cookie_, {})) Traits::Revoke(*cookie);
    }

private:
    std::optional<DWORD> cookie_;
};

struct ClassObjectTraits {
    static void Revoke(DWORD cookie) { CoRevokeClassObject(cookie); }
};
using ClassObjectRegistration = UniqueComRegistration<ClassObjectTraits>;

struct RunningObjectTraits {
    static void Revoke(DWORD cookie) { RevokeActiveObject(cookie, nullptr); }
};
using RunningObjectRegistration = UniqueComRegistration<RunningObjectTraits>;

}  // namespace dct::platform
