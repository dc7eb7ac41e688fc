// The one quoting of CSV fields, as dcthost's output and the simulator's device files write them.
#include "base/Csv.h"

#include <gtest/gtest.h>

namespace dct {
namespace {

TEST(CsvField, QuotesWhatWouldReadBackDifferently) {
    const struct {
        std::string_view text;
        char separator;
        std::string plain, edgesQuoted;  // with CsvEdgeBlanks::Plain and ::Quoted
    } cases[] = {
        {"plain", ';', "plain", "plain"},
        {"", ';', "", ""},
        {"a;b", ';', "\"a;b\"", "\"a;b\""},
        {"a;b", ',', "a;b", "a;b"},  // only the line's own separator counts
        {"a,b", ',', "\"a,b\"", "\"a,b\""},
        {"say \"x\"", ';', "\"say \"\"x\"\"\"", "\"say \"\"x\"\"\""},
        {"two\r\nlines", ';', "\"two\r\nlines\"", "\"two\r\nlines\""},
        {" lead", ';', " lead", "\" lead\""},
        {"trail ", ';', "trail ", "\"trail \""},
        {"in between", ';', "in between", "in between"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        EXPECT_EQ(CsvField(c.text, c.separator), c.plain);
        EXPECT_EQ(CsvField(c.text, c.separator, CsvEdgeBlanks::Quoted), c.edgesQuoted);
    }
}

}  // namespace
}  // namespace dct
