// The ring of epochs, its running mean, the time lookup, and epochs made of fix reports.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "AnalysisTestSupport.h"
#include "analysis/PositionSeries.h"

namespace
{
using namespace vrn::analysis;

PositionEpoch At(double lat, double lon, double h, int fixMode = 3, double gps = -1.0)
{
    return analysistest::Epoch({lat, lon, h}, fixMode, gps);
}

TEST(PositionSeries, RingDropsTheOldestAndKeepsSequenceNumbers)
{
    CPositionSeries series(3);
    for (int k = 0; k < 5; ++k)
        series.Push(At(k, 10.0 * k, 100.0 * k, k == 4 ? 0 : 3));
    ASSERT_EQ(series.Size(), 3U);
    EXPECT_TRUE(series.Full());
    EXPECT_EQ(series.FirstSequence(), 2U);
    EXPECT_EQ(series.EndSequence(), 5U);
    EXPECT_EQ(series.At(0).latitudeDeg, 2.0);
    EXPECT_EQ(series.Back().latitudeDeg, 4.0);
    EXPECT_EQ(series.BySequence(1), nullptr);
    EXPECT_EQ(series.BySequence(5), nullptr);
    EXPECT_EQ(series.BySequence(3)->latitudeDeg, 3.0);
    // The mean covers the fixed epochs still kept: 2 and 3 (4 has no fix).
    const auto mean = series.MeanPosition();
    ASSERT_TRUE(mean);
    EXPECT_DOUBLE_EQ(mean->latitudeDeg, 2.5);
    EXPECT_DOUBLE_EQ(mean->longitudeDeg, 25.0);
    EXPECT_DOUBLE_EQ(mean->heightM, 250.0);
    EXPECT_EQ(series.FixedCount(), 2U);

    series.Clear();
    EXPECT_EQ(series.Size(), 0U);
    EXPECT_FALSE(series.MeanPosition());
    series.Push(At(7, 7, 7));
    EXPECT_EQ(series.FirstSequence(), 5U);  // numbering goes on after a clear
}

TEST(PositionSeries, MeanAcrossTheDateLineStaysOnIt)
{
    CPositionSeries series;
    series.Push(At(0, 179.9, 0));
    series.Push(At(0, -179.9, 0));
    series.Push(At(0, 179.8, 0));
    series.Push(At(0, -179.7, 0));
    const auto mean = series.MeanPosition();
    ASSERT_TRUE(mean);
    EXPECT_NEAR(std::fabs(mean->longitudeDeg), 180.0 - 0.025, 1e-9);
    EXPECT_LT(mean->longitudeDeg, 0.0);
}

TEST(PositionSeries, NearestInTime)
{
    CPositionSeries series;
    for (const double t : {100.0, 101.0, 102.0, 104.0})
        series.Push(At(t, 0, 0, 3, t));
    EXPECT_DOUBLE_EQ(series.NewestGpsSeconds(), 104.0);
    for (const auto& [t, want] : std::vector<std::pair<double, double>>{
             {100.0, 100}, {100.4, 100}, {100.6, 101}, {103.0, -1}, {103.5, 104}, {104.5, 104}, {99.5, 100},
             {99.4, -1}, {104.6, -1}})
    {
        const PositionEpoch* e = series.NearestInTime(t, 0.5);
        EXPECT_EQ(e ? e->latitudeDeg : -1.0, want) << t;
    }
}

ReceiverFix Fix(std::uint32_t sequence, double tod, double lat = 24.5, int quality = 1, int fixMode = 3)
{
    ReceiverFix f;
    f.sequence = sequence;
    f.utcSecondsOfDay = tod;
    std::memcpy(f.date.data(), "010324", 7);  // 2024-03-01
    f.latitudeDeg = lat;
    f.longitudeDeg = 121.0;
    f.altitudeMslM = 100.0;
    f.geoidSeparationM = 20.0;
    f.quality = quality;
    f.fixMode = fixMode;
    f.satsUsed = 7;
    f.hdop = 1.3;
    return f;
}

TEST(EpochBuilder, EpochFromOneReport)
{
    struct Case
    {
        const char* name;
        ReceiverFix fix;
        int fixMode;
        double height;
    };
    ReceiverFix ellipsoid = Fix(1, 10.0);
    ellipsoid.heightEllipsoidM = 119.5;
    ReceiverFix mslOnly = Fix(1, 10.0);
    mslOnly.geoidSeparationM = kNoValue;
    ReceiverFix noPosition = Fix(1, 10.0);
    noPosition.latitudeDeg = kNoValue;
    ReceiverFix bareNav = Fix(1, 10.0, 24.5, -1, 0);  // a binary position without mode or quality
    const std::vector<Case> cases{
        {"3D fix, MSL plus separation", Fix(1, 10.0), 3, 120.0},
        {"2D fix", Fix(1, 10.0, 24.5, 1, 2), 2, 120.0},
        {"GSA says no fix", Fix(1, 10.0, 24.5, 1, 1), 0, 120.0},
        {"quality 0 overrides a stale 3D", Fix(1, 10.0, 24.5, 0, 3), 0, 120.0},
        {"mode unknown, quality 2", Fix(1, 10.0, 24.5, 2, 0), 1, 120.0},
        {"mode and quality unknown", bareNav, 1, 120.0},
        {"ellipsoidal height given", ellipsoid, 3, 119.5},
        {"height above sea level only", mslOnly, 3, 100.0},
        {"no position", noPosition, 0, 120.0},
    };
    for (const auto& c : cases)
    {
        const PositionEpoch e = CEpochBuilder::FromFix(c.fix);
        EXPECT_EQ(e.fixMode, c.fixMode) << c.name;
        EXPECT_EQ(e.Fixed(), c.fixMode > 0) << c.name;
        EXPECT_DOUBLE_EQ(e.heightM, c.height) << c.name;
        EXPECT_EQ(e.satsUsed, 7) << c.name;
        // 2024-03-01 00:00:10 UTC, and the GPS time 18 s later.
        EXPECT_DOUBLE_EQ(e.utcS, 1709251210.0) << c.name;
        EXPECT_EQ(e.gpsWeek, 2303) << c.name;
        EXPECT_DOUBLE_EQ(e.gpsTowS, 432028.0) << c.name;
    }

    // GPS time given: UTC follows from it less the leap seconds.
    ReceiverFix gps = Fix(1, kNoValue);
    gps.date = {};
    gps.gpsWeek = 2303;
    gps.gpsTimeOfWeekS = 432028.5;
    const PositionEpoch e = CEpochBuilder::FromFix(gps, 18);
    EXPECT_DOUBLE_EQ(e.utcS, 1709251210.5);
    EXPECT_EQ(e.gpsWeek, 2303);
}

TEST(EpochBuilder, ReportsOfOneEpochMergeAndTheNextCompletesIt)
{
    CEpochBuilder builder;
    std::vector<PositionEpoch> epochs;
    auto offer = [&](const ReceiverFix& f) {
        if (auto e = builder.Offer(f))
            epochs.push_back(*e);
    };
    offer(ReceiverFix{});                      // nothing reported yet
    offer(Fix(1, 10.0, 24.5, 1, 0));           // GGA of 10 s: mode not yet known
    offer(Fix(1, 10.0, 24.5, 1, 3));           // GSA: same report sequence, the mode arrives
    offer(Fix(2, 10.0, 24.6, 1, 3));           // RMC of 10 s: same epoch, refined
    offer(Fix(3, 11.0, 24.7, 0, 3));           // GGA of 11 s without a fix: completes the 10 s epoch
    offer(Fix(4, 12.0, 24.8, 1, 3));
    offer(Fix(5, kNoValue, 24.9));             // no time: always a new epoch
    offer(Fix(6, kNoValue, 25.0));
    if (auto last = builder.Flush())
        epochs.push_back(*last);
    ASSERT_EQ(epochs.size(), 5U);
    EXPECT_EQ(epochs[0].fixMode, 3);
    EXPECT_DOUBLE_EQ(epochs[0].latitudeDeg, 24.6);
    EXPECT_EQ(epochs[1].fixMode, 0);
    EXPECT_DOUBLE_EQ(epochs[2].latitudeDeg, 24.8);
    EXPECT_DOUBLE_EQ(epochs[3].latitudeDeg, 24.9);
    EXPECT_DOUBLE_EQ(epochs[4].latitudeDeg, 25.0);
    EXPECT_FALSE(builder.Flush());

    // A new start of the port numbers its reports from 1 again.
    builder.Reset();
    offer(Fix(1, 20.0, 26.0));
    offer(Fix(2, 21.0, 26.1));
    ASSERT_EQ(epochs.size(), 6U);
    EXPECT_DOUBLE_EQ(epochs[5].latitudeDeg, 26.0);
}

TEST(EpochBuilder, FixNowForTheTimeToFirstFix)
{
    EXPECT_TRUE(CEpochBuilder::HasFixNow(Fix(1, 0.0)));
    EXPECT_TRUE(CEpochBuilder::HasFixNow(Fix(1, 0.0, 24.5, -1, 0)));
    EXPECT_FALSE(CEpochBuilder::HasFixNow(Fix(1, 0.0, 24.5, 0, 3)));
    EXPECT_FALSE(CEpochBuilder::HasFixNow(Fix(1, 0.0, 24.5, 1, 1)));
    EXPECT_FALSE(CEpochBuilder::HasFixNow(Fix(1, 0.0, kNoValue)));
    ReceiverFix estimated = Fix(1, 0.0);
    estimated.modeIndicator = 'E';  // the own fix kept from an earlier epoch
    EXPECT_FALSE(CEpochBuilder::HasFixNow(estimated));
    estimated.modeIndicator = 'A';
    EXPECT_TRUE(CEpochBuilder::HasFixNow(estimated));
}
}  // namespace
