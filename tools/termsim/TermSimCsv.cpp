#include "TermSimCsv.h"

#include "base/Csv.h"
#include "base/Utf.h"

namespace dct::termsim {
namespace {

constexpr auto npos = std::string_view::npos;

// The quote that closes one opened just before `from` (a doubled quote is a quote inside), or npos.
std::size_t ClosingQuote(std::string_view text, std::size_t from) {
    for (std::size_t j = from; j < text.size(); ++j) {
        if (text[j] != '"') continue;
        if (j + 1 < text.size() && text[j + 1] == '"') {
            ++j;
            continue;
        }
        return j;
    }
    return npos;
}

// One record from text[i], i left after it. With `breaksEnd` a line break outside quotes ends the
// record (and a CR before it goes); without, the text is one line whatever it holds.
Record ReadRecord(std::string_view text, std::size_t& i, bool breaksEnd) {
    Record fields;
    std::string field;
    for (;;) {
        field.clear();
        if (i < text.size() && text[i] == '"') {
            const std::size_t close = ClosingQuote(text, i + 1);
            if (close == npos) {
                // Never closed: the rest of the line, separators included, as one line always read.
                std::size_t end = breaksEnd ? text.find('\n', i) : npos;
                if (end == npos) end = text.size();
                field.assign(text.substr(i + 1, end - i - 1));
                if (breaksEnd && !field.empty() && field.back() == '\r') field.pop_back();
                i = end;
            } else {
                for (std::size_t j = i + 1; j < close; ++j) {
                    field.push_back(text[j]);
                    if (text[j] == '"') ++j;  // the doubled quote's second half
                }
                i = close + 1;
            }
        }
        // Anything between a closing quote and the separator belongs to the field as well.
        const std::size_t tail = field.size();
        while (i < text.size() && text[i] != ';' && !(breaksEnd && text[i] == '\n'))
            field.push_back(text[i++]);
        if (breaksEnd && field.size() > tail && field.back() == '\r') field.pop_back();
        fields.push_back(Utf8ToUtf16(field));
        if (i >= text.size()) break;
        if (text[i++] == '\n') break;  // else the separator
    }
    return fields;
}

}  // namespace

std::string JoinCsvLine(const Record& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) line.push_back(';');
        line += CsvField(Utf16ToUtf8(fields[i]), ';');
    }
    return line;
}

Record SplitCsvLine(std::string_view line) {
    std::size_t i = 0;
    return ReadRecord(line, i, false);
}

std::vector<Record> SplitCsvRecords(std::string_view text) {
    std::vector<Record> records;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] == '\n'))) {
            ++i;  // an empty line
            continue;
        }
        records.push_back(ReadRecord(text, i, true));
    }
    return records;
}

}  // namespace dct::termsim
