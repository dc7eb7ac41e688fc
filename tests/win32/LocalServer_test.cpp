// The library through its exports against the simulator's local server, TermSimServer.exe, in a
// process of its own as a station's terminal server is: every call crosses through COM's proxies.
// Each test checks that the process serving it is not this one, and fails (never skips) when the
// prefix's RPC service does not come up.
#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "TermSim.h"
#include "terminals/ITerminals.h"
#include "base/cp1251.h"
#include "platform/ComActivation.h"
#include "platform/ComPtr.h"
#include "platform/win32/Handle.h"
#include "registration/Registration.h"
#include "support/DriverLibrary.h"
#include "support/ProcessMemory.h"
#include "support/TermSimFixture.h"

namespace dct {
namespace {

using namespace std::chrono_literals;
using platform::UniqueKernelHandle;
using ::testing::ElementsAre;
using ::testing::Not;
using ::testing::IsEmpty;

std::wstring BesideProgram(const wchar_t* file) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + file;
}

// The processes running TermSimServer.exe now.
std::vector<DWORD> ServerProcesses() {
    std::vector<DWORD> found;
    UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        if (_wcsicmp(entry.szExeFile, L"TermSimServer.exe") == 0) found.push_back(entry.th32ProcessID);
    return found;
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// Runs TermSimServer.exe with the arguments; its process handle.
UniqueKernelHandle StartServer(const std::wstring& arguments) {
    std::wstring command = L"\"" + BesideProgram(L"TermSimServer.exe") + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return {};
    UniqueKernelHandle thread(process.hThread);
    return UniqueKernelHandle(process.hProcess);
}

// Asked of the table without attaching: a client that attached and let go would end the server.
bool RunningInstanceListed() {
    platform::ComPtr<IRunningObjectTable> table;
    platform::ComPtr<IMoniker> name;
    wchar_t clsid[64];
    StringFromGUID2(CLSID_Terminals, clsid, 64);
    return SUCCEEDED(GetRunningObjectTable(0, table.put())) && SUCCEEDED(CreateItemMoniker(L"!", clsid, name.put())) &&
           table->IsRunning(name.get()) == S_OK;
}

// One server per test: whatever a test left running is stopped, and the table is empty again.
void StopServers() {
    UniqueKernelHandle stop = StartServer(L"--stop");
    if (stop) WaitForSingleObject(stop.get(), 30000);
    WaitFor([] { return ServerProcesses().empty(); }, 10s);
}

// The bulk read's record procedure, as the host's register-convention one.
struct Collected {
    std::vector<std::string> codes;
    std::vector<double> quantities;
    std::vector<DWORD> servers;  // the serving processes seen at the first record
    long long memoryAtFirst = 0;  // the heap bytes this process held then, once the snapshot is done
};
Collected* collecting = nullptr;

void DCT_REGISTER(2) OnRecord(int32_t, const char* code, double quantity) {
    if (collecting->codes.empty()) {
        // Measured from after the snapshot, which is the test's, not the library's.
        collecting->servers = ServerProcesses();
        collecting->memoryAtFirst = test::HeapBytesInUse();
    }
    collecting->codes.push_back(code ? code : "");
    collecting->quantities.push_back(quantity);
}

class LocalServer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lib.Complete());
        ASSERT_EQ(CoInitialize(nullptr), S_OK);  // as the host does on its thread
        StopServers();
        ASSERT_EQ(termsim::RegisterLocalServer(BesideProgram(L"TermSimServer.exe"), L""), S_OK);
        // The running-object table and cross-process activation both go through the prefix's RPC
        // service, which a freshly made prefix brings up late. Without it nothing here can be tested.
        ASSERT_TRUE(WaitFor(
            [] {
                platform::ComPtr<IUnknown> running;
                return GetActiveObject(CLSID_Terminals, nullptr, running.put()) != termsim::kRpcServerUnavailable;
            },
            60s))
            << "the Wine prefix's RPC service did not come up within a minute";
        std::ofstream(sim.Folder() / "DctDrv.ini", std::ios::binary) << "[1]\r\nDCT_Port=3\r\nDCT_Rate=2\r\n";
        ASSERT_EQ(lib.Init(1, Settings().c_str(), &funcs, &handle), 0);
    }

    void TearDown() override {
        if (funcs) funcs->DctFini(handle, funcs);
        StopServers();
        termsim::UnregisterServer();
        CoUninitialize();
    }

    std::string Settings() const { return sim.Folder().string(); }

    // DctErr: the code it writes and the text it hands out.
    std::pair<int32_t, std::string> Error() {
        int32_t code = 0;
        char buffer[512] = {};
        char* text = buffer;
        lib.Err(handle, &code, &text, sizeof buffer);
        return {code, buffer};
    }

    // For a failure message: the pending error and the last calls the server logged.
    std::string Explain() {
        std::string text = "DctErr: " + Error().second + "; calls:";
        const auto calls = sim.Calls();
        for (size_t i = calls.size() > 8 ? calls.size() - 8 : 0; i < calls.size(); ++i) text += "\n  " + calls[i];
        return text;
    }

    Collected Read() {
        Collected out;
        Read(out);
        return out;
    }
    void Read(Collected& out) {
        collecting = &out;
        last = funcs->DctEnumData(handle, OnRecord, 0, 0);
        collecting = nullptr;
        // A read that failed at the server leaves it connected: it still runs.
        if (out.servers.empty()) out.servers = ServerProcesses();
    }

    // The server is another process: this one serves nothing.
    void ExpectServedElsewhere(const std::vector<DWORD>& servers) {
        ASSERT_EQ(servers.size(), 1u);
        EXPECT_NE(servers[0], GetCurrentProcessId());
        EXPECT_EQ(termsim::ObjectsCreated(), 0);
    }

    test::TermSimFixture sim{test::TermSimFixture::Activation::None};
    test::DriverLibrary lib;
    TDctDriverFuncs* funcs = nullptr;
    DctHandle handle = nullptr;
    int32_t last = 0;
};

