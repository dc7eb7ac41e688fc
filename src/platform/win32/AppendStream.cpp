#include <windows.h>

#include "platform/DefaultEnv.h"
#include "platform/win32/Handle.h"

namespace dct::platform {
namespace {

class FileAppendStream final : public AppendStream {
public:
    explicit FileAppendStream(UniqueHandle file) : file_(std::move(file)) {}
    bool Append(std::string_view bytes) override {
        DWORD written = 0;
        return bytes.empty() || (WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                           nullptr) &&
                                 written == bytes.size());
    }

private:
    UniqueHandle file_;
};

}  // namespace

std::unique_ptr<AppendStream> DefaultEnv::OpenAppendStream(const std::string& path) {
    // Append access alone: every write lands at the end, whoever else has the file open for reading.
    UniqueHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    return std::make_unique<FileAppendStream>(std::move(file));
}

}  // namespace dct::platform
