// The receiver's latest fix and status as one value in SI units and full precision, whatever
// protocol reported it: NMEA position sentences of any talker (GGA, RMC, GLL, GNS) with GSA, VTG
// and ZDA, the binary NAV and DOP records, and other receiver protocols. The views' status texts,
// `vrnrcvr-replay --fixes` and the accuracy analysis read it; the classic records stay as they are.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// GPS time runs ahead of UTC by the leap seconds. Receivers seldom say how many in their NMEA
// output, so the GPS week and time of week derived from an NMEA date and time use this count
// (the value since the start of 2017).
inline constexpr int kDefaultLeapSeconds = 18;

// Bits of ReceiverFix::carried: the values the latest report itself carried. The fields keep the
// values of earlier reports otherwise (an RMC keeps the altitude of the GGA before it).
inline constexpr std::uint16_t kFixCarriesAltitude = 1U << 0;  // altitudeMslM (GGA, GNS)
inline constexpr std::uint16_t kFixCarriesQuality = 1U << 1;   // quality (GGA)
inline constexpr std::uint16_t kFixCarriesSatsUsed = 1U << 2;  // satsUsed (GGA, GNS, NAV)

struct ReceiverFix
{
    // Incremented by every position report (a GGA, RMC, GLL or GNS sentence, a NAV record, ...),
    // so a reader can tell a new epoch from the one it has seen.
    std::uint32_t sequence = 0;
    // What produced the latest report: talker and type ("GNGGA"), "NAV", "NAV-PVT"; NUL-terminated.
    std::array<char, 16> source{};
    // UTC time of day as received ("123519.00"), NUL-terminated; empty when the report had none.
    std::array<char, 16> utcText{};
    double utcSecondsOfDay = kNoValue;  // the same time in seconds since midnight
    // Date ddmmyy from the latest RMC or ZDA (or the protocol's own date), NUL-terminated.
    std::array<char, 8> date{};
    // GPS time of the report when the protocol gives it (or it follows from date, UTC and the leap
    // seconds); gpsWeek < 0 when unknown.
    int gpsWeek = -1;
    double gpsTimeOfWeekS = kNoValue;

    std::uint16_t carried = 0;  // kFixCarries* bits of the latest report

    // Position: NaN when the latest report carries none (an empty field, no fix). Altitudes change
    // only with reports that carry one (kFixCarriesAltitude).
    double latitudeDeg = kNoValue;   // signed decimal degrees, north positive
    double longitudeDeg = kNoValue;  // signed decimal degrees, east positive
    double altitudeMslM = kNoValue;  // above mean sea level
    double geoidSeparationM = kNoValue;
    double heightEllipsoidM = kNoValue;  // altitudeMslM + geoidSeparationM when both are known

    int quality = -1;   // GGA fix quality 0..8 (or the protocol's equivalent); -1 unknown
    int fixMode = 0;    // 1 no fix, 2 2D, 3 3D (GSA or the protocol's fix type); 0 unknown
    int satsUsed = -1;  // satellites used in the fix; -1 unknown
    double hdop = kNoValue, pdop = kNoValue, vdop = kNoValue;  // latest GGA/GNS/GSA (DOP record)
    double speedMps = kNoValue;                                // over ground
    double courseDeg = kNoValue;                               // true course over ground
    char modeIndicator = 0;  // RMC/GLL/VTG mode letter (NMEA 2.3: A D E M N S R F P); 0 when not sent
    char navStatus = 0;      // RMC navigational status (NMEA 4.10: S C U V); 0 when not sent
};

// The text of a GGA fix quality for the views' tooltips and the tools: 0 "No Fix", 1 "GPS",
// 2 "DGPS", 3 "PPS", 4 "RTK Fix", 5 "RTK Flt", 6 "DR", 7 "Manual", 8 "Sim"; empty for any other value.
[[nodiscard]] std::string_view FixQualityText(int quality);

// Days from the start of GPS time (1980-01-06) to the date `day`.`month`.`year` (full year);
// empty for a date that does not exist.
[[nodiscard]] std::optional<int> GpsDayNumber(int year, int month, int day);
// The ddmmyy text of a GPS day number (NUL-terminated in 8 characters).
[[nodiscard]] std::array<char, 8> DateTextOfGpsDay(int gpsDay);

// WGS-84 latitude and longitude (degrees) and height above the ellipsoid (metres) of an earth-centred
// position in metres. The origin gives NaN.
struct GeodeticPosition
{
    double latitudeDeg = kNoValue;
    double longitudeDeg = kNoValue;
    double heightM = kNoValue;
};
[[nodiscard]] GeodeticPosition GeodeticFromEcef(double x, double y, double z);
// Speed over ground (m/s) and true course (degrees 0..360) of an earth-centred velocity (m/s) at a
// latitude and longitude in degrees; the course is NaN below 0.05 m/s.
void GroundVelocityFromEcef(double latitudeDeg, double longitudeDeg, double vx, double vy, double vz,
                            double& speedMps, double& courseDeg);
// The UTC time of a GPS time of week (seconds): "hhmmss.ss" in `text`, the seconds of the day, and
// the GPS day number of the UTC date (for DateTextOfGpsDay), using `leapSeconds`.
void UtcOfGpsTime(int week, double timeOfWeekS, int leapSeconds, std::array<char, 16>& text,
                  double& secondsOfDay, int& gpsDay);
