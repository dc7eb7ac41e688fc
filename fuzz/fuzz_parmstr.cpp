// TParametersString: whatever AddParam writes, GetParam reads back, for any value; and GetParam on
// arbitrary text never reads outside it.
//
// One case the format cannot carry: only ';' is escaped, so a value that ends in a backslash escapes
// the separator of the pair after it ("A:C:\;B:1" is one pair). Such a value reads back only as the
// last pair, which is where DctInit puts the one free-text value it writes (the settings folder).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "lib/parmstr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);

    // Arbitrary text, arbitrary key.
    {
        const std::string key = input.ConsumeRandomLengthString(16);
        const std::string text = input.ConsumeRandomLengthString(256);
        dct::TParametersString params(text);
        (void)params.GetParam(key, "fallback");
    }

    // Pairs written by AddParam. Keys are never escaped, so they are plain distinct names; the value
    // is any bytes at all.
    const int count = input.ConsumeIntegralInRange(1, 6);
    std::vector<std::string> values;
    dct::TParametersString params;
    for (int i = 0; i < count; ++i) {
        values.push_back(input.ConsumeRandomLengthString(64));
        params.AddParam("Key" + std::to_string(i), values.back());
    }
    for (int i = 0; i < count; ++i) {
        if (i + 1 < count && !values[i].empty() && values[i].back() == '\\') {
            // Merged with the next pair, see above: nothing further in the text can be checked.
            break;
        }
        // Keys compare without regard to case.
        const std::string got = params.GetParam("KEY" + std::to_string(i), "<none>");
        if (got != values[i]) {
            fprintf(stderr, "round trip failed: text [%s] key %d wrote [%s] read [%s]\n", params.Text().c_str(), i,
                    values[i].c_str(), got.c_str());
            std::abort();
        }
    }
    return 0;
}
