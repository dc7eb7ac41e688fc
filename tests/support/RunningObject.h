// Registering an object in the running-object table for the terminal server's class.
#pragma once

#include <gtest/gtest.h>

#include <chrono>

#include "ComBase.h"
#include "TermSim.h"

namespace dct::test {

// Wine serves the running-object table through its RPC service, which in a freshly made prefix may
// be unavailable for a while or for good (RPC_S_SERVER_UNAVAILABLE). Waits up to about 15 s for it;
// returns that status if it never came, so the caller can skip rather than fail on the environment.
inline HRESULT RegisterRunningTerminals(IUnknown* object, platform::RunningObjectRegistration* registration) {
    return termsim::RegisterRunning(object, ACTIVEOBJECT_STRONG, std::chrono::seconds(15), registration);
}

}  // namespace dct::test

// Registers or skips the current test when the platform's running-object table is not reachable.
#define DCT_REGISTER_RUNNING_OR_SKIP(object, registration)                                             \
    do {                                                                                               \
        HRESULT dctRegisterHr = ::dct::test::RegisterRunningTerminals((object), (registration));       \
        if (dctRegisterHr == ::dct::termsim::kRpcServerUnavailable)                                    \
            GTEST_SKIP() << "the running-object table is not reachable here (RPC service unavailable)"; \
        ASSERT_EQ(dctRegisterHr, S_OK);                                                                \
    } while (0)
