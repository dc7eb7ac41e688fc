#include "Commands.h"

#include <exception>

#include "HostText.h"
#include "base/Exceptions.h"
#include "commands/Common.h"
#include "commands/Subcommands.h"
#include "replay/RecordCommands.h"

namespace dcthost {

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
