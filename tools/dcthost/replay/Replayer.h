// Replaying a recording through a build of the driver library: every recorded host call made again
// with its recorded arguments, every server call answered from the recording, and everything the
// host saw compared. The settings the terminals were opened with are rebuilt in a folder of its
// own; nothing of the machine's registration changes (the replay's server is offered in the
// running-object table of this process).
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "replay/RecordingFile.h"
#include "replay/Script.h"

namespace dcthost::replay {

struct ReplayOptions {
    std::string library;                // the library to load (name or path)
    std::optional<int32_t> terminal;    // only the calls for this terminal number
    std::optional<int64_t> until;       // only the host calls up to this sequence number
};

struct ReplayOutcome {
    int hostCalls = 0;    // made again and compared
    int serverCalls = 0;  // answered from the recording
    int notReplayed = 0;  // dialogs passed over
    std::optional<Divergence> divergence;
    std::string failure;  // the library could not be loaded, or the replay could not be set up
};

ReplayOutcome Replay(const RecordingFile& recording, const ReplayOptions& options);

// The report of a replay as dcthost prints it; the program's exit status (0 identical, 1 diverged or
// could not run).
int Report(const RecordingFile& recording, const ReplayOutcome& outcome, std::ostream& out);

}  // namespace dcthost::replay
