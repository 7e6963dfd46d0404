// Kepler propagation and the orbits of GLONASS, Galileo, BeiDou and QZSS.
//
// Every set is laid out from its system's nominal design (planes, slots, phasing, radius,
// inclination) with a small fixed irregularity per satellite, as real constellations drift off
// their slots. Inclined geosynchronous satellites sharing a ground track are one orbit shifted in
// time by a fraction of the sidereal day, which is how their operators space them.
#include "sim/GnssOrbits.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vrnsim
{
namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kEarthRadiusM = 6378137.0;
constexpr double kJ2 = 1.08262668e-3;

// All orbits are referred to this epoch (a Sunday, 2024-02-04 00:00 GPS).
constexpr GpsTime kOrbitEpoch{2300, 0.0};

// A fixed pseudo-random offset in [-amplitude, amplitude] for satellite `key`, element `salt`.
double Jitter(int key, int salt, double amplitude)
{
    const double x =
        std::sin(static_cast<double>(key) * 12.9898 + static_cast<double>(salt) * 78.233) * 43758.5453;
    return amplitude * (2.0 * (x - std::floor(x)) - 1.0);
}

// Secular drift of the node of an orbit under the earth's oblateness, rad/s.
double NodeRate(double a, double e, double inclination)
{
    const double n = std::sqrt(kMu / (a * a * a));
    const double p = kEarthRadiusM / (a * (1.0 - e * e));
    return -1.5 * n * kJ2 * p * p * std::cos(inclination);
}

// Mean anomaly of the point at true anomaly `nu` on an ellipse of eccentricity `e`.
double MeanFromTrue(double nu, double e)
{
    const double eccentric = 2.0 * std::atan(std::sqrt((1.0 - e) / (1.0 + e)) * std::tan(nu / 2.0));
    return eccentric - e * std::sin(eccentric);
}

// A near-circular orbit with its satellite at argument of latitude `argLat` at the epoch.
KeplerOrbit MeoOrbit(double a, double inclinationDeg, double nodeDeg, double argLatDeg, int key)
{
    KeplerOrbit o;
    o.epoch = kOrbitEpoch;
    o.semiMajorAxisM = a + Jitter(key, 1, 1500.0);
    o.eccentricity = 0.0012 + Jitter(key, 2, 0.0009);
    o.inclination = (inclinationDeg + Jitter(key, 3, 0.6)) * kDegree;
    o.node = (nodeDeg + Jitter(key, 4, 0.8)) * kDegree;
    o.perigee = (180.0 + Jitter(key, 5, 180.0)) * kDegree;
    const double argLat = (argLatDeg + Jitter(key, 6, 2.0)) * kDegree;
    o.meanAnomaly = MeanFromTrue(argLat - o.perigee, o.eccentricity);
    o.nodeRate = NodeRate(o.semiMajorAxisM, o.eccentricity, o.inclination);
    return o;
}

KeplerOrbit GeoOrbit(double longitudeDeg)
{
    KeplerOrbit o;
    o.epoch = kOrbitEpoch;
    o.semiMajorAxisM = GeostationaryRadiusM();
    o.node = longitudeDeg * kDegree;
    return o;
}

// An inclined geosynchronous orbit crossing the equator northward at `crossingDeg` east at the
// epoch, with its perigee at `perigeeDeg` from the node.
KeplerOrbit GeosynchronousOrbit(double crossingDeg, double inclinationDeg, double e, double perigeeDeg)
{
    KeplerOrbit o;
    o.epoch = kOrbitEpoch;
    o.semiMajorAxisM = GeostationaryRadiusM();
    o.eccentricity = e;
    o.inclination = inclinationDeg * kDegree;
    o.node = crossingDeg * kDegree;
    o.perigee = perigeeDeg * kDegree;
    o.meanAnomaly = MeanFromTrue(-o.perigee, e);
    return o;
}

void AddMeo(std::vector<GnssSatellite>& out, GnssSystem system, int number, const KeplerOrbit& orbit)
{
    out.push_back(GnssSatellite{system, number, OrbitClass::Meo, orbit});
}

// `count` satellites spaced evenly along one inclined geosynchronous ground track.
void AddOnGroundTrack(std::vector<GnssSatellite>& out, GnssSystem system, std::span<const int> numbers,
                      const KeplerOrbit& base)
{
    const double period = PeriodS(base);
    for (std::size_t k = 0; k < numbers.size(); ++k)
        out.push_back(GnssSatellite{
            system, numbers[k], OrbitClass::Igso,
            Advanced(base, -period * static_cast<double>(k) / static_cast<double>(numbers.size()))});
}

std::vector<GnssSatellite> Glonass()
{
    // 24 slots: plane 1 holds slots 1-8, plane 2 9-16, plane 3 17-24; neighbouring slots 45 degrees
    // apart, the planes 120 degrees apart in node and 15 degrees in phase. Period 11 h 15 min 44 s.
    constexpr double kA = 25508.0e3;
    std::vector<GnssSatellite> out;
    for (int plane = 0; plane < 3; ++plane)
        for (int slot = 0; slot < 8; ++slot)
        {
            const int number = plane * 8 + slot + 1;
            AddMeo(out, GnssSystem::Glonass, number,
                   MeoOrbit(kA, 64.8, 215.0 + 120.0 * plane, -45.0 * slot + 15.0 * plane, 100 + number));
        }
    return out;
}

std::vector<GnssSatellite> Galileo()
{
    // A 24/3/1 Walker set (planes A, B, C; eight slots 45 degrees apart; 15 degrees phasing), two
    // spares between slots, and numbers 14 and 18 in the eccentric orbit they were left in.
    constexpr double kA = 29599.8e3;
    constexpr std::array<int, 24> kSlots = {1,  2,  3,  4,  5,  7,  8,  9,  10, 11, 12, 13,
                                            15, 19, 21, 24, 25, 26, 27, 30, 31, 33, 34, 36};
    std::vector<GnssSatellite> out;
    for (std::size_t k = 0; k < kSlots.size(); ++k)
    {
        const int plane = static_cast<int>(k / 8);
        const int slot = static_cast<int>(k % 8);
        AddMeo(out, GnssSystem::Galileo, kSlots[k],
               MeoOrbit(kA, 56.0, 25.0 + 120.0 * plane, 45.0 * slot + 15.0 * plane, 200 + kSlots[k]));
    }
    AddMeo(out, GnssSystem::Galileo, 23, MeoOrbit(kA, 56.0, 25.0, 22.5 + 90.0, 223));
    AddMeo(out, GnssSystem::Galileo, 29, MeoOrbit(kA, 56.0, 145.0, 22.5 + 195.0, 229));
    for (const int number : {14, 18})
    {
        KeplerOrbit o;
        o.epoch = kOrbitEpoch;
        o.semiMajorAxisM = 27977.6e3;
        o.eccentricity = 0.162;
        o.inclination = 49.85 * kDegree;
        o.node = (number == 14 ? 32.0 : 33.0) * kDegree;
        o.perigee = (number == 14 ? 51.0 : 49.0) * kDegree;
        o.meanAnomaly = number == 14 ? 0.3 : 0.3 + kPi;
        o.nodeRate = NodeRate(o.semiMajorAxisM, o.eccentricity, o.inclination);
        AddMeo(out, GnssSystem::Galileo, number, o);
    }
    return out;
}

std::vector<GnssSatellite> BeiDou()
{
    std::vector<GnssSatellite> out;
    for (std::size_t k = 0; k < std::size(kBeiDouGeoLongitudes); ++k)
        out.push_back(GnssSatellite{GnssSystem::BeiDou, static_cast<int>(k + 1), OrbitClass::Geo,
                                    GeoOrbit(kBeiDouGeoLongitudes[k])});
    // Inclined geosynchronous satellites on three ground tracks.
    constexpr std::array<int, 5> kTrack118 = {6, 7, 8, 9, 10};
    constexpr std::array<int, 2> kTrack95 = {13, 16};
    constexpr std::array<int, 3> kTrack110 = {38, 39, 40};
    AddOnGroundTrack(out, GnssSystem::BeiDou, kTrack118, GeosynchronousOrbit(118.0, 55.0, 0.003, 190.0));
    AddOnGroundTrack(out, GnssSystem::BeiDou, kTrack95, GeosynchronousOrbit(95.0, 55.0, 0.003, 190.0));
    AddOnGroundTrack(out, GnssSystem::BeiDou, kTrack110, GeosynchronousOrbit(110.5, 55.0, 0.003, 190.0));
    // Medium orbits: a 24/3/1 Walker set at 55 degrees, 21528 km up, and three older ones.
    constexpr double kA = 27906.1e3;
    constexpr std::array<int, 24> kSlots = {19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30,
                                            32, 33, 34, 35, 36, 37, 41, 42, 43, 44, 45, 46};
    for (std::size_t k = 0; k < kSlots.size(); ++k)
    {
        const int plane = static_cast<int>(k / 8);
        const int slot = static_cast<int>(k % 8);
        AddMeo(out, GnssSystem::BeiDou, kSlots[k],
               MeoOrbit(kA, 55.0, 300.0 + 120.0 * plane, 45.0 * slot + 15.0 * plane, 300 + kSlots[k]));
    }
    AddMeo(out, GnssSystem::BeiDou, 11, MeoOrbit(kA, 55.0, 300.0, 22.5, 311));
    AddMeo(out, GnssSystem::BeiDou, 12, MeoOrbit(kA, 55.0, 300.0, 67.5, 312));
    AddMeo(out, GnssSystem::BeiDou, 14, MeoOrbit(kA, 55.0, 60.0, 202.5, 314));
    return out;
}

std::vector<GnssSatellite> Qzss()
{
    // Three quasi-zenith satellites a third of a day apart on one asymmetric figure eight (apogee
    // over the northern hemisphere), and one geostationary satellite.
    std::vector<GnssSatellite> out;
    constexpr std::array<int, 3> kTrack = {1, 2, 3};
    AddOnGroundTrack(out, GnssSystem::Qzss, kTrack,
                     GeosynchronousOrbit(kQzssCrossingLongitude, 41.0, 0.075, 270.0));
    out.push_back(GnssSatellite{GnssSystem::Qzss, 7, OrbitClass::Geo, GeoOrbit(kQzssGeoLongitude)});
    return out;
}
}  // namespace

