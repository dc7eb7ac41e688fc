#include "boundary/TerminalDriver.h"

#include "base/SysUtils.h"
#include "boundary/DctInstance.h"
#include "boundary/RecordingServer.h"
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
                     platform::Env& env, recording::Recording* recording) {
    const std::optional<AnsiString> parameters = TerminalParameters(number, directory, env);
    if (!parameters) return rc::NoSection;
    // The table is the host's before the driver is made: a host that gets -4 from a failed creation
    // gives it back with DctFini, so it must hold the table then, not whatever the variable held.
    *funcs = NewDriverFuncs(number);
    auto instance = std::make_unique<DctInstance>();
    platform::Env* driverEnv = &env;
    if (recording) {
        instance->Recorder = recording;
        instance->RecordedAs = recording->NewInstance();
        instance->RecordingEnv = std::make_unique<recording::RecordingEnv>(env, *recording, instance->RecordedAs);
        driverEnv = instance->RecordingEnv.get();
    }
    instance->Driver = TDctDriver::CreateConcreteDriver(*parameters, *driverEnv);
    *handle = instance.release();
    return rc::Ok;
}

std::vector<std::pair<AnsiString, AnsiString>> TerminalSection(int32_t number, const AnsiString& directory,
                                                               platform::Env& env) {
    const AnsiString file = ConstructFileName(directory, kSettingsFileName), section = IntToStr(number);
    std::vector<std::pair<AnsiString, AnsiString>> entries;
    for (const AnsiString& key : env.ProfileKeyNames(file, section))
        entries.emplace_back(key, env.ProfileReadString(file, section, key, ""));
    return entries;
}

}  // namespace dct
