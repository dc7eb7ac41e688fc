#include "base/IniEngine.h"


namespace dct::ini {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Names match with only A-Z folded, as kernel32 compares them (an ordinal, case-insensitive compare).
// The names this library uses are digits and ASCII letters.
unsigned char Fold(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + 32) : u;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

// The platform takes every text as a C string: anything after a zero is not there.
std::string_view CString(std::string_view s) {
    std::size_t z = s.find('\0');
    return z == std::string_view::npos ? s : s.substr(0, z);
}

std::string_view TrimBlanks(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && IsBlank(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string_view TrimLeftBlanks(std::string_view s) {
    std::size_t b = 0;
    while (b < s.size() && IsBlank(static_cast<unsigned char>(s[b]))) ++b;
    return s.substr(b);
}

// The section a key is read from or written to: the query is trimmed first. An empty name stands
// for the lines before the first header.
Section* FindForKey(Profile& p, std::string_view section) {
    std::string_view q = TrimBlanks(section);
    for (Section& s : p.sections)
        if (SameName(s.name, q)) return &s;
    return nullptr;
}

// Listing a section's keys and erasing a section compare the name as given, untrimmed.
std::vector<Section>::iterator FindExact(Profile& p, std::string_view section) {
    for (auto it = p.sections.begin(); it != p.sections.end(); ++it)
        if (SameName(it->name, section)) return it;
    return p.sections.end();
}

Key* FindKey(Section& s, std::string_view key) {
    std::string_view q = TrimBlanks(key);
    for (Key& k : s.keys)
        if (SameName(k.name, q)) return &k;
    return nullptr;
}

// Copies a value into a buffer of `size` characters, dropping a pair of enclosing quotes. When the
// buffer is exactly one character short of the unquoted text, the platform still drops the last
// character it copied, taking it for the closing quote; kept so that both builds read alike.
std::string CopyEntry(std::string_view value, std::size_t size, bool stripQuotes) {
    bool quoted = false;
    if (stripQuotes && value.size() >= 2 && (value[0] == '\'' || value[0] == '"') && value.back() == value[0]) {
        quoted = true;
        value.remove_prefix(1);
    }
    std::string out(value.substr(0, size - 1));
    if (quoted && size >= value.size() && !out.empty()) out.pop_back();
    return out;
}

}  // namespace

// Tab, LF, VT, FF, CR, blank and ^Z (the old end-of-file mark).
bool IsBlank(unsigned char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A; }

namespace {

// Walks the lines of a file as the platform reads them and hands each section header and each entry
// to the visitor as views into the bytes, allocating nothing:
//   visitor.Section(name) for a header, visitor.Key(name, value) for an entry (value null for a
//   line without '='), each returning false to stop the walk; visitor.WantsKeys() says whether the
//   entries of the current section matter at all.
// Entries before the first header belong to the nameless section, which exists unless the file is
// empty.
template <typename Visitor>
void Scan(std::string_view bytes, Visitor& visitor) {
    if (bytes.empty()) return;  // an empty file has not even the nameless section
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
    if (!visitor.Section(std::string_view{})) return;
    bool previousNameless = false, anyPrevious = false;
    const char* const data = bytes.data();
    const std::size_t size = bytes.size();
    std::size_t pos = 0;
    while (pos < size) {
        // A line ends at CR or LF; the empty lines between them are skipped like blank ones.
        std::size_t end = pos;
        while (end < size && data[end] != '\r' && data[end] != '\n') ++end;
        std::string_view line = TrimBlanks(bytes.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty()) continue;

        if (line[0] == '[') {
            std::size_t close = line.rfind(']');
            if (close != std::string_view::npos && close > 0) {
                anyPrevious = false;
                if (!visitor.Section(CString(TrimBlanks(line.substr(1, close - 1))))) return;
                continue;
            }
            // A '[' without a closing bracket is an ordinary line.
        }

        // Entries of sections the visitor does not look into need no parsing.
        if (!visitor.WantsKeys()) continue;
        std::string_view name = line;
        std::optional<std::string_view> value;
        if (std::size_t eq = line.find('='); eq != std::string_view::npos) {
            name = line.substr(0, eq);
            while (!name.empty() && IsBlank(static_cast<unsigned char>(name.back()))) name.remove_suffix(1);
            value = CString(TrimLeftBlanks(line.substr(eq + 1)));
        }
        // Runs of nameless entries ("=x") collapse into their first one.
        if (!name.empty() || !anyPrevious || !previousNameless) {
            name = CString(name);
            anyPrevious = true;
            previousNameless = name.empty();
            if (!visitor.Key(name, value)) return;
        }
    }
}

// Builds the whole profile.
struct ProfileBuilder {
    Profile& p;
    bool WantsKeys() const { return true; }
    bool Section(std::string_view name) {
        p.sections.push_back(ini::Section{std::string(name), {}});
        return true;
    }
    bool Key(std::string_view name, std::optional<std::string_view> value) {
        ini::Key k{std::string(name), {}};
        if (value) k.value = std::string(*value);
        p.sections.back().keys.push_back(std::move(k));
        return true;
    }
};

// Looks at the entries of the first section whose name matches and stops after it.
template <typename OnKey>
struct FirstSection {
    std::string_view wanted;
    OnKey onKey;
    bool inside = false, seen = false;
    bool WantsKeys() const { return inside; }
    bool Section(std::string_view name) {
        if (inside) return false;  // past the first match: nothing more to see
        inside = !seen && SameName(name, wanted);
        seen = seen || inside;
        return true;
    }
    bool Key(std::string_view name, std::optional<std::string_view> value) {
        return !inside || onKey(name, value);
    }
};

template <typename OnKey>
FirstSection<OnKey> InFirstSection(std::string_view wanted, OnKey onKey) {
    return {wanted, std::move(onKey)};
}

}  // namespace

Profile Parse(std::string_view bytes) {
    Profile p;
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) p.bom = kUtf8Bom;
    ProfileBuilder builder{p};
    Scan(bytes, builder);
    return p;
}

std::string Serialize(const Profile& profile) {
    std::string out = profile.bom;
    for (const Section& s : profile.sections) {
        if (!s.name.empty()) out.append("[").append(s.name).append("]\r\n");
        for (const Key& k : s.keys) {
            out.append(k.name);
            if (k.value) out.append("=").append(*k.value);
            out.append("\r\n");
        }
    }
    return out;
}

std::string ReadValue(FileState state, std::string_view content, std::string_view section, std::string_view key,
                      std::string_view fallback, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    section = CString(section), key = CString(key), fallback = CString(fallback);
    // Trailing spaces of the default go, but never its first character.
    while (fallback.size() > 1 && fallback.back() == ' ') fallback.remove_suffix(1);
    if (state == FileState::Unreachable) return std::string(fallback.substr(0, bufferSize - 1));
    // The first entry of the key in the first section of the name, as FindForKey and FindKey find it.
    const std::string_view wantedKey = TrimBlanks(key);
    std::optional<std::optional<std::string_view>> found;
    auto scan = InFirstSection(TrimBlanks(section), [&](std::string_view name, std::optional<std::string_view> value) {
        if (!SameName(name, wantedKey)) return true;
        found = value;
        return false;
    });
    Scan(state == FileState::Present ? content : std::string_view{}, scan);
    return CopyEntry(found && *found ? **found : fallback, bufferSize, true);
}

std::vector<std::string> SectionNames(std::string_view content) {
    struct Names {
        std::vector<std::string> names;
        bool Section(std::string_view name) {
            if (!name.empty()) names.emplace_back(name);
            return true;
        }
        bool WantsKeys() const { return false; }
        bool Key(std::string_view, std::optional<std::string_view>) { return true; }
    } collect;
    Scan(content, collect);
    return std::move(collect.names);
}

std::vector<std::string> KeyNames(std::string_view content, std::string_view section) {
    std::vector<std::string> names;
    // Listing compares the section's name as given, untrimmed.
    auto scan = InFirstSection(CString(section), [&](std::string_view name, std::optional<std::string_view> value) {
        if (!value || (!name.empty() && name[0] == ';')) return true;  // bare lines and comments
        // A nameless entry ("=x") is listed as an empty name, which ends the zero-separated list.
        if (name.empty()) return false;
        names.emplace_back(name);
        return true;
    });
    Scan(content, scan);
    return names;
}

std::optional<std::string> WriteValue(std::string_view content, std::string_view section, std::string_view key,
                                      std::string_view value) {
    section = CString(section), key = CString(key);
    std::string_view v = TrimLeftBlanks(CString(value));
    Profile p = Parse(content);
    Section* s = FindForKey(p, section);
    if (!s) {
        // A new section and a new key keep the caller's spelling, leading blanks dropped.
        p.sections.push_back(Section{std::string(TrimLeftBlanks(section)), {}});
        s = &p.sections.back();
    }
    Key* k = FindKey(*s, key);
    if (!k) {
        s->keys.push_back(Key{std::string(TrimLeftBlanks(key)), {}});
        k = &s->keys.back();
    } else if (k->value && *k->value == v) {
        return std::nullopt;
    }
    k->value = std::string(v);
    return Serialize(p);
}

std::optional<std::string> EraseSection(std::string_view content, std::string_view section) {
    Profile p = Parse(content);
    auto it = FindExact(p, CString(section));
    if (it == p.sections.end()) return std::nullopt;
    p.sections.erase(it);
    return Serialize(p);
}

}  // namespace dct::ini
