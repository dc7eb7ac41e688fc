// The terminal server client against the simulator, reached through COM activation as the real
// server is: records walked, a table written, reconnection on demand, and every failure path.
#include "drv/dct/drivers/opticon_zebex/AddIn_TLB.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>

#include "TermSim.h"
#include "base/cp1251.h"
#include "platform/Codepage.h"
#include "platform/ComActivation.h"
#include "support/RunningObject.h"
#include "support/TermSimFixture.h"

namespace dct {
namespace {

using platform::ComPtr;
using platform::UniqueBstr;
using test::TermSimFixture;
using ::testing::ElementsAre;

// The library never initialises COM; the host's thread has done it, and so does each test.
class ComThread {
public:
    ComThread() { CoInitialize(nullptr); }
    ~ComThread() { CoUninitialize(); }
};

// A counted object that is not a terminal server.
class PlainObject final : public IUnknown {
public:
    HRESULT __stdcall QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG __stdcall AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG __stdcall Release() override { return static_cast<ULONG>(--refs); }  // lives on the test's stack
    std::atomic<long> refs{1};
};

// Hands out a PlainObject, or succeeds with no object at all.
class FakeFactory final : public IClassFactory {
public:
    explicit FakeFactory(PlainObject* product) : product_(product) {}
    HRESULT __stdcall QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG __stdcall AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG __stdcall Release() override { return static_cast<ULONG>(--refs); }
    HRESULT __stdcall CreateInstance(IUnknown*, REFIID riid, void** object) override {
        if (!product_) {
            *object = nullptr;
            return S_OK;
        }
        return product_->QueryInterface(riid, object);
    }
    HRESULT __stdcall LockServer(BOOL) override { return S_OK; }
    std::atomic<long> refs{1};

private:
    PlainObject* product_;
};

// Registers a class object for CLSID_Terminals for the scope.
class ClassRegistration {
public:
    explicit ClassRegistration(IUnknown* factory) {
        EXPECT_EQ(CoRegisterClassObject(CLSID_Terminals, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_),
                  S_OK);
    }
    ~ClassRegistration() { CoRevokeClassObject(cookie_); }

private:
    DWORD cookie_ = 0;
};

bool TerminalsCreatable() {
    ComPtr<IUnknown> object;
    return SUCCEEDED(CoCreateInstance(CLSID_Terminals, nullptr, CLSCTX_SERVER, IID_IUnknown, object.put_void()));
}

std::string Ansi(std::u16string_view text) { return platform::Utf16ToAnsi(text); }

class TerminalsTest : public ::testing::Test {
protected:
    ComThread com;
    TermSimFixture sim;
};

TEST_F(TerminalsTest, WalksTheCollectedRecordsAndWritesATable) {
    sim.WriteRecords({{"4601234567890", "2"}, {"4607654321098", "1.5"}, {"Молоко", "3"}});
    TTerminals client(platform::Env::Default());
    client.Set_PortNumber(3);
    client.Set_BaudRate(2);
    ASSERT_EQ(client.Get_DeviceEnabled(), 1);
    client.Set_ShowProgress(-1);
    client.Set_FormNumber(0);
    EXPECT_EQ(client.ClearTableBuffer(), 0);
    ASSERT_EQ(client.BeginReport(), 0);
    ASSERT_EQ(client.GetFieldCount(), 2);
    std::vector<std::pair<std::string, std::string>> seen;
    while (client.GetRecord() == 0) {
        std::string code = client.GetField(1);
        seen.emplace_back(code, client.GetField(2));
    }
    EXPECT_EQ(client.EndReport(), 0);
    EXPECT_THAT(seen, ElementsAre(std::pair<std::string, std::string>{"4601234567890", "2"},
                                  std::pair<std::string, std::string>{"4607654321098", "1.5"},
                                  std::pair<std::string, std::string>{Ansi(u"Молоко"), "3"}));

    EXPECT_EQ(client.BeginDownLoadTable(), 0);
    for (std::string_view f : {"111", "0", "Bread", "pcs", "222", "0", "Milk; 1L", "l"}) EXPECT_EQ(client.AddInTable(f), 0);
    EXPECT_EQ(client.DownLoadTable(), 0);
    EXPECT_THAT(sim.Table(), ElementsAre(ElementsAre("111", "0", "Bread", "pcs"), ElementsAre("222", "0", "Milk; 1L", "l")));

    // AddToTable appends to what the terminal holds; DownLoadTable replaced it.
    EXPECT_EQ(client.BeginDownLoadTable(), 0);
    for (std::string_view f : {"333", "0", "Salt", "kg"}) client.AddInTable(f);
    EXPECT_EQ(client.AddToTable(), 0);
    EXPECT_EQ(sim.Table().size(), 3u);

    auto calls = sim.Calls();
    ASSERT_GE(calls.size(), 18u);
    EXPECT_THAT(std::vector<std::string>(calls.begin(), calls.begin() + 18),
                ElementsAre("Set_PortNumber 3", "Set_BaudRate 2", "Get_DeviceEnabled -> 1", "Set_ShowProgress -1",
                            "Set_FormNumber 0", "ClearTableBuffer -> 0", "BeginReport -> 0", "GetFieldCount -> 2",
                            "GetRecord -> 0", "GetField 1 -> \"4601234567890\"", "GetField 2 -> \"2\"", "GetRecord -> 0",
                            "GetField 1 -> \"4607654321098\"", "GetField 2 -> \"1.5\"", "GetRecord -> 0",
                            "GetField 1 -> \"Молоко\"", "GetField 2 -> \"3\"", "GetRecord -> 1"));
    EXPECT_EQ(calls[18], "EndReport -> 0");
}

TEST_F(TerminalsTest, RecordsOutliveTheServerObjectUntilCleared) {
    sim.WriteRecords({{"1", "1"}, {"2", "2", "extra"}});
    {
        TTerminals client(platform::Env::Default());
        EXPECT_EQ(client.BeginReport(), 0);
        EXPECT_EQ(client.GetFieldCount(), 3);  // the widest record
        EXPECT_EQ(client.GetRecord(), 0);
        EXPECT_EQ(client.GetField(3), "");  // beyond the record
        EXPECT_EQ(client.GetField(0), "");
        EXPECT_EQ(client.EndReport(), 0);
    }
    TTerminals client(platform::Env::Default());
    EXPECT_EQ(client.BeginReport(), 0);
    EXPECT_EQ(client.GetRecord(), 0);
    EXPECT_EQ(client.GetField(1), "1");
    EXPECT_EQ(client.Clear(), 0);
    EXPECT_TRUE(sim.Records().empty());
    EXPECT_NE(client.GetRecord(), 0);  // clearing ends the report as well
    // An empty terminal still reports a code and a quantity per record.
    EXPECT_EQ(client.BeginReport(), 0);
    EXPECT_EQ(client.GetFieldCount(), 2);
}

TEST_F(TerminalsTest, ConnectsOnDemandAndReconnectsAfterDisconnect) {
    long created = termsim::ObjectsCreated();
    {
        TTerminals client(platform::Env::Default());
        EXPECT_EQ(termsim::ObjectsCreated(), created);  // nothing until the first call
        client.Set_PortNumber(5);
        EXPECT_EQ(termsim::ObjectsCreated(), created + 1);
        ITerminals* first = client.GetDefaultInterface();
        client.Connect();  // already connected: the same object
        EXPECT_EQ(client.GetDefaultInterface(), first);
        client.Disconnect();
        EXPECT_EQ(termsim::LiveObjects(), 0);
        client.Disconnect();  // nothing held: nothing to do
        EXPECT_EQ(client.Get_DeviceEnabled(), 1);
        EXPECT_EQ(termsim::ObjectsCreated(), created + 2);
        EXPECT_EQ(termsim::LiveObjects(), 1);
    }
    EXPECT_EQ(termsim::LiveObjects(), 0);  // the destructor let go
    EXPECT_THAT(sim.Calls(), ElementsAre("Set_PortNumber 5", "Get_DeviceEnabled -> 1"));
}

TEST_F(TerminalsTest, AttachesToTheRunningInstanceFirst) {
    ComPtr<ITerminals> running = termsim::CreateTerminals();
    platform::RunningObjectRegistration listed;
    DCT_REGISTER_RUNNING_OR_SKIP(running.get(), &listed);
    long created = termsim::ObjectsCreated();
    {
        TTerminals client(platform::Env::Default());
        EXPECT_EQ(client.GetDefaultInterface(), running.get());
        EXPECT_EQ(termsim::ObjectsCreated(), created);
    }
    listed.reset();
    TTerminals client(platform::Env::Default());
    EXPECT_NE(client.GetDefaultInterface(), running.get());
    EXPECT_EQ(termsim::ObjectsCreated(), created + 1);
}

TEST_F(TerminalsTest, StringsCrossWithTheirEscapesInTheCallLog) {
    TTerminals client(platform::Env::Default());
    EXPECT_EQ(client.LoadFormFromFile("C:\\Tasks\\inv.ts1"), 0);
    EXPECT_EQ(client.LoadFormFromFile("\"C:\\My Tasks\\inv.ts1\""), 0);
    EXPECT_EQ(client.AddInTable(""), 0);
    EXPECT_EQ(client.ShowProperties(), 0);
    EXPECT_THAT(sim.Calls(), ElementsAre("LoadFormFromFile \"C:\\\\Tasks\\\\inv.ts1\" -> 0",
                                         "LoadFormFromFile \"\\\"C:\\\\My Tasks\\\\inv.ts1\\\"\" -> 0",
                                         "AddInTable \"\" -> 0", "ShowProperties -> 0"));
    EXPECT_THAT(sim.Tasks(), ElementsAre("C:\\Tasks\\inv.ts1", "\"C:\\My Tasks\\inv.ts1\""));
}

TEST_F(TerminalsTest, ServerStatusesAreResultsNotFailures) {
    sim.WriteFaults(
        "; statuses the device answers with\n"
        "[BeginReport]\nStatus=7\nDescription=Нет связи с терминалом\n"
        "[EndReport]\nStatus=-3\n"
        "[Clear]\nHResult=0x00000001\n"  // S_FALSE: a success code, not a failure
        "[Device]\nFieldCount=1\n");
    TTerminals client(platform::Env::Default());
    EXPECT_EQ(client.BeginReport(), 7);
    EXPECT_EQ(client.Get_ResultDescription(), Ansi(u"Нет связи с терминалом"));
    EXPECT_EQ(client.GetFieldCount(), 1);
    EXPECT_EQ(client.EndReport(), -3);
    EXPECT_EQ(client.Get_ResultDescription(), Ansi(u"Сбой операции EndReport (код -3)"));
    EXPECT_EQ(client.Clear(), 0);
    EXPECT_THAT(sim.Calls(), ElementsAre("BeginReport -> 7", "Get_ResultDescription -> \"Нет связи с терминалом\"",
                                         "GetFieldCount -> 1", "EndReport -> -3",
                                         "Get_ResultDescription -> \"Сбой операции EndReport (код -3)\"",
                                         "Clear -> 0"));
}

TEST_F(TerminalsTest, DisabledDeviceIsReportedAndRefusesExchanges) {
    sim.WriteFaults("[Device]\nEnabled=0\n");
    TTerminals client(platform::Env::Default());
    EXPECT_EQ(client.Get_DeviceEnabled(), 0);
    EXPECT_EQ(client.Get_ResultDescription(), Ansi(u"Терминал недоступен"));
    EXPECT_EQ(client.BeginReport(), 1);
    EXPECT_EQ(client.BeginDownLoadTable(), 1);
    EXPECT_EQ(client.Clear(), 1);
}

TEST_F(TerminalsTest, TableWritesOutOfOrderOrWithPartRecordsFail) {
    TTerminals client(platform::Env::Default());
    EXPECT_EQ(client.DownLoadTable(), 2);  // never begun
    EXPECT_EQ(client.Get_ResultDescription(), Ansi(u"Загрузка таблицы не начата"));
    EXPECT_EQ(client.BeginDownLoadTable(), 0);
    for (std::string_view f : {"1", "0", "x"}) client.AddInTable(f);
    EXPECT_EQ(client.DownLoadTable(), 3);
    EXPECT_TRUE(sim.Table().empty());
    client.AddInTable("y");
    EXPECT_EQ(client.DownLoadTable(), 0);
    EXPECT_THAT(sim.Table(), ElementsAre(ElementsAre("1", "0", "x", "y")));
}

TEST_F(TerminalsTest, FailingStatusRaisesOleExceptionWithTheServersDescription) {
    sim.WriteFaults("[BeginReport]\nHResult=0x80004005\nErrorInfo=Порт COM3 занят.\n");
    TTerminals client(platform::Env::Default());
    try {
        client.BeginReport();
        FAIL() << "no exception";
    } catch (const EOleException& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<int32_t>(0x80004005u));
        EXPECT_EQ(e.Message(), Ansi(u"Порт COM3 занят"));  // the full stop goes
        EXPECT_EQ(e.Source(), "DctTermSim.Terminals");
    }
    EXPECT_THAT(sim.Calls(), ElementsAre("BeginReport !0x80004005"));
}

TEST_F(TerminalsTest, FailingStatusWithoutErrorObjectUsesTheSystemText) {
    sim.WriteFaults(
        "[BeginReport]\nHResult=0x80004005\nErrorInfo=first\n"
        "[EndReport]\nHResult=0x80004005\n"
        "[GetRecord]\nHResult=0x80041234\n");
    TTerminals client(platform::Env::Default());
    EXPECT_THROW(client.BeginReport(), EOleException);
    // The error object of the first failure was taken with it and does not describe the second.
    std::string systemText = platform::ComErrorMessage(E_FAIL);
    ASSERT_FALSE(systemText.empty());
    try {
        client.EndReport();
        FAIL() << "no exception";
    } catch (const EOleException& e) {
        EXPECT_EQ(e.ErrorCode(), E_FAIL);
        EXPECT_EQ(e.Message(), systemText);
        EXPECT_NE(e.Message().back(), '.');
    }
    try {
        client.GetRecord();
        FAIL() << "no exception";
    } catch (const EOleException& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<int32_t>(0x80041234u));
        EXPECT_EQ(e.Message(), "OLE error 80041234");
    }
    // The client stays connected after a failed call.
    EXPECT_EQ(client.Get_DeviceEnabled(), 1);
}

