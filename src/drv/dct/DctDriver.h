// The terminal-driver contract through which the boundary works with any data-collection terminal,
// and the bulk read built on it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "drv/TarnDriver.h"
#include "platform/Env.h"

namespace dct {

// Where the bulk read hands each record: a procedure bound to its data, the way a method is bound to
// its object. The boundary implements it over the host's procedure and user data.
class TDctEnumCallback {
public:
    // The code text is valid only during the call.
    virtual void operator()(const char* code, double quantity) = 0;

protected:
    ~TDctEnumCallback() = default;
};

class TDctDriver : public TTarnDriver {
public:
    // Always makes the Opticon/Zebex driver from a parameter string, over the given environment;
    // the caller owns it. Defined beside the concrete driver.
    static std::unique_ptr<TDctDriver> CreateConcreteDriver(const AnsiString& parameters, platform::Env& env);

    virtual int32_t GetError() = 0;
    virtual void CheckInitCpt() = 0;
    virtual int32_t BeginReading() = 0;
    virtual void BeginWriting(bool fullTable) = 0;
    // True when a record was fetched; Code is emptied first and Quantity written only for a record.
    virtual bool NextRecord(AnsiString& code, double& quantity) = 0;
    virtual int32_t AddRecord(const AnsiString& barcode, const AnsiString& text1, double number,
                              const AnsiString& text2) = 0;
    virtual void EndReading(bool clearAfter) = 0;
    virtual void EndWriting() = 0;
    // The whole read cycle: BeginReading, NextRecord until false (records with a code and a quantity
    // not below 1e-5 go to the callback), EndReading. Returns BeginReading's non-zero status unchanged.
    virtual int32_t EnumData(bool clearAfter, TDctEnumCallback& callback);
    virtual void InteractiveService() = 0;
    // Hands out the pending error and clears it: GetError is 0 afterwards.
    virtual void GetStateErr(AnsiString& text, int32_t& errorCode) = 0;
    virtual void ClearTerm() = 0;

    // Releases what the instance holds before it is deleted; may raise, unlike the destructor.
    virtual void Destroy() {}

protected:
    // The code text of the record being handed to the host; owned here so that a read allocates
    // nothing per record and nothing leaks when the host's callback unwinds through EnumData.
    AnsiString FEnumCode;
};

// A failure that left a driver operation as an exception, to be kept as the driver's pending error
// (its last result, the text DctErr hands out, a line in its log), so that the host learns of it as
// of any failure the server reports. Drivers that keep such an error implement this beside the
// contract.
class TPendingFailure {
public:
    virtual void RecordFailure(const AnsiString& message, int32_t logStatus) = 0;

protected:
    ~TPendingFailure() = default;
};

}  // namespace dct
