// GPX, KML and CSV export of the workbench's series: the GPX validated against the schema and read
// back, the other two checked for their shape and numbers, the safe file write.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "AnalysisTestSupport.h"
#include "analysis/GpxReadBack.h"
#include "analysis/TrackExport.h"

namespace
{
using namespace vrn::analysis;
using analysistest::Epoch;
using analysistest::Offset;
using analysistest::Point;

const Point kOrigin{-33.85, 151.2, 40.0};
constexpr double kT0 = 2303 * 604800.0 + 432028.0;  // 2024-03-01 00:00:10 UTC

class TrackExportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ReferenceChoice c;
        c.kind = ReferenceKind::Position;
        c.latitudeDeg = kOrigin.latitudeDeg;
        c.longitudeDeg = kOrigin.longitudeDeg;
        c.heightM = kOrigin.heightM;
        m_bench.SetReference(c);
        for (int k = 0; k < 5; ++k)
        {
            PositionEpoch e = Epoch(Offset(kOrigin, k, -k, 0.5 * k), k == 2 ? 2 : 3, kT0 + k + (k == 4 ? 0.25 : 0.0));
            e.utcS = 1709251210.0 + k + (k == 4 ? 0.25 : 0.0);
            e.satsUsed = 5 + k;
            e.hdop = 0.8 + 0.1 * k;
            if (k == 3)
                e.fixMode = 0;  // no fix: no track point
            m_bench.AddEpoch(SourceId::Receiver1, e);
        }
        // The own fix near the date line, without a time, a sats count or an HDOP.
        PositionEpoch far = Epoch({10.0, 180.0, 5.0});
        far.satsUsed = -1;
        far.hdop = kNoValue;
        m_bench.AddEpoch(SourceId::Own, far);
        m_dir = std::filesystem::temp_directory_path() / ("vrn-export-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    CAccuracyWorkbench m_bench;
    std::filesystem::path m_dir;
    const std::array<SourceId, 3> m_sources{SourceId::Receiver1, SourceId::Receiver2, SourceId::Own};
};

TEST_F(TrackExportTest, GpxIsValidAndReadsBack)
{
    const std::string path = (m_dir / "track.gpx").string();
    std::string error;
    ASSERT_TRUE(WriteFileSafely(path, [&](std::ostream& out) { WriteGpx(out, m_bench, m_sources); }, error))
        << error;
    const std::string text = gpxtest::ReadFile(path);
    if (gpxtest::HaveXmllint())
    {
        std::string messages;
        EXPECT_TRUE(gpxtest::ValidGpx(path, messages)) << messages << text;
    }
    EXPECT_NE(text.find("<gpx version=\"1.1\" creator=\"VRNRcvr Demo\""), std::string::npos);

    const auto tracks = gpxtest::ReadTracks(text);
    ASSERT_EQ(tracks.size(), 3U);
    EXPECT_EQ(tracks[0].name, "receiver1");
    EXPECT_EQ(tracks[1].name, "receiver2");
    EXPECT_TRUE(tracks[1].points.empty());
    ASSERT_EQ(tracks[0].points.size(), 4U);  // the epoch without a fix is not a point
    const std::array<int, 4> kept{0, 1, 2, 4};
    for (std::size_t i = 0; i < kept.size(); ++i)
    {
        const PositionEpoch& e = m_bench.Series(SourceId::Receiver1).At(static_cast<std::size_t>(kept[i]));
        const gpxtest::Point& p = tracks[0].points[i];
        EXPECT_NEAR(p.lat, e.latitudeDeg, 1e-9);
        EXPECT_NEAR(p.lon, e.longitudeDeg, 1e-9);
        EXPECT_NEAR(*p.ele, e.heightM, 1e-3);
        EXPECT_EQ(*p.sat, e.satsUsed);
        EXPECT_NEAR(*p.hdop, e.hdop, 0.005);
    }
    EXPECT_EQ(tracks[0].points[0].time, "2024-03-01T00:00:10Z");
    EXPECT_EQ(tracks[0].points[3].time, "2024-03-01T00:00:14.250Z");
    EXPECT_EQ(tracks[0].points[0].fix, "3d");
    EXPECT_EQ(tracks[0].points[2].fix, "2d");
    ASSERT_EQ(tracks[2].points.size(), 1U);
    EXPECT_EQ(tracks[2].points[0].lon, -180.0);  // 180 is written as -180, the schema's range
    EXPECT_EQ(tracks[2].points[0].time, "");
    EXPECT_FALSE(tracks[2].points[0].sat);
    EXPECT_FALSE(tracks[2].points[0].hdop);
}

TEST_F(TrackExportTest, KmlHasALineStringPerSourceWithTwoFixes)
{
    std::ostringstream out;
    WriteKml(out, m_bench, m_sources);
    const std::string kml = out.str();
    EXPECT_NE(kml.find("<kml xmlns=\"http://www.opengis.net/kml/2.2\">"), std::string::npos);
    EXPECT_EQ(kml.find("<name>receiver2</name>"), std::string::npos);  // no fixes: no placemark
    const auto line = kml.find("<LineString>");
    ASSERT_NE(line, std::string::npos);
    EXPECT_EQ(kml.find("<LineString>", line + 1), std::string::npos);
    EXPECT_NE(kml.find("<Point><coordinates>-180.000000000,10.000000000,5.000</coordinates></Point>"),
              std::string::npos);
    const auto coordsStart = kml.find("<coordinates>", line) + 13;
    const std::string coords = kml.substr(coordsStart, kml.find("</coordinates>", coordsStart) - coordsStart);
    EXPECT_EQ(std::count(coords.begin(), coords.end(), ' '), 3);  // four points
    EXPECT_EQ(coords.substr(0, coords.find(',')), "151.200000000");
}

TEST_F(TrackExportTest, CsvListsEveryEpochWithItsError)
{
    std::ostringstream out;
    WriteCsv(out, m_bench, m_sources);
    std::istringstream in(out.str());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 7U);
    EXPECT_EQ(lines[0], "source,week,tow,utc,lat,lon,height,fixMode,satsUsed,hdop,state,e,n,u,h");
    EXPECT_EQ(lines[1].substr(0, lines[1].find(",counted")),
              "receiver1,2303,432028.000,2024-03-01T00:00:10Z,-33.850000000,151.200000000,40.000,3,5,0.80");
    EXPECT_NE(lines[3].find(",counted,2.000,-2.000,1.000,2.828"), std::string::npos) << lines[3];
    EXPECT_NE(lines[4].find(",0,8,1.10,epoch only,,,,"), std::string::npos) << lines[4];
    EXPECT_EQ(lines[6].substr(0, 12), "own,,,,10.00");
}