// How the server comes to run: COM starts it, or it runs already and is found in the table.
class EveryOperation : public LocalServer, public ::testing::WithParamInterface<bool> {
protected:
    void Arrange() {
        // The server of the operation before has let go of its last client: it is on its way out.
        // Until it has gone, a server COM starts now would be counted beside it.
        ASSERT_TRUE(WaitFor([] { return ServerProcesses().empty(); }, 10s));
        if (!GetParam()) return;
        started = StartServer(L"");
        ASSERT_TRUE(started);
        ASSERT_TRUE(WaitFor(RunningInstanceListed, 30s)) << "the server did not enter the running-object table";
    }
    void ExpectTheServer(const std::vector<DWORD>& servers) {
        ExpectServedElsewhere(servers);
        if (GetParam() && !servers.empty()) {
            EXPECT_EQ(servers[0], GetProcessId(started.get()));
        }
    }

    UniqueKernelHandle started;
};

TEST_P(EveryOperation, ReadsStepsWritesBothTablesAndClears) {
    sim.WriteRecords({{"4601", "2"}, {"4602", "1.5"}, {"4603", "3"}});

    Arrange();
    Collected bulk = Read();
    EXPECT_EQ(last, 0);
    EXPECT_THAT(bulk.codes, ElementsAre("4601", "4602", "4603"));
    EXPECT_THAT(bulk.quantities, ElementsAre(2.0, 1.5, 3.0));
    ExpectTheServer(bulk.servers);

    Arrange();
    ASSERT_EQ(funcs->DctBeginDataReading(handle), 0);
    ExpectTheServer(ServerProcesses());
    std::vector<std::string> stepped;
    for (;;) {
        const char* code = nullptr;
        double quantity = 0;
        int32_t more = 0;
        ASSERT_EQ(funcs->DctNextRecord(handle, &code, &quantity, &more), 0);
        if (!more) break;
        stepped.push_back(code);
    }
    EXPECT_EQ(funcs->DctEndDataReading(handle, 0), 0);
    EXPECT_THAT(stepped, ElementsAre("4601", "4602", "4603"));

    for (int full : {1, 0}) {
        Arrange();
        ASSERT_EQ(funcs->DctBeginWareTableWriting(handle, full), 0) << Explain();
        ExpectTheServer(ServerProcesses());
        EXPECT_EQ(funcs->DctWriteWareTableRecord(handle, "pcs", full ? "Bread" : "Milk", full ? "111|222" : "333", 1.0, 0), 0);
        EXPECT_EQ(funcs->DctEndWareTableWriting(handle), 0);
    }
    EXPECT_THAT(sim.Table(), ElementsAre(ElementsAre("111", "0", "Bread", "pcs"), ElementsAre("222", "0", "Bread", "pcs"),
                                         ElementsAre("333", "0", "Milk", "pcs")));

    Arrange();
    EXPECT_EQ(funcs->DctClearData(handle), 0);
    ExpectTheServer(ServerProcesses());
    EXPECT_THAT(sim.Records(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Server, EveryOperation, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "FoundRunning" : "StartedByCom"; });

TEST_F(LocalServer, FailingStatusArrivesWithItsDescriptionAsExact1251Bytes) {
    ASSERT_EQ(GetACP(), 1251u) << "this program runs under LANG=ru_RU.UTF-8 (tests/CMakeLists.txt)";
    // The delay, too, holds across the boundary: the host waits for the server's answer.
    sim.WriteFaults("[BeginReport]\nStatus=7\nDescription=Нет связи с терминалом\nDelayMs=1500\n");
    auto began = std::chrono::steady_clock::now();
    Collected none = Read();
    EXPECT_GE(std::chrono::steady_clock::now() - began, 1500ms);
    EXPECT_EQ(last, 7);
    EXPECT_THAT(none.codes, IsEmpty());
    ExpectServedElsewhere(none.servers);
    EXPECT_EQ(Error(), std::make_pair(-6, Cp1251(u8"Нет связи с терминалом").str()));
}

// Wine's marshaller does not carry the server's error object across (GetErrorInfo answers S_FALSE
// in the client), so the host gets the system's text for the status. Windows carries it, and a
// station's host reads the server's own text instead.
TEST_F(LocalServer, FailingHResultGivesTheSystemTextUnderWine) {
    sim.WriteFaults("[BeginReport]\nHResult=0x80004005\nErrorInfo=Port COM3 busy\n");
    Collected none = Read();
    EXPECT_EQ(last, -6);
    ExpectServedElsewhere(none.servers);
    const auto [code, text] = Error();
    EXPECT_EQ(code, -6);
    const std::string system = platform::ComErrorMessage(E_FAIL);
    EXPECT_EQ(text, system.empty() ? "OLE error 80004005" : system) << Explain();
    EXPECT_THAT(sim.Calls(), testing::Contains("BeginReport !0x80004005"));
}

// The server ends in the middle of a read: the host gets -6 with a text and nothing hangs; the next
// read starts a new server, gives it port and rate before anything else, and reads every record.
TEST_F(LocalServer, ServerEndingMidReadIsReplacedByANewOneAtTheNextRead) {
    sim.WriteRecords({{"4601", "2"}, {"4602", "1"}});
    Collected first = Read();  // the first contact
    ASSERT_EQ(last, 0) << Explain();
    ExpectServedElsewhere(first.servers);

    sim.WriteFaults("[BeginReport]\nExit=1\n");
    sim.ClearCalls();
    auto began = std::chrono::steady_clock::now();
    Collected none = Read();
    EXPECT_EQ(last, -6);
    EXPECT_THAT(none.codes, IsEmpty());
    EXPECT_THAT(Error().second, Not(IsEmpty()));
    EXPECT_LT(std::chrono::steady_clock::now() - began, 30s);
    EXPECT_THAT(sim.Calls(), testing::Contains("BeginReport !exit 1"));
    ASSERT_TRUE(WaitFor([] { return ServerProcesses().empty(); }, 10s));

    sim.WriteFaults("");
    sim.ClearCalls();
    Collected again = Read();
    EXPECT_EQ(last, 0) << Explain();
    EXPECT_THAT(again.codes, ElementsAre("4601", "4602"));
    ExpectServedElsewhere(again.servers);
    if (!first.servers.empty() && !again.servers.empty()) {
        EXPECT_NE(again.servers[0], first.servers[0]);
    }
    const auto calls = sim.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], "Set_PortNumber 3");
    EXPECT_EQ(calls[1], "Set_BaudRate 2");

    // Told to stop while the host is attached (a clear keeps the connection), the server cuts the
    // host off and leaves no entry behind: the host's next call fails, the one after starts anew.
    ASSERT_EQ(funcs->DctClearData(handle), 0);
    UniqueKernelHandle stop = StartServer(L"--stop");
    ASSERT_EQ(WaitForSingleObject(stop.get(), 60000), WAIT_OBJECT_0);
    EXPECT_TRUE(ServerProcesses().empty());
    EXPECT_FALSE(RunningInstanceListed());
    EXPECT_EQ(funcs->DctClearData(handle), -6);
    EXPECT_THAT(Error().second, Not(IsEmpty()));
    sim.ClearCalls();
    EXPECT_EQ(funcs->DctClearData(handle), 0) << Explain();
    EXPECT_THAT(sim.Calls(), ElementsAre("Set_PortNumber 3", "Set_BaudRate 2", "Get_DeviceEnabled -> 1", "Clear -> 0"));
}

