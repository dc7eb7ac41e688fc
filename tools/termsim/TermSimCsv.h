// The device folder's CSV: records of ';'-separated UTF-8 fields, one a line. A field holding ';', '"'
// or a line break is put between double quotes with its quotes doubled, and read back the same way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dct::termsim {

using Record = std::vector<std::u16string>;

std::string JoinCsvLine(const Record& fields);
// One line's record (a line break in it is a character of its field).
Record SplitCsvLine(std::string_view line);
// Every record of a file's text. A line break ends a record unless it lies inside a quoted field;
// empty lines are skipped. A quote that no later quote closes reads as in SplitCsvLine: to the end
// of its line, so that one stray quote cannot swallow the records after it.
std::vector<Record> SplitCsvRecords(std::string_view text);

}  // namespace dct::termsim
