// The INI engine on arbitrary file bytes: reading, listing, writing and erasing never fault, and a
// plain value written into any file without NUL bytes reads back.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/IniEngine.h"

namespace {

// Names and values the profile functions keep as they are: no blanks at the ends, no quotes, no
// line breaks, no brackets, no '=' in names.
std::string Plain(FuzzedDataProvider& input, bool isValue) {
    static const char kName[] = "abcXYZ019_-.";
    static const char kValue[] = "abcXYZ019_-.:=,/\\;";
    const char* alphabet = isValue ? kValue : kName;
    const std::size_t n = isValue ? sizeof kValue - 1 : sizeof kName - 1;
    const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(1, 12);
    std::string out;
    for (std::size_t i = 0; i < length; ++i) out += alphabet[input.ConsumeIntegralInRange<std::size_t>(0, n - 1)];
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = Plain(input, false);
    const std::string key = Plain(input, false);
    const std::string value = Plain(input, true);
    const std::string anySection = input.ConsumeRandomLengthString(16);
    const std::string anyKey = input.ConsumeRandomLengthString(16);
    const std::size_t bufferSize = input.ConsumeIntegralInRange<std::size_t>(1, 300);
    const std::string content = input.ConsumeRemainingBytesAsString();

    using namespace dct::ini;
    (void)Serialize(Parse(content));
    (void)ReadValue(FileState::Present, content, anySection, anyKey, " fallback ", bufferSize);
    (void)SectionNames(content);
    (void)KeyNames(content, anySection);
    (void)WriteValue(content, anySection, anyKey, anyKey);
    (void)EraseSection(content, anySection);

    const std::string written = WriteValue(content, section, key, value).value_or(content);
    const std::string back = ReadValue(FileState::Present, written, section, key, "<none>");
    // In a file holding NUL bytes a written value may read back as the fallback: kernel32 writes and
    // reads such a file the very same way (a seed of the corpus is one), so the engine is right there.
    const bool holdsOnKernel32 = content.find('\0') == std::string::npos;
    if (holdsOnKernel32 && back != value) {
        std::fprintf(stderr, "wrote [%s] %s=%s, read back [%s]\n", section.c_str(), key.c_str(), value.c_str(),
                     back.c_str());
        std::abort();
    }
    if (auto erased = EraseSection(written, section)) {
        (void)SectionNames(*erased);
        (void)ReadValue(FileState::Present, *erased, section, key, "<none>");
    }
    return 0;
}
