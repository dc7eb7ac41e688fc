// Holds a file open so that nobody else may open it meanwhile, as another process appending to it
// would: no sharing on Windows, the advisory lock that the library's own appends take elsewhere.
#pragma once

#include <filesystem>

namespace dct::test {

class ExclusiveFileHold {
public:
    explicit ExclusiveFileHold(const std::filesystem::path& path);  // creates the file if needed
    ~ExclusiveFileHold();
    ExclusiveFileHold(const ExclusiveFileHold&) = delete;
    ExclusiveFileHold& operator=(const ExclusiveFileHold&) = delete;

private:
    void* handle_;
};

}  // namespace dct::test
