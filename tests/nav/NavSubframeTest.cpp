// Subframe decoding: encode -> DecodeSubframe round trips, issue numbers, weeks, pages.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "NavEncoding.h"
#include "nav/NavEngine.h"

namespace
{
using navtest::EncodeAlmanacPage;
using navtest::EncodeEphemeris;
using navtest::EncodeIonoUtcPage;

// A broadcast ephemeris (2001-07-23, PRN 20) in the engine's units.
EphemerisRecord SampleEphemeris()
{
    EphemerisRecord e;
    e.week10 = 1124 % 1024;
    e.ura = 2;
    e.health = 0;
    e.tgd = -6.51925802231e-09;
    e.iodc = 276;
    e.iode = 276 & 0xFF;
    e.toc = 93600.0;
    e.af2 = 0.0;
    e.af1 = -2.72848410532e-12;
    e.af0 = -8.57324339449e-05;
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
    return e;
}

void FeedEphemeris(NavEngine& engine, int prn, const EphemerisRecord& e, std::uint32_t towCount)
{
    const auto sf = EncodeEphemeris(e, towCount);
    engine.DecodeSubframe(prn, sf.sf1);
    engine.DecodeSubframe(prn, sf.sf2);
    engine.DecodeSubframe(prn, sf.sf3);
}

NavEngine FreshEngine()
{
    NavEngine engine;
    engine.ResetNavigation();
    engine.resetPending = false;
    return engine;
}

// Angles of 32 bits come back in [0, 2^32 steps).
double Wrap(double a)
{
    const double twoPi = 4294967296.0 * navtest::kSemicircle;
    return std::fmod(std::fmod(a, twoPi) + twoPi, twoPi);
}

TEST(NavSubframe, EphemerisRoundTripsToTheScaleStep)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int run = 0; run < 50; ++run)
    {
        EphemerisRecord in = SampleEphemeris();
        in.week10 = run * 20;
        in.iodc = (run * 37) & 0x3FF;
        in.iode = in.iodc & 0xFF;
        in.ura = run % 16;
        in.l2PFlag = run & 1;
        in.tgd = unit(rng) * 5e-8;
        in.toc = 16.0 * (1000.0 + run * 700.0);
        in.af2 = unit(rng) * 3e-15;
        in.af1 = unit(rng) * 3e-9;
        in.af0 = unit(rng) * 9e-4;
        in.crs = unit(rng) * 1000.0;
        in.deltaN = unit(rng) * 1e-8;
        in.m0 = unit(rng) * 3.0;
        in.cuc = unit(rng) * 6e-5;
        in.e = 0.02 * std::fabs(unit(rng));
        in.cus = unit(rng) * 6e-5;
        in.sqrtA = 5153.0 + unit(rng);
        in.toe = in.toc;
        in.fitFlag = (run >> 1) & 1;
        in.cic = unit(rng) * 6e-5;
        in.omega0 = unit(rng) * 3.0;
        in.cis = unit(rng) * 6e-5;
        in.i0 = 0.95 + 0.02 * unit(rng);
        in.crc = unit(rng) * 1000.0;
        in.omega = unit(rng) * 3.0;
        in.omegaDot = unit(rng) * 9e-9;
        in.idot = unit(rng) * 5e-10;

        NavEngine engine = FreshEngine();
        const std::uint32_t tow = 6300 + static_cast<std::uint32_t>(run);
        FeedEphemeris(engine, 9, in, tow);
        const EphemerisRecord& out = engine.ephemeris[8];
        ASSERT_EQ(out.valid, 1) << run;
        EXPECT_EQ(out.tSubframe1, static_cast<int>(tow) * 6 - 6);
        EXPECT_EQ(out.week10, in.week10);
        EXPECT_EQ(out.l2PFlag, in.l2PFlag);
        EXPECT_EQ(out.ura, in.ura);
        EXPECT_EQ(out.health, 0);
        EXPECT_EQ(out.iodc, in.iodc);
        EXPECT_EQ(out.iode, in.iode);
        EXPECT_EQ(out.fitFlag, in.fitFlag);
        EXPECT_NEAR(out.tgd, in.tgd, 4.656612873e-10 / 2);
        EXPECT_EQ(out.toc, in.toc);
        EXPECT_EQ(out.toe, in.toe);
        EXPECT_NEAR(out.af2, in.af2, 2.775557562e-17 / 2);
        EXPECT_NEAR(out.af1, in.af1, 1.136868377e-13 / 2);
        EXPECT_NEAR(out.af0, in.af0, 4.656612873e-10 / 2);
        EXPECT_NEAR(out.crs, in.crs, 0.03125 / 2);
        EXPECT_NEAR(out.crc, in.crc, 0.03125 / 2);
        const double step = navtest::kSemicircleRate / 2 * 1.0000001;
        EXPECT_NEAR(out.deltaN, in.deltaN, step);
        EXPECT_NEAR(out.omegaDot, in.omegaDot, step);
        EXPECT_NEAR(out.idot, in.idot, step);
        const double angle = navtest::kSemicircle / 2 * 1.0000001;
        EXPECT_NEAR(out.m0, Wrap(in.m0), angle);
        EXPECT_NEAR(out.omega0, Wrap(in.omega0), angle);
        EXPECT_NEAR(out.omega, Wrap(in.omega), angle);
        EXPECT_NEAR(out.i0, in.i0, angle);
        for (auto [o, i] :
             {std::pair{out.cuc, in.cuc}, {out.cus, in.cus}, {out.cic, in.cic}, {out.cis, in.cis}})
            EXPECT_NEAR(o, i, 1.862645149e-9 / 2);
        EXPECT_NEAR(out.e, in.e, 1.164153218e-10 / 2);
        EXPECT_NEAR(out.sqrtA, in.sqrtA, 1.907348633e-6 / 2);
        EXPECT_DOUBLE_EQ(out.a, out.sqrtA * out.sqrtA);
        EXPECT_DOUBLE_EQ(out.n0, std::sqrt(3.986005e14 / (out.a * out.a * out.a)));
        EXPECT_EQ(engine.subframeSets[8].have1 + engine.subframeSets[8].have2 + engine.subframeSets[8].have3,
                  0);
    }
}

