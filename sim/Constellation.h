// The simulated GPS constellation: 30 satellites in six orbital planes, each flying one fixed orbit
// and clock that the broadcast ephemerides describe. A new ephemeris issue (new IODE and IODC) is cut
// every two hours; every issue is fitted to the same orbit, so consecutive issues agree to within
// the quantisation of the broadcast fields. The constellation does not depend on the noise seed.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "protocol/GpsTypes.h"
#include "sim/Ephemeris.h"

namespace vrnsim
{

inline constexpr int kIssueSeconds = 7200;  // ephemeris issue interval

class CConstellation
{
public:
    // Orbits are referred to the start of `reference`'s week; the almanac has its toa at or
    // before `reference`.
    explicit CConstellation(GpsTime reference);

    // True for the PRNs that exist (1..31 without 4; PRN 32 cannot be carried by the
    // measurement message's 5-bit PRN field).
    bool Exists(int prn) const;
    const std::vector<int>& Prns() const { return m_prns; }

    // The issue broadcast at transmit time `t` (the one whose two-hour window holds `t`).
    const LnavEphemeris& Ephemeris(int prn, GpsTime t);
    const LnavAlmanac& Almanac(int prn) const;
    int AlmanacWeek() const { return m_almanacWeek; }
    const LnavIonoUtc& IonoUtc() const { return m_ionoUtc; }

    // Position and clock at `t` from the issue broadcast at `t`.
    SatelliteState State(int prn, GpsTime t) { return EvaluateEphemeris(Ephemeris(prn, t), t); }
    // Where the satellite really is and what its clock really reads: the orbit and clock that every
    // issue is fitted to, continuous across issue changes. The broadcast issues differ from it by
    // the quantisation of their fields (centimetres in position, up to a few decimetres in clock).
    SatelliteState TrueState(int prn, GpsTime t) const;
    double GroupDelayS(int prn) const;  // L1 group delay (TGD), s

private:
    struct Orbit
    {
        int prn = 0;
        double mean = 0.0, node = 0.0, inclination = 0.0;  // rad at the reference time (node: ECEF)
        double clock0 = 0.0, clock1 = 0.0;                 // s, s/s at the reference time
        LnavEphemeris fixed;  // the fields that stay the same from issue to issue
        OrbitElements truth;  // the same orbit and clock, unquantised, referred to m_reference
    };
    struct Cached
    {
        std::int64_t block = -1;
        LnavEphemeris eph;
    };
    LnavEphemeris MakeIssue(const Orbit& orbit, std::int64_t block) const;
    void MakeAlmanac(GpsTime reference);
    const Orbit* Find(int prn) const;

    GpsTime m_reference;
    std::vector<int> m_prns;
    std::vector<Orbit> m_orbits;                // by PRN
    std::array<int, kPrnCount> m_orbitIndex{};  // index into m_orbits per PRN, -1 when absent
    std::array<Cached, kPrnCount> m_cache{};
    std::array<LnavAlmanac, kPrnCount> m_almanac{};
    int m_almanacWeek = 0;
    LnavIonoUtc m_ionoUtc;
};

}  // namespace vrnsim
