#include "boundary/Recording.h"

#include <charconv>
#include <cstdio>

#include "base/SysUtils.h"
#include "lib/RecordingFiles.h"
#include "lib/RegSettings.h"
#include "lib/TraceFiles.h"
#include "lib/commutil.h"
#include "platform/Codepage.h"
#include "platform/Files.h"
#include "platform/ModuleInfo.h"

namespace dct::recording {
namespace {

// Leaves room for the line that says the file is full.
constexpr std::size_t kLastLineRoom = 256;

// Days since 1970-01-01 of a civil date.
long DayNumber(const LocalTime& t) {
    const long y = t.Year - (t.Month <= 2);
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yearOfEra = y - era * 400;
    const long dayOfYear = (153 * (t.Month + (t.Month > 2 ? -3 : 9)) + 2) / 5 + t.Day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool SameDay(const LocalTime& a, const LocalTime& b) { return a.Year == b.Year && a.Month == b.Month && a.Day == b.Day; }

std::string VersionText(const std::string& path) {
    const auto version = platform::ReadFileVersion(path);
    if (!version) return {};
    char text[48];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", version->MostSignificant >> 16, version->MostSignificant & 0xFFFF,
                  version->LeastSignificant >> 16, version->LeastSignificant & 0xFFFF);
    return text;
}

// The process's recording. Made on the first DctInit that finds the switch on; a recording that
// stopped (a file that could not be written) stays stopped for the life of the process.
platform::CriticalSection& ProcessLock() {
    static platform::CriticalSection* lock = new platform::CriticalSection;
    return *lock;
}
Recording* g_recording = nullptr;

// The library's unload closes the file (what is buffered is written first).
struct EndAtUnload {
    ~EndAtUnload() { Recording::EndProcess(); }
} g_endAtUnload;

}  // namespace

Recording* Recording::ForNewTerminal(platform::Env& env, std::size_t fileLimit) {
    const std::string until =
        ReadRegistryText(env, platform::RegistryRoot::CurrentUser, kRecordSwitchKey, kRecordSwitchValue, "");
    if (!WellFormedSwitchTime(until) || until <= SwitchTime(env.LocalNow())) return nullptr;
    platform::CriticalSectionGuard guard(ProcessLock());
    if (!g_recording) {
        g_recording = new Recording(env, fileLimit);
        g_recording->Start(until);
    } else {
        platform::CriticalSectionGuard own(g_recording->lock_);
        if (g_recording->writing_ && until > g_recording->until_) g_recording->until_ = until;
    }
    return g_recording->Writing() ? g_recording : nullptr;
}

Recording* Recording::Active() {
    Recording* recording = g_recording;
    return recording && recording->Writing() ? recording : nullptr;
}

void Recording::EndProcess() {
    platform::CriticalSectionGuard guard(ProcessLock());
    delete g_recording;
    g_recording = nullptr;
}

Recording::Recording(platform::Env& env, std::size_t fileLimit) : env_(env), fileLimit_(fileLimit) {}

Recording::~Recording() {
    platform::CriticalSectionGuard guard(lock_);
    if (writing_) WriteOut();
}

int Recording::NewInstance() {
    platform::CriticalSectionGuard guard(lock_);
    return ++instances_;
}

void Recording::Start(const std::string& until) {
    platform::CriticalSectionGuard guard(lock_);
    try {
        until_ = until;
        trace::TraceFiles files(env_);
        folder_ = files.Folder();
        module_ = files.ModuleName();
        library_ = ChangeFileExt(trace::ExtractFileName(module_), "");
        const LocalTime now = env_.LocalNow();
        DeleteOldRecordings(trace::ExtractFilePath(folder_), trace::ExtractFileName(folder_), now);
        began_ = env_.MonotonicNow();
        OpenFile();
    } catch (...) {
        Stop("cannot start");
    }
}

void Recording::OpenFile() {
    day_ = env_.LocalNow();
    path_ = folder_ + RecordingFileName(library_, day_, platform::CurrentProcessId());
    file_ = env_.OpenAppendStream(path_);
    if (!file_) return Stop("cannot create " + path_);
    writing_ = true;
    fileBytes_ = 0;
    // The header: what a replay needs to know of the library and of the user's settings in force.
    // Nothing that names the user or the machine.
    const auto stamp = platform::ReadFileStamp(module_);
    const FormatSettings& formats = env_.UserFormats();
    JsonWriter json(buffer_);
    json.BeginObject().Key("format").Text(kFormatName).Key("version").Int(kFormatVersion);
    json.Key("library").BeginObject().Key("file").Bytes(trace::ExtractFileName(module_));
    json.Key("version").Text(VersionText(module_)).Key("size").Int(stamp.Ok ? stamp.Stamp.Size : -1).EndObject();
    json.Key("code_page").Int(platform::AnsiCodePage());
    json.Key("decimal_separator").Bytes(std::string_view(&formats.DecimalSeparator, 1));
    json.Key("short_date").Bytes(formats.ShortDateFormat).Key("long_time").Bytes(formats.LongTimeFormat);
    json.Key("started").Text(SwitchTime(day_)).EndObject();
    buffer_.push_back('\n');
    WriteOut();
}

void Recording::Open(int instance, std::string_view side, std::string_view op) {
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(env_.MonotonicNow() - began_).count();
    char number[24];
    buffer_.append("{\"seq\":");
    buffer_.append(number, std::to_chars(number, number + sizeof number, ++sequence_).ptr);
    buffer_.append(",\"t\":");
    buffer_.append(number, std::to_chars(number, number + sizeof number, micros).ptr);
    buffer_.append(",\"inst\":");
    buffer_.append(number, std::to_chars(number, number + sizeof number, instance).ptr);
    buffer_.append(",\"side\":\"").append(side).append("\",\"op\":\"").append(op).push_back('"');
}

void Recording::Written(std::size_t lineStart) {
    if (fileBytes_ + buffer_.size() + kLastLineRoom > fileLimit_) {
        buffer_.resize(lineStart);
        Open(0, "recording", "limit");
        JsonWriter(buffer_, JsonWriter::InsideObject{}).Key("bytes").Int(static_cast<int64_t>(fileLimit_));
        buffer_.append("}\n");
        WriteOut();
        writing_ = false;
        file_.reset();
        return;
    }
    if (buffer_.size() >= kFlushAt) WriteOut();
}

void Recording::WriteOut() {
    if (buffer_.empty() || !file_) return;
    if (!file_->Append(buffer_)) return Stop("cannot write " + path_);
    fileBytes_ += buffer_.size();
    buffer_.clear();
}

void Recording::Flush() {
    platform::CriticalSectionGuard guard(lock_);
    if (!writing_) return;
    try {
        WriteOut();
        if (!writing_) return;
        // Whether the switch's time has passed or a new day begun changes at most once a second.
        const auto monotonic = env_.MonotonicNow();
        if (monotonic < nextDayCheck_) return;
        nextDayCheck_ = monotonic + std::chrono::seconds(1);
        const LocalTime now = env_.LocalNow();
        if (SwitchTime(now) >= until_) {
            Open(0, "recording", "off");
            JsonWriter(buffer_, JsonWriter::InsideObject{}).Key("until").Text(until_);
            buffer_.append("}\n");
            WriteOut();
            writing_ = false;
            file_.reset();
        } else if (!SameDay(now, day_)) {
            file_.reset();
            OpenFile();
        }
    } catch (...) {
        Stop("cannot write " + path_);
    }
}

void Recording::Stop(std::string_view why) {
    writing_ = false;
    file_.reset();
    buffer_.clear();
    if (!told_) env_.DebugOutput("DctDrv: recording stopped: " + std::string(why));
    told_ = true;
}

void Recording::DeleteOldRecordings(const std::string& folder, const std::string& prefix, const LocalTime& today) {
    const long todayNumber = DayNumber(today);
    for (const std::string& name : platform::FileNamesIn(folder)) {
        LocalTime date;
        if (name.size() <= prefix.size() || !StartsWithIgnoringAsciiCase(name, prefix))
            continue;
        if (!RecordingDate(std::string_view(name).substr(prefix.size()), library_, date)) continue;
        if (todayNumber - DayNumber(date) > kKeepDays) platform::RemoveFile(folder + name);
    }
}

}  // namespace dct::recording
