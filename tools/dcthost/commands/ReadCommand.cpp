#include <cerrno>
#include <cstdio>
#include <cstring>

#include "EnumRecords.h"
#include "HostCsv.h"
#include "HostText.h"
#include "base/Csv.h"
#include "commands/Common.h"
#include "commands/Subcommands.h"
#include "platform/Codepage.h"
#include "platform/Files.h"
#include "platform/StdioFile.h"

namespace dcthost {

using dct::platform::SystemTextToUtf8;

namespace {

class RecordSink {
public:
    RecordSink(FILE* file, const Options& o)
        : file_(file),
          o_(o),
          decimal_(o.decimal.value_or(SystemEnv().UserFormats().DecimalSeparator)),
          progress_(dct::platform::IsTerminal(stderr)),
          started_(Seconds()) {
        if (o_.header && o_.format == OutputFormat::Csv)
            Put(std::string("code") + o_.separator + "quantity\r\n");
    }

    void Record(const char* code, double quantity) {
        if (failed_) return;
        const std::string ansi = code ? code : "";
        std::string line;
        if (o_.format == OutputFormat::JsonLines) {
            line = "{\"code\":" + JsonString(AnsiToUtf8(ansi)) +
                   ",\"quantity\":" + FormatQuantity(quantity, '.') + "}\n";
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
        std::snprintf(line, sizeof line, "\r%lu records, %.0f records/s   %s",
                      static_cast<unsigned long>(count_),
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
        Complain(o.clearAfter ? "the terminal was NOT cleared: it keeps every record"
                              : "the terminal keeps its records");
        return exitcode::File;
    }
    Complain(std::to_string(sink.Count()) + " records read from terminal " + std::to_string(o.terminal) +
             (o.out ? " into " + SystemTextToUtf8(*o.out) : std::string()));
    if (o.clearAfter) {
        rc = instance.ClearData();
        if (rc != code::Ok)
            return LibraryFailure("DctClearData", rc, instance.ErrorText(),
                                  "the records were saved; the terminal still holds them");
        Complain("terminal " + std::to_string(o.terminal) + " cleared");
    }
    return exitcode::Ok;
}

}  // namespace

int Read(const Options& o) {
    return WithInstance(o, [&](DctInstance& instance) { return ReadRecords(instance, o); });
}

}  // namespace dcthost
