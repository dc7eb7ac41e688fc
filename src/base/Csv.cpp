#include "base/Csv.h"

namespace dct {

std::string CsvField(std::string_view text, char separator, CsvEdgeBlanks edgeBlanks) {
    bool quote = edgeBlanks == CsvEdgeBlanks::Quoted && !text.empty() && (text.front() == ' ' || text.back() == ' ');
    for (char c : text) quote = quote || c == separator || c == '"' || c == '\r' || c == '\n';
    return quote ? CsvQuoted(text) : std::string(text);
}

std::string CsvQuoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

}  // namespace dct
