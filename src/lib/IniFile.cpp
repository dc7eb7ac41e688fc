#include "lib/IniFile.h"

#include <utility>

#include "platform/ProfileStore.h"

namespace dct {
namespace {

[[noreturn]] void RaiseWriteError(const AnsiString& fileName) {
    throw EIniFileException("Unable to write to " + fileName);
}

}  // namespace

TIniFile::TIniFile(AnsiString fileName) : fileName_(std::move(fileName)) {}

TIniFile::~TIniFile() = default;

AnsiString TIniFile::ReadString(const AnsiString& section, const AnsiString& key, const AnsiString& fallback) const {
    return platform::ProfileReadString(fileName_, section, key, fallback);
}

void TIniFile::WriteString(const AnsiString& section, const AnsiString& key, const AnsiString& value) {
    if (!platform::ProfileWriteString(fileName_, section, key, value)) RaiseWriteError(fileName_);
}

std::vector<AnsiString> TIniFile::ReadSections() const { return platform::ProfileSectionNames(fileName_); }

std::vector<AnsiString> TIniFile::ReadSection(const AnsiString& section) const {
    return platform::ProfileKeyNames(fileName_, section);
}

void TIniFile::EraseSection(const AnsiString& section) {
    if (!platform::ProfileEraseSection(fileName_, section)) RaiseWriteError(fileName_);
}

}  // namespace dct
