#include <windows.h>

#include "platform/DefaultEnv.h"

namespace dct::platform {
namespace {

// Splits a list of zero-terminated names ended by an empty one.
std::vector<std::string> SplitList(const char* p, const char* end) {
    std::vector<std::string> out;
    while (p < end && *p) {
        std::string name(p);
        p += name.size() + 1;
        out.push_back(std::move(name));
    }
    return out;
}

// The list functions answer size - 2 when the buffer was too small; grow until the whole list fits.
template <typename Fill>
std::vector<std::string> ReadList(Fill fill) {
    for (DWORD size = 4096;; size *= 2) {
        std::string buffer(size, '\0');
        DWORD n = fill(buffer.data(), size);
        if (n + 2 < size || size >= (1u << 26)) return SplitList(buffer.data(), buffer.data() + n);
    }
}

}  // namespace

std::string DefaultEnv::ProfileReadString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& fallback) {
    char buffer[kProfileValueMax + 1];
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer, sizeof buffer,
                                       file.c_str());
    return std::string(buffer, n);
}

std::vector<std::string> DefaultEnv::ProfileSectionNames(const std::string& file) {
    return ReadList([&](char* buffer, DWORD size) { return GetPrivateProfileSectionNamesA(buffer, size, file.c_str()); });
}

std::vector<std::string> DefaultEnv::ProfileKeyNames(const std::string& file, const std::string& section) {
    // A null key lists the entry names of the section (lines with '=', comments excepted).
    return ReadList([&](char* buffer, DWORD size) {
        return GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer, size, file.c_str());
    });
}

bool DefaultEnv::ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
}

bool DefaultEnv::ProfileEraseSection(const std::string& file, const std::string& section) {
    return WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, file.c_str()) != FALSE;
}

}  // namespace dct::platform
