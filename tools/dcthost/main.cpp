// dcthost: drives a data-collection terminal through the driver library from the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "platform/StdioFile.h"

int main(int argc, char** argv) {
    dct::platform::UseBinaryStandardStreams();
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = dcthost::ParseArguments(args, &error);
    if (!options) {
        std::fprintf(stderr, "dcthost: %s\n\n%s", error.c_str(), dcthost::kUsage);
        return dcthost::exitcode::Usage;
    }
    if (options->version) {
        std::fputs("dcthost " DCT_VERSION "\n", stdout);
        return dcthost::exitcode::Ok;
    }
    if (options->help) {
        std::fputs(dcthost::kUsage, stdout);
        return dcthost::exitcode::Ok;
    }
    return dcthost::RunCommand(*options);
}
