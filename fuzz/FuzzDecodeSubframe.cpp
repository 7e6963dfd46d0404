// libFuzzer target: arbitrary subframes (a PRN byte and ten words each) through DecodeSubframe, with
// a navigation epoch after every few so the look table and the plan see what was decoded.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "nav/NavEngine.h"

namespace
{
std::uint32_t Word(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t kRecord = 1 + 4 * 10;
    auto engine = std::make_unique<NavEngine>();
    MeasRecord meas;
    meas.timeOfWeek = 30000000;
    engine->SetEpochInputs(meas);
    engine->RunNavigationEpoch();
    std::size_t decoded = 0;
    for (std::size_t offset = 0; offset + kRecord <= size; offset += kRecord)
    {
        SubframeWords words{};
        for (std::size_t k = 0; k < words.size(); ++k)
            words[k] = Word(data + offset + 1 + 4 * k);
        engine->DecodeSubframe(static_cast<int>(data[offset] % 34), words);
        if (++decoded % 8 == 0)
        {
            meas.timeOfWeek += 3100 + static_cast<std::int32_t>(data[offset]);
            engine->SetEpochInputs(meas);
            engine->RunNavigationEpoch();
        }
    }
    return 0;
}
