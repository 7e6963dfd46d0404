// Fuzzes the NMEA sentence collector and import: the input is a received text stream. It goes
// through a fresh record set one byte per read, then through another in reads of 1..80 bytes, with
// the decoder error texts on for inputs whose first byte is odd. Every read must be consumed whole,
// every logged sentence stays within 255 characters, and every text slot stays terminated.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "FuzzSupport.h"

namespace
{
void Feed(CData& set, std::span<const std::uint8_t> chunk, int port)
{
    ChunkRef ref{chunk.data(), chunk.size()};
    std::string diagnostic;
    const int result = set.BuildNmeaSentence(ref, diagnostic, port);
    fuzz::Require(ref.position == nullptr && ref.count == 0);
    fuzz::Require(result == 0 || result == 1);
    fuzz::Require(diagnostic.empty() || vrn::DebugSwitch());
}

template <std::size_t N>
void CheckSlots(const std::array<NmeaSlot, N>& slots)
{
    for (const NmeaSlot& slot : slots)
        fuzz::Require(std::memchr(slot.data(), '\0', slot.size()) != nullptr);
}

void CheckRecords(const CData& set)
{
    CheckSlots(set.gga.fields);
    CheckSlots(set.gll.fields);
    CheckSlots(set.gsa.fields);
    CheckSlots(set.rmc.fields);
    CheckSlots(set.vtg.fields);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::RenderingLog log;
    vrn::SetPortLog(&log);
    const std::span<const std::uint8_t> input(data, size);
    vrn::SetDebugSwitch(size > 0 && (data[0] & 1) != 0);

    CData byByte;
    for (std::size_t i = 0; i < size; ++i)
        Feed(byByte, input.subspan(i, 1), 0);
    CheckRecords(byByte);

    CData byChunk;
    fuzz::ChunkSizes sizes(input);
    for (std::size_t at = 0; at < size;)
    {
        const std::size_t n = std::min(sizes.Next(), size - at);
        Feed(byChunk, input.subspan(at, n), 1);
        at += n;
    }
    CheckRecords(byChunk);

    // The import on its own takes any text the collector could hand it (up to 255 characters),
    // including bytes the collector would never store.
    CData direct;
    (void)direct.ImportNmeaSentence(
        std::string_view(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 255)), 0);
    CheckRecords(direct);
    vrn::SetDebugSwitch(false);
    return 0;
}
