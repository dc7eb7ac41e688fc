// The simulator's COM objects: the Terminals object over a device folder and its class factory. The
// error object it leaves on the thread when a call fails at COM level is the platform's.
#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "ComObject.h"
#include "TermSim.h"
#include "TermSimDevice.h"
#include "TermSimPlatform.h"
#include "platform/ComErrorInfo.h"
#include "base/Utf.h"

namespace dct::termsim {
namespace {

using dct::platform::ComPtr;

std::atomic<long> liveObjects{0};
std::atomic<long> createdObjects{0};
std::atomic<long> serverLocks{0};
// Error objects and class factories also run code of this module, whoever holds them.
std::atomic<long> helperObjects{0};

// Statuses the simulated device answers with when it cannot do what was asked.
constexpr int32_t kStatusNoDevice = 1;     // the device is switched off ([Device] Enabled=0)
constexpr int32_t kStatusOutOfOrder = 2;   // writing a table that was never begun
constexpr int32_t kStatusBadTable = 3;     // the table buffer does not hold whole records
constexpr int32_t kStatusFileError = 4;    // a file of the device folder could not be read or written
constexpr int32_t kStatusNoRecord = 1;     // GetRecord: no further record
constexpr size_t kFieldsPerTableRecord = 4;

std::u16string DefaultFailure(const char* operation, int32_t status) {
    return u"Сбой операции " + Utf8ToUtf16(operation) + u" (код " + Utf8ToUtf16(std::to_string(status)) + u")";
}

class TerminalsObject final
    : public ComObject<TerminalsObject, ITerminals, ISupportErrorInfo, IExternalConnection> {
public:
    TerminalsObject(std::filesystem::path folder, ServerProcess* process) : device_(std::move(folder)), process_(process) {
        ++liveObjects;
        ++createdObjects;
        // A terminal server keeps its port and rate: a new one knows what the last was given.
        Connection connection = device_.ReadConnection();
        port_ = connection.Port.value_or(0);
        baud_ = connection.Rate.value_or(0);
    }

    void* Find(REFIID riid) {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ITerminals) return static_cast<ITerminals*>(this);
        if (riid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
        // Only a server in its own process counts its clients' connections.
        if (riid == IID_IExternalConnection && process_) return static_cast<IExternalConnection*>(this);
        return nullptr;
    }

    // IDispatch: the library calls through the function table only; late binding is not offered.
    HRESULT __stdcall GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT __stdcall Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

    // ISupportErrorInfo
    HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == IID_ITerminals ? S_OK : S_FALSE;
    }

    // IExternalConnection: how a local server learns that its last client has gone.
    DWORD __stdcall AddConnection(DWORD type, DWORD) override {
        if (!(type & EXTCONN_STRONG)) return 0;
        unsigned long n = ++strongConnections_;
        process_->ConnectionsChanged(n);
        return n;
    }
    DWORD __stdcall ReleaseConnection(DWORD type, DWORD, BOOL) override {
        if (!(type & EXTCONN_STRONG) || strongConnections_ == 0) return 0;
        unsigned long n = --strongConnections_;
        process_->ConnectionsChanged(n);
        return n;
    }

    // ITerminals: the operations the library calls.
    HRESULT __stdcall ShowProperties(int32_t* result) override {
        return StatusOp("ShowProperties", "", result, [](const FaultSettings&) { return 0; });
    }

    HRESULT __stdcall BeginReport(int32_t* status) override {
        return StatusOp("BeginReport", "", status, [this](const FaultSettings& s) {
            if (!s.Enabled) return NoDevice(s);
            auto records = device_.ReadRecords();
            if (!records) return Fail(kStatusFileError, u"Не удалось прочитать records.csv");
            report_ = std::move(*records);
            cursor_ = 0;
            return 0;
        });
    }

    HRESULT __stdcall EndReport(int32_t* status) override {
        return StatusOp("EndReport", "", status, [this](const FaultSettings&) {
            report_.reset();
            cursor_ = 0;
            return 0;
        });
    }

    HRESULT __stdcall GetRecord(int32_t* status) override {
        return StatusOp("GetRecord", "", status, [this](const FaultSettings&) {
            if (!report_ || cursor_ >= report_->size()) return kStatusNoRecord;
            ++cursor_;
            return 0;
        });
    }

    HRESULT __stdcall Set_BaudRate(int32_t value) override {
        return Setter("Set_BaudRate", std::to_string(value), [&] {
            baud_ = value;
            KeepConnection();
        });
    }

    HRESULT __stdcall Set_PortNumber(int32_t value) override {
        return Setter("Set_PortNumber", std::to_string(value), [&] {
            port_ = value;
            KeepConnection();
        });
    }

