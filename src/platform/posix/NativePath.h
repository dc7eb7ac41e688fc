// Paths reach the library in Windows form (the core joins folders with '\'); the POSIX seams open
// them with '/' instead so that the same core runs here unchanged.
#pragma once

#include <string>

namespace dct::platform {

inline std::string NativePath(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

}  // namespace dct::platform
