// A private-profile (INI) engine over file bytes, for platforms without the Windows profile functions.
//
// It answers the calls the library makes the way kernel32's GetPrivateProfileStringA,
// GetPrivateProfileSectionNamesA and WritePrivateProfileStringA do:
//   - lines end at CR or LF; blanks (tab, VT, FF, space, ^Z) around lines, section names, key names
//     and values are dropped on reading; empty lines are skipped;
//   - '[' ... last ']' starts a section; the lines before the first header form a nameless section;
//   - "name=value" at the first '='; a line without '=' is kept but has no value;
//     a name beginning with ';' is a comment and is not listed;
//   - section and key names match with A-Z folded to a-z (no other letters); the first match wins;
//   - a value enclosed in a pair of equal quotes (' or ") is read without them;
//   - writing replaces a value in place, else appends the key at the end of the first matching
//     section, else appends a new section at the end of the file.
// A changed file is written back whole with CR LF lines. Like Wine's kernel32 (the implementation
// we can check against byte for byte) and unlike Windows, rewriting drops blank lines and the blanks
// around '='; every value reads back the same either way.
//
// Files are 8-bit text in the ANSI code page. A leading UTF-8 byte-order mark is skipped and written
// back; the text behind it is still handled as bytes, which agrees with the platform for ASCII text
// (the settings this library writes are ASCII).
// Every function is pure over the file content, so the engine can be fuzzed in isolation.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dct::ini {

// What the platform found at the file's path before a call.
enum class FileState {
    Present,      // the file was read; its bytes are the content
    Missing,      // no such file in an existing directory: an empty profile, created on first write
    Unreachable,  // the directory is missing or the file cannot be opened: reads give the default,
                  // writes fail
};

struct Key {
    std::string name;
    std::optional<std::string> value;  // none for a line without '='
};

struct Section {
    std::string name;  // empty for the lines before the first header (and for "[]")
    std::vector<Key> keys;
};

struct Profile {
    std::string bom;                 // a UTF-8 byte-order mark found at the start, written back as found
    std::vector<Section> sections;   // sections[0] holds the lines before the first header (none for
                                     // an empty file)
};

Profile Parse(std::string_view bytes);
std::string Serialize(const Profile& profile);

// GetPrivateProfileStringA(section, key, fallback, buffer, bufferSize): the value truncated to
// bufferSize - 1 characters (bufferSize >= 1), or the fallback with its trailing spaces removed.
std::string ReadValue(FileState state, std::string_view content, std::string_view section, std::string_view key,
                      std::string_view fallback, std::size_t bufferSize = 2048);

// GetPrivateProfileSectionNamesA: every named section in file order, repeats included.
std::vector<std::string> SectionNames(std::string_view content);

// GetPrivateProfileStringA(section, NULL, ...): the names of the first matching section's entries
// that have a value, comments excepted, up to the first nameless one.
std::vector<std::string> KeyNames(std::string_view content, std::string_view section);

// WritePrivateProfileStringA(section, key, value): the new file content, or nothing when the file
// would stay as it is.
std::optional<std::string> WriteValue(std::string_view content, std::string_view section, std::string_view key,
                                      std::string_view value);

// WritePrivateProfileStringA(section, NULL, NULL): the new content without the first matching
// section, or nothing when there is none.
std::optional<std::string> EraseSection(std::string_view content, std::string_view section);

// The characters that count as blanks around lines, names and values.
bool IsBlank(unsigned char c);

}  // namespace dct::ini
