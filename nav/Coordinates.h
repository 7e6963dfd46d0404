// Coordinate conversions of the navigation engine: WGS-84 geodetic <-> earth-centred, earth-fixed
// (ECEF), local level frames, and GPS time <-> PC clock and calendar time. Pure functions, no state.
// Angles are radians and lengths metres unless a name says otherwise.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>

// (x, y, z) in metres or (latitude, longitude, height) in radians and metres.
using Triple = std::array<double, 3>;
// 3 x 3 rotation matrix, row by row.
using Matrix3 = std::array<double, 9>;

// WGS-84 constants with the digits the engine has always used.
namespace wgs84
{
inline constexpr double kA = 6378137.0;
inline constexpr double kB = 6356752.314245179;
inline constexpr double kE2 = 0.006694379990141317;
inline constexpr double kOneMinusE2 = 0.9933056200098587;
inline constexpr double kA2 = 40680631590769.0;
inline constexpr double kB2 = 40408299984661.45;
inline constexpr double kE2A = 42697.67270717997;
inline constexpr double kEp2B = 42841.31151331357;
// The display converter's own e² differs in the last digit; kept so both give their usual numbers.
inline constexpr double kE2Iterative = 0.0066943799901413165;
inline constexpr double kInvA2 = 2.458172257647332e-14;
inline constexpr double kE4 = 4.481472345240445e-05;
inline constexpr double kTwoE4 = 8.96294469048089e-05;
inline constexpr double kOneMinusE2OverE2 = 148.3790315865966;
}  // namespace wgs84

[[nodiscard]] Triple GeodeticToEcef(double latitude, double longitude, double height);
// Closed form (one Bowring step); used by the position solution. The polar axis (x² + y² ≤ 1e-10)
// gives longitude 0 and latitude ±π/2.
[[nodiscard]] Triple EcefToGeodetic(double x, double y, double z);
// Rows east, north, up: applied to an ECEF difference it gives the local components.
[[nodiscard]] Matrix3 LocalFrameMatrix(double latitude, double longitude);
// Newton iteration (three fixed steps) used by the displays.
[[nodiscard]] Triple EcefToGeodeticIterative(double x, double y, double z);
// Rows north, east, down.
[[nodiscard]] Matrix3 NorthEastDownMatrix(double latitude, double longitude);
[[nodiscard]] double MetresPerDegreeLongitude(double latitudeDeg);

// Applies row `row` (0..2) of `m` to `v`.
[[nodiscard]] inline double ApplyRow(const Matrix3& m, int row, const Triple& v)
{
    const auto r = static_cast<std::size_t>(row) * 3;
    return m[r] * v[0] + m[r + 1] * v[1] + m[r + 2] * v[2];
}

struct GpsTimeStamp
{
    std::uint16_t week = 0;       // GPS week, kept to 16 bits
    std::int64_t timeOfWeek = 0;  // 0.01 s
};
// GPS time from a count of PC-clock seconds since 1970-01-01 00:00:00 UTC (no leap seconds).
[[nodiscard]] GpsTimeStamp GpsTimeFromPcSeconds(std::int64_t seconds);
// The same for the current PC clock.
[[nodiscard]] GpsTimeStamp GpsTimeFromPcClock();

// Seconds since 1970-01-01 00:00:00 UTC of a GPS week and time of week (0.01 s), less leap seconds.
[[nodiscard]] std::int64_t CalendarSecondsFromGps(std::int64_t week, std::int64_t timeOfWeekCs,
                                                  std::int64_t leapSeconds);
// Broken-down calendar time of `seconds` since 1970 in UTC or in local time (daylight saving as the
// system decides). Empty when the time cannot be broken down; the caller then reports
// "SV_DATA format is error ! <Week or TOW>\n" and shows nothing.
[[nodiscard]] std::optional<std::tm> CalendarTimeUtc(std::int64_t seconds);
[[nodiscard]] std::optional<std::tm> CalendarTimeLocal(std::int64_t seconds);
