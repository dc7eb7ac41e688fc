#include "base/JsonWriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/Utf.h"
#include "base/cp1251.h"

namespace dct {
namespace {

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c < 0xE000; }

}  // namespace

void JsonWriter::BeforeValue() {
    if (needComma_) out_.push_back(',');
    needComma_ = true;
}

JsonWriter& JsonWriter::Open(char bracket) {
    BeforeValue();
    out_.push_back(bracket);
    needComma_ = false;
    return *this;
}

JsonWriter& JsonWriter::Close(char bracket) {
    out_.push_back(bracket);
    needComma_ = true;
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
    Text(name);
    out_.push_back(':');
    needComma_ = false;
    return *this;
}

JsonWriter& JsonWriter::Int(int64_t value) {
    BeforeValue();
    char buffer[24];
    out_.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    out_.append(value ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    out_.append("null");
    return *this;
}

JsonWriter& JsonWriter::Number(double value) {
    if (!std::isfinite(value)) return Bits(value);
    // The fewest digits that read back as the same double, checked by reading them back: a text that
    // does not (whatever the C runtime's formatting) is written as the bits instead. The standard
    // library's shortest form would do it in one step, but brings some 300 KB of tables into the DLL.
    char buffer[40];
    for (int digits = 15; digits <= 17; ++digits) {
        const int n = std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
        if (n <= 0 || n >= static_cast<int>(sizeof buffer)) break;
        for (char* c = buffer; *c; ++c)
            if (*c == ',') *c = '.';  // a C runtime set to a locale with a decimal comma
        const double back = std::strtod(buffer, nullptr);
        if (back == value && std::signbit(back) == std::signbit(value)) {
            BeforeValue();
            out_.append(buffer, static_cast<std::size_t>(n));
            return *this;
        }
    }
    return Bits(value);
}

JsonWriter& JsonWriter::Bits(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    char hex[17];
    for (int i = 15; i >= 0; --i, bits >>= 4) hex[i] = "0123456789ABCDEF"[bits & 0xF];
    hex[16] = 0;
    return BeginObject().Key("bits").Text(hex).EndObject();
}

void JsonWriter::Escaped(char32_t c) {
    if (c == '"' || c == '\\') {
        out_.push_back('\\');
        out_.push_back(static_cast<char>(c));
    } else if (c < 0x20) {
        static const char kHex[] = "0123456789abcdef";
        out_.append("\\u00");
        out_.push_back(kHex[c >> 4]);
        out_.push_back(kHex[c & 0xF]);
    } else {
        AppendUtf8(c, out_);
    }
}

JsonWriter& JsonWriter::Text(std::string_view utf8) {
    BeforeValue();
    out_.push_back('"');
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80)
            out_.push_back(c);  // a byte of a UTF-8 sequence, passed as it is
        else
            Escaped(u);
    }
    out_.push_back('"');
    return *this;
}

JsonWriter& JsonWriter::Bytes(std::string_view bytes) {
    BeforeValue();
    out_.push_back('"');
    for (const char& c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80)
            Escaped(u);
        else
            BytesToUtf8(std::string_view(&c, 1), out_);
    }
    out_.push_back('"');
    return *this;
}

JsonWriter& JsonWriter::Utf16(std::u16string_view text) {
    bool lone = false;
    for (std::size_t i = 0; i < text.size() && !lone; ++i) {
        const char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            ++i;
        else
            lone = IsSurrogate(c);
    }
    if (lone) {
        BeginObject().Key("utf16").BeginArray();
        for (char16_t unit : text) Int(unit);
        return EndArray().EndObject();
    }
    BeforeValue();
    out_.push_back('"');
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        Escaped(c);
    }
    out_.push_back('"');
    return *this;
}

}  // namespace dct
