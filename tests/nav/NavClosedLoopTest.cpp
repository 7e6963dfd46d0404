// Closed loop: a synthetic receiver at a known place, broadcast subframes and raw measurements in,
// the engine's own fix out; it must converge to the truth and stay there.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

#include "NavScenario.h"

namespace
{
using navtest::Distance;
using navtest::RunEpoch;
using navtest::Scenario;
using navtest::ScenarioConfig;

struct LoopFigures
{
    int firstFix = -1;
    double rms3d = 0.0;
    double worst = 0.0;
    int unfixedAfterConvergence = 0;
};

LoopFigures RunLoop(const ScenarioConfig& config, int epochs, int settle)
{
    Scenario scenario(config);
    NavEngine engine;
    LoopFigures f;
    double sum = 0.0;
    int n = 0;
    for (int k = 0; k < epochs; ++k)
    {
        const auto epoch = scenario.Next();
        RunEpoch(engine, epoch);
        if (f.firstFix < 0 && engine.solution.fixMode == 2)
            f.firstFix = k;
        if (k < settle)
            continue;
        if (engine.solution.fixMode != 2)
            ++f.unfixedAfterConvergence;
        const double err = Distance({engine.solution.x, engine.solution.y, engine.solution.z}, epoch.truth);
        sum += err * err;
        ++n;
        f.worst = std::max(f.worst, err);
    }
    f.rms3d = n > 0 ? std::sqrt(sum / n) : 0.0;
    return f;
}

TEST(NavClosedLoop, ConvergesFromTheDefaultPositionToWithinAMetre)
{
    ScenarioConfig config;
    Scenario probe(config);
    ASSERT_GE(probe.Tracked().size(), 6U);
    const LoopFigures f = RunLoop(config, 420, 240);
    std::cout << "closed loop (static, " << probe.Tracked().size() << " satellites): first fix at epoch "
              << f.firstFix << ", 3D RMS " << f.rms3d << " m, worst " << f.worst << " m after epoch 240\n";
    EXPECT_GE(f.firstFix, 0);
    EXPECT_LT(f.firstFix, 40);
    EXPECT_EQ(f.unfixedAfterConvergence, 0);
    EXPECT_LT(f.worst, 1.0);
}

TEST(NavClosedLoop, FourSatellitesElsewhereAlsoConverge)
{
    ScenarioConfig config;
    config.latitude = -0.6;
    config.longitude = -1.2;
    config.height = 20.0;
    config.maxChannels = 4;
    const LoopFigures f = RunLoop(config, 420, 240);
    std::cout << "closed loop (static, 4 satellites): 3D RMS " << f.rms3d << " m, worst " << f.worst << " m, "
              << f.unfixedAfterConvergence << " epochs unfixed\n";
    // A channel-plan rearrangement restarts the continuity count of the slots it changes; with only
    // four channels that can cost a few epochs, never more than one restart's worth per 30 s.
    EXPECT_LE(f.unfixedAfterConvergence, 4 * (180 / 30));
    EXPECT_LT(f.worst, 1.0);
}

TEST(NavClosedLoop, WestboundReceiverHasHeading270)
{
    ScenarioConfig config;
    config.velocityEnu = {-10.0, 0.0, 0.0};
    Scenario scenario(config);
    NavEngine engine;
    for (int k = 0; k < 120; ++k)
        RunEpoch(engine, scenario.Next());
    ASSERT_EQ(engine.solution.fixMode, 2);
    EXPECT_NEAR(engine.solution.heading, 270.0, 0.2);
    EXPECT_NEAR(engine.solution.speed, 10.0, 0.05);
    EXPECT_NEAR(engine.solution.verticalVelocity, 0.0, 0.05);
    // The damped position trails a moving receiver (7 steps of motion at one eighth gain).
    const auto last = scenario.Next();
    RunEpoch(engine, last);
    EXPECT_LT(Distance({engine.solution.x, engine.solution.y, engine.solution.z}, last.truth), 100.0);
}
}  // namespace
