#include "platform/ModuleInfo.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/DefaultEnv.h"
#include "platform/win32/Handle.h"

namespace dct::platform {
namespace {

HMODULE OwnHandle() {
    HMODULE module = nullptr;
    // The module that holds this very function, without touching its reference count.
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&OwnHandle), &module);
    return module;
}

const IMAGE_NT_HEADERS* NtHeaders(uintptr_t base) {
    if (!base) return nullptr;
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->Signature == IMAGE_NT_SIGNATURE ? nt : nullptr;
}

}  // namespace

ModuleImage OwnModuleImage() {
    uintptr_t base = reinterpret_cast<uintptr_t>(OwnHandle());
    const IMAGE_NT_HEADERS* nt = NtHeaders(base);
    return {base, nt ? nt->OptionalHeader.SizeOfImage : 0};
}

std::string DefaultEnv::OwnModuleFileName() {
    char buffer[1024];
    DWORD n = GetModuleFileNameA(OwnHandle(), buffer, 1023);
    return std::string(buffer, n < 1023 ? n : 1023);
}

FileStampResult ReadFileStamp(const std::string& path) {
    FileStampResult result;
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return result.SystemError = GetLastError(), result;
    // The size is where a seek to the end lands; only its low 32 bits are ever shown.
    DWORD size = SetFilePointer(file.get(), 0, nullptr, FILE_END);
    if (size == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return result.SystemError = GetLastError(), result;
    FILETIME written, local;
    SYSTEMTIME st;
    if (!GetFileTime(file.get(), nullptr, nullptr, &written) || !FileTimeToLocalFileTime(&written, &local) ||
        !FileTimeToSystemTime(&local, &st))
        return result.SystemError = GetLastError(), result;
    result.Ok = true;
    result.Stamp.Size = size;
    result.Stamp.LastWrite = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
    return result;
}

std::optional<FileVersion> ReadFileVersion(const std::string& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    return FileVersion{fixed->dwFileVersionMS, fixed->dwFileVersionLS};
}

std::optional<SectionView> FindImageSection(uintptr_t moduleBase, std::string_view name) {
    const IMAGE_NT_HEADERS* nt = NtHeaders(moduleBase);
    if (!nt || name.size() > IMAGE_SIZEOF_SHORT_NAME) return std::nullopt;
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        // Section names fill eight bytes and carry a terminating zero only when shorter.
        char padded[IMAGE_SIZEOF_SHORT_NAME] = {};
        std::memcpy(padded, name.data(), name.size());
        if (std::memcmp(section->Name, padded, IMAGE_SIZEOF_SHORT_NAME) != 0) continue;
        return SectionView{reinterpret_cast<const unsigned char*>(moduleBase + section->VirtualAddress),
                           section->Misc.VirtualSize};
    }
    return std::nullopt;
}

std::string ProgramFolder() {
    char path[MAX_PATH * 2];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string program(path, n);
    const std::size_t slash = program.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

uintptr_t CurrentThreadStackBase() {
    // NT_TIB::StackBase of the thread's information block, which FS points at on x86.
    uintptr_t base = 0;
    __asm__("movl %%fs:4, %0" : "=r"(base));
    return base;
}

}  // namespace dct::platform
