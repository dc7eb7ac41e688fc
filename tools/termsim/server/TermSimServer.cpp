// TermSimServer.exe: the simulator as a local COM server, in a process of its own as a station's
// terminal server is. COM starts it (LocalServer32, with -Embedding) when a client creates the class.
// It serves one Terminals object over the same device folder as TermSim.dll, to every client that
// creates the class and, through a weak entry in the running-object table, to every client that
// looks for a running instance. It ends when its last client lets go, or when asked with --stop.
//
// usage: TermSimServer.exe [-Embedding] [--device DIR]   serve (DIR: the device folder)
//        TermSimServer.exe --stop                         end the running server and wait for it
//        TermSimServer.exe --kill                         end it at once, as a crash would
// Exit status: 0 done; 1 --stop or --kill found no server; 2 bad command line; 3 another server is running;
// 4 it could not serve (COM refused the class); the value of an Exit= fault when one ended it.
#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <string>
#include <vector>

#include "TermSim.h"
#include "platform/ComApartment.h"
#include "platform/win32/Handle.h"

namespace {

using dct::ITerminals;
using dct::platform::ComPtr;
using dct::platform::UniqueHandle;
using dct::platform::UniqueHeldMutex;
using dct::platform::UniqueKernelHandle;

// Held by the serving process from start to end: one server at a time.
constexpr wchar_t kRunningMutex[] = L"DctTermSimServer.Running";

// Each serving process has a stop event of its own. --stop keeps the events it signals open (and so
// signalled) while it waits for their servers to end, and COM may meanwhile start a new server for a
// client that came after the old one withdrew: with one event for all, that server would find it
// signalled and end at once. A server makes its event only once it serves, after the one before it
// has gone, so --stop reaches exactly the servers serving when it was given.
std::wstring StopEventName(DWORD processId) {
    return L"DctTermSimServer.Stop." + std::to_wstring(processId);
}

enum ExitStatus { kDone = 0, kNoServer = 1, kUsage = 2, kAlreadyRunning = 3, kCannotServe = 4 };

// Posted to the serving thread when the count of strong connections falls to zero.
constexpr UINT kLastReleased = WM_APP + 1;

// The class object and the running-object table's weak entry: how clients reach the one object.
class Listing {
public:
    bool Offer(IClassFactory* factory, ITerminals* terminals) {
        DWORD cookie = 0;
        if (FAILED(CoRegisterClassObject(dct::CLSID_Terminals, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                         &cookie)))
            return false;
        class_ = dct::platform::ClassObjectRegistration(cookie);
        // A freshly made Wine prefix may take a while to bring up the service behind the table.
        dct::termsim::RegisterRunning(terminals, ACTIVEOBJECT_WEAK, std::chrono::seconds(20), &running_);
        return true;
    }
    // In the reverse order of Offer: the table's entry, then the class object.
    void Withdraw() {
        running_.reset();
        class_.reset();
    }
    bool Offered() const { return static_cast<bool>(class_); }

private:
    // Declared in the order of Offer, so that going they are revoked as Withdraw revokes them.
    dct::platform::ClassObjectRegistration class_;
    dct::platform::RunningObjectRegistration running_;
};

class ServerProcess final : public dct::termsim::ServerProcess {
public:
    ServerProcess(DWORD loopThread, Listing& listing) : loopThread_(loopThread), listing_(listing) {}

    void ConnectionsChanged(unsigned long strongConnections) override {
        connections_ = strongConnections;
        if (strongConnections != 0) return;
        // Withdrawn before the client's last release returns, so that its next activation cannot be
        // handed this server on its way out (Wine then fails that activation rather than start a new
        // server). The count may come from one of COM's threads: then the loop withdraws.
        if (GetCurrentThreadId() == loopThread_) listing_.Withdraw();
        PostThreadMessageW(loopThread_, kLastReleased, 0, 0);
    }
    bool Connected() const { return connections_ != 0; }

