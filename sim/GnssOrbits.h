// The satellite systems beside GPS, as a modern receiver sees them: GLONASS, Galileo, BeiDou and
// QZSS, each satellite on a Kepler orbit of its system's real shape (GLONASS 24 slots in three
// planes at 64.8 degrees, 19100 km up; Galileo a 24/3/1 Walker set at 56 degrees, 23222 km up, with
// spares and the two satellites left in eccentric orbits; BeiDou MEO, inclined geosynchronous and
// geostationary satellites; QZSS three quasi-zenith satellites on one figure-eight ground track and
// a geostationary one). The orbits are fixed: they are referred to one epoch, so the sky is the
// same whatever time a run starts at. GPS itself is CConstellation's.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "sim/SimMath.h"

namespace vrnsim
{

enum class GnssSystem : std::uint8_t
{
    Gps,
    Glonass,
    Galileo,
    BeiDou,
    Qzss
};
inline constexpr std::size_t kGnssSystemCount = 5;
inline constexpr std::size_t SystemIndex(GnssSystem s)
{
    return static_cast<std::size_t>(s);
}

// A set of systems, one bit per GnssSystem.
using GnssSet = std::uint8_t;
inline constexpr GnssSet SystemBit(GnssSystem s)
{
    return static_cast<GnssSet>(1U << SystemIndex(s));
}
inline constexpr GnssSet kGpsOnly = SystemBit(GnssSystem::Gps);
inline constexpr GnssSet kAllSystems = (1U << kGnssSystemCount) - 1U;
inline constexpr bool Has(GnssSet set, GnssSystem s)
{
    return (set & SystemBit(s)) != 0;
}

// Lower-case names as the command line takes them: gps glonass galileo beidou qzss.
std::string_view SystemName(GnssSystem s);
// A comma-separated list of names ("gps,glonass"); empty for an empty list or an unknown name.
std::optional<GnssSet> ParseSystems(std::string_view list);

// Geostationary radius: the orbit whose mean motion is the earth's rotation rate, m.
double GeostationaryRadiusM();

// Kepler elements of one orbit. The node is given as a longitude in earth-fixed axes at `epoch`,
// as in the broadcast GPS user algorithm.
struct KeplerOrbit
{
    GpsTime epoch;
    double semiMajorAxisM = 0.0;
    double eccentricity = 0.0;
    double inclination = 0.0;  // rad
    double node = 0.0;         // earth-fixed longitude of the ascending node at `epoch`, rad
    double perigee = 0.0;      // argument of perigee, rad
    double meanAnomaly = 0.0;  // at `epoch`, rad
    double nodeRate = 0.0;     // drift of the node in inertial space (the earth's oblateness), rad/s
};
double MeanMotion(const KeplerOrbit& o);  // rad/s
double PeriodS(const KeplerOrbit& o);
// Earth-fixed position at `t`: two-body motion on the ellipse, the node drifting at its rate in
// inertial space while the earth turns under it.
Vec3 OrbitPosition(const KeplerOrbit& o, GpsTime t);
// The same orbit with its satellite `seconds` later along it (the elements of where it will be).
KeplerOrbit Advanced(const KeplerOrbit& o, double seconds);

enum class OrbitClass : std::uint8_t
{
    Meo,   // medium earth orbit
    Igso,  // inclined geosynchronous (BeiDou IGSO, QZSS quasi-zenith)
    Geo    // geostationary
};

struct GnssSatellite
{
    GnssSystem system = GnssSystem::Glonass;
    // Number within its system: GLONASS slot 1-24, Galileo 1-36, BeiDou 1-63, QZSS 1-10 (its PRN
    // minus 192).
    int number = 0;
    OrbitClass orbitClass = OrbitClass::Meo;
    KeplerOrbit orbit;
};

// The satellites of `system`, by number; empty for GPS.
std::vector<GnssSatellite> MakeSatellites(GnssSystem system);

// Nodes of the geostationary BeiDou satellites and the QZSS one, and the ground-track crossing
// longitude of the QZSS quasi-zenith orbit, degrees east.
inline constexpr double kBeiDouGeoLongitudes[] = {140.0, 80.0, 110.5, 160.0, 58.75};  // numbers 1-5
inline constexpr double kQzssGeoLongitude = 127.0;                                    // number 7
inline constexpr double kQzssCrossingLongitude = 136.0;                               // numbers 1-3

}  // namespace vrnsim
