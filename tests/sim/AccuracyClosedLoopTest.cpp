// The accuracy table end to end: vrnrcvr-sim writes a raw-measurement stream and its truth,
// vrnrcvr-replay --accuracy prints the table of each source, and every figure of the own fix is held
// against a computation of this test's own from the --solution rows and the truth rows, and against
// the engine's closed-loop measure (the 3D distance of the solution's ECEF position from the truth).
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ProcessSupport.h"
#include "analysis/GpxReadBack.h"

namespace
{
namespace fs = std::filesystem;

// Rows of a CSV file by column name.
std::vector<std::map<std::string, double>> ReadCsv(const fs::path& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    std::vector<std::string> names;
    std::istringstream header(line);
    for (std::string name; std::getline(header, name, ',');)
        names.push_back(name);
    std::vector<std::map<std::string, double>> rows;
    while (std::getline(in, line))
    {
        std::map<std::string, double> row;
        std::istringstream cells(line);
        std::size_t k = 0;
        for (std::string cell; std::getline(cells, cell, ',') && k < names.size(); ++k)
        {
            double v = 0.0;
            std::from_chars(cell.data(), cell.data() + cell.size(), v);
            row[names[k]] = v;
        }
        rows.push_back(row);
    }
    return rows;
}

// "source=own epochs=12 ..." as name -> text.
std::map<std::string, std::string> ParseLine(const std::string& line)
{
    std::map<std::string, std::string> fields;
    std::istringstream words(line);
    for (std::string word; words >> word;)
    {
        const auto eq = word.find('=');
        fields[word.substr(0, eq)] = eq == std::string::npos ? "" : word.substr(eq + 1);
    }
    return fields;
}

std::array<double, 3> Ecef(double latDeg, double lonDeg, double h)
{
    constexpr double a = 6378137.0, e2 = 0.00669437999014;
    const double lat = latDeg * M_PI / 180.0, lon = lonDeg * M_PI / 180.0;
    const double n = a / std::sqrt(1.0 - e2 * std::sin(lat) * std::sin(lat));
    return {(n + h) * std::cos(lat) * std::cos(lon), (n + h) * std::cos(lat) * std::sin(lon),
            (n * (1.0 - e2) + h) * std::sin(lat)};
}

std::array<double, 3> Enu(const std::array<double, 3>& ref, const std::array<double, 3>& p)
{
    const auto r = Ecef(ref[0], ref[1], ref[2]), q = Ecef(p[0], p[1], p[2]);
    const double dx = q[0] - r[0], dy = q[1] - r[1], dz = q[2] - r[2];
    const double lat = ref[0] * M_PI / 180.0, lon = ref[1] * M_PI / 180.0;
    return {-std::sin(lon) * dx + std::cos(lon) * dy,
            -std::sin(lat) * std::cos(lon) * dx - std::sin(lat) * std::sin(lon) * dy + std::cos(lat) * dz,
            std::cos(lat) * std::cos(lon) * dx + std::cos(lat) * std::sin(lon) * dy + std::sin(lat) * dz};
}

struct Expected
{
    std::size_t epochs = 0;
    std::vector<std::array<double, 3>> errors;
    double engineRms3D = 0.0;  // as the engine's closed-loop test measures: ECEF distance
};

// The own source against the truth, computed from the rows alone.
Expected AgainstTruth(const std::vector<std::map<std::string, double>>& solution,
                      const std::vector<std::map<std::string, double>>& truth)
{
    Expected x;
    double sumSquares = 0.0;
    for (const auto& s : solution)
    {
        const double t = s.at("week") * 604800.0 + s.at("tow");
        const std::map<std::string, double>* best = nullptr;
        double bestGap = 0.5;
        for (const auto& row : truth)
        {
            const double gap = std::fabs(row.at("week") * 604800.0 + row.at("tow") - t);
            if (gap <= bestGap)
                best = &row, bestGap = gap;
        }
        if (best == nullptr)
            continue;
        ++x.epochs;
        if (s.at("fixMode") <= 0)
            continue;
        x.errors.push_back(Enu({best->at("lat"), best->at("lon"), best->at("height")},
                               {s.at("lat"), s.at("lon"), s.at("height")}));
        const double d = std::hypot(s.at("x") - best->at("x"), s.at("y") - best->at("y"), s.at("z") - best->at("z"));
        sumSquares += d * d;
    }
    x.engineRms3D = std::sqrt(sumSquares / static_cast<double>(x.errors.size()));
    return x;
}

// Every figure of the printed line against the errors: metres within 1 mm, shares within 1e-4.
void ExpectLine(const std::map<std::string, std::string>& got, const Expected& x, const std::string& what)
{
    const auto& e = x.errors;
    const double n = static_cast<double>(e.size());
    ASSERT_GT(n, 100) << what;
    EXPECT_EQ(got.at("epochs"), std::to_string(x.epochs)) << what;
    EXPECT_EQ(got.at("fixed"), std::to_string(e.size())) << what;
    std::array<double, 3> mean{}, var{};
    double hh = 0.0, uu = 0.0;
    std::vector<double> h;
    for (const auto& v : e)
    {
        for (std::size_t i = 0; i < 3; ++i)
            mean[i] += v[i] / n;
        hh += (v[0] * v[0] + v[1] * v[1]) / n;
        uu += v[2] * v[2] / n;
        h.push_back(std::hypot(v[0], v[1]));
    }
    for (const auto& v : e)
        for (std::size_t i = 0; i < 3; ++i)
            var[i] += (v[i] - mean[i]) * (v[i] - mean[i]) / n;
    std::sort(h.begin(), h.end());
    auto at = [&](double p) { return h[static_cast<std::size_t>(std::ceil(p * n)) - 1]; };
    auto share = [&](double r) { return static_cast<double>(std::count_if(h.begin(), h.end(), [r](double v) { return v <= r; })) / n; };
    const std::vector<std::pair<std::string, double>> metres{
        {"meanE", mean[0]}, {"meanN", mean[1]}, {"meanU", mean[2]}, {"sdE", std::sqrt(var[0])},
        {"sdN", std::sqrt(var[1])}, {"sdU", std::sqrt(var[2])}, {"rmsH", std::sqrt(hh)}, {"rmsV", std::sqrt(uu)},
        {"rms3D", std::sqrt(hh + uu)}, {"cep50", at(0.50)}, {"cep95", at(0.95)}, {"drms2", 2.0 * std::sqrt(hh)},
        {"maxH", h.back()}};
    for (const auto& [name, value] : metres)
        EXPECT_NEAR(std::stod(got.at(name)), value, 0.001) << what << " " << name;
    for (const auto& [name, r] : std::vector<std::pair<std::string, double>>{
             {"within1m", 1}, {"within2m", 2}, {"within5m", 5}, {"within10m", 10}})
        EXPECT_NEAR(std::stod(got.at(name)), share(r), 1e-4) << what << " " << name;
}

class AccuracyClosedLoop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::path(VRN_BINARY_DIR) / "test-home" / ("accuracy-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        std::string err;
        ASSERT_EQ(simtest::RunTool({"--protocol", "test", "--duration", "420", "--noise", "3", "--seed", "11",
                                    "--start", "2401,200000", "--out", Path("s.bin"), "--truth", Path("t.csv")},
                                   err),
                  0)
            << err;
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    // Runs the replay with `extra` options; the lines of its standard output.
    std::vector<std::string> Replay(std::vector<std::string> extra)
    {
        std::vector<std::string> args{"--protocol", "test", "--solution", Path("sol.csv")};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(Path("s.bin"));
        std::string err;
        EXPECT_EQ(simtest::RunTool(args, err, simtest::kReplayTool, Path("out.txt")), 0) << err;
        std::ifstream in(Path("out.txt"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    fs::path m_dir;
};

TEST_F(AccuracyClosedLoop, OwnFixAgainstTheTruthAsTheEngineMeasuresIt)
{
    const auto lines = Replay({"--accuracy", "--truth", Path("t.csv"), "--gpx", Path("track.gpx")});
    ASSERT_EQ(lines.size(), 2U);  // the table alone: receiver 1 of port 1, then the own fix
    EXPECT_TRUE(lines[0].starts_with("source=receiver1 epochs=")) << lines[0];
    ASSERT_TRUE(lines[1].starts_with("source=own ")) << lines[1];
    const auto got = ParseLine(lines[1]);
    EXPECT_EQ(got.size(), 20U);

    const auto solution = ReadCsv(Path("sol.csv"));
    const auto truth = ReadCsv(Path("t.csv"));
    const Expected x = AgainstTruth(solution, truth);
    ExpectLine(got, x, "truth");
    // The engine's own measure of the same error, from the ECEF columns.
    EXPECT_NEAR(std::stod(got.at("rms3D")), x.engineRms3D, 0.002);
    EXPECT_LT(x.engineRms3D, 3.0);

    // The tracks of the same run: valid GPX with one point per fixed own epoch.
    const std::string gpx = gpxtest::ReadFile(Path("track.gpx"));
    if (gpxtest::HaveXmllint())
    {
        std::string messages;
        EXPECT_TRUE(gpxtest::ValidGpx(Path("track.gpx"), messages)) << messages;
    }
    const auto tracks = gpxtest::ReadTracks(gpx);
    ASSERT_EQ(tracks.size(), 2U);
    EXPECT_EQ(tracks[1].name, "own");
    const auto fixedRows = std::count_if(solution.begin(), solution.end(), [](const auto& r) { return r.at("fixMode") > 0; });
    ASSERT_EQ(static_cast<long>(tracks[1].points.size()), fixedRows);
    const auto& lastRow = *std::find_if(solution.rbegin(), solution.rend(), [](const auto& r) { return r.at("fixMode") > 0; });
    EXPECT_NEAR(tracks[1].points.back().lat, lastRow.at("lat"), 1e-9);
    EXPECT_NEAR(*tracks[1].points.back().ele, lastRow.at("height"), 1e-3);
    EXPECT_EQ(tracks[1].points.back().fix, "3d");
}

TEST_F(AccuracyClosedLoop, OwnMeanAndTypedReference)
{
    // The simulator's default position is the typed reference.
    for (const bool typed : {false, true})
    {
        const auto lines = typed ? Replay({"--accuracy", "--reference", "24.7753,121.00248,150"}) : Replay({"--accuracy"});
        ASSERT_EQ(lines.size(), 2U);
        const auto rows = ReadCsv(Path("sol.csv"));
        std::array<double, 3> ref{24.7753, 121.00248, 150.0};
        if (!typed)
        {
            ref = {};
            double n = 0;
            for (const auto& r : rows)
                if (r.at("fixMode") > 0)
                    ref[0] += r.at("lat"), ref[1] += r.at("lon"), ref[2] += r.at("height"), ++n;
            for (double& v : ref)
                v /= n;
        }
        Expected x;
        x.epochs = rows.size();
        for (const auto& r : rows)
            if (r.at("fixMode") > 0)
                x.errors.push_back(Enu(ref, {r.at("lat"), r.at("lon"), r.at("height")}));
        ExpectLine(ParseLine(lines[1]), x, typed ? "typed" : "own mean");
    }
}
}  // namespace
