#include "boundary/TerminalDriver.h"

#include "base/SysUtils.h"
#include "boundary/DctInstance.h"
#include "boundary/Recording.h"
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

int32_t InitTerminal(int32_t number, const char* directory, TDctDriverFuncs** funcs, DctHandle* handle,
                     platform::Env& env) {
    recording::Recording* recording = nullptr;
    try {
        recording = recording::Recording::ForNewTerminal(env);
    } catch (...) {
        // Not recorded: the terminal opens all the same.
    }
    const AnsiString folder = directory ? AnsiString(directory) : AnsiString();
    int32_t result;
    try {
        result = OpenTerminal(number, folder, funcs, handle, env, recording);
    } catch (...) {
        *handle = nullptr;
        result = rc::InitFailed;
    }
    try {
        recording::HostCall(recording, *handle ? (*handle)->RecordedAs : 0, "DctInit", [&](JsonWriter& json) {
            WriteTerminalCall(json, number, directory, result, true, env);
        });
    } catch (...) {
    }
    return result;
}

void WriteTerminalCall(JsonWriter& json, int32_t number, const char* directory, int32_t result, bool section,
                       platform::Env& env) {
    json.Key("args").BeginObject().Key("number").Int(number).Key("directory");
    if (directory)
        json.Bytes(directory);
    else
        json.Null();
    json.EndObject().Key("result").Int(result);
    if (!section) return;
    json.Key("section").BeginArray();
    for (const auto& [key, value] : TerminalSection(number, directory ? directory : "", env))
        json.BeginArray().Bytes(key).Bytes(value).EndArray();
    json.EndArray();
}

}  // namespace dct