    HRESULT __stdcall Get_ResultDescription(BSTR* value) override {
        return StringOp("Get_ResultDescription", "", value, [this](const FaultSettings&) { return description_; });
    }

    HRESULT __stdcall Set_FormNumber(int32_t value) override {
        return Setter("Set_FormNumber", std::to_string(value), [&] { form_ = value; });
    }

    HRESULT __stdcall Get_DeviceEnabled(uint8_t* value) override {
        if (!value) return Refuse("Get_DeviceEnabled", "", E_POINTER);
        return Perform("Get_DeviceEnabled", "", [&](const FaultSettings& s, const Fault&) {
            if (!s.Enabled) NoDevice(s);
            *value = s.Enabled ? 1 : 0;
            return std::to_string(*value);
        });
    }

    HRESULT __stdcall Clear(int32_t* status) override {
        return StatusOp("Clear", "", status, [this](const FaultSettings& s) {
            if (!s.Enabled) return NoDevice(s);
            report_.reset();
            cursor_ = 0;
            if (!device_.ClearRecords()) return Fail(kStatusFileError, u"Не удалось очистить records.csv");
            return 0;
        });
    }

    HRESULT __stdcall Set_ShowProgress(VARIANT_BOOL value) override {
        return Setter("Set_ShowProgress", std::to_string(value), [&] { showProgress_ = value; });
    }

    HRESULT __stdcall GetFieldCount(uint8_t* value) override {
        if (!value) return Refuse("GetFieldCount", "", E_POINTER);
        return Perform("GetFieldCount", "", [&](const FaultSettings& s, const Fault&) {
            *value = static_cast<uint8_t>(std::clamp(FieldCount(s), 0, 255));
            return std::to_string(*value);
        });
    }

    HRESULT __stdcall BeginDownLoadTable(int32_t* status) override {
        return StatusOp("BeginDownLoadTable", "", status, [this](const FaultSettings& s) {
            if (!s.Enabled) return NoDevice(s);
            downloading_ = true;
            return 0;
        });
    }

    HRESULT __stdcall ClearTableBuffer(int32_t* status) override {
        return StatusOp("ClearTableBuffer", "", status, [this](const FaultSettings&) {
            buffer_.clear();
            return 0;
        });
    }

    HRESULT __stdcall AddInTable(BSTR field, int32_t* status) override {
        std::u16string text = View(field);
        return StatusOp("AddInTable", " " + LogString(text), status, [&](const FaultSettings&) {
            buffer_.push_back(text);
            return 0;
        });
    }

    HRESULT __stdcall DownLoadTable(int32_t* status) override {
        return StatusOp("DownLoadTable", "", status, [this](const FaultSettings& s) { return WriteTable(s, false); });
    }

    HRESULT __stdcall LoadFormFromFile(BSTR path, int32_t* status) override {
        std::u16string text = View(path);
        return StatusOp("LoadFormFromFile", " " + LogString(text), status, [&](const FaultSettings& s) {
            if (!s.Enabled) return NoDevice(s);
            if (!device_.AppendTask(text)) return Fail(kStatusFileError, u"Не удалось записать tasks.log");
            return 0;
        });
    }

    HRESULT __stdcall GetField(int32_t index, BSTR* value) override {
        return StringOp("GetField", " " + std::to_string(index), value, [&](const FaultSettings&) {
            if (!report_ || cursor_ == 0 || cursor_ > report_->size()) return std::u16string();
            const Record& record = (*report_)[cursor_ - 1];
            if (index < 1 || static_cast<size_t>(index) > record.size()) return std::u16string();
            return record[static_cast<size_t>(index) - 1];
        });
    }

    HRESULT __stdcall AddToTable(int32_t* status) override {
        return StatusOp("AddToTable", "", status, [this](const FaultSettings& s) { return WriteTable(s, true); });
    }

    // The operations the library never calls only hold their places in the table.
#define DCT_TERMSIM_IGNORE_OP(pos, name, params, args)
#define DCT_TERMSIM_RESERVED(pos) \
    HRESULT __stdcall Reserved##pos() override { return Refuse("Reserved" #pos, "", E_NOTIMPL); }
    DCT_ITERMINALS_TABLE(DCT_TERMSIM_IGNORE_OP, DCT_TERMSIM_RESERVED)
#undef DCT_TERMSIM_IGNORE_OP
#undef DCT_TERMSIM_RESERVED

private:
    friend ComObject;  // deletes it on the last release
    ~TerminalsObject() { --liveObjects; }

    static std::u16string View(BSTR text) {
        if (!text) return {};
        return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
    }

