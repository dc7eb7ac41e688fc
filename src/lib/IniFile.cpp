#include "lib/IniFile.h"

#include <utility>


namespace dct {
namespace {

[[noreturn]] void RaiseWriteError(const AnsiString& fileName) {
    throw EIniFileException("Unable to write to " + fileName);
}

}  // namespace

TIniFile::TIniFile(AnsiString fileName, platform::Env& env) : fileName_(std::move(fileName)), env_(env) {}

TIniFile::~TIniFile() = default;

AnsiString TIniFile::ReadString(const AnsiString& section, const AnsiString& key, const AnsiString& fallback) const {
    return env_.ProfileReadString(fileName_, section, key, fallback);
}

void TIniFile::WriteString(const AnsiString& section, const AnsiString& key, const AnsiString& value) {
    if (!env_.ProfileWriteString(fileName_, section, key, value)) RaiseWriteError(fileName_);
}

std::vector<AnsiString> TIniFile::ReadSections() const { return env_.ProfileSectionNames(fileName_); }

std::vector<AnsiString> TIniFile::ReadSection(const AnsiString& section) const {
    return env_.ProfileKeyNames(fileName_, section);
}

void TIniFile::EraseSection(const AnsiString& section) {
    if (!env_.ProfileEraseSection(fileName_, section)) RaiseWriteError(fileName_);
}

}  // namespace dct
