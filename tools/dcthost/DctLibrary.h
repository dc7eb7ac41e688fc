// The driver library as the host holds it: loaded by name, its six exports found by name, and one
// driver instance per terminal between DctInit and DctFini. Every call into the library runs with
// the host's floating-point control word.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "DctHostAbi.h"
#include "platform/DynamicLibrary.h"

namespace dcthost {

class DctLibrary {
public:
    // "DctDrv.dll" or "libDctDrv.so": the library a host loads by name.
    static std::string DefaultFileName();
    // Loads by name (the system's search order, the program's own folder first) or by path. Null
    // with *error set when the file cannot be loaded or an export is missing.
    static std::unique_ptr<DctLibrary> Load(const std::string& nameOrPath, std::string* error);

    std::string Path() const { return module_->Path(); }
    // The address of each export, in ordinal order, null for one that is missing.
    struct Export {
        const char* name;
        void* address;
    };
    static constexpr const char* kExportNames[6] = {"DctGetDriverInfo", "DctRemove", "DctConfigure",
                                                    "DctInit",          "DctErr",    "LoadDctLibrary"};
    Export ExportAt(int i) const { return {kExportNames[i], exports_[i]}; }

    void GetDriverInfo(DriverInfo* info) const;
    int32_t Remove(int32_t number, const std::string& directory) const;
    int32_t Configure(int32_t number, const std::string& directory) const;
    int32_t Init(int32_t number, const std::string& directory, DriverFuncs** funcs, DctHandle* handle) const;
    // The pending error of an instance, its code in *code; the text in the library's code page.
    int32_t Err(DctHandle handle, int32_t* code, std::string* text) const;
    int32_t LoadDctLibrary() const;

private:
    std::unique_ptr<dct::platform::DynamicLibrary> module_;
    void* exports_[6] = {};
};

// One DctInit .. DctFini. The table and the handle are the library's; the destructor gives them back.
class DctInstance {
public:
    DctInstance(const DctLibrary& library, int32_t number, const std::string& directory);
    ~DctInstance();
    DctInstance(const DctInstance&) = delete;
    DctInstance& operator=(const DctInstance&) = delete;

    int32_t InitResult() const { return init_; }
    bool Ok() const { return handle_ != nullptr && funcs_ != nullptr; }
    const DriverFuncs& Funcs() const { return *funcs_; }
    DctHandle Handle() const { return handle_; }

    // The table's operations, with the host's control word.
    int32_t InteractiveService();
    int32_t ClearData();
    int32_t BeginDataReading();
    int32_t EnumData(int32_t userData, int32_t clearAfter);
    int32_t NextRecord(const char** code, double* quantity, int32_t* more);
    int32_t EndDataReading(int32_t clearAfter);
    int32_t BeginWareTableWriting(int32_t full);
    int32_t WriteWareTableRecord(const char* text2, const char* text1, double number, const char* barcodes);
    int32_t EndWareTableWriting();
    // DctFini now; its result (0 or -3). Later calls do nothing.
    int32_t Fini();

    // The text that DctErr hands out for the last failure, in UTF-8 for display.
    std::string ErrorText();

private:
    const DctLibrary& library_;
    DriverFuncs* funcs_ = nullptr;
    DctHandle handle_ = nullptr;
    int32_t init_ = 0;
};

}  // namespace dcthost
