// Hot paths of the driver against baselines that make the same calls without the library, each pair
// measured in the same run. After Google Benchmark's own output a table of ratios is printed.
//
// Allocations are counted by replacing the global operator new; BSTRs come from SysAllocString
// (malloc), which the server side owns in any case and which the baseline pays equally.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "NullTerminals.h"
#include "drv/dct/DctDriver.h"
#include "drv/dct/dctIntf.h"
#include "drv/dct/drivers/opticon_zebex/AddIn_TLB.h"
#include "drv/dct/drivers/opticon_zebex/UDrvIni.h"
#include "base/SysUtils.h"
#include "boundary/DctInstance.h"
#include "boundary/Recording.h"
#include "boundary/TerminalDriver.h"
#include "boundary/dctDrvUtils.h"
#include "lib/JclDebug.h"
#include "lib/RecordingFiles.h"
#include "lib/commutil.h"
#include "lib/parmstr.h"
#include "platform/Codepage.h"
#include "platform/ComPtr.h"
#include "platform/Env.h"
#include "support/DebugTableBuilder.h"

// ---- counting allocator -------------------------------------------------------------------------
namespace {
std::atomic<long long> gAllocations{0};
}

void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return ::operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using namespace dct;

using bench::kRecords;
using bench::NullTerminals;

NullTerminals& Server() { return *bench::Server(); }

// ---- what the host does with a record ---------------------------------------------------------
struct Sink final : TDctEnumCallback {
    double sum = 0;
    std::size_t chars = 0;
    void operator()(const char* code, double quantity) override {
        sum += quantity;
        chars += code[0] != 0;
    }
};

// ---- bulk read ----------------------------------------------------------------------------------
int BaselineRead(ITerminals* intf, TDctEnumCallback& callback, bool handOver) {
    return bench::BaselineRead(intf, [&](const char* code, double quantity) { callback(code, quantity); }, handOver);
}

ITerminals* DirectInterface() {
    Server();
    IUnknown* unknown = nullptr;
    GetActiveObject(CLSID_Terminals, nullptr, &unknown);
    ITerminals* intf = nullptr;
    unknown->QueryInterface(IID_ITerminals, reinterpret_cast<void**>(&intf));
    unknown->Release();
    return intf;
}

int StepRead(TDctDriver& driver) {
    driver.BeginReading();
    AnsiString code;
    double quantity = 0;
    int count = 0;
    while (driver.NextRecord(code, quantity)) {
        benchmark::DoNotOptimize(quantity);
        ++count;
    }
    driver.EndReading(false);
    return count;
}

// Allocations per record in the steady state: the difference between runs of 2N and N records, over N,
// so that what a read costs once (connecting, creating the client) drops out.
template <typename Run>
double SteadyAllocationsPerRecord(Run&& run) {
    NullTerminals& server = Server();
    run();  // warm: first-use statics, client created
    server.records = kRecords;
    long long before = gAllocations.load();
    run();
    const long long single = gAllocations.load() - before;
    server.records = 2 * kRecords;
    before = gAllocations.load();
    run();
    const long long twice = gAllocations.load() - before;
    server.records = kRecords;
    return static_cast<double>(twice - single) / kRecords;
}

void BM_BulkRead_Baseline(benchmark::State& state) {
    ITerminals* intf = DirectInterface();
    Sink cb;
    for (auto _ : state) benchmark::DoNotOptimize(BaselineRead(intf, cb, true));
    state.counters["allocs/rec"] = SteadyAllocationsPerRecord([&] { BaselineRead(intf, cb, true); });
    state.SetItemsProcessed(state.iterations() * kRecords);
    intf->Release();
}

void BM_BulkRead_EnumData(benchmark::State& state) {
    Server();
    auto driver = TDctDriver::CreateConcreteDriver("com:1;baud:1;DF:/nonexistent", platform::Env::Default());
    Sink cb;
    for (auto _ : state) benchmark::DoNotOptimize(driver->EnumData(false, cb));
    state.counters["allocs/rec"] = SteadyAllocationsPerRecord([&] { driver->EnumData(false, cb); });
    state.SetItemsProcessed(state.iterations() * kRecords);
    driver->Destroy();
}