// A server that starts while --stop waits for the running one to end, as COM starts one for a client
// that comes after the old server withdrew, is not among those told to stop: it serves that client.
TEST_F(LocalServer, AServerStartedWhileStopWaitsServes) {
    sim.WriteRecords({{"4601", "2"}});
    UniqueKernelHandle old = StartServer(L"");
    ASSERT_TRUE(old);
    ASSERT_TRUE(WaitFor(RunningInstanceListed, 30s)) << "the server did not enter the running-object table";
    // Started as COM starts it, it waits for the old one to end before it serves.
    UniqueKernelHandle next = StartServer(L"-Embedding");
    ASSERT_TRUE(next);
    ASSERT_TRUE(WaitFor([] { return ServerProcesses().size() == 2; }, 10s));

    UniqueKernelHandle stop = StartServer(L"--stop");
    ASSERT_EQ(WaitForSingleObject(stop.get(), 60000), WAIT_OBJECT_0);
    DWORD stopped = 99;
    GetExitCodeProcess(stop.get(), &stopped);
    EXPECT_EQ(stopped, 0u);
    EXPECT_EQ(WaitForSingleObject(old.get(), 0), WAIT_OBJECT_0);
    ASSERT_TRUE(WaitFor(RunningInstanceListed, 30s)) << "the server started meanwhile ended with the old one";
    EXPECT_EQ(WaitForSingleObject(next.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    Collected read = Read();
    EXPECT_EQ(last, 0) << Explain();
    EXPECT_THAT(read.codes, ElementsAre("4601"));
    ASSERT_EQ(read.servers.size(), 1u);
    EXPECT_EQ(read.servers[0], GetProcessId(next.get()));
}

// The server ends in the middle of a step read and the host ends the read with clear: nothing
// reaches the server that replaces it, and the terminal keeps every record.
TEST_F(LocalServer, ServerEndingMidStepReadClearsNothing) {
    sim.WriteRecords({{"4601", "2"}, {"4602", "1"}, {"4603", "5"}});
    sim.WriteFaults("[GetRecord]\nExit=1\n");
    ASSERT_EQ(funcs->DctBeginDataReading(handle), 0) << Explain();
    const char* code = nullptr;
    double quantity = 0;
    int32_t more = -1;
    EXPECT_EQ(funcs->DctNextRecord(handle, &code, &quantity, &more), -6);
    EXPECT_EQ(more, 0);
    EXPECT_THAT(Error().second, Not(IsEmpty()));
    ASSERT_TRUE(WaitFor([] { return ServerProcesses().empty(); }, 10s));
    sim.WriteFaults("");
    sim.ClearCalls();

    EXPECT_EQ(funcs->DctEndDataReading(handle, 1), -6);
    EXPECT_EQ(Error(), std::make_pair(-6, Cp1251(u8"Связь с сервером терминала потеряна во время чтения: терминал не очищен").str()));
    EXPECT_THAT(sim.Calls(), IsEmpty());
    EXPECT_TRUE(ServerProcesses().empty());
    EXPECT_EQ(sim.Records().size(), 3u);

    Collected all = Read();
    EXPECT_EQ(last, 0) << Explain();
    EXPECT_THAT(all.codes, ElementsAre("4601", "4602", "4603"));
}

TEST_F(LocalServer, ThousandRecordsCrossWithTheHostsMemoryFlat) {
    // A short read first: the proxies, the marshaller's tables and the heap settle.
    sim.WriteRecords({{"1", "1"}, {"2", "2"}});
    ASSERT_EQ(Read().codes.size(), 2u);
    std::vector<std::vector<std::string>> records;
    for (int i = 0; i < 1000; ++i) records.push_back({std::to_string(4600000000000LL + i), std::to_string(i % 7 + 1)});
    sim.WriteRecords(records);
    Collected all;  // room for every record before measuring: only the library's memory counts
    all.codes.reserve(1000);
    all.quantities.reserve(1000);
    all.servers.reserve(16);
    Read(all);
    const long long grown = test::HeapBytesInUse() - all.memoryAtFirst;
    ASSERT_EQ(last, 0) << Explain();
    ASSERT_EQ(all.codes.size(), 1000u);
    EXPECT_EQ(all.codes.back(), "4600000000999");
    ExpectServedElsewhere(all.servers);
    // Leaking one of the two texts a record brings would hold about 30 KB here.
    EXPECT_LT(grown, 8 * 1024);
}

}  // namespace
}  // namespace dct
