// Satellite positions, velocities and clocks from the ephemeris and the almanac, the per-satellite
// state cache, and the look angles, Doppler, Sagnac term and atmospheric delays of the look table.
#include <cmath>

#include "nav/NavEngine.h"

namespace
{
constexpr double kMu = 3.986005e14;
constexpr double kEarthRate = 7.2921151467e-5;
constexpr double kRelativistic = -4.442809305e-10;
constexpr double kPi = 3.1415926535898;
constexpr double kTwoPi = 6.2831853071796;
constexpr double kHalfWeek = 302400.0;
constexpr double kWeek = 604800.0;
constexpr double kCyclesPerMetre = 5.255035468570727;
constexpr double kEarthRateOverC = 2.4323877909897254e-13;
constexpr double kInvPi = 0.31830988618378997;
constexpr double kDegreesPerRadian = 57.2957795131;

double FoldHalfWeek(double dt)
{
    if (dt > kHalfWeek)
        dt -= kWeek;
    if (dt < -kHalfWeek)
        dt += kWeek;
    return dt;
}

double Norm(const Triple& v)
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}
}  // namespace

SatelliteMotion SatelliteFromEphemeris(const EphemerisRecord& r, double t)
{
    const double tk = FoldHalfWeek(t - r.toe);
    const double n = r.n0 + r.deltaN;
    const double m = r.m0 + n * tk;
    const double e = r.e;

    double ea = m;
    for (int pass = 0; pass < 20; ++pass)
    {
        const double c = (m - ea + e * std::sin(ea)) / (1.0 - e * std::cos(ea));
        if (std::fabs(c) < 1e-14)
            break;
        ea += c;
    }
    const double sinE = std::sin(ea), cosE = std::cos(ea);
    const double rootOneMinusE2 = std::sqrt(1.0 - e * e);
    const double nu = std::atan2(rootOneMinusE2 * sinE, cosE - e);
    const double phi = nu + r.omega;
    const double s2 = std::sin(2.0 * phi), c2 = std::cos(2.0 * phi);
    const double du = r.cus * s2 + r.cuc * c2;
    const double dr = r.crc * c2 + r.crs * s2;
    const double di = r.cic * c2 + r.cis * s2;
    const double u = phi + du;
    const double oneMinusECosE = 1.0 - e * cosE;
    const double radius = r.a * oneMinusECosE + dr;
    const double inc = r.i0 + r.idot * tk + di;
    const double omegaRel = r.omegaDot - kEarthRate;
    const double node = r.omega0 + omegaRel * tk - kEarthRate * r.toe;

    const double cosU = std::cos(u), sinU = std::sin(u);
    const double cosI = std::cos(inc), sinI = std::sin(inc);
    const double cosO = std::cos(node), sinO = std::sin(node);
    const double xp = radius * cosU, yp = radius * sinU;

    SatelliteMotion out;
    const double x = xp * cosO - yp * cosI * sinO;
    const double y = xp * sinO + yp * cosI * cosO;
    out.position = {x, y, yp * sinI};
    out.relClock = kRelativistic * e * r.sqrtA * sinE;

    // Velocity: analytic derivative of the steps above.
    const double eDot = n / oneMinusECosE;
    const double phiDot = rootOneMinusE2 * eDot / oneMinusECosE;
    const double uHarm = 1.0 + 2.0 * (r.cus * c2 - r.cuc * s2);
    const double rHarm = 2.0 * (r.crs * c2 - r.crc * s2);
    const double iHarm = 2.0 * (r.cis * c2 - r.cic * s2);
    const double uDot = phiDot * uHarm;
    const double rDot = r.a * e * sinE * eDot + rHarm * phiDot;
    const double iDot = r.idot + iHarm * phiDot;
    const double xpDot = rDot * cosU - radius * uDot * sinU;
    const double ypDot = rDot * sinU + radius * uDot * cosU;
    const double vx = xpDot * cosO - ypDot * cosI * sinO + yp * sinI * sinO * iDot - omegaRel * y;
    const double vy = xpDot * sinO + ypDot * cosI * cosO - yp * sinI * cosO * iDot + omegaRel * x;
    const double vz = ypDot * sinI + yp * cosI * iDot;
    out.velocity = {vx, vy, vz};

    // Acceleration: derivative of the velocity with the node rate held constant.
    const double eDDot = -e * sinE * eDot * eDot / oneMinusECosE;
    const double phiDDot = 2.0 * rootOneMinusE2 * eDDot / oneMinusECosE;
    const double phiDot2 = phiDot * phiDot;
    const double uDDot = uHarm * phiDDot - 4.0 * du * phiDot2;
    const double rDDot = r.a * e * (cosE * eDot * eDot + sinE * eDDot) + rHarm * phiDDot - 4.0 * dr * phiDot2;
    const double iDDot = iHarm * phiDDot - 4.0 * di * phiDot2;
    const double xpDDot =
        rDDot * cosU - 2.0 * rDot * uDot * sinU - radius * (uDot * uDot * cosU + uDDot * sinU);
    const double ypDDot =
        rDDot * sinU + 2.0 * rDot * uDot * cosU + radius * (uDDot * cosU - uDot * uDot * sinU);
    const double s = yp * (iDot * iDot * cosI + iDDot * sinI) + 2.0 * ypDot * iDot * sinI;
    const double ax = xpDDot * cosO - ypDDot * cosI * sinO + s * sinO + omegaRel * (omegaRel * x - 2.0 * vy);
    const double ay = xpDDot * sinO + ypDDot * cosI * cosO - s * cosO + omegaRel * (omegaRel * y + 2.0 * vx);
    const double az = ypDDot * sinI + 2.0 * ypDot * iDot * cosI + yp * (iDDot * cosI - iDot * iDot * sinI);
    out.acceleration = {ax, ay, az};
    return out;
}

