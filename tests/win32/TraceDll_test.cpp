// The trace log as a host meets it: DctDrv.dll loaded by path, an exception raised inside it
// (a settings value that is not a number reaching DctInit), and the blocks in the trace files.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/cp1251.h"

using ::testing::HasSubstr;

namespace {

constexpr DWORD kDebugPrint = 0x40010006;  // DBG_PRINTEXCEPTION_C: how OutputDebugStringA announces itself

std::vector<std::string>& DebugStrings() {
    static std::vector<std::string> strings;
    return strings;
}

// OutputDebugStringA raises DBG_PRINTEXCEPTION_C before anything else: a vectored handler sees
// the text and lets it go on.
LONG CALLBACK CaptureDebugString(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* r = info->ExceptionRecord;
    if (r->ExceptionCode == kDebugPrint && r->NumberParameters >= 2) {
        const char* text = reinterpret_cast<const char*>(r->ExceptionInformation[1]);
        std::size_t length = static_cast<std::size_t>(r->ExceptionInformation[0]);
        if (text && length > 0) DebugStrings().emplace_back(text, length - 1);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

std::string ExeFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void DeleteTree(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

// The lines of the last block in a trace file's text.
std::vector<std::string> LastBlock(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    std::size_t header = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].rfind("!== ", 0) == 0) header = i;
    return header < lines.size() ? std::vector<std::string>(lines.begin() + header, lines.end())
                                 : std::vector<std::string>{};
}

int CountBlocks(const std::string& text) {
    int n = text.rfind("!== ", 0) == 0;
    for (std::size_t at = 0; (at = text.find("\r\n!== ", at)) != std::string::npos; ++at) ++n;
    return n;
}

void SetRegistryText(HKEY root, const std::string& value) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, "Software\\Tarnworks", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "TraceDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

void DeleteRegistryText(HKEY root) {
    HKEY key;
    if (RegOpenKeyExA(root, "Software\\Tarnworks", 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "TraceDir");
        RegCloseKey(key);
    }
}

using DctInitProc = int32_t(__cdecl*)(int32_t, const char*, void**, void**);

class TraceDll : public ::testing::Test {
protected:
    std::string bin = ExeFolder();
    std::string work = bin + "trace-dll-test";
    std::string settings = work + "\\settings";
    HMODULE module = nullptr;
    void* vectored = nullptr;

    void SetUp() override {
        DeleteTree(work);
        CreateDirectoryA(work.c_str(), nullptr);
        CreateDirectoryA(settings.c_str(), nullptr);
        std::ofstream(settings + "\\DctDrv.ini", std::ios::binary) << "[1]\r\nDCT_Port=1\r\nDCT_Rate=word\r\n";
        DeleteRegistryText(HKEY_CURRENT_USER);
        DeleteRegistryText(HKEY_LOCAL_MACHINE);
        SetEnvironmentVariableA("TARN_LOGS_FOLDER", (work + "\\env").c_str());
        DebugStrings().clear();
        vectored = AddVectoredExceptionHandler(1, CaptureDebugString);
    }
    void TearDown() override {
        Unload();
        RemoveVectoredExceptionHandler(vectored);
        DeleteRegistryText(HKEY_CURRENT_USER);
        DeleteRegistryText(HKEY_LOCAL_MACHINE);
        SetEnvironmentVariableA("TARN_LOGS_FOLDER", nullptr);
        DeleteTree(work);
    }

    void* reserved = nullptr;

    // The library without debug data is loaded away from its preferred base (kept reserved
    // meanwhile), so that the two files never take turns at one address: under the i386 emulator
    // that tripped over code it had translated for the other file. It also shows that lookups do
    // not depend on where the image lies.
    void Load(const std::string& path, bool relocate = false) {
        Unload();
        if (relocate) {
            std::ifstream in(path, std::ios::binary);
            std::vector<char> head(4096);
            in.read(head.data(), static_cast<std::streamsize>(head.size()));
            uint32_t nt = 0, base = 0, size = 0;
            std::memcpy(&nt, &head[0x3C], 4);
            std::memcpy(&base, &head[nt + 0x34], 4);
            std::memcpy(&size, &head[nt + 0x50], 4);
            reserved = VirtualAlloc(reinterpret_cast<void*>(static_cast<uintptr_t>(base)), size, MEM_RESERVE,
                                    PAGE_NOACCESS);
            ASSERT_NE(reserved, nullptr);
        }
        module = LoadLibraryA(path.c_str());
        ASSERT_NE(module, nullptr) << path;
    }
    void Unload() {
        if (module) FreeLibrary(module);
        module = nullptr;
        if (reserved) VirtualFree(reserved, 0, MEM_RELEASE);
        reserved = nullptr;
    }
    // DctInit over the broken settings: the rate is a word, so reading it raises inside the library.
    int32_t InitWithBadRate(DWORD lastErrorBefore = 0, DWORD* lastErrorAfter = nullptr) {
        auto init = reinterpret_cast<DctInitProc>(reinterpret_cast<void*>(GetProcAddress(module, "DctInit")));
        EXPECT_NE(init, nullptr);
        if (!init) return 0;
        void* funcs = nullptr;
        void* handle = nullptr;
        SetLastError(lastErrorBefore);
        int32_t rc = init(1, settings.c_str(), &funcs, &handle);
        if (lastErrorAfter) *lastErrorAfter = GetLastError();
        return rc;
    }
    int Count(const std::string& prefix) const {
        int n = 0;
        for (const std::string& s : DebugStrings()) n += s.rfind(prefix, 0) == 0;
        return n;
    }
};

std::string ExpectedVersion(const std::string& file) {
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!size || !GetFileVersionInfoA(file.c_str(), 0, size, data.data()) ||
        !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length))
        return "????";
    std::string v = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS));
    if (fixed->dwFileVersionLS) v += "." + std::to_string(HIWORD(fixed->dwFileVersionLS));
    if (LOWORD(fixed->dwFileVersionLS)) v += "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
    return v;
}

