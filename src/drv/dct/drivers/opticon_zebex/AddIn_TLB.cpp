#include "drv/dct/drivers/opticon_zebex/AddIn_TLB.h"

#include <cstdio>

#include "base/cp1251.h"
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

}  // namespace

namespace detail {

AnsiString ToAnsi(const UniqueBstr& text) { return platform::Utf16ToAnsi(text.view()); }

void ToAnsi(const UniqueBstr& text, AnsiString& into) { platform::Utf16ToAnsi(text.view(), into); }

UniqueBstr ToBstr(std::string_view text) {
    UniqueBstr result = UniqueBstr::FromUtf16(platform::AnsiToUtf16(text));
    if (!result.get()) throw EOleSysError(StatusMessage(E_OUTOFMEMORY), E_OUTOFMEMORY);
    return result;
}

}  // namespace detail

TTerminals::TTerminals(platform::Env& env) : FEnv(env) {}

TTerminals::~TTerminals() { Disconnect(); }

void TTerminals::Fail(HRESULT status) {
    // The server describes its failure through the thread's error object; taking it also clears it,
    // so that a later failure without one is not described by this one's text.
    ComPtr<IErrorInfo> info;
    AnsiString description, source;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
        UniqueBstr text;
        if (SUCCEEDED(info->GetDescription(text.put()))) description = detail::ToAnsi(text);
        if (SUCCEEDED(info->GetSource(text.put()))) source = detail::ToAnsi(text);
    }
    AnsiString message = TrimPunctuation(std::move(description));
    if (message.empty()) message = StatusMessage(status);
    if (ServerGone(status)) {
        FIntf.reset();
        FServerLost = true;
        ++FLosses;
    }
    throw EOleException(std::move(message), status, std::move(source));
}

void TTerminals::Connect() {
    if (FIntf) return;
    ComPtr<IUnknown> server;
    HRESULT hr = FEnv.GetActiveOrCreateObject(CLSID_Terminals, server.put());
    if (FAILED(hr)) throw EOleSysError(StatusMessage(hr), hr);
    // A server that answers with no object leaves the client unconnected; GetDefaultInterface reports it.
    if (!server) return;
    ComPtr<ITerminals> terminals;
    if (FAILED(platform::QueryInterfaceOf(server.get(), IID_ITerminals, terminals.put_void())) || !terminals)
        throw EIntfCastError(Cp1251(u8"Интерфейс не поддерживается").str());
    FIntf = std::move(terminals);
}

void TTerminals::Disconnect() { FIntf.reset(); }

ITerminals* TTerminals::ConnectForCall() {
    Connect();
    if (!FIntf)
        throw EAssertionFailed(
            "DefaultInterface is NULL. Component is not connected to Server. You must call 'Connect' or "
            "'ConnectTo' before this operation");
    return FIntf.get();
}

}  // namespace dct
