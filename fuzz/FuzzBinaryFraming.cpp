// Fuzzes the binary frame extractor and the decoders: the input is a received byte stream. It goes
// through a fresh record set one byte per read, then through another in reads of 1..80 bytes; both
// must import the same packets, and every call must consume what it reports.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "FuzzSupport.h"

namespace
{
struct Imported
{
    int result;
    std::uint8_t id;
    bool operator==(const Imported&) const = default;
};

void Feed(CData& set, std::span<const std::uint8_t> chunk, int importMode, std::vector<Imported>& out)
{
    ChunkRef ref{chunk.data(), chunk.size()};
    std::string diagnostic;
    while (ref.position != nullptr)
    {
        const std::size_t before = ref.count;
        const std::uint8_t* const at = ref.position;
        const int result = set.BuildBinaryDataPacket(ref, diagnostic, 0, importMode);
        // Progress on every call, and the position and count agree.
        fuzz::Require(ref.count < before);
        fuzz::Require(ref.position == nullptr ? ref.count == 0 : ref.position == at + (before - ref.count));
        fuzz::Require(result >= 0 && result <= 2);
        if (result != 0)
        {
            out.push_back({result, set.currentId});
            if (vrn::IPortLog* log = vrn::PortLog())
                log->WriteRecord(set, 0);
        }
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::RenderingLog log;
    vrn::SetPortLog(&log);
    const std::span<const std::uint8_t> input(data, size);
    const int importMode = size > 0 && (data[0] & 0x80) != 0 ? kImportNavigation : kImportReceiver;

    CData byByte;
    std::vector<Imported> first;
    for (std::size_t i = 0; i < size; ++i)
        Feed(byByte, input.subspan(i, 1), importMode, first);

    CData byChunk;
    std::vector<Imported> second;
    fuzz::ChunkSizes sizes(input);
    for (std::size_t at = 0; at < size;)
    {
        const std::size_t n = std::min(sizes.Next(), size - at);
        Feed(byChunk, input.subspan(at, n), importMode, second);
        at += n;
    }
    fuzz::Require(first == second);
    const auto& c = byChunk.GetCounters();
    fuzz::Require(c.framesCompleted == c.packetsImported + c.rejectedLength + c.rejectedChecksum);
    return 0;
}
