// The INI-file class over the platform's private-profile store: one object per file path, holding
// only the path (and the environment whose store it uses); every operation is a complete access to
// the file.
#pragma once

#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "platform/Env.h"

namespace dct {

class TIniFile {
public:
    TIniFile(AnsiString fileName, platform::Env& env);
    virtual ~TIniFile();

    const AnsiString& FileName() const { return fileName_; }

    // The value of a key, blanks around it removed; `fallback` when the file, section or key is absent.
    AnsiString ReadString(const AnsiString& section, const AnsiString& key, const AnsiString& fallback) const;
    // Replaces the value in place (key matched without regard to case) or appends the entry,
    // creating section and file when absent. Raises EIniFileException "Unable to write to %s".
    void WriteString(const AnsiString& section, const AnsiString& key, const AnsiString& value);
    // Section names in file order.
    std::vector<AnsiString> ReadSections() const;
    // Key names of one section in file order.
    std::vector<AnsiString> ReadSection(const AnsiString& section) const;
    // Erases the section with all its entries. Raises EIniFileException "Unable to write to %s".
    void EraseSection(const AnsiString& section);

private:
    AnsiString fileName_;
    platform::Env& env_;
};

}  // namespace dct
