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

// The platform's text for an error code, in the ANSI code page, without a trailing line break.
std::string SystemErrorMessage(unsigned long code);

}  // namespace dct::platform
