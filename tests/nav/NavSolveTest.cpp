// The least-squares step: matrix inversion, continuity screening, damping, altitude row, DOPs.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "NavScenario.h"

namespace
{
using navtest::RunEpoch;
using navtest::Scenario;
using navtest::ScenarioConfig;

TEST(InvertMatrix, IdentityPermutationRandomAndSingular)
{
    std::array<double, 16> identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    auto m = identity;
    ASSERT_EQ(InvertMatrix(4, m), 0);
    EXPECT_EQ(m, identity);

    std::array<double, 9> swap{0, 1, 0, 0, 0, 2, 4, 0, 0};
    ASSERT_EQ(InvertMatrix(3, swap), 0);
    EXPECT_EQ(swap, (std::array<double, 9>{0, 0, 0.25, 1, 0, 0, 0, 0.5, 0}));

    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-5.0, 5.0);
    for (int run = 0; run < 100; ++run)
    {
        std::array<double, 16> a{};
        for (double& v : a)
            v = u(rng);
        auto inv = a;
        if (InvertMatrix(4, inv) != 0)
            continue;
        for (std::size_t r = 0; r < 4; ++r)
            for (std::size_t c = 0; c < 4; ++c)
            {
                double sum = 0.0;
                for (std::size_t k = 0; k < 4; ++k)
                    sum += a[r * 4 + k] * inv[k * 4 + c];
                EXPECT_NEAR(sum, r == c ? 1.0 : 0.0, 1e-9) << run;
            }
    }

    std::array<double, 16> zeroRow{1, 2, 3, 4, 0, 0, 0, 0, 5, 6, 7, 8, 1, 0, 0, 1};
    EXPECT_EQ(InvertMatrix(4, zeroRow), 1);
    std::array<double, 4> tiny{1e-4, 0, 0, 1e-3};  // pivot product 1e-7
    EXPECT_EQ(InvertMatrix(2, tiny), 1);
}

// Runs the scenario until the engine has made `fixes` fixes (at most `limit` epochs).
void RunUntilFixes(NavEngine& engine, Scenario& scenario, int fixes, int limit = 200)
{
    for (int k = 0; k < limit && engine.solution.fixCounter < fixes; ++k)
        RunEpoch(engine, scenario.Next());
}

TEST(NavSolve, ExactlyOneSecondBetweenMeasurementsIsNeverUsed)
{
    ScenarioConfig config;
    config.step = 1.0;
    config.clockDrift = 0.0;
    Scenario scenario(config);
    NavEngine engine;
    for (int k = 0; k < 60; ++k)
        RunEpoch(engine, scenario.Next());
    EXPECT_EQ(engine.solution.timeKnown, 1);
    EXPECT_EQ(engine.solution.fixCounter, 0);
    for (const ChannelTrack& t : engine.tracks)
        EXPECT_EQ(t.goodCount, 0);
}

// The window is [0.9989, 0.9999] in single precision: 0.9988999962806702 .. 0.9998999834060669 s.
TEST(NavSolve, ContinuityWindowIsPinnedAtBothBounds)
{
    struct Case
    {
        double step;
        bool used;
    };
    const Case cases[] = {
        {0.9899, false},    {0.99889999, false}, {0.9989, true}, {0.9995, true},
        {0.99989998, true}, {0.9999, false},     {1.0, false},
    };
    for (const Case& c : cases)
    {
        ScenarioConfig config;
        config.step = c.step;
        config.clockDrift = 0.0;  // receiver time steps exactly as the true time
        Scenario scenario(config);
        NavEngine engine;
        for (int k = 0; k < 40; ++k)
            RunEpoch(engine, scenario.Next());
        ASSERT_EQ(engine.solution.timeKnown, 1) << c.step;
        EXPECT_EQ(engine.solution.fixCounter > 0, c.used) << "step " << c.step;
        EXPECT_EQ(engine.tracks[0].goodCount > 4, c.used) << "step " << c.step;
    }
}

TEST(NavSolve, ChannelsCountFourGoodEpochsBeforeUse)
{
    Scenario scenario(ScenarioConfig{});
    NavEngine engine;
    int firstUsed = -1, timeKnownAt = -1;
    for (int k = 0; k < 60 && firstUsed < 0; ++k)
    {
        RunEpoch(engine, scenario.Next());
        if (timeKnownAt < 0 && engine.solution.timeKnown == 1)
            timeKnownAt = k;
        if (engine.solution.satellitesUsed > 0)
            firstUsed = k;
    }
    ASSERT_GE(timeKnownAt, 0);
    // Continuity starts counting at the first epoch after the time is known; the count must exceed 3.
    EXPECT_GE(firstUsed, timeKnownAt + 4);
}