    // As a crash would, with one exception: the class object and the table's entry are withdrawn
    // first. Windows' service control manager forgets a dead server's class by itself, so that the
    // next client starts a new one; Wine 8's keeps it and fails every later activation of the class
    // with REGDB_E_CLASSNOTREG (a server killed from outside shows that).
    [[noreturn]] void EndNow(int exitCode) override {
        listing_.Withdraw();
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
        ExitProcess(static_cast<UINT>(exitCode));
    }

private:
    DWORD loopThread_;
    Listing& listing_;
    std::atomic<unsigned long> connections_{0};
};

struct OtherServer {
    DWORD id;
    UniqueKernelHandle process;
};

// Every other process running this program, opened with `access`.
std::vector<OtherServer> OtherServers(DWORD access) {
    std::vector<OtherServer> found;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId() || _wcsicmp(entry.szExeFile, L"TermSimServer.exe") != 0) continue;
        UniqueKernelHandle process(OpenProcess(access, FALSE, entry.th32ProcessID));
        if (process) found.push_back({entry.th32ProcessID, std::move(process)});
    }
    return found;
}

int Stop() {
    std::vector<UniqueKernelHandle> stopping;
    for (OtherServer& server : OtherServers(SYNCHRONIZE)) {
        // A process without its event does not serve yet: it waits for the one before it to end.
        UniqueKernelHandle stop(OpenEventW(EVENT_MODIFY_STATE, FALSE, StopEventName(server.id).c_str()));
        if (!stop || !SetEvent(stop.get())) continue;
        stopping.push_back(std::move(server.process));
    }
    for (const UniqueKernelHandle& server : stopping) WaitForSingleObject(server.get(), 30000);
    return stopping.empty() ? kNoServer : kDone;
}

// From outside, with no chance for the server to take anything back.
int Kill() {
    std::vector<OtherServer> servers = OtherServers(PROCESS_TERMINATE | SYNCHRONIZE);
    for (const OtherServer& server : servers)
        if (TerminateProcess(server.process.get(), 9)) WaitForSingleObject(server.process.get(), 10000);
    return servers.empty() ? kNoServer : kDone;
}

// Calls reach the apartment as window messages. When the last client has gone the server withdraws
// from view and ends; a client that attached in the meantime keeps it serving.
void ServeUntilDone(const ServerProcess& process, Listing& listing, IClassFactory* factory, ITerminals* terminals,
                    HANDLE stop) {
    for (;;) {
        DWORD woke = MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) return;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return;
            if (message.message == kLastReleased) {
                if (!process.Connected()) {
                    listing.Withdraw();
                    if (!process.Connected()) return;
                }
                if (!listing.Offered() && !listing.Offer(factory, terminals)) return;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

int Serve() {
    UniqueKernelHandle running(CreateMutexW(nullptr, FALSE, kRunningMutex));
    // A server that is ending holds the mutex a little longer; one that serves keeps it.
    DWORD waited = running ? WaitForSingleObject(running.get(), 10000) : WAIT_FAILED;
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return kAlreadyRunning;
    const UniqueHeldMutex held(running.release());
    UniqueKernelHandle stop(CreateEventW(nullptr, TRUE, FALSE, StopEventName(GetCurrentProcessId()).c_str()));
    const dct::platform::ComApartment apartment;
    if (!apartment.Initialised()) return kCannotServe;
    int status = kDone;
    Listing listing;
    ServerProcess process(GetCurrentThreadId(), listing);
    ComPtr<ITerminals> terminals = dct::termsim::CreateTerminals(&process);
    ComPtr<IClassFactory> factory = dct::termsim::CreateClassFactory(terminals);
    if (listing.Offer(factory.get(), terminals.get()))
        ServeUntilDone(process, listing, factory.get(), terminals.get(), stop.get());
    else
        status = kCannotServe;
    listing.Withdraw();
    // Clients still attached (the server was told to stop) are cut off rather than left hanging.
    CoDisconnectObject(terminals.get(), 0);
    factory.reset();
    terminals.reset();
    return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool stop = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--stop") stop = true;
        else if (arg == L"--kill") return Kill();
        else if (arg == L"-Embedding" || arg == L"/Embedding") continue;  // how COM starts a local server
        else if (arg == L"--device" && i + 1 < argc) dct::termsim::SetDeviceFolderVariable(argv[++i]);
        else return kUsage;
    }
    try {
        return stop ? Stop() : Serve();
    } catch (...) {
        return kCannotServe;
    }
}
