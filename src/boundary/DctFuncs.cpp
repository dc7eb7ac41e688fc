// The ten operations of the table that DctInit hands to the host.
//
// Each checks its handle, calls one contract operation and returns the instance's last result.
// No exception leaves an operation: one that escapes the driver is recorded on the instance as its
// pending error (-6, its message, a log line) and the operation returns -6, so the host learns of it
// as of any server failure, with DctErr for the text.
#include <algorithm>
#include <cstring>
#include <new>

#include "base/SysUtils.h"
#include "boundary/DctBoundary.h"
#include "boundary/DctInstance.h"
#include "boundary/Recording.h"
#include "boundary/dctDrvUtils.h"
#include "drv/dct/DctDriver.h"
#include "drv/dct/dctIntf.h"

namespace dct {
namespace {

constexpr char kOutOfMemory[] = "Out of memory";
constexpr char kUnknownFailure[] = "Unexpected failure in the driver library";

int32_t RecordFailure(DctHandle handle, const AnsiString& message, int32_t logStatus) noexcept {
    try {
        if (auto* pending = dynamic_cast<TPendingFailure*>(handle->Driver.get()))
            pending->RecordFailure(message, logStatus);
    } catch (...) {
        // Nothing more can be recorded; the code still reaches the host.
    }
    return rc::ServerFailure;
}

template <typename Operation>
int32_t Guarded(DctHandle handle, Operation&& operation) noexcept {
    FpuGuard fpu;
    try {
        return operation();
    } catch (const EOleException& e) {
        return RecordFailure(handle, e.Message(), e.ErrorCode());
    } catch (const Exception& e) {
        return RecordFailure(handle, e.Message(), rc::ServerFailure);
    } catch (const std::bad_alloc&) {
        return RecordFailure(handle, kOutOfMemory, rc::ServerFailure);
    } catch (...) {
        return RecordFailure(handle, kUnknownFailure, rc::ServerFailure);
    }
}

AnsiString TextOf(const char* text) { return text ? AnsiString(text) : AnsiString(); }

// The host call's event when its terminal is recorded: its arguments, then "result".
template <typename Fields>
int32_t Recorded(DctHandle handle, std::string_view op, int32_t result, Fields&& fields) {
    recording::HostCall(handle->Recorder, handle->RecordedAs, op, [&](JsonWriter& json) {
        fields(json);
        json.Key("result").Int(result);
    });
    return result;
}
int32_t Recorded(DctHandle handle, std::string_view op, int32_t result) {
    return Recorded(handle, op, result, [](JsonWriter&) {});
}
void Text(JsonWriter& json, const char* text) {
    if (text)
        json.Bytes(text);
    else
        json.Null();
}

int32_t DCT_CDECL DctFini(DctHandle handle, TDctDriverFuncs* funcs) {
    FpuGuard fpu;
    bool failed = false;
    recording::Recording* recorder = handle ? handle->Recorder : nullptr;
    const int recordedAs = handle ? handle->RecordedAs : 0;
    if (handle) {
        try {
            handle->Driver->Destroy();
        } catch (...) {
            failed = true;
        }
        delete handle;  // the handle is dead to the host either way
    }
    const int32_t result = failed ? rc::FiniFailed : rc::Ok;
    if (!failed) delete funcs;  // after a failure the table stays with the host, which may give it back
    recording::HostCall(recorder, recordedAs, "DctFini", [&](JsonWriter& json) {
        json.Key("args").BeginObject().Key("funcs").Bool(funcs != nullptr).EndObject();
        json.Key("result").Int(result);
    });
    return result;
}

int32_t DCT_CDECL DctInteractiveService(DctHandle handle) {
    if (!DctHandleValid(handle)) return rc::BadHandle;
    return Recorded(handle, "DctInteractiveService", Guarded(handle, [&] {
                        handle->Driver->InteractiveService();
                        return rc::Ok;
                    }));
}

int32_t DCT_CDECL DctClearData(DctHandle handle) {
    if (!DctHandleValid(handle)) return rc::BadHandle;
    return Recorded(handle, "DctClearData", Guarded(handle, [&] {
                        handle->Driver->ClearTerm();
                        return handle->Driver->GetError();
                    }));
}

int32_t DCT_CDECL DctBeginDataReading(DctHandle handle) {
    if (!DctHandleValid(handle)) return rc::BadHandle;
    return Recorded(handle, "DctBeginDataReading", Guarded(handle, [&] {
                        handle->Driver->BeginReading();  // its own status is not the host's: GetError is
                        return handle->Driver->GetError();
                    }));
}

int32_t DCT_CDECL DctEnumData(DctHandle handle, TDctEnumCallbackProc callback, int32_t userData,
                              int32_t clearAfter) {
    if (!DctHandleValid(handle)) return rc::BadHandle;
    const auto fields = [&](JsonWriter& json) {
        json.Key("args").BeginObject().Key("callback").Bool(callback != nullptr).Key("user").Int(userData);
        json.Key("clear_after").Int(clearAfter).EndObject();
    };
    if (!callback) return Recorded(handle, "DctEnumData", rc::BadHandle, fields);
    const uint16_t hostWord = FpuGuard::CurrentWord();
    return Recorded(handle, "DctEnumData", Guarded(handle, [&] {
                        handle->Callback.Bind(callback, userData, hostWord, handle->Recorder, handle->RecordedAs);
                        return handle->Driver->EnumData(clearAfter != 0, handle->Callback);
                    }),
                    fields);
}

int32_t DCT_CDECL DctNextRecord(DctHandle handle, const char** code, double* quantity, int32_t* more) {
    if (!DctHandleValid(handle)) return rc::BadHandle;
    if (!code || !quantity || !more)
        return Recorded(handle, "DctNextRecord", rc::BadHandle, [&](JsonWriter& json) {
            json.Key("args").BeginObject().Key("code").Bool(code != nullptr).Key("quantity").Bool(quantity != nullptr);
            json.Key("more").Bool(more != nullptr).EndObject();
        });
    // The text stays with the instance until its next operation, as the host expects.
    AnsiString& text = handle->RecordCode;
    bool delivered = false;
    const int32_t result = Guarded(handle, [&] {
        delivered = handle->Driver->NextRecord(text, *quantity);
        return handle->Driver->GetError();
    });
    if (!delivered) text.clear();  // also when the record failed half-way: it was not delivered
    *more = delivered ? -1 : 0;
    *code = text.c_str();
    recording::HostCall(handle->Recorder, handle->RecordedAs, "DctNextRecord", [&](JsonWriter& json) {
        json.Key("result").Int(result).Key("out").BeginObject().Key("code").Bytes(text);
        if (delivered) json.Key("quantity").Number(*quantity);
        json.Key("more").Int(*more).EndObject();
    });
    return result;
}

int32_t DCT_CDECL DctEndDataReading(DctHandle handle, int32_t clearAfter) {
    if (!DctHandleValid(handle)) return rc::BadHandle;
    return Recorded(handle, "DctEndDataReading", Guarded(handle, [&] {
                        handle->Driver->EndReading(clearAfter != 0);
                        return handle->Driver->GetError();
                    }),
                    [&](JsonWriter& json) { json.Key("args").BeginObject().Key("clear_after").Int(clearAfter).EndObject(); });
}

int32_t DCT_CDECL DctBeginWareTableWriting(DctHandle handle, int32_t fullTable) {
    if (!DctHandleValid(handle)) return rc::BadHandle;
    return Recorded(handle, "DctBeginWareTableWriting", Guarded(handle, [&] {
                        handle->Driver->BeginWriting(fullTable != 0);
                        return handle->Driver->GetError();
                    }),
                    [&](JsonWriter& json) { json.Key("args").BeginObject().Key("full_table").Int(fullTable).EndObject(); });
}

int32_t DCT_REGISTER(3) DctWriteWareTableRecord(DctHandle handle, const char* text2, const char* text1,
                                                const char* barcodes, double number, int32_t spare) {
    if (!DctHandleValid(handle)) return rc::BadHandle;
    return Recorded(handle, "DctWriteWareTableRecord", Guarded(handle, [&] {
                        const AnsiString first = TextOf(text1), second = TextOf(text2);
                        for (const std::string& barcode : ExtractBarcodesFromString(TrimCtl(TextOf(barcodes))))
                            handle->Driver->AddRecord(barcode, first, number, second);  // a failing record does not stop the rest
                        return handle->Driver->GetError();
                    }),
                    [&](JsonWriter& json) {
                        json.Key("args").BeginObject().Key("text2");
                        Text(json, text2);
                        json.Key("text1");
                        Text(json, text1);
                        json.Key("barcodes");
                        Text(json, barcodes);
                        json.Key("number").Number(number).Key("spare").Int(spare).EndObject();
                    });
}

int32_t DCT_REGISTER(1) DctEndWareTableWriting(DctHandle handle) {
    if (!DctHandleValid(handle)) return rc::BadHandle;
    return Recorded(handle, "DctEndWareTableWriting", Guarded(handle, [&] {
                        handle->Driver->EndWriting();
                        return handle->Driver->GetError();
                    }));
}

}  // namespace

void HostEnumCallback::operator()(const char* code, double quantity) {
    if (recorder_)
        recorder_->Event(recordedAs_, "callback", "record", [&](JsonWriter& json) {
            json.Key("args").BeginObject().Key("user").Int(userData_).Key("code").Bytes(code);
            json.Key("quantity").Number(quantity).EndObject();
        });
    FpuGuard::WithHostWord(hostWord_, [&] { procedure_(userData_, code, quantity); });
}

bool DctHandleValid(DctHandle handle) { return handle != nullptr; }

namespace {

// lstrcpynA: at most max - 1 characters and a terminating zero; nothing at all for max 0.
void CopyBounded(char* destination, const AnsiString& text, int32_t max) {
    if (max <= 0) return;
    const std::size_t count = std::min(text.size(), static_cast<std::size_t>(max) - 1);
    std::memcpy(destination, text.data(), count);
    destination[count] = '\0';
}

}  // namespace

int32_t HandOutError(DctHandle handle, int32_t* code, char** buffer, int32_t max) {
    // Without somewhere to put them, the text and code stay pending for a later call.
    if (!code || !buffer || (max > 0 && !*buffer)) return rc::BufferTooSmall;
    int32_t result;
    bool copied = false;  // the buffer holds what this call put there
    try {
        AnsiString text;
        handle->Driver->GetStateErr(text, *code);
        CopyBounded(*buffer, text, max);
        copied = max > 0;
        result = max < 4 ? rc::BufferTooSmall : rc::Ok;
    } catch (...) {
        result = rc::InitFailed;
    }
    recording::HostCall(handle->Recorder, handle->RecordedAs, "DctErr", [&](JsonWriter& json) {
        json.Key("args").BeginObject().Key("max").Int(max).EndObject();
        json.Key("result").Int(result).Key("out").BeginObject().Key("code").Int(*code).Key("text");
        if (copied)
            json.Bytes(*buffer);
        else
            json.Null();
        json.EndObject();
    });
    return result;
}

TDctDriverFuncs* NewDriverFuncs(int32_t termNumber) {
    auto* funcs = new TDctDriverFuncs{};
    funcs->TermNumber = termNumber;
    funcs->DctFini = &DctFini;
    funcs->DctInteractiveService = &DctInteractiveService;
    funcs->DctClearData = &DctClearData;
    funcs->DctBeginDataReading = &DctBeginDataReading;
    funcs->DctEnumData = &DctEnumData;
    funcs->DctNextRecord = &DctNextRecord;
    funcs->DctEndDataReading = &DctEndDataReading;
    funcs->DctBeginWareTableWriting = &DctBeginWareTableWriting;
    funcs->DctWriteWareTableRecord = &DctWriteWareTableRecord;
    funcs->DctEndWareTableWriting = &DctEndWareTableWriting;
    return funcs;
}

}  // namespace dct
