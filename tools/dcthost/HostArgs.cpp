#include "HostArgs.h"

#include <charconv>
#include <cstdlib>

namespace dcthost {
namespace {

constexpr int kRates[] = {115200, 57600, 38400, 19200, 9600};

// A whole 32-bit number, nothing else: out of range is no number (strtol's long is 32 bits under
// mingw and clamps there instead of failing).
std::optional<int> Integer(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

// A word that is an option of dcthost rather than the value an option asks for: `--out --clear-after`
// would otherwise write a file of that name, and the option would be lost.
bool LooksLikeOption(const std::string& word) {
    return word.rfind("--", 0) == 0 || word == "-h" || word == "-y";
}

bool IsNumber(const std::string& word) {
    return Integer(word).has_value();
}

// Words after the command beyond those it takes: the first one it does not take, if any.
std::optional<std::string> WordsProblem(const Options& o) {
    const std::vector<std::string>& words = o.arguments;
    const std::string& c = o.command;
    if (c == "info" || c == "configure" || c == "show" || c == "remove" || c == "read" || c == "clear" ||
        c == "service" || c == "doctor") {
        if (words.empty()) return std::nullopt;
        std::string problem = c + " takes no word \"" + words[0] + "\"";
        if (IsNumber(words[0]) && c != "info")
            problem += "; to name terminal " + words[0] + ", give --terminal " + words[0];
        return problem;
    }
    if (c == "write") {
        const std::size_t takes = o.in ? 0 : 1;
        if (words.size() <= takes) return std::nullopt;
        return "write takes one goods table" + std::string(o.in ? " (given by --in)" : "") + "; \"" +
               words[takes] + "\" is one word too many";
    }
    if (c == "sim" && !words.empty()) {
        const std::string& what = words[0];
        std::size_t takes = 1;
        if (what == "records")
            takes = 2;
        else if (what == "fault")
            takes = words.size() > 1 && words[1] == "clear" ? 2 : words.size();
        else if (what != "register" && what != "unregister" && what != "folder" && what != "state")
            takes = words.size();
        if (words.size() <= takes) return std::nullopt;
        return "sim " + what + " takes no word \"" + words[takes] + "\"";
    }
    return std::nullopt;
}

std::optional<char> SingleCharacter(const std::string& text) {
    if (text == "tab" || text == "\\t") return '\t';
    if (text.size() != 1) return std::nullopt;
    return text[0];
}

}  // namespace

const char kUsage[] = R"(usage: dcthost COMMAND [options]

Drives the terminal driver library (DctDrv.dll / libDctDrv.so) through its exports, as the host does.

commands:
  info                      the library's description record and the exports found
  configure                 with --port/--rate/--cable/--cradle: write the terminal's settings;
                            without them: the library's own dialog (DctConfigure)
  show                      the terminal's settings and whether the library accepts them
  remove                    erase the terminal's settings (DctRemove)
  read                      read the terminal's records to CSV or JSON Lines
  write FILE                write a goods table from CSV (barcodes;text1;number;text2)
  clear                     erase the records held in the terminal (asks unless --yes)
  service                   the library's service dialog
  doctor                    check settings, terminal server, device, log and trace folders
  sim register [--local]    register the simulator's COM server (Windows / Wine prefix):
                            TermSim.dll in-process, or with --local TermSimServer.exe in a
                            process of its own (with --device: the folder it serves)
  sim unregister            remove the simulator's registration, of either kind
  sim folder                print the simulator's device folder
  sim records [FILE]        put records into the simulated terminal (sample records without FILE)
  sim fault OPERATION KEY=VALUE...   inject a fault (faults.ini); `sim fault clear` removes them all
  sim state                 what the simulated terminal holds: records, goods table, faults, calls
  record on [--hours N]     record what the library does for support, for N hours (default 24)
  record off | status       stop recording; show whether it is on, until when, and the files
  record show FILE          what a recording holds, terminal by terminal
  replay FILE               replay a recording through the library (--library, --terminal N,
                            --until SEQ) and say whether it did exactly the same

options:
  --settings DIR            settings directory holding DctDrv.ini (default: DCTHOST_SETTINGS, else
                            %LOCALAPPDATA%\DctHost on Windows, ~/.config/dcthost elsewhere)
  --terminal N              terminal number (default 1)
  --library FILE            the library to load (default: DctDrv.dll / libDctDrv.so beside dcthost)
  --device DIR              the simulator's device folder (sets DCT_TERMSIM_DIR)
  --port 1..10  --rate 115200|57600|38400|19200|9600  --cable | --cradle
  --out FILE                read: write here instead of stdout (FILE.partial until the read is complete)
  --format csv|jsonl        read: output format (default csv)
  --encoding utf8|cp1251    CSV text encoding, for read and write (default utf8)
  --separator C             CSV field separator (default ;)
  --decimal C               read: decimal separator of quantities (default: the locale's)
  --header                  read: a first line naming the columns
  --step                    read record by record (DctNextRecord) instead of DctEnumData
  --clear-after             read: clear the terminal once every record is safely written
  --full                    write: replace the terminal's table (default: append)
  --skip-bad                write: send the good rows even when some rows are bad
  --allow-incomplete-table  write --full --skip-bad: replace the terminal's table without the bad rows
  --allow-empty-table       write --full: replace the terminal's table even with no record at all
  --yes                     clear: do not ask
  --version                 dcthost's version, which is the release's

exit status: 0 done; 1 the library or the terminal reported a failure (replay: it did something
else); 2 bad command line (replay: a file that is no usable recording); 3 a file could not be read or
written (or bad CSV rows); 4 cancelled.
)";

std::optional<int> RateCodeOf(int bitsPerSecond) {
    for (int i = 0; i < 5; ++i)
        if (kRates[i] == bitsPerSecond) return i + 1;
    return std::nullopt;
}

int RateOf(int code) { return code >= 1 && code <= 5 ? kRates[code - 1] : 0; }

std::optional<Options> ParseArguments(const std::vector<std::string>& args, std::string* error) {
    Options o;
    auto fail = [&](std::string message) -> std::optional<Options> {
        if (error) *error = std::move(message);
        return std::nullopt;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size() || LooksLikeOption(args[i + 1])) return std::nullopt;
            return args[++i];
        };
        if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--settings" || a == "--library" || a == "--device" || a == "--out" || a == "--in" ||
                   a == "--terminal" || a == "--port" || a == "--rate" || a == "--format" || a == "--encoding" ||
                   a == "--separator" || a == "--decimal" || a == "--hours" || a == "--until") {
            auto v = value();
            if (!v && i + 1 < args.size())
                return fail(a + " needs a value, but " + args[i + 1] + " is an option");
            if (!v) return fail(a + " needs a value");
            if (a == "--settings") o.settings = *v;
            else if (a == "--library") o.library = *v;
            else if (a == "--device") o.device = *v;
            else if (a == "--out") o.out = *v;
            else if (a == "--in") o.in = *v;
            else if (a == "--terminal") {
                auto n = Integer(*v);
                if (!n) return fail("--terminal takes a whole number, not \"" + *v + "\"");
                o.terminal = *n;
                o.terminalGiven = true;
            } else if (a == "--hours") {
                auto n = Integer(*v);
                if (!n || *n < 1 || *n > 24 * 14) return fail("--hours takes 1 to 336");
                o.hours = *n;
            } else if (a == "--until") {
                auto n = Integer(*v);
                if (!n || *n < 1) return fail("--until takes a sequence number of the recording");
                o.until = *n;
            } else if (a == "--port") {
                auto n = Integer(*v);
                if (!n || *n < 1 || *n > 10) return fail("--port takes 1 to 10 (COM 1 to COM 10)");
                o.port = *n;
            } else if (a == "--rate") {
                auto n = Integer(*v);
                auto code = n ? RateCodeOf(*n) : std::nullopt;
                if (!code) return fail("--rate takes 115200, 57600, 38400, 19200 or 9600");
                o.rateCode = *code;
            } else if (a == "--format") {
                if (*v == "csv") o.format = OutputFormat::Csv;
                else if (*v == "jsonl" || *v == "json") o.format = OutputFormat::JsonLines;
                else return fail("--format takes csv or jsonl");
            } else if (a == "--encoding") {
                if (*v == "utf8" || *v == "utf-8") o.encoding = Encoding::Utf8;
                else if (*v == "cp1251" || *v == "windows-1251") o.encoding = Encoding::Cp1251;
                else return fail("--encoding takes utf8 or cp1251");
            } else if (a == "--separator") {
                auto c = SingleCharacter(*v);
                if (!c || *c == '"' || *c == '\r' || *c == '\n') return fail("--separator takes one character");
                o.separator = *c;
            } else if (a == "--decimal") {
                if (*v != "." && *v != ",") return fail("--decimal takes . or ,");
                o.decimal = (*v)[0];
            }
        } else if (a == "--cable" || a == "--cradle") {
            const int type = a == "--cable" ? 1 : 0;
            if (o.connType && *o.connType != type) return fail("--cable and --cradle exclude each other");
            o.connType = type;
        } else if (a == "--header") o.header = true;
        else if (a == "--step") o.step = true;
        else if (a == "--clear-after") o.clearAfter = true;
        else if (a == "--full") o.full = true;
        else if (a == "--append") o.full = false;
        else if (a == "--skip-bad") o.skipBad = true;
        else if (a == "--allow-empty-table")
            o.allowEmptyTable = true;
        else if (a == "--allow-incomplete-table")
            o.allowIncompleteTable = true;
        else if (a == "--yes" || a == "-y") o.yes = true;
        else if (a == "--local") o.local = true;
        else if (a.size() > 1 && a[0] == '-' && a != "-") return fail("unknown option " + a);
        else if (o.command.empty()) o.command = a;
        else o.arguments.push_back(a);
    }
    if (o.command.empty() && !o.help && !o.version) return fail("no command given");
    if (auto problem = WordsProblem(o)) return fail(*problem + "; nothing was done");
    if (o.format == OutputFormat::JsonLines && o.encoding == Encoding::Cp1251)
        return fail("JSON Lines are UTF-8; --encoding cp1251 applies to CSV only");
    return o;
}

}  // namespace dcthost
