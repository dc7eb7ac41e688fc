// How the dialogs show a failure that a click handler raised.
#pragma once

#include "base/Exceptions.h"

namespace dct {

// The message, with a full stop added unless it ends in one (or in another character that sorts
// at or below it), as the host's user-interface framework shows exceptions.
inline AnsiString FormErrorText(const AnsiString& message) {
    AnsiString text = message;
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text.push_back('.');
    return text;
}

}  // namespace dct
