#include "lib/DateTimeFormat.h"

#include <cctype>
#include <cstdio>

namespace dct {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view prefix) {
    if (text.size() - at < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[at + i]) != prefix[i]) return false;
    return true;
}

bool HasAmPm(std::string_view format) {
    for (std::size_t i = 0; i < format.size(); ++i)
        if (StartsWithNoCase(format, i, "am/pm") || StartsWithNoCase(format, i, "a/p") ||
            StartsWithNoCase(format, i, "ampm"))
            return true;
    return false;
}

void AppendNumber(std::string& out, int value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", digits, value);
    out += buf;
}

void Compose(std::string& out, std::string_view format, const platform::LocalTime& t,
             const platform::FormatSettings& s, int depth) {
    const bool twelveHour = HasAmPm(format);
    bool afterHour = false;  // an 'm' right after an hour directive means minutes
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        const char lc = Lower(c);
        std::size_t run = 1;
        while (i + run < format.size() && Lower(format[i + run]) == lc) ++run;
        switch (lc) {
            case '\'':
            case '"': {
                std::size_t close = format.find(c, i + 1);
                if (close == std::string_view::npos) close = format.size();
                out.append(format.substr(i + 1, close - i - 1));
                i = close + 1;
                continue;
            }
            case 'c':
                if (depth == 0) {
                    Compose(out, s.ShortDateFormat, t, s, depth + 1);
                    if (t.Hour || t.Minute || t.Second || t.Millisecond) {
                        out.push_back(' ');
                        Compose(out, s.LongTimeFormat, t, s, depth + 1);
                    }
                }
                i += 1;
                continue;
            case 'd':
                AppendNumber(out, t.Day, run >= 2 ? 2 : 1);
                break;
            case 'y':
                if (run <= 2)
                    AppendNumber(out, t.Year % 100, 2);
                else
                    AppendNumber(out, t.Year, 4);
                break;
            case 'm':
                if (afterHour)
                    AppendNumber(out, t.Minute, run >= 2 ? 2 : 1);
                else
                    AppendNumber(out, t.Month, run >= 2 ? 2 : 1);
                run = std::min<std::size_t>(run, 2);
                break;
            case 'h': {
                int hour = t.Hour;
                if (twelveHour) hour = hour % 12 == 0 ? 12 : hour % 12;
                AppendNumber(out, hour, run >= 2 ? 2 : 1);
                run = std::min<std::size_t>(run, 2);
                i += run;
                afterHour = true;
                continue;
            }
            case 'n':
                AppendNumber(out, t.Minute, run >= 2 ? 2 : 1);
                run = std::min<std::size_t>(run, 2);
                break;
            case 's':
                AppendNumber(out, t.Second, run >= 2 ? 2 : 1);
                run = std::min<std::size_t>(run, 2);
                break;
            case 'z':
                AppendNumber(out, t.Millisecond, run >= 3 ? 3 : 1);
                run = std::min<std::size_t>(run, 3);
                break;
            case 'a':
                if (StartsWithNoCase(format, i, "am/pm")) {
                    out += t.Hour < 12 ? std::string(format.substr(i, 2)) : std::string(format.substr(i + 3, 2));
                    i += 5;
                } else if (StartsWithNoCase(format, i, "a/p")) {
                    out += t.Hour < 12 ? format[i] : format[i + 2];
                    i += 3;
                } else if (StartsWithNoCase(format, i, "ampm")) {
                    out += t.Hour < 12 ? s.TimeAMString : s.TimePMString;
                    i += 4;
                } else {
                    out.push_back(c);
                    i += 1;
                }
                continue;
            case '/':
                out.push_back(s.DateSeparator);
                i += 1;
                continue;
            case ':':
                out.push_back(s.TimeSeparator);
                i += 1;
                continue;
            default:
                out.push_back(c);
                i += 1;
                continue;
        }
        afterHour = false;
        i += run;
    }
}

}  // namespace

std::string FormatDateTime(std::string_view format, const platform::LocalTime& time,
                           const platform::FormatSettings& settings) {
    std::string out;
    Compose(out, format, time, settings, 0);
    return out;
}

std::string DateTimeToStr(const platform::LocalTime& time, const platform::FormatSettings& settings) {
    return FormatDateTime("c", time, settings);
}

}  // namespace dct