std::string_view SystemName(GnssSystem s)
{
    switch (s)
    {
        case GnssSystem::Gps:
            return "gps";
        case GnssSystem::Glonass:
            return "glonass";
        case GnssSystem::Galileo:
            return "galileo";
        case GnssSystem::BeiDou:
            return "beidou";
        case GnssSystem::Qzss:
            return "qzss";
    }
    return "gps";
}

std::optional<GnssSet> ParseSystems(std::string_view list)
{
    GnssSet set = 0;
    std::size_t from = 0;
    for (;;)
    {
        const std::size_t comma = list.find(',', from);
        const std::string_view name =
            list.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from);
        bool known = false;
        for (std::size_t i = 0; i < kGnssSystemCount; ++i)
            if (name == SystemName(static_cast<GnssSystem>(i)))
            {
                set = static_cast<GnssSet>(set | (1U << i));
                known = true;
            }
        if (!known)
            return std::nullopt;
        if (comma == std::string_view::npos)
            break;
        from = comma + 1;
    }
    return set;
}

double GeostationaryRadiusM()
{
    return std::cbrt(kMu / (kEarthRate * kEarthRate));
}

double MeanMotion(const KeplerOrbit& o)
{
    const double a = o.semiMajorAxisM;
    return std::sqrt(kMu / (a * a * a));
}

