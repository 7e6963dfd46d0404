// Small numeric building blocks of the simulated receiver: vectors, GPS time, WGS-84 conversions.
// Written for the simulator alone (the navigation engine keeps its own), so that a fault in one is
// caught by the other.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace vrnsim
{

// IS-GPS-200 constants, as its user algorithm uses them.
inline constexpr double kGpsPi = 3.1415926535898;
inline constexpr double kMu = 3.986005e14;                             // m^3/s^2
inline constexpr double kEarthRate = 7.2921151467e-5;                  // rad/s
inline constexpr double kSpeedOfLight = 299792458.0;                   // m/s
inline constexpr double kRelativisticF = -4.442809305e-10;             // s/m^(1/2)
inline constexpr double kL1Frequency = 1575.42e6;                      // Hz
inline constexpr double kL1Wavelength = kSpeedOfLight / kL1Frequency;  // m
inline constexpr double kSecondsPerWeek = 604800.0;
inline constexpr double kHalfWeek = 302400.0;
inline constexpr double kDegree = 3.14159265358979323846 / 180.0;  // radians per degree
inline constexpr int kLeapSeconds = 18;                            // GPS minus UTC since 2017

struct Vec3
{
    double x = 0.0, y = 0.0, z = 0.0;
};
inline Vec3 operator+(Vec3 a, Vec3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(double k, Vec3 a)
{
    return {k * a.x, k * a.y, k * a.z};
}
inline double Dot(Vec3 a, Vec3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline double Norm(Vec3 a)
{
    return std::sqrt(Dot(a, a));
}

// A GPS time as full week number and seconds into the week. Differences are taken week-aware so
// that no precision is lost to large absolute second counts.
struct GpsTime
{
    int week = 0;
    double tow = 0.0;  // 0 <= tow < 604800
};
// b - a in seconds.
inline double Seconds(GpsTime a, GpsTime b)
{
    return static_cast<double>(b.week - a.week) * kSecondsPerWeek + (b.tow - a.tow);
}
// `t` moved by `seconds`, normalised into its week.
GpsTime AddSeconds(GpsTime t, double seconds);
// GPS time of a count of seconds since 1970-01-01 00:00:00 UTC (leap seconds applied).
GpsTime GpsTimeFromUnix(std::int64_t unixSeconds);

struct Geodetic
{
    double latitude = 0.0;   // rad
    double longitude = 0.0;  // rad
    double height = 0.0;     // m above the WGS-84 ellipsoid
};
Vec3 ToEcef(const Geodetic& g);
// Iterative inverse; millimetre-exact anywhere outside the earth's core.
Geodetic ToGeodetic(Vec3 p);
// Rows east, north, up at `g`: applied to an ECEF difference they give its local components.
std::array<Vec3, 3> EnuAxes(const Geodetic& g);
inline Vec3 ToEnu(const std::array<Vec3, 3>& axes, Vec3 d)
{
    return {Dot(axes[0], d), Dot(axes[1], d), Dot(axes[2], d)};
}
inline Vec3 FromEnu(const std::array<Vec3, 3>& axes, Vec3 enu)
{
    return enu.x * axes[0] + enu.y * axes[1] + enu.z * axes[2];
}

// Elevation and azimuth (rad; azimuth clockwise from north, 0..2pi) of `target` seen from `from`.
struct LookAngles
{
    double elevation = 0.0;
    double azimuth = 0.0;
};
LookAngles Look(const Geodetic& from, Vec3 fromEcef, Vec3 target);
// The same with the local axes of `from` (EnuAxes) worked out once for many targets.
LookAngles Look(const std::array<Vec3, 3>& axes, Vec3 fromEcef, Vec3 target);

}  // namespace vrnsim
