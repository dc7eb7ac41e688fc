#include "base/JsonWriter.h"

#include <charconv>
#include <cmath>
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
    // Member names are the recording's own plain words: nothing in them to escape.
    if (needComma_) out_.push_back(',');
    out_.push_back('"');
    out_.append(name);
    out_.append("\":", 2);
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
    // A whole number (most quantities are) is written as one, exactly, without a round trip.
    if (value >= -9007199254740992.0 && value <= 9007199254740992.0 && value == static_cast<double>(static_cast<int64_t>(value)) &&
        !(value == 0 && std::signbit(value)))
        return Int(static_cast<int64_t>(value));
    if (ShortDecimal(value)) return *this;
    // Anything else is written as its bits: exact, and without the C runtime's conversions, whose
    // float parsing and printing would add to the DLL what a recording does not need.
    return Bits(value);
}

namespace {

// True when a reader gets exactly `value` (positive, normal) back from the decimal m / divisor.
// The quotient is worked out bit by bit in integers and rounded to nearest-even as a reader rounds,
// so the answer does not depend on the precision the x87 unit was left in: a host runs the library
// with 64-bit precision, where m / 10^k computed in the unit is not the double a reader gets.
bool DecimalReadsAs(uint64_t m, uint64_t divisor, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int field = static_cast<int>(bits >> 52) & 0x7FF;
    if (field == 0) return false;
    const uint64_t significand = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    uint64_t q = m / divisor, r = m % divisor;  // m < 2^50, so q starts below 2^54
    int shift = 0;
    for (; q < (uint64_t{1} << 54); ++shift) {
        r <<= 1;
        q <<= 1;
        if (r >= divisor) r -= divisor, q |= 1;
    }
    // q holds 55 significant bits: 53 for the double, a round bit, and one more that with the
    // remainder tells whether the rest is above half.
    uint64_t rounded = q >> 2;
    if ((q & 2) && ((q & 1) || r != 0 || (rounded & 1))) ++rounded;
    int exponent = 2 - shift;
    if (rounded == (uint64_t{1} << 53)) rounded >>= 1, ++exponent;
    return rounded == significand && exponent == field - 1075;
}

}  // namespace

// A quantity such as 12.5 or 0.125: at most six decimals, written from integers, and only when the
// decimal reads back as the very same double.
bool JsonWriter::ShortDecimal(double value) {
    if (value == 0) return false;  // -0 keeps its sign only through the long way
    double scale = 1;
    for (int decimals = 1; decimals <= 6; ++decimals) {
        scale *= 10;
        const double scaled = value * scale;
        if (!(scaled > -1e15 && scaled < 1e15)) return false;
        const auto m = static_cast<int64_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
        // Far off in any precision: no need to look closer.
        if (m == 0 || std::fabs(static_cast<double>(m) / scale - value) > std::fabs(value) * 0x1p-40) continue;
        const uint64_t magnitude = static_cast<uint64_t>(m < 0 ? -m : m);
        if (!DecimalReadsAs(magnitude, static_cast<uint64_t>(scale), std::fabs(value))) continue;
        BeforeValue();
        const uint64_t whole = magnitude / static_cast<uint64_t>(scale);
        uint64_t fraction = magnitude % static_cast<uint64_t>(scale);
        int digits = decimals;
        while (digits > 0 && fraction % 10 == 0) fraction /= 10, --digits;
        char text[48];
        char* p = text;
        if (m < 0) *p++ = '-';
        p = std::to_chars(p, text + sizeof text, whole).ptr;
        if (digits > 0) {
            *p++ = '.';
            char* end = p + digits;
            for (char* q = end; q > p; fraction /= 10) *--q = static_cast<char>('0' + fraction % 10);
            p = end;
        }
        out_.append(text, static_cast<std::size_t>(p - text));
        return true;
    }
    return false;
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

// Runs of characters that need no escape go in one append: a recording writes a line per server
// call, and character by character the writing cost more than the calls themselves.
void JsonWriter::AppendEscaped(std::string_view utf8) {
    std::size_t run = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto u = static_cast<unsigned char>(utf8[i]);
        if (u == '"' || u == '\\' || u < 0x20) {
            out_.append(utf8.data() + run, i - run);
            Escaped(u);
            run = i + 1;
        }
    }
    out_.append(utf8.data() + run, utf8.size() - run);
}

JsonWriter& JsonWriter::Text(std::string_view utf8) {
    BeforeValue();
    out_.push_back('"');
    AppendEscaped(utf8);  // bytes of UTF-8 sequences pass as they are
    out_.push_back('"');
    return *this;
}

JsonWriter& JsonWriter::Bytes(std::string_view bytes) {
    BeforeValue();
    out_.push_back('"');
    std::size_t run = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) continue;
        AppendEscaped(bytes.substr(run, i - run));
        BytesToUtf8(bytes.substr(i, 1), out_);
        run = i + 1;
    }
    AppendEscaped(bytes.substr(run));
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
    // ASCII, the usual server text, goes through a small buffer rather than a character at a time.
    char ascii[64];
    std::size_t held = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c < 0x80 && c >= 0x20 && c != '"' && c != '\\') {
            ascii[held++] = static_cast<char>(c);
            if (held == sizeof ascii) out_.append(ascii, held), held = 0;
            continue;
        }
        out_.append(ascii, held), held = 0;
        if (c >= 0xD800 && c < 0xDC00) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        Escaped(c);
    }
    out_.append(ascii, held);
    out_.push_back('"');
    return *this;
}

}  // namespace dct
