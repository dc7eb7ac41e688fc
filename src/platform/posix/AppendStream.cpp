#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/DefaultEnv.h"
#include "platform/posix/NativePath.h"
#include "platform/posix/UniqueFd.h"

namespace dct::platform {
namespace {

class FileAppendStream final : public AppendStream {
public:
    explicit FileAppendStream(UniqueFd fd) : fd_(std::move(fd)) {}
    bool Append(std::string_view bytes) override {
        const char* p = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(fd_.get(), p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            p += n, left -= static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    UniqueFd fd_;
};

}  // namespace

std::unique_ptr<AppendStream> DefaultEnv::OpenAppendStream(const std::string& path) {
    UniqueFd fd(::open(NativePath(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!fd) return nullptr;
    return std::make_unique<FileAppendStream>(std::move(fd));
}

}  // namespace dct::platform
