// Tables of the navigation engine: collected subframes, ephemerides, almanac, ionospheric and UTC
// parameters, the satellite state cache, the look table, channel continuity and the solution.
// Plain values; the engine (nav/NavEngine.h) owns one of each table.
#pragma once

#include <array>
#include <cstdint>

#include "nav/Coordinates.h"
#include "protocol/GpsTypes.h"

// Ten 30-bit words of one subframe, right-aligned (data bit n of the word at bit 30 - n).
using SubframeWords = std::array<std::uint32_t, 10>;

// Subframes 1-3 of one satellite collected until they form a consistent set.
struct SubframeSet
{
    int have1 = 0, have2 = 0, have3 = 0;
    int iodc = 0;   // 10 bits, from subframe 1
    int iode2 = 0;  // from subframe 2
    int iode3 = 0;  // from subframe 3
    SubframeWords words1{}, words2{}, words3{};
};

// Broadcast clock and ephemeris of one satellite (seconds, metres, radians).
struct EphemerisRecord
{
    int valid = 0;
    int tSubframe1 = 0;  // seconds of week at the start of subframe 1
    int week10 = 0;      // raw 10-bit week
    int l2PFlag = 0;
    int ura = 0;
    int health = 0;  // 6 bits; 0x20 set = unhealthy
    double tgd = 0.0;
    int iodc = 0;
    int tocWeek = 0;
    double toc = 0.0;
    double af2 = 0.0, af1 = 0.0, af0 = 0.0;
    int iode = 0;
    double crs = 0.0;
    double deltaN = 0.0;
    double m0 = 0.0;
    double cuc = 0.0;
    double e = 0.0;
    double cus = 0.0;
    double sqrtA = 0.0;
    int toeWeek = 0;
    double toe = 0.0;
    int fitFlag = 0;
    double cic = 0.0;
    double omega0 = 0.0;
    double cis = 0.0;
    double i0 = 0.0;
    double crc = 0.0;
    double omega = 0.0;
    double omegaDot = 0.0;
    double idot = 0.0;
    double a = 0.0;   // semi-major axis, m
    double n0 = 0.0;  // computed mean motion, rad/s
};

inline constexpr int kAlmanacNone = 0;
inline constexpr int kAlmanacHeld = 1;
inline constexpr int kAlmanacAbsent = 2;  // announced as not present, or absent from the built-in table

struct AlmanacRecord
{
    int state = kAlmanacNone;
    int health = 0;  // 8 bits
    double e = 0.0;
    int week = 0;
    double toa = 0.0;
    double i = 0.0;
    double omegaDot = 0.0;
    double sqrtA = 0.0;
    double omega0 = 0.0;
    double omega = 0.0;
    double m0 = 0.0;
    double af0 = 0.0;
    double af1 = 0.0;
};

// Subframe 4 page 18.
struct IonoUtcParameters
{
    double alpha0 = 0.0, alpha1 = 0.0, alpha2 = 0.0, alpha3 = 0.0;
    double beta0 = 0.0, beta1 = 0.0, beta2 = 0.0, beta3 = 0.0;
    double a0 = 0.0;  // s
    double a1 = 0.0;  // s/s
    int tot = 0;
    int deltaTLs = 0;
    int wnT = 0;
    int wnLsf = 0;
    int dn = 0;
    int deltaTLsf = 0;

    bool operator==(const IonoUtcParameters&) const = default;
};

// Subframe 4 page 17: 22 characters and a terminating zero.
using SpecialMessageText = std::array<char, 23>;

// Position, velocity and acceleration of a satellite at one time, all ECEF.
struct SatelliteMotion
{
    double relClock = 0.0;  // relativistic clock term, s
    Triple position{};
    Triple velocity{};
    Triple acceleration{};
};

// One cached satellite state per PRN, extrapolated to second order within ±10 s of tRef.
struct SatelliteStateCacheEntry
{
    int valid = 0;
    int iode = 0;
    double tRef = 0.0;
    SatelliteMotion motion{};
};

// What a cache lookup returns.
struct SatelliteFix
{
    double relClock = 0.0;
    Triple position{};
    Triple velocity{};
};

// One row of the look table: where a satellite stands seen from the current receiver position.
struct SatelliteLookRow
{
    double azimuth = 0.0;    // rad, 0 .. 2π clockwise from north
    double elevation = 0.0;  // rad
    double doppler = 0.0;    // predicted L1 Doppler, Hz
    double sagnac = 0.0;     // earth-rotation range term, m
    double iono = 0.0;       // ionospheric delay, m
    double tropo = 0.0;      // tropospheric delay, m
    int azimuthDeg = 0;
    int elevationDeg = 0;
    int dopplerHz = 0;
};

// Continuity screening of one receiver channel.
struct ChannelTrack
{
    double lastRangeRate = 0.0;
    double lastTime = 0.0;
    std::uint16_t goodCount = 0;  // saturates at 65535
};

// Rows of one solution: up to twelve satellites plus the altitude row.
inline constexpr std::size_t kSolutionRows = 13;

inline constexpr double kFailedDop = 999.9000244140625;  // 999.9 as a float

struct NavSolution
{
    bool almanacInUse = false;      // the live almanac table is seeded and in use
    double oscillatorOffset = 0.0;  // Hz
    int timeKnown = 0;
    int firstWeek = 0;
    int week = 0;
    double timeOfWeek = 0.0;  // s
    int fixMode = 0;          // 0 none, 2 fix
    int satellitesUsed = 0;
    int fixCounter = 0;
    double lastFixTime = 0.0;  // measurement time of the last accepted fix, s (once fixCounter > 0)
    double x = 0.0, y = 0.0, z = 0.0;
    double vx = 0.0, vy = 0.0, vz = 0.0;
    double clockBias = 0.0;                  // m
    double clockDrift = 0.0;                 // m/s
    double latitude = 0.0, longitude = 0.0;  // rad
    double height = 0.0;                     // m
    Matrix3 enu{};
    double speed = 0.0;    // horizontal, m/s
    double heading = 0.0;  // degrees 0 .. 360
    double verticalVelocity = 0.0;
    double gdop = 0.0, pdop = 0.0, tdop = 0.0, vdop = 0.0, hdop = 0.0;
    std::array<std::array<double, kSolutionRows>, 4> g{};  // G = N⁻¹Hᵀ
    int integrityCount = 0;
    int reserved = 0;
    int altitudeRow = 0;
};
