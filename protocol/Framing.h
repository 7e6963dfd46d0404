// Outgoing frames: DLE STX, length, stuffed content, checksum, DLE ETX.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Where framed bytes go: the serial port implements it; tests and the simulator collect bytes.
class IByteSink
{
public:
    virtual ~IByteSink() = default;
    // Writes all of `bytes` (a serial port returns only when they have left its buffer). Result 1.
    virtual int Write(std::span<const std::uint8_t> bytes) = 0;
};

// Frames n bytes of message id plus data and sends them in three writes: header (DLE, STX, n + 2),
// the stuffed body, and the trailer (stuffed checksum, DLE, ETX).
void SendFramedPacket(IByteSink& port, std::span<const std::uint8_t> message);

// The same frame as one byte vector (for the simulator, the tests and the benchmarks).
std::vector<std::uint8_t> FramePacket(std::span<const std::uint8_t> message);