TEST_F(TerminalsTest, FailedOutStringsAndSettersRaiseToo) {
    sim.WriteFaults("[GetField]\nHResult=0x80070057\n[Set_PortNumber]\nHResult=0x8000FFFF\nErrorInfo=...\n");
    TTerminals client(platform::Env::Default());
    EXPECT_THROW(client.GetField(1), EOleException);
    try {
        client.Set_PortNumber(1);
        FAIL() << "no exception";
    } catch (const EOleException& e) {
        // A description of nothing but punctuation counts as none.
        std::string text = platform::ComErrorMessage(E_UNEXPECTED);
        EXPECT_EQ(e.Message(), text.empty() ? "OLE error 8000FFFF" : text);
    }
    EXPECT_THAT(sim.Calls(), ElementsAre("GetField 1 !0x80070057", "Set_PortNumber 1 !0x8000FFFF"));
}

class ActivationTest : public ::testing::Test {
protected:
    ComThread com;
    TermSimFixture sim{TermSimFixture::Activation::None};
};

TEST_F(ActivationTest, UnregisteredClassRaisesOleSysError) {
    if (TerminalsCreatable()) GTEST_SKIP() << "a terminal server is registered on this system";
    TTerminals client(platform::Env::Default());
    try {
        client.Set_PortNumber(1);
        FAIL() << "no exception";
    } catch (const EOleException&) {
        FAIL() << "creation failures are not server failures";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode(), REGDB_E_CLASSNOTREG);
        std::string text = platform::ComErrorMessage(REGDB_E_CLASSNOTREG);
        EXPECT_EQ(e.Message(), text.empty() ? "OLE error 80040154" : text);
    }
    EXPECT_THROW(client.Connect(), EOleSysError);  // and again: nothing was kept
    EXPECT_TRUE(sim.Calls().empty());
}

