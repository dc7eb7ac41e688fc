#include <windows.h>

#include <thread>

#include "platform/DefaultEnv.h"

namespace dct::platform {

LocalTime DefaultEnv::LocalNow() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

std::chrono::steady_clock::time_point DefaultEnv::MonotonicNow() { return std::chrono::steady_clock::now(); }

void DefaultEnv::SleepFor(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

}  // namespace dct::platform
