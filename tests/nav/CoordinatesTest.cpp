// Geodetic/ECEF conversions, local frames and GPS/calendar time.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "nav/Coordinates.h"

namespace
{
constexpr double kHalfPi = 1.570796326794897;

TEST(Coordinates, EquatorPointConvertsToZeroWithBothConverters)
{
    for (const Triple& g :
         {EcefToGeodetic(6378137.0, 0.0, 0.0), EcefToGeodeticIterative(6378137.0, 0.0, 0.0)})
    {
        EXPECT_NEAR(g[0], 0.0, 1e-12);
        EXPECT_NEAR(g[1], 0.0, 1e-12);
        EXPECT_NEAR(g[2], 0.0, 1e-6);
    }
}

TEST(Coordinates, PolesUseTheAxisBranch)
{
    const Triple north = EcefToGeodetic(0.0, 0.0, 6356752.314245179);
    EXPECT_EQ(north[0], kHalfPi);
    EXPECT_EQ(north[1], 0.0);
    EXPECT_NEAR(north[2], 0.0, 1e-9);
    const Triple south = EcefToGeodetic(0.0, 0.0, -6356852.314245179);
    EXPECT_EQ(south[0], -kHalfPi);
    EXPECT_NEAR(south[2], 100.0, 1e-9);
    const Triple iterative = EcefToGeodeticIterative(0.0, 0.0, -6356752.314245179);
    EXPECT_EQ(iterative[0], -kHalfPi);
    EXPECT_EQ(iterative[1], 0.0);
}

TEST(Coordinates, RoundTripsThroughEcefBelowAMillimetre)
{
    const std::array<Triple, 4> points{Triple{0.4324, 2.112, 150.0}, Triple{-0.9, -1.2, 3000.0},
                                       Triple{1.5, 0.3, -50.0}, Triple{0.01, 3.1, 20000.0}};
    for (const Triple& p : points)
    {
        const Triple xyz = GeodeticToEcef(p[0], p[1], p[2]);
        const Triple closed = EcefToGeodetic(xyz[0], xyz[1], xyz[2]);
        const Triple iterative = EcefToGeodeticIterative(xyz[0], xyz[1], xyz[2]);
        for (const Triple& g : {closed, iterative})
        {
            EXPECT_NEAR(g[0], p[0], 1e-10);  // 1e-10 rad is 0.6 mm on the ground
            EXPECT_NEAR(g[1], p[1], 1e-10);
            EXPECT_NEAR(g[2], p[2], 1e-3);
        }
    }
}

TEST(Coordinates, LocalFramesSeeNorthAndUp)
{
    const double lat = 0.7, lon = -1.3;
    const Triple base = GeodeticToEcef(lat, lon, 0.0);
    const Triple above = GeodeticToEcef(lat, lon, 100.0);
    const Triple north = GeodeticToEcef(lat + 1e-5, lon, 0.0);
    const Triple up{above[0] - base[0], above[1] - base[1], above[2] - base[2]};
    const Triple dn{north[0] - base[0], north[1] - base[1], north[2] - base[2]};
    const Matrix3 enu = LocalFrameMatrix(lat, lon);
    EXPECT_NEAR(ApplyRow(enu, 0, up), 0.0, 1e-6);
    EXPECT_NEAR(ApplyRow(enu, 2, up), 100.0, 1e-6);
    EXPECT_NEAR(ApplyRow(enu, 0, dn), 0.0, 1e-3);
    EXPECT_GT(ApplyRow(enu, 1, dn), 60.0);
    const Matrix3 ned = NorthEastDownMatrix(lat, lon);
    EXPECT_NEAR(ApplyRow(ned, 2, up), -100.0, 1e-6);
    EXPECT_NEAR(ApplyRow(ned, 0, dn), ApplyRow(enu, 1, dn), 1e-9);
}

TEST(GpsTime, PcClockAtTheGpsEpochIsWeekZero)
{
    const GpsTimeStamp start = GpsTimeFromPcSeconds(315964800);
    EXPECT_EQ(start.week, 0);
    EXPECT_EQ(start.timeOfWeek, 0);
    // 2038-01-19 03:14:08 UTC, one second past the 32-bit limit: still a plain time.
    const GpsTimeStamp late = GpsTimeFromPcSeconds(2147483648LL);
    EXPECT_EQ(late.week, 3028);
    EXPECT_EQ(late.timeOfWeek, 18444800);
}

TEST(GpsTime, CalendarConversionBreaksDownUtc)
{
    const std::int64_t s = CalendarSecondsFromGps(2086, 100 * (3 * 86400 + 3600 + 62) + 55, 18);
    const auto utc = CalendarTimeUtc(s);
    ASSERT_TRUE(utc.has_value());
    EXPECT_EQ(utc->tm_year + 1900, 2020);  // week 2086 began on Sunday 2019-12-29
    EXPECT_EQ(utc->tm_mon + 1, 1);
    EXPECT_EQ(utc->tm_mday, 1);
    EXPECT_EQ(utc->tm_hour, 1);
    EXPECT_EQ(utc->tm_min, 0);
    EXPECT_EQ(utc->tm_sec, 44);
    EXPECT_TRUE(CalendarTimeLocal(s).has_value());
    EXPECT_FALSE(CalendarTimeUtc(std::numeric_limits<std::int64_t>::max()).has_value());
}
}  // namespace
