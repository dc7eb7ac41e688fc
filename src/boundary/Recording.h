// A recording of what the library does at a station, for support to replay offline: both of its
// boundaries, every call the host makes and every call the driver makes to the terminal server, one
// JSON line per event (docs/recording.md has the format).
//
// A technician switches it on for the current user until a time (dcthost record on): the registry
// value RecordUntil under HKEY_CURRENT_USER\Software\Tarnworks\DctDrv, a local time
// "YYYY-MM-DD HH:MM:SS". DctInit reads that one value; when it holds a time still to come, the
// terminal it opens is recorded. The process writes one file a day into the trace folder. Nothing
// about a recording changes what any call returns: a file that cannot be written ends the
// recording, with one line on the debugger output.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "base/JsonWriter.h"
#include "base/LocalTime.h"
#include "lib/RecordingFiles.h"
#include "platform/CriticalSection.h"
#include "platform/Env.h"

namespace dct::recording {

inline constexpr char kFormatName[] = "dctdrv-recording";
inline constexpr int kFormatVersion = 1;
// A file ends with a line that says so once it would grow past this.
inline constexpr std::size_t kFileLimit = std::size_t(64) << 20;
// Recordings of this library older than this are deleted when a recording starts.
inline constexpr int kKeepDays = 14;
// The buffer goes to the file at the end of every host call, and sooner when it grows past this.
inline constexpr std::size_t kFlushAt = std::size_t(64) << 10;

class Recording {
public:
    // The recording for a terminal that DctInit opens now: the process's, started if need be, when
    // the switch holds a time still to come; null when it does not (then nothing else was read).
    // A recording started here keeps `env` and ends its files at `fileLimit` bytes.
    static Recording* ForNewTerminal(platform::Env& env, std::size_t fileLimit = kFileLimit);
    // The process's recording while it records, for calls that belong to no terminal; else null.
    static Recording* Active();
    // Ends the process's recording (the library's unload): what is buffered goes to the file.
    static void EndProcess();

    Recording(platform::Env& env, std::size_t fileLimit);
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    // A number for a terminal opened now: 1, 2, ... in the order of DctInit.
    int NewInstance();

    // One event: a line with the sequence number, the time since the recording began (µs), the
    // terminal's number (0 for none), the side ("host", "callback", "server") and the operation,
    // then whatever `fields` writes into the line's object.
    template <typename Fields>
    void Event(int instance, std::string_view side, std::string_view op, Fields&& fields) {
        platform::CriticalSectionGuard guard(lock_);
        if (!writing_) return;
        try {
            const std::size_t start = buffer_.size();
            Open(instance, side, op);
            JsonWriter json(buffer_, JsonWriter::InsideObject{});
            fields(json);
            buffer_.append("}\n");
            Written(start);
        } catch (...) {
            Stop("cannot record an event");
        }
    }
    // The end of a host call: the lines buffered go to the file, which a crash of the host then
    // keeps; a new day begins a new file, and a switch whose time has passed ends the recording.
    void Flush();

    bool Writing() const { return writing_; }
    const std::string& Path() const { return path_; }

private:
    void Start(const std::string& until);
    void OpenFile();
    // The line's opening and its first members; `side` and `op` are plain names.
    void Open(int instance, std::string_view side, std::string_view op);
    void Written(std::size_t lineStart);
    void WriteOut();
    void Stop(std::string_view why);
    void DeleteOldRecordings(const std::string& folder, const std::string& prefix, const LocalTime& today);

    platform::Env& env_;
    const std::size_t fileLimit_;
    platform::CriticalSection lock_;
    bool writing_ = false;
    bool told_ = false;  // the debugger output has been told that the recording stopped
    std::string until_;    // the switch's time, "YYYY-MM-DD HH:MM:SS"
    std::string folder_;   // the trace folder, with the computer's prefix where the trace file has one
    std::string module_;   // the library's file, for the header
    std::string library_;  // the library's file name, for the files' names
    std::string path_;
    LocalTime day_;        // the day of the file being written
    std::unique_ptr<platform::AppendStream> file_;
    std::string buffer_;
    std::size_t fileBytes_ = 0;  // written to the file so far
    int64_t sequence_ = 0;
    int instances_ = 0;
    std::chrono::steady_clock::time_point began_;
    std::chrono::steady_clock::time_point nextDayCheck_;  // the wall clock is looked at once a second
};

// The event of a host call, which ends the call: written, then what is buffered goes to the file.
// Nothing without a recording: a terminal that is not recorded costs this one test.
template <typename Fields>
void HostCall(Recording* recording, int instance, std::string_view op, Fields&& fields) {
    if (!recording) return;
    recording->Event(instance, "host", op, std::forward<Fields>(fields));
    recording->Flush();
}

}  // namespace dct::recording
