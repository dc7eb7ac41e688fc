// Registering an object in the running-object table for the terminal server's class.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ComBase.h"
#include "drv/dct/drivers/opticon_zebex/AddIn_TLB.h"

namespace dct::test {

// Wine serves the running-object table through its RPC service, which in a freshly made prefix may
// be unavailable for a while or for good (RPC_S_SERVER_UNAVAILABLE). Waits up to about 15 s for it;
// returns that status if it never came, so the caller can skip rather than fail on the environment.
inline constexpr HRESULT kRpcServerUnavailable = static_cast<HRESULT>(0x800706BA);

inline HRESULT RegisterRunningTerminals(IUnknown* object, DWORD* cookie) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    HRESULT hr;
    do {
        hr = RegisterActiveObject(object, CLSID_Terminals, ACTIVEOBJECT_STRONG, cookie);
        if (hr != kRpcServerUnavailable) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    } while (std::chrono::steady_clock::now() < deadline);
    return hr;
}

}  // namespace dct::test

// Registers or skips the current test when the platform's running-object table is not reachable.
#define DCT_REGISTER_RUNNING_OR_SKIP(object, cookie)                                                   \
    do {                                                                                               \
        HRESULT dctRegisterHr = ::dct::test::RegisterRunningTerminals((object), (cookie));             \
        if (dctRegisterHr == ::dct::test::kRpcServerUnavailable)                                       \
            GTEST_SKIP() << "the running-object table is not reachable here (RPC service unavailable)"; \
        ASSERT_EQ(dctRegisterHr, S_OK);                                                                \
    } while (0)
