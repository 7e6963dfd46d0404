// The almanac the engine starts from before the satellites send their own: a nominal constellation
// of week 980, toa 233472 s. Six orbital planes (A-F) 60° apart at an inclination of about
// 0.9561 rad, √A about 5153.6 m^½, small eccentricities, and in each plane the satellites spread in
// mean anomaly. PRNs 11, 12, 20, 28 and 32 are absent (state 2, zero orbit).
#include "nav/NavEngine.h"

namespace
{
constexpr int kAlmanacWeek = 980;
constexpr double kAlmanacToa = 233472.0;

// The orbit columns of one entry, in radians, rad/s, m^½ and seconds.
struct Entry
{
    int state;
    int health;
    double e, i, omegaDot, sqrtA, omega0, omega, m0, af0, af1;
};

// clang-format off
constexpr std::array<Entry, kPrnCount> kEntries{{
    {kAlmanacHeld, 0, 0.004113, 0.9561, -8.1e-09, 5153.66, -2.9, 0.4, 0.0, -3e-5, 0.0},  // PRN 1, plane A
    {kAlmanacHeld, 0, 0.007, 0.9546, -8.11e-09, 5153.56, -1.8528, 1.3, 0.52, -2e-5, 0.0},  // PRN 2, plane B
    {kAlmanacHeld, 0, 0.0026, 0.9561, -8.12e-09, 5153.58, -0.8056, 2.2, 1.04, -1e-5, 0.0},  // PRN 3, plane C
    {kAlmanacHeld, 0, 0.0081, 0.9576, -8.13e-09, 5153.6, 0.2416, 3.1, 1.56, 0.0, 0.0},  // PRN 4, plane D
    {kAlmanacHeld, 0, 0.0037, 0.9591, -8.14e-09, 5153.62, 1.2888, -2.2832, 2.08, 1e-5, 0.0},  // PRN 5, plane E
    {kAlmanacHeld, 0, 0.0092, 0.9531, -8.15e-09, 5153.64, 2.336, -1.3832, 2.6, 2e-5, 0.0},  // PRN 6, plane F
    {kAlmanacHeld, 0, 0.0048, 0.9546, -8.1e-09, 5153.66, -2.9, -0.4832, 1.2566, 3e-5, 0.0},  // PRN 7, plane A
    {kAlmanacHeld, 0, 0.0103, 0.9561, -8.11e-09, 5153.54, -1.8528, 0.4, 1.7766, -3e-5, 0.0},  // PRN 8, plane B
    {kAlmanacHeld, 0, 0.0059, 0.9576, -8.12e-09, 5153.56, -0.8056, 1.3, 2.2966, -2e-5, 0.0},  // PRN 9, plane C
    {kAlmanacHeld, 0, 0.0015, 0.9591, -8.13e-09, 5153.58, 0.2416, 2.2, 2.8166, -1e-5, 0.0},  // PRN 10, plane D
    {kAlmanacAbsent, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0},  // PRN 11
    {kAlmanacAbsent, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0},  // PRN 12
    {kAlmanacHeld, 0, 0.007, 0.9531, -8.14e-09, 5153.6, 1.2888, 3.1, -2.9465, 0.0, 0.0},  // PRN 13, plane E
    {kAlmanacHeld, 0, 0.0026, 0.9546, -8.15e-09, 5153.62, 2.336, -2.2832, -2.4265, 1e-5, 0.0},  // PRN 14, plane F
    {kAlmanacHeld, 0, 0.0081, 0.9561, -8.1e-09, 5153.64, -2.9, -1.3832, 2.5133, 2e-5, 0.0},  // PRN 15, plane A
    {kAlmanacHeld, 0, 0.0037, 0.9576, -8.11e-09, 5153.66, -1.8528, -0.4832, 3.0333, 3e-5, 0.0},  // PRN 16, plane B
    {kAlmanacHeld, 0, 0.0092, 0.9591, -8.12e-09, 5153.54, -0.8056, 0.4, -2.7299, -3e-5, 0.0},  // PRN 17, plane C
    {kAlmanacHeld, 0, 0.0048, 0.9531, -8.13e-09, 5153.56, 0.2416, 1.3, -2.2099, -2e-5, 0.0},  // PRN 18, plane D
    {kAlmanacHeld, 0, 0.0103, 0.9546, -8.14e-09, 5153.58, 1.2888, 2.2, -1.6899, -1e-5, 0.0},  // PRN 19, plane E
    {kAlmanacAbsent, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0},  // PRN 20
    {kAlmanacHeld, 0, 0.0059, 0.9561, -8.15e-09, 5153.6, 2.336, 3.1, -1.1699, 0.0, 0.0},  // PRN 21, plane F
    {kAlmanacHeld, 0, 0.0015, 0.9576, -8.1e-09, 5153.62, -2.9, -2.2832, -2.5133, 1e-5, 0.0},  // PRN 22, plane A
    {kAlmanacHeld, 0, 0.007, 0.9591, -8.11e-09, 5153.64, -1.8528, -1.3832, -1.9933, 2e-5, 0.0},  // PRN 23, plane B
    {kAlmanacHeld, 0, 0.0026, 0.9531, -8.12e-09, 5153.66, -0.8056, -0.4832, -1.4733, 3e-5, 0.0},  // PRN 24, plane C
    {kAlmanacHeld, 0, 0.0081, 0.9546, -8.13e-09, 5153.54, 0.2416, 0.4, -0.9533, -3e-5, 0.0},  // PRN 25, plane D
    {kAlmanacHeld, 0, 0.0037, 0.9561, -8.14e-09, 5153.56, 1.2888, 1.3, -0.4333, -2e-5, 0.0},  // PRN 26, plane E
    {kAlmanacHeld, 0, 0.0092, 0.9576, -8.15e-09, 5153.58, 2.336, 2.2, 0.0867, -1e-5, 0.0},  // PRN 27, plane F
    {kAlmanacAbsent, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0},  // PRN 28
    {kAlmanacHeld, 0, 0.0048, 0.9591, -8.1e-09, 5153.6, -2.9, 3.1, -1.2566, 0.0, 0.0},  // PRN 29, plane A
    {kAlmanacHeld, 0, 0.0103, 0.9531, -8.11e-09, 5153.62, -1.8528, -2.2832, -0.7366, 1e-5, 0.0},  // PRN 30, plane B
    {kAlmanacHeld, 0, 0.0059, 0.9546, -8.12e-09, 5153.64, -0.8056, -1.3832, -0.2166, 2e-5, 0.0},  // PRN 31, plane C
    {kAlmanacAbsent, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0},  // PRN 32
}};
// clang-format on

std::array<AlmanacRecord, kPrnCount> BuildAlmanac()
{
    std::array<AlmanacRecord, kPrnCount> table{};
    for (std::size_t k = 0; k < kPrnCount; ++k)
    {
        const Entry& n = kEntries[k];
        AlmanacRecord& a = table[k];
        a.state = n.state;
        a.health = n.health;
        a.e = n.e;
        a.week = kAlmanacWeek;
        a.toa = kAlmanacToa;
        a.i = n.i;
        a.omegaDot = n.omegaDot;
        a.sqrtA = n.sqrtA;
        a.omega0 = n.omega0;
        a.omega = n.omega;
        a.m0 = n.m0;
        a.af0 = n.af0;
        a.af1 = n.af1;
    }
    return table;
}
}  // namespace

const std::array<AlmanacRecord, kPrnCount>& BuiltInAlmanac()
{
    static const std::array<AlmanacRecord, kPrnCount> table = BuildAlmanac();
    return table;
}