TEST_F(TrackExportTest, SafeWriteKeepsTheOldFileWhenItFails)
{
    const std::string path = (m_dir / "keep.gpx").string();
    std::string error;
    ASSERT_TRUE(WriteFileSafely(path, [](std::ostream& out) { out << "old"; }, error));
    // A folder in the way of the temporary file: nothing is written, the old file stays.
    std::filesystem::create_directories(path + ".part");
    EXPECT_FALSE(WriteFileSafely(path, [](std::ostream& out) { out << "new"; }, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(gpxtest::ReadFile(path), "old");
    EXPECT_FALSE(WriteFileSafely((m_dir / "missing" / "x.gpx").string(), [](std::ostream&) {}, error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    EXPECT_FALSE(WriteFileSafely("", [](std::ostream&) {}, error));
}

TEST(IsoUtc, CalendarAndFractions)
{
    for (const auto& [t, want] : std::vector<std::pair<double, std::string>>{
             {0.0, "1970-01-01T00:00:00Z"},
             {951782400.0, "2000-02-29T00:00:00Z"},
             {1709251210.25, "2024-03-01T00:00:10.250Z"},
             {1709251210.9996, "2024-03-01T00:00:11Z"},
             {4102444799.0, "2099-12-31T23:59:59Z"},
             {std::nan(""), ""}})
        EXPECT_EQ(IsoUtc(t), want) << t;
}
}  // namespace