TEST(NavSubframe, AlmanacAndIonoPagesRoundTrip)
{
    NavEngine engine = FreshEngine();
    FeedEphemeris(engine, 4, SampleEphemeris(), 100);
    engine.inputs.week = 1500;
    engine.inputs.timeOfWeek = 590000.0;

    AlmanacRecord in;
    in.health = 0x3F;
    in.e = 0.0123;
    in.toa = 4096.0 * 10;
    in.i = (0.3 + 0.0051) * navtest::kPi;
    in.omegaDot = -8.2e-9;
    in.sqrtA = 5153.7;
    in.omega0 = -2.5;
    in.omega = 1.1;
    in.m0 = -0.3;
    in.af0 = -4.1e-4;
    in.af1 = -3.6e-12 * 7;
    for (int sv : {3, 24, 25, 32})
    {
        engine.DecodeSubframe(4, EncodeAlmanacPage(in, sv, 2000));
        const AlmanacRecord& out = engine.almanac[static_cast<std::size_t>(sv - 1)];
        EXPECT_EQ(out.state, kAlmanacHeld) << sv;
        EXPECT_EQ(out.health, 0x3F);
        EXPECT_EQ(out.toa, in.toa);
        EXPECT_EQ(out.week, 1501);  // toa lies more than half a week after the measurement time
        EXPECT_NEAR(out.e, in.e, 4.768371582e-7 / 2);
        EXPECT_NEAR(out.i, in.i, 1.907348633e-6 * navtest::kPi / 2);
        EXPECT_NEAR(out.omegaDot, in.omegaDot, 1.1429047493986587e-11 / 2);
        EXPECT_NEAR(out.sqrtA, in.sqrtA, 0.00048828125 / 2);
        for (auto [o, i] : {std::pair{out.omega0, in.omega0}, {out.omega, in.omega}, {out.m0, in.m0}})
            EXPECT_NEAR(o, i, 3.74507028447019e-7 / 2);
        EXPECT_NEAR(out.af0, in.af0, 9.536743164e-7 / 2);
        EXPECT_NEAR(out.af1, in.af1, 3.637978807e-12 / 2);
    }

    IonoUtcParameters p;
    p.alpha0 = 1.1176e-8;
    p.alpha1 = -7.4506e-9;
    p.alpha2 = -5.9605e-8;
    p.alpha3 = 1.1921e-7;
    p.beta0 = 100352.0;
    p.beta1 = -131072.0;
    p.beta2 = -196608.0;
    p.beta3 = 589824.0;
    p.a0 = -2.7939677238e-9;
    p.a1 = 8.881784197e-16 * -3;
    p.tot = 405504;
    p.deltaTLs = 18;
    p.wnT = 1929 & 0xFF;
    p.wnLsf = 1929 & 0xFF;
    p.dn = 7;
    p.deltaTLsf = 18;
    SubframeWords page18 = EncodeIonoUtcPage(p, 2001);
    page18[6] |= 0xC0000000U;  // bits 31..30 are not part of the word and must not reach a0
    engine.DecodeSubframe(4, page18);
    ASSERT_EQ(engine.ionoValid, 1);
    const IonoUtcParameters& q = engine.iono;
    EXPECT_NEAR(q.alpha0, p.alpha0, std::ldexp(1.0, -31));
    EXPECT_NEAR(q.alpha1, p.alpha1, std::ldexp(1.0, -28));
    EXPECT_NEAR(q.alpha2, p.alpha2, std::ldexp(1.0, -25));
    EXPECT_NEAR(q.alpha3, p.alpha3, std::ldexp(1.0, -25));
    EXPECT_EQ(q.beta0, p.beta0);
    EXPECT_EQ(q.beta1, p.beta1);
    EXPECT_EQ(q.beta2, p.beta2);
    EXPECT_EQ(q.beta3, p.beta3);
    EXPECT_NEAR(q.a0, p.a0, 9.313225746e-10 / 2);
    EXPECT_NEAR(q.a1, p.a1, 8.881784197e-16 / 2);
    EXPECT_EQ(q.tot, p.tot);
    EXPECT_EQ(q.deltaTLs, 18);
    EXPECT_EQ(q.wnT, p.wnT);
    EXPECT_EQ(q.wnLsf, p.wnLsf);
    EXPECT_EQ(q.dn, 7);
    EXPECT_EQ(q.deltaTLsf, 18);

    // One changed field replaces them all.
    IonoUtcParameters changed = q;
    changed.dn = 3;
    engine.DecodeSubframe(4, EncodeIonoUtcPage(changed, 2002));
    EXPECT_EQ(engine.iono.dn, 3);
    EXPECT_EQ(engine.iono.alpha0, q.alpha0);
}

