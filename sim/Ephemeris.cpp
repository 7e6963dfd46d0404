// The user algorithm of the GPS interface specification (satellite position from the broadcast
// ephemeris, satellite clock with its relativistic term) on the transmitted integers.
#include "sim/Ephemeris.h"

#include <cmath>

namespace vrnsim
{
namespace
{
double SolveKepler(double meanAnomaly, double e)
{
    double ecc = meanAnomaly;
    for (int i = 0; i < 30; ++i)
    {
        const double step = (meanAnomaly - ecc + e * std::sin(ecc)) / (1.0 - e * std::cos(ecc));
        ecc += step;
        if (std::abs(step) < 1e-15)
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

SatelliteState EvaluateEphemeris(const LnavEphemeris& eph, GpsTime t)
{
    const double sqrtA = std::ldexp(static_cast<double>(eph.sqrtA), -19);
    const double a = sqrtA * sqrtA;
    const double e = std::ldexp(static_cast<double>(eph.e), -33);
    const double toe = 16.0 * eph.toe;
    const double toc = 16.0 * eph.toc;
    const double tk = Seconds(GpsTime{eph.week, toe}, t);
    const double n = std::sqrt(kMu / (a * a * a)) + std::ldexp(eph.deltaN, -43) * kGpsPi;
    const double m = std::ldexp(eph.m0, -31) * kGpsPi + n * tk;
    const double ecc = SolveKepler(m, e);
    const double sinE = std::sin(ecc), cosE = std::cos(ecc);
    const double nu = std::atan2(std::sqrt(1.0 - e * e) * sinE, cosE - e);
    const double phi = nu + std::ldexp(eph.omega, -31) * kGpsPi;
    const double s2 = std::sin(2.0 * phi), c2 = std::cos(2.0 * phi);
    const double du = std::ldexp(eph.cus, -29) * s2 + std::ldexp(eph.cuc, -29) * c2;
    const double dr = std::ldexp(eph.crs, -5) * s2 + std::ldexp(eph.crc, -5) * c2;
    const double di = std::ldexp(eph.cis, -29) * s2 + std::ldexp(eph.cic, -29) * c2;
    const double u = phi + du;
    const double r = a * (1.0 - e * cosE) + dr;
    const double inc = std::ldexp(eph.i0, -31) * kGpsPi + di + std::ldexp(eph.idot, -43) * kGpsPi * tk;
    const double node = std::ldexp(eph.omega0, -31) * kGpsPi +
                        (std::ldexp(eph.omegaDot, -43) * kGpsPi - kEarthRate) * tk - kEarthRate * toe;
    const double xp = r * std::cos(u), yp = r * std::sin(u);
    const double cn = std::cos(node), sn = std::sin(node), ci = std::cos(inc);

    SatelliteState s;
    s.position = {xp * cn - yp * ci * sn, xp * sn + yp * ci * cn, yp * std::sin(inc)};
    s.relativisticS = kRelativisticF * e * sqrtA * sinE;
    const double dt = Seconds(GpsTime{eph.week, toc}, t);
    s.clockS = std::ldexp(eph.af0, -31) + std::ldexp(eph.af1, -43) * dt + std::ldexp(eph.af2, -55) * dt * dt +
               s.relativisticS;
    return s;
}

}  // namespace vrnsim
