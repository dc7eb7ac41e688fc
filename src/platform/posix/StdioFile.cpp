#include "platform/StdioFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/NativePath.h"

namespace dct::platform {

UniqueFile OpenFile(const std::string& path, const char* mode) {
    return UniqueFile(std::fopen(NativePath(path).c_str(), mode));
}

bool FlushToDiskAndClose(UniqueFile file, std::string* reason) {
    bool ok = std::fflush(file.get()) == 0 && ::fsync(::fileno(file.get())) == 0;
    if (!ok && reason) *reason = std::strerror(errno);
    if (!file.Close() && ok) {
        ok = false;
        if (reason) *reason = std::strerror(errno);
    }
    return ok;
}

// The C library writes bytes as they are.
void UseBinaryStandardStreams() {}

bool IsTerminal(FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

}  // namespace dct::platform
