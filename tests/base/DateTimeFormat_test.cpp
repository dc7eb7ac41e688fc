// The runtime's date and time format letters over hand-made locale settings.
#include "base/DateTimeFormat.h"

#include <gtest/gtest.h>

namespace dct {
namespace {

FormatSettings Settings() {
    FormatSettings s;
    s.DateSeparator = '.';
    s.ShortDateFormat = "dd.MM.yyyy";
    s.LongDateFormat = "d MMMM yyyy";
    s.LongTimeFormat = "H:mm:ss";
    s.ShortTimeFormat = "H:mm";
    for (int i = 0; i < 12; ++i) {
        s.ShortMonthNames[i] = "m" + std::to_string(i + 1);
        s.LongMonthNames[i] = "Month" + std::to_string(i + 1);
    }
    for (int i = 0; i < 7; ++i) {
        s.ShortDayNames[i] = "d" + std::to_string(i);
        s.LongDayNames[i] = "Day" + std::to_string(i);
    }
    return s;
}

constexpr LocalTime kMonday{2026, 3, 9, 14, 5, 7, 25};  // a Monday afternoon

TEST(FormatDateTime, NamesOfMonthsAndDaysComeFromTheSettings) {
    const auto s = Settings();
    EXPECT_EQ(FormatDateTime("dd-MMM-yy", kMonday, s), "09-m3-26");
    EXPECT_EQ(FormatDateTime("dddd, d MMMM yyyy", kMonday, s), "Day1, 9 Month3 2026");
    EXPECT_EQ(FormatDateTime("ddd mmmmm aaa aaaa", kMonday, s), "d1 Month3 d1 Day1");
    EXPECT_EQ(FormatDateTime("ddd", LocalTime{2000, 1, 2}, s), "d0");   // a Sunday
    EXPECT_EQ(FormatDateTime("ddd", LocalTime{2024, 2, 29}, s), "d4");  // leap day, a Thursday
}

TEST(FormatDateTime, NestedFormatsLiteralsAndEras) {
    const auto s = Settings();
    EXPECT_EQ(FormatDateTime("ddddd|dddddd|t|tt", kMonday, s), "09.03.2026|9 Month3 2026|14:05|14:05:07");
    EXPECT_EQ(FormatDateTime("d 'de' MMMM \"yyyy\" y", kMonday, s), "9 de Month3 yyyy 26");
    EXPECT_EQ(FormatDateTime("gg yyyy ee/e", kMonday, s), " 2026 .");  // no era in these locales
    EXPECT_EQ(FormatDateTime("'unclosed", kMonday, s), "unclosed");
}

TEST(FormatDateTime, HoursMinutesAndTheTwelveHourClock) {
    const auto s = Settings();
    EXPECT_EQ(FormatDateTime("h:mm:ss.zzz", kMonday, s), "14:05:07.025");
    EXPECT_EQ(FormatDateTime("hh:mm AM/PM", kMonday, s), "02:05 PM");
    EXPECT_EQ(FormatDateTime("h:nn a/p", LocalTime{2026, 3, 9, 0, 1}, s), "12:01 a");
    EXPECT_EQ(FormatDateTime("mm h mm", kMonday, s), "03 14 05");  // month, hour, then minutes
}

TEST(FormatDateTime, ShortDateAndLongTimeLeaveOutMidnight) {
    auto s = Settings();
    EXPECT_EQ(DateTimeToStr(kMonday, s), "09.03.2026 14:05:07");
    EXPECT_EQ(DateTimeToStr(LocalTime{2026, 12, 7}, s), "07.12.2026");
    s.ShortDateFormat = "c";  // a format that names itself is not expanded again
    EXPECT_EQ(DateTimeToStr(LocalTime{2026, 12, 7}, s), "");
    EXPECT_EQ(DateTimeToStr(kMonday, FormatSettings{}), "3/9/2026 2:05:07 PM");
}

}  // namespace
}  // namespace dct
