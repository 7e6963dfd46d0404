// End to end through both programs: vrnrcvr-sim writes a raw-measurement stream and its truth,
// vrnrcvr-replay computes the program's own solution from the stream, and the solution is held
// against the truth epoch by epoch.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ProcessSupport.h"

namespace
{
namespace fs = std::filesystem;

// The numeric columns of a CSV file, header skipped.
std::vector<std::vector<double>> ReadCsv(const fs::path& path)
{
    std::vector<std::vector<double>> rows;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line))
    {
        std::vector<double> row;
        for (std::size_t at = 0; at <= line.size();)
        {
            std::size_t end = line.find(',', at);
            if (end == std::string::npos)
                end = line.size();
            double v = 0.0;
            std::from_chars(line.data() + at, line.data() + end, v);
            row.push_back(v);
            at = end + 1;
        }
        rows.push_back(row);
    }
    return rows;
}

struct Outcome
{
    int fixes = 0;
    int compared = 0;
    int lost = 0;  // compared epochs without a fix
    double maxError = 0.0;
    double rms = 0.0;
    double maxSpeedError = 0.0;
};

// Simulates 600 s with `extra` options, replays it, and compares from 120 s after the first fix.
Outcome RunBoth(const std::string& name, const std::vector<std::string>& extra)
{
    const fs::path dir =
        fs::path(VRN_BINARY_DIR) / "test-home" / ("sim-e2e-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::vector<std::string> simArgs = {"--protocol", "test",
                                        "--duration", "600",
                                        "--out",      (dir / "s.bin").string(),
                                        "--truth",    (dir / "t.csv").string()};
    simArgs.insert(simArgs.end(), extra.begin(), extra.end());
    std::string err;
    EXPECT_EQ(simtest::RunTool(simArgs, err), 0) << err;
    EXPECT_EQ(simtest::RunTool(
                  {"--protocol", "test", "--solution", (dir / "sol.csv").string(), (dir / "s.bin").string()},
                  err, simtest::kReplayTool, (dir / "lines.txt").string()),
              0)
        << err;
    const auto truth = ReadCsv(dir / "t.csv");
    const auto solution = ReadCsv(dir / "sol.csv");
    fs::remove_all(dir);
    Outcome o;
    EXPECT_EQ(solution.size(), truth.size());  // one navigation epoch per measurement epoch
    double firstFix = -1.0, sumSquares = 0.0;
    for (std::size_t i = 0; i < std::min(truth.size(), solution.size()); ++i)
    {
        const auto& t = truth[i];     // week,tow,x,y,z,lat,lon,height,vx,vy,vz,...
        const auto& s = solution[i];  // epoch,week,tow,fixMode,satsUsed,fixCount,x,y,z,vx,vy,vz,...
        const bool fix = s[3] != 0.0;
        o.fixes += fix ? 1 : 0;
        const double elapsed = t[1] - truth.front()[1];
        if (fix && firstFix < 0.0)
            firstFix = elapsed;
        if (firstFix < 0.0 || elapsed < firstFix + 120.0)
            continue;
        ++o.compared;
        if (!fix)
        {
            ++o.lost;
            continue;
        }
        const double error = std::hypot(s[6] - t[2], s[7] - t[3], s[8] - t[4]);
        o.maxError = std::max(o.maxError, error);
        sumSquares += error * error;
        o.maxSpeedError = std::max(o.maxSpeedError, std::hypot(s[9] - t[8], s[10] - t[9], s[11] - t[10]));
    }
    const int fixed = o.compared - o.lost;
    o.rms = fixed > 0 ? std::sqrt(sumSquares / fixed) : 1e9;
    return o;
}

TEST(SimEndToEnd, ReplayedSolutionStaysWithinAMetreOfTheTruth)
{
    const Outcome o = RunBoth("clean", {});  // starts now, as a user would run it
    ASSERT_GT(o.compared, 300);
    // At most one plan restart (below), depending on the hour the test runs.
    EXPECT_LE(o.lost, 4);
    EXPECT_LT(o.maxError, 1.0);
    EXPECT_LT(o.maxSpeedError, 0.1);
}

TEST(SimEndToEnd, MovingReceiverIsFollowedWithinAMetre)
{
    const Outcome o = RunBoth("moving", {"--velocity", "12,5,0.5", "--start", "2401,200000"});
    ASSERT_GT(o.compared, 300);
    EXPECT_EQ(o.lost, 0);
    EXPECT_LT(o.maxError, 1.0);
    EXPECT_LT(o.maxSpeedError, 0.1);
}

TEST(SimEndToEnd, NoisyStreamGivesLessThanThreeMetresRms)
{
    const Outcome o = RunBoth("noisy", {"--noise", "3", "--seed", "11", "--start", "2401,200000"});
    ASSERT_GT(o.compared, 300);
    EXPECT_EQ(o.lost, 0);
    EXPECT_LT(o.rms, 3.0);
}

// The reset seeds every plan slot with the first candidate by the look angles at time zero. When
// that satellite sets at the real time, all slots change at once and every channel starts its
// continuity count again: four epochs without a fix, then the fix is back as good as before.
TEST(SimEndToEnd, ThePlansSeedSatelliteSettingCostsFourEpochsOnce)
{
    const Outcome o = RunBoth("plan", {"--start", "2448,220953"});
    ASSERT_GT(o.compared, 300);
    EXPECT_EQ(o.lost, 4);
    EXPECT_LT(o.maxError, 1.0);
}

}  // namespace
