// The per-epoch pipeline: reset, look-table refresh, epoch inputs, subframe queue, channel plan.
#include <gtest/gtest.h>

#include <algorithm>

#include "NavScenario.h"

namespace
{
using navtest::RunEpoch;
using navtest::Scenario;
using navtest::ScenarioConfig;

MeasRecord MeasAt(int week, double tow)
{
    MeasRecord m;
    m.id = kIdMeas;
    m.week = static_cast<std::uint16_t>(week);
    m.timeOfWeek = static_cast<std::int32_t>(tow * 100.0);
    return m;
}

void Epoch(NavEngine& engine, const MeasRecord& meas)
{
    engine.SetEpochInputs(meas);
    engine.RunNavigationEpoch();
}

TEST(NavPipeline, FirstEpochResetsToTheDefaultPosition)
{
    NavEngine engine;
    engine.solution.x = 5.0;
    engine.solution.fixMode = 2;
    engine.ephemeris[3].valid = 1;
    Epoch(engine, MeasAt(2000, 1000.0));
    EXPECT_FALSE(engine.resetPending);
    const NavSolution& s = engine.solution;
    EXPECT_EQ(s.fixMode, 0);
    EXPECT_EQ(s.latitude, kDefaultLatitude);
    EXPECT_EQ(s.longitude, kDefaultLongitude);
    EXPECT_EQ(s.height, kDefaultHeight);
    EXPECT_EQ(s.x, GeodeticToEcef(kDefaultLatitude, kDefaultLongitude, kDefaultHeight)[0]);
    EXPECT_TRUE(s.almanacInUse);
    EXPECT_EQ(engine.ephemeris[3].valid, 0);
    EXPECT_EQ(engine.almanac[10].state, kAlmanacAbsent);
    EXPECT_EQ(engine.almanac[0].e, 0.004113);
    EXPECT_EQ(engine.planMode, PlanMode::Idle);
    EXPECT_EQ(engine.epochCounter, 1U);
    // The reset zeroes the pipeline time, so this first epoch refreshes at time 0 ("never").
    for (std::int32_t stamp : engine.refreshStamps)
        EXPECT_EQ(stamp, 0);
    // Every slot starts on the first candidate.
    for (int slot : engine.planSlots)
        EXPECT_EQ(slot, engine.planSlots[0]);
}

TEST(NavPipeline, LookTableRefreshEveryThirtySecondsAndOnABackwardStep)
{
    NavEngine engine;
    Epoch(engine, MeasAt(2000, 1000.0));
    Epoch(engine, MeasAt(2000, 1000.0));
    EXPECT_EQ(engine.refreshStamps[0], 1000);
    EXPECT_NE(engine.lookTable[0].azimuth, 0.0);
    Epoch(engine, MeasAt(2000, 1030.99));
    EXPECT_EQ(engine.refreshStamps[0], 1000);
    Epoch(engine, MeasAt(2000, 1031.0));
    EXPECT_EQ(engine.refreshStamps[0], 1031);
    EXPECT_EQ(engine.refreshStamps[31], 1031);
    Epoch(engine, MeasAt(2001, 12.0));
    EXPECT_EQ(engine.refreshStamps[5], 12);
    // Satellites without almanac or ephemeris get a zero row.
    EXPECT_EQ(engine.lookTable[11].elevation, 0.0);
}

TEST(NavPipeline, EpochInputsFromTheMeasurementRecord)
{
    NavEngine engine;
    MeasRecord m = MeasAt(1999, 0.0);
    m.timeOfWeek = -1;  // read as unsigned: 42949672.95 s
    for (auto& e : m.entries)
        e.signal = 62;
    engine.SetEpochInputs(m);
    EXPECT_EQ(engine.inputs.usableChannels, 0);
    EXPECT_EQ(engine.inputs.week, 1999);
    EXPECT_DOUBLE_EQ(engine.inputs.timeOfWeek, 4294967295.0 * 0.01);
    m.entries[7].signal = 63;
    m.entries[7].chanPrn = 0;  // no test on PRN or channel
    engine.SetEpochInputs(m);
    EXPECT_EQ(engine.inputs.usableChannels, 1);
}

TEST(NavPipeline, SubframeQueueCountsDropsAndEmpties)
{
    NavEngine engine;
    SubframeRecord r;
    r.id = kIdSubframe;
    r.prn = 3;
    for (int k = 0; k < 3; ++k)
        engine.QueueSubframe(r);
    engine.SetEpochInputs(MeasAt(2000, 100.0));
    EXPECT_EQ(engine.inputs.subframeCount, 3U);
    EXPECT_EQ(engine.inputs.queueCount, 0U);
    engine.RunNavigationEpoch();
    EXPECT_EQ(engine.inputs.subframeCount, 0U);

    r.prn = 0;
    engine.QueueSubframe(r);
    r.prn = 33;
    engine.QueueSubframe(r);
    EXPECT_EQ(engine.inputs.queueCount, 0U);
    r.prn = 32;
    for (int k = 0; k < 70; ++k)
        engine.QueueSubframe(r);
    EXPECT_EQ(engine.inputs.queueCount, kSubframeQueueSize);
    EXPECT_EQ(engine.inputs.droppedSubframes, 2U + 6U);
    EXPECT_EQ(engine.inputs.queue[63].prn, 32);
}

TEST(NavPipeline, NoUsableChannelsNoSolution)
{
    Scenario scenario(ScenarioConfig{});
    NavEngine engine;
    for (int k = 0; k < 40; ++k)
        RunEpoch(engine, scenario.Next());
    const int fixes = engine.solution.fixCounter;
    ASSERT_GT(fixes, 0);
    auto epoch = scenario.Next();
    for (auto& e : epoch.meas.entries)
        e.signal = 62;
    RunEpoch(engine, epoch);
    EXPECT_EQ(engine.solution.fixCounter, fixes);
}

TEST(NavPipeline, NewEphemerisRefreshesItsRowAtOnce)
{
    Scenario scenario(ScenarioConfig{});
    NavEngine engine;
    const auto prn = static_cast<std::size_t>(scenario.Tracked()[0]);
    for (int k = 0; k < 60 && engine.ephemeris[prn - 1].valid == 0; ++k)
    {
        auto epoch = scenario.Next();
        // Without usable channels the receiver stays where the row was computed.
        for (auto& e : epoch.meas.entries)
            e.signal = 0;
        RunEpoch(engine, epoch);
    }
    ASSERT_EQ(engine.ephemeris[prn - 1].valid, 1);
    const std::int32_t now = ClampToInt<std::int32_t>(engine.inputs.timeOfWeek);
    EXPECT_EQ(engine.refreshStamps[prn - 1], now);
    // The row now comes from the ephemeris, not from the built-in almanac.
    const SatelliteLookRow expected =
        LookRowFromPrediction(engine.PredictSatellite(prn - 1, engine.inputs.week, engine.inputs.timeOfWeek));
    EXPECT_EQ(engine.lookTable[prn - 1].elevation, expected.elevation);
    EXPECT_EQ(engine.lookTable[prn - 1].sagnac, expected.sagnac);
}

TEST(NavPipeline, SixthFixSwitchesThePlanToTracking)
{
    Scenario scenario(ScenarioConfig{});
    NavEngine engine;
    int k = 0;
    for (; k < 100 && engine.solution.fixCounter <= 5; ++k)
        RunEpoch(engine, scenario.Next());
    ASSERT_EQ(engine.solution.fixCounter, 6);
    EXPECT_EQ(engine.planMode, PlanMode::Tracking);
    EXPECT_EQ(engine.epochCounter, 31U);
    // The switch recomputes x, y, z from latitude, longitude and height.
    const Triple xyz =
        GeodeticToEcef(engine.solution.latitude, engine.solution.longitude, engine.solution.height);
    EXPECT_EQ(engine.solution.x, xyz[0]);
    RunEpoch(engine, scenario.Next());
    EXPECT_EQ(engine.epochCounter, 0U);
    // After the rearrangement every slot holds a candidate, and a PRN sits in more than one slot only
    // when it already did.
    const auto candidates = engine.PlanCandidates();
    for (int prn : engine.planSlots)
    {
        if (prn != 0)
        {
            EXPECT_NE(std::find(candidates.begin(), candidates.end(), prn), candidates.end());
        }
    }
    for (int n = 0; n < 29; ++n)
        RunEpoch(engine, scenario.Next());
    EXPECT_EQ(engine.epochCounter, 29U);
    RunEpoch(engine, scenario.Next());
    EXPECT_EQ(engine.epochCounter, 0U);
}

TEST(NavPipeline, PlanFillsEmptySlotsWithUnheldCandidates)
{
    NavEngine engine;
    engine.ResetNavigation();
    engine.resetPending = false;
    for (std::size_t i = 0; i < kPrnCount; ++i)
        engine.lookTable[i].elevationDeg = static_cast<int>(i % 7) * 10 - 5;
    engine.planMode = PlanMode::Tracking;
    engine.epochCounter = 30;
    engine.inputs.timeOfWeek = 100.0;
    engine.refreshStamps.fill(100);  // no look-table refresh in this epoch
    engine.planSlots.fill(0);
    engine.planSlots[2] = 1;  // PRN 1 is at -5°: not a candidate
    engine.tracks[2].goodCount = 9;
    engine.tracks[4].goodCount = 9;
    engine.planSlots[4] = 7;  // 55°: stays
    engine.RunNavigationEpoch();
    EXPECT_EQ(engine.planSlots[4], 7);
    EXPECT_EQ(engine.tracks[4].goodCount, 9);
    EXPECT_EQ(engine.tracks[2].goodCount, 0);
    EXPECT_NE(engine.planSlots[2], 1);
    std::vector<int> held;
    for (int prn : engine.planSlots)
        if (prn != 0)
            held.push_back(prn);
    std::sort(held.begin(), held.end());
    EXPECT_EQ(std::adjacent_find(held.begin(), held.end()), held.end());
}
}  // namespace
