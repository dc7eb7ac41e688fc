// The environment a recorded terminal's driver is made with: the real one, except that the terminal
// server it reaches stands behind an object that records each call, its arguments, what it handed
// out, its status and the server's description of a failure, and passes everything on unchanged.
// Starting or attaching to the server is recorded too ("connect", and "query" when the object has
// no ITerminals), so that a replay can fail there as the station did.
#pragma once

#include "boundary/Recording.h"
#include "platform/Env.h"

namespace dct::recording {

class RecordingEnv final : public platform::EnvWrapper {
public:
    RecordingEnv(platform::Env& target, Recording& recording, int instance)
        : EnvWrapper(target), recording_(recording), instance_(instance) {}

    HRESULT GetActiveOrCreateObject(REFCLSID clsid, IUnknown** object) override;

private:
    Recording& recording_;
    int instance_;
};

}  // namespace dct::recording
