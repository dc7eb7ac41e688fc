#include "drv/dct/drivers/opticon_zebex/AddIn_TLB.h"

#include <cstdio>

#include "lib/cp1251.h"
#include "platform/Codepage.h"
#include "platform/ComActivation.h"

namespace dct {
namespace {

using platform::ComPtr;
using platform::UniqueBstr;

// Blanks, control characters and full stops at the end of a message go, as with every COM error text
// the runtime shows.
AnsiString TrimPunctuation(AnsiString text) {
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.')) text.pop_back();
    return text;
}

// The system's text for the status, else the generic one.
AnsiString StatusMessage(HRESULT status) {
    AnsiString text = TrimPunctuation(platform::ComErrorMessage(status));
    if (!text.empty()) return text;
    char buffer[32];
    // The runtime's Format writes hexadecimal digits in upper case.
    std::snprintf(buffer, sizeof buffer, "OLE error %.8X", static_cast<unsigned>(status));
    return buffer;
}

// Statuses with which a call learns that the server is no longer there. A proxy stays dead once its
// server has gone, so keeping it would fail every later call until the host frees the driver.
bool ServerGone(HRESULT status) {
    switch (static_cast<uint32_t>(status)) {
        case 0x800706BAu:  // RPC_S_SERVER_UNAVAILABLE: the server process has ended
        case 0x800706BEu:  // RPC_S_CALL_FAILED: it ended during this call
        case 0x800706BFu:  // RPC_S_CALL_FAILED_DNE
        case 0x80010006u:  // RPC_E_CONNECTION_TERMINATED
        case 0x80010007u:  // RPC_E_SERVER_DIED
        case 0x80010012u:  // RPC_E_SERVER_DIED_DNE
        case 0x80010108u:  // RPC_E_DISCONNECTED: the server disconnected its objects
        case 0x800401FDu:  // CO_E_OBJNOTCONNECTED
            return true;
        default:
            return false;
    }
}

AnsiString ToAnsi(const UniqueBstr& text) { return platform::Utf16ToAnsi(text.view()); }

UniqueBstr ToBstr(std::string_view text) {
    UniqueBstr result = UniqueBstr::FromUtf16(platform::AnsiToUtf16(text));
    if (!result.get()) throw EOleSysError(StatusMessage(E_OUTOFMEMORY), E_OUTOFMEMORY);
    return result;
}

}  // namespace

TTerminals::TTerminals() = default;

TTerminals::~TTerminals() { Disconnect(); }

void TTerminals::Check(HRESULT status) {
    if (SUCCEEDED(status)) return;
    // The server describes its failure through the thread's error object; taking it also clears it,
    // so that a later failure without one is not described by this one's text.
    ComPtr<IErrorInfo> info;
    AnsiString description, source;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
        UniqueBstr text;
        if (SUCCEEDED(info->GetDescription(text.put()))) description = ToAnsi(text);
        if (SUCCEEDED(info->GetSource(text.put()))) source = ToAnsi(text);
    }
    AnsiString message = TrimPunctuation(std::move(description));
    if (message.empty()) message = StatusMessage(status);
    if (ServerGone(status)) {
        FIntf.reset();
        FServerLost = true;
    }
    throw EOleException(std::move(message), status, std::move(source));
}

void TTerminals::Connect() {
    if (FIntf) return;
    ComPtr<IUnknown> server;
    HRESULT hr = platform::GetActiveOrCreateObject(CLSID_Terminals, server.put());
    if (FAILED(hr)) throw EOleSysError(StatusMessage(hr), hr);
    // A server that answers with no object leaves the client unconnected; GetDefaultInterface reports it.
    if (!server) return;
    ComPtr<ITerminals> terminals;
    if (FAILED(platform::QueryInterfaceOf(server.get(), IID_ITerminals, terminals.put_void())) || !terminals)
        throw EIntfCastError(Cp1251(u8"Интерфейс не поддерживается").str());
    FIntf = std::move(terminals);
}

void TTerminals::Disconnect() { FIntf.reset(); }

ITerminals* TTerminals::GetDefaultInterface() {
    if (!FIntf) Connect();
    if (!FIntf)
        throw EAssertionFailed(
            "DefaultInterface is NULL. Component is not connected to Server. You must call 'Connect' or "
            "'ConnectTo' before this operation");
    return FIntf.get();
}

int32_t TTerminals::ShowProperties() {
    int32_t result = 0;
    Check(GetDefaultInterface()->ShowProperties(&result));
    return result;
}

int32_t TTerminals::BeginReport() {
    int32_t status = 0;
    Check(GetDefaultInterface()->BeginReport(&status));
    return status;
}

int32_t TTerminals::EndReport() {
    int32_t status = 0;
    Check(GetDefaultInterface()->EndReport(&status));
    return status;
}

int32_t TTerminals::GetRecord() {
    int32_t status = 0;
    Check(GetDefaultInterface()->GetRecord(&status));
    return status;
}

void TTerminals::Set_BaudRate(int32_t value) { Check(GetDefaultInterface()->Set_BaudRate(value)); }

void TTerminals::Set_PortNumber(int32_t value) { Check(GetDefaultInterface()->Set_PortNumber(value)); }

AnsiString TTerminals::Get_ResultDescription() {
    // Owned before the status is looked at: a server may hand out a string and still fail.
    UniqueBstr value;
    Check(GetDefaultInterface()->Get_ResultDescription(value.put()));
    return ToAnsi(value);
}

void TTerminals::Set_FormNumber(int32_t value) { Check(GetDefaultInterface()->Set_FormNumber(value)); }

uint8_t TTerminals::Get_DeviceEnabled() {
    uint8_t value = 0;
    Check(GetDefaultInterface()->Get_DeviceEnabled(&value));
    return value;
}

int32_t TTerminals::Clear() {
    int32_t status = 0;
    Check(GetDefaultInterface()->Clear(&status));
    return status;
}

void TTerminals::Set_ShowProgress(int16_t value) { Check(GetDefaultInterface()->Set_ShowProgress(value)); }

uint8_t TTerminals::GetFieldCount() {
    uint8_t value = 0;
    Check(GetDefaultInterface()->GetFieldCount(&value));
    return value;
}

int32_t TTerminals::BeginDownLoadTable() {
    int32_t status = 0;
    Check(GetDefaultInterface()->BeginDownLoadTable(&status));
    return status;
}

int32_t TTerminals::ClearTableBuffer() {
    int32_t status = 0;
    Check(GetDefaultInterface()->ClearTableBuffer(&status));
    return status;
}

int32_t TTerminals::AddInTable(std::string_view field) {
    ITerminals* intf = GetDefaultInterface();
    UniqueBstr text = ToBstr(field);
    int32_t status = 0;
    Check(intf->AddInTable(text.get(), &status));
    return status;
}

int32_t TTerminals::DownLoadTable() {
    int32_t status = 0;
    Check(GetDefaultInterface()->DownLoadTable(&status));
    return status;
}

int32_t TTerminals::LoadFormFromFile(std::string_view path) {
    ITerminals* intf = GetDefaultInterface();
    UniqueBstr text = ToBstr(path);
    int32_t status = 0;
    Check(intf->LoadFormFromFile(text.get(), &status));
    return status;
}

AnsiString TTerminals::GetField(int32_t index) {
    UniqueBstr value;
    Check(GetDefaultInterface()->GetField(index, value.put()));
    return ToAnsi(value);
}

int32_t TTerminals::AddToTable() {
    int32_t status = 0;
    Check(GetDefaultInterface()->AddToTable(&status));
    return status;
}

}  // namespace dct
