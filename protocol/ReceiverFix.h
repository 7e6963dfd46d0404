// The receiver's latest fix and status as one value in SI units and full precision, whatever
// protocol reported it: NMEA position sentences of any talker (GGA, RMC, GLL, GNS) with GSA, VTG
// and ZDA, the binary NAV and DOP records, and other receiver protocols. The views' status texts,
// `vrnrcvr-replay --fixes` and the accuracy analysis read it; the classic records stay as they are.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

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

    // Position: NaN when the report carries none (an empty field, no fix).
    double latitudeDeg = kNoValue;   // signed decimal degrees, north positive
    double longitudeDeg = kNoValue;  // signed decimal degrees, east positive
    double altitudeMslM = kNoValue;  // above mean sea level
    double geoidSeparationM = kNoValue;
    double heightEllipsoidM = kNoValue;  // altitudeMslM + geoidSeparationM when both are known

    int quality = -1;   // GGA fix quality 0..8 (or the protocol's equivalent); -1 unknown
    int fixMode = 0;    // 1 no fix, 2 2D, 3 3D (GSA or the protocol's fix type); 0 unknown
    int satsUsed = -1;  // satellites used in the fix; -1 unknown
    double hdop = kNoValue, pdop = kNoValue, vdop = kNoValue;
    double speedMps = kNoValue;  // over ground
    double courseDeg = kNoValue; // true course over ground
    char modeIndicator = 0;  // RMC/GLL/VTG mode letter (NMEA 2.3: A D E M N S R F P); 0 when not sent
    char navStatus = 0;      // RMC navigational status (NMEA 4.10: S C U V); 0 when not sent
};
