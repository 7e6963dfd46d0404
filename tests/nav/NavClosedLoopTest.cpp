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
    // Carried forward along its velocity, the damped position keeps up with the receiver.
    const auto last = scenario.Next();
    RunEpoch(engine, last);
    EXPECT_LT(Distance({engine.solution.x, engine.solution.y, engine.solution.z}, last.truth), 1.0);
}

// Moving receivers, compared with the truth from 120 s after the first fix on.
TEST(NavClosedLoop, MovingReceiversAreFollowedWithinAMetre)
{
    struct Case
    {
        const char* name;
        Triple velocityEnu;
        std::size_t maxChannels;
    };
    const Case cases[] = {
        {"12, 5, 0.5 m/s", {12.0, 5.0, 0.5}, 12},
        {"north at 30 m/s", {0.0, 30.0, 0.0}, 12},
        {"south-west, climbing slowly", {-20.0, -20.0, 0.5}, 12},
        {"12, 5, 0.5 m/s on five channels", {12.0, 5.0, 0.5}, 5},
    };
    for (const Case& c : cases)
    {
        ScenarioConfig config;
        config.velocityEnu = c.velocityEnu;
        config.maxChannels = c.maxChannels;
        Scenario scenario(config);
        NavEngine engine;
        int firstFix = -1, compared = 0, unfixed = 0;
        double worst = 0.0;
        for (int k = 0; k < 420; ++k)
        {
            const auto epoch = scenario.Next();
            RunEpoch(engine, epoch);
            if (firstFix < 0 && engine.solution.fixMode == 2)
                firstFix = k;
            if (firstFix < 0 || k < firstFix + 120)
                continue;
            ++compared;
            if (engine.solution.fixMode != 2)
            {
                ++unfixed;
                continue;
            }
            worst = std::max(
                worst, Distance({engine.solution.x, engine.solution.y, engine.solution.z}, epoch.truth));
        }
        std::cout << "closed loop (" << c.name << "): worst " << worst
                  << " m from 120 s after the first fix\n";
        ASSERT_GE(firstFix, 0) << c.name;
        EXPECT_GT(compared, 200) << c.name;
        EXPECT_EQ(unfixed, 0) << c.name;
        EXPECT_LT(worst, 1.0) << c.name;
    }
}

// The static receiver's solution as the engine gave it before positions were carried forward
// along the velocity: the offset from the truth (m, ECEF) at every tenth epoch from 140 on. A
// static receiver's solved velocity is only noise, so carrying it may move the fix by millimetres
// per epoch, a few centimetres in all, and no more.
TEST(NavClosedLoop, StaticReceiverKeepsItsEarlierSolution)
{
    struct Recorded
    {
        int epoch;
        Triple offset;
    };
    constexpr Recorded kEarlier[] = {
        {140, {-0.0017, -0.0066, -0.0384}}, {150, {-0.0006, -0.0038, -0.0247}},
        {160, {-0.0007, -0.0069, -0.0374}}, {170, {-0.0015, -0.0079, -0.0405}},
        {180, {0.0007, -0.0031, -0.0228}},  {190, {0.0001, -0.0063, -0.0332}},
        {200, {0.0007, -0.0090, -0.0428}},  {210, {0.0012, -0.0031, -0.0209}},
        {220, {0.0021, -0.0056, -0.0295}},  {230, {0.0020, -0.0107, -0.0453}},
        {240, {0.0027, -0.0029, -0.0197}},  {250, {0.0026, -0.0053, -0.0262}},
        {260, {0.0046, -0.0098, -0.0403}},  {270, {0.0027, -0.0032, -0.0188}},
        {280, {0.0044, -0.0046, -0.0230}},  {290, {0.0055, -0.0093, -0.0357}},
        {300, {0.0043, -0.0031, -0.0179}},  {310, {0.0046, -0.0043, -0.0203}},
        {320, {0.0079, -0.0084, -0.0313}},  {330, {0.0047, -0.0035, -0.0173}},
        {340, {0.0062, -0.0037, -0.0178}},  {350, {0.0086, -0.0079, -0.0273}},
        {360, {0.0066, -0.0036, -0.0168}},  {370, {0.0062, -0.0035, -0.0156}},
        {380, {0.0106, -0.0070, -0.0236}},  {390, {0.0073, -0.0042, -0.0165}},
        {400, {0.0076, -0.0029, -0.0136}},  {410, {0.0109, -0.0067, -0.0202}},
    };
    Scenario scenario(ScenarioConfig{});
    NavEngine engine;
    double sum = 0.0;
    std::size_t next = 0;
    for (int k = 0; k <= kEarlier[std::size(kEarlier) - 1].epoch; ++k)
    {
        const auto epoch = scenario.Next();
        RunEpoch(engine, epoch);
        if (k != kEarlier[next].epoch)
            continue;
        ASSERT_EQ(engine.solution.fixMode, 2) << k;
        const Triple was{epoch.truth[0] + kEarlier[next].offset[0], epoch.truth[1] + kEarlier[next].offset[1],
                         epoch.truth[2] + kEarlier[next].offset[2]};
        const double change = Distance({engine.solution.x, engine.solution.y, engine.solution.z}, was);
        sum += change * change;
        ++next;
    }
    ASSERT_EQ(next, std::size(kEarlier));
    const double rms = std::sqrt(sum / static_cast<double>(next));
    std::cout << "static receiver: RMS change from the earlier solution " << rms << " m\n";
    EXPECT_LT(rms, 0.05);
}
}  // namespace
