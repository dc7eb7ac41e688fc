// The platform's private-profile store: reading, listing, writing and erasing INI entries, each call a
// complete access to the file. Texts are 8-bit in the ANSI code page.
//
// win32: kernel32's private-profile functions. posix: the library's own INI engine (lib/IniEngine.h)
// over the file; paths arrive in Windows form and are opened with '/' separators.
#pragma once

#include <string>
#include <vector>

namespace dct::platform {

// Longest value the library reads (the runtime reads through a 2048-character buffer).
constexpr std::size_t kProfileValueMax = 2047;

// The value of `key` in `section`, blanks around it removed, at most kProfileValueMax characters;
// `fallback` when the file, the section or the key is absent.
std::string ProfileReadString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& fallback);

// Names of all sections in file order; none when the file is absent.
std::vector<std::string> ProfileSectionNames(const std::string& file);

// Names of the entries of `section` in file order; none when the file or the section is absent.
std::vector<std::string> ProfileKeyNames(const std::string& file, const std::string& section);

// Writes the value in place or appends it; false when the platform refused the write.
bool ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);

// Erases the section with all its entries; false when the platform refused the write.
bool ProfileEraseSection(const std::string& file, const std::string& section);

}  // namespace dct::platform
