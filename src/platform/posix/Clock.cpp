#include "platform/Clock.h"

#include <sys/time.h>

#include <ctime>

namespace dct::platform {
namespace {
std::function<LocalTime()>& Override() {
    static std::function<LocalTime()> clock;
    return clock;
}
}  // namespace

LocalTime LocalNow() {
    if (Override()) return Override()();
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm tm{};
    localtime_r(&tv.tv_sec, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
            static_cast<int>(tv.tv_usec / 1000)};
}

void OverrideClock(std::function<LocalTime()> clock) { Override() = std::move(clock); }

}  // namespace dct::platform