TEST(NavSubframe, SpecialMessageHasTwentyTwoCharacters)
{
    NavEngine engine = FreshEngine();
    FeedEphemeris(engine, 4, SampleEphemeris(), 100);
    const std::string text = "HELLO FROM THE SKY 123";
    SubframeWords w = navtest::Frame(3000, 4);
    navtest::Put(w, 3, 28, 1);
    navtest::Put(w, 3, 22, 55);
    std::size_t n = 0;
    auto put = [&](int word, int shift)
    { navtest::Put(w, word, shift, static_cast<std::uint8_t>(text[n++])); };
    put(3, 14);
    put(3, 6);
    for (int word = 4; word <= 9; ++word)
    {
        put(word, 22);
        put(word, 14);
        put(word, 6);
    }
    put(10, 22);
    put(10, 14);
    engine.DecodeSubframe(4, w);
    EXPECT_EQ(std::string(engine.specialMessage.data()), text);
}

TEST(NavSubframe, IssueNumbersCompleteKeepAndReplace)
{
    NavEngine engine = FreshEngine();
    EphemerisRecord e = SampleEphemeris();
    e.iodc = 0x111;
    e.iode = 0x11;
    FeedEphemeris(engine, 7, e, 200);
    ASSERT_EQ(engine.ephemeris[6].valid, 1);
    EXPECT_EQ(engine.ephemeris[6].iode, 17);
    EXPECT_EQ(engine.previousEphemeris[6].valid, 0);

    // The same issue again changes nothing, and the set stays collected.
    FeedEphemeris(engine, 7, e, 205);
    EXPECT_EQ(engine.previousEphemeris[6].valid, 0);
    EXPECT_EQ(engine.ephemeris[6].tSubframe1, 200 * 6 - 6);
    EXPECT_EQ(engine.subframeSets[6].have1, 1);

    // Mismatched IODEs wait; the matching subframe 3 completes the new issue.
    EphemerisRecord next = e;
    next.iodc = 0x112;
    next.iode = 0x12;
    next.toe = e.toe + 7200.0;
    const auto sfNew = EncodeEphemeris(next, 400);
    const auto sfOld = EncodeEphemeris(e, 400);
    engine.DecodeSubframe(7, sfNew.sf1);
    engine.DecodeSubframe(7, sfNew.sf2);
    engine.DecodeSubframe(7, sfOld.sf3);
    EXPECT_EQ(engine.ephemeris[6].iode, 0x11);
    engine.DecodeSubframe(7, sfNew.sf3);
    EXPECT_EQ(engine.ephemeris[6].iode, 0x12);
    EXPECT_EQ(engine.ephemeris[6].toe, next.toe);
    EXPECT_EQ(engine.previousEphemeris[6].valid, 1);
    EXPECT_EQ(engine.previousEphemeris[6].iode, 0x11);
    EXPECT_EQ(engine.previousEphemeris[6].toe, e.toe);

    // IODE that does not match the low bits of IODC never completes.
    EphemerisRecord odd = e;
    odd.iodc = 0x213;
    odd.iode = 0x14;
    FeedEphemeris(engine, 7, odd, 500);
    EXPECT_EQ(engine.ephemeris[6].iode, 0x12);
}

