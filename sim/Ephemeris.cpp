// The IS-GPS-200 user algorithm (satellite position from the broadcast
// ephemeris, satellite clock with its relativistic term) on the transmitted integers.
#include "sim/Ephemeris.h"

#include <cmath>

namespace vrnsim
{
namespace
{
// Eccentric anomaly by Newton's method, on the mean anomaly reduced to one turn (a large angle
// would keep the last step at its rounding level and never meet the tolerance).
double SolveKepler(double meanAnomaly, double e)
{
    const double m = std::remainder(meanAnomaly, 2.0 * 3.14159265358979323846);
    double ecc = m;
    for (int i = 0; i < 30; ++i)
    {
        const double step = (m - ecc + e * std::sin(ecc)) / (1.0 - e * std::cos(ecc));
        ecc += step;
        if (std::abs(step) < 1e-14)
            break;
    }
    return ecc;
}
}  // namespace

KlobucharCoefficients Coefficients(const LnavIonoUtc& p)
{
    KlobucharCoefficients k;
    k.alpha = {std::ldexp(p.alpha0, -30), std::ldexp(p.alpha1, -27), std::ldexp(p.alpha2, -24),
               std::ldexp(p.alpha3, -24)};
    k.beta = {std::ldexp(p.beta0, 11), std::ldexp(p.beta1, 14), std::ldexp(p.beta2, 16),
              std::ldexp(p.beta3, 16)};
    return k;
}

OrbitElements Elements(const LnavEphemeris& eph)
{
    OrbitElements el;
    el.sqrtA = std::ldexp(static_cast<double>(eph.sqrtA), -19);
    el.e = std::ldexp(static_cast<double>(eph.e), -33);
    el.omega = std::ldexp(eph.omega, -31) * kGpsPi;
    el.deltaN = std::ldexp(eph.deltaN, -43) * kGpsPi;
    el.m0 = std::ldexp(eph.m0, -31) * kGpsPi;
    el.omega0 = std::ldexp(eph.omega0, -31) * kGpsPi;
    el.i0 = std::ldexp(eph.i0, -31) * kGpsPi;
    el.omegaDot = std::ldexp(eph.omegaDot, -43) * kGpsPi;
    el.idot = std::ldexp(eph.idot, -43) * kGpsPi;
    el.cuc = std::ldexp(eph.cuc, -29);
    el.cus = std::ldexp(eph.cus, -29);
    el.crc = std::ldexp(eph.crc, -5);
    el.crs = std::ldexp(eph.crs, -5);
    el.cic = std::ldexp(eph.cic, -29);
    el.cis = std::ldexp(eph.cis, -29);
    el.toe = {eph.week, 16.0 * eph.toe};
    el.af0 = std::ldexp(eph.af0, -31);
    el.af1 = std::ldexp(eph.af1, -43);
    el.af2 = std::ldexp(eph.af2, -55);
    el.toc = {eph.week, 16.0 * eph.toc};
    return el;
}

SatelliteState Evaluate(const OrbitElements& el, GpsTime t)
{
    const double a = el.sqrtA * el.sqrtA;
    const double e = el.e;
    const double tk = Seconds(el.toe, t);
    const double n = std::sqrt(kMu / (a * a * a)) + el.deltaN;
    const double ecc = SolveKepler(el.m0 + n * tk, e);
    const double sinE = std::sin(ecc), cosE = std::cos(ecc);
    const double nu = std::atan2(std::sqrt(1.0 - e * e) * sinE, cosE - e);
    const double phi = nu + el.omega;
    const double s2 = std::sin(2.0 * phi), c2 = std::cos(2.0 * phi);
    const double u = phi + el.cus * s2 + el.cuc * c2;
    const double r = a * (1.0 - e * cosE) + el.crs * s2 + el.crc * c2;
    const double inc = el.i0 + el.cis * s2 + el.cic * c2 + el.idot * tk;
    const double node = el.omega0 + (el.omegaDot - kEarthRate) * tk - kEarthRate * el.toe.tow;
    const double xp = r * std::cos(u), yp = r * std::sin(u);
    const double cn = std::cos(node), sn = std::sin(node), ci = std::cos(inc);

    SatelliteState s;
    s.position = {xp * cn - yp * ci * sn, xp * sn + yp * ci * cn, yp * std::sin(inc)};
    s.relativisticS = kRelativisticF * e * el.sqrtA * sinE;
    const double dt = Seconds(el.toc, t);
    s.clockS = el.af0 + el.af1 * dt + el.af2 * dt * dt + s.relativisticS;
    return s;
}

}  // namespace vrnsim
