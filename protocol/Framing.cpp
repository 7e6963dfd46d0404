// Outgoing frames: DLE STX, the length byte, the DLE-stuffed message, the stuffed checksum, DLE ETX.
#include "protocol/Framing.h"

#include <array>
#include <cstddef>

namespace
{
constexpr std::uint8_t kDle = 0x10;
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;
// The length byte counts itself and the checksum: at most 253 bytes of id and data fit.
constexpr std::size_t kMaxMessage = 253;

std::uint8_t Checksum(std::span<const std::uint8_t> message)
{
    std::uint8_t sum = 0;
    for (const std::uint8_t b : message)
        sum = static_cast<std::uint8_t>(sum + b);
    return sum;
}

void AppendStuffed(std::vector<std::uint8_t>& out, std::uint8_t byte)
{
    out.push_back(byte);
    if (byte == kDle)
        out.push_back(kDle);
}
}  // namespace

void SendFramedPacket(IByteSink& port, std::span<const std::uint8_t> message)
{
    if (message.size() > kMaxMessage)
        return;  // cannot be described by the length byte: nothing is sent
    const std::array<std::uint8_t, 3> header{kDle, kStx, static_cast<std::uint8_t>(message.size() + 2)};
    port.Write(header);
    std::vector<std::uint8_t> body;
    body.reserve(message.size() * 2);
    for (const std::uint8_t b : message)
        AppendStuffed(body, b);
    port.Write(body);
    std::vector<std::uint8_t> trailer;
    AppendStuffed(trailer, Checksum(message));
    trailer.push_back(kDle);
    trailer.push_back(kEtx);
    port.Write(trailer);
}

std::vector<std::uint8_t> FramePacket(std::span<const std::uint8_t> message)
{
    std::vector<std::uint8_t> out;
    if (message.size() > kMaxMessage)
        return out;
    out.reserve(message.size() * 2 + 7);
    out.push_back(kDle);
    out.push_back(kStx);
    out.push_back(static_cast<std::uint8_t>(message.size() + 2));
    for (const std::uint8_t b : message)
        AppendStuffed(out, b);
    AppendStuffed(out, Checksum(message));
    out.push_back(kDle);
    out.push_back(kEtx);
    return out;
}
