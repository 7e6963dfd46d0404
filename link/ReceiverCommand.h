// The initialisation command (message id 128) that the feed document sends to a receiver: its
// fields from the receiver-initialisation settings and its 18 wire bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "protocol/Records.h"

namespace vrn
{
// Command codes of SendReceiverCommand: a baud code 0..3, or the code that takes the baud code
// from the port's configured rate.
inline constexpr int kCommandBaud4800 = 0;
inline constexpr int kCommandBaud9600 = 1;
inline constexpr int kCommandBaud19200 = 2;
inline constexpr int kCommandBaud38400 = 3;
inline constexpr int kCommandConfiguredBaud = 9;

inline constexpr std::uint8_t kInitCommandId = 0x80;

// The receiver-initialisation settings the command is made of (one receiver's section).
struct ReceiverInitFields
{
    std::int16_t x = 0;  // approximate latitude, 0.1 degree
    std::int16_t y = 0;  // approximate longitude, 0.1 degree
    std::int16_t z = 0;  // approximate altitude, m
    std::int32_t clock = 0;
    int useDosTime = 0;  // non-zero: week and time of week from the PC clock
    int weekNo = 0;
    std::int32_t tow = 0;  // seconds
    int resetMode = 0;     // 0 hot, 1 warm, 2 cold, 3 test start
    int protocol = 0;      // 0 NMEA, 1 binary, 2 test
    int enableGga = 0;
    int enableGll = 0;
    int enableGsa = 0;
    int enableGsv = 0;
    int enableRmc = 0;
    int enableVtg = 0;
    int enableChecksum = 0;
};

// Baud code of a configured baud text: "4800" 0, "9600" 1, "19200" 2, "38400" 3, anything else 0.
[[nodiscard]] std::uint8_t BaudCodeFromText(std::string_view text);

// The command record for `commandCode` (kCommandConfiguredBaud: baud code from `baudText`; 1..3:
// that code; any other value: 0). `pcSeconds` (PC clock, seconds since 1970 UTC) gives the full GPS
// week and time of week when the settings ask for the PC clock.
[[nodiscard]] InitCommandRecord BuildInitCommand(const ReceiverInitFields& init, std::string_view baudText,
                                                 int commandCode, std::int64_t pcSeconds);

// The 18 bytes of id plus data; 16- and 32-bit fields little-endian, byte-reversed when `swap`.
[[nodiscard]] std::array<std::uint8_t, kInitCommandSize> EncodeInitCommand(const InitCommandRecord& command,
                                                                           bool swap);
}  // namespace vrn