void BM_StepRead_Baseline(benchmark::State& state) {
    ITerminals* intf = DirectInterface();
    Sink cb;
    for (auto _ : state) benchmark::DoNotOptimize(BaselineRead(intf, cb, false));
    state.counters["allocs/rec"] = SteadyAllocationsPerRecord([&] { BaselineRead(intf, cb, false); });
    state.SetItemsProcessed(state.iterations() * kRecords);
    intf->Release();
}

void BM_StepRead_NextRecord(benchmark::State& state) {
    Server();
    auto driver = TDctDriver::CreateConcreteDriver("com:1;baud:1;DF:/nonexistent", platform::Env::Default());
    for (auto _ : state) benchmark::DoNotOptimize(StepRead(*driver));
    state.counters["allocs/rec"] = SteadyAllocationsPerRecord([&] { StepRead(*driver); });
    state.SetItemsProcessed(state.iterations() * kRecords);
    driver->Destroy();
}

BENCHMARK(BM_BulkRead_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BulkRead_EnumData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StepRead_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StepRead_NextRecord)->Unit(benchmark::kMillisecond);

// ---- recording ----------------------------------------------------------------------------------
// A station where recording is on: the switch set, recordings into a folder of the bench's own. With
// `discard`, what is recorded goes to /dev/null (written all the same, a write per host call and per
// 64 KiB), so that a long measure neither fills the disk nor meets the file's limit.
class RecordingStation final : public platform::EnvWrapper {
public:
    RecordingStation(std::string folder, bool discard)
        : EnvWrapper(platform::Env::Default()), folder_(std::move(folder)), discard_(discard) {}
    platform::RegistryValue ReadRegistryValue(platform::RegistryRoot root, const std::string& key,
                                              const std::string& name, std::size_t bufferSize) override {
        if (name != kRecordSwitchValue) return Target().ReadRegistryValue(root, key, name, bufferSize);
        return {platform::RegistryStatus::Ok, platform::kRegistryString, std::string("2099-01-01 00:00:00", 20)};
    }
    std::string EnvironmentVariable(const std::string& name) override {
        return name == "TARN_LOGS_FOLDER" ? folder_ : Target().EnvironmentVariable(name);
    }
    std::unique_ptr<platform::AppendStream> OpenAppendStream(const std::string& path) override {
        return Target().OpenAppendStream(discard_ ? "/dev/null" : path);
    }

private:
    std::string folder_;
    bool discard_;
};

void BenchRecord(int32_t, const char* code, double quantity) {
    benchmark::DoNotOptimize(code);
    benchmark::DoNotOptimize(quantity);
}

// A terminal opened through the table with recording on; closed, and the recording ended, when it goes.
struct RecordedTerminal {
    explicit RecordedTerminal(bool discard, std::size_t limit = SIZE_MAX)
        : folder(std::filesystem::temp_directory_path() / "dct-bench-recording"), station(folder.string(), discard) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "DctDrv.ini", std::ios::binary) << "[1]\r\nDCT_Port=3\r\nDCT_Rate=1\r\n";
        Server();
        recording = recording::Recording::ForNewTerminal(station, limit);
        if (OpenTerminal(1, folder.string(), &funcs, &handle, station, recording) != rc::Ok || !recording)
            std::abort();
    }
    ~RecordedTerminal() {
        funcs->DctFini(handle, funcs);
        recording::Recording::EndProcess();
        std::filesystem::remove_all(folder);
    }
    int StepRead() {
        funcs->DctBeginDataReading(handle);
        const char* code = nullptr;
        double quantity = 0;
        int32_t more = 0;
        int count = 0;
        while (funcs->DctNextRecord(handle, &code, &quantity, &more) == 0 && more) ++count;
        funcs->DctEndDataReading(handle, 0);
        return count;
    }

    std::filesystem::path folder;
    RecordingStation station;
    recording::Recording* recording = nullptr;
    TDctDriverFuncs* funcs = nullptr;
    DctHandle handle = nullptr;
};

