#include <sys/time.h>

#include <ctime>
#include <thread>

#include "platform/DefaultEnv.h"

namespace dct::platform {

LocalTime DefaultEnv::LocalNow() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm tm{};
    localtime_r(&tv.tv_sec, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
            static_cast<int>(tv.tv_usec / 1000)};
}

std::chrono::steady_clock::time_point DefaultEnv::MonotonicNow() { return std::chrono::steady_clock::now(); }

void DefaultEnv::SleepFor(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

}  // namespace dct::platform
