#include "lib/commutil.h"

namespace dct {

std::string ConstructFileName(std::string_view directory, std::string_view name) {
    std::string out(directory);
    if (!out.empty() && out.back() != '\\' && out.back() != '/') out.push_back('\\');
    out.append(name);
    return out;
}

std::string ChangeFileExt(std::string_view path, std::string_view extension) {
    std::size_t dot = path.find_last_of(".\\/:");
    std::string out(path.substr(0, dot != std::string_view::npos && path[dot] == '.' ? dot : path.size()));
    out.append(extension);
    return out;
}

}  // namespace dct
