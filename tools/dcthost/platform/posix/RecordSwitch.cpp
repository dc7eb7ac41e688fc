#include "replay/RecordSwitch.h"

namespace dcthost::replay {

// The switch lives in the Windows registry, which the library reads there only.
bool WriteRecordSwitch(const std::string&, std::string* error) {
    if (error) *error = "recording is switched in the Windows registry; there is none here";
    return false;
}

}  // namespace dcthost::replay
