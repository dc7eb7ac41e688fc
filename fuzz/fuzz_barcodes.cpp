// ExtractBarcodesFromString against a plain reading of its rules: split on '|', trim codes 0..32,
// cut at the first ':', trim again, keep the first of entries equal without regard to letter case
// (compared pair by pair here), in order of first appearance.
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "boundary/dctDrvUtils.h"
#include "platform/Codepage.h"

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
    return s;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && dct::platform::AnsiLowerCase(a) == dct::platform::AnsiLowerCase(b);
}

std::vector<std::string> Reference(std::string_view text) {
    std::vector<std::string> list;
    std::string_view rest = text;
    for (;;) {
        const std::size_t bar = rest.find('|');
        std::string_view item = Trim(rest.substr(0, bar));
        if (const std::size_t colon = item.find(':'); colon != std::string_view::npos) item = Trim(item.substr(0, colon));
        bool seen = false;
        for (const std::string& entry : list) seen = seen || SameIgnoringCase(entry, item);
        if (!item.empty() && !seen) list.emplace_back(item);
        if (bar == std::string_view::npos) break;
        rest.remove_prefix(bar + 1);
    }
    return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> got = dct::ExtractBarcodesFromString(text);
    const std::vector<std::string> want = Reference(text);
    if (got != want) {
        fprintf(stderr, "got %zu entries, reference %zu\n", got.size(), want.size());
        std::abort();
    }
    return 0;
}