Triple SatelliteFromAlmanac(const AlmanacRecord& al, int week, double t)
{
    const double tk = t + static_cast<double>(week - al.week) * kWeek - al.toa;
    const double a = al.sqrtA * al.sqrtA;
    const double n = std::sqrt(kMu / (a * a * a));
    const double m = al.m0 + n * tk;
    const double e = al.e;
    double ea = m;
    for (int pass = 0; pass < 20; ++pass)
    {
        const double next = ea + (e * std::sin(ea) + m - ea) / (1.0 - e * std::cos(ea));
        const double d = next - ea;
        ea = next;
        if (std::fabs(d) < 1e-13)
            break;
    }
    const double sinE = std::sin(ea), cosE = std::cos(ea);
    const double den = 1.0 - e * cosE;
    double nu = std::atan2(std::sqrt(1.0 - e * e) * sinE / den, (cosE - e) / den);
    if (nu < 0.0)
        nu += kTwoPi;
    const double u = nu + al.omega;
    const double radius = a * den;
    const double node = (al.omegaDot - kEarthRate) * tk + al.omega0 - kEarthRate * al.toa;
    const double xp = radius * std::cos(u), yp = radius * std::sin(u);
    const double cosI = std::cos(al.i), sinI = std::sin(al.i);
    const double cosO = std::cos(node), sinO = std::sin(node);
    return {xp * cosO - yp * cosI * sinO, xp * sinO + yp * cosI * cosO, yp * sinI};
}

double SatelliteClockCorrection(const EphemerisRecord& r, double ttx, double relClock, double* drift)
{
    const double dt = FoldHalfWeek(ttx - r.toc);
    if (drift != nullptr)
        *drift = r.af1 + 2.0 * r.af2 * dt;
    return (r.af2 * dt + r.af1) * dt + r.af0 + relClock - r.tgd;
}

double IonosphericDelay(const IonoUtcParameters* p, double elevation, double azimuth, double latitude,
                        double longitude, double t)
{
    if (elevation < 0.0)
        return 0.0;
    const double el = elevation * kInvPi;
    const double f = 1.0 + 16.0 * (0.53 - el) * (0.53 - el) * (0.53 - el);
    if (p == nullptr)
        return 0.5 + 1.49896229 * f;
    const double psi = 0.0137 / (el + 0.11) - 0.022;
    double phiI = latitude * kInvPi + psi * std::cos(azimuth);
    if (phiI > 0.416)
        phiI = 0.416;
    else if (phiI < -0.416)
        phiI = -0.416;
    const double lambdaI = longitude * kInvPi + psi * std::sin(azimuth) / std::cos(phiI * kPi);
    const double phiM = phiI + 0.064 * std::cos((lambdaI - 1.617) * kPi);
    double tl = t + 43200.0 * lambdaI;
    if (!(std::fabs(tl) <= 1209600.0))
        tl = 0.0;
    while (tl >= 86400.0)
        tl -= 86400.0;
    while (tl < 0.0)
        tl += 86400.0;
    const double phiM2 = phiM * phiM;
    double amp = p->alpha0 + p->alpha1 * phiM + p->alpha2 * phiM2 + p->alpha3 * phiM2 * phiM;
    if (amp < 0.0)
        amp = 0.0;
    double per = p->beta0 + p->beta1 * phiM + p->beta2 * phiM2 + p->beta3 * phiM2 * phiM;
    if (per < 72000.0)
        per = 72000.0;
    const double x = kTwoPi * (tl - 50400.0) / per;
    if (std::fabs(x) < 1.57)
    {
        const double x2 = x * x;
        return f * (5e-9 + amp * (1.0 - x2 / 2.0 + x2 * x2 / 24.0)) * 299792458.0;
    }
    return f * 1.49896229;
}

