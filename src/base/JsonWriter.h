// JSON written value by value into a string the caller owns and reuses (one line of a recording at a
// time): commas and nesting are kept here, texts escaped, numbers written so that they read back
// exactly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dct {

class JsonWriter {
public:
    explicit JsonWriter(std::string& out) : out_(out) {}
    // Goes on inside an object whose opening and first members the caller has written already.
    struct InsideObject {};
    JsonWriter(std::string& out, InsideObject) : out_(out), needComma_(true) {}

    JsonWriter& BeginObject() { return Open('{'); }
    JsonWriter& EndObject() { return Close('}'); }
    JsonWriter& BeginArray() { return Open('['); }
    JsonWriter& EndArray() { return Close(']'); }
    // A member's name: a plain word of ASCII letters, digits and '_', which needs no escape; its
    // value follows.
    JsonWriter& Key(std::string_view name);

    JsonWriter& Int(int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();
    // A whole number, or a decimal of at most six places (12.5, 0.125), in its shortest form, which
    // reads back as the same double. Any other value, NaN and the infinities (which JSON cannot hold)
    // included, becomes {"bits":"<the 16 hexadecimal digits of the double>"}.
    JsonWriter& Number(double value);
    // Text that is ASCII or UTF-8 already.
    JsonWriter& Text(std::string_view utf8);
    // 8-bit text kept byte for byte: each byte as its Windows-1251 character, 0x98 as U+0098
    // (BytesToUtf8), whatever the code page the text was written in.
    JsonWriter& Bytes(std::string_view bytes);
    // UTF-16 text as a string; one that holds a lone surrogate, which no JSON string can carry
    // through every reader, as {"utf16":[<each code unit>]}.
    JsonWriter& Utf16(std::u16string_view text);

private:
    JsonWriter& Open(char bracket);
    JsonWriter& Close(char bracket);
    JsonWriter& Bits(double value);
    bool ShortDecimal(double value);
    void BeforeValue();
    void Escaped(char32_t c);
    void AppendEscaped(std::string_view utf8);

    std::string& out_;
    bool needComma_ = false;
};

}  // namespace dct
