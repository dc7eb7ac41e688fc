// Files and standard streams of the C runtime: the owner of an open FILE, and what the runtimes of
// the platforms do differently with them (per platform in win32/StdioFile.cpp, posix/StdioFile.cpp).
#pragma once

#include <cstdio>
#include <string>
#include <utility>

namespace dct::platform {

// One open FILE, closed when it goes or is replaced.
class UniqueFile {
public:
    UniqueFile() = default;
    explicit UniqueFile(FILE* file) : file_(file) {}
    UniqueFile(UniqueFile&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}
    UniqueFile& operator=(UniqueFile&& other) noexcept {
        if (this != &other) {
            Close();
            file_ = std::exchange(other.file_, nullptr);
        }
        return *this;
    }
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;
    ~UniqueFile() { Close(); }

    FILE* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }
    // Closes the file now; false when closing failed (what was still buffered may be lost) or none
    // was open.
    bool Close() {
        FILE* file = std::exchange(file_, nullptr);
        return file && std::fclose(file) == 0;
    }

private:
    FILE* file_ = nullptr;
};

// Opens a file by its 8-bit name (the ANSI code page on win32), as fopen does; empty on failure,
// with errno set.
UniqueFile OpenFile(const std::string& path, const char* mode);

// Writes what the stream holds through to the disk and closes it; false with the reason if any of
// that failed (the file is closed all the same).
bool FlushToDiskAndClose(UniqueFile file, std::string* reason);

// Standard output and error carry bytes as they are written: no line-end translation.
void UseBinaryStandardStreams();
// True when the stream is a terminal (a console) rather than a file or a pipe.
bool IsTerminal(FILE* stream);

}  // namespace dct::platform
