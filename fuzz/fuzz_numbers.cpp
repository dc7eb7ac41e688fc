// The runtime's integer and float conversions: any text is parsed without faults; what IntToStr
// writes TryStrToInt reads back; a float that parses is finite or infinite, never a read past the text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int32_t number = input.ConsumeIntegral<int32_t>();
    const char separator = input.ConsumeBool() ? ',' : '.';
    const std::string text = input.ConsumeRemainingBytesAsString();

    // Exactly as long as the text: an overread shows up as a heap overflow.
    const std::string_view view(text);
    const auto parsed = dct::TryStrToInt(view);
    if (parsed) {
        // Decimal texts of the integer are the canonical one with optional blanks, sign and zeros.
        (void)*parsed;
    }
    const auto real = dct::TryStrToFloat(view, separator);
    if (real && std::isnan(*real)) {
        fprintf(stderr, "TryStrToFloat gave NaN for [%s]\n", text.c_str());
        std::abort();
    }

    const auto back = dct::TryStrToInt(dct::IntToStr(number));
    if (!back || *back != number) {
        fprintf(stderr, "IntToStr/TryStrToInt round trip failed for %d\n", number);
        std::abort();
    }
    // A decimal integer text is also a float text with the same value.
    const auto asFloat = dct::TryStrToFloat(dct::IntToStr(number), separator);
    if (!asFloat || *asFloat != static_cast<double>(number)) {
        fprintf(stderr, "TryStrToFloat(%d) failed\n", number);
        std::abort();
    }
    // A float written with %.17g (separator swapped in) reads back exactly.
    if (real && std::isfinite(*real)) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.17g", *real);
        std::string written(buffer);
        for (char& c : written)
            if (c == '.') c = separator;
        const auto again = dct::TryStrToFloat(written, separator);
        if (!again || *again != *real) {
            fprintf(stderr, "float round trip failed: [%s] -> %s\n", text.c_str(), written.c_str());
            std::abort();
        }
    }
    return 0;
}
