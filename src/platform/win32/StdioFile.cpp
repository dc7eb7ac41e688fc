#include "platform/StdioFile.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/Files.h"

namespace dct::platform {

UniqueFile OpenFile(const std::string& path, const char* mode) {
    return UniqueFile(std::fopen(path.c_str(), mode));
}

bool FlushToDiskAndClose(UniqueFile file, std::string* reason) {
    bool ok = std::fflush(file.get()) == 0;
    if (ok && _commit(_fileno(file.get())) != 0) ok = false;
    if (!ok && reason) *reason = SystemErrorReason(GetLastError());
    if (!file.Close() && ok) {
        ok = false;
        if (reason) *reason = "closing the file failed";
    }
    return ok;
}

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

bool IsTerminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }

}  // namespace dct::platform
