// vrnrcvr-replay's accuracy options and its tap on the chunk loop: the reference options, the own
// source's one epoch per navigation epoch whatever the chunking, and clear refusals.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "Replay.h"
#include "ReplayAccuracy.h"
#include "ReplayNav.h"
#include "nav/NavStream.h"

namespace fs = std::filesystem;

namespace
{
struct OptionCase
{
    std::vector<std::string_view> args;
    bool ok;
    const char* errorPart;
};

TEST(ReplayAccuracyOptions, ReferenceTruthAndGpx)
{
    const std::vector<OptionCase> cases{
        {{"--accuracy", "-"}, true, ""},
        {{"--accuracy", "--reference", "24.5,-121.25,-30.5", "-"}, true, ""},
        {{"--accuracy", "--reference=-90,180,0", "-"}, true, ""},
        {{"--accuracy", "--truth", "t.csv", "--gpx=g.gpx", "-"}, true, ""},
        {{"--gpx", "g.gpx", "-"}, true, ""},
        {{"--accuracy", "--reference", "1,2", "-"}, false, "bad reference '1,2'"},
        {{"--accuracy", "--reference", "1,2,3,4", "-"}, false, "bad reference"},
        {{"--accuracy", "--reference", "91,0,0", "-"}, false, "bad reference"},
        {{"--accuracy", "--reference", "1,,3", "-"}, false, "bad reference"},
        {{"--accuracy", "--reference", "x,y,z", "-"}, false, "bad reference"},
        {{"--accuracy", "--reference", "nan,0,0", "-"}, false, "bad reference"},
        {{"--reference", "1,2,3", "-"}, false, "need --accuracy"},
        {{"--truth", "t.csv", "-"}, false, "need --accuracy"},
        {{"--accuracy", "--reference", "1,2,3", "--truth", "t.csv", "-"}, false, "not both"},
        {{"--accuracy", "--gpx=", "-"}, false, "needs a file name"},
        {{"--accuracy=1", "-"}, false, "unknown option"},
    };
    for (const auto& c : cases)
    {
        replay::Options o;
        std::string error;
        EXPECT_EQ(replay::ParseOptions(c.args, o, error), c.ok) << c.args[0] << " " << c.args[1];
        if (!c.ok)
        {
            EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
        }
    }
    replay::Options o;
    std::string error;
    const std::vector<std::string_view> typed{"--accuracy", "--reference", "24.5,-121.25,-30.5", "-"};
    ASSERT_TRUE(replay::ParseOptions(typed, o, error));
    EXPECT_TRUE(o.accuracy);
    EXPECT_TRUE(o.haveReference);
    EXPECT_EQ(o.referenceLatitudeDeg, 24.5);
    EXPECT_EQ(o.referenceLongitudeDeg, -121.25);
    EXPECT_EQ(o.referenceHeightM, -30.5);
}

// The own source of a test-mode replay: one epoch per navigation epoch, in any chunking, with the
// solution rows' latitude, longitude and height to the last bit.
TEST(ReplayAccuracyTap, OwnEpochPerNavigationEpochWithTheSolutionsPosition)
{
    navtest::Scenario scenario(navtest::ScenarioConfig{});
    const auto bytes = navtest::ScenarioStream(scenario, 200);
    replay::Options options;
    options.mode = vrn::kModeTest;
    options.accuracy = true;
    std::vector<std::string> tables;
    std::vector<std::string> rows;
    for (const bool randomChunks : {false, true})
    {
        ProcessNavEngine() = NavEngine{};
        std::string solution;
        replay::TestModeSink inner({}, {}, [&](std::string_view row) { solution += row; });
        replay::AccuracyTap tap(inner, options);
        std::string error;
        ASSERT_TRUE(tap.UseReference(options, error)) << error;
        auto context = std::make_unique<vrn::ParseContext>();
        replay::Stats stats;
        std::mt19937 rng(3);
        replay::FeedChunks(bytes, options, *context, tap, stats,
                           randomChunks ? std::function<std::size_t()>([&] { return rng() % 80 + 1; })
                                        : std::function<std::size_t()>());
        tap.Finish();
        ASSERT_EQ(tap.Sources().size(), 2U);
        const auto& own = tap.Workbench().Series(vrn::analysis::SourceId::Own);
        ASSERT_EQ(own.Size(), inner.Epochs());
        // The last row's lat, lon, height columns are the last own epoch's, as printed.
        std::istringstream lines(solution);
        std::string last;
        for (std::string line; std::getline(lines, line);)
            last = line;
        std::vector<std::string> cells;
        std::istringstream row(last);
        for (std::string cell; std::getline(row, cell, ',');)
            cells.push_back(cell);
        ASSERT_EQ(cells.size(), 24U);
        EXPECT_EQ(std::stod(cells[14]), own.Back().latitudeDeg);
        EXPECT_EQ(std::stod(cells[15]), own.Back().longitudeDeg);
        EXPECT_EQ(std::stod(cells[16]), own.Back().heightM);
        EXPECT_EQ(std::stoi(cells[3]) > 0, own.Back().Fixed());
        tables.push_back(tap.TableLines());
        rows.push_back(solution);
    }
    ProcessNavEngine() = NavEngine{};
    EXPECT_EQ(rows[0], rows[1]);
    EXPECT_EQ(tables[0], tables[1]);
    EXPECT_TRUE(tables[0].starts_with("source=receiver1 ")) << tables[0];
    EXPECT_NE(tables[0].find("\nsource=own epochs=200 fixed="), std::string::npos) << tables[0];
}

int RunReplay(const std::string& arguments, std::string& out, std::string& err)
{
    const fs::path dir = fs::path(VRN_BINARY_DIR) / "test-home" / ("replay-acc-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string command = "'" + (fs::path(VRN_BINARY_DIR) / "vrnrcvr-replay").string() + "' " + arguments +
                                " >'" + (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
    const int status = std::system(command.c_str());
    std::ostringstream o, e;
    o << std::ifstream(dir / "out").rdbuf();
    e << std::ifstream(dir / "err").rdbuf();
    out = o.str();
    err = e.str();
    fs::remove_all(dir);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ReplayAccuracyProgram, UnreadableTruthAndUnwritableTrackAreOneLineAndStatusTwo)
{
    if (!fs::exists(fs::path(VRN_BINARY_DIR) / "vrnrcvr-replay"))
        GTEST_SKIP() << "vrnrcvr-replay not built";
    const std::string capture = std::string(VRN_SOURCE_DIR) + "/tests/data/captures/moving-binary-damaged.bin";
    std::string out, err;
    const std::vector<std::pair<std::string, std::string>> bad{
        {"--accuracy --truth /nonexistent/t.csv '" + capture + "'", "/nonexistent/t.csv"},
        {"--accuracy --truth '" + capture + "' '" + capture + "'", "no column"},
        {"--gpx /nonexistent/dir/t.gpx '" + capture + "'", "/nonexistent/dir/t.gpx"},
    };
    for (const auto& [args, part] : bad)
    {
        EXPECT_EQ(RunReplay(args, out, err), 2) << args;
        EXPECT_TRUE(err.starts_with("vrnrcvr-replay: ")) << err;
        EXPECT_NE(err.find(part), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
    // A binary stream of port 2: one line, for receiver 2.
    EXPECT_EQ(RunReplay("--port 2 --accuracy '" + capture + "'", out, err), 0) << err;
    EXPECT_TRUE(out.starts_with("source=receiver2 epochs=")) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
}
}  // namespace
