#include "lib/RecordingFiles.h"

#include <cstdio>

namespace dct {
namespace {

bool Digits(std::string_view text, std::size_t at, std::size_t count, int& value) {
    if (text.size() < at + count) return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

bool WellFormedSwitchTime(std::string_view text) {
    int v;
    return text.size() == 19 && Digits(text, 0, 4, v) && text[4] == '-' && Digits(text, 5, 2, v) && text[7] == '-' &&
           Digits(text, 8, 2, v) && text[10] == ' ' && Digits(text, 11, 2, v) && text[13] == ':' &&
           Digits(text, 14, 2, v) && text[16] == ':' && Digits(text, 17, 2, v);
}

std::string SwitchTime(const LocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute,
                  t.Second);
    return text;
}

std::string RecordingFileName(std::string_view library, const LocalTime& t, unsigned long processId) {
    char rest[64];
    std::snprintf(rest, sizeof rest, "-rec-%04d-%02d-%02d-%02d%02d%02d-%lu.jsonl", t.Year, t.Month, t.Day, t.Hour,
                  t.Minute, t.Second, processId);
    return std::string(library) + rest;
}

bool RecordingDate(std::string_view name, std::string_view library, LocalTime& date) {
    // <library>-rec-YYYY-MM-DD-HHMMSS-<digits>.jsonl
    constexpr std::string_view kMiddle = "-rec-", kEnd = ".jsonl";
    if (name.size() < library.size() + kMiddle.size() + 18 + kEnd.size()) return false;
    if (!EqualsIgnoringAsciiCase(name.substr(0, library.size()), library)) return false;
    std::string_view rest = name.substr(library.size());
    if (rest.substr(0, kMiddle.size()) != kMiddle) return false;
    rest.remove_prefix(kMiddle.size());
    int hhmmss;
    LocalTime d;
    if (!Digits(rest, 0, 4, d.Year) || rest[4] != '-' || !Digits(rest, 5, 2, d.Month) || rest[7] != '-' ||
        !Digits(rest, 8, 2, d.Day) || rest[10] != '-' || !Digits(rest, 11, 6, hhmmss) || rest[17] != '-')
        return false;
    rest.remove_prefix(18);
    if (rest.size() <= kEnd.size() || !EqualsIgnoringAsciiCase(rest.substr(rest.size() - kEnd.size()), kEnd))
        return false;
    int pid;
    if (!Digits(rest, 0, rest.size() - kEnd.size(), pid)) return false;
    date = d;
    return true;
}

}  // namespace dct
