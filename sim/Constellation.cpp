// Orbit and clock generation of the simulated constellation and the two-hourly ephemeris issues.
#include "sim/Constellation.h"

#include <algorithm>
#include <cmath>

namespace vrnsim
{
namespace
{
constexpr double kTwoPi = 2.0 * kGpsPi;

// A small deterministic generator (splitmix64), so the constellation is the same on every build.
class Dice
{
public:
    explicit Dice(std::uint64_t seed) : m_state(seed) {}
    double Uniform(double lo, double hi)
    {
        m_state += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = m_state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        z ^= z >> 31;
        return lo + (hi - lo) * std::ldexp(static_cast<double>(z >> 11), -53);
    }

private:
    std::uint64_t m_state;
};

// Angle in radians to the nearest integer count of `2^-scaleBits` semicircles, wrapped to [-pi, pi).
std::int32_t Semicircles(double radians, int scaleBits)
{
    double sc = radians / kGpsPi;
    sc -= 2.0 * std::floor((sc + 1.0) / 2.0);
    const double raw = std::round(std::ldexp(sc, scaleBits));
    const double limit = std::ldexp(1.0, scaleBits);
    return static_cast<std::int32_t>(raw >= limit ? raw - 2.0 * limit : raw);
}
std::int32_t Scaled(double value, int scaleBits)
{
    return static_cast<std::int32_t>(std::lround(std::ldexp(value, scaleBits)));
}
}  // namespace

CConstellation::CConstellation(GpsTime reference) : m_reference{reference.week, 0.0}
{
    for (int prn = 1; prn <= 31; ++prn)
        if (prn != 4)
            m_prns.push_back(prn);

    // Six planes 60 degrees apart, five satellites each, unevenly spaced in the plane as the real
    // constellation is. PRNs are spread over the planes by a fixed permutation.
    Dice dice(0x5EEDC0FFEEULL);
    std::vector<int> order = m_prns;
    for (std::size_t i = order.size() - 1; i > 0; --i)
        std::swap(order[i],
                  order[static_cast<std::size_t>(dice.Uniform(0.0, static_cast<double>(i) + 0.999))]);
    for (std::size_t k = 0; k < order.size(); ++k)
    {
        const int plane = static_cast<int>(k % 6);
        const int slot = static_cast<int>(k / 6);
        Orbit o;
        o.prn = order[k];
        LnavEphemeris& f = o.fixed;
        f.prn = o.prn;
        f.ura = dice.Uniform(0.0, 1.0) < 0.8 ? 0 : 1;
        f.health = 0;
        f.sqrtA = static_cast<std::uint32_t>(std::lround(std::ldexp(dice.Uniform(5152.8, 5154.6), 19)));
        f.e = static_cast<std::uint32_t>(std::lround(std::ldexp(dice.Uniform(0.0015, 0.0195), 33)));
        f.omega = Semicircles(dice.Uniform(-kGpsPi, kGpsPi), 31);
        f.deltaN = Scaled(dice.Uniform(3.9e-9, 5.3e-9) / kGpsPi, 43);
        f.omegaDot = Scaled(dice.Uniform(-8.5e-9, -7.6e-9) / kGpsPi, 43);
        f.idot = Scaled(dice.Uniform(-3.5e-10, 3.5e-10) / kGpsPi, 43);
        f.crs = Scaled(dice.Uniform(-125.0, 125.0), 5);
        f.crc = Scaled(dice.Uniform(140.0, 320.0), 5);
        f.cuc = Scaled(dice.Uniform(-6.5e-6, 6.5e-6), 29);
        f.cus = Scaled(dice.Uniform(-2.0e-6, 1.1e-5), 29);
        f.cic = Scaled(dice.Uniform(-2.2e-7, 2.2e-7), 29);
        f.cis = Scaled(dice.Uniform(-2.2e-7, 2.2e-7), 29);
        f.tgd = static_cast<std::int32_t>(std::lround(dice.Uniform(-24.0, 22.0)));  // about -11..+10 ns
        f.af2 = static_cast<std::int32_t>(std::lround(dice.Uniform(-1.4, 1.4)));
        o.clock0 = dice.Uniform(-4.5e-4, 4.5e-4);
        o.clock1 = dice.Uniform(-9.0e-12, 9.0e-12);
        o.inclination = (55.0 + dice.Uniform(-1.6, 1.6)) * kGpsPi / 180.0;
        o.node = plane * kTwoPi / 6.0 + dice.Uniform(-0.03, 0.03) + 0.35;
        o.mean = slot * kTwoPi / 5.0 + plane * 0.45 + dice.Uniform(-0.25, 0.25);
        m_orbits.push_back(o);
    }
    std::sort(m_orbits.begin(), m_orbits.end(), [](const Orbit& a, const Orbit& b) { return a.prn < b.prn; });
    m_orbitIndex.fill(-1);
    for (std::size_t k = 0; k < m_orbits.size(); ++k)
    {
        Orbit& o = m_orbits[k];
        m_orbitIndex[static_cast<std::size_t>(o.prn - 1)] = static_cast<int>(k);
        o.truth = Elements(o.fixed);
        o.truth.toe = m_reference;  // tow 0: the user algorithm's omega0 is then the node itself
        o.truth.toc = m_reference;
        o.truth.m0 = o.mean;
        o.truth.omega0 = o.node;
        o.truth.i0 = o.inclination;
        o.truth.af0 = o.clock0;
        o.truth.af1 = o.clock1;
    }

    // Typical mid-latitude broadcast values.
    m_ionoUtc.alpha0 = 12;  // 1.12e-8 s
    m_ionoUtc.alpha1 = 1;   // 7.45e-9 s/semicircle
    m_ionoUtc.alpha2 = -1;  // -5.96e-8
    m_ionoUtc.alpha3 = -1;
    m_ionoUtc.beta0 = 44;  // 90112 s
    m_ionoUtc.beta1 = 1;   // 16384
    m_ionoUtc.beta2 = -3;  // -196608
    m_ionoUtc.beta3 = -1;  // -65536
    m_ionoUtc.a1 = 5;
    m_ionoUtc.a0 = -14;
    m_ionoUtc.tot = 144;  // 589824 s
    m_ionoUtc.wnT = static_cast<std::uint32_t>(reference.week) & 0xFFU;
    m_ionoUtc.deltaTLs = kLeapSeconds;
    m_ionoUtc.wnLsf = 137;  // 2017 leap second week, mod 256
    m_ionoUtc.dn = 7;
    m_ionoUtc.deltaTLsf = kLeapSeconds;

    MakeAlmanac(reference);
}

bool CConstellation::Exists(int prn) const
{
    return Find(prn) != nullptr;
}

const CConstellation::Orbit* CConstellation::Find(int prn) const
{
    const auto index = PrnIndex(prn);
    if (!index || m_orbitIndex[*index] < 0)
        return nullptr;
    return &m_orbits[static_cast<std::size_t>(m_orbitIndex[*index])];
}

SatelliteState CConstellation::TrueState(int prn, GpsTime t) const
{
    const Orbit* o = Find(prn);
    return o ? Evaluate(o->truth, t) : SatelliteState{};
}

double CConstellation::GroupDelayS(int prn) const
{
    const Orbit* o = Find(prn);
    return o ? vrnsim::GroupDelayS(o->fixed) : 0.0;
}

LnavEphemeris CConstellation::MakeIssue(const Orbit& o, std::int64_t block) const
{
    LnavEphemeris eph = o.fixed;
    const std::int64_t toeAbs = (block + 1) * kIssueSeconds;  // toe at the end of the transmission window
    eph.week = static_cast<int>(toeAbs / 604800);
    const double toeTow = static_cast<double>(toeAbs % 604800);
    eph.toe = static_cast<std::uint32_t>(toeTow / 16.0);
    eph.toc = eph.toe;
    eph.iode = static_cast<int>((block + o.prn * 11) & 0xFF);
    eph.iodc = static_cast<int>((((block >> 8) + o.prn) & 3) << 8) | eph.iode;

    const double dt = Seconds(m_reference, GpsTime{eph.week, toeTow});
    const double sqrtA = std::ldexp(static_cast<double>(eph.sqrtA), -19);
    const double n = std::sqrt(kMu / (sqrtA * sqrtA * sqrtA * sqrtA * sqrtA * sqrtA)) +
                     std::ldexp(eph.deltaN, -43) * kGpsPi;
    eph.m0 = Semicircles(o.mean + n * dt, 31);
    const double omegaDot = std::ldexp(eph.omegaDot, -43) * kGpsPi;
    eph.omega0 = Semicircles(o.node + (omegaDot - kEarthRate) * dt + kEarthRate * toeTow, 31);
    eph.i0 = Semicircles(o.inclination + std::ldexp(eph.idot, -43) * kGpsPi * dt, 31);
    const double af2 = std::ldexp(eph.af2, -55);
    eph.af0 = Scaled(o.clock0 + o.clock1 * dt + af2 * dt * dt, 31);
    eph.af1 = Scaled(o.clock1 + 2.0 * af2 * dt, 43);
    return eph;
}

const LnavEphemeris& CConstellation::Ephemeris(int prn, GpsTime t)
{
    const std::size_t index = PrnIndex(prn).value_or(0);
    const std::int64_t block =
        (static_cast<std::int64_t>(t.week) * 604800 + static_cast<std::int64_t>(std::floor(t.tow))) /
        kIssueSeconds;
    Cached& c = m_cache[index];
    if (c.block != block)
    {
        const Orbit* o = Find(prn);
        c.eph = o ? MakeIssue(*o, block) : LnavEphemeris{};
        c.block = block;
    }
    return c.eph;
}

const LnavAlmanac& CConstellation::Almanac(int prn) const
{
    return m_almanac[PrnIndex(prn).value_or(0)];
}

void CConstellation::MakeAlmanac(GpsTime reference)
{
    const std::uint32_t toaRaw = static_cast<std::uint32_t>(std::floor(reference.tow / 4096.0));
    m_almanacWeek = reference.week;
    const double toa = 4096.0 * toaRaw;
    const double dt = Seconds(m_reference, GpsTime{reference.week, toa});
    for (const Orbit& o : m_orbits)
    {
        const LnavEphemeris& f = o.fixed;
        LnavAlmanac a;
        a.prn = o.prn;
        a.health = 0;
        const double e = std::ldexp(static_cast<double>(f.e), -33);
        a.e = static_cast<std::uint32_t>(std::lround(std::ldexp(e, 21)));
        a.toa = toaRaw;
        const double inc = o.inclination + std::ldexp(f.idot, -43) * kGpsPi * dt;
        a.deltaI = Scaled(inc / kGpsPi - 0.3, 19);
        const double omegaDot = std::ldexp(f.omegaDot, -43) * kGpsPi;
        a.omegaDot = Scaled(omegaDot / kGpsPi, 38);
        const double sqrtA = std::ldexp(static_cast<double>(f.sqrtA), -19);
        a.sqrtA = static_cast<std::uint32_t>(std::lround(std::ldexp(sqrtA, 11)));
        const double n = std::sqrt(kMu / std::pow(sqrtA, 6)) + std::ldexp(f.deltaN, -43) * kGpsPi;
        a.m0 = Semicircles(o.mean + n * dt, 23);
        a.omega = Semicircles(std::ldexp(f.omega, -31) * kGpsPi, 23);
        a.omega0 = Semicircles(o.node + (omegaDot - kEarthRate) * dt + kEarthRate * toa, 23);
        const double af2 = std::ldexp(f.af2, -55);
        a.af0 = Scaled(o.clock0 + o.clock1 * dt + af2 * dt * dt, 20);
        a.af1 = Scaled(o.clock1 + 2.0 * af2 * dt, 38);
        m_almanac[PrnIndex(o.prn).value_or(0)] = a;
    }
}

}  // namespace vrnsim
