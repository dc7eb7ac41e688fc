#include "DctLibrary.h"

#include "HostCalls.h"
#include "HostText.h"

namespace dcthost {

std::string DctLibrary::DefaultFileName() { return dct::platform::DynamicLibrary::FileName("DctDrv"); }

std::unique_ptr<DctLibrary> DctLibrary::Load(const std::string& nameOrPath, std::string* error) {
    std::unique_ptr<DctLibrary> library(new DctLibrary);
    std::string reason;
    library->module_ = dct::platform::DynamicLibrary::Open(nameOrPath, &reason);
    if (!library->module_) {
        if (error) *error = "cannot load " + nameOrPath + ": " + reason;
        return nullptr;
    }
    std::string missing;
    for (int i = 0; i < 6; ++i) {
        library->exports_[i] = library->module_->Symbol(kExportNames[i]);
        if (!library->exports_[i]) missing += std::string(missing.empty() ? "" : ", ") + kExportNames[i];
    }
    if (!missing.empty()) {
        if (error) *error = library->Path() + " does not export " + missing;
        return nullptr;
    }
    return library;
}

void DctLibrary::GetDriverInfo(DriverInfo* info) const {
    HostFpuWord fpu;
    reinterpret_cast<GetDriverInfoFn>(exports_[0])(info);
}

int32_t DctLibrary::Remove(int32_t number, const std::string& directory) const {
    HostFpuWord fpu;
    return reinterpret_cast<RemoveFn>(exports_[1])(number, directory.c_str());
}

int32_t DctLibrary::Configure(int32_t number, const std::string& directory) const {
    HostFpuWord fpu;
    return reinterpret_cast<ConfigureFn>(exports_[2])(number, directory.c_str());
}

int32_t DctLibrary::Init(int32_t number, const std::string& directory, DriverFuncs** funcs, DctHandle* handle) const {
    HostFpuWord fpu;
    return reinterpret_cast<InitFn>(exports_[3])(number, directory.c_str(), funcs, handle);
}

int32_t DctLibrary::Err(DctHandle handle, int32_t* code, std::string* text) const {
    char buffer[1024] = {};
    char* pointer = buffer;
    int32_t result;
    {
        HostFpuWord fpu;
        result = reinterpret_cast<ErrFn>(exports_[4])(handle, code, &pointer, static_cast<int32_t>(sizeof buffer));
    }
    if (text) *text = buffer;
    return result;
}

int32_t DctLibrary::LoadDctLibrary() const {
    HostFpuWord fpu;
    return reinterpret_cast<LoadDctLibraryFn>(exports_[5])();
}

DctInstance::DctInstance(const DctLibrary& library, int32_t number, const std::string& directory)
    : library_(library) {
    init_ = library_.Init(number, directory, &funcs_, &handle_);
    if (init_ != code::Ok) {
        // A creation that failed late leaves the table with the host, which gives it back with a null
        // handle; an early failure leaves funcs_ untouched (still null).
        handle_ = nullptr;
    }
}

DctInstance::~DctInstance() { Fini(); }

int32_t DctInstance::Fini() {
    if (!funcs_) return code::Ok;
    DriverFuncs* funcs = funcs_;
    DctHandle handle = handle_;
    funcs_ = nullptr;
    handle_ = nullptr;
    HostFpuWord fpu;
    return funcs->DctFini(handle, funcs);
}

int32_t DctInstance::InteractiveService() {
    HostFpuWord fpu;
    return funcs_->DctInteractiveService(handle_);
}

int32_t DctInstance::ClearData() {
    HostFpuWord fpu;
    return funcs_->DctClearData(handle_);
}

int32_t DctInstance::BeginDataReading() {
    HostFpuWord fpu;
    return funcs_->DctBeginDataReading(handle_);
}

int32_t DctInstance::EnumData(int32_t userData, int32_t clearAfter) {
    HostFpuWord fpu;
    return funcs_->DctEnumData(handle_, EnumCallbackAddress(), userData, clearAfter);
}

int32_t DctInstance::NextRecord(const char** code, double* quantity, int32_t* more) {
    HostFpuWord fpu;
    return funcs_->DctNextRecord(handle_, code, quantity, more);
}

int32_t DctInstance::EndDataReading(int32_t clearAfter) {
    HostFpuWord fpu;
    return funcs_->DctEndDataReading(handle_, clearAfter);
}

int32_t DctInstance::BeginWareTableWriting(int32_t full) {
    HostFpuWord fpu;
    return funcs_->DctBeginWareTableWriting(handle_, full);
}

int32_t DctInstance::WriteWareTableRecord(const char* text2, const char* text1, double number, const char* barcodes) {
    HostFpuWord fpu;
    return CallWriteWareTableRecord(funcs_->DctWriteWareTableRecord, handle_, text2, text1, 0, number, barcodes);
}

int32_t DctInstance::EndWareTableWriting() {
    HostFpuWord fpu;
    return CallEndWareTableWriting(funcs_->DctEndWareTableWriting, handle_);
}

std::string DctInstance::ErrorText() {
    if (!handle_) return {};
    int32_t code = 0;
    std::string text;
    library_.Err(handle_, &code, &text);
    return AnsiToUtf8(text);
}

}  // namespace dcthost