double TroposphericDelay(double elevation, double height)
{
    if (elevation < 0.0)
        return 0.0;
    const double d = 2.4224 * std::exp(-0.00013346 * height) / (std::sin(elevation) + 0.026);
    if (!(d >= 0.0))
        return 0.0;
    return d > 200.0 ? 200.0 : d;
}

SatelliteFix NavEngine::LookupSatellite(std::size_t i, int iode, double t)
{
    SatelliteStateCacheEntry& entry = cache[i];
    if (entry.valid == 0 || std::fabs(t - entry.tRef) > 10.0 || entry.iode != iode)
    {
        const EphemerisRecord& source = previousEphemeris[i].valid != 0 && previousEphemeris[i].iode == iode
                                            ? previousEphemeris[i]
                                            : ephemeris[i];
        const EphemerisRecord copy = source;
        entry.tRef = t + 10.0 - 0.2;
        entry.motion = SatelliteFromEphemeris(copy, entry.tRef);
        entry.iode = iode;
        entry.valid = 1;
    }
    const double dt = t - entry.tRef;
    const SatelliteMotion& m = entry.motion;
    SatelliteFix fix;
    fix.relClock = m.relClock;
    for (std::size_t k = 0; k < 3; ++k)
    {
        fix.position[k] = m.position[k] + dt * (m.velocity[k] + 0.5 * m.acceleration[k] * dt);
        fix.velocity[k] = m.velocity[k] + m.acceleration[k] * dt;
    }
    return fix;
}

LookPrediction NavEngine::PredictSatellite(std::size_t i, int week, double t)
{
    Triple sat{}, vel{};
    if (ephemeris[i].valid == 1)
    {
        const SatelliteFix fix = LookupSatellite(i, ephemeris[i].iode, t + 0.1 * static_cast<double>(i + 1));
        sat = fix.position;
        vel = fix.velocity;
    }
    else
    {
        double tPrev = t - 1.0;
        int weekPrev = week;
        if (tPrev < 0.0)
        {
            tPrev += kWeek;
            weekPrev = week - 1;
        }
        const Triple p1 = SatelliteFromAlmanac(almanac[i], weekPrev, tPrev);
        sat = SatelliteFromAlmanac(almanac[i], week, t);
        vel = {sat[0] - p1[0], sat[1] - p1[1], sat[2] - p1[2]};
    }
    const NavSolution& rx = solution;
    const Triple delta{sat[0] - rx.x, sat[1] - rx.y, sat[2] - rx.z};
    const double east = ApplyRow(rx.enu, 0, delta);
    const double north = ApplyRow(rx.enu, 1, delta);
    const double up = ApplyRow(rx.enu, 2, delta);

    LookPrediction out;
    out.azimuth = std::atan2(east, north);
    if (out.azimuth < 0.0)
        out.azimuth += kTwoPi;
    out.elevation = std::atan2(up, std::sqrt(east * east + north * north));
    const double range = Norm(delta);
    const double rate = delta[0] * vel[0] + delta[1] * vel[1] + delta[2] * vel[2];
    out.doppler = range > 0.0 ? -kCyclesPerMetre * rate / range : 0.0;
    out.sagnac = (rx.y * sat[0] - rx.x * sat[1]) * kEarthRateOverC;
    out.iono = IonosphericDelay(ionoValid != 0 ? &iono : nullptr, out.elevation, out.azimuth, rx.latitude,
                                rx.longitude, t);
    out.tropo = TroposphericDelay(out.elevation, rx.height);
    return out;
}

void NavEngine::RefreshLookRow(std::size_t i, int week, double t)
{
    SatelliteLookRow& row = lookTable[i];
    if (almanac[i].state != kAlmanacHeld && ephemeris[i].valid == 0)
    {
        row = SatelliteLookRow{};
        return;
    }
    row = LookRowFromPrediction(PredictSatellite(i, week, t));
}

SatelliteLookRow LookRowFromPrediction(const LookPrediction& p)
{
    SatelliteLookRow row;
    row.azimuth = p.azimuth;
    row.elevation = p.elevation;
    row.doppler = p.doppler;
    row.sagnac = p.sagnac;
    row.iono = p.iono;
    row.tropo = p.tropo;
    row.azimuthDeg = ClampToInt<int>(p.azimuth * kDegreesPerRadian);
    if (row.azimuthDeg < 0)
        row.azimuthDeg += 360;
    row.elevationDeg = ClampToInt<int>(p.elevation * kDegreesPerRadian);
    row.dopplerHz = ClampToInt<int>(p.doppler + 0.5);
    return row;
}