    // Runs one call: the faults of its section first (delay, COM-level failure), then the operation,
    // whose result text goes to the call log after " -> ".
    HRESULT Perform(const char* name, const std::string& inputs,
                    const std::function<std::string(const FaultSettings&, const Fault&)>& action) {
        FaultSettings settings = device_.ReadFaults();
        const Fault& fault = settings.For(name);
        if (fault.DelayMs) platform::SleepMilliseconds(fault.DelayMs);
        if (fault.Exit && process_) {
            // The in-process simulator cannot end its host's process; Exit= means nothing there.
            device_.AppendCall(std::string(name) + inputs + " !exit " + std::to_string(fault.Exit));
            process_->EndNow(fault.Exit);
        }
        if (fault.HResult < 0) {
            if (fault.Description) description_ = *fault.Description;
            ComPtr<IErrorInfo> info;
            if (fault.ErrorInfo)
                info = ComPtr<IErrorInfo>::Attach(new dct::platform::ErrorObject(
                    *fault.ErrorInfo, u"DctTermSim.Terminals", IID_ITerminals, &helperObjects));
            // Without ErrorInfo= the thread is left with no error object, as a server that sets none.
            SetErrorInfo(0, info.get());
            device_.AppendCall(std::string(name) + inputs + " " + LogStatus(fault.HResult));
            return fault.HResult;
        }
        std::string out = action(settings, fault);
        device_.AppendCall(std::string(name) + inputs + (out.empty() ? "" : " -> " + out));
        return fault.HResult > 0 ? fault.HResult : S_OK;
    }

    HRESULT Refuse(const char* name, const std::string& inputs, HRESULT hr) {
        device_.AppendCall(std::string(name) + inputs + " " + LogStatus(hr));
        return hr;
    }

    HRESULT StatusOp(const char* name, const std::string& inputs, int32_t* out,
                     const std::function<int32_t(const FaultSettings&)>& op) {
        if (!out) return Refuse(name, inputs, E_POINTER);
        return Perform(name, inputs, [&](const FaultSettings& s, const Fault& f) {
            int32_t status;
            if (f.Status) {
                // An injected status stands for the operation: the device does nothing.
                status = *f.Status;
                if (status != 0) description_ = f.Description.value_or(DefaultFailure(name, status));
            } else {
                status = op(s);
            }
            *out = status;
            return std::to_string(status);
        });
    }

    HRESULT StringOp(const char* name, const std::string& inputs, BSTR* out,
                     const std::function<std::u16string(const FaultSettings&)>& op) {
        if (!out) return Refuse(name, inputs, E_POINTER);
        *out = nullptr;
        return Perform(name, inputs, [&](const FaultSettings& s, const Fault&) {
            std::u16string text = op(s);
            *out = dct::platform::UniqueBstr::FromUtf16(text).release();
            return LogString(text);
        });
    }

    HRESULT Setter(const char* name, const std::string& value, const std::function<void()>& set) {
        return Perform(name, " " + value, [&](const FaultSettings&, const Fault&) {
            set();
            return std::string();
        });
    }

    void KeepConnection() {
        Connection connection;
        if (port_) connection.Port = port_;
        if (baud_) connection.Rate = baud_;
        device_.WriteConnection(connection);
    }

    int32_t Fail(int32_t status, std::u16string description) {
        description_ = std::move(description);
        return status;
    }

    int32_t NoDevice(const FaultSettings& s) {
        return Fail(kStatusNoDevice, s.DisabledDescription.value_or(u"Терминал недоступен"));
    }

    int FieldCount(const FaultSettings& s) const {
        if (s.FieldCount) return *s.FieldCount;
        // A form has at least a code and a quantity, also while the device holds no records.
        size_t widest = 2;
        auto count = [&](const std::vector<Record>& records) {
            for (const Record& r : records) widest = std::max(widest, r.size());
        };
        if (report_) count(*report_);
        else if (auto records = device_.ReadRecords()) count(*records);
        return static_cast<int>(widest);
    }

    int32_t WriteTable(const FaultSettings& s, bool append) {
        if (!s.Enabled) return NoDevice(s);
        if (!downloading_) return Fail(kStatusOutOfOrder, u"Загрузка таблицы не начата");
        if (buffer_.size() % kFieldsPerTableRecord != 0)
            return Fail(kStatusBadTable, u"В буфере таблицы неполная запись: полей " +
                                             Utf8ToUtf16(std::to_string(buffer_.size())));
        std::vector<Record> records;
        for (size_t i = 0; i < buffer_.size(); i += kFieldsPerTableRecord)
            records.emplace_back(buffer_.begin() + static_cast<long>(i),
                                 buffer_.begin() + static_cast<long>(i + kFieldsPerTableRecord));
        if (!device_.WriteTable(records, append)) return Fail(kStatusFileError, u"Не удалось записать table.csv");
        buffer_.clear();
        downloading_ = false;
        return 0;
    }

