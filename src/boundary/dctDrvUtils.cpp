#include "boundary/dctDrvUtils.h"

#include <unordered_set>

#include "base/SysUtils.h"
#include "platform/Codepage.h"

namespace dct {

std::vector<std::string> ExtractBarcodesFromString(std::string_view text) {
    std::vector<std::string> list;
    // Lowercased spellings already taken: the duplicate check stays linear in the list's length.
    std::unordered_set<std::string> seen;
    std::size_t pos = 0;
    const std::size_t length = text.size();
    // Leading separators; the last character is left for the loop, like the rest of the text.
    while (pos + 1 < length && text[pos] == '|') ++pos;
    while (pos < length) {
        std::size_t end = text.find('|', pos);
        if (end == std::string_view::npos) end = length;
        std::string_view item = TrimCtl(text.substr(pos, end - pos));
        if (std::size_t colon = item.find(':'); colon != std::string_view::npos) item = TrimCtl(item.substr(0, colon));
        if (!item.empty() && seen.insert(platform::AnsiLowerCase(item)).second) list.emplace_back(item);
        pos = end + 1;
        while (pos < length && text[pos] == '|') ++pos;
    }
    return list;
}

}  // namespace dct
