// The almanac the engine starts from before the satellites send their own: a nominal constellation
// of week 980, toa 233472 s. Six orbital planes 60° apart at an inclination of about 0.9561 rad,
// √A about 5153.6 m^½, small eccentricities, and in each plane the satellites spread in mean
// anomaly. PRNs 11, 12, 20, 28 and 32 are absent (state 2, zero orbit).
#include "nav/NavEngine.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr int kAlmanacWeek = 980;
constexpr double kAlmanacToa = 233472.0;
constexpr double kPi = 3.1415926535898;
constexpr std::array<int, 5> kAbsent{11, 12, 20, 28, 32};

double WrapAngle(double a)
{
    while (a > kPi)
        a -= 2.0 * kPi;
    while (a <= -kPi)
        a += 2.0 * kPi;
    return a;
}

std::array<AlmanacRecord, kPrnCount> BuildAlmanac()
{
    std::array<AlmanacRecord, kPrnCount> table{};
    int active = 0;
    for (int prn = 1; prn <= static_cast<int>(kPrnCount); ++prn)
    {
        AlmanacRecord& a = table[static_cast<std::size_t>(prn - 1)];
        a.week = kAlmanacWeek;
        a.toa = kAlmanacToa;
        if (std::find(kAbsent.begin(), kAbsent.end(), prn) != kAbsent.end())
        {
            a.state = kAlmanacAbsent;
            continue;
        }
        const int plane = active % 6;
        const int slot = active / 6;
        a.state = kAlmanacHeld;
        a.health = 0;
        a.e = prn == 1 ? 0.004113 : 0.0015 + 0.0011 * static_cast<double>((active * 5) % 9);
        a.i = prn == 1 ? 0.9561 : 0.9561 + 0.0015 * static_cast<double>((active % 5) - 2);
        a.sqrtA = prn == 1 ? 5153.66 : 5153.6 + 0.02 * static_cast<double>((active % 7) - 3);
        a.omegaDot = -8.1e-9 - 1.0e-11 * static_cast<double>(plane);
        a.omega0 = WrapAngle(-2.9 + static_cast<double>(plane) * kPi / 3.0);
        a.omega = WrapAngle(0.4 + 0.9 * static_cast<double>(active % 7));
        a.m0 = WrapAngle(static_cast<double>(slot) * 2.0 * kPi / 5.0 + static_cast<double>(plane) * 0.52);
        a.af0 = 1.0e-5 * static_cast<double>((active % 7) - 3);
        a.af1 = 0.0;
        ++active;
    }
    return table;
}
}  // namespace

const std::array<AlmanacRecord, kPrnCount>& BuiltInAlmanac()
{
    static const std::array<AlmanacRecord, kPrnCount> table = BuildAlmanac();
    return table;
}
