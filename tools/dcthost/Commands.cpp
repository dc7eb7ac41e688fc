#include "Commands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

#include "DctLibrary.h"
#include "EnumRecords.h"
#include "replay/RecordCommands.h"
#include "HostCalls.h"
#include "HostCsv.h"
#include "HostText.h"
#include "SettingsFolder.h"
#include "SimulatorServer.h"
#include "TermSim.h"
#include "TermSimDevice.h"

#include "drv/dct/drivers/opticon_zebex/AddIn_TLB.h"
#include "drv/dct/drivers/opticon_zebex/UDrvIni.h"
#include "base/Csv.h"
#include "base/Exceptions.h"
#include "base/cp1251.h"
#include "lib/RegSettings.h"
#include "lib/commutil.h"
#include "platform/Codepage.h"
#include "platform/ComApartment.h"
#include "platform/Env.h"
#include "platform/Files.h"
#include "platform/StdioFile.h"

namespace dcthost {
namespace {

// The operating system as the library sees it: settings, formats, registry, the terminal server.
dct::platform::Env& SystemEnv() { return dct::platform::Env::Default(); }

using dct::platform::SystemTextToUtf8;

// Creates a folder with its parents; an empty path is the current folder, which exists.
bool MakeFolder(const std::string& path) { return path.empty() || SystemEnv().CreateFolderWithParents(path); }

// Monotonic seconds, for rates only.
double Seconds() {
    return std::chrono::duration<double>(SystemEnv().MonotonicNow().time_since_epoch()).count();
}

constexpr char kSettingsFile[] = "DctDrv.ini";

std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

void Say(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void Complain(const std::string& text) {
    const std::string line = "dcthost: " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::string SettingsDirectory(const Options& o) {
    if (o.settings) return *o.settings;
    std::string fromEnvironment = SystemEnv().EnvironmentVariable("DCTHOST_SETTINGS");
    return fromEnvironment.empty() ? DefaultSettingsDirectory() : fromEnvironment;
}

std::string SettingsPath(const Options& o) { return dct::ConstructFileName(SettingsDirectory(o), kSettingsFile); }

std::unique_ptr<DctLibrary> LoadLibraryOrSay(const Options& o) {
    std::string error;
    auto library = DctLibrary::Load(o.library.value_or(DctLibrary::DefaultFileName()), &error);
    if (!library) Complain(error);
    return library;
}

// What a code means, for the codes the boundary documents.
std::string Meaning(int32_t result) {
    switch (result) {
        case code::FiniFailed: return "destroying the instance failed";
        case code::InitFailed: return "the driver could not be created, or the terminal server's device is not usable";
        case code::NotConfirmed: return "not confirmed, or the terminal sent records of fewer than two fields";
        case code::ServerFailure: return "the terminal server reported a failure";
        case code::NoSection: return "no settings for this terminal";
        case code::BadHandle: return "no driver instance";
        default: return "status of the terminal server";
    }
}

// The library's code, its DctErr text, and the exit status for it.
int LibraryFailure(const std::string& operation, int32_t result, const std::string& text, const std::string& hint = {}) {
    std::string message = operation + " failed: " + std::to_string(result) + " (" + Meaning(result) + ")";
    if (!text.empty()) message += ": " + text;
    Complain(message);
    if (!hint.empty()) Complain(hint);
    return exitcode::Failed;
}

// DctInit for the terminal, telling the user what a failure means.
bool OpenInstance(DctInstance& instance, const Options& o) {
    if (instance.Ok()) return true;
    const int32_t rc = instance.InitResult();
    if (rc == code::NoSection)
        LibraryFailure("DctInit", rc, "", "fix: dcthost configure --terminal " + std::to_string(o.terminal) +
                                              " --port N --rate BPS --cable|--cradle  (settings file " +
                                              SystemTextToUtf8(SettingsPath(o)) + ")");
    else if (rc == code::InitFailed)
        LibraryFailure("DctInit", rc, "", "fix: check the section [" + std::to_string(o.terminal) + "] of " +
                                              SystemTextToUtf8(SettingsPath(o)) + " (dcthost show), or configure it again");
    else
        LibraryFailure("DctInit", rc, "");
    return false;
}

// Simulator plumbing shared by every command that reaches the terminal server.
void PrepareServer(const Options& o) {
    if (o.device) dct::termsim::SetDeviceFolderVariable(*o.device);
    std::string detail;
    if (!ActivateInProcessSimulator(&detail)) Complain(detail);
}

// What every command that works with a terminal does first: the simulator made ready, the library
// loaded, COM on this thread, an instance for the terminal (DctInit). Then `body` does the command's
// own part with the instance, which DctFini ends afterwards.
template <typename Body>
int WithInstance(const Options& o, Body&& body) {
    PrepareServer(o);
    auto library = LoadLibraryOrSay(o);
    if (!library) return exitcode::Failed;
    dct::platform::ComApartment apartment;
    DctInstance instance(*library, o.terminal, SettingsDirectory(o));
    if (!OpenInstance(instance, o)) return exitcode::Failed;
    return body(instance);
}

// The device folder the simulator serves, for the commands that look into it: --device when given;
// else the folder the registered local server was told, which it serves whatever this program's
// environment says; else DCT_TERMSIM_DIR or the default, as TermSim.dll settles it.
std::filesystem::path SimulatorFolder(const Options& o) {
    if (o.device) return dct::termsim::DeviceFolder();
    if (auto served = RegisteredSimulatorFolder()) return *served;
    return dct::termsim::DeviceFolder();
}

// ---------------------------------------------------------------------------------------- info

int Info(const Options& o) {
    auto library = LoadLibraryOrSay(o);
    if (!library) return exitcode::Failed;
    Say("library:  " + SystemTextToUtf8(library->Path()) + "\n");
    for (int i = 0; i < 6; ++i) {
        auto e = library->ExportAt(i);
        char line[128];
        std::snprintf(line, sizeof line, "  export %-17s %p\n", e.name, e.address);
        Say(line);
    }
    // A record larger than the 524 bytes the library may fill shows whether it keeps to them.
    unsigned char block[600];
    std::memset(block, 0xFF, sizeof block);
    auto* info = reinterpret_cast<DriverInfo*>(block);
    library->GetDriverInfo(info);
    bool past = false;
    for (std::size_t i = sizeof(DriverInfo); i < sizeof block; ++i) past = past || block[i] != 0xFF;
    const std::string name(info->Name, strnlen(info->Name, sizeof info->Name));
    const std::string models(info->Models, strnlen(info->Models, sizeof info->Models));
    Say("name:     " + dct::Cp1251ToUtf8(name) + "\n");
    Say("models:   " + dct::Cp1251ToUtf8(models) + "\n");
    Say("flags:    " + std::to_string(info->Flag1) + " " + std::to_string(info->Flag2) + "\n");
    Say(std::string("record:   ") + (past ? "WRITTEN PAST ITS 524 BYTES" : "524 bytes, nothing written past them") +
        "\n");
    Say("LoadDctLibrary: " + std::to_string(library->LoadDctLibrary()) + "\n");
    Say("settings: " + SystemTextToUtf8(SettingsPath(o)) + "\n");
    return past ? exitcode::Failed : exitcode::Ok;
}

// -------------------------------------------------------------------- configure / show / remove

std::string ConnectionName(int type) {
    return type == 0 ? "infrared cradle" : type == 1 ? "cable" : "none (" + std::to_string(type) + ")";
}

int Show(const Options& o) {
    const std::string path = SettingsPath(o);
    dct::TDrvIni ini(path, SystemEnv());
    const std::string section = std::to_string(o.terminal);
    if (!ini.DctExist(o.terminal)) {
        return LibraryFailure("show", code::NoSection, "terminal " + section + " has no section in " + SystemTextToUtf8(path),
                              "fix: dcthost configure --terminal " + section + " --port N --rate BPS --cable|--cradle");
    }
    auto value = [&](const char* key, const char* fallback) {
        return AnsiToUtf8(ini.ReadString(section, key, fallback));
    };
    const std::string port = value("DCT_Port", "1"), rate = value("DCT_Rate", "1"), id = value("DCT_ID", "0"),
                      type = value("DCT_Type", "0");
    Say("terminal:   " + section + "  (" + SystemTextToUtf8(path) + ")\n");
    Say("port:       " + port + (port.find_first_not_of("0123456789") == std::string::npos ? "  (COM " + port + ")" : "") +
        "\n");
    const int rateCode = std::atoi(rate.c_str());
    Say("rate code:  " + rate + (RateOf(rateCode) ? "  (" + std::to_string(RateOf(rateCode)) + " bit/s)" : "") + "\n");
    Say("connection: " + type + "  (" + ConnectionName(std::atoi(type.c_str())) + ")\n");
    Say("id:         " + id + "\n");
    auto library = LoadLibraryOrSay(o);
    if (!library) return exitcode::Failed;
    DctInstance instance(*library, o.terminal, SettingsDirectory(o));
    if (!instance.Ok()) return OpenInstance(instance, o) ? exitcode::Ok : exitcode::Failed;
    Say("the library accepts these settings (DctInit 0)\n");
    return exitcode::Ok;
}

int Configure(const Options& o) {
    const std::string directory = SettingsDirectory(o);
    if (!o.port && !o.rateCode && !o.connType) {
        // The library's own dialog, as the host opens it.
        auto library = LoadLibraryOrSay(o);
        if (!library) return exitcode::Failed;
        MakeFolder(directory);
        const int32_t rc = library->Configure(o.terminal, directory);
        if (rc != code::Ok) {
            Complain("DctConfigure: " + std::to_string(rc) + " (the dialog was not confirmed; nothing saved)");
            return exitcode::Cancelled;
        }
        return Show(o);
    }
    if (!MakeFolder(directory)) {
        Complain("cannot create the settings directory " + SystemTextToUtf8(directory));
        return exitcode::File;
    }
    try {
        // As the dialog saves: what the section holds stays unless a flag changes it.
        dct::TDrvIni ini(SettingsPath(o), SystemEnv());
        dct::TTermInfo info;
        info.Port = 1, info.Rate = 1, info.ConnType = 0;
        if (ini.DctExist(o.terminal)) {
            try {
                ini.GetTermInfoByID(o.terminal, info);
            } catch (const dct::Exception&) {
                info.Port = 1, info.Rate = 1, info.ConnType = 0;  // unreadable values are replaced
            }
        }
        if (o.port) info.Port = *o.port;
        if (o.rateCode) info.Rate = *o.rateCode;
        if (o.connType) info.ConnType = *o.connType;
        info.ID = o.terminal;
        ini.GetTermCount();
        ini.NewTermInfo(info);
    } catch (const dct::Exception& e) {
        Complain(AnsiToUtf8(e.Message()));
        return exitcode::File;
    }
    return Show(o);
}

int Remove(const Options& o) {
    auto library = LoadLibraryOrSay(o);
    if (!library) return exitcode::Failed;
    const int32_t rc = library->Remove(o.terminal, SettingsDirectory(o));
    if (rc != code::Ok) return LibraryFailure("DctRemove", rc, "terminal " + std::to_string(o.terminal) + " has no section in " + SystemTextToUtf8(SettingsPath(o)));
    Say("terminal " + std::to_string(o.terminal) + " removed from " + SystemTextToUtf8(SettingsPath(o)) + "\n");
    return exitcode::Ok;
}

// ---------------------------------------------------------------------------------------- read

class RecordSink {
public:
    RecordSink(FILE* file, const Options& o)
        : file_(file), o_(o),
          decimal_(o.decimal.value_or(SystemEnv().UserFormats().DecimalSeparator)),
          progress_(dct::platform::IsTerminal(stderr)), started_(Seconds()) {
        if (o_.header && o_.format == OutputFormat::Csv) Put(std::string("code") + o_.separator + "quantity\r\n");
    }

    void Record(const char* code, double quantity) {
        if (failed_) return;
        const std::string ansi = code ? code : "";
        std::string line;
        if (o_.format == OutputFormat::JsonLines) {
            line = "{\"code\":" + JsonString(AnsiToUtf8(ansi)) + ",\"quantity\":" + FormatQuantity(quantity, '.') + "}\n";
        } else {
            auto text = AnsiToEncoding(ansi, o_.encoding);
            if (!text) {
                Fail("record " + std::to_string(count_ + 1) + ": its code cannot be written in cp1251");
                return;
            }
            // Blanks at a field's ends are quoted, for readers that trim fields.
            constexpr auto kEdges = dct::CsvEdgeBlanks::Quoted;
            line = dct::CsvField(*text, o_.separator, kEdges) + o_.separator +
                   dct::CsvField(FormatQuantity(quantity, decimal_), o_.separator, kEdges) + "\r\n";
        }
        Put(line);
        ++count_;
        Progress(false);
    }

    void Progress(bool last) {
        if (!progress_) return;
        const double now = Seconds();
        if (!last && now - shown_ < 0.2) return;
        shown_ = now;
        const double elapsed = now - started_;
        char line[96];
        std::snprintf(line, sizeof line, "\r%lu records, %.0f records/s   %s", static_cast<unsigned long>(count_),
                      elapsed > 0 ? static_cast<double>(count_) / elapsed : 0.0, last ? "\n" : "");
        std::fputs(line, stderr);
        std::fflush(stderr);
    }

    bool Failed() const { return failed_; }
    const std::string& Problem() const { return problem_; }
    unsigned long Count() const { return count_; }
    void Fail(std::string problem) {
        if (!failed_) problem_ = std::move(problem);
        failed_ = true;
    }

private:
    void Put(const std::string& bytes) {
        if (failed_) return;
        if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() || std::ferror(file_))
            Fail(std::string("writing the output failed: ") + std::strerror(errno));
    }

    FILE* file_;
    const Options& o_;
    char decimal_;
    bool progress_;
    double started_, shown_ = 0;
    unsigned long count_ = 0;
    bool failed_ = false;
    std::string problem_;
};

// The bulk read's records, on their way to the output.
class EnumToSink final : public EnumRecordSink {
public:
    explicit EnumToSink(RecordSink& sink) : sink_(sink) {}
    void Record(int32_t, const char* code, double quantity) noexcept override {
        try {
            sink_.Record(code, quantity);
        } catch (...) {
            sink_.Fail("out of memory while writing a record");
        }
    }

private:
    RecordSink& sink_;
};

// The file of --out while the read goes on: it gets its own name only once every record is in it,
// so that a read cut short never leaves a file that looks complete; a failed read leaves it under
// this name, which says what it is.
std::string PartialName(const std::string& out) {
    return out + ".partial";
}

// After a failed read into --out: the partial file kept (or removed when nothing reached it), and
// one line saying where the records delivered so far are.
void KeepPartial(const Options& o, const RecordSink& sink, bool countIsExact) {
    const std::string partial = PartialName(*o.out);
    const std::string out = SystemTextToUtf8(*o.out);
    if (sink.Count() == 0) {
        std::remove(partial.c_str());
        Complain(out + " was not written: no record was read");
        return;
    }
    Complain(out + " was not written; " +
             (countIsExact ? "the " + std::to_string(sink.Count()) + " records read before the failure are"
                           : "what was read before the failure is") +
             " in " + SystemTextToUtf8(partial) + ", which is not a complete read");
}

int ReadRecords(DctInstance& instance, const Options& o) {
    dct::platform::UniqueFile out;
    if (o.out) {
        out = dct::platform::OpenFile(PartialName(*o.out), "wb");
        if (!out) {
            Complain("cannot create " + SystemTextToUtf8(PartialName(*o.out)) + ": " + std::strerror(errno) +
                     " (nothing was read)");
            return exitcode::File;
        }
    }
    RecordSink sink(out ? out.get() : stdout, o);
    // The library is never asked to clear while reading: the terminal is cleared only after the
    // output has safely reached the disk.
    int32_t rc;
    std::string operation, text;
    if (o.step) {
        operation = "DctBeginDataReading";
        rc = instance.BeginDataReading();
        if (rc == code::Ok) {
            operation = "DctNextRecord";
            for (;;) {
                const char* code = nullptr;
                double quantity = 0;
                int32_t more = 0;
                rc = instance.NextRecord(&code, &quantity, &more);
                if (rc != code::Ok || !more) break;
                sink.Record(code, quantity);
            }
            text = rc != code::Ok ? instance.ErrorText() : std::string();
            const int32_t end = instance.EndDataReading(0);
            if (rc == code::Ok && end != code::Ok) rc = end, operation = "DctEndDataReading";
        }
    } else {
        operation = "DctEnumData";
        EnumToSink records(sink);
        EnumRecordScope scope(records);
        rc = instance.EnumData(0, 0);
    }
    sink.Progress(true);
    if (rc != code::Ok) {
        if (text.empty()) text = instance.ErrorText();
        LibraryFailure(operation, rc, text);
        if (o.out) {
            out.Close();
            KeepPartial(o, sink, !sink.Failed());
        }
        Complain("the terminal keeps its records");
        return exitcode::Failed;
    }
    std::string reason;
    if (o.out) {
        if (!dct::platform::FlushToDiskAndClose(std::move(out), &reason) && !sink.Failed())
            sink.Fail("saving " + SystemTextToUtf8(PartialName(*o.out)) + " failed: " + reason);
        else if (!sink.Failed() && !dct::platform::MoveFileReplacing(PartialName(*o.out), *o.out, &reason))
            sink.Fail("naming the output " + SystemTextToUtf8(*o.out) + " failed: " + reason);
    } else if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        sink.Fail("writing to the standard output failed");
    }
    if (sink.Failed()) {
        Complain(sink.Problem());
        if (o.out) KeepPartial(o, sink, false);
        Complain(o.clearAfter ? "the terminal was NOT cleared: it keeps every record" : "the terminal keeps its records");
        return exitcode::File;
    }
    Complain(std::to_string(sink.Count()) + " records read from terminal " + std::to_string(o.terminal) +
             (o.out ? " into " + SystemTextToUtf8(*o.out) : std::string()));
    if (o.clearAfter) {
        rc = instance.ClearData();
        if (rc != code::Ok) return LibraryFailure("DctClearData", rc, instance.ErrorText(), "the records were saved; the terminal still holds them");
        Complain("terminal " + std::to_string(o.terminal) + " cleared");
    }
    return exitcode::Ok;
}

int Read(const Options& o) {
    return WithInstance(o, [&](DctInstance& instance) { return ReadRecords(instance, o); });
}

// --------------------------------------------------------------------------------------- write

bool ReadWholeFile(const std::string& path, std::string* bytes) {
    if (path == "-") {
        bytes->assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    const dct::platform::UniqueFile file = dct::platform::OpenFile(path, "rb");
    if (!file) return false;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes->append(buffer, n);
    return !std::ferror(file.get());
}

int WriteRecords(DctInstance& instance, const Options& o, const std::string& path,
                 const std::vector<GoodsRecord>& records, std::size_t badRows) {
    int32_t rc = instance.BeginWareTableWriting(o.full ? 1 : 0);
    if (rc != code::Ok) return LibraryFailure("DctBeginWareTableWriting", rc, instance.ErrorText(), "the terminal's table is unchanged");
    const bool progress = dct::platform::IsTerminal(stderr);
    const double started = Seconds();
    double shown = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const GoodsRecord& r = records[i];
        rc = instance.WriteWareTableRecord(r.text2.c_str(), r.text1.c_str(), r.number, r.barcodes.c_str());
        if (LastStackImbalance() != 0) {
            Complain("DctWriteWareTableRecord left the stack " + std::to_string(LastStackImbalance()) +
                     " bytes off: the library does not follow the register convention");
            return exitcode::Failed;
        }
        if (rc != code::Ok) {
            // Without DctEndWareTableWriting the terminal keeps the table it had.
            return LibraryFailure("DctWriteWareTableRecord", rc, instance.ErrorText(),
                                  SystemTextToUtf8(path) + ":" + std::to_string(r.line) + ": this row failed; the terminal's table is unchanged");
        }
        const double now = Seconds();
        if (progress && (now - shown >= 0.2 || i + 1 == records.size())) {
            shown = now;
            std::fprintf(stderr, "\r%lu of %lu goods records, %.0f records/s   ", static_cast<unsigned long>(i + 1),
                         static_cast<unsigned long>(records.size()), (i + 1) / std::max(now - started, 1e-6));
            std::fflush(stderr);
        }
    }
    if (progress && !records.empty()) std::fputs("\n", stderr);
    rc = instance.EndWareTableWriting();
    if (rc != code::Ok) return LibraryFailure("DctEndWareTableWriting", rc, instance.ErrorText());
    Complain(std::to_string(records.size()) + " goods records written to terminal " + std::to_string(o.terminal) +
             (o.full ? " (full table)" : " (appended)") +
             (badRows == 0 ? std::string() : ", " + std::to_string(badRows) + " bad rows skipped"));
    return exitcode::Ok;
}

int Write(const Options& o) {
    std::string path = o.in.value_or(o.arguments.empty() ? std::string() : o.arguments[0]);
    if (path.empty()) {
        Complain("write needs the goods table: dcthost write FILE.csv (or - for standard input)");
        return exitcode::Usage;
    }
    std::string bytes;
    if (!ReadWholeFile(path, &bytes)) {
        Complain("cannot read " + SystemTextToUtf8(path) + ": " + std::strerror(errno));
        return exitcode::File;
    }
    const std::string file = SystemTextToUtf8(path);
    if (auto wide = LikelyWideEncoding(bytes)) {
        Complain(file + " holds NUL bytes, which no UTF-8 or cp1251 text does: it looks like " + *wide +
                 " text. Save it as UTF-8 (or cp1251 with --encoding cp1251); nothing was sent");
        return exitcode::File;
    }
    std::string_view text = bytes;
    if (o.encoding == Encoding::Utf8) text = SkipUtf8Bom(text);
    std::vector<CsvProblem> problems;
    const auto records = ParseGoodsTable(
        text, o.separator, [&](std::string_view field) { return EncodingToAnsi(field, o.encoding); }, &problems);
    bool unreadable = false, badText = false;
    for (const auto& p : problems) {
        Complain(file + ":" + std::to_string(p.line) + ": " + p.message);
        unreadable = unreadable || p.endsParse;
        badText = badText || p.message.find("not valid text") != std::string::npos;
    }
    if (records.empty() && badText && o.encoding == Encoding::Utf8)
        Complain("no row could be read as UTF-8 text; if the file is in cp1251, give --encoding cp1251");
    // A row that cannot be read takes every row after it along: skipping it would drop them unseen.
    if (unreadable) {
        Complain("the rest of the file cannot be read; nothing was sent");
        return exitcode::File;
    }
    if (!problems.empty() && !o.skipBad) {
        Complain(std::to_string(problems.size()) + " bad rows; nothing was sent (--skip-bad sends the good rows)");
        return exitcode::File;
    }
    // --full replaces what the terminal holds: it must not lose goods the user did not mean to drop.
    if (o.full && !problems.empty() && !o.allowIncompleteTable) {
        Complain("--full would replace the terminal's table without the " + std::to_string(problems.size()) +
                 " bad rows; nothing was sent (--allow-incomplete-table replaces it all the same)");
        return exitcode::File;
    }
    if (o.full && records.empty() && !o.allowEmptyTable) {
        Complain(file +
                 " holds no goods record: --full would empty the terminal's table; nothing was sent "
                 "(--allow-empty-table empties it)");
        return exitcode::File;
    }
    return WithInstance(o, [&](DctInstance& instance) { return WriteRecords(instance, o, path, records, problems.size()); });
}


// --------------------------------------------------------------------------- clear and service

int Clear(const Options& o) {
    if (!o.yes) {
        if (!dct::platform::IsTerminal(stdin)) {
            Complain("clear erases every record in the terminal; give --yes to confirm");
            return exitcode::Cancelled;
        }
        std::fprintf(stderr, "Erase every record held in terminal %d? [y/N] ", o.terminal);
        std::fflush(stderr);
        char answer[16] = {};
        if (!std::fgets(answer, sizeof answer, stdin) || (answer[0] != 'y' && answer[0] != 'Y')) {
            Complain("cancelled; the terminal keeps its records");
            return exitcode::Cancelled;
        }
    }
    return WithInstance(o, [&](DctInstance& instance) {
        const int32_t rc = instance.ClearData();
        if (rc != code::Ok) return LibraryFailure("DctClearData", rc, instance.ErrorText());
        Complain("terminal " + std::to_string(o.terminal) + " cleared");
        return exitcode::Ok;
    });
}

int Service(const Options& o) {
    return WithInstance(o, [&](DctInstance& instance) {
        const int32_t rc = instance.InteractiveService();
        if (rc != code::Ok) return LibraryFailure("DctInteractiveService", rc, instance.ErrorText());
        const std::string pending = instance.ErrorText();
        if (!pending.empty()) Complain("the service dialog reported: " + pending);
        return exitcode::Ok;
    });
}

// -------------------------------------------------------------------------------------- doctor

struct Checklist {
    int failures = 0;
    void Ok(const std::string& what) { Say("[ ok ] " + what + "\n"); }
    void Warn(const std::string& what, const std::string& fix) { Say("[warn] " + what + "\n       fix: " + fix + "\n"); }
    void Fail(const std::string& what, const std::string& fix) {
        ++failures;
        Say("[FAIL] " + what + "\n       fix: " + fix + "\n");
    }
};

void CheckFolder(Checklist& c, const std::string& label, const std::string& folder, const std::string& fix) {
    std::string reason;
    if (!MakeFolder(folder)) c.Fail(label + " " + SystemTextToUtf8(folder) + " cannot be created", fix);
    else if (!dct::platform::CanCreateFileIn(folder, "dcthost-probe.tmp", &reason))
        c.Fail(label + " " + SystemTextToUtf8(folder) + " is not writable: " + SystemTextToUtf8(reason), fix);
    else c.Ok(label + " " + SystemTextToUtf8(folder) + " is writable");
}

int Doctor(const Options& o) {
    Checklist c;
    const std::string terminal = std::to_string(o.terminal);
    const std::string directory = SettingsDirectory(o), path = SettingsPath(o);
    auto library = LoadLibraryOrSay(o);
    if (library) c.Ok("library " + SystemTextToUtf8(library->Path()) + " loads and exports all six functions");
    else c.Fail("the library cannot be used", "build it (cmake --build --preset win32) or name it with --library FILE");

    // The settings file and the terminal's section.
    if (!dct::platform::FileExists(path)) {
        c.Fail("settings file " + SystemTextToUtf8(path) + " does not exist",
               "dcthost configure --terminal " + terminal + " --port N --rate BPS --cable|--cradle");
    } else if (!dct::TDrvIni(path, SystemEnv()).DctExist(o.terminal)) {
        c.Fail("settings file has no section [" + terminal + "]",
               "dcthost configure --terminal " + terminal + " --port N --rate BPS --cable|--cradle");
    } else if (library) {
        DctInstance instance(*library, o.terminal, directory);
        if (instance.Ok()) c.Ok("terminal " + terminal + " is configured in " + SystemTextToUtf8(path) + " and DctInit accepts it");
        else c.Fail("DctInit refuses the section [" + terminal + "]: " + std::to_string(instance.InitResult()),
                    "dcthost show --terminal " + terminal + " to see the values, then configure it again");
    }
    CheckFolder(c, "driver log folder (DctDrv.log beside the settings file)", directory.empty() ? "." : directory,
                "choose a writable --settings directory");

    // The terminal server: registered, reachable, its device switched on.
    PrepareServer(o);
    const auto registration = TerminalServerRegistration();
    if (registration.registered)
        c.Ok("terminal server registered: " + SystemTextToUtf8(registration.detail));
    else
        c.Fail("terminal server: " + SystemTextToUtf8(registration.detail),
               "install the terminal server, or use the simulator: dcthost sim register");
    {
        dct::platform::ComApartment apartment;
        try {
            dct::TTerminals server(SystemEnv());
            server.Connect();
            c.Ok("terminal server reachable");
            if (server.Get_DeviceEnabled()) c.Ok("the server's device is enabled");
            else
                c.Fail("the server's device is switched off (reading and writing fail with -4)",
                       registration.simulator ? "remove Enabled=0 from [Device] in faults.ini (dcthost sim fault clear)"
                                              : "put the terminal in its cradle or connect its cable, and switch it on");
        } catch (const dct::Exception& e) {
            c.Fail("terminal server cannot be reached: " + AnsiToUtf8(e.Message()),
                   "register it (dcthost sim register for the simulator) and check that its file exists");
        }
    }
    if (registration.simulator) Say("       simulator device folder: " + Utf8Path(SimulatorFolder(o)) + "\n");

    // The trace folder, as the library settles it: registry TraceDir, TARN_LOGS_FOLDER, the library's folder.
    std::string trace = dct::ReadRegistrySetting(SystemEnv(), "TraceDir", "");
    std::string source = "registry value TraceDir";
    if (trace.empty())
        trace = SystemEnv().EnvironmentVariable("TARN_LOGS_FOLDER"), source = "TARN_LOGS_FOLDER";
    if (trace.empty() && library) {
        const std::string lib = library->Path();
        trace = lib.substr(0, lib.find_last_of("\\/") + 1) + "logs";
        source = "beside the library";
    }
    if (!trace.empty())
        CheckFolder(c, "trace folder (" + source + ")", trace,
                    "set TARN_LOGS_FOLDER or the registry value TraceDir to a writable folder");

    Say(c.failures ? std::to_string(c.failures) + " problem(s) found\n" : "everything looks right\n");
    return c.failures ? exitcode::Failed : exitcode::Ok;
}

// ----------------------------------------------------------------------------------------- sim

bool WriteTextFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    return !out.fail();
}

std::string ReadTextFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

constexpr char kSampleRecords[] =
    "4601234567890;2\n"
    "4607654321098;1.5\n"
    "4600000000017;12\n"
    "2000000012345;0.75\n"
    "4601111111116;1\n";

int Sim(const Options& o) {
    if (o.device) dct::termsim::SetDeviceFolderVariable(*o.device);
    const std::string what = o.arguments.empty() ? "state" : o.arguments[0];
    const std::filesystem::path folder = SimulatorFolder(o);
    std::error_code ec;
    if (what == "register" || what == "unregister") {
        dct::termsim::RegistrationTurn turn;
        std::string message;
        // A local server started by the system does not share this program's environment: it is
        // told the folder chosen here, if one was.
        const bool chosen =
            o.device || !SystemEnv().EnvironmentVariable(dct::termsim::kFolderVariable).empty();
        const std::string chosenFolder = chosen ? dct::termsim::DeviceFolder().string() : std::string();
        const int32_t hr = RegisterSimulatorServer(what == "unregister", o.local, chosenFolder, &message);
        (hr == 0 ? Say : Complain)(message + (hr == 0 ? "\n" : ""));
        return hr == 0 ? exitcode::Ok : exitcode::Failed;
    }
    if (what == "folder") {
        Say(Utf8Path(folder) + "\n");
        return exitcode::Ok;
    }
    std::filesystem::create_directories(folder, ec);
    if (what == "records") {
        std::string bytes = kSampleRecords;
        if (o.arguments.size() > 1 && !ReadWholeFile(o.arguments[1], &(bytes = std::string()))) {
            Complain("cannot read " + o.arguments[1]);
            return exitcode::File;
        }
        if (!WriteTextFile(folder / "records.csv", bytes)) {
            Complain("cannot write " + Utf8Path((folder / "records.csv")));
            return exitcode::File;
        }
        Say("records put into " + Utf8Path((folder / "records.csv")) + "\n");
        return exitcode::Ok;
    }
    if (what == "fault") {
        if (o.arguments.size() == 2 && o.arguments[1] == "clear") {
            std::filesystem::remove(folder / "faults.ini", ec);
            Say("no faults injected any more\n");
            return exitcode::Ok;
        }
        if (o.arguments.size() < 3) {
            Complain("usage: dcthost sim fault OPERATION KEY=VALUE...  (e.g. sim fault BeginReport Status=7 "
                     "Description=\"No link\"; sim fault Device Enabled=0; sim fault clear)");
            return exitcode::Usage;
        }
        std::vector<std::string> settings;
        for (std::size_t i = 2; i < o.arguments.size(); ++i) {
            if (o.arguments[i].find('=') == std::string::npos) {
                Complain("\"" + o.arguments[i] + "\" is not KEY=VALUE");
                return exitcode::Usage;
            }
            settings.push_back(SystemTextToUtf8(o.arguments[i]));
        }
        // One section per operation: the new one replaces a section of the same name.
        const std::string kept =
            dct::termsim::WithFaultSection(ReadTextFile(folder / "faults.ini"), o.arguments[1], settings);
        if (!WriteTextFile(folder / "faults.ini", kept)) {
            Complain("cannot write " + Utf8Path((folder / "faults.ini")));
            return exitcode::File;
        }
        Say("fault injected into " + Utf8Path((folder / "faults.ini")) + "\n");
        return exitcode::Ok;
    }
    if (what == "state") {
        Say("device folder: " + Utf8Path(folder) + "\n");
        for (const char* name : {"records.csv", "table.csv", "faults.ini", "connection.ini", "tasks.log"}) {
            const std::string bytes = ReadTextFile(folder / name);
            std::size_t lines = 0;
            for (char ch : bytes) lines += ch == '\n';
            if (!bytes.empty() && bytes.back() != '\n') ++lines;
            Say("--- " + std::string(name) + " (" + std::to_string(lines) + " lines)\n" + bytes +
                (bytes.empty() || bytes.back() == '\n' ? "" : "\n"));
        }
        const std::string calls = ReadTextFile(folder / "calls.log");
        std::size_t count = 0;
        for (char ch : calls) count += ch == '\n';
        Say("--- calls.log: " + std::to_string(count) + " calls\n");
        return exitcode::Ok;
    }
    Complain("unknown sim command \"" + what + "\" (register, unregister, folder, records, fault, state)");
    return exitcode::Usage;
}

}  // namespace

int RunCommand(const Options& o) {
    const std::string& c = o.command;
    try {
        if (c == "info") return Info(o);
        if (c == "configure") return Configure(o);
        if (c == "show") return Show(o);
        if (c == "remove") return Remove(o);
        if (c == "read") return Read(o);
        if (c == "write") return Write(o);
        if (c == "clear") return Clear(o);
        if (c == "service") return Service(o);
        if (c == "doctor") return Doctor(o);
        if (c == "sim") return Sim(o);
        if (c == "record") return Record(o);
        if (c == "replay") return Replay(o);
    } catch (const dct::Exception& e) {
        Complain(AnsiToUtf8(e.Message()));
        return exitcode::Failed;
    } catch (const std::exception& e) {
        Complain(e.what());
        return exitcode::Failed;
    }
    Complain("unknown command \"" + c + "\"; dcthost --help lists the commands");
    return exitcode::Usage;
}

}  // namespace dcthost
