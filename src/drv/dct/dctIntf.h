// Types shared by the terminal drivers and their settings.
#pragma once

#include <cstdint>
#include <string>

namespace dct {

using AnsiString = std::string;

// One terminal's settings in memory, as read from or written to its section of DctDrv.ini.
struct TTermInfo {
    // Three texts that no operation of this library sets or reads; kept for the record's shape.
    AnsiString Text1, Text2, Text3;
    int32_t Port = 0;      // 1 = COM 1 ... 10 = COM 10
    int32_t Rate = 0;      // rate code: 1-based position in 115200, 57600, 38400, 19200, 9600
    int32_t ID = 0;        // terminal identifier; names the section when the record is written
    int32_t ConnType = 0;  // 0 = infrared cradle, 1 = cable

    void Clear() { *this = TTermInfo{}; }
};

// Result codes at the library's boundary.
namespace rc {
constexpr int32_t Ok = 0;
constexpr int32_t FiniFailed = -3;
constexpr int32_t InitFailed = -4;        // also: the terminal server's device is not usable
constexpr int32_t NotConfirmed = -5;      // also: fewer than two fields per received record
constexpr int32_t ServerFailure = -6;
constexpr int32_t NoSection = -7;
constexpr int32_t BadHandle = -9;
constexpr int32_t BufferTooSmall = 4;
}  // namespace rc

}  // namespace dct
