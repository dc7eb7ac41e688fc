// Splitting of the barcode list that the host passes with a goods record.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dct {

// "4601| 4602 ||4601|4603:2|" -> 4601, 4602, 4603. Items are separated by '|', trimmed of codes
// 0..32; "code:anything" keeps the part before the first ':'; empty items are skipped; of items
// equal without regard to letter case (the code page's mapping) the first spelling stays, in the
// order of first appearance. An empty result stands for "no list".
std::vector<std::string> ExtractBarcodesFromString(std::string_view text);

}  // namespace dct
