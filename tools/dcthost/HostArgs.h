// The command line of dcthost: `dcthost COMMAND [ARGUMENTS] [OPTIONS]`, options anywhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "HostText.h"

namespace dcthost {

enum class OutputFormat { Csv, JsonLines };

struct Options {
    std::string command;
    std::vector<std::string> arguments;  // words after the command that are not options

    std::optional<std::string> settings;  // --settings DIR
    int terminal = 1;                     // --terminal N
    bool terminalGiven = false;
    std::optional<std::string> library;   // --library FILE
    std::optional<std::string> device;    // --device DIR: the simulator's folder

    // configure
    std::optional<int> port;      // --port 1..10
    std::optional<int> rateCode;  // --rate BPS, kept as its code 1..5
    std::optional<int> connType;  // --cable 1, --cradle 0

    // read / write
    std::optional<std::string> out;  // --out FILE
    std::optional<std::string> in;   // --in FILE (or the first argument)
    OutputFormat format = OutputFormat::Csv;
    Encoding encoding = Encoding::Utf8;
    char separator = ';';
    std::optional<char> decimal;  // --decimal . or ,  (default: the locale's)
    bool header = false;
    bool step = false;
    bool clearAfter = false;
    bool full = false;
    bool skipBad = false;
    bool allowEmptyTable = false;       // write --full: replace the terminal's table with none
    bool allowIncompleteTable = false;  // write --full --skip-bad: replace it without the bad rows
    bool yes = false;
    bool local = false;  // sim register: the local server TermSimServer.exe, not TermSim.dll
    bool help = false;
    bool version = false;  // --version

    // record / replay
    std::optional<int> hours;       // record on --hours N
    std::optional<int64_t> until;   // replay --until SEQ
};

// The rate code for a rate in bits per second (115200 -> 1 ... 9600 -> 5), nullopt for others.
std::optional<int> RateCodeOf(int bitsPerSecond);
// The rate for a code, 0 for a code outside 1..5.
int RateOf(int code);

// Parses argv[1..]; nullopt with *error set for a command line that cannot be right.
std::optional<Options> ParseArguments(const std::vector<std::string>& args, std::string* error);

extern const char kUsage[];

}  // namespace dcthost
