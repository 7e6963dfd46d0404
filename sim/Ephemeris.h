// Broadcast clock and ephemeris of one satellite as the LNAV message carries it: every field is
// held as its transmitted integer, so what the simulator flies is exactly what it broadcasts.
// Also the broadcast almanac, ionospheric and UTC parameters, and the satellite position and clock
// from the IS-GPS-200 user algorithm.
#pragma once

#include <cstdint>

#include "sim/SimMath.h"

namespace vrnsim
{

// Subframes 1-3. Angles are in semicircles on the wire; scale factors are powers of two.
struct LnavEphemeris
{
    int prn = 0;
    int week = 0;           // full week number of toe and toc (not transmitted; subframe 1 carries mod 1024)
    int iode = 0;           // 8 bits
    int iodc = 0;           // 10 bits, low 8 bits equal iode
    int ura = 0;            // 4 bits
    int health = 0;         // 6 bits
    int codeOnL2 = 1;       // 2 bits
    int l2pFlag = 0;        // 1 bit
    int fitFlag = 0;        // 1 bit
    int aodo = 0;           // 5 bits
    std::int32_t tgd = 0;   // s8,  2^-31 s
    std::uint32_t toc = 0;  // u16, 2^4 s
    std::int32_t af2 = 0;   // s8,  2^-55 s/s^2
    std::int32_t af1 = 0;   // s16, 2^-43 s/s
    std::int32_t af0 = 0;   // s22, 2^-31 s
    std::int32_t crs = 0;   // s16, 2^-5 m
    std::int32_t deltaN = 0;    // s16, 2^-43 semicircles/s
    std::int32_t m0 = 0;        // s32, 2^-31 semicircles
    std::int32_t cuc = 0;       // s16, 2^-29 rad
    std::uint32_t e = 0;        // u32, 2^-33
    std::int32_t cus = 0;       // s16, 2^-29 rad
    std::uint32_t sqrtA = 0;    // u32, 2^-19 m^(1/2)
    std::uint32_t toe = 0;      // u16, 2^4 s
    std::int32_t cic = 0;       // s16, 2^-29 rad
    std::int32_t omega0 = 0;    // s32, 2^-31 semicircles
    std::int32_t cis = 0;       // s16, 2^-29 rad
    std::int32_t i0 = 0;        // s32, 2^-31 semicircles
    std::int32_t crc = 0;       // s16, 2^-5 m
    std::int32_t omega = 0;     // s32, 2^-31 semicircles
    std::int32_t omegaDot = 0;  // s24, 2^-43 semicircles/s
    std::int32_t idot = 0;      // s14, 2^-43 semicircles/s
};

// Subframe 4 pages 2-5, 7-10 and subframe 5 pages 1-24.
struct LnavAlmanac
{
    int prn = 0;
    int health = 0;             // 8 bits
    std::uint32_t e = 0;        // u16, 2^-21
    std::uint32_t toa = 0;      // u8,  2^12 s
    std::int32_t deltaI = 0;    // s16, 2^-19 semicircles, relative to 0.3 semicircles
    std::int32_t omegaDot = 0;  // s16, 2^-38 semicircles/s
    std::uint32_t sqrtA = 0;    // u24, 2^-11 m^(1/2)
    std::int32_t omega0 = 0;    // s24, 2^-23 semicircles
    std::int32_t omega = 0;     // s24, 2^-23 semicircles
    std::int32_t m0 = 0;        // s24, 2^-23 semicircles
    std::int32_t af0 = 0;       // s11, 2^-20 s
    std::int32_t af1 = 0;       // s11, 2^-38 s/s
};

// Subframe 4 page 18.
struct LnavIonoUtc
{
    std::int32_t alpha0 = 0, alpha1 = 0, alpha2 = 0, alpha3 = 0;  // s8: 2^-30, 2^-27, 2^-24, 2^-24
    std::int32_t beta0 = 0, beta1 = 0, beta2 = 0, beta3 = 0;      // s8: 2^11, 2^14, 2^16, 2^16
    std::int32_t a1 = 0;                                          // s24, 2^-50 s/s
    std::int32_t a0 = 0;                                          // s32, 2^-30 s
    std::uint32_t tot = 0;                                        // u8, 2^12 s
    std::uint32_t wnT = 0;                                        // u8, weeks
    std::int32_t deltaTLs = 0;                                    // s8, s
    std::uint32_t wnLsf = 0;                                      // u8
    std::uint32_t dn = 0;                                         // u8, day 1..7
    std::int32_t deltaTLsf = 0;
};

// Klobuchar coefficients in the units of the model (seconds, semicircles).
struct KlobucharCoefficients
{
    std::array<double, 4> alpha{};
    std::array<double, 4> beta{};
};
KlobucharCoefficients Coefficients(const LnavIonoUtc& p);

// Keplerian elements with harmonic corrections and clock terms in SI units (radians, seconds):
// what an ephemeris describes, without the quantisation of its broadcast fields.
struct OrbitElements
{
    double sqrtA = 0.0, e = 0.0, omega = 0.0, deltaN = 0.0;
    double m0 = 0.0, omega0 = 0.0, i0 = 0.0;  // at toe; omega0 as the user algorithm takes it
    double omegaDot = 0.0, idot = 0.0;
    double cuc = 0.0, cus = 0.0, crc = 0.0, crs = 0.0, cic = 0.0, cis = 0.0;
    GpsTime toe;
    double af0 = 0.0, af1 = 0.0, af2 = 0.0;
    GpsTime toc;
};
OrbitElements Elements(const LnavEphemeris& eph);

// Satellite state at one GPS time.
struct SatelliteState
{
    Vec3 position;        // ECEF at the time asked for, m
    double clockS = 0.0;  // satellite clock offset af0 + af1 dt + af2 dt^2 + relativistic term, s
    double relativisticS = 0.0;
};
SatelliteState Evaluate(const OrbitElements& el, GpsTime t);
inline SatelliteState EvaluateEphemeris(const LnavEphemeris& eph, GpsTime t)
{
    return Evaluate(Elements(eph), t);
}
inline double GroupDelayS(const LnavEphemeris& eph)
{
    return std::ldexp(eph.tgd, -31);
}

}  // namespace vrnsim
