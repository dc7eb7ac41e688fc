#include "boundary/TerminalDriver.h"

#include "base/SysUtils.h"
#include "drv/dct/drivers/opticon_zebex/UDrvIni.h"
#include "lib/commutil.h"
#include "lib/parmstr.h"

namespace dct {

std::unique_ptr<TDctDriver> CreateTerminalDriver(int32_t number, const AnsiString& directory, platform::Env& env) {
    // The list of every terminal's section (GetTermCount) is not built here: nothing reads it, and on
    // a station with many terminals it cost more than the rest of DctInit together.
    TDrvIni ini(ConstructFileName(directory, kSettingsFileName), env);
    if (!ini.DctExist(number)) return nullptr;
    TTermInfo info;
    ini.GetTermInfoByID(number, info);
    TParametersString parameters;
    parameters.AddParam("COM", IntToStr(info.Port));
    parameters.AddParam("BAUD", IntToStr(info.Rate));
    parameters.AddParam("CT", IntToStr(info.ConnType));
    parameters.AddParam("FT", "1");
    parameters.AddParam("FN", "1");
    parameters.AddParam("DF", directory);
    return TDctDriver::CreateConcreteDriver(parameters.Text(), env);
}

}  // namespace dct
