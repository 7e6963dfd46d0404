// The record set in import mode 2: raw-measurement frames in, a navigation epoch per measurement
// message, and the own NAV, DOP and SV records out.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "NavScenario.h"
#include "NavWire.h"
#include "protocol/CData.h"

namespace
{
using navtest::Distance;
using navtest::Scenario;
using navtest::ScenarioConfig;

class CDataMode2 : public ::testing::Test
{
protected:
    void SetUp() override { ProcessNavEngine() = NavEngine{}; }
    void TearDown() override { ProcessNavEngine() = NavEngine{}; }

    // Feeds one framed message; returns the import result.
    int Feed(const std::vector<std::uint8_t>& frame)
    {
        ChunkRef chunk{frame.data(), frame.size()};
        std::string diagnostic;
        int last = kImportRejected;
        while (chunk.position != nullptr)
        {
            const int r = m_set.BuildBinaryDataPacket(chunk, diagnostic, 0, kImportNavigation);
            if (r != kImportRejected)
                last = r;
        }
        return last;
    }

    int FeedEpoch(const navtest::ScenarioEpoch& epoch)
    {
        for (const SubframeRecord& sf : epoch.subframes)
            EXPECT_EQ(Feed(navtest::SubframeFrame(sf)), kImportAccepted);
        EXPECT_EQ(Feed(navtest::SatDataFrame(epoch.satData, epoch.satData.count)), kImportAccepted);
        return Feed(navtest::MeasFrame(epoch.meas, kChannelCount));
    }

