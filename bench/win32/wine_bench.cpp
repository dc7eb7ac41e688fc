// The library a host loads, measured where it runs: DctDrv.dll found by name and driven through its
// exports and operation table as a host drives it, each measure against a baseline in the same run.
//
// Google Benchmark has no i686 build here, so the timing loop is our own: a measure runs its baseline
// and the library alternately (the order swapped every repetition), takes wall time (thread times
// tick in 10 ms steps under Wine), and reports the medians and the lowest and highest of the
// repetitions' own ratios, so the noise shows. Heap allocations are counted by pointing the imports
// of the C runtime's malloc, calloc and realloc of the library and of this program at counters.
//
// usage: dct-wine-bench [--repetitions N] [--run TEXT]   (TEXT: how 32-bit code ran, for the table)
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "NullTerminals.h"

namespace {

using namespace dct;
using bench::NullTerminals;

// A function of a module, by name.
template <typename Fn>
Fn Proc(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// ---- the host's side of the boundary ------------------------------------------------------------
struct Funcs {
    uint32_t reserved1, termNumber, reserved2, reserved3;
    void* ops[10];  // Fini, InteractiveService, ClearData, BeginDataReading, EnumData, NextRecord,
                    // EndDataReading, BeginWareTableWriting, WriteWareTableRecord, EndWareTableWriting
};
static_assert(sizeof(Funcs) == 56);
using InitFn = int32_t(__cdecl*)(int32_t, const char*, Funcs**, void**);
using GetDriverInfoFn = void(__cdecl*)(void*);
using FiniFn = int32_t(__cdecl*)(void*, Funcs*);
using HandleOpFn = int32_t(__cdecl*)(void*);
using EnumDataFn = int32_t(__cdecl*)(void*, void*, int32_t, int32_t);
using NextRecordFn = int32_t(__cdecl*)(void*, const char**, double*, int32_t*);
using FlagOpFn = int32_t(__cdecl*)(void*, int32_t);

struct Sink {
    double sum = 0;
    long records = 0;
} gSink;

}  // namespace

extern "C" {
void BenchRecordCallback();                                              // register convention
void BenchCallRecordCallback(int32_t userData, const char* code, double quantity);  // cdecl, calls it
void BenchOnRecord(int32_t, const char* code, double quantity) {
    gSink.sum += quantity;
    gSink.records += code[0] != 0;
}
}

// The host's per-record procedure in the register convention (user data in EAX, the code in EDX,
// the quantity's 8 bytes above the return address, removed by the callee), and a cdecl way to call
// it, so that the baseline hands a record over exactly as the library does.
asm(R"(
    .text
    .globl _BenchRecordCallback
_BenchRecordCallback:
    pushl %ebp
    movl  %esp, %ebp
    pushl 12(%ebp)
    pushl 8(%ebp)
    pushl %edx
    pushl %eax
    call  _BenchOnRecord
    movl  %ebp, %esp
    popl  %ebp
    ret   $8

    .globl _BenchCallRecordCallback
_BenchCallRecordCallback:
    pushl %ebp
    movl  %esp, %ebp
    pushl 20(%ebp)
    pushl 16(%ebp)
    movl  8(%ebp), %eax
    movl  12(%ebp), %edx
    call  _BenchRecordCallback
    movl  %ebp, %esp
    popl  %ebp
    ret
)");

namespace {

// ---- counting allocations ------------------------------------------------------------------------
long gAllocations = 0;
void*(__cdecl* gMalloc)(size_t);
void*(__cdecl* gCalloc)(size_t, size_t);
void*(__cdecl* gRealloc)(void*, size_t);
void* __cdecl CountingMalloc(size_t n) { return ++gAllocations, gMalloc(n); }
void* __cdecl CountingCalloc(size_t n, size_t size) { return ++gAllocations, gCalloc(n, size); }
void* __cdecl CountingRealloc(void* p, size_t n) { return ++gAllocations, gRealloc(p, n); }

// Points the module's imports of msvcrt's allocation functions at the counters; the number patched.
int CountAllocationsOf(HMODULE module) {
    HMODULE crt = GetModuleHandleA("msvcrt.dll");
    gMalloc = Proc<decltype(gMalloc)>(crt, "malloc");
    gCalloc = Proc<decltype(gCalloc)>(crt, "calloc");
    gRealloc = Proc<decltype(gRealloc)>(crt, "realloc");
    auto* base = reinterpret_cast<unsigned char*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int patched = 0;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + d->Name), "msvcrt.dll") != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk
                                                                                        : d->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
            void* counter = !std::strcmp(name, "malloc")    ? reinterpret_cast<void*>(&CountingMalloc)
                            : !std::strcmp(name, "calloc")  ? reinterpret_cast<void*>(&CountingCalloc)
                            : !std::strcmp(name, "realloc") ? reinterpret_cast<void*>(&CountingRealloc)
                                                            : nullptr;
            if (!counter) continue;
            DWORD old = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
            slots->u1.Function = reinterpret_cast<DWORD_PTR>(counter);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            ++patched;
        }
    }
    return patched;
}

