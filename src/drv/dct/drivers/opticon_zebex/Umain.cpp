#include "drv/dct/drivers/opticon_zebex/Umain.h"

#include <chrono>
#include <utility>

#include "drv/dct/dctIntf.h"
#include "drv/dct/drivers/opticon_zebex/AddIn_TLB.h"
#include "drv/dct/drivers/opticon_zebex/UService.h"
#include "base/DateTimeFormat.h"
#include "base/SysUtils.h"
#include "base/cp1251.h"
#include "lib/commutil.h"
#include "lib/parmstr.h"
#include "platform/Files.h"

namespace dct {
namespace {

constexpr int16_t kVariantTrue = -1;

// What the host reads with DctErr when the server of an open cycle was lost.
inline constexpr auto kReadLost =
    Cp1251(u8"Связь с сервером терминала потеряна во время чтения: терминал не очищен");
inline constexpr auto kWriteLost =
    Cp1251(u8"Связь с сервером терминала потеряна во время записи таблицы: таблица в терминале не изменена");

// Another host process sharing the settings folder may hold the log for a moment; wait for it
// rather than lose the line.
// The step is short because a busy writer (another host logging a run of failures) frees the file
// only between two of its appends: a waiter that looks seldom may miss every gap.
constexpr auto kLogRetryFor = std::chrono::milliseconds(250);
constexpr auto kLogRetryStep = std::chrono::milliseconds(1);

// The separator the locale expects, put in place of the first '.' and then of the first ','.
// One pass does both: the separator is neither character once it differs from both.
void LocalizeDecimal(AnsiString& text, char separator) {
    bool pointDone = separator == '.', commaDone = separator == ',';
    for (char& c : text) {
        if (pointDone && commaDone) break;
        if (!pointDone && c == '.') {
            c = separator;
            pointDone = true;
        } else if (!commaDone && c == ',') {
            c = separator;
            commaDone = true;
        }
    }
}

}  // namespace

std::unique_ptr<TDctDriver> TDctDriver::CreateConcreteDriver(const AnsiString& parameters, platform::Env& env) {
    return std::make_unique<TdctOpticon9728Driver>(parameters, env);
}

TdctOpticon9728Driver::TdctOpticon9728Driver(const AnsiString& parameters, platform::Env& env)
    : FEnv(env), FDecimalSeparator(env.UserFormats().DecimalSeparator) {
    TParametersString params(parameters);
    FPort = StrToIntDef(params.GetParam("com", "1"), 1);
    FBaud = StrToIntDef(params.GetParam("baud", "1"), 1);
    FSettingsDir = params.GetParam("DF", "");
}

TdctOpticon9728Driver::~TdctOpticon9728Driver() = default;

void TdctOpticon9728Driver::Destroy() {
    if (!FClient) return;  // never create or start the server just to tear down
    FClient->Disconnect();
    FClient.reset();
}

AnsiString TdctOpticon9728Driver::DriverName() const { return kOpticonZebexDriverName.str(); }

// Once port and rate have reached the server now connected, a check of two flags: it runs before
// the server calls of every record.
void TdctOpticon9728Driver::CheckInitCpt() {
    if (!FFirstContactMade || FClient->ServerLost()) MakeFirstContact();
}

// Either the first contact has not been made yet, or the server went away and took port and rate
// with it: the next connection reaches a new one.
void TdctOpticon9728Driver::MakeFirstContact() {
    FFirstContactMade = false;
    if (!FClient) FClient = std::make_unique<TTerminals>(FEnv);
    // This contact answers for a loss seen before it. Should it lose the new server as well, the
    // mark is set again and the next operation contacts the next server.
    FClient->TakeServerLost();
    // The first call connects. Until both calls have gone through (the class not registered yet, a
    // server that cannot start or refuses one of them), every operation tries the first contact
    // again, so that a server that becomes available later still learns the terminal's port and rate.
    FClient->Set_PortNumber(FPort);
    FClient->Set_BaudRate(FBaud);
    FFirstContactMade = true;
}

bool TdctOpticon9728Driver::DeviceUsable() { return FClient->Get_DeviceEnabled() != 0; }

void TdctOpticon9728Driver::StartCycle(Cycle cycle) {
    if (!FClient) FClient = std::make_unique<TTerminals>(FEnv);
    FCycle = cycle;
    // A loss from here on, the first contact of this cycle included, is this cycle's.
    FCycleLosses = FClient->Losses();
}

bool TdctOpticon9728Driver::CycleLost() {
    if (FCycle == Cycle::None || FClient->Losses() == FCycleLosses) return false;
    FLastResult = rc::ServerFailure;
    FLastError = FCycle == Cycle::Reading ? kReadLost.str() : kWriteLost.str();
    AppendLogLine(FLastError, rc::ServerFailure);
    return true;
}

int32_t TdctOpticon9728Driver::BeginReading() {
    StartCycle(Cycle::Reading);
    CheckInitCpt();
    int32_t result = 0;
    FClient->Connect();
    if (!DeviceUsable()) return rc::InitFailed;
    FClient->Set_ShowProgress(kVariantTrue);
    FClient->Set_FormNumber(0);
    FClient->ClearTableBuffer();
    const int32_t status = FClient->BeginReport();
    if (status != 0) {
        result = status;
        RaiseError(status);
    }
    if (FClient->GetFieldCount() < 2) {
        result = rc::NotConfirmed;
        RaiseError(status);
    }
    return result;
}

void TdctOpticon9728Driver::BeginWriting(bool fullTable) {
    StartCycle(Cycle::Writing);
    CheckInitCpt();
    FClient->Connect();
    if (!DeviceUsable()) {
        FLastResult = rc::InitFailed;
        return;
    }
    FFullTable = fullTable;
    FClient->Set_FormNumber(0);
    FClient->Set_ShowProgress(kVariantTrue);
    FClient->ClearTableBuffer();
    if (const int32_t status = FClient->BeginDownLoadTable(); status != 0) RaiseError(status);
}

bool TdctOpticon9728Driver::NextRecord(AnsiString& code, double& quantity) {
    code.clear();
    if (CycleLost()) return false;
    CheckInitCpt();
    if (FClient->GetRecord() != 0) return false;
    FClient->GetField(1, code);
    quantity = 0;
    if (code.empty()) return true;
    FClient->GetField(2, FQuantityText);
    if (FQuantityText.empty()) return true;
    LocalizeDecimal(FQuantityText, FDecimalSeparator);
    quantity = StrToFloat(FQuantityText, FDecimalSeparator);
    return true;
}

int32_t TdctOpticon9728Driver::AddRecord(const AnsiString& barcode, const AnsiString& text1, double,
                                         const AnsiString& text2) {
    if (CycleLost()) return rc::ServerFailure;
    CheckInitCpt();
    if (!DeviceUsable()) return rc::InitFailed;
    FClient->AddInTable(barcode);
    FClient->AddInTable("0");
    FClient->AddInTable(text1);
    FClient->AddInTable(text2);
    return 0;
}

void TdctOpticon9728Driver::EndReading(bool clearAfter) {
    if (CycleLost()) {
        // Neither EndReport nor Clear: the records the host did not receive stay in the terminal.
        EndCycle();
        return;
    }
    CheckInitCpt();
    if (DeviceUsable()) {
        if (const int32_t status = FClient->EndReport(); status != 0) RaiseError(status);
        if (clearAfter) FClient->Clear();
    } else {
        RaiseError(rc::InitFailed);
    }
    FClient->Disconnect();
    EndCycle();
}

void TdctOpticon9728Driver::EndWriting() {
    if (CycleLost()) {
        // No DownLoadTable or AddToTable over a buffer the new server never saw filled.
        EndCycle();
        return;
    }
    CheckInitCpt();
    if (DeviceUsable()) {
        const int32_t status = FFullTable ? FClient->DownLoadTable() : FClient->AddToTable();
        if (status != 0) RaiseError(status);
    } else {
        RaiseError(rc::InitFailed);
    }
    FClient->Disconnect();
    EndCycle();
}

void TdctOpticon9728Driver::ClearTerm() {
    CheckInitCpt();
    FClient->Connect();
    FLastResult = DeviceUsable() ? FClient->Clear() : rc::InitFailed;
}

void TdctOpticon9728Driver::InteractiveService() {
    CheckInitCpt();
    ShowServiceForm(*this);
}

int32_t TdctOpticon9728Driver::LoadFormFromFile(std::string_view path) {
    CheckInitCpt();
    return FClient->LoadFormFromFile(path);
}

int32_t TdctOpticon9728Driver::ShowProperties() {
    CheckInitCpt();
    return FClient->ShowProperties();
}

void TdctOpticon9728Driver::GetStateErr(AnsiString& text, int32_t& errorCode) {
    text = FLastError;
    errorCode = rc::ServerFailure;
    FLastError.clear();
    FLastResult = 0;
}

void TdctOpticon9728Driver::RaiseError(int32_t status) {
    CheckInitCpt();
    FLastResult = status != 0 ? rc::ServerFailure : 0;
    FLastError = FClient->Get_ResultDescription();
    AppendLogLine(FLastError, status);
}

void TdctOpticon9728Driver::RecordFailure(const AnsiString& message, int32_t logStatus) {
    FLastResult = rc::ServerFailure;
    if (std::exchange(FLogFailed, false)) {
        // The failure is the log itself. RaiseError had already taken the server's description,
        // which is the one text that says what the terminal did: it stays. Writing the log's own
        // failure into the log would only wait out the retry a second time.
        if (FLastError.empty()) FLastError = message;
        return;
    }
    FLastError = message;
    try {
        AppendLogLine(message, logStatus);
    } catch (const Exception&) {
        // The host still gets the code and the text; a log that cannot be written must not hide them.
        FLogFailed = false;
    }
}

void TdctOpticon9728Driver::AppendLogLine(const AnsiString& text, int32_t status) {
    const AnsiString path = ChangeFileExt(ConstructFileName(FSettingsDir, kSettingsFileName), ".log");
    const AnsiString line = kOpticonZebexDriverName.str() + "(" +
                            DateTimeToStr(FEnv.LocalNow(), FEnv.UserFormats()) + ") : " + text +
                            "(" + IntToStr(status) + ")\r\n";
    FLogFailed = false;
    const auto deadline = FEnv.MonotonicNow() + kLogRetryFor;
    platform::AppendResult result;
    for (;;) {
        result = FEnv.AppendToFile(path, line, platform::AppendShare::None);
        if (result.Status == platform::AppendStatus::Ok) return;
        // Another process holds the file (or is creating it) for the length of its own append.
        const bool transient = result.Busy || result.Status == platform::AppendStatus::CannotOpen;
        if (!transient || FEnv.MonotonicNow() >= deadline) break;
        FEnv.SleepFor(kLogRetryStep);
    }
    FLogFailed = true;
    switch (result.Status) {
        case platform::AppendStatus::CannotCreate:
            throw EFCreateError("Cannot create file \"" + platform::ExpandFileName(path) + "\". " +
                                platform::SystemErrorMessage(result.SystemError));
        case platform::AppendStatus::CannotWrite:
            throw EStreamError("Stream write error");
        default:
            throw EFOpenError("Cannot open file \"" + platform::ExpandFileName(path) + "\". " +
                              platform::SystemErrorMessage(result.SystemError));
    }
}

}  // namespace dct
