// The reference counting and interface lookup that every COM object of ours shares: the recorder's
// stand-in for the terminal server, the simulator's objects, the replay server.
#pragma once

#include <atomic>

#include "ComBase.h"

namespace dct::platform {

// A COM object implementing `Interfaces`, counted from one for its creator and deleted when the last
// reference goes. `Derived` answers Find(iid) with the interface pointer of `this` for an id it
// implements, or null.
template <typename Derived, typename... Interfaces>
class ComObject : public Interfaces... {
  public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT __stdcall QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = static_cast<Derived*>(this)->Find(riid);
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG __stdcall AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG __stdcall Release() override {
        const long n = --refs_;
        if (n == 0) delete static_cast<Derived*>(this);
        return static_cast<ULONG>(n);
    }

  protected:
    ~ComObject() = default;

  private:
    std::atomic<long> refs_{1};
};

}  // namespace dct::platform
