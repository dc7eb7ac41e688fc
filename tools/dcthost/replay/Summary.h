// What a recording holds, as a technician reads it: terminal by terminal, each read and table write
// with its records, each clear, and every failure with its code, its text and the time.
#pragma once

#include <ostream>

#include "replay/RecordingFile.h"

namespace dcthost::replay {

void Summarize(const RecordingFile& recording, std::ostream& out);

}  // namespace dcthost::replay
