// The terminal server of a replay: an object that answers every call of the library from the
// recording, strictly in order. A call that is not the one the recording has next, or that has other
// arguments, is the replay's divergence; it and every call after it fail (E_FAIL), so that the
// library stops where it went another way.
#pragma once

#include <string>

#include "ComBase.h"
#include "replay/Script.h"

namespace dcthost::replay {

// A new server over the script, one reference.
IUnknown* NewReplayServer(Script& script, int* serverCalls);

// An event of the recording as a call: "GetField(1)", "connect".
std::string CallOf(const Event& event);

}  // namespace dcthost::replay
