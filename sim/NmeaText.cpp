// Field formatting of the simulator's NMEA sentences.
#include "sim/NmeaText.h"

#include <array>
#include <charconv>
#include <cmath>

#include "sim/Messages.h"

namespace vrnsim
{

int RoundedDegrees(double rad)
{
    return static_cast<int>(std::floor(rad / kDegree + 0.5));
}

void AppendInt(std::string& s, long value, int width)
{
    std::array<char, 24> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), value < 0 ? -value : value);
    const auto digits = static_cast<int>(r.ptr - buf.data());
    if (value < 0)
        s += '-';
    for (int i = digits; i < width; ++i)
        s += '0';
    s.append(buf.data(), r.ptr);
}

void AppendFixed(std::string& s, double value, int decimals)
{
    std::array<char, 48> buf{};
    const auto r =
        std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed, decimals);
    s.append(buf.data(), r.ptr);
}

void AppendAngle(std::string& s, double rad, int degreeDigits, char positive, char negative)
{
    const long long tenThousandths = std::llround(std::abs(rad) / kDegree * 600000.0);
    AppendInt(s, static_cast<long>(tenThousandths / 600000), degreeDigits);
    const long long minutes = tenThousandths % 600000;
    AppendInt(s, static_cast<long>(minutes / 10000), 2);
    s += '.';
    AppendInt(s, static_cast<long>(minutes % 10000), 4);
    s += ',';
    s += rad < 0.0 ? negative : positive;
}

void AppendUtcTime(std::string& s, const UtcTime& u)
{
    AppendInt(s, u.hour, 2);
    AppendInt(s, u.minute, 2);
    const long centis = std::lround(u.second * 100.0);
    AppendInt(s, centis / 100, 2);
    s += '.';
    AppendInt(s, centis % 100, 2);
}

void AppendDate(std::string& s, const UtcTime& u)
{
    AppendInt(s, u.day, 2);
    AppendInt(s, u.month, 2);
    AppendInt(s, u.year % 100, 2);
}

void SpeedAndCourse(const Geodetic& at, Vec3 velocity, double& speed, double& course)
{
    const Vec3 v = ToEnu(EnuAxes(at), velocity);
    speed = std::hypot(v.x, v.y);
    course = speed < 0.05 ? 0.0 : std::fmod(std::atan2(v.x, v.y) / kDegree + 360.0, 360.0);
}

}  // namespace vrnsim
