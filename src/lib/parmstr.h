// The parameter string that carries a terminal's settings into a driver:
// "KEY:value;KEY:value", ';' inside a value escaped as "\;", keys compared without regard to case.
#pragma once

#include <string>
#include <string_view>

#include "base/Exceptions.h"

namespace dct {

class TParametersString {
public:
    explicit TParametersString(AnsiString text = {}) : FText(std::move(text)) {}

    const AnsiString& Text() const { return FText; }

    // The value of the first pair whose key matches `name` (key trimmed of codes 0..32, both
    // lowercased; the name itself is not trimmed); `fallback` when no pair matches.
    AnsiString GetParam(std::string_view name, std::string_view fallback) const;
    // Appends one pair; never replaces an existing one.
    void AddParam(std::string_view name, std::string_view value);

private:
    AnsiString FText;
};

// Advances the 1-based pair cursor: end moves one on and start takes it, then end runs to the next
// separator (a ';' at position 1 or not preceded by '\') or one past the text.
void FindSemicolon(std::string_view text, std::size_t& start, std::size_t& end);
// "\;" -> ";"; everything else is copied unchanged.
AnsiString UnescapeSemicolon(std::string_view value);
// A lowercased copy with the platform's 8-bit mapping.
AnsiString AsLowercase(std::string_view text);

}  // namespace dct
