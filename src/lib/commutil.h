// Small path helpers shared by the library's modules.
#pragma once

#include <string>
#include <string_view>

namespace dct {

// The settings file of the terminals, in the folder the host names.
inline constexpr char kSettingsFileName[] = "DctDrv.ini";

// The path of file `name` in `directory`: the name alone for an empty directory, directory + name
// when the directory ends in '\' or '/', directory + '\' + name otherwise. Nothing else is normalised.
std::string ConstructFileName(std::string_view directory, std::string_view name);

// The path with its extension (from the last '.' after the last separator) replaced by `extension`.
std::string ChangeFileExt(std::string_view path, std::string_view extension);

}  // namespace dct
