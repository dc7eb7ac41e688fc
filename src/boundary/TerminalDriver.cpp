#include "boundary/TerminalDriver.h"

#include "base/SysUtils.h"
#include "boundary/DctInstance.h"
#include "drv/dct/drivers/opticon_zebex/UDrvIni.h"
#include "lib/commutil.h"
#include "lib/parmstr.h"

namespace dct {

std::optional<AnsiString> TerminalParameters(int32_t number, const AnsiString& directory, platform::Env& env) {
    // The list of every terminal's section (GetTermCount) is not built here: nothing reads it, and on
    // a station with many terminals it cost more than the rest of DctInit together.
    TDrvIni ini(ConstructFileName(directory, kSettingsFileName), env);
    if (!ini.DctExist(number)) return std::nullopt;
    TTermInfo info;
    ini.GetTermInfoByID(number, info);
    TParametersString parameters;
    parameters.AddParam("COM", IntToStr(info.Port));
    parameters.AddParam("BAUD", IntToStr(info.Rate));
    parameters.AddParam("CT", IntToStr(info.ConnType));
    parameters.AddParam("FT", "1");
    parameters.AddParam("FN", "1");
    parameters.AddParam("DF", directory);
    return parameters.Text();
}

int32_t OpenTerminal(int32_t number, const AnsiString& directory, TDctDriverFuncs** funcs, DctHandle* handle,
                     platform::Env& env) {
    const std::optional<AnsiString> parameters = TerminalParameters(number, directory, env);
    if (!parameters) return rc::NoSection;
    // The table is the host's before the driver is made: a host that gets -4 from a failed creation
    // gives it back with DctFini, so it must hold the table then, not whatever the variable held.
    *funcs = NewDriverFuncs(number);
    auto instance = std::make_unique<DctInstance>(TDctDriver::CreateConcreteDriver(*parameters, env));
    *handle = instance.release();
    return rc::Ok;
}

}  // namespace dct
