// A broken-down local wall-clock time, to the millisecond.
#pragma once

namespace dct {

struct LocalTime {
    int Year = 0, Month = 0, Day = 0;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

}  // namespace dct
