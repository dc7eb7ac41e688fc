// The Opticon/Zebex terminal driver: every contract operation is a short, fixed sequence of calls
// on the terminal-server client; server failures become a result code, a text and a log line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "drv/dct/DctDriver.h"
#include "base/cp1251.h"

namespace dct {

class TTerminals;

// The driver's display name; the description record gives the host the same text.
inline constexpr auto kOpticonZebexDriverName = Cp1251(u8"Терминал сбора данных Opicon&Zebex");

class TdctOpticon9728Driver final : public TDctDriver, public TPendingFailure {
public:
    // Reads "com" (default 1), "baud" (default 1) and "DF" from the parameter string. The server is
    // not contacted: a terminal that is off does not make creation fail. The environment gives the
    // server, the clock, the user's formats and the log file.
    TdctOpticon9728Driver(const AnsiString& parameters, platform::Env& env);
    ~TdctOpticon9728Driver() override;

    void Destroy() override;
    AnsiString DriverName() const override;
    int32_t GetError() override { return FLastResult; }
    void CheckInitCpt() override;
    int32_t BeginReading() override;
    void BeginWriting(bool fullTable) override;
    bool NextRecord(AnsiString& code, double& quantity) override;
    int32_t AddRecord(const AnsiString& barcode, const AnsiString& text1, double number,
                      const AnsiString& text2) override;
    void EndReading(bool clearAfter) override;
    void EndWriting() override;
    void InteractiveService() override;
    void GetStateErr(AnsiString& text, int32_t& errorCode) override;
    void ClearTerm() override;
    void RecordFailure(const AnsiString& message, int32_t logStatus) override;

    // Records a server status (-6 when non-zero, else 0) with the server's description, and appends
    // a line to DctDrv.log beside the settings file.
    void RaiseError(int32_t status);

    // The settings the driver was made with, for tests and diagnostics.
    int32_t Port() const { return FPort; }
    int32_t Baud() const { return FBaud; }
    const AnsiString& SettingsDir() const { return FSettingsDir; }
    bool HasClient() const { return FClient != nullptr; }

private:
    void MakeFirstContact();
    bool DeviceUsable();
    void AppendLogLine(const AnsiString& text, int32_t status);

    platform::Env& FEnv;
    std::unique_ptr<TTerminals> FClient;
    bool FFirstContactMade = false;  // port and rate went through to the server now connected
    int32_t FLastResult = 0;
    AnsiString FLastError;
    int32_t FPort = 1;
    int32_t FBaud = 1;
    bool FFullTable = false;
    AnsiString FSettingsDir;
    bool FLogFailed = false;
    // The user's decimal separator, fixed for the process as the environment read it at start-up.
    char FDecimalSeparator;
    AnsiString FQuantityText;  // the record's quantity as the server gives it; reused record after record  // the exception on its way out came from appending to DctDrv.log
};

}  // namespace dct
