// Test-side encoder of broadcast subframes: turns ephemeris, almanac and page-18 values into the
// ten 30-bit words a receiver forwards (parity bits left zero; the engine does not test them).
#pragma once

#include <cmath>
#include <cstdint>

#include "nav/NavEngine.h"

namespace navtest
{
inline constexpr double kPi = 3.1415926535898;
inline constexpr double kSemicircle = 1.4629180792428494e-9;  // 2^-31 semicircles in radians
inline constexpr double kSemicircleRate = 3.5715773412817597e-13;

// Quantises `value` to `scale` and keeps `width` bits (two's complement for negative values).
inline std::uint32_t Raw(double value, double scale, int width)
{
    const auto q = static_cast<std::int64_t>(std::llround(value / scale));
    const std::uint64_t mask = (std::uint64_t{1} << width) - 1;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(q) & mask);
}

inline void Put(SubframeWords& w, int word, int shift, std::uint32_t bits)
{
    w[static_cast<std::size_t>(word - 1)] |= bits << shift;
}

// TLM preamble and a handover word carrying `towCount` and `subframeId`.
inline SubframeWords Frame(std::uint32_t towCount, int subframeId)
{
    SubframeWords w{};
    Put(w, 1, 22, 0x8B);
    Put(w, 2, 13, towCount & 0x1FFFF);
    Put(w, 2, 8, static_cast<std::uint32_t>(subframeId) & 7U);
    return w;
}

struct EncodedEphemeris
{
    SubframeWords sf1{}, sf2{}, sf3{};
};

// The three subframes of `e` (raw 10-bit week from week10, IODE from iode, IODC from iodc); the
// handover words carry towCount, towCount + 1 and towCount + 2.
inline EncodedEphemeris EncodeEphemeris(const EphemerisRecord& e, std::uint32_t towCount)
{
    EncodedEphemeris out;
    SubframeWords& w1 = out.sf1;
    w1 = Frame(towCount, 1);
    const auto iodc = static_cast<std::uint32_t>(e.iodc) & 0x3FF;
    Put(w1, 3, 20, static_cast<std::uint32_t>(e.week10) & 0x3FF);
    Put(w1, 3, 14, static_cast<std::uint32_t>(e.ura) & 0xF);
    Put(w1, 3, 8, static_cast<std::uint32_t>(e.health) & 0x3F);
    Put(w1, 3, 6, iodc >> 8);
    Put(w1, 4, 29, static_cast<std::uint32_t>(e.l2PFlag) & 1);
    Put(w1, 7, 6, Raw(e.tgd, 4.656612873e-10, 8));
    Put(w1, 8, 22, iodc & 0xFF);
    Put(w1, 8, 6, Raw(e.toc, 16.0, 16));
    Put(w1, 9, 22, Raw(e.af2, 2.775557562e-17, 8));
    Put(w1, 9, 6, Raw(e.af1, 1.136868377e-13, 16));
    Put(w1, 10, 8, Raw(e.af0, 4.656612873e-10, 22));

    SubframeWords& w2 = out.sf2;
    w2 = Frame(towCount + 1, 2);
    Put(w2, 3, 22, static_cast<std::uint32_t>(e.iode) & 0xFF);
    Put(w2, 3, 6, Raw(e.crs, 0.03125, 16));
    Put(w2, 4, 14, Raw(e.deltaN, kSemicircleRate, 16));
    const std::uint32_t m0 = Raw(e.m0, kSemicircle, 32);
    Put(w2, 4, 6, m0 >> 24);
    Put(w2, 5, 6, m0 & 0xFFFFFF);
    Put(w2, 6, 14, Raw(e.cuc, 1.862645149e-9, 16));
    const std::uint32_t ecc = Raw(e.e, 1.164153218e-10, 32);
    Put(w2, 6, 6, ecc >> 24);
    Put(w2, 7, 6, ecc & 0xFFFFFF);
    Put(w2, 8, 14, Raw(e.cus, 1.862645149e-9, 16));
    const std::uint32_t sqrtA = Raw(e.sqrtA, 1.907348633e-6, 32);
    Put(w2, 8, 6, sqrtA >> 24);
    Put(w2, 9, 6, sqrtA & 0xFFFFFF);
    Put(w2, 10, 14, Raw(e.toe, 16.0, 16));
    Put(w2, 10, 13, static_cast<std::uint32_t>(e.fitFlag) & 1);

    SubframeWords& w3 = out.sf3;
    w3 = Frame(towCount + 2, 3);
    Put(w3, 3, 14, Raw(e.cic, 1.862645149e-9, 16));
    const std::uint32_t omega0 = Raw(e.omega0, kSemicircle, 32);
    Put(w3, 3, 6, omega0 >> 24);
    Put(w3, 4, 6, omega0 & 0xFFFFFF);
    Put(w3, 5, 14, Raw(e.cis, 1.862645149e-9, 16));
    const std::uint32_t i0 = Raw(e.i0, kSemicircle, 32);
    Put(w3, 5, 6, i0 >> 24);
    Put(w3, 6, 6, i0 & 0xFFFFFF);
    Put(w3, 7, 14, Raw(e.crc, 0.03125, 16));
    const std::uint32_t omega = Raw(e.omega, kSemicircle, 32);
    Put(w3, 7, 6, omega >> 24);
    Put(w3, 8, 6, omega & 0xFFFFFF);
    Put(w3, 9, 6, Raw(e.omegaDot, kSemicircleRate, 24));
    Put(w3, 10, 22, static_cast<std::uint32_t>(e.iode) & 0xFF);
    Put(w3, 10, 8, Raw(e.idot, kSemicircleRate, 14));
    return out;
}

