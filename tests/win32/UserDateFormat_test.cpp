// The driver log's date as the runtime writes it for short-date formats a user may choose, with the
// month and day names of the user's own locale (Cyrillic in code page 1251 under Russian).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/DateTimeFormat.h"
#include "base/cp1251.h"
#include "platform/UserFormats.h"

namespace dct {
namespace {

std::string UserLocaleText(LCTYPE type) {
    char buffer[128] = {};
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer) > 0 ? buffer : "";
}

// Sets the user's short-date format, and puts back the format and the date separator (which the
// system derives from a new format) however the test ends. The user's settings belong to the whole
// prefix, and every program that starts under another locale rewrites them: this test runs alone.
class UserShortDate {
  public:
    explicit UserShortDate(const char* format)
        : format_(UserLocaleText(LOCALE_SSHORTDATE)), separator_(UserLocaleText(LOCALE_SDATE)) {
        changed_ = SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, format) != 0;
    }
    ~UserShortDate() {
        if (!changed_) return;
        SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDATE, separator_.c_str());
        SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, format_.c_str());
    }
    bool Changed() const { return changed_; }
    UserShortDate(const UserShortDate&) = delete;
    UserShortDate& operator=(const UserShortDate&) = delete;

  private:
    std::string format_, separator_;
    bool changed_ = false;
};

struct Case {
    const char* format;
    const char8_t* english;
    const char8_t* russian;
};

TEST(UserDateFormats, LogDateUsesTheLocalesNominativeNames) {
    const bool russian = GetACP() == 1251;
    const FormatSettings before = platform::ReadUserFormatSettings();
    const LocalTime date{2026, 3, 9};  // a Monday, exactly midnight: the date alone
    const Case cases[] = {
        {"dd-MMM-yy", u8"09-Mar-26", u8"09-март-26"},
        {"dddd, d MMMM yyyy", u8"Monday, 9 March 2026", u8"понедельник, 9 март 2026"},
        {"ddd d.MM.yy", u8"Mon 9.03.26", u8"пн 9.03.26"},
        {"d 'de' MMMM yyyy", u8"9 de March 2026", u8"9 de март 2026"},
        // The separator follows the format the user chose.
        {"yyyy/MM/dd", u8"2026/03/09", u8"2026/03/09"},
    };
    for (const Case& c : cases) {
        UserShortDate format(c.format);
        ASSERT_TRUE(format.Changed()) << c.format;
        const FormatSettings settings = platform::ReadUserFormatSettings();
        EXPECT_EQ(settings.ShortDateFormat, c.format);
        const char8_t* expected = russian ? c.russian : c.english;
        EXPECT_EQ(DateTimeToStr(date, settings), Utf8ToCp1251(reinterpret_cast<const char*>(expected)))
            << c.format;
    }
    // What the user had is back.
    const FormatSettings restored = platform::ReadUserFormatSettings();
    EXPECT_EQ(restored.ShortDateFormat, before.ShortDateFormat);
    EXPECT_EQ(restored.DateSeparator, before.DateSeparator);
}

}  // namespace
}  // namespace dct