void BM_BulkRead_Recorded(benchmark::State& state) {
    RecordedTerminal terminal(true);
    for (auto _ : state) benchmark::DoNotOptimize(terminal.funcs->DctEnumData(terminal.handle, &BenchRecord, 0, 0));
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_StepRead_Recorded(benchmark::State& state) {
    RecordedTerminal terminal(true);
    for (auto _ : state) benchmark::DoNotOptimize(terminal.StepRead());
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// What a typical day at a station leaves on the disk: a read of 2,000 records and a goods table of
// 10,000 records written in full, recorded into a real file.
void BM_Recording_TypicalDay(benchmark::State& state) {
    std::uintmax_t bytes = 0;
    for (auto _ : state) {
        RecordedTerminal terminal(false, recording::kFileLimit);
        Server().records = 2000;
        terminal.funcs->DctEnumData(terminal.handle, &BenchRecord, 0, 0);
        Server().records = kRecords;
        terminal.funcs->DctBeginWareTableWriting(terminal.handle, 1);
        for (int i = 0; i < 10000; ++i) {
            const std::string barcode = std::to_string(4601000000000LL + i);
            terminal.funcs->DctWriteWareTableRecord(terminal.handle, "pcs", "Goods name of a usual length", barcode.c_str(),
                                                    1.0, 0);
        }
        terminal.funcs->DctEndWareTableWriting(terminal.handle);
        bytes = 0;
        for (const auto& entry : std::filesystem::directory_iterator(terminal.folder))
            if (entry.path().extension() == ".jsonl") bytes += entry.file_size();
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

BENCHMARK(BM_BulkRead_Recorded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StepRead_Recorded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Recording_TypicalDay)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- barcode lists ------------------------------------------------------------------------------
std::string BarcodeList(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        // Mixed spelling and a quantity suffix on some, a repeat of an earlier one now and then.
        const int n = (i % 7 == 6) ? i / 2 : i;
        text += (i % 3 == 0 ? "ab" : "AB") + std::to_string(4601000000000LL + n);
        if (i % 5 == 0) text += ":2";
        text += '|';
    }
    return text;
}

void BM_ExtractBarcodes(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::string text = BarcodeList(count);
    for (auto _ : state) benchmark::DoNotOptimize(ExtractBarcodesFromString(text));
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ExtractBarcodes)->Arg(10)->Arg(10000);

// ---- settings -----------------------------------------------------------------------------------
std::filesystem::path SettingsFolder(int terminals) {
    auto folder = std::filesystem::temp_directory_path() / ("dct-bench-ini-" + std::to_string(terminals));
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / "DctDrv.ini", std::ios::binary | std::ios::trunc);
    for (int i = 1; i <= terminals; ++i)
        out << "[" << i << "]\r\nDCT_Port=" << (i % 10 + 1) << "\r\nDCT_Rate=1\r\nDCT_type=0\r\nDCT_ID=" << i
            << "\r\n";
    return folder;
}

// What DctInit and DctFini do for the last terminal of the file (the one found last).
void BM_Settings_InitFini(benchmark::State& state) {
    const int terminals = static_cast<int>(state.range(0));
    const std::string folder = SettingsFolder(terminals).string();
    for (auto _ : state) {
        TDctDriverFuncs* funcs = nullptr;
        DctHandle handle = nullptr;
        if (OpenTerminal(terminals, folder, &funcs, &handle, platform::Env::Default()) != rc::Ok) {
            state.SkipWithError("section missing");
            break;
        }
        funcs->DctFini(handle, funcs);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_Settings_InitFini)->Arg(1)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Baseline: reading the file's bytes once, the least any reading of it costs.
void BM_Settings_ReadFile(benchmark::State& state) {
    const int terminals = static_cast<int>(state.range(0));
    const auto folder = SettingsFolder(terminals);
    for (auto _ : state) {
        std::ifstream in(folder / "DctDrv.ini", std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        benchmark::DoNotOptimize(bytes);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_Settings_ReadFile)->Arg(1)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

const char kParameters[] = "COM:3;BAUD:1;CT:0;FT:1;FN:1;DF:C:\\Program Files\\Station\\Data";

void BM_GetParam(benchmark::State& state) {
    const TParametersString parameters(kParameters);
    if (parameters.GetParam("DF", "").empty()) state.SkipWithError("DF not found");
    for (auto _ : state) benchmark::DoNotOptimize(parameters.GetParam("DF", ""));
}
BENCHMARK(BM_GetParam);

// Baseline: finding "df:" in a lowercased copy and taking the value up to ';'.
void BM_GetParam_Baseline(benchmark::State& state) {
    const std::string text(kParameters);
    for (auto _ : state) {
        std::string lower = platform::AnsiLowerCase(text);
        std::size_t at = lower.find("df:");
        std::string value;
        if (at != std::string::npos) {
            at += 3;
            value = text.substr(at, text.find(';', at) - at);
        }
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_GetParam_Baseline);

// ---- debug-table lookup ---------------------------------------------------------------------------
// The address-to-location lookup of the trace log, in the table layout of src/lib/JclDebug.h against
// the fixed-width layout it replaced (12-byte rows, 8-byte procedures, both binary-searched), over the
// same synthetic entries shaped like the shipped DLL's: 23,700 rows over 117 units in 364 KB of code,
// two rows in five changing unit, a stretch without lines now and then, 1,636 procedures.
struct LookupTables {
    std::vector<unsigned char> current, previous;
    std::vector<uint32_t> probes;
};

// The previous layout's lookup, as it was: "DCTLINE1", RowCount, ProcCount, StringsSize, then
// {Rva, Unit, Line} rows, {Rva, Name} procedures and the texts.
struct PreviousTable {
    const unsigned char* data;
    static uint32_t U32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }
    static int64_t Find(const unsigned char* entries, uint32_t count, std::size_t size, uint32_t rva) {
        int64_t low = 0, high = int64_t{count} - 1, found = -1;
        while (low <= high) {
            const int64_t mid = (low + high) / 2;
            if (U32(entries + mid * size) <= rva)
                found = mid, low = mid + 1;
            else
                high = mid - 1;
        }
        return found;
    }
    jcl::TJclLocationInfo Lookup(uint32_t rva) const {
        const uint32_t rowCount = U32(data + 8), procCount = U32(data + 12), stringsSize = U32(data + 16);
        const unsigned char* rows = data + 20;
        const unsigned char* procs = rows + rowCount * 12;
        const char* strings = reinterpret_cast<const char*>(procs + procCount * 8);
        auto text = [&](uint32_t offset) { return offset < stringsSize ? std::string(strings + offset) : std::string(); };
        jcl::TJclLocationInfo info;
        if (int64_t row = Find(rows, rowCount, 12, rva); row >= 0) {
            info.UnitName = text(U32(rows + row * 12 + 4));
            if (!info.UnitName.empty()) info.LineNumber = static_cast<int32_t>(U32(rows + row * 12 + 8));
        }
        if (int64_t proc = Find(procs, procCount, 8, rva); proc >= 0) info.ProcedureName = text(U32(procs + proc * 8 + 4));
        return info;
    }
};

std::vector<unsigned char> PreviousLayout(const test::TableBuilder& t) {
    std::vector<unsigned char> out = {'D', 'C', 'T', 'L', 'I', 'N', 'E', '1'};
    std::string strings;
    auto put = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    auto text = [&](const std::string& s) -> uint32_t {
        if (s.empty()) return 0xFFFFFFFFu;
        strings += s + '\0';
        return static_cast<uint32_t>(strings.size() - s.size() - 1);
    };
    std::vector<uint32_t> words;
    for (auto& [rva, unit, line] : t.rows) words.insert(words.end(), {rva, text(unit), static_cast<uint32_t>(line)});
    for (auto& [rva, name] : t.procs) words.insert(words.end(), {rva, text(name)});
    put(static_cast<uint32_t>(t.rows.size()));
    put(static_cast<uint32_t>(t.procs.size()));
    put(static_cast<uint32_t>(strings.size()));
    for (uint32_t w : words) put(w);
    out.insert(out.end(), strings.begin(), strings.end());
    return out;
}

const LookupTables& Tables() {
    static const LookupTables tables = [] {
        std::mt19937 random(14);
        test::TableBuilder t;
        t.block = 32;
        std::vector<int32_t> lines(117, 1);
        uint32_t rva = 0x1000;
        int unit = 0;
        for (int i = 0; i < 23700; ++i) {
            if (random() % 5 < 2) unit = static_cast<int>((random() % 11) * (random() % 11)) % 117;  // few units often
            if (random() % 180 == 0) {
                t.rows.emplace_back(rva, "", 0);
            } else {
                lines[unit] = std::max(1, lines[unit] + static_cast<int32_t>(random() % 60) - 20);
                t.rows.emplace_back(rva, "unit" + std::to_string(unit), lines[unit]);
            }
            if (i % 15 == 0) t.procs.emplace_back(rva, "dct::TSomeClass::Procedure" + std::to_string(i) + "(std::string const&)");
            rva += 4 + random() % 20 + (random() % 16 == 0 ? random() % 200 : 0);
        }
        t.procs.emplace_back(rva, "");
        LookupTables out;
        out.current = t.Build();
        out.previous = PreviousLayout(t);
        for (int i = 0; i < 4096; ++i) out.probes.push_back(0x1000 + random() % (rva - 0x1000));
        return out;
    }();
    return tables;
}

void BM_DebugLookup(benchmark::State& state) {
    const LookupTables& tables = Tables();
    const auto table = jcl::DebugTable::Parse(tables.current.data(), tables.current.size());
    const PreviousTable previous{tables.previous.data()};
    // Both layouts must tell the same, or the comparison measures nothing.
    for (uint32_t rva : tables.probes) {
        const auto a = table->Lookup(rva), b = previous.Lookup(rva);
        if (a.UnitName != b.UnitName || a.LineNumber != b.LineNumber || a.ProcedureName != b.ProcedureName) {
            state.SkipWithError("the layouts disagree");
            return;
        }
    }
    std::size_t i = 0;
    for (auto _ : state) {
        const uint32_t rva = tables.probes[i++ & 4095];
        if (state.range(0))
            benchmark::DoNotOptimize(table->Lookup(rva));
        else
            benchmark::DoNotOptimize(previous.Lookup(rva));
    }
    state.counters["table bytes"] = static_cast<double>(state.range(0) ? tables.current.size() : tables.previous.size());
}
BENCHMARK(BM_DebugLookup)->Arg(0)->Arg(1);

// ---- the ratio table ----------------------------------------------------------------------------
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, Run> runs;
    std::set<std::string> medians_;
    void ReportRuns(const std::vector<Run>& report) override {
        ConsoleReporter::ReportRuns(report);
        // With repetitions the median stands for the benchmark; without, its single run.
        for (const Run& run : report) {
            if (run.error_occurred) continue;
            if (run.run_type == Run::RT_Iteration && !medians_.count(run.run_name.str())) runs[run.run_name.str()] = run;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medians_.insert(run.run_name.str());
                runs[run.run_name.str()] = run;
            }
        }
    }
};

// CPU time: the machine is shared, and wall time there counts other people's work too.
double Ns(const benchmark::BenchmarkReporter::Run& run) {
    return run.GetAdjustedCPUTime() * benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
           benchmark::GetTimeUnitMultiplier(run.time_unit);
}

void PrintTable(const CollectingReporter& reporter) {
    auto find = [&](const std::string& name) -> const benchmark::BenchmarkReporter::Run* {
        auto it = reporter.runs.find(name);
        return it == reporter.runs.end() ? nullptr : &it->second;
    };
    auto allocs = [](const benchmark::BenchmarkReporter::Run* run) {
        auto it = run->counters.find("allocs/rec");
        return it == run->counters.end() ? 0.0 : static_cast<double>(it->second);
    };
    std::printf("\n| Measure | Library | Baseline | Ratio | Goal | Holds |\n|---|---|---|---|---|---|\n");
    auto readRow = [&](const char* label, const char* lib, const char* base) {
        const auto* l = find(lib);
        const auto* b = find(base);
        if (!l || !b) return;
        const double ratio = Ns(*l) / Ns(*b);
        std::printf("| %s, per record | %.1f ns | %.1f ns | %.3f | <= 1.10 | %s |\n", label, Ns(*l) / kRecords,
                    Ns(*b) / kRecords, ratio, ratio <= 1.10 ? "yes" : "NO");
        const double la = allocs(l), ba = allocs(b);
        std::printf("| %s, heap allocations per record (steady state) | %.2f | %.2f | | 0 | %s |\n", label, la, ba,
                    la == 0 ? "yes" : "NO");
    };
    readRow("Bulk read (EnumData, 100,000 records)", "BM_BulkRead_EnumData", "BM_BulkRead_Baseline");
    readRow("Step read (NextRecord, 100,000 records)", "BM_StepRead_NextRecord", "BM_StepRead_Baseline");
    // Recording on: the whole way through the operation table, both sides written line by line.
    auto recordedRow = [&](const char* label, const char* lib, const char* base) {
        const auto* l = find(lib);
        const auto* b = find(base);
        if (!l || !b) return;
        const double ratio = Ns(*l) / Ns(*b);
        std::printf("| %s, per record, recording on | %.1f ns | %.1f ns | %.2f | aim <= 3 | %s |\n", label,
                    Ns(*l) / kRecords, Ns(*b) / kRecords, ratio, ratio <= 3 ? "yes" : "NO");
    };
    recordedRow("Bulk read (DctEnumData, 100,000 records)", "BM_BulkRead_Recorded", "BM_BulkRead_Baseline");
    recordedRow("Step read (DctNextRecord, 100,000 records)", "BM_StepRead_Recorded", "BM_StepRead_Baseline");
    if (const auto* day = find("BM_Recording_TypicalDay/iterations:1"))
        std::printf("| Recording of a typical day: a 2,000-record read, a 10,000-goods table | %.0f bytes | | | "
                    "measured | |\n",
                    static_cast<double>(day->counters.find("bytes")->second));
    if (const auto *small = find("BM_ExtractBarcodes/10"), *large = find("BM_ExtractBarcodes/10000"); small && large) {
        const double perSmall = Ns(*small) / 10, perLarge = Ns(*large) / 10000;
        const double ratio = perLarge / perSmall;
        std::printf("| ExtractBarcodesFromString, per barcode (10,000 vs 10) | %.1f ns | %.1f ns | %.3f | < 2 | %s |\n",
                    perLarge, perSmall, ratio, ratio < 2 ? "yes" : "NO");
    }
    for (int n : {1, 100, 1000}) {
        const auto* l = find("BM_Settings_InitFini/" + std::to_string(n));
        const auto* b = find("BM_Settings_ReadFile/" + std::to_string(n));
        if (!l || !b) continue;
        // The goal is set for the largest file only: under 1 ms.
        const bool largest = n == 1000, holds = Ns(*l) < 1e6;
        std::printf("| DctInit+DctFini work, %d terminal(s) in DctDrv.ini (vs reading the file once) | %.1f us | %.1f us "
                    "| %.2f | %s | %s |\n",
                    n, Ns(*l) / 1000, Ns(*b) / 1000, Ns(*l) / Ns(*b), largest ? "< 1 ms" : "",
                    largest ? (holds ? "yes" : "NO") : "");
    }
    if (const auto *l = find("BM_DebugLookup/1"), *b = find("BM_DebugLookup/0"); l && b) {
        const double lb = l->counters.find("table bytes")->second, bb = b->counters.find("table bytes")->second;
        std::printf("| Debug-table lookup, per address (current layout vs the fixed-width one) | %.1f ns | %.1f ns | %.2f "
                    "| | |\n", Ns(*l), Ns(*b), Ns(*l) / Ns(*b));
        std::printf("| Debug-table bytes, same synthetic entries (current layout vs the fixed-width one) | %.0f | %.0f | "
                    "%.3f | | |\n", lb, bb, lb / bb);
    }
    if (const auto *l = find("BM_GetParam"), *b = find("BM_GetParam_Baseline"); l && b)
        std::printf("| TParametersString::GetParam (6 parameters) | %.1f ns | %.1f ns | %.2f | | |\n", Ns(*l), Ns(*b),
                    Ns(*l) / Ns(*b));
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintTable(reporter);
    benchmark::Shutdown();
    return 0;
}
