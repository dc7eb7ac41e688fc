// Appending a block of bytes to a file that other processes may share.
#pragma once

#include <string>
#include <string_view>

namespace dct::platform {

enum class AppendShare {
    None,      // exclusive: nobody else may open the file meanwhile (the driver log)
    ReadOnly,  // others may read but not write (the trace files)
};

enum class AppendStatus { Ok, CannotCreate, CannotOpen, CannotWrite };

struct AppendResult {
    AppendStatus Status = AppendStatus::Ok;
    unsigned long SystemError = 0;  // the platform's error code when Status is not Ok
    // Someone else holds the file (a sharing or lock violation), also while creating it: trying
    // again shortly may succeed.
    bool Busy = false;
};

// Creates the file when it does not exist, opens it with the given sharing, positions at its end,
// writes the bytes, closes it. An existing file is never truncated.
AppendResult AppendToFile(const std::string& path, std::string_view bytes, AppendShare share);

bool FileExists(const std::string& path);

// Absolute form of a path (relative paths against the current directory).
std::string ExpandFileName(const std::string& path);

// The platform's text for an error code, in the ANSI code page, without a trailing line break.
std::string SystemErrorMessage(unsigned long code);

}  // namespace dct::platform
