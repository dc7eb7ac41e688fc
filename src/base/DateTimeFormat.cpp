#include "base/DateTimeFormat.h"

#include <cctype>
#include <cstdio>

namespace dct {
namespace {

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view prefix) {
    if (text.size() - at < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Upper(text[at + i]) != Upper(prefix[i])) return false;
    return true;
}

void AppendNumber(std::string& out, int value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", digits, value);
    out += buf;
}

template <typename Names>
const std::string& NameOf(const Names& names, int index) {
    static const std::string kNone;
    return index >= 0 && index < static_cast<int>(names.size()) ? names[index] : kNone;
}

// 0 for Sunday ... 6 for Saturday, as the day-name tables are ordered.
int DayOfWeek(const LocalTime& t) {
    static constexpr int kMonthOffset[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    int year = t.Year - (t.Month < 3 ? 1 : 0);
    return (year + year / 4 - year / 100 + year / 400 + kMonthOffset[(t.Month + 11) % 12] + t.Day) % 7;
}

// The runtime's format interpreter. Letters are case-insensitive; a run of the same character
// (exactly the same, case included) is one token whose length picks the form. Nested formats
// (c, ddddd, dddddd, t, tt) are expanded one level deep only, as the runtime does.
class Composer {
  public:
    Composer(std::string& out, const LocalTime& t, const FormatSettings& s)
        : out_(out), t_(t), s_(s) {}

    void Append(std::string_view format) {
        if (level_ >= 2) return;
        ++level_;
        char lastToken = ' ';
        std::size_t i = 0;
        while (i < format.size()) {
            const char starter = format[i];
            char token = Upper(starter);
            if (std::isalpha(static_cast<unsigned char>(starter))) {
                // 'm' right after an hour means minutes.
                if (token == 'M' && lastToken == 'H') token = 'N';
                lastToken = token;
            }
            std::size_t count = 1;
            const auto takeCount = [&] {
                while (i + count < format.size() && format[i + count] == starter) ++count;
            };
            switch (token) {
                case 'Y':
                    takeCount();
                    if (count <= 2)
                        AppendNumber(out_, t_.Year % 100, 2);
                    else
                        AppendNumber(out_, t_.Year, 4);
                    break;
                case 'G':
                case 'E':
                    // Era name and year within the era: the locales this library is used under
                    // count years in no era, and there the runtime writes nothing for them.
                    takeCount();
                    break;
                case 'M':
                    takeCount();
                    if (count <= 2)
                        AppendNumber(out_, t_.Month, static_cast<int>(count));
                    else
                        out_ += NameOf(count == 3 ? s_.ShortMonthNames : s_.LongMonthNames, t_.Month - 1);
                    break;
                case 'D':
                    takeCount();
                    if (count <= 2)
                        AppendNumber(out_, t_.Day, static_cast<int>(count));
                    else if (count == 3)
                        out_ += NameOf(s_.ShortDayNames, DayOfWeek(t_));
                    else if (count == 4)
                        out_ += NameOf(s_.LongDayNames, DayOfWeek(t_));
                    else
                        Append(count == 5 ? s_.ShortDateFormat : s_.LongDateFormat);
                    break;
                case 'H': {
                    takeCount();
                    NoteTwelveHourClock(format, i + count);
                    int hour = t_.Hour;
                    if (twelveHour_) hour = hour == 0 ? 12 : hour > 12 ? hour - 12 : hour;
                    AppendNumber(out_, hour, count > 2 ? 2 : static_cast<int>(count));
                    break;
                }
                case 'N':
                    takeCount();
                    AppendNumber(out_, t_.Minute, count > 2 ? 2 : static_cast<int>(count));
                    break;
                case 'S':
                    takeCount();
                    AppendNumber(out_, t_.Second, count > 2 ? 2 : static_cast<int>(count));
                    break;
                case 'T':
                    takeCount();
                    Append(count == 1 ? s_.ShortTimeFormat : s_.LongTimeFormat);
                    break;
                case 'Z':
                    takeCount();
                    AppendNumber(out_, t_.Millisecond, count > 3 ? 3 : static_cast<int>(count));
                    break;
                case 'A':
                    count = AppendAmPmOrDay(format, i);
                    break;
                case 'C':
                    takeCount();
                    Append(s_.ShortDateFormat);
                    // At exactly midnight only the date is written.
                    if (t_.Hour || t_.Minute || t_.Second || t_.Millisecond) {
                        out_.push_back(' ');
                        Append(s_.LongTimeFormat);
                    }
                    break;
                case '/':
                    if (s_.DateSeparator) out_.push_back(s_.DateSeparator);
                    break;
                case ':':
                    if (s_.TimeSeparator) out_.push_back(s_.TimeSeparator);
                    break;
                case '\'':
                case '"': {
                    // A literal up to the same quote character; an unclosed one runs to the end.
                    std::size_t close = format.find(starter, i + 1);
                    if (close == std::string_view::npos) close = format.size();
                    out_.append(format.substr(i + 1, close - i - 1));
                    count = close - i + (close < format.size() ? 1 : 0);
                    break;
                }
                default:
                    out_.push_back(starter);
                    break;
            }
            i += count;
        }
        --level_;
    }

  private:
    // An hour is on the 12-hour clock when an AM/PM directive follows it before the next hour
    // (and stays so for the rest of the text once one has been seen).
    void NoteTwelveHourClock(std::string_view format, std::size_t from) {
        bool quoted = false;
        for (std::size_t p = from; p < format.size(); ++p) {
            const char c = format[p];
            if (c == '\'' || c == '"') {
                quoted = !quoted;
            } else if (!quoted && (c == 'a' || c == 'A')) {
                if (StartsWithNoCase(format, p, "am/pm") || StartsWithNoCase(format, p, "a/p") ||
                    StartsWithNoCase(format, p, "ampm"))
                    twelveHour_ = true;
                return;
            } else if (c == 'h' || c == 'H') {
                return;
            }
        }
    }

    // 'a' starts am/pm (the format's own letters), a/p, ampm (the locale's texts), aaaa or aaa
    // (day names), or is a plain letter. Returns how many characters it took.
    std::size_t AppendAmPmOrDay(std::string_view format, std::size_t i) {
        const bool pm = t_.Hour >= 12;
        if (StartsWithNoCase(format, i, "am/pm")) {
            out_.append(format.substr(pm ? i + 3 : i, 2));
            twelveHour_ = true;
            return 5;
        }
        if (StartsWithNoCase(format, i, "a/p")) {
            out_.push_back(format[pm ? i + 2 : i]);
            twelveHour_ = true;
            return 3;
        }
        if (StartsWithNoCase(format, i, "ampm")) {
            out_ += pm ? s_.TimePMString : s_.TimeAMString;
            twelveHour_ = true;
            return 4;
        }
        if (StartsWithNoCase(format, i, "aaaa")) {
            out_ += NameOf(s_.LongDayNames, DayOfWeek(t_));
            return 4;
        }
        if (StartsWithNoCase(format, i, "aaa")) {
            out_ += NameOf(s_.ShortDayNames, DayOfWeek(t_));
            return 3;
        }
        out_.push_back(format[i]);
        return 1;
    }

    std::string& out_;
    const LocalTime& t_;
    const FormatSettings& s_;
    int level_ = 0;
    bool twelveHour_ = false;
};

}  // namespace

std::string FormatDateTime(std::string_view format, const LocalTime& time,
                           const FormatSettings& settings) {
    std::string out;
    Composer(out, time, settings).Append(format);
    return out;
}

std::string DateTimeToStr(const LocalTime& time, const FormatSettings& settings) {
    return FormatDateTime("c", time, settings);
}

}  // namespace dct