TEST(NavSubframe, ZeroSqrtAKeepsTheEphemerisInvalid)
{
    NavEngine engine = FreshEngine();
    EphemerisRecord e = SampleEphemeris();
    e.sqrtA = 0.0;
    FeedEphemeris(engine, 2, e, 300);
    EXPECT_EQ(engine.ephemeris[1].valid, 0);
    EXPECT_EQ(engine.subframeSets[1].have3, 1);
}

TEST(NavSubframe, WeekRolloverAgainstTheSolutionWeek)
{
    NavEngine engine = FreshEngine();
    engine.solution.week = 1023;
    EphemerisRecord e = SampleEphemeris();
    e.week10 = 0;
    engine.DecodeSubframe(1, EncodeEphemeris(e, 50).sf1);
    EXPECT_EQ(engine.solution.timeKnown, 1);
    EXPECT_EQ(engine.solution.week, 1024);
    EXPECT_EQ(engine.solution.firstWeek, 1024);
    EXPECT_EQ(engine.solution.timeOfWeek, 300.0);

    NavEngine same = FreshEngine();
    same.solution.week = 1000;
    e.week10 = 1000;
    same.DecodeSubframe(1, EncodeEphemeris(e, 50).sf1);
    EXPECT_EQ(same.solution.week, 1000);
}

// The 10-bit week of subframe 1 is folded up to the solution's week over as many 1024-week
// rollovers as it takes: past week 2047 that is two or more.
TEST(NavSubframe, TenBitWeekIsFoldedOverEveryRollover)
{
    struct Case
    {
        int solutionWeek;
        int expected;
    };
    for (const Case& c : {Case{2300, 2300}, Case{2299, 2300}, Case{2047, 2047}, Case{2047, 2048},
                          Case{2560, 2560}, Case{3000, 3001}, Case{1500, 1500}})
    {
        NavEngine engine = FreshEngine();
        engine.solution.week = c.solutionWeek;
        EphemerisRecord e = SampleEphemeris();
        e.week10 = c.expected % 1024;
        engine.DecodeSubframe(1, EncodeEphemeris(e, 50).sf1);
        EXPECT_EQ(engine.solution.timeKnown, 1);
        EXPECT_EQ(engine.solution.week, c.expected) << "solution week " << c.solutionWeek;
        EXPECT_EQ(engine.solution.firstWeek, c.expected) << "solution week " << c.solutionWeek;
    }
}

