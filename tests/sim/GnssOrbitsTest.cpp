// The orbits of GLONASS, Galileo, BeiDou and QZSS against figures worked out by hand: periods and
// heights of the real systems, inclinations, geostationary satellites where spherical trigonometry
// puts them in the sky, and quasi-zenith satellites that repeat their sky track every sidereal day
// and follow each other a third of a day apart, as read from the simulator's GSV sentences.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "NmeaLines.h"
#include "SimTestSupport.h"
#include "sim/GnssOrbits.h"
#include "sim/SimStream.h"

namespace
{
using namespace vrnsim;

constexpr double kSiderealDayS = 86164.0905;
constexpr double kEarthRadiusKm = 6378.137;

// Earth-fixed position turned back into the axes the orbit keeps in space (the earth's rotation
// since `t0` undone).
Vec3 Inertial(Vec3 p, double sinceT0)
{
    const double a = kEarthRate * sinceT0;
    return {p.x * std::cos(a) - p.y * std::sin(a), p.x * std::sin(a) + p.y * std::cos(a), p.z};
}

struct OrbitCase
{
    const char* name;
    GnssSystem system;
    std::vector<int> numbers;  // the satellites the case covers
    OrbitClass orbitClass;
    double periodS;   // of the real system
    double returnKm;  // how close one period brings it back: the figure's precision times its speed
    double heightKm;  // mean height above the equator
    double inclinationDeg;
};

TEST(GnssOrbits, EverySystemFliesItsRealPeriodHeightAndInclination)
{
    std::vector<int> galileo;
    for (const GnssSatellite& s : MakeSatellites(GnssSystem::Galileo))
        if (s.number != 14 && s.number != 18)
            galileo.push_back(s.number);
    const std::vector<OrbitCase> cases = {
        {"GLONASS",
         GnssSystem::Glonass,
         {1, 5, 12, 24},
         OrbitClass::Meo,
         11 * 3600 + 15 * 60 + 44,
         30,
         19100,
         64.8},
        {"Galileo", GnssSystem::Galileo, galileo, OrbitClass::Meo, 14 * 3600 + 4 * 60 + 45, 30, 23222, 56.0},
        {"BeiDou MEO",
         GnssSystem::BeiDou,
         {11, 19, 33, 46},
         OrbitClass::Meo,
         12 * 3600 + 53 * 60,
         120,
         21528,
         55.0},
        {"BeiDou IGSO", GnssSystem::BeiDou, {6, 10, 13, 40}, OrbitClass::Igso, kSiderealDayS, 1, 35786, 55.0},
        {"BeiDou GEO", GnssSystem::BeiDou, {1, 2, 3, 4, 5}, OrbitClass::Geo, kSiderealDayS, 1, 35786, 0.0},
        {"QZSS QZO", GnssSystem::Qzss, {1, 2, 3}, OrbitClass::Igso, kSiderealDayS, 1, 35786, 41.0},
        {"QZSS GEO", GnssSystem::Qzss, {7}, OrbitClass::Geo, kSiderealDayS, 1, 35786, 0.0},
    };
    const GpsTime t0{2412, 123456.0};
    for (const OrbitCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::vector<GnssSatellite> all = MakeSatellites(c.system);
        for (const int number : c.numbers)
        {
            const auto it = std::find_if(all.begin(), all.end(),
                                         [&](const GnssSatellite& s) { return s.number == number; });
            ASSERT_NE(it, all.end()) << number;
            EXPECT_EQ(it->orbitClass, c.orbitClass) << number;
            // Back at the same place in space after one period (the node drifts a few kilometres):
            // a period off by a minute would leave it over 200 km away.
            const Vec3 start = OrbitPosition(it->orbit, t0);
            const Vec3 again = Inertial(OrbitPosition(it->orbit, AddSeconds(t0, c.periodS)), c.periodS);
            EXPECT_LT(Norm(again - start), c.returnKm * 1000.0) << number;
            // Height and the highest latitude over one revolution.
            double maxLatitude = 0.0, sumRadius = 0.0;
            constexpr int kSamples = 720;
            for (int k = 0; k < kSamples; ++k)
            {
                const Vec3 p = OrbitPosition(it->orbit, AddSeconds(t0, c.periodS * k / kSamples));
                maxLatitude = std::max(maxLatitude, std::abs(std::asin(p.z / Norm(p))) / kDegree);
                sumRadius += Norm(p);
            }
            EXPECT_NEAR(sumRadius / kSamples / 1000.0 - kEarthRadiusKm, c.heightKm, 120.0) << number;
            EXPECT_NEAR(maxLatitude, c.inclinationDeg, 1.0) << number;
        }
    }
}

// Look angles (whole degrees) of every satellite in the first epoch of a 4.11 stream started at
// `start` at `at`, keyed "GB1", "GQ7", ...
std::map<std::string, simtest::GsvSatellite> FirstSky(GpsTime start, Geodetic at)
{
    StreamOptions o = simtest::Options(SimProtocol::Nmea);
    o.systems = kAllSystems;
    o.nmeaVersion = NmeaVersion::V411;
    o.start = start;
    o.position = at;
    CSimStream stream(o);
    std::vector<std::uint8_t> bytes;
    stream.Next(bytes);
    std::map<std::string, simtest::GsvSatellite> out;
    for (const auto& [key, sats] : simtest::ReadGsv(std::string(bytes.begin(), bytes.end()), true))
        for (const auto& [sv, look] : sats)
            out[key.substr(0, 2) + std::to_string(sv)] = look;
    return out;
}

TEST(GnssGeometry, GeostationarySatellitesHangWhereSphericalTrigonometryPutsThem)
{
    // Elevation and azimuth of a satellite over the equator at longitude `lon`, seen from latitude
    // `lat` and longitude `site` on a spherical earth (degrees).
    auto hand = [](double lat, double site, double lon)
    {
        const double phi = lat * kDegree, dl = (lon - site) * kDegree;
        const double cosGamma = std::cos(phi) * std::cos(dl);
        const double gamma = std::acos(cosGamma);
        const double ratio = kEarthRadiusKm / (GeostationaryRadiusM() / 1000.0);
        const double el = std::atan2(cosGamma - ratio, std::sin(gamma)) / kDegree;
        double az = std::atan2(std::sin(dl), -std::sin(phi) * std::cos(dl)) / kDegree;
        if (az < 0)
            az += 360.0;
        return std::pair{el, az};
    };
    const Geodetic site = StreamOptions{}.position;
    std::vector<std::pair<std::string, double>> geos;
    for (std::size_t k = 0; k < std::size(kBeiDouGeoLongitudes); ++k)
        geos.emplace_back("GB" + std::to_string(k + 1), kBeiDouGeoLongitudes[k]);
    geos.emplace_back("GQ7", kQzssGeoLongitude);
    std::vector<std::map<std::string, simtest::GsvSatellite>> skies;
    for (const double hours : {0.0, 5.0, 11.5, 29.0})
        skies.push_back(FirstSky(AddSeconds(simtest::kStart, hours * 3600.0), site));
    for (const auto& [key, longitude] : geos)
    {
        const auto [el, az] = hand(site.latitude / kDegree, site.longitude / kDegree, longitude);
        ASSERT_TRUE(skies[0].count(key)) << key;
        const simtest::GsvSatellite first = skies[0].at(key);
        EXPECT_NEAR(first.elevation, el, 1.0) << key;
        EXPECT_NEAR(first.azimuth, az, 1.0) << key;
        for (const auto& sky : skies)
        {
            ASSERT_TRUE(sky.count(key)) << key;
            EXPECT_EQ(sky.at(key).elevation, first.elevation) << key;
            EXPECT_EQ(sky.at(key).azimuth, first.azimuth) << key;
        }
    }
}

TEST(GnssGeometry, QuasiZenithSatellitesRepeatEachSiderealDayAndFollowOneAnother)
{
    const Geodetic tokyo{35.68 * kDegree, 139.77 * kDegree, 40.0};
    auto near = [](const simtest::GsvSatellite& a, const simtest::GsvSatellite& b)
    {
        const int daz = std::abs(a.azimuth - b.azimuth);
        return std::abs(a.elevation - b.elevation) <= 1 && std::min(daz, 360 - daz) <= 1;
    };
    int highEvery = 0;
    for (int hour = 0; hour < 24; ++hour)
    {
        const GpsTime t = AddSeconds(simtest::kStart, hour * 3600.0);
        const auto now = FirstSky(t, tokyo);
        const auto nextDay = FirstSky(AddSeconds(t, kSiderealDayS), tokyo);
        const auto thirdLater = FirstSky(AddSeconds(t, kSiderealDayS / 3.0), tokyo);
        int highest = 0;
        for (const int n : {1, 2, 3})
        {
            const std::string key = "GQ" + std::to_string(n);
            const std::string follower = "GQ" + std::to_string(n % 3 + 1);
            if (now.count(key))
            {
                highest = std::max(highest, now.at(key).elevation);
                ASSERT_TRUE(nextDay.count(key)) << hour << key;
                EXPECT_TRUE(near(now.at(key), nextDay.at(key))) << hour << key;
                ASSERT_TRUE(thirdLater.count(follower)) << hour << follower;
                EXPECT_TRUE(near(now.at(key), thirdLater.at(follower)))
                    << hour << key << " then " << follower;
            }
        }
        // The point of the orbit: one of them is always high over Japan.
        highEvery += highest >= 60 ? 1 : 0;
    }
    EXPECT_EQ(highEvery, 24);
}

}  // namespace