TEST(NavSolve, ThreeChannelsGiveAFixThroughTheAltitudeRow)
{
    ScenarioConfig config;
    config.maxChannels = 3;
    config.latitude = 0.4324106;
    config.longitude = 2.111892;
    config.height = 150.0;  // on the default position, so the altitude row holds the truth
    Scenario scenario(config);
    NavEngine engine;
    RunUntilFixes(engine, scenario, 10);
    ASSERT_GE(engine.solution.fixCounter, 10);
    EXPECT_EQ(engine.solution.fixMode, 2);
    EXPECT_EQ(engine.solution.satellitesUsed, 3);
    EXPECT_EQ(engine.solution.altitudeRow, 0);
    // G has a fourth column for the altitude row; a pure satellite solution leaves it empty.
    EXPECT_NE(engine.solution.g[0][3], 0.0);
    EXPECT_EQ(engine.solution.g[0][4], 0.0);
}

TEST(NavSolve, FourFullStepsThenOneEighth)
{
    Scenario scenario(ScenarioConfig{});
    NavEngine engine;
    RunUntilFixes(engine, scenario, 4);
    ASSERT_EQ(engine.solution.fixCounter, 4);
    // No velocity, so the damped engine carries nothing forward before its step.
    engine.solution.vx = engine.solution.vy = engine.solution.vz = 0.0;
    const auto epoch = scenario.Next();
    NavEngine damped = engine;
    NavEngine full = engine;
    full.solution.fixCounter = 0;
    RunEpoch(damped, epoch);
    RunEpoch(full, epoch);
    ASSERT_EQ(damped.solution.fixMode, 2);
    EXPECT_EQ(damped.solution.fixCounter, 5);
    const NavSolution& before = engine.solution;
    for (auto member : {&NavSolution::x, &NavSolution::y, &NavSolution::z, &NavSolution::clockBias})
    {
        const double fullStep = full.solution.*member - before.*member;
        EXPECT_NEAR(damped.solution.*member - before.*member, 0.125 * fullStep,
                    1e-6 + 1e-9 * std::fabs(fullStep));
    }
    // Velocity is never damped.
    EXPECT_NEAR(damped.solution.vx, full.solution.vx, 1e-9);
}

// Before its residuals, an epoch carries the position along the velocity over the time since the
// last accepted fix, when that time is above 0 and at most 10 s (a week rollover folded in). Each
// case's epoch has only two channels, so no step follows and the carry alone moves the position.
TEST(NavSolve, PositionIsCarriedForwardOverTheTimeSinceTheLastFix)
{
    struct Case
    {
        const char* name;
        double lastFix;  // relative to the epoch's measurement time, or absolute when `absolute`
        double epochTime;
        bool absolute;
        bool reset;
        double carried;  // seconds of velocity expected in the position
    };
    const Case cases[] = {
        {"one second", -1.0, 0.0, false, false, 1.0},
        {"ten seconds", -10.0, 0.0, false, false, 10.0},
        {"just past ten seconds", -10.001, 0.0, false, false, 0.0},
        {"eleven seconds", -11.0, 0.0, false, false, 0.0},
        {"same time", 0.0, 0.0, false, false, 0.0},
        {"time went backwards", 2.0, 0.0, false, false, 0.0},
        {"over the week's end", 604799.25, 0.75, true, false, 1.5},
        {"a week back is not a second", 0.5, 604799.5, true, false, 0.0},
        {"after the reset", -1.0, 0.0, false, true, 0.0},
    };
    Scenario scenario(ScenarioConfig{});
    NavEngine converged;
    RunUntilFixes(converged, scenario, 8);
    ASSERT_EQ(converged.solution.fixCounter, 8);
    const auto next = scenario.Next();
    for (const Case& c : cases)
    {
        NavEngine engine = converged;
        if (c.reset)
            engine.ResetNavigation();
        NavSolution& s = engine.solution;
        s.vx = 12.0;
        s.vy = -5.0;
        s.vz = 0.5;
        SatDataRecord measurements = next.satData;
        measurements.count = 2;
        if (c.absolute)
            measurements.time = c.epochTime;
        s.lastFixTime = c.absolute ? c.lastFix : measurements.time + c.lastFix;
        const NavSolution before = s;
        engine.StoreChannelMeasurements(measurements);
        engine.SolvePosition();
        EXPECT_EQ(s.fixMode, 0) << c.name;
        EXPECT_NEAR(s.x - before.x, 12.0 * c.carried, 1e-6) << c.name;
        EXPECT_NEAR(s.y - before.y, -5.0 * c.carried, 1e-6) << c.name;
        EXPECT_NEAR(s.z - before.z, 0.5 * c.carried, 1e-6) << c.name;
        EXPECT_EQ(s.lastFixTime, before.lastFixTime) << c.name << ": no fix, no new fix time";
    }
}

