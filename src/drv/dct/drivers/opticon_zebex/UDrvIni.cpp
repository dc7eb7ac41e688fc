#include "drv/dct/drivers/opticon_zebex/UDrvIni.h"

#include <utility>

#include "base/SysUtils.h"

namespace dct {

TDrvIni::TDrvIni(AnsiString fileName, platform::Env& env) : TIniFile(std::move(fileName), env) {}

TDrvIni::~TDrvIni() = default;

int32_t TDrvIni::GetTermCount() {
    FTermList = std::make_unique<std::vector<AnsiString>>(ReadSections());
    FTermCount = static_cast<int32_t>(FTermList->size());
    FTermIndex = 0;
    return FTermCount;
}

bool TDrvIni::DctExist(int32_t number) { return !ReadSection(IntToStr(number)).empty(); }

void TDrvIni::GetTermInfoByID(int32_t number, TTermInfo& info) {
    info.Clear();
    const AnsiString section = IntToStr(number);
    // Each field is stored as soon as it converts: a bad value stops here with the earlier ones kept.
    info.Port = StrToInt(ReadString(section, "DCT_Port", "1"));
    info.Rate = StrToInt(ReadString(section, "DCT_Rate", "1"));
    info.ID = StrToInt(ReadString(section, "DCT_ID", "0"));
    info.ConnType = StrToInt(ReadString(section, "DCT_Type", "0"));
}

void TDrvIni::NewTermInfo(const TTermInfo& info) {
    const AnsiString section = IntToStr(info.ID);
    // Key names and order as the file has always been written; "DCT_type" is read back as "DCT_Type"
    // since names match without regard to case.
    WriteString(section, "DCT_Port", IntToStr(info.Port));
    WriteString(section, "DCT_Rate", IntToStr(info.Rate));
    WriteString(section, "DCT_type", IntToStr(info.ConnType));
    WriteString(section, "DCT_ID", IntToStr(info.ID));
}

void TDrvIni::DelTermInfo(const AnsiString& section) { EraseSection(section); }

}  // namespace dct
