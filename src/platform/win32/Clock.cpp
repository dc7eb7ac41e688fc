#include "platform/Clock.h"

#include <windows.h>

namespace dct::platform {
namespace {
std::function<LocalTime()>& Override() {
    static std::function<LocalTime()> clock;
    return clock;
}
}  // namespace

LocalTime LocalNow() {
    if (Override()) return Override()();
    SYSTEMTIME st;
    GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

void OverrideClock(std::function<LocalTime()> clock) { Override() = std::move(clock); }

}  // namespace dct::platform
