// Geodetic, ECEF and local-frame conversions, and GPS/PC/calendar time conversions.
#include "nav/Coordinates.h"

#include <cmath>
#include <limits>

namespace
{
constexpr double kHalfPi = 1.570796326794897;
constexpr std::int64_t kSecondsPerWeek = 604800;
constexpr std::int64_t kGpsEpochUnix = 315964800;  // 1980-01-06 00:00:00 UTC
}  // namespace

Triple GeodeticToEcef(double latitude, double longitude, double height)
{
    const double sinLat = std::sin(latitude);
    const double n = wgs84::kA / std::sqrt(1.0 - wgs84::kE2 * sinLat * sinLat);
    const double cosLat = std::cos(latitude);
    return {(n + height) * cosLat * std::cos(longitude), (n + height) * cosLat * std::sin(longitude),
            (n * wgs84::kOneMinusE2 + height) * sinLat};
}

Triple EcefToGeodetic(double x, double y, double z)
{
    const double p2 = x * x + y * y;
    if (p2 <= 1e-10)
        return {z >= 0.0 ? kHalfPi : -kHalfPi, 0.0, std::fabs(z) - wgs84::kB};
    const double p = std::sqrt(p2);
    const double g = std::sqrt(p2 * wgs84::kB2 + z * z * wgs84::kA2);
    const double longitude = std::atan2(y, x);
    const double c = p * wgs84::kB / g;
    const double s = z * wgs84::kA / g;
    const double c3 = c * c * c;
    const double s3 = s * s * s;
    const double latitude = std::atan((z + wgs84::kEp2B * s3) / (p - wgs84::kE2A * c3));
    const double sinLat = std::sin(latitude);
    const double n = wgs84::kA / std::sqrt(1.0 - wgs84::kE2 * sinLat * sinLat);
    return {latitude, longitude, p / std::cos(latitude) - n};
}

Matrix3 LocalFrameMatrix(double latitude, double longitude)
{
    const double sp = std::sin(latitude), cp = std::cos(latitude);
    const double sl = std::sin(longitude), cl = std::cos(longitude);
    return {-sl, cl, 0.0, -sp * cl, -sp * sl, cp, cp * cl, cp * sl, sp};
}

Triple EcefToGeodeticIterative(double x, double y, double z)
{
    const double cz = z * z * wgs84::kInvA2;
    const double d = cz * wgs84::kOneMinusE2;
    const double l = (x * x + y * y) * wgs84::kInvA2;
    const double m = l + d - wgs84::kE4;
    double t = wgs84::kE2Iterative;
    for (int step = 0; step < 3; ++step)
    {
        const double t2 = t * t;
        const double f = d * t2 * t2 + 2.0 * d * t2 * t + m * t2 - wgs84::kTwoE4 * t - wgs84::kE4;
        const double df = 4.0 * d * t2 * t + 6.0 * d * t2 + 2.0 * m * t - wgs84::kTwoE4;
        t -= f / df;
    }
    double latitude = 0.0, longitude = 0.0;
    if (x != 0.0 || y != 0.0)
    {
        latitude = std::atan2(z * (1.0 + t), std::sqrt(x * x + y * y));
        longitude = std::atan2(y, x);
    }
    else
    {
        latitude = z >= 0.0 ? kHalfPi : -kHalfPi;
    }
    const double height = (1.0 - t * wgs84::kOneMinusE2OverE2) *
                          std::sqrt(std::fmax(0.0, cz + l / ((1.0 + t) * (1.0 + t)))) * wgs84::kA;
    return {latitude, longitude, height};
}

Matrix3 NorthEastDownMatrix(double latitude, double longitude)
{
    const double sp = std::sin(latitude), cp = std::cos(latitude);
    const double sl = std::sin(longitude), cl = std::cos(longitude);
    return {-sp * cl, -sp * sl, cp, -sl, cl, 0.0, -cp * cl, -cp * sl, -sp};
}

double MetresPerDegreeLongitude(double latitudeDeg)
{
    return std::cos(latitudeDeg * 0.017453292519943295) * 111199.233;
}

GpsTimeStamp GpsTimeFromPcSeconds(std::int64_t seconds)
{
    // GPS weeks start on a Sunday; the Unix epoch was a Thursday, three days (259200 s) later.
    const std::int64_t w = seconds - 259200;
    std::int64_t weeks = w / kSecondsPerWeek;
    std::int64_t rest = w % kSecondsPerWeek;
    if (rest < 0)
    {
        rest += kSecondsPerWeek;
        --weeks;
    }
    GpsTimeStamp stamp;
    stamp.week = static_cast<std::uint16_t>(static_cast<std::uint64_t>(weeks - 522) & 0xFFFFU);
    stamp.timeOfWeek = rest * 100;
    return stamp;
}

GpsTimeStamp GpsTimeFromPcClock()
{
    return GpsTimeFromPcSeconds(static_cast<std::int64_t>(std::time(nullptr)));
}

std::int64_t CalendarSecondsFromGps(std::int64_t week, std::int64_t timeOfWeekCs, std::int64_t leapSeconds)
{
    return week * kSecondsPerWeek + timeOfWeekCs / 100 - leapSeconds + kGpsEpochUnix;
}

namespace
{
bool FitsTimeT(std::int64_t seconds)
{
    return seconds >= static_cast<std::int64_t>(std::numeric_limits<std::time_t>::min()) &&
           seconds <= static_cast<std::int64_t>(std::numeric_limits<std::time_t>::max());
}
}  // namespace

std::optional<std::tm> CalendarTimeUtc(std::int64_t seconds)
{
    if (!FitsTimeT(seconds))
        return std::nullopt;
    const auto t = static_cast<std::time_t>(seconds);
    std::tm broken{};
    if (gmtime_r(&t, &broken) == nullptr)
        return std::nullopt;
    return broken;
}

std::optional<std::tm> CalendarTimeLocal(std::int64_t seconds)
{
    if (!FitsTimeT(seconds))
        return std::nullopt;
    const auto t = static_cast<std::time_t>(seconds);
    std::tm broken{};
    if (localtime_r(&t, &broken) == nullptr)
        return std::nullopt;
    return broken;
}