// ---- timing --------------------------------------------------------------------------------------
double Seconds() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Result {
    double library = 0, baseline = 0;  // medians, seconds per unit
    double low = 0, high = 0;          // the repetitions' own ratios
    double Ratio() const { return library / baseline; }
};

int gRepetitions = 9;

// Each call of a function does `units` units of work, `times` calls a sample (`times` chosen so that
// the library's sample lasts about 0.2 s).
Result Measure(double units, const std::function<void()>& library, const std::function<void()>& baseline,
               int maxTimes = 10000) {
    library();  // warm: first-use state, caches
    baseline();
    double start = Seconds();
    library();
    const double once = Seconds() - start;
    const int times = std::clamp(static_cast<int>(0.2 / std::max(once, 1e-6)), 1, maxTimes);
    auto sample = [&](const std::function<void()>& f) {
        const double begin = Seconds();
        for (int i = 0; i < times; ++i) f();
        return (Seconds() - begin) / (times * units);
    };
    std::vector<double> lib, base, ratios;
    for (int r = 0; r < gRepetitions; ++r) {
        double l, b;
        if (r % 2)
            l = sample(library), b = sample(baseline);
        else
            b = sample(baseline), l = sample(library);
        lib.push_back(l), base.push_back(b), ratios.push_back(l / b);
    }
    return {Median(lib), Median(base), *std::min_element(ratios.begin(), ratios.end()),
            *std::max_element(ratios.begin(), ratios.end())};
}

// Allocations per record in the steady state: the difference between reads of 2N and N records,
// over N, so that what a read costs once drops out.
double SteadyAllocationsPerRecord(NullTerminals& server, const std::function<void()>& read) {
    read();
    server.records = bench::kRecords;
    long before = gAllocations;
    read();
    const long single = gAllocations - before;
    server.records = 2 * bench::kRecords;
    before = gAllocations;
    read();
    const long twice = gAllocations - before;
    server.records = bench::kRecords;
    return static_cast<double>(twice - single) / bench::kRecords;
}

// ---- setting up ---------------------------------------------------------------------------------
std::string ExeFolder() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

// A settings folder whose DctDrv.ini names terminals 1..count.
std::string SettingsFolder(int count) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "dct-wine-bench-" + std::to_string(count);
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "[" + std::to_string(i) + "]\r\nDCT_Port=" + std::to_string(i % 10 + 1) +
                "\r\nDCT_Rate=1\r\nDCT_type=0\r\nDCT_ID=" + std::to_string(i) + "\r\n";
    FILE* f = std::fopen((folder + "\\DctDrv.ini").c_str(), "wb");
    if (!f) return {};
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return folder;
}

// The current user's recording switch: on until far in the future, or off (the value removed).
void SwitchRecording(bool on) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Tarnworks\\DctDrv", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    static const char kUntil[] = "2099-01-01 00:00:00";
    if (on)
        RegSetValueExA(key, "RecordUntil", 0, REG_SZ, reinterpret_cast<const BYTE*>(kUntil), sizeof kUntil);
    else
        RegDeleteValueA(key, "RecordUntil");
    RegCloseKey(key);
}

// The bytes of the recordings in a folder, which is emptied.
long long TakeRecordings(const std::string& folder) {
    long long bytes = 0;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*.jsonl").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        bytes += (static_cast<long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        DeleteFileA((folder + "\\" + entry.cFileName).c_str());
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return bytes;
}

void RemoveSettingsFolder(const std::string& folder) {
    DeleteFileA((folder + "\\DctDrv.ini").c_str());
    DeleteFileA((folder + "\\DctDrv.log").c_str());
    RemoveDirectoryA(folder.c_str());
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "dct-wine-bench: %s\n", what.c_str());
    std::exit(1);
}

std::string gRun = "32-bit code: not stated";