TEST_F(TraceDll, ExceptionInTheLibraryLeavesATraceBlock) {
    // The same calls through the library without debug data give the last-error code to compare with.
    DWORD withoutTrace = 0, withTrace = 0;
    Load(bin + "nodebug\\DctDrv.dll", true);
    ASSERT_EQ(InitWithBadRate(1234, &withoutTrace), -4);
    Load(bin + "DctDrv.dll");
    ASSERT_EQ(InitWithBadRate(1234, &withTrace), -4);
    EXPECT_EQ(withTrace, withoutTrace) << "the trace must leave the last-error code as it found it";

    const std::string dll = bin + "DctDrv.dll";
    EXPECT_EQ(Count("Trace installed for " + dll), 1);
    EXPECT_EQ(Count("Trace data loaded for " + dll), 1);
    const std::string file = work + "\\env\\DctDrv.trc";
    EXPECT_GE(Count(file), 1) << "the trace file name goes to the debugger before every block";

    std::vector<std::string> block = LastBlock(ReadAll(file));
    ASSERT_GE(block.size(), 4u) << ReadAll(file);
    std::smatch m;
    const std::string quote = dct::Cp1251(u8"'word' не является допустимым значением целого числа").str();
    ASSERT_TRUE(std::regex_match(block[0], m,
                                 std::regex(R"(!== \d\d.\d\d.\d\d \d\d.\d\d.\d\d\.\d{3} EConvertError\()" + quote +
                                            R"(\) at [0-9A-F]{8} \((\w+):(\d+)\) \(LastError: -?\d+\))")))
        << block[0];
    const std::string raisedAt = " " + m[1].str() + ":" + m[2].str();

    HANDLE h = CreateFileA(dll.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD size = GetFileSize(h, nullptr);
    CloseHandle(h);
    EXPECT_TRUE(std::regex_match(block[1], std::regex(R"(\? DctDrv\.dll ver )" + ExpectedVersion(dll) +
                                                      R"( of \d\d\.\d\d\.\d{4} \d{1,2}:\d\d:\d\d \(size )" +
                                                      std::to_string(size) + R"(\))")))
        << block[1];

    // The first frame is the raising code itself, then its callers up to the exported function.
    std::set<std::string> units;
    for (std::size_t i = 2; i + 1 < block.size(); ++i) {
        std::smatch f;
        if (std::regex_match(block[i], f, std::regex(R"( (\w+):\d+)"))) units.insert(f[1]);
    }
    EXPECT_EQ(block[2], raisedAt);
    EXPECT_TRUE(units.count("DctDrv")) << ReadAll(file);
    EXPECT_EQ(block.back(), "--- end of trace");
}

TEST_F(TraceDll, LibraryWithoutDebugDataSaysSoOnceAndNeverTraces) {
    const std::string dll = bin + "nodebug\\DctDrv.dll";
    Load(dll, true);
    EXPECT_EQ(InitWithBadRate(), -4);
    EXPECT_EQ(InitWithBadRate(), -4);
    EXPECT_EQ(Count("Trace data not found for " + dll), 1);
    EXPECT_EQ(Count("Trace data loaded for "), 0);
    EXPECT_FALSE(Exists(work + "\\env\\DctDrv.trc"));
}

TEST_F(TraceDll, FolderRulesCurrentUserMachineEnvironmentDefault) {
    SetRegistryText(HKEY_CURRENT_USER, work + "\\hkcu");
    SetRegistryText(HKEY_LOCAL_MACHINE, work + "\\hklm\\deeper");
    Load(bin + "DctDrv.dll");
    InitWithBadRate();
    // The folder is settled once per load: changing the setting now changes nothing.
    DeleteRegistryText(HKEY_CURRENT_USER);
    InitWithBadRate();
    EXPECT_EQ(CountBlocks(ReadAll(work + "\\hkcu\\DctDrv.trc")), 2);
    EXPECT_EQ(LastBlock(ReadAll(work + "\\hkcu\\DctDrv.trc")).back(), "--- end of trace");
    EXPECT_FALSE(Exists(work + "\\hklm"));

    Load(bin + "DctDrv.dll");  // loaded anew: the machine's setting (folder made with its parents)
    InitWithBadRate();
    EXPECT_TRUE(Exists(work + "\\hklm\\deeper\\DctDrv.trc"));

    DeleteRegistryText(HKEY_LOCAL_MACHINE);
    Load(bin + "DctDrv.dll");
    InitWithBadRate();
    EXPECT_TRUE(Exists(work + "\\env\\DctDrv.trc"));

    SetEnvironmentVariableA("TARN_LOGS_FOLDER", "");
    const std::string defaultFile = bin + "logs\\DctDrv.trc";
    const std::size_t before = ReadAll(defaultFile).size();
    Load(bin + "DctDrv.dll");
    InitWithBadRate();
    EXPECT_GT(ReadAll(defaultFile).size(), before);
}

TEST_F(TraceDll, PrimaryFileHeldOpenForWritingSendsTheBlockToTheFallback) {
    char common[MAX_PATH] = {};
    DWORD size = sizeof common;
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                           "Common Documents", RRF_RT_REG_SZ, nullptr, common, &size),
              ERROR_SUCCESS);
    const std::string fallback = std::string(common) + "\\" + dct::Cp1251(u8"Логи Тарн").str() + "\\DctDrv.trc";
    const std::size_t before = ReadAll(fallback).size();

    CreateDirectoryA((work + "\\env").c_str(), nullptr);
    const std::string primary = work + "\\env\\DctDrv.trc";
    HANDLE writer = CreateFileA(primary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    Load(bin + "DctDrv.dll");
    EXPECT_EQ(InitWithBadRate(), -4);
    CloseHandle(writer);

    EXPECT_EQ(ReadAll(primary), "");
    const std::string text = ReadAll(fallback);
    ASSERT_GT(text.size(), before);
    EXPECT_EQ(LastBlock(text).back(), "--- end of trace");
}

}  // namespace
