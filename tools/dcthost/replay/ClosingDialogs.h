// While it lives, a window that the calling thread activates is asked to close at once: a replay
// does not show the library's dialogs, it passes over them.
#pragma once

namespace dcthost::replay {

class ClosingDialogs {
public:
    ClosingDialogs();
    ~ClosingDialogs();
    ClosingDialogs(const ClosingDialogs&) = delete;
    ClosingDialogs& operator=(const ClosingDialogs&) = delete;

private:
    void* hook_ = nullptr;
};

}  // namespace dcthost::replay
