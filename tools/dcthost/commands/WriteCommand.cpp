#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "HostCalls.h"
#include "HostCsv.h"
#include "HostText.h"
#include "commands/Common.h"
#include "commands/Subcommands.h"
#include "platform/Codepage.h"
#include "platform/StdioFile.h"

namespace dcthost {

using dct::platform::SystemTextToUtf8;

namespace {

int WriteRecords(DctInstance& instance, const Options& o, const std::string& path,
                 const std::vector<GoodsRecord>& records, std::size_t badRows) {
    int32_t rc = instance.BeginWareTableWriting(o.full ? 1 : 0);
    if (rc != code::Ok)
        return LibraryFailure("DctBeginWareTableWriting", rc, instance.ErrorText(),
                              "the terminal's table is unchanged");
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
                                  SystemTextToUtf8(path) + ":" + std::to_string(r.line) +
                                      ": this row failed; the terminal's table is unchanged");
        }
        const double now = Seconds();
        if (progress && (now - shown >= 0.2 || i + 1 == records.size())) {
            shown = now;
            std::fprintf(stderr, "\r%lu of %lu goods records, %.0f records/s   ",
                         static_cast<unsigned long>(i + 1), static_cast<unsigned long>(records.size()),
                         (i + 1) / std::max(now - started, 1e-6));
            std::fflush(stderr);
        }
    }
    if (progress && !records.empty()) std::fputs("\n", stderr);
    rc = instance.EndWareTableWriting();
    if (rc != code::Ok) return LibraryFailure("DctEndWareTableWriting", rc, instance.ErrorText());
    Complain(std::to_string(records.size()) + " goods records written to terminal " +
             std::to_string(o.terminal) + (o.full ? " (full table)" : " (appended)") +
             (badRows == 0 ? std::string() : ", " + std::to_string(badRows) + " bad rows skipped"));
    return exitcode::Ok;
}

}  // namespace

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
        text, o.separator, [&](std::string_view field) { return EncodingToAnsi(field, o.encoding); },
        &problems);
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
        Complain(std::to_string(problems.size()) +
                 " bad rows; nothing was sent (--skip-bad sends the good rows)");
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
    return WithInstance(
        o, [&](DctInstance& instance) { return WriteRecords(instance, o, path, records, problems.size()); });
}

}  // namespace dcthost
