// Local wall-clock time, replaceable by tests.
#pragma once

#include <functional>

namespace dct::platform {

struct LocalTime {
    int Year = 0, Month = 0, Day = 0;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

LocalTime LocalNow();

// Tests pin the clock with a function; an empty function restores the system clock.
void OverrideClock(std::function<LocalTime()> clock);

}  // namespace dct::platform
