// A raw receiver byte stream from the closed-loop scenario: per epoch the subframes, the channel
// measurements (id 12) and the measurement message (id 8), framed as the receiver sends them.
#pragma once

#include <vector>

#include "NavScenario.h"
#include "NavWire.h"

namespace navtest
{
inline void AppendEpochBytes(std::vector<std::uint8_t>& out, const ScenarioEpoch& epoch)
{
    auto append = [&out](const std::vector<std::uint8_t>& frame)
    { out.insert(out.end(), frame.begin(), frame.end()); };
    for (const SubframeRecord& sf : epoch.subframes)
        append(SubframeFrame(sf));
    append(SatDataFrame(epoch.satData, epoch.satData.count));
    append(MeasFrame(epoch.meas, kChannelCount));
}

inline std::vector<std::uint8_t> ScenarioStream(Scenario& scenario, int epochs,
                                                std::vector<Triple>* truth = nullptr)
{
    std::vector<std::uint8_t> bytes;
    for (int k = 0; k < epochs; ++k)
    {
        const ScenarioEpoch epoch = scenario.Next();
        AppendEpochBytes(bytes, epoch);
        if (truth != nullptr)
            truth->push_back(epoch.truth);
    }
    return bytes;
}
}  // namespace navtest
