#include "HostCsv.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace dcthost {
namespace {

std::string_view TrimControls(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
    return text;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool RowIsBlank(const CsvRow& row) { return row.fields.size() == 1 && TrimControls(row.fields[0]).empty(); }

}  // namespace

std::vector<CsvRow> ParseCsv(std::string_view text, char separator, std::vector<CsvProblem>* problems) {
    std::vector<CsvRow> rows;
    CsvRow row;
    std::string field;
    int line = 1;
    row.line = 1;
    bool quoted = false, fieldWasQuoted = false, any = false;
    auto endRow = [&] {
        row.fields.push_back(std::move(field));
        field.clear();
        if (!RowIsBlank(row) || fieldWasQuoted) rows.push_back(std::move(row));
        row = CsvRow{};
        fieldWasQuoted = false;
        any = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field.push_back('"');
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
                field.push_back(c);
            }
            continue;
        }
        if (!any) row.line = line;
        if (c == '"' && field.empty() && !fieldWasQuoted) {
            quoted = fieldWasQuoted = any = true;
        } else if (c == separator) {
            row.fields.push_back(std::move(field));
            field.clear();
            fieldWasQuoted = false;
            any = true;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            endRow();
            ++line;
        } else {
            field.push_back(c);
            any = true;
        }
    }
    if (quoted) {
        const bool endsInBreak = !text.empty() && (text.back() == '\n' || text.back() == '\r');
        const int last = endsInBreak ? line - 1 : line;
        if (problems)
            problems->push_back({row.line,
                                 "a quoted field opened here is never closed, so lines " +
                                     std::to_string(row.line) + " to " + std::to_string(last) +
                                     " cannot be read",
                                 true});
        return rows;
    }
    if (any || !field.empty()) endRow();
    return rows;
}

std::vector<std::string> BarcodesOf(std::string_view list) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos <= list.size()) {
        std::size_t end = list.find('|', pos);
        if (end == std::string_view::npos) end = list.size();
        std::string_view item = TrimControls(list.substr(pos, end - pos));
        if (auto colon = item.find(':'); colon != std::string_view::npos) item = TrimControls(item.substr(0, colon));
        if (!item.empty()) {
            bool seen = false;
            for (const auto& b : out) seen = seen || Lower(b) == Lower(item);
            if (!seen) out.emplace_back(item);
        }
        pos = end + 1;
    }
    return out;
}

std::optional<double> ParseNumber(std::string_view text) {
    std::string t(TrimControls(text));
    if (t.empty()) return std::nullopt;
    for (char& c : t) {
        if (c == ',') c = '.';
        else if (!(c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E' || (c >= '0' && c <= '9')))
            return std::nullopt;  // no hexadecimal, infinity or NaN spellings
    }
    char* end = nullptr;
    const double value = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::vector<GoodsRecord> ParseGoodsTable(std::string_view text, char separator,
                                         const std::function<std::optional<std::string>(std::string_view)>& toLibrary,
                                         std::vector<CsvProblem>* problems) {
    std::vector<GoodsRecord> records;
    const std::vector<CsvRow> rows = ParseCsv(text, separator, problems);
    auto problem = [&](int line, std::string message) {
        if (problems) problems->push_back({line, std::move(message)});
    };
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const CsvRow& row = rows[r];
        if (r == 0) {
            const std::string first = Lower(TrimControls(row.fields[0]));
            if (first == "barcodes" || first == "barcode") continue;
        }
        if (row.fields.size() > 4) {
            problem(row.line, std::to_string(row.fields.size()) +
                                  " fields; expected barcodes, text1, number, text2 (is the separator right?)");
            continue;
        }
        GoodsRecord record;
        record.line = row.line;
        std::vector<std::string> fields = row.fields;
        fields.resize(4);
        bool good = true;
        std::string* targets[] = {&record.barcodes, &record.text1, nullptr, &record.text2};
        for (int f : {0, 1, 3}) {
            auto converted = toLibrary(fields[f]);
            if (!converted) {
                static const char* names[] = {"barcodes", "text1", "number", "text2"};
                problem(row.line, std::string(names[f]) + ": not valid text, or a character the code page lacks");
                good = false;
                break;
            }
            *targets[f] = std::move(*converted);
        }
        if (!good) continue;
        if (BarcodesOf(record.barcodes).empty()) {
            problem(row.line, "no barcode in \"" + fields[0] + "\"");
            continue;
        }
        if (!TrimControls(fields[2]).empty()) {
            auto number = ParseNumber(fields[2]);
            if (!number) {
                problem(row.line, "number \"" + fields[2] + "\" is not a number");
                continue;
            }
            record.number = *number;
        }
        records.push_back(std::move(record));
    }
    return records;
}

std::string FormatQuantity(double value, char decimalSeparator) {
    char text[40];
    for (int precision = 15; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    std::string out(text);
    for (char& c : out)
        if (c == '.') c = decimalSeparator;
    return out;
}

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (u < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", u);
                    out += escape;
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back('"');
    return out;
}

}  // namespace dcthost
