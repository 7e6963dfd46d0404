// The simulator's broadcast subframes: parity and framing of every word over a whole 12.5-minute
// cycle, and a round trip of every field through the navigation engine's subframe decoder, which
// was written separately from the same bit layouts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "SimTestSupport.h"
#include "sim/Atmosphere.h"
#include "sim/NavMessage.h"

namespace
{
using namespace vrnsim;

constexpr GpsTime kFrameStart{2400, 345000.0};  // page 1 of the cycle begins here (345000 / 30 % 25 == 0)

struct Field
{
    Field(std::string n, auto d, auto e, double s, bool a = false)
        : name(std::move(n)),
          decoded(static_cast<double>(d)),
          expected(static_cast<double>(e)),
          step(s),
          angle(a)
    {
    }
    std::string name;
    double decoded;
    double expected;
    double step;  // one unit of the broadcast field
    bool angle;
};

void ExpectFields(const std::vector<Field>& fields, const std::string& context)
{
    for (const Field& f : fields)
    {
        double diff = f.decoded - f.expected;
        if (f.angle)
            diff = std::remainder(diff, 2.0 * kGpsPi);
        EXPECT_LE(std::abs(diff), 0.5 * f.step)
            << context << ": " << f.name << " decoded " << f.decoded << " expected " << f.expected;
    }
}

double Sc(std::int64_t raw, int bits)
{
    return std::ldexp(static_cast<double>(raw), -bits);
}

TEST(SubframeEncoding, EveryWordOfACycleHasGoodParityAndFraming)
{
    CConstellation constellation(kFrameStart);
    for (const int prn : {1, 17, 31})
    {
        std::uint32_t previous = 0;
        for (int k = 0; k < 125; ++k)  // 25 frames of 5 subframes
        {
            const GpsTime start = AddSeconds(kFrameStart, 6.0 * k);
            const SubframeWords w = BuildSubframe(constellation, prn, start);
            for (std::size_t i = 0; i < w.size(); ++i)
            {
                ASSERT_TRUE(ParityOk(w[i], previous))
                    << "prn " << prn << " subframe " << k << " word " << i + 1;
                previous = w[i];
            }
            EXPECT_EQ(w[0] >> 22, 0x8BU);
            EXPECT_EQ(w[1] & 3U, 0U) << "HOW must end in D29 = D30 = 0";
            EXPECT_EQ(w[9] & 3U, 0U) << "word 10 must end in D29 = D30 = 0";
            EXPECT_EQ(w[1] >> 13 & 0x1FFFFU, (345000U / 6 + static_cast<unsigned>(k) + 1) % 100800U);
            EXPECT_EQ(static_cast<int>(w[1] >> 8 & 7U), k % 5 + 1);
            const int page = k / 5;  // 0-based page of subframes 4 and 5
            const int svId = static_cast<int>(w[2] >> 22 & 0x3FU);
            if (k % 5 == 3)
            {
                const int scheduled = kSubframe4SvIds[static_cast<std::size_t>(page)];
                EXPECT_EQ(svId, scheduled == 32 ? 0 : scheduled) << "subframe 4 page " << page + 1;
            }
            if (k % 5 == 4)
            {
                EXPECT_EQ(svId, page == 24 ? 51 : (page + 1 == 4 ? 0 : page + 1))
                    << "subframe 5 page " << page + 1;
            }
        }
    }
}

TEST(SubframeEncoding, ParityDetectsEverySingleBitError)
{
    CConstellation constellation(kFrameStart);
    const SubframeWords w = BuildSubframe(constellation, 5, kFrameStart);
    for (std::size_t i = 1; i < w.size(); ++i)
        for (int bit = 0; bit < 30; ++bit)
            EXPECT_FALSE(ParityOk(w[i] ^ (1U << bit), w[i - 1])) << "word " << i + 1 << " bit " << bit;
}

TEST(SubframeEncoding, EphemerisRoundTripsThroughTheEngineDecoder)
{
    CConstellation constellation(kFrameStart);
    for (const int prn : constellation.Prns())
    {
        NavEngine engine;
        engine.ResetNavigation();
        for (int k = 0; k < 3; ++k)
            engine.DecodeSubframe(prn, BuildSubframe(constellation, prn, AddSeconds(kFrameStart, 6.0 * k)));
        const EphemerisRecord& d = engine.ephemeris[static_cast<std::size_t>(prn - 1)];
        ASSERT_EQ(d.valid, 1) << "prn " << prn;
        const LnavEphemeris& e = constellation.Ephemeris(prn, kFrameStart);
        const double pi = kGpsPi;
        ExpectFields(
            {
                {"tSubframe1", d.tSubframe1, kFrameStart.tow, 0.5},
                {"week10", d.week10, kFrameStart.week % 1024, 0.5},
                {"l2PFlag", d.l2PFlag, e.l2pFlag, 0.5},
                {"ura", d.ura, e.ura, 0.5},
                {"health", d.health, e.health, 0.5},
                {"iodc", d.iodc, e.iodc, 0.5},
                {"iode", d.iode, e.iode, 0.5},
                {"tgd", d.tgd, Sc(e.tgd, 31), Sc(1, 31)},
                {"toc", d.toc, 16.0 * e.toc, 16.0},
                {"af2", d.af2, Sc(e.af2, 55), Sc(1, 55)},
                {"af1", d.af1, Sc(e.af1, 43), Sc(1, 43)},
                {"af0", d.af0, Sc(e.af0, 31), Sc(1, 31)},
                {"crs", d.crs, Sc(e.crs, 5), Sc(1, 5)},
                {"deltaN", d.deltaN, Sc(e.deltaN, 43) * pi, Sc(1, 43) * pi},
                {"m0", d.m0, Sc(e.m0, 31) * pi, Sc(1, 31) * pi, true},
                {"cuc", d.cuc, Sc(e.cuc, 29), Sc(1, 29)},
                {"e", d.e, Sc(e.e, 33), Sc(1, 33)},
                {"cus", d.cus, Sc(e.cus, 29), Sc(1, 29)},
                {"sqrtA", d.sqrtA, Sc(e.sqrtA, 19), Sc(1, 19)},
                {"toe", d.toe, 16.0 * e.toe, 16.0},
                {"fitFlag", d.fitFlag, e.fitFlag, 0.5},
                {"cic", d.cic, Sc(e.cic, 29), Sc(1, 29)},
                {"omega0", d.omega0, Sc(e.omega0, 31) * pi, Sc(1, 31) * pi, true},
                {"cis", d.cis, Sc(e.cis, 29), Sc(1, 29)},
                {"i0", d.i0, Sc(e.i0, 31) * pi, Sc(1, 31) * pi, true},
                {"crc", d.crc, Sc(e.crc, 5), Sc(1, 5)},
                {"omega", d.omega, Sc(e.omega, 31) * pi, Sc(1, 31) * pi, true},
                {"omegaDot", d.omegaDot, Sc(e.omegaDot, 43) * pi, Sc(1, 43) * pi},
                {"idot", d.idot, Sc(e.idot, 43) * pi, Sc(1, 43) * pi},
            },
            "prn " + std::to_string(prn));

        // Both orbit computations, fed the same broadcast, put the satellite in the same place.
        for (const double dt : {-7000.0, -3600.0, 0.0, 1800.0})
        {
            const GpsTime t = AddSeconds(kFrameStart, dt);
            const SatelliteMotion theirs = SatelliteFromEphemeris(d, t.tow);
            const SatelliteState ours = EvaluateEphemeris(e, t);
            EXPECT_LT(simtest::Distance(theirs.position[0], theirs.position[1], theirs.position[2],
                                        ours.position.x, ours.position.y, ours.position.z),
                      0.02)
                << "prn " << prn << " at " << dt;
            const double theirClock = SatelliteClockCorrection(d, t.tow, theirs.relClock);
            EXPECT_NEAR(theirClock, ours.clockS - GroupDelayS(e), 1e-11) << "prn " << prn;
        }
    }
}

TEST(SubframeEncoding, AlmanacAndIonosphereRoundTripThroughTheEngineDecoder)
{
    CConstellation constellation(kFrameStart);
    NavEngine engine;
    engine.ResetNavigation();
    engine.inputs.week = kFrameStart.week;
    engine.inputs.timeOfWeek = kFrameStart.tow;
    const int prn = 9;  // subframes 4 and 5 count only from a satellite with a valid ephemeris
    for (int k = 0; k < 125; ++k)
        engine.DecodeSubframe(prn, BuildSubframe(constellation, prn, AddSeconds(kFrameStart, 6.0 * k)));
    ASSERT_EQ(engine.ionoValid, 1);

    for (int sv = 1; sv <= 32; ++sv)
    {
        const AlmanacRecord& d = engine.almanac[static_cast<std::size_t>(sv - 1)];
        if (!constellation.Exists(sv))
        {
            EXPECT_EQ(d.state, kAlmanacAbsent) << "sv " << sv;
            continue;
        }
        ASSERT_EQ(d.state, kAlmanacHeld) << "sv " << sv;
        const LnavAlmanac& a = constellation.Almanac(sv);
        const double pi = kGpsPi;
        ExpectFields(
            {
                {"health", d.health, a.health, 0.5},
                {"e", d.e, Sc(a.e, 21), Sc(1, 21)},
                {"toa", d.toa, std::ldexp(a.toa, 12), 4096.0},
                {"week", d.week, constellation.AlmanacWeek(), 0.5},
                {"i", d.i, (0.3 + Sc(a.deltaI, 19)) * pi, Sc(1, 19) * pi},
                {"omegaDot", d.omegaDot, Sc(a.omegaDot, 38) * pi, Sc(1, 38) * pi},
                {"sqrtA", d.sqrtA, Sc(a.sqrtA, 11), Sc(1, 11)},
                {"omega0", d.omega0, Sc(a.omega0, 23) * pi, Sc(1, 23) * pi, true},
                {"omega", d.omega, Sc(a.omega, 23) * pi, Sc(1, 23) * pi, true},
                {"m0", d.m0, Sc(a.m0, 23) * pi, Sc(1, 23) * pi, true},
                {"af0", d.af0, Sc(a.af0, 20), Sc(1, 20)},
                {"af1", d.af1, Sc(a.af1, 38), Sc(1, 38)},
            },
            "almanac sv " + std::to_string(sv));
        // The almanac puts the satellite within a few kilometres of its ephemeris orbit.
        const Triple alm = SatelliteFromAlmanac(d, kFrameStart.week, kFrameStart.tow + 600.0);
        const Vec3 eph = constellation.State(sv, AddSeconds(kFrameStart, 600.0)).position;
        EXPECT_LT(simtest::Distance(alm[0], alm[1], alm[2], eph.x, eph.y, eph.z), 10000.0) << "sv " << sv;
    }

    const LnavIonoUtc& p = constellation.IonoUtc();
    const IonoUtcParameters& d = engine.iono;
    ExpectFields(
        {
            {"alpha0", d.alpha0, Sc(p.alpha0, 30), Sc(1, 30)},
            {"alpha1", d.alpha1, Sc(p.alpha1, 27), Sc(1, 27)},
            {"alpha2", d.alpha2, Sc(p.alpha2, 24), Sc(1, 24)},
            {"alpha3", d.alpha3, Sc(p.alpha3, 24), Sc(1, 24)},
            {"beta0", d.beta0, std::ldexp(p.beta0, 11), 2048.0},
            {"beta1", d.beta1, std::ldexp(p.beta1, 14), 16384.0},
            {"beta2", d.beta2, std::ldexp(p.beta2, 16), 65536.0},
            {"beta3", d.beta3, std::ldexp(p.beta3, 16), 65536.0},
            {"a0", d.a0, Sc(p.a0, 30), Sc(1, 30)},
            {"a1", d.a1, Sc(p.a1, 50), Sc(1, 50)},
            {"tot", d.tot, std::ldexp(p.tot, 12), 4096.0},
            {"deltaTLs", d.deltaTLs, p.deltaTLs, 0.5},
            {"wnT", d.wnT, p.wnT, 0.5},
            {"wnLsf", d.wnLsf, p.wnLsf, 0.5},
            {"dn", d.dn, p.dn, 0.5},
            {"deltaTLsf", d.deltaTLsf, p.deltaTLsf, 0.5},
        },
        "page 18");

    // The two Klobuchar and troposphere implementations agree for every direction.
    const Geodetic rx{24.7753 * kDegree, 121.00248 * kDegree, 150.0};
    const KlobucharCoefficients k = Coefficients(p);
    for (double el = 2.0; el < 90.0; el += 11.0)
        for (double az = 0.0; az < 360.0; az += 45.0)
            for (const double tow : {3600.0, 30000.0, 50400.0, 80000.0})
            {
                const LookAngles look{el * kDegree, az * kDegree};
                EXPECT_NEAR(
                    IonosphericDelay(&d, look.elevation, look.azimuth, rx.latitude, rx.longitude, tow),
                    IonosphericDelayM(k, rx, look, tow), 1e-6);
                EXPECT_NEAR(TroposphericDelay(look.elevation, rx.height),
                            TroposphericDelayM(rx.height, look.elevation), 1e-3);
            }
}

}  // namespace
