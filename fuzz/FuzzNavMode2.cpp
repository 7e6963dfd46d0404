// libFuzzer target: a fresh mode-2 record set and a fresh navigation engine fed arbitrary bytes in
// chunks of 1..80 bytes drawn from the input. Inputs are raw receiver streams (framed subframe,
// channel-measurement and measurement messages; seeds in fuzz/seeds). Whatever arrives, the
// engine's state and the own records stay finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "FuzzSupport.h"
#include "nav/NavEngine.h"
#include "protocol/CData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    ProcessNavEngine() = NavEngine{};
    auto set = std::make_unique<CData>();
    fuzz::ChunkSizes sizes(bytes);
    std::string diagnostic;
    std::size_t offset = 0;
    while (offset < size)
    {
        const std::size_t n = std::min(sizes.Next(), size - offset);
        ChunkRef ref{data + offset, n};
        offset += n;
        while (ref.position != nullptr)
        {
            if (set->BuildBinaryDataPacket(ref, diagnostic, 0, kImportNavigation) != kImportNavEpoch)
                continue;
            const NavSolution& s = ProcessNavEngine().solution;
            fuzz::Require(std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z));
            fuzz::Require(std::isfinite(s.clockBias) && std::isfinite(s.timeOfWeek));
            fuzz::Require(set->dop.mode <= 3);
        }
    }
    return 0;
}
