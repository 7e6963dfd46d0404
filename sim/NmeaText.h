// Field formatting shared by the simulator's NMEA sentence writers: integers with leading zeros,
// fixed decimals, ddmm.mmmm angles, UTC time and date, and the speed and course of a fix.
#pragma once

#include <string>

#include "sim/SimMath.h"

namespace vrnsim
{

struct UtcTime;

inline constexpr double kKnotsPerMps = 1.9438444924406;
inline constexpr double kKmhPerMps = 3.6;

// Whole degrees, rounded half up.
int RoundedDegrees(double rad);
// `value` in decimal, at least `width` digits (leading zeros after the sign).
void AppendInt(std::string& s, long value, int width = 0);
void AppendFixed(std::string& s, double value, int decimals);
// ddmm.mmmm (latitude, 2 degree digits) or dddmm.mmmm (longitude), then ',' and the hemisphere letter.
void AppendAngle(std::string& s, double rad, int degreeDigits, char positive, char negative);
// hhmmss.ss
void AppendUtcTime(std::string& s, const UtcTime& u);
// ddmmyy
void AppendDate(std::string& s, const UtcTime& u);
// Horizontal speed (m/s) and course over ground (degrees from north; 0 below 5 cm/s) of an ECEF
// velocity at `at`.
void SpeedAndCourse(const Geodetic& at, Vec3 velocity, double& speed, double& course);

// What the position sentences say of a fix.
struct FixFields
{
    bool valid = false;
    Geodetic at;
    int used = 0;
    double hdop = 0.0;
    double speed = 0.0;   // m/s
    double course = 0.0;  // degrees
};
// ddmm.mmmm,N,dddmm.mmmm,E
void AppendPosition(std::string& s, const Geodetic& g);
// The fields of GGA after its address: time, position, quality 1 (0 without a fix), satellites used,
// HDOP, height and an empty differential station.
void AppendGgaFields(std::string& s, const UtcTime& u, const FixFields& f);
// The fields of GLL after its address: position (empty without a fix) and time; the status letters
// are the caller's.
void AppendGllFields(std::string& s, const UtcTime& u, const FixFields& f);
// The fields of RMC after its address up to the date; magnetic variation and mode are the caller's.
void AppendRmcFields(std::string& s, const UtcTime& u, const FixFields& f);
// The fields of VTG after its address up to the km/h unit; the mode letter is the caller's.
void AppendVtgFields(std::string& s, const FixFields& f);

}  // namespace vrnsim
