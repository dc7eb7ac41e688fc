// The terminal-driver contract through which the boundary works with any data-collection terminal,
// and the bulk read built on it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "drv/TarnDriver.h"

namespace dct {

// The host's per-record procedure with its user data, bound together the way a method is bound to
// its object. The boundary supplies Invoke, which knows the host's calling convention.
struct TDctEnumCallback {
    void (*Invoke)(const TDctEnumCallback& self, const char* code, double quantity) = nullptr;
    void* Procedure = nullptr;  // the host's procedure
    int32_t UserData = 0;       // handed back to it unchanged

    void operator()(const char* code, double quantity) const { Invoke(*this, code, quantity); }
};

class TDctDriver : public TTarnDriver {
public:
    // Always makes the Opticon/Zebex driver from a parameter string; the caller owns it.
    static std::unique_ptr<TDctDriver> CreateConcreteDriver(const AnsiString& parameters);

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
    virtual int32_t EnumData(bool clearAfter, const TDctEnumCallback& callback);
    virtual void InteractiveService() = 0;
    // Hands out the pending error and clears it: GetError is 0 afterwards.
    virtual void GetStateErr(AnsiString& text, int32_t& errorCode) = 0;
    virtual void ClearTerm() = 0;

    // Releases what the instance holds before it is deleted; may raise, unlike the destructor.
    virtual void Destroy() {}

    // A failure that the boundary caught on its way out of an operation: record it as the pending
    // error so that the host reads it with DctErr, as it reads every server failure.
    virtual void RecordBoundaryFailure(const AnsiString& message, int32_t logStatus) = 0;

    // The code text that DctNextRecord hands to the host: it stays valid until the next operation.
    AnsiString FRecordCode;

protected:
    // The code text of the record being handed to the host; owned here so that a read allocates
    // nothing per record and nothing leaks when the host's callback unwinds through EnumData.
    AnsiString FEnumCode;
};

}  // namespace dct