TEST(NavSolve, AnAcceptedFixKeepsItsMeasurementTime)
{
    Scenario scenario(ScenarioConfig{});
    NavEngine engine;
    RunUntilFixes(engine, scenario, 8);
    const auto epoch = scenario.Next();
    RunEpoch(engine, epoch);
    ASSERT_EQ(engine.solution.fixMode, 2);
    EXPECT_EQ(engine.solution.lastFixTime, epoch.satData.time);
    // The solution's own time of week is corrected by the clock bias; the fix time is not.
    EXPECT_NE(engine.solution.timeOfWeek, epoch.satData.time);
}

TEST(NavSolve, SatelliteWithoutEphemerisWaitsButKeepsCounting)
{
    Scenario scenario(ScenarioConfig{});
    NavEngine engine;
    RunUntilFixes(engine, scenario, 8);
    const int used = engine.solution.satellitesUsed;
    const auto prn = static_cast<std::size_t>(scenario.Tracked()[0]);
    engine.ephemeris[prn - 1].valid = 0;
    RunEpoch(engine, scenario.Next());
    EXPECT_EQ(engine.solution.satellitesUsed, used - 1);
    EXPECT_GT(engine.tracks[0].goodCount, 4);
    engine.ephemeris[prn - 1].valid = 1;
    RunEpoch(engine, scenario.Next());
    EXPECT_EQ(engine.solution.satellitesUsed, used);
}

TEST(NavSolve, UnusableEntriesResetOnlyTheirCount)
{
    Scenario scenario(ScenarioConfig{});
    NavEngine engine;
    RunUntilFixes(engine, scenario, 8);
    auto epoch = scenario.Next();
    const ChannelTrack before = engine.tracks[1];
    epoch.satData.entries[1].pseudorange = std::nan("");
    epoch.satData.entries[2].channel = 12;  // no such channel: skipped, no track touched
    const ChannelTrack third = engine.tracks[2];
    RunEpoch(engine, epoch);
    EXPECT_EQ(engine.tracks[1].goodCount, 0);
    EXPECT_EQ(engine.tracks[1].lastTime, before.lastTime);
    EXPECT_EQ(engine.tracks[1].lastRangeRate, before.lastRangeRate);
    EXPECT_EQ(engine.tracks[2].goodCount, third.goodCount);
    EXPECT_EQ(engine.tracks[2].lastTime, third.lastTime);
    EXPECT_EQ(engine.solution.fixMode, 2);
}

TEST(NavSolve, RangeRateJumpRestartsTheChannel)
{
    Scenario scenario(ScenarioConfig{});
    NavEngine engine;
    RunUntilFixes(engine, scenario, 8);
    auto epoch = scenario.Next();
    epoch.satData.entries[0].rangeRate += 150.0;
    RunEpoch(engine, epoch);
    EXPECT_EQ(engine.tracks[0].goodCount, 0);
    EXPECT_GT(engine.tracks[1].goodCount, 4);
}

TEST(NavSolve, SingularGeometryTwiceFailsWithDops999)
{
    Scenario scenario(ScenarioConfig{});
    NavEngine engine;
    RunUntilFixes(engine, scenario, 9);
    // Every channel reports the same satellite: all rows are one line of sight.
    for (int k = 0; k < 6; ++k)
    {
        auto epoch = scenario.Next();
        for (std::size_t c = 1; c < epoch.satData.count; ++c)
        {
            epoch.satData.entries[c].prn = epoch.satData.entries[0].prn;
            epoch.satData.entries[c].pseudorange = epoch.satData.entries[0].pseudorange;
            epoch.satData.entries[c].rangeRate = epoch.satData.entries[0].rangeRate;
        }
        RunEpoch(engine, epoch);
    }
    EXPECT_EQ(engine.solution.fixMode, 0);
    EXPECT_EQ(engine.solution.gdop, kFailedDop);
    EXPECT_EQ(engine.solution.hdop, kFailedDop);
    EXPECT_EQ(engine.solution.altitudeRow, 1);
    // Good geometry again: the failed DOPs are recomputed at once instead of blocking every epoch
    // until the fix counter reaches the next multiple of four.
    ASSERT_NE(engine.solution.fixCounter & 3, 0);
    for (int k = 0; k < 6; ++k)  // the channels whose range rate jumped count up again
        RunEpoch(engine, scenario.Next());
    EXPECT_EQ(engine.solution.fixMode, 2);
    EXPECT_LT(engine.solution.gdop, 10.0);
}

TEST(NavSolve, DopsFollowTheGeometry)
{
    Scenario scenario(ScenarioConfig{});
    NavEngine engine;
    RunUntilFixes(engine, scenario, 9);
    const NavSolution& s = engine.solution;
    EXPECT_GT(s.gdop, s.pdop);
    EXPECT_GT(s.pdop, s.hdop);
    EXPECT_NEAR(s.pdop * s.pdop, s.hdop * s.hdop + s.vdop * s.vdop, 1e-9);
    EXPECT_NEAR(s.gdop * s.gdop, s.pdop * s.pdop + s.tdop * s.tdop, 1e-9);
}
}  // namespace
