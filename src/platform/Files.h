// Small facts about files and folders, and the system's texts for its error codes.
#pragma once

#include <string>
#include <vector>

namespace dct::platform {

bool FileExists(const std::string& path);

// True when the path names an existing folder.
bool FolderExists(const std::string& path);

// Absolute form of a path (relative paths against the current directory).
std::string ExpandFileName(const std::string& path);

// The names (without folder) of the files directly in a folder, in no particular order; none when
// it cannot be read.
std::vector<std::string> FileNamesIn(const std::string& folder);

// Deletes a file; false when it could not be deleted.
bool RemoveFile(const std::string& path);

// True when a file can be created in the folder, which the probe file `probeName` (created there and
// removed again) shows; false with the system's reason (SystemErrorReason) when not.
bool CanCreateFileIn(const std::string& folder, const std::string& probeName, std::string* reason);

// Gives a file another name, replacing a file of that name at once and writing the change through;
// false with the system's reason when it cannot.
bool MoveFileReplacing(const std::string& from, const std::string& to, std::string* reason);

// The platform's text for an error code, in the ANSI code page, without a trailing line break.
std::string SystemErrorMessage(unsigned long code);
// The reason for a person reading a failure: on Windows that text with the code after it ("Access is
// denied (error 5)", or "error 5" alone where the system has no text), since the text alone is often
// too general to act on; elsewhere the text alone.
std::string SystemErrorReason(unsigned long code);

}  // namespace dct::platform
