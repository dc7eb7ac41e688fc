// CSV in and out: the goods table that `write` sends, the records that `read` produces.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dcthost {

struct CsvRow {
    int line = 0;  // 1-based line where the row begins
    std::vector<std::string> fields;
};

struct CsvProblem {
    int line = 0;
    std::string message;
    bool endsParse = false;  // nothing from this line on could be read: no row is merely skipped
};

// Splits text into rows: fields separated by `separator`, a field in double quotes may hold the
// separator, quotes (doubled) and line breaks; CR LF, LF or CR end a row; blank lines are skipped.
// A quote left open makes a problem at the line where its row began and ends the parse: that
// problem says so (endsParse), since every row from there on is lost.
std::vector<CsvRow> ParseCsv(std::string_view text, char separator, std::vector<CsvProblem>* problems);

// One goods record as the library takes it: texts already in the library's code page.
struct GoodsRecord {
    int line = 0;
    std::string barcodes;  // "|"-separated list, as the host passes it
    std::string text1;
    double number = 0;
    std::string text2;
};

// The barcodes the library would take from a list: split at "|", each trimmed of codes 0..32, cut
// at the first ":", duplicates (ignoring ASCII letter case) dropped. Used to refuse a row that
// would write nothing.
std::vector<std::string> BarcodesOf(std::string_view list);

// A number as a person writes it: blanks around it, "." or "," before the fraction; finite only.
std::optional<double> ParseNumber(std::string_view text);

// Columns: barcodes; text1; number; text2 (the last three may be left out). A first row whose first
// field is "barcodes" or "barcode" is a header. `toLibrary` converts a field's text to the library's
// code page, nullopt when it cannot. Every bad row is reported with its line and nothing of it kept.
std::vector<GoodsRecord> ParseGoodsTable(std::string_view text, char separator,
                                         const std::function<std::optional<std::string>(std::string_view)>& toLibrary,
                                         std::vector<CsvProblem>* problems);

// The shortest text that reads back as the same double, with the given decimal separator.
std::string FormatQuantity(double value, char decimalSeparator);
// A JSON string literal (input UTF-8).
std::string JsonString(std::string_view utf8);

}  // namespace dcthost
