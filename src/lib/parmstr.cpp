#include "lib/parmstr.h"

#include "base/SysUtils.h"
#include "platform/Codepage.h"

namespace dct {
namespace {

// Positions are 1-based, as the format's rules are written.
bool IsSeparator(std::string_view text, std::size_t pos) {
    if (text[pos - 1] != ';') return false;
    return pos == 1 || text[pos - 2] != '\\';
}

}  // namespace

void FindSemicolon(std::string_view text, std::size_t& start, std::size_t& end) {
    ++end;
    start = end;
    while (end <= text.size() && !IsSeparator(text, end)) ++end;
}

AnsiString UnescapeSemicolon(std::string_view value) {
    if (value.find("\\;") == std::string_view::npos) return AnsiString(value);
    AnsiString out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == ';') {
            out.push_back(';');
            ++i;
        } else {
            out.push_back(value[i]);
        }
    }
    return out;
}

AnsiString AsLowercase(std::string_view text) { return platform::AnsiLowerCase(text); }

AnsiString TParametersString::GetParam(std::string_view name, std::string_view fallback) const {
    const std::string_view text = FText;
    if (text.empty()) return AnsiString(fallback);
    const AnsiString wanted = AsLowercase(name);
    std::size_t start = 0, end = 0;
    FindSemicolon(text, start, end);
    while (start <= text.size()) {
        // The key ends at the first ':' from the pair's second character on.
        std::size_t colon = start + 1;
        while (colon < end && text[colon - 1] != ':') ++colon;
        if (colon <= end) {
            const bool found = colon < end;
            const std::size_t keyEnd = found ? colon : end;  // exclusive, 1-based
            std::string_view key = text.substr(start - 1, keyEnd - start);
            if (AsLowercase(TrimCtl(key)) == wanted) {
                if (!found) return {};
                return UnescapeSemicolon(text.substr(colon, end - colon - 1));
            }
        }
        FindSemicolon(text, start, end);
    }
    return AnsiString(fallback);
}

void TParametersString::AddParam(std::string_view name, std::string_view value) {
    if (!FText.empty()) FText.push_back(';');
    FText.append(name);
    FText.push_back(':');
    if (value.find(';') == std::string_view::npos) {
        FText.append(value);
        return;
    }
    for (char c : value) {
        if (c == ';') FText.push_back('\\');
        FText.push_back(c);
    }
}

}  // namespace dct
