// The UTF-8 <-> UTF-16 conversion and the byte-exact text of recordings on arbitrary input: strict
// and lenient forms agree wherever the input is well formed, what the strict forms accept comes back
// unchanged, what the lenient ones make is always well formed, and any bytes survive their way
// through UTF-8.
#include <cstdlib>
#include <string>

#include "base/Utf.h"
#include "base/cp1251.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    const auto strict = dct::Utf8ToUtf16Strict(bytes);
    const std::u16string lenient = dct::Utf8ToUtf16(bytes);
    if (strict && (*strict != lenient || dct::Utf16ToUtf8Strict(*strict) != bytes)) std::abort();
    if (!dct::Utf16ToUtf8Strict(lenient)) std::abort();

    // The same bytes read as UTF-16 code units, lone surrogates and all.
    const std::u16string units(reinterpret_cast<const char16_t*>(data), size / 2);
    const std::string encoded = dct::Utf16ToUtf8(units);
    if (!dct::Utf8ToUtf16Strict(encoded)) std::abort();
    if (const auto exact = dct::Utf16ToUtf8Strict(units); exact && dct::Utf8ToUtf16Strict(*exact) != units) std::abort();

    std::string text;
    dct::BytesToUtf8(bytes, text);
    if (dct::Utf8ToBytes(text) != bytes) std::abort();
    return 0;
}