void Row(const char* measure, const char* unit, double scale, const Result& r, const char* goal, const char* holds) {
    std::printf("| %s | %.1f %s | %.1f %s | %.2f (%.2f-%.2f) | %s | %s |\n", measure, r.library * scale, unit,
                r.baseline * scale, unit, r.Ratio(), r.low, r.high, goal, holds);
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--repetitions")) gRepetitions = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--run")) gRun = argv[++i];
    }
    CoInitialize(nullptr);
    NullTerminals* server = bench::Server();
    if (!server) Fail("the terminal server could not be registered in the running-object table");
    const std::string folder = SettingsFolder(1), folder1000 = SettingsFolder(1000);
    if (folder.empty() || folder1000.empty()) Fail("cannot write the settings files");
    const std::string dll = ExeFolder() + "DctDrv.dll", noop = ExeFolder() + "NoOpDriver.dll";

    HMODULE module = LoadLibraryA(dll.c_str());
    if (!module) Fail("cannot load " + dll);
    auto init = Proc<InitFn>(module, "DctInit");
    Funcs* funcs = nullptr;
    void* handle = nullptr;
    if (!init || init(1, folder.c_str(), &funcs, &handle) != 0 || !funcs) Fail("DctInit failed");
    auto fini = reinterpret_cast<FiniFn>(funcs->ops[0]);
    auto begin = reinterpret_cast<HandleOpFn>(funcs->ops[3]);
    auto enumData = reinterpret_cast<EnumDataFn>(funcs->ops[4]);
    auto next = reinterpret_cast<NextRecordFn>(funcs->ops[5]);
    auto end = reinterpret_cast<FlagOpFn>(funcs->ops[6]);

    IUnknown* unknown = nullptr;
    ITerminals* intf = nullptr;
    if (GetActiveObject(CLSID_Terminals, nullptr, &unknown) != S_OK ||
        unknown->QueryInterface(IID_ITerminals, reinterpret_cast<void**>(&intf)) != S_OK)
        Fail("the terminal server is not found in the running-object table");
    unknown->Release();

    // Every read must deliver every record, or a measure would time a failure.
    auto checked = [&](const char* what, long records) {
        if (records != server->records) Fail(std::string(what) + " delivered " + std::to_string(records) + " records");
    };
    auto libraryBulk = [&] {
        gSink.records = 0;
        if (enumData(handle, reinterpret_cast<void*>(&BenchRecordCallback), 7, 0) != 0) Fail("DctEnumData failed");
        checked("DctEnumData", gSink.records);
    };
    auto baselineBulk = [&] {
        gSink.records = 0;
        bench::BaselineRead(intf, [](const char* code, double q) { BenchCallRecordCallback(7, code, q); }, true);
        checked("the baseline", gSink.records);
    };
    auto libraryStep = [&] {
        if (begin(handle) != 0) Fail("DctBeginDataReading failed");
        const char* code = nullptr;
        double quantity = 0;
        int32_t more = 0;
        long records = 0;
        while (next(handle, &code, &quantity, &more) == 0 && more) records += code[0] != 0;
        if (end(handle, 0) != 0) Fail("DctEndDataReading failed");
        checked("DctNextRecord", records);
    };
    auto baselineStep = [&] { checked("the baseline", bench::BaselineRead(intf, [](const char*, double) {}, false)); };

    const Result bulk = Measure(bench::kRecords, libraryBulk, baselineBulk);
    const Result step = Measure(bench::kRecords, libraryStep, baselineStep);

    // Counting from here on: the library's imports and this program's.
    if (CountAllocationsOf(module) == 0 || CountAllocationsOf(GetModuleHandleA(nullptr)) == 0)
        Fail("no allocation function imported from msvcrt.dll to count");
    // The counters must see both modules allocate, or every count below would read 0 for nothing.
    long before = gAllocations;
    static std::string* volatile kept;  // volatile: the pair of new and delete must not be left out
    kept = new std::string(100, 'x');
    delete kept;
    if (gAllocations == before) Fail("the counters do not see this program allocate");
    before = gAllocations;
    Funcs* second = nullptr;
    void* secondHandle = nullptr;
    if (init(1, folder.c_str(), &second, &secondHandle) != 0 || reinterpret_cast<FiniFn>(second->ops[0])(secondHandle, second) != 0)
        Fail("a second DctInit/DctFini failed");
    if (gAllocations == before) Fail("the counters do not see the library allocate");
    const double bulkAllocs = SteadyAllocationsPerRecord(*server, libraryBulk);
    const double bulkBaseAllocs = SteadyAllocationsPerRecord(*server, baselineBulk);
    const double stepAllocs = SteadyAllocationsPerRecord(*server, libraryStep);
    const double stepBaseAllocs = SteadyAllocationsPerRecord(*server, baselineStep);

    if (fini(handle, funcs) != 0) Fail("DctFini failed");

    // Settings: what a host pays to open terminal 1000 of 1,000 and close it again, against one read
    // of a value of that file through kernel32's profile functions.
    const std::string ini = folder1000 + "\\DctDrv.ini";
    const Result settings = Measure(
        1,
        [&] {
            Funcs* f = nullptr;
            void* h = nullptr;
            if (init(1000, folder1000.c_str(), &f, &h) != 0 || reinterpret_cast<FiniFn>(f->ops[0])(h, f) != 0)
                Fail("DctInit/DctFini of terminal 1000 failed");
        },
        [&] {
            char value[16];
            if (GetPrivateProfileStringA("1000", "DCT_Port", "", value, sizeof value, ini.c_str()) == 0)
                Fail("the profile functions do not find terminal 1000");
        });

    // Recording on, as a technician switches it on at a station: the terminal opened now is recorded,
    // both of its sides, into a folder of the bench's own. A read of 2,000 records (a day's) per
    // sample keeps the file far from its 64 MiB limit.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string recordings = std::string(temp) + "dct-wine-bench-recordings";
    CreateDirectoryA(recordings.c_str(), nullptr);
    SetEnvironmentVariableA("TARN_LOGS_FOLDER", recordings.c_str());
    SwitchRecording(true);
    if (init(1, folder.c_str(), &funcs, &handle) != 0) Fail("DctInit with recording on failed");
    SwitchRecording(false);
    server->records = 2000;
    const Result recordedBulk = Measure(2000, libraryBulk, baselineBulk, 1);
    const Result recordedStep = Measure(2000, libraryStep, baselineStep, 1);
    server->records = bench::kRecords;
    if (reinterpret_cast<FiniFn>(funcs->ops[0])(handle, funcs) != 0) Fail("DctFini with recording on failed");
    const long long recorded = TakeRecordings(recordings);
    if (recorded == 0) Fail("nothing was recorded");
    RemoveDirectoryA(recordings.c_str());
    SetEnvironmentVariableA("TARN_LOGS_FOLDER", nullptr);

    intf->Release();
    FreeLibrary(module);

    // Load time: nothing of the library stays loaded in between.
    if (GetModuleHandleA("DctDrv.dll")) Fail("DctDrv.dll is still loaded");
    auto loadCall = [](const std::string& path, bool named) {
        HMODULE m = LoadLibraryA(path.c_str());
        if (!m) Fail("cannot load " + path);
        auto info = Proc<GetDriverInfoFn>(m, "DctGetDriverInfo");
        if (!info) Fail("no DctGetDriverInfo in " + path);
        char record[524] = {};
        info(record);
        if (named && record[4] == 0) Fail("DctGetDriverInfo gave no name");
        FreeLibrary(m);
    };
    const Result load = Measure(1, [&] { loadCall(dll, true); }, [&] { loadCall(noop, false); });

    RemoveSettingsFolder(folder);
    RemoveSettingsFolder(folder1000);

    std::printf("\nUnder Wine, %s; wall time, %d repetitions, medians; in brackets the lowest and highest of "
                "the repetitions' own ratios.\n\n",
                gRun.c_str(), gRepetitions);
    std::printf("| Measure (Wine) | Library | Baseline | Ratio (range) | Goal | Holds |\n|---|---|---|---|---|---|\n");
    Row("Bulk read (DctEnumData, 100,000 records), per record", "ns", 1e9, bulk, "<= 1.10",
        bulk.Ratio() <= 1.10 ? "yes" : "NO");
    std::printf("| Bulk read, heap allocations per record (steady state) | %.2f | %.2f | | 0 | %s |\n", bulkAllocs,
                bulkBaseAllocs, bulkAllocs == 0 ? "yes" : "NO");
    Row("Step read (DctNextRecord, 100,000 records), per record", "ns", 1e9, step, "<= 1.10",
        step.Ratio() <= 1.10 ? "yes" : "NO");
    std::printf("| Step read, heap allocations per record (steady state) | %.2f | %.2f | | 0 | %s |\n", stepAllocs,
                stepBaseAllocs, stepAllocs == 0 ? "yes" : "NO");
    Row("DctInit+DctFini, terminal 1000 of 1,000 in DctDrv.ini (vs one GetPrivateProfileStringA)", "us", 1e6, settings,
        "measured", "");
    Row("Bulk read (DctEnumData, 2,000 records), per record, recording on", "ns", 1e9, recordedBulk, "aim <= 3",
        recordedBulk.Ratio() <= 3 ? "yes" : "NO");
    Row("Step read (DctNextRecord, 2,000 records), per record, recording on", "ns", 1e9, recordedStep, "aim <= 3",
        recordedStep.Ratio() <= 3 ? "yes" : "NO");
    Row("LoadLibrary+DctGetDriverInfo+FreeLibrary (vs a DLL that does nothing)", "ms", 1e3, load, "<= 2",
        load.Ratio() <= 2 ? "yes" : "NO");
    return 0;
}
