// WGS-84 conversions and GPS time arithmetic of the simulator.
#include "sim/SimMath.h"

namespace vrnsim
{
namespace
{
constexpr double kA = 6378137.0;
constexpr double kFlattening = 1.0 / 298.257223563;
constexpr double kE2 = kFlattening * (2.0 - kFlattening);
constexpr std::int64_t kGpsEpochUnix = 315964800;  // 1980-01-06 00:00:00 UTC
}  // namespace

GpsTime AddSeconds(GpsTime t, double seconds)
{
    double tow = t.tow + seconds;
    const double weeks = std::floor(tow / kSecondsPerWeek);
    tow -= weeks * kSecondsPerWeek;
    if (tow >= kSecondsPerWeek)  // rounding at the very end of a week
    {
        tow -= kSecondsPerWeek;
        return {t.week + static_cast<int>(weeks) + 1, tow};
    }
    return {t.week + static_cast<int>(weeks), tow};
}

GpsTime GpsTimeFromUnix(std::int64_t unixSeconds)
{
    const std::int64_t s = unixSeconds - kGpsEpochUnix + kLeapSeconds;
    const std::int64_t week = s / 604800;
    return {static_cast<int>(week), static_cast<double>(s - week * 604800)};
}

Vec3 ToEcef(const Geodetic& g)
{
    const double s = std::sin(g.latitude);
    const double n = kA / std::sqrt(1.0 - kE2 * s * s);
    const double c = std::cos(g.latitude);
    return {(n + g.height) * c * std::cos(g.longitude), (n + g.height) * c * std::sin(g.longitude),
            (n * (1.0 - kE2) + g.height) * s};
}

Geodetic ToGeodetic(Vec3 p)
{
    const double r = std::hypot(p.x, p.y);
    Geodetic g;
    g.longitude = std::atan2(p.y, p.x);
    double lat = std::atan2(p.z, r * (1.0 - kE2));
    double n = kA;
    for (int i = 0; i < 8; ++i)
    {
        const double s = std::sin(lat);
        n = kA / std::sqrt(1.0 - kE2 * s * s);
        lat = std::atan2(p.z + kE2 * n * s, r);
    }
    g.latitude = lat;
    const double s = std::sin(lat);
    n = kA / std::sqrt(1.0 - kE2 * s * s);
    const double c = std::cos(lat);
    g.height = std::abs(c) > 1e-9 ? r / c - n : std::abs(p.z) - n * (1.0 - kE2);
    return g;
}

std::array<Vec3, 3> EnuAxes(const Geodetic& g)
{
    const double sl = std::sin(g.latitude), cl = std::cos(g.latitude);
    const double so = std::sin(g.longitude), co = std::cos(g.longitude);
    return {Vec3{-so, co, 0.0}, Vec3{-sl * co, -sl * so, cl}, Vec3{cl * co, cl * so, sl}};
}

LookAngles Look(const Geodetic& from, Vec3 fromEcef, Vec3 target)
{
    return Look(EnuAxes(from), fromEcef, target);
}

LookAngles Look(const std::array<Vec3, 3>& axes, Vec3 fromEcef, Vec3 target)
{
    const Vec3 enu = ToEnu(axes, target - fromEcef);
    LookAngles a;
    a.elevation = std::atan2(enu.z, std::hypot(enu.x, enu.y));
    a.azimuth = std::atan2(enu.x, enu.y);
    if (a.azimuth < 0.0)
        a.azimuth += 2.0 * 3.14159265358979323846;
    return a;
}

}  // namespace vrnsim
