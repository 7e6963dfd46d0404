// Satellite orbits, the state cache, look angles and delay models.
#include <gtest/gtest.h>

#include <cmath>

#include "nav/NavEngine.h"

namespace
{
// Published worked example of the IS-GPS-200 user algorithm with analytic velocity: B. W. Remondi,
// "Computing satellite velocity using the broadcast ephemeris", GPS Solutions 8 (2004) 181-183,
// PRN 20 of 2001-07-23, evaluated at t = 86400 s (tk = -7200 s).
EphemerisRecord RemondiEphemeris()
{
    EphemerisRecord e;
    e.valid = 1;
    e.iode = 20;
    e.toc = 93600.0;
    e.af0 = -8.57324339449e-05;
    e.af1 = -2.72848410532e-12;
    e.tgd = -6.51925802231e-09;
    e.crs = 88.6875;
    e.deltaN = 4.65376527657e-09;
    e.m0 = 1.05827953357;
    e.cuc = 4.57651913166e-06;
    e.e = 2.23578442819e-03;
    e.cus = 1.77137553692e-06;
    e.sqrtA = 5153.79589081;
    e.toe = 93600.0;
    e.cic = 6.51925802231e-08;
    e.omega0 = 1.64046615454;
    e.cis = -8.56816768646e-08;
    e.i0 = 0.961685061380;
    e.crc = 344.96875;
    e.omega = 2.06374037770;
    e.omegaDot = -8.56928551657e-09;
    e.idot = 3.42514267094e-10;
    e.a = e.sqrtA * e.sqrtA;
    e.n0 = std::sqrt(3.986005e14 / (e.a * e.a * e.a));
    return e;
}

TEST(NavOrbit, MatchesThePublishedWorkedExample)
{
    const SatelliteMotion m = SatelliteFromEphemeris(RemondiEphemeris(), 86400.0);
    EXPECT_NEAR(m.position[0], -12611434.19782218677, 1e-3);
    EXPECT_NEAR(m.position[1], -13413103.97797041245, 1e-3);
    EXPECT_NEAR(m.position[2], 19062913.07357876940, 1e-3);
    EXPECT_NEAR(m.velocity[0], 266.2803795674, 1e-6);
    EXPECT_NEAR(m.velocity[1], -2424.7683468482, 1e-6);
    EXPECT_NEAR(m.velocity[2], -1529.7620784616, 1e-6);
    EXPECT_NEAR(m.relClock * 299792458.0, -0.012570413426601913, 1e-6);
}

TEST(NavOrbit, VelocityAndAccelerationAreTheDerivatives)
{
    const EphemerisRecord e = RemondiEphemeris();
    const double t = 90000.0, h = 0.5;
    const SatelliteMotion a = SatelliteFromEphemeris(e, t - h);
    const SatelliteMotion b = SatelliteFromEphemeris(e, t + h);
    const SatelliteMotion m = SatelliteFromEphemeris(e, t);
    for (std::size_t k = 0; k < 3; ++k)
    {
        EXPECT_NEAR(m.velocity[k], (b.position[k] - a.position[k]) / (2 * h), 1e-4);
        EXPECT_NEAR(m.acceleration[k], (b.velocity[k] - a.velocity[k]) / (2 * h), 1e-6);
    }
}

TEST(NavOrbit, TimeFromToeFoldsIntoHalfAWeek)
{
    const EphemerisRecord e = RemondiEphemeris();
    const SatelliteMotion late = SatelliteFromEphemeris(e, e.toe + 302401.0);
    const SatelliteMotion early = SatelliteFromEphemeris(e, e.toe + 1.0 - 302400.0);
    EXPECT_EQ(late.position, early.position);
    const SatelliteMotion before = SatelliteFromEphemeris(e, e.toe - 302401.0);
    const SatelliteMotion after = SatelliteFromEphemeris(e, e.toe + 302399.0);
    EXPECT_EQ(before.position, after.position);
}

TEST(NavOrbit, CacheServesTwentySecondsPerRefresh)
{
    NavEngine engine;
    engine.ephemeris[19] = RemondiEphemeris();
    const SatelliteFix first = engine.LookupSatellite(19, 20, 86400.0);
    EXPECT_DOUBLE_EQ(engine.cache[19].tRef, 86400.0 + 10.0 - 0.2);
    const SatelliteMotion truth = SatelliteFromEphemeris(engine.ephemeris[19], 86400.0);
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_NEAR(first.position[k], truth.position[k], 0.05);

    (void)engine.LookupSatellite(19, 20, 86419.0);
    EXPECT_DOUBLE_EQ(engine.cache[19].tRef, 86409.8);
    (void)engine.LookupSatellite(19, 20, 86421.0);
    EXPECT_DOUBLE_EQ(engine.cache[19].tRef, 86430.8);
    // A different issue refreshes at once, from the previous table when it holds that issue.
    engine.previousEphemeris[19] = RemondiEphemeris();
    engine.previousEphemeris[19].iode = 19;
    engine.previousEphemeris[19].crs = 1000.0;
    const SatelliteFix old = engine.LookupSatellite(19, 19, 86421.0);
    EXPECT_EQ(engine.cache[19].iode, 19);
    const SatelliteMotion oldTruth = SatelliteFromEphemeris(engine.previousEphemeris[19], 86421.0);
    EXPECT_NEAR(old.position[0], oldTruth.position[0], 0.05);
}

TEST(NavOrbit, AlmanacOrbitAgreesWithTheEphemerisWithoutHarmonics)
{
    EphemerisRecord e = RemondiEphemeris();
    e.crs = e.crc = e.cus = e.cuc = e.cis = e.cic = e.idot = e.deltaN = 0.0;
    AlmanacRecord a;
    a.state = kAlmanacHeld;
    a.week = 1124;
    a.toa = e.toe;
    a.e = e.e;
    a.i = e.i0;
    a.omegaDot = e.omegaDot;
    a.sqrtA = e.sqrtA;
    a.omega0 = e.omega0;
    a.omega = e.omega;
    a.m0 = e.m0;
    const SatelliteMotion m = SatelliteFromEphemeris(e, e.toe + 2000.0);
    const Triple p = SatelliteFromAlmanac(a, 1124, e.toe + 2000.0);
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_NEAR(p[k], m.position[k], 1e-4);
    // A week later in the week number is a week later in time (no half-week folding).
    const Triple next = SatelliteFromAlmanac(a, 1125, e.toe + 2000.0 - 604800.0);
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_NEAR(next[k], p[k], 1e-3);
}

TEST(NavOrbit, ClockCorrectionFoldsAcrossTheWeek)
{
    EphemerisRecord e = RemondiEphemeris();
    e.af2 = 1e-18;
    EXPECT_DOUBLE_EQ(SatelliteClockCorrection(e, e.toc + 100.0 + 604800.0, 0.0),
                     SatelliteClockCorrection(e, e.toc + 100.0, 0.0));
    EXPECT_DOUBLE_EQ(SatelliteClockCorrection(e, e.toc - 302500.0, 0.0),
                     SatelliteClockCorrection(e, e.toc + 302300.0, 0.0));
}

TEST(NavDelays, ZenithIonoWithoutParametersAndTroposphere)
{
    const double halfPi = 1.5707963267949;
    EXPECT_NEAR(IonosphericDelay(nullptr, halfPi, 0.0, 0.4, 2.1, 1000.0),
                0.5 + 1.49896229 * (1 + 16 * 0.03 * 0.03 * 0.03), 1e-9);
    EXPECT_EQ(IonosphericDelay(nullptr, -0.01, 0.0, 0.4, 2.1, 1000.0), 0.0);
    EXPECT_NEAR(TroposphericDelay(halfPi, 0.0), 2.4224 / 1.026, 1e-12);
    EXPECT_EQ(TroposphericDelay(-0.1, 0.0), 0.0);
    EXPECT_EQ(TroposphericDelay(-0.02, 0.0), 0.0);
    EXPECT_EQ(TroposphericDelay(0.0, -100000.0), 200.0);
}

TEST(NavDelays, KlobucharDayAndNight)
{
    IonoUtcParameters p;
    p.alpha0 = 1.1176e-8;
    p.alpha1 = 7.4506e-9;
    p.alpha2 = -5.9605e-8;
    p.alpha3 = -5.9605e-8;
    p.beta0 = 90112.0;
    p.beta1 = 0.0;
    p.beta2 = -196608.0;
    p.beta3 = -65536.0;
    const double lat = 0.7, lon = 0.2, el = 0.6, az = 2.0;
    // Local time at the pierce point near 14:00 gives the daytime cosine term; at night the floor.
    const double day = IonosphericDelay(&p, el, az, lat, lon, 50400.0 - 43200.0 * (lon / 3.1415926535898));
    const double night = IonosphericDelay(&p, el, az, lat, lon, 7200.0);
    const double f = 1.0 + 16.0 * std::pow(0.53 - el / 3.1415926535898, 3);
    EXPECT_NEAR(night, f * 1.49896229, 1e-9);
    EXPECT_GT(day, night + 1.0);
    EXPECT_LT(day, 30.0);
}

TEST(NavLook, AzimuthNorthAndJustWestOfNorth)
{
    NavEngine engine;
    engine.almanac = BuiltInAlmanac();
    engine.solution.enu = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const Triple s = SatelliteFromAlmanac(engine.almanac[0], 980, 233472.0);
    engine.solution.x = s[0];
    engine.solution.y = s[1] - 2e7;
    engine.solution.z = s[2] - 1e6;
    engine.RefreshLookRow(0, 980, 233472.0);
    EXPECT_EQ(engine.lookTable[0].azimuth, 0.0);
    EXPECT_EQ(engine.lookTable[0].azimuthDeg, 0);
    EXPECT_GT(engine.lookTable[0].elevation, 0.0);

    engine.solution.x = s[0] + 1.0;
    engine.RefreshLookRow(0, 980, 233472.0);
    EXPECT_GT(engine.lookTable[0].azimuth, 6.28);
    EXPECT_LT(engine.lookTable[0].azimuth, 6.2831853071796);
    EXPECT_EQ(engine.lookTable[0].azimuthDeg, 359);

    // Satellites without almanac or ephemeris get an empty row.
    engine.RefreshLookRow(10, 980, 233472.0);
    EXPECT_EQ(engine.lookTable[10].elevationDeg, 0);
    EXPECT_EQ(engine.lookTable[10].azimuth, 0.0);
}

TEST(NavLook, IntegerColumnsTruncateTowardZero)
{
    LookPrediction p;
    p.doppler = -2.7;
    p.elevation = -0.01;
    p.azimuth = 0.5;
    const SatelliteLookRow row = LookRowFromPrediction(p);
    EXPECT_EQ(row.dopplerHz, -2);
    EXPECT_EQ(row.elevationDeg, 0);
    EXPECT_EQ(row.azimuthDeg, 28);
    p.doppler = std::nan("");
    EXPECT_EQ(LookRowFromPrediction(p).dopplerHz, 0);
}
}  // namespace
