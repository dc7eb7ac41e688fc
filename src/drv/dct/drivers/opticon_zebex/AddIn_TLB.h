// Client of the terminal-communication COM server (type library AddIn, coclass Terminals,
// interface ITerminals).
//
// Every operation connects on demand. A failing HRESULT raises EOleException; a server that cannot
// be created raises EOleSysError; an object without ITerminals raises EIntfCastError. Nothing here
// catches. Strings cross as UTF-16 and are converted with the system's ANSI code page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lib/Exceptions.h"

namespace dct {

struct ITerminals;

class TTerminals {
public:
    TTerminals();   // unconnected; no owner
    ~TTerminals();  // disconnects
    TTerminals(const TTerminals&) = delete;
    TTerminals& operator=(const TTerminals&) = delete;

    void Connect();
    void Disconnect();
    ITerminals* GetDefaultInterface();

    int32_t ShowProperties();
    int32_t BeginReport();
    int32_t EndReport();
    int32_t GetRecord();
    void Set_BaudRate(int32_t value);
    void Set_PortNumber(int32_t value);
    AnsiString Get_ResultDescription();
    void Set_FormNumber(int32_t value);
    uint8_t Get_DeviceEnabled();
    int32_t Clear();
    void Set_ShowProgress(int16_t value);  // VARIANT_BOOL: -1 is true
    uint8_t GetFieldCount();
    int32_t BeginDownLoadTable();
    int32_t ClearTableBuffer();
    int32_t AddInTable(std::string_view field);
    int32_t DownLoadTable();
    int32_t LoadFormFromFile(std::string_view path);
    AnsiString GetField(int32_t index);
    int32_t AddToTable();

private:
    ITerminals* FIntf = nullptr;  // owned reference (the terminal-server helper may wrap it in an owner type)
};

}  // namespace dct
