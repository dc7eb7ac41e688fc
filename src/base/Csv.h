// Writing a field of a line of separated fields (CSV), as dcthost's output files and the simulator's
// device files hold them: a field that would otherwise read back differently goes between double
// quotes, with each quote inside doubled. Their readers differ in what they make of a malformed line
// (an unclosed quote ends dcthost's reading of a goods table, but only its own line of the
// simulator's records), so each keeps its own.
#pragma once

#include <string>
#include <string_view>

namespace dct {

// Whether a field that begins or ends with a blank is quoted, for readers that trim fields.
enum class CsvEdgeBlanks { Plain, Quoted };

// The field as it stands in the line: quoted when it holds the separator, a quote, CR or LF (or, with
// CsvEdgeBlanks::Quoted, begins or ends with a blank); as it is otherwise.
std::string CsvField(std::string_view text, char separator, CsvEdgeBlanks edgeBlanks = CsvEdgeBlanks::Plain);

// The text between double quotes, each quote inside doubled.
std::string CsvQuoted(std::string_view text);

}  // namespace dct
