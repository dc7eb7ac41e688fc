// A terminal server that can be lost at a chosen call, for tests of what a driver does when the
// server's process ends or the link to it breaks in the middle of its work.
//
// Every object the driver connects to is a new simulator object (the fixture's device folder)
// behind a thin wrapper. Calls are counted over all connections; the call numbered `loseAt` does not
// reach the simulator and fails with `lossStatus`, as a call does whose server ends during it, and
// every later call through that same object fails with 0x800706BA, as a dead proxy's calls do. The
// next connection reaches a new simulator object, as a new server process would be.
#pragma once

#include <string>
#include <vector>

#include "ComBase.h"
#include "support/FakeEnv.h"

namespace dct::test {

struct ServerLink {
    int loseAt = -1;     // -1: nothing is lost
    std::string loseOn;  // or: the server is lost at the loseOnNth call of this name
    int loseOnNth = 1;
    HRESULT lossStatus = static_cast<HRESULT>(0x800706BE);
    int calls = 0;                     // made so far, failed ones included
    std::vector<std::string> reached;  // the names of the calls that reached a server, in order
    int lostAfter = -1;                // reached.size() when the server was lost, -1 while it was not
    int seenOn_ = 0;                   // calls named loseOn so far

    // The calls that reached a server after the loss (all of them while nothing was lost).
    std::vector<std::string> ReachedAfterLoss() const {
        return {reached.begin() + (lostAfter < 0 ? 0 : lostAfter), reached.end()};
    }
};

// A FakeEnv whose terminal-server activation goes through `link`.
class LossyServerEnv : public FakeEnv {
public:
    ServerLink link;
    HRESULT GetActiveOrCreateObject(REFCLSID clsid, IUnknown** object) override;
};

}  // namespace dct::test
