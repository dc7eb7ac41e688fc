// DctDrv.ini: one section per terminal number, read and written through the platform's profile store.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "drv/dct/dctIntf.h"
#include "lib/IniFile.h"

namespace dct {

class TDrvIni : public TIniFile {
public:
    // Nothing is read yet; every operation opens the file afresh, through the environment's profile store.
    TDrvIni(AnsiString fileName, platform::Env& env);
    ~TDrvIni() override;

    // Replaces the list of section names by the file's, returns their number.
    int32_t GetTermCount();
    // True when the terminal's section holds at least one key.
    bool DctExist(int32_t number);
    // Clears the record, then reads "DCT_Port", "DCT_Rate", "DCT_ID", "DCT_Type" in this order.
    // Raises EConvertError on a value that is not an integer; fields read before it keep their values.
    void GetTermInfoByID(int32_t number, TTermInfo& info);
    // Writes "DCT_Port", "DCT_Rate", "DCT_type", "DCT_ID" into the section named by info.ID.
    void NewTermInfo(const TTermInfo& info);
    // Erases the whole section.
    void DelTermInfo(const AnsiString& section);

private:
    int32_t FTermCount = 0;
    std::unique_ptr<std::vector<AnsiString>> FTermList;
    int32_t FTermIndex = 0;
};

}  // namespace dct
