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

void AppendPosition(std::string& s, const Geodetic& g)
{
    AppendAngle(s, g.latitude, 2, 'N', 'S');
    s += ',';
    AppendAngle(s, g.longitude, 3, 'E', 'W');
}

void AppendGgaFields(std::string& s, const UtcTime& u, const FixFields& f)
{
    AppendUtcTime(s, u);
    s += ',';
    if (!f.valid)
    {
        s += ",,,,0,00,,,M,,M,,";
        return;
    }
    AppendPosition(s, f.at);
    s += ",1,";
    AppendInt(s, f.used, 2);
    s += ',';
    AppendFixed(s, f.hdop, 1);
    s += ',';
    AppendFixed(s, f.at.height, 1);
    s += ",M,0.0,M,,";
}

void AppendGllFields(std::string& s, const UtcTime& u, const FixFields& f)
{
    if (f.valid)
        AppendPosition(s, f.at);
    else
        s += ",,,";
    s += ',';
    AppendUtcTime(s, u);
}

void AppendRmcFields(std::string& s, const UtcTime& u, const FixFields& f)
{
    AppendUtcTime(s, u);
    if (f.valid)
    {
        s += ",A,";
        AppendPosition(s, f.at);
        s += ',';
        AppendFixed(s, f.speed * kKnotsPerMps, 1);
        s += ',';
        AppendFixed(s, f.course, 1);
    }
    else
        s += ",V,,,,,,";
    s += ',';
    AppendDate(s, u);
}

void AppendVtgFields(std::string& s, const FixFields& f)
{
    if (!f.valid)
    {
        s += ",T,,M,,N,,K";
        return;
    }
    AppendFixed(s, f.course, 1);
    s += ",T,,M,";
    AppendFixed(s, f.speed * kKnotsPerMps, 1);
    s += ",N,";
    AppendFixed(s, f.speed * kKmhPerMps, 1);
    s += ",K";
}

}  // namespace vrnsim
