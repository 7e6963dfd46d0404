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

}  // namespace vrnsim