TEST_F(ActivationTest, ObjectWithoutTerminalsInterfaceRaisesIntfCastError) {
    PlainObject plain;
    FakeFactory factory(&plain);
    {
        ClassRegistration registration(&factory);
        TTerminals client(platform::Env::Default());
        try {
            client.Connect();
            FAIL() << "no exception";
        } catch (const EIntfCastError& e) {
            EXPECT_EQ(e.Message(), Cp1251(u8"Интерфейс не поддерживается").view());
        }
        EXPECT_EQ(plain.refs, 1);  // the object was let go
    }
    EXPECT_EQ(factory.refs, 1);
}

TEST_F(ActivationTest, ServerObjectOfTheRunningTableWithoutTerminalsInterfaceRaisesToo) {
    PlainObject plain;
    platform::RunningObjectRegistration listed;
    DCT_REGISTER_RUNNING_OR_SKIP(&plain, &listed);
    TTerminals client(platform::Env::Default());
    EXPECT_THROW(client.Get_DeviceEnabled(), EIntfCastError);
    listed.reset();
    EXPECT_EQ(plain.refs, 1);
}

TEST_F(ActivationTest, ServerThatGivesNoObjectFailsTheAssertion) {
    FakeFactory factory(nullptr);
    ClassRegistration registration(&factory);
    TTerminals client(platform::Env::Default());
    try {
        client.GetDefaultInterface();
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(),
                  "DefaultInterface is NULL. Component is not connected to Server. You must call 'Connect' or "
                  "'ConnectTo' before this operation");
    } catch (const EOleSysError&) {
        // Windows itself may refuse a server that succeeds without an object.
        SUCCEED();
    }
}

}  // namespace
}  // namespace dct
