#include "base/SysUtils.h"

#include <charconv>
#include <cstdio>

#include "base/cp1251.h"

namespace dct {
namespace {

constexpr auto kInvalidInteger = Cp1251(u8"'%s' не является допустимым значением целого числа");
constexpr auto kInvalidFloat = Cp1251(u8"'%s' не является допустимым значением дробного числа");

AnsiString FormatQuoted(std::string_view pattern, std::string_view text) {
    AnsiString out;
    std::size_t at = pattern.find("%s");
    out.append(pattern.substr(0, at));
    out.append(text);
    out.append(pattern.substr(at + 2));
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

AnsiString IntToStr(int64_t value) { return std::to_string(value); }

std::optional<int32_t> TryStrToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16, ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16, i += 2;
    }
    if (i == text.size()) return std::nullopt;
    // Accumulate as a magnitude so that the most negative value is still representable.
    const uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        int d = base == 16 ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (d < 0) return std::nullopt;
        magnitude = magnitude * base + d;
        if (magnitude > limit) return std::nullopt;
    }
    int64_t value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return static_cast<int32_t>(value);
}

int32_t StrToInt(std::string_view text) {
    if (auto v = TryStrToInt(text)) return *v;
    throw EConvertError(FormatQuoted(kInvalidInteger.view(), text));
}

int32_t StrToIntDef(std::string_view text, int32_t fallback) { return TryStrToInt(text).value_or(fallback); }

std::optional<double> TryStrToFloat(std::string_view text, char decimalSeparator) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    std::string canonical;  // the same number in the C syntax, for the exact conversion
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') canonical.push_back('-');
        ++i;
    }
    bool digits = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') canonical.push_back(text[i++]), digits = true;
    if (i < text.size() && text[i] == decimalSeparator) {
        canonical.push_back('.');
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') canonical.push_back(text[i++]), digits = true;
    }
    if (!digits) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        canonical.push_back('e');
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) canonical.push_back(text[i++]);
        bool expDigits = false;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') canonical.push_back(text[i++]), expDigits = true;
        if (!expDigits) return std::nullopt;
    }
    while (i < text.size() && text[i] == ' ') ++i;
    if (i != text.size()) return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
    if (ec == std::errc::result_out_of_range) return std::nullopt;
    if (ec != std::errc() || end != canonical.data() + canonical.size()) return std::nullopt;
    return value;
}

double StrToFloat(std::string_view text, char decimalSeparator) {
    if (auto v = TryStrToFloat(text, decimalSeparator)) return *v;
    throw EConvertError(FormatQuoted(kInvalidFloat.view(), text));
}

std::string_view TrimLeftCtl(std::string_view text) {
    std::size_t b = 0;
    while (b < text.size() && static_cast<unsigned char>(text[b]) <= 32) ++b;
    return text.substr(b);
}

std::string_view TrimRightCtl(std::string_view text) {
    std::size_t e = text.size();
    while (e > 0 && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
    return text.substr(0, e);
}

std::string_view TrimCtl(std::string_view text) { return TrimRightCtl(TrimLeftCtl(text)); }

AnsiString IntToHexMin(uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(value));
    return buf;
}

AnsiString PointerToHex(uintptr_t value) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(value));
    return buf;
}

}  // namespace dct

namespace dct {

AnsiString Format(std::string_view format, std::initializer_list<FormatArg> args) {
    auto invalid = [&] {
        return EConvertError("Format '" + AnsiString(format) + "' invalid or incompatible with argument");
    };
    AnsiString out;
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out.push_back(format[i]);
            continue;
        }
        if (++i >= format.size()) throw invalid();
        if (format[i] == '%') {
            out.push_back('%');
            continue;
        }
        bool left = false;
        if (format[i] == '-') left = true, ++i;
        int width = 0, precision = -1;
        while (i < format.size() && format[i] >= '0' && format[i] <= '9') width = width * 10 + (format[i++] - '0');
        if (i < format.size() && format[i] == '.') {
            precision = 0;
            ++i;
            while (i < format.size() && format[i] >= '0' && format[i] <= '9')
                precision = precision * 10 + (format[i++] - '0');
        }
        if (i >= format.size() || next == args.end()) throw invalid();
        const FormatArg& arg = *next++;
        AnsiString piece;
        const char kind = static_cast<char>(format[i] | 0x20);
        if (kind == 'd' || kind == 'u' || kind == 'x') {
            const int64_t* v = std::get_if<int64_t>(&arg.value);
            if (!v) throw invalid();
            bool negative = kind == 'd' && *v < 0;
            uint64_t magnitude = kind == 'd' ? (negative ? 0 - static_cast<uint64_t>(*v) : static_cast<uint64_t>(*v))
                                             : static_cast<uint32_t>(*v);
            char buf[32];
            std::snprintf(buf, sizeof buf, kind == 'x' ? "%llX" : "%llu", static_cast<unsigned long long>(magnitude));
            piece = buf;
            if (precision > 0 && static_cast<int>(piece.size()) < precision)
                piece.insert(0, static_cast<std::size_t>(precision) - piece.size(), '0');
            if (negative) piece.insert(0, 1, '-');
        } else if (kind == 's') {
            const AnsiString* v = std::get_if<AnsiString>(&arg.value);
            if (!v) throw invalid();
            piece = precision >= 0 ? v->substr(0, static_cast<std::size_t>(precision)) : *v;
        } else if (kind == 'p') {
            const uintptr_t* v = std::get_if<uintptr_t>(&arg.value);
            if (!v) throw invalid();
            piece = PointerToHex(*v);
        } else {
            throw invalid();
        }
        if (static_cast<int>(piece.size()) < width)
            piece.insert(left ? piece.size() : 0, static_cast<std::size_t>(width) - piece.size(), ' ');
        out += piece;
    }
    return out;
}

}  // namespace dct
