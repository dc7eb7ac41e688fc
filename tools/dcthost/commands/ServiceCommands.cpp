#include <cstdio>

#include "commands/Common.h"
#include "commands/Subcommands.h"
#include "platform/StdioFile.h"

namespace dcthost {

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

}  // namespace dcthost