// An almanac page (subframe 4 for SV 25..32, 5 for SV 1..24) for `svId`.
inline SubframeWords EncodeAlmanacPage(const AlmanacRecord& a, int svId, std::uint32_t towCount)
{
    SubframeWords w = Frame(towCount, svId >= 25 ? 4 : 5);
    Put(w, 3, 28, 1);  // data ID
    Put(w, 3, 22, static_cast<std::uint32_t>(svId) & 0x3F);
    Put(w, 3, 6, Raw(a.e, 4.768371582e-7, 16));
    Put(w, 4, 22, Raw(a.toa, 4096.0, 8));
    Put(w, 4, 6, Raw(a.i / kPi - 0.3, 1.907348633e-6, 16));
    Put(w, 5, 14, Raw(a.omegaDot, 1.1429047493986587e-11, 16));
    Put(w, 5, 6, static_cast<std::uint32_t>(a.health) & 0xFF);
    Put(w, 6, 6, Raw(a.sqrtA, 0.00048828125, 24));
    Put(w, 7, 6, Raw(a.omega0, 3.74507028447019e-7, 24));
    Put(w, 8, 6, Raw(a.omega, 3.74507028447019e-7, 24));
    Put(w, 9, 6, Raw(a.m0, 3.74507028447019e-7, 24));
    const std::uint32_t af0 = Raw(a.af0, 9.536743164e-7, 11);
    Put(w, 10, 22, af0 >> 3);
    Put(w, 10, 8, af0 & 7);
    Put(w, 10, 11, Raw(a.af1, 3.637978807e-12, 11));
    return w;
}

// Subframe 4 page 18 (SV ID 56).
inline SubframeWords EncodeIonoUtcPage(const IonoUtcParameters& p, std::uint32_t towCount)
{
    SubframeWords w = Frame(towCount, 4);
    Put(w, 3, 28, 1);
    Put(w, 3, 22, 56);
    Put(w, 3, 14, Raw(p.alpha0, std::ldexp(1.0, -30), 8));
    Put(w, 3, 6, Raw(p.alpha1, std::ldexp(1.0, -27), 8));
    Put(w, 4, 22, Raw(p.alpha2, std::ldexp(1.0, -24), 8));
    Put(w, 4, 14, Raw(p.alpha3, std::ldexp(1.0, -24), 8));
    Put(w, 4, 6, Raw(p.beta0, 2048.0, 8));
    Put(w, 5, 22, Raw(p.beta1, 16384.0, 8));
    Put(w, 5, 14, Raw(p.beta2, 65536.0, 8));
    Put(w, 5, 6, Raw(p.beta3, 65536.0, 8));
    Put(w, 6, 6, Raw(p.a1, 8.881784197e-16, 24));
    const std::uint32_t a0 = Raw(p.a0, 9.313225746e-10, 32);
    Put(w, 7, 6, a0 >> 8);
    Put(w, 8, 22, a0 & 0xFF);
    Put(w, 8, 14, static_cast<std::uint32_t>(p.tot >> 12) & 0xFF);
    Put(w, 8, 6, static_cast<std::uint32_t>(p.wnT) & 0xFF);
    Put(w, 9, 22, static_cast<std::uint32_t>(p.deltaTLs) & 0xFF);
    Put(w, 9, 14, static_cast<std::uint32_t>(p.wnLsf) & 0xFF);
    Put(w, 9, 6, static_cast<std::uint32_t>(p.dn) & 0xFF);
    Put(w, 10, 22, static_cast<std::uint32_t>(p.deltaTLsf) & 0xFF);
    return w;
}

}  // namespace navtest
