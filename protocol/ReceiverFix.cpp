// Helpers of the receiver fix: quality texts, GPS calendar days, WGS-84 conversions of the binary
// records' earth-centred position and velocity, and the UTC time of a GPS time.
#include "protocol/ReceiverFix.h"

#include <cmath>
#include <cstdio>

namespace
{
constexpr double kA = 6378137.0;            // WGS-84 semi-major axis, m
constexpr double kF = 1.0 / 298.257223563;  // flattening
constexpr double kE2 = kF * (2.0 - kF);     // first eccentricity squared
constexpr double kPi = 3.14159265358979323846;
constexpr double kDegPerRad = 180.0 / kPi;
constexpr int kSecondsPerDay = 86400;
constexpr int kSecondsPerWeek = 7 * kSecondsPerDay;

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
constexpr long DaysFromCivil(long y, long m, long d)
{
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}
constexpr long kGpsEpochDays = DaysFromCivil(1980, 1, 6);

void CivilFromDays(long z, int& year, int& month, int& day)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}
}  // namespace

std::string_view FixQualityText(int quality)
{
    static constexpr std::array<std::string_view, 9> kTexts{"No Fix",  "GPS", "DGPS",   "PPS", "RTK Fix",
                                                            "RTK Flt", "DR",  "Manual", "Sim"};
    if (quality < 0 || quality >= static_cast<int>(kTexts.size()))
        return {};
    return kTexts[static_cast<std::size_t>(quality)];
}

std::optional<int> GpsDayNumber(int year, int month, int day)
{
    static constexpr std::array<int, 12> kDaysInMonth{31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1980 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > kDaysInMonth[static_cast<std::size_t>(month - 1)])
        return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap)
        return std::nullopt;
    const long days = DaysFromCivil(year, month, day) - kGpsEpochDays;
    if (days < 0)
        return std::nullopt;
    return static_cast<int>(days);
}

std::array<char, 8> DateTextOfGpsDay(int gpsDay)
{
    int year = 0, month = 0, day = 0;
    CivilFromDays(kGpsEpochDays + gpsDay, year, month, day);
    std::array<char, 8> text{};
    const std::array<int, 3> parts{day, month, year % 100};
    for (std::size_t i = 0; i < parts.size(); ++i)
    {
        text[2 * i] = static_cast<char>('0' + parts[i] / 10 % 10);
        text[2 * i + 1] = static_cast<char>('0' + parts[i] % 10);
    }
    return text;
}

GeodeticPosition GeodeticFromEcef(double x, double y, double z)
{
    GeodeticPosition out;
    const double p = std::hypot(x, y);
    if (!std::isfinite(p) || !std::isfinite(z) || (p == 0.0 && z == 0.0))
        return out;
    const double lon = std::atan2(y, x);
    double lat = std::atan2(z, p * (1.0 - kE2));
    double h = 0.0;
    // Fixed-point iteration on latitude and height: five steps reach well below a millimetre.
    for (int i = 0; i < 5; ++i)
    {
        const double s = std::sin(lat);
        const double n = kA / std::sqrt(1.0 - kE2 * s * s);
        const double c = std::cos(lat);
        h = std::abs(c) > 1e-9 ? p / c - n : std::abs(z) - n * (1.0 - kE2);
        lat = std::atan2(z, p * (1.0 - kE2 * n / (n + h)));
    }
    out.latitudeDeg = lat * kDegPerRad;
    out.longitudeDeg = lon * kDegPerRad;
    out.heightM = h;
    return out;
}

void GroundVelocityFromEcef(double latitudeDeg, double longitudeDeg, double vx, double vy, double vz,
                            double& speedMps, double& courseDeg)
{
    const double lat = latitudeDeg / kDegPerRad;
    const double lon = longitudeDeg / kDegPerRad;
    const double east = -std::sin(lon) * vx + std::cos(lon) * vy;
    const double north =
        -std::sin(lat) * std::cos(lon) * vx - std::sin(lat) * std::sin(lon) * vy + std::cos(lat) * vz;
    speedMps = std::hypot(east, north);
    courseDeg = kNoValue;
    if (std::isfinite(speedMps) && speedMps >= 0.05)
    {
        courseDeg = std::atan2(east, north) * kDegPerRad;
        if (courseDeg < 0.0)
            courseDeg += 360.0;
    }
}

void UtcOfGpsTime(int week, double timeOfWeekS, int leapSeconds, std::array<char, 16>& text,
                  double& secondsOfDay, int& gpsDay)
{
    text = {};
    secondsOfDay = kNoValue;
    gpsDay = -1;
    if (week < 0 || !std::isfinite(timeOfWeekS))
        return;
    // Hundredths of a second since the GPS epoch, UTC.
    const auto centis = static_cast<long long>(week) * kSecondsPerWeek * 100LL +
                        std::llround(timeOfWeekS * 100.0) - static_cast<long long>(leapSeconds) * 100LL;
    if (centis < 0)
        return;
    const long long day = centis / (kSecondsPerDay * 100LL);
    const long long inDay = centis % (kSecondsPerDay * 100LL);
    gpsDay = static_cast<int>(day);
    secondsOfDay = static_cast<double>(inDay) / 100.0;
    const long long s = inDay / 100;
    std::snprintf(text.data(), text.size(), "%02lld%02lld%02lld.%02lld", s / 3600, s / 60 % 60, s % 60,
                  inDay % 100);
}