TEST(NavSubframe, TocWeekFollowsTheDecodingTime)
{
    struct Case
    {
        double toc;
        std::uint32_t towCount;  // of the subframe that completes the set (subframe 3 = towCount + 2)
        int weekShift;
    };
    for (const Case& c : {Case{0.0, 60000, 1}, Case{500000.0, 10, -1}, Case{300000.0, 1000, 0}})
    {
        NavEngine engine = FreshEngine();
        EphemerisRecord e = SampleEphemeris();
        e.week10 = 500;
        e.toc = c.toc;
        e.toe = c.toc;
        FeedEphemeris(engine, 5, e, c.towCount);
        EXPECT_EQ(engine.ephemeris[4].tocWeek, 500 + c.weekShift) << c.toc;
        EXPECT_EQ(engine.ephemeris[4].toeWeek, 500 + c.weekShift) << c.toc;
    }
}

TEST(NavSubframe, UnhealthySatelliteIsMarkedAndItsPagesIgnored)
{
    NavEngine engine = FreshEngine();
    EphemerisRecord e = SampleEphemeris();
    e.health = 0x21;
    FeedEphemeris(engine, 6, e, 700);
    EXPECT_EQ(engine.solution.timeKnown, 0);
    EXPECT_EQ(engine.ephemeris[5].health, 0x21);
    const AlmanacRecord before = engine.almanac[2];
    AlmanacRecord a;
    a.sqrtA = 5000.0;
    engine.DecodeSubframe(6, EncodeAlmanacPage(a, 3, 703));
    EXPECT_EQ(engine.almanac[2].sqrtA, before.sqrtA);
}

TEST(NavSubframe, AlmanacPageWithZeroSqrtAChangesNothing)
{
    NavEngine engine = FreshEngine();
    FeedEphemeris(engine, 4, SampleEphemeris(), 100);
    const AlmanacRecord before = engine.almanac[9];
    AlmanacRecord a;
    a.e = 0.5;
    engine.DecodeSubframe(4, EncodeAlmanacPage(a, 10, 104));
    EXPECT_EQ(engine.almanac[9].e, before.e);
    EXPECT_EQ(engine.almanac[9].state, before.state);
}

TEST(NavSubframe, DummyPagesMarkTheScheduledSatelliteAbsent)
{
    NavEngine engine = FreshEngine();
    FeedEphemeris(engine, 4, SampleEphemeris(), 100);
    auto dummy = [](std::uint32_t towCount, int subframe)
    {
        SubframeWords w = navtest::Frame(towCount, subframe);
        navtest::Put(w, 3, 28, 1);
        return w;
    };
    // Subframe 5, TOW count 15: page 3 carries SV 3.
    engine.DecodeSubframe(4, dummy(15, 5));
    EXPECT_EQ(engine.almanac[2].state, kAlmanacAbsent);
    // Subframe 5 with TOW count 0 (the last of a week) is page 10: SV 10.
    ASSERT_EQ(engine.almanac[9].state, kAlmanacHeld);
    engine.DecodeSubframe(4, dummy(0, 5));
    EXPECT_EQ(engine.almanac[9].state, kAlmanacAbsent);
    // Subframe 4, TOW count 4 is page 1 (SV 57): nothing; TOW count 9 is page 2: SV 25.
    const auto states = engine.almanac;
    engine.DecodeSubframe(4, dummy(4, 4));
    for (std::size_t i = 0; i < kPrnCount; ++i)
        EXPECT_EQ(engine.almanac[i].state, states[i].state);
    engine.DecodeSubframe(4, dummy(9, 4));
    EXPECT_EQ(engine.almanac[24].state, kAlmanacAbsent);
}

TEST(NavSubframe, GarbageWordsNeverBreakTheTables)
{
    NavEngine engine = FreshEngine();
    std::mt19937 rng(11);
    for (int n = 0; n < 20000; ++n)
    {
        SubframeWords w{};
        for (auto& word : w)
            word = static_cast<std::uint32_t>(rng());
        engine.DecodeSubframe(static_cast<int>(rng() % 40), w);
    }
    for (const auto& eph : engine.ephemeris)
        if (eph.valid != 0)
        {
            EXPECT_GT(eph.sqrtA, 0.0);
            EXPECT_TRUE(std::isfinite(eph.n0));
            const SatelliteMotion m = SatelliteFromEphemeris(eph, 1000.0);
            EXPECT_TRUE(std::isfinite(m.position[0]));
        }
}
}  // namespace