double PeriodS(const KeplerOrbit& o)
{
    return kTwoPi / MeanMotion(o);
}

KeplerOrbit Advanced(const KeplerOrbit& o, double seconds)
{
    KeplerOrbit a = o;
    a.meanAnomaly = std::remainder(o.meanAnomaly + MeanMotion(o) * seconds, kTwoPi);
    a.node = std::remainder(o.node + (o.nodeRate - kEarthRate) * seconds, kTwoPi);
    return a;
}

Vec3 OrbitPosition(const KeplerOrbit& o, GpsTime t)
{
    const double dt = Seconds(o.epoch, t);
    const double e = o.eccentricity;
    const double mean = std::remainder(o.meanAnomaly + MeanMotion(o) * dt, kTwoPi);
    double eccentric = mean + e * std::sin(mean);
    for (int i = 0; i < 8; ++i)
    {
        const double step = (eccentric - e * std::sin(eccentric) - mean) / (1.0 - e * std::cos(eccentric));
        eccentric -= step;
        if (std::abs(step) < 1e-13)
            break;
    }
    const double cosE = std::cos(eccentric), sinE = std::sin(eccentric);
    const double radius = o.semiMajorAxisM * (1.0 - e * cosE);
    const double trueAnomaly = std::atan2(std::sqrt(1.0 - e * e) * sinE, cosE - e);
    const double u = trueAnomaly + o.perigee;
    const double xp = radius * std::cos(u), yp = radius * std::sin(u);
    const double node = std::remainder(o.node + (o.nodeRate - kEarthRate) * dt, kTwoPi);
    const double cosNode = std::cos(node), sinNode = std::sin(node);
    const double cosI = std::cos(o.inclination), sinI = std::sin(o.inclination);
    return {xp * cosNode - yp * cosI * sinNode, xp * sinNode + yp * cosI * cosNode, yp * sinI};
}

std::vector<GnssSatellite> MakeSatellites(GnssSystem system)
{
    std::vector<GnssSatellite> out;
    switch (system)
    {
        case GnssSystem::Gps:
            break;
        case GnssSystem::Glonass:
            out = Glonass();
            break;
        case GnssSystem::Galileo:
            out = Galileo();
            break;
        case GnssSystem::BeiDou:
            out = BeiDou();
            break;
        case GnssSystem::Qzss:
            out = Qzss();
            break;
    }
    std::sort(out.begin(), out.end(),
              [](const GnssSatellite& a, const GnssSatellite& b) { return a.number < b.number; });
    return out;
}

}  // namespace vrnsim