    DeviceFiles device_;
    ServerProcess* process_;  // the local server's process, or none in-process
    unsigned long strongConnections_ = 0;
    int32_t port_ = 0;
    int32_t baud_ = 0;
    int32_t form_ = 0;
    VARIANT_BOOL showProgress_ = 0;
    std::u16string description_;
    std::optional<std::vector<Record>> report_;  // the records received by BeginReport
    size_t cursor_ = 0;                          // 1-based index of the current record, 0 before the first
    std::vector<std::u16string> buffer_;         // the table buffer, field by field
    bool downloading_ = false;
};

class TerminalsFactory final : public ComObject<TerminalsFactory, IClassFactory> {
public:
    explicit TerminalsFactory(ComPtr<ITerminals> single) : single_(std::move(single)) { ++helperObjects; }
    ~TerminalsFactory() { --helperObjects; }

    void* Find(REFIID riid) {
        return riid == IID_IUnknown || riid == IID_IClassFactory ? static_cast<IClassFactory*>(this) : nullptr;
    }
    HRESULT __stdcall CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        try {
            if (single_) return single_->QueryInterface(riid, object);
            ComPtr<ITerminals> terminals = CreateTerminals();
            return terminals->QueryInterface(riid, object);
        } catch (...) {
            // No C++ exception may leave a COM call.
            return E_OUTOFMEMORY;
        }
    }
    HRESULT __stdcall LockServer(BOOL lock) override {
        if (lock) ++serverLocks;
        else --serverLocks;
        return S_OK;
    }

private:
    ComPtr<ITerminals> single_;
};

int inProcessRegistrations = 0;
// Never destroyed: a registration nobody took back stays until the process ends, as before COM goes.
dct::platform::ClassObjectRegistration& InProcessClass() {
    static auto* registration = new dct::platform::ClassObjectRegistration;
    return *registration;
}

}  // namespace

std::filesystem::path DefaultDeviceFolder() { return platform::DefaultDeviceFolder(); }

std::filesystem::path DeviceFolder() {
    return platform::FolderFromEnvironment(kFolderVariable).value_or(platform::DefaultDeviceFolder());
}

void SetDeviceFolderVariable(const std::filesystem::path& folder) {
    platform::SetEnvironmentPath(kFolderVariable, folder);
}

ComPtr<ITerminals> CreateTerminals(ServerProcess* process) {
    return ComPtr<ITerminals>::Attach(new TerminalsObject(DeviceFolder(), process));
}

ComPtr<IClassFactory> CreateClassFactory(ComPtr<ITerminals> single) {
    return ComPtr<IClassFactory>::Attach(new TerminalsFactory(std::move(single)));
}

HRESULT RegisterInProcess() {
    if (inProcessRegistrations > 0) {
        ++inProcessRegistrations;
        return S_OK;
    }
    ComPtr<IClassFactory> factory = CreateClassFactory();
    DWORD cookie = 0;
    HRESULT hr = CoRegisterClassObject(CLSID_Terminals, factory.get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                       &cookie);
    if (SUCCEEDED(hr)) {
        InProcessClass() = dct::platform::ClassObjectRegistration(cookie);
        inProcessRegistrations = 1;
    }
    return hr;
}

void UnregisterInProcess() {
    if (inProcessRegistrations == 0 || --inProcessRegistrations > 0) return;
    InProcessClass().reset();
}

long LiveObjects() { return liveObjects; }
long ObjectsCreated() { return createdObjects; }
bool CanUnload() { return liveObjects == 0 && serverLocks == 0 && helperObjects == 0; }

HRESULT RegisterRunning(IUnknown* object, DWORD flags, std::chrono::milliseconds patience,
                        dct::platform::RunningObjectRegistration* registration) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    HRESULT hr;
    DWORD cookie = 0;
    do {
        hr = RegisterActiveObject(object, CLSID_Terminals, flags, &cookie);
        if (hr != kRpcServerUnavailable) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    } while (std::chrono::steady_clock::now() < deadline);
    if (SUCCEEDED(hr)) *registration = dct::platform::RunningObjectRegistration(cookie);
    return hr;
}

RegistrationTurn::RegistrationTurn() : lock_(platform::AcquireMachineLock("DctTermSimRegistration")) {}
RegistrationTurn::~RegistrationTurn() { platform::ReleaseMachineLock(lock_); }

}  // namespace dct::termsim
