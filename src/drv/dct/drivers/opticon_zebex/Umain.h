// The Opticon/Zebex terminal driver: every contract operation is a short, fixed sequence of calls
// on the terminal-server client; server failures become a result code, a text and a log line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "drv/dct/DctDriver.h"
#include "drv/dct/drivers/opticon_zebex/ServiceForm.h"
#include "base/cp1251.h"

namespace dct {

class TTerminals;

// The driver's display name; the description record gives the host the same text.
inline constexpr auto kOpticonZebexDriverName = Cp1251(u8"Терминал сбора данных Opicon&Zebex");

// A read or a table write belongs to the server connection it began on. When that server is lost
// in the middle (its process ended, the link broke), the rest of the cycle reaches no server: its
// replacement never saw the cycle begin, so ending the cycle there would clear records the host
// never received or load a table it was never given whole. Each remaining step fails with -6 and
// says so; the next cycle starts on the new server.
//
// The service dialog's two requests are served as the driver's own operations are: a server that
// replaced a lost one is given port and rate first.
class TdctOpticon9728Driver final : public TDctDriver, public TPendingFailure, public IServiceClient {
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
    int32_t LoadFormFromFile(std::string_view path) override;
    int32_t ShowProperties() override;

    // Records a server status (-6 when non-zero, else 0) with the server's description, and appends
    // a line to DctDrv.log beside the settings file.
    void RaiseError(int32_t status);

    // The settings the driver was made with, for tests and diagnostics.
    int32_t Port() const { return FPort; }
    int32_t Baud() const { return FBaud; }
    const AnsiString& SettingsDir() const { return FSettingsDir; }
    bool HasClient() const { return FClient != nullptr; }

private:
    enum class Cycle : uint8_t { None, Reading, Writing };

    void MakeFirstContact();
    // Opens a cycle on the connection in use now; ends it.
    void StartCycle(Cycle cycle);
    void EndCycle() { FCycle = Cycle::None; }
    // True when a cycle is open and the server it began on was lost since: the failure is then
    // recorded (-6, the text, a log line) and the step must reach no server.
    bool CycleLost();
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
    Cycle FCycle = Cycle::None;
    uint32_t FCycleLosses = 0;  // the client's count of lost servers when the open cycle began
    AnsiString FSettingsDir;
    bool FLogFailed = false;  // the exception on its way out came from appending to DctDrv.log
    // The user's decimal separator, fixed for the process as the environment read it at start-up.
    char FDecimalSeparator;
    AnsiString FQuantityText;  // the record's quantity as the server gives it; reused record after record
};

}  // namespace dct