    CData m_set;
};

TEST_F(CDataMode2, MeasurementMessagesRunEpochsAndFillTheOwnRecords)
{
    ScenarioConfig config;
    config.velocityEnu = {0.0, 0.0, 0.0};
    Scenario scenario(config);
    navtest::ScenarioEpoch epoch;
    for (int k = 0; k < 300; ++k)
    {
        epoch = scenario.Next();
        ASSERT_EQ(FeedEpoch(epoch), kImportNavEpoch) << k;
    }
    const NavEngine& engine = ProcessNavEngine();
    const NavSolution& s = engine.solution;
    ASSERT_EQ(s.fixMode, 2);
    EXPECT_LT(Distance({s.x, s.y, s.z}, epoch.truth), 1.0);

    const NavRecord& nav = m_set.nav;
    EXPECT_EQ(nav.id, kIdNav);
    EXPECT_EQ(nav.week, config.week);
    EXPECT_EQ(nav.timeOfWeek, static_cast<std::int32_t>(100.0 * s.timeOfWeek));
    EXPECT_NEAR(nav.timeOfWeek * 0.01, epoch.trueTime, 0.011);  // the clock bias is taken out
    EXPECT_EQ(nav.x, static_cast<std::int32_t>(s.x));
    EXPECT_EQ(nav.z, static_cast<std::int32_t>(s.z));
    EXPECT_EQ(nav.vx, static_cast<std::int16_t>(10.0 * s.vx));
    EXPECT_EQ(nav.infoByte, 0);

    const DopRecord& dop = m_set.dop;
    EXPECT_EQ(dop.id, kIdDop);
    EXPECT_EQ(dop.gdop, static_cast<std::uint8_t>(10.0 * s.gdop));
    EXPECT_EQ(dop.hdop, static_cast<std::uint8_t>(10.0 * s.hdop));
    EXPECT_EQ(dop.mode, 3);
    EXPECT_EQ(dop.timeOfWeek, nav.timeOfWeek);

    const SvRecord& sv = m_set.sv;
    EXPECT_EQ(sv.id, kIdSv);
    EXPECT_EQ(sv.count, kChannelCount);
    for (std::size_t k = 0; k < scenario.Tracked().size(); ++k)
    {
        const auto prn = static_cast<std::size_t>(scenario.Tracked()[k]);
        EXPECT_EQ(sv.entries[k].channel, k);
        EXPECT_EQ(sv.entries[k].prn, prn);
        EXPECT_EQ(sv.entries[k].azimuth, engine.lookTable[prn - 1].azimuthDeg);
        EXPECT_EQ(sv.entries[k].elevation, engine.lookTable[prn - 1].elevationDeg);
        EXPECT_GT(sv.entries[k].elevation, 0);
        EXPECT_EQ(sv.entries[k].signal, 0);
    }
    // Empty entries (PRN 0) point at no table row.
    EXPECT_EQ(sv.entries[11].prn, 0);
    EXPECT_EQ(sv.entries[11].azimuth, 0);
    EXPECT_EQ(sv.entries[11].elevation, 0);
}

TEST_F(CDataMode2, FailedSolutionsNeverLookGood)
{
    NavEngine engine;
    engine.solution.gdop = engine.solution.pdop = engine.solution.hdop = kFailedDop;
    engine.solution.vdop = engine.solution.tdop = kFailedDop;
    engine.solution.timeOfWeek = std::numeric_limits<double>::quiet_NaN();
    engine.solution.x = 1e300;
    engine.solution.vx = -4000.0;
    engine.solution.satellitesUsed = 9;
    m_set.meas.entries[0].chanPrn = static_cast<std::uint16_t>(3 | (0 << 4));
    m_set.meas.entries[1].chanPrn = static_cast<std::uint16_t>(4 | (31 << 4) | (45 << 9));
    engine.lookTable[30].azimuthDeg = 359;
    engine.lookTable[30].elevationDeg = -5;
    EXPECT_EQ(m_set.FillOwnDopRecord(engine), 1);
    EXPECT_EQ(m_set.dop.gdop, 255);
    EXPECT_EQ(m_set.dop.tdop, 255);
    EXPECT_EQ(m_set.dop.mode, 3);
    EXPECT_EQ(m_set.dop.timeOfWeek, 0);
    EXPECT_EQ(m_set.FillOwnNavRecord(engine), 1);
    EXPECT_EQ(m_set.nav.x, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(m_set.nav.vx, -32768);
    EXPECT_EQ(m_set.FillOwnSvRecord(engine), 1);
    EXPECT_EQ(m_set.sv.entries[0].channel, 3);
    EXPECT_EQ(m_set.sv.entries[0].prn, 0);
    EXPECT_EQ(m_set.sv.entries[0].azimuth, 0);
    EXPECT_EQ(m_set.sv.entries[1].prn, 31);
    EXPECT_EQ(m_set.sv.entries[1].azimuth, 359);
    EXPECT_EQ(m_set.sv.entries[1].elevation, 5);
}

TEST_F(CDataMode2, HostileMeasurementsKeepTheEngineFinite)
{
    Scenario scenario(ScenarioConfig{});
    for (int k = 0; k < 200; ++k)
    {
        navtest::ScenarioEpoch epoch = scenario.Next();
        SatDataRecord& sd = epoch.satData;
        switch (k % 9)
        {
            case 3:
                sd.entries[0].pseudorange = std::numeric_limits<double>::quiet_NaN();
                sd.entries[1].rangeRate = std::numeric_limits<double>::infinity();
                break;
            case 4:
                sd.entries[2].pseudorange = 0.0;
                sd.entries[3].pseudorange = k < 100 ? 1e300 : 1e20;
                break;
            case 5:
                sd.entries[4].prn = sd.entries[5].prn;  // duplicate PRN
                sd.entries[6].channel = 14;
                sd.entries[7].prn = 40;
                break;
            case 6:
                sd.count = 15;
                sd.time = std::numeric_limits<double>::quiet_NaN();
                epoch.meas.timeOfWeek = -1;
                break;
            case 7:
                sd.time -= 7000.0;  // time of week jumps backwards
                epoch.meas.week = 0xFFFF;
                break;
            default:
                break;
        }
        const int result = FeedEpoch(epoch);
        EXPECT_EQ(result, kImportNavEpoch);
        const NavSolution& s = ProcessNavEngine().solution;
        ASSERT_TRUE(std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z)) << k;
        ASSERT_TRUE(std::isfinite(s.clockBias) && std::isfinite(s.timeOfWeek) && std::isfinite(s.gdop)) << k;
    }
    // Clean data again: the fix comes back.
    navtest::ScenarioEpoch epoch;
    for (int k = 0; k < 250; ++k)
    {
        epoch = scenario.Next();
        FeedEpoch(epoch);
    }
    const NavSolution& s = ProcessNavEngine().solution;
    EXPECT_EQ(s.fixMode, 2);
    EXPECT_LT(Distance({s.x, s.y, s.z}, epoch.truth), 1.0);
}
}  // namespace
