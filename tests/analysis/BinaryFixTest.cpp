// The receiver fix made of binary NAV and DOP records when the record set reports none of its own.
#include <gtest/gtest.h>

#include <cmath>

#include "AnalysisTestSupport.h"
#include "analysis/BinaryFix.h"

namespace
{
using vrn::analysis::CBinaryFixFallback;

CData Nav(double lat, double lon, double h, std::int32_t towCs, std::uint8_t used = 7)
{
    CData set;
    const auto x = analysistest::ToEcef({lat, lon, h});
    set.nav.id = kIdNav;
    set.nav.week = 2400;
    set.nav.timeOfWeek = towCs;
    set.nav.x = static_cast<std::int32_t>(std::lround(x[0]));
    set.nav.y = static_cast<std::int32_t>(std::lround(x[1]));
    set.nav.z = static_cast<std::int32_t>(std::lround(x[2]));
    set.nav.infoByte = static_cast<std::uint8_t>(0x90 | used);
    set.currentId = kIdNav;
    return set;
}

CData Dop(std::int32_t towCs, std::uint8_t mode, std::uint8_t hdop = 9)
{
    CData set;
    set.dop.id = kIdDop;
    set.dop.week = 2400;
    set.dop.timeOfWeek = towCs;
    set.dop.mode = mode;
    set.dop.hdop = hdop;
    set.currentId = kIdDop;
    return set;
}

TEST(BinaryFixFallback, NavAndDopOfOneEpochMakeOneReport)
{
    CBinaryFixFallback fallback;
    EXPECT_EQ(fallback.Offer(Dop(0, 0)) != nullptr, true);  // a DOP alone: a report without a fix
    EXPECT_EQ(fallback.Offer(Dop(0, 0))->fixMode, 1);

    const ReceiverFix* f = fallback.Offer(Nav(24.7753, 121.00248, 150.0, 100));
    ASSERT_NE(f, nullptr);
    const std::uint32_t sequence = f->sequence;
    EXPECT_NEAR(f->latitudeDeg, 24.7753, 1e-5);  // whole metres on the wire
    EXPECT_NEAR(f->longitudeDeg, 121.00248, 1e-5);
    EXPECT_NEAR(f->heightEllipsoidM, 150.0, 1.0);
    EXPECT_EQ(f->satsUsed, 7);
    EXPECT_DOUBLE_EQ(f->gpsTimeOfWeekS, 1.0);
    EXPECT_EQ(f->fixMode, 0);  // not known before the DOP record

    struct Case
    {
        std::uint8_t mode;
        int fixMode, quality;
    };
    for (const Case& c : std::vector<Case>{{3, 3, 1}, {2, 2, 1}, {4, 3, 2}, {9, 3, 1}, {1, 1, 0}, {0, 1, 0}})
    {
        f = fallback.Offer(Dop(100, c.mode, 12));
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->sequence, sequence) << int(c.mode);  // the same epoch, refined
        EXPECT_EQ(f->fixMode, c.fixMode) << int(c.mode);
        EXPECT_EQ(f->quality, c.quality) << int(c.mode);
        EXPECT_DOUBLE_EQ(f->hdop, 1.2);
    }
    // The next epoch's DOP without a NAV: no fix, no position.
    f = fallback.Offer(Dop(200, 0));
    EXPECT_EQ(f->sequence, sequence + 1);
    EXPECT_TRUE(std::isnan(f->latitudeDeg));
    // An all-zero NAV position is no position.
    f = fallback.Offer(Nav(0, 0, -6378137.0, 300));
    EXPECT_TRUE(std::isnan(f->latitudeDeg));
}

TEST(BinaryFixFallback, TheSetsOwnReportWins)
{
    CBinaryFixFallback fallback;
    CData set = Nav(10, 20, 30, 100);
    set.fix.sequence = 5;
    set.fix.latitudeDeg = 11.0;
    EXPECT_EQ(fallback.Offer(set), &set.fix);
    CData other;
    other.currentId = kIdSv;
    EXPECT_EQ(fallback.Offer(other), nullptr);  // nothing reported yet
}
}  // namespace
