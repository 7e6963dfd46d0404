// vrnrcvr-replay --protocol test: a raw stream through the reader's test-mode chunk loop gives the
// receiver's lines, the own records and one solution row per epoch, whatever the chunking.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "Replay.h"
#include "ReplayNav.h"
#include "nav/NavStream.h"

namespace fs = std::filesystem;

namespace
{
struct TestOutput
{
    std::string receiver, own, solution;
    std::uint64_t epochs = 0;
};

TestOutput ReplayTest(const std::vector<std::uint8_t>& bytes, const std::function<std::size_t()>& nextChunk)
{
    ProcessNavEngine() = NavEngine{};
    TestOutput out;
    replay::TestModeSink sink([&](std::string_view l) { out.receiver += l; },
                              [&](std::string_view l) { out.own += l; },
                              [&](std::string_view l) { out.solution += l; });
    replay::Options options;
    options.mode = vrn::kModeTest;
    auto context = std::make_unique<vrn::ParseContext>();
    replay::Stats stats;
    replay::FeedChunks(bytes, options, *context, sink, stats, nextChunk);
    out.epochs = sink.Epochs();
    return out;
}

std::size_t CountLines(const std::string& text, std::string_view prefix = {})
{
    std::istringstream in(text);
    std::size_t n = 0;
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(prefix))
            ++n;
    return n;
}

TEST(ReplayTestMode, SameSolutionsForEveryChunkingAndAConvergedFix)
{
    navtest::Scenario scenario(navtest::ScenarioConfig{});
    std::vector<Triple> truth;
    const auto bytes = navtest::ScenarioStream(scenario, 260, &truth);
    const TestOutput reader = ReplayTest(bytes, {});
    std::mt19937 rng(5);
    const TestOutput random = ReplayTest(bytes, [&rng] { return static_cast<std::size_t>(rng() % 80 + 1); });
    ProcessNavEngine() = NavEngine{};

    EXPECT_EQ(reader.epochs, 260U);
    EXPECT_EQ(CountLines(reader.solution), 260U);
    EXPECT_EQ(reader.solution, random.solution);
    EXPECT_EQ(reader.own, random.own);
    EXPECT_EQ(reader.receiver, random.receiver);
    // The receiver set prints its measurement messages as in binary mode; the own set adds NAV,
    // DOP and SV lines for every epoch.
    EXPECT_EQ(CountLines(reader.receiver), 260U);
    EXPECT_EQ(CountLines(reader.own), 3U * 260U);

    // The last row holds a fix within a metre of the truth.
    std::istringstream rows(reader.solution);
    std::string line, last;
    while (std::getline(rows, line))
        last = line;
    std::vector<double> fields;
    std::istringstream cells(last);
    for (std::string cell; std::getline(cells, cell, ',');)
        fields.push_back(std::strtod(cell.c_str(), nullptr));
    ASSERT_EQ(fields.size(), 24U);
    EXPECT_EQ(fields[0], 260.0);
    EXPECT_EQ(fields[1], 2345.0);
    EXPECT_EQ(fields[3], 2.0);
    EXPECT_LT(navtest::Distance({fields[6], fields[7], fields[8]}, truth.back()), 1.0);
    EXPECT_NEAR(fields[14], 0.83 * 57.29577951308232, 1e-5);
    EXPECT_NEAR(fields[15], 0.21 * 57.29577951308232, 1e-5);
}

TEST(ReplayTestMode, Options)
{
    auto parse = [](std::vector<std::string_view> args, replay::Options& o, std::string& error)
    { return replay::ParseOptions(args, o, error); };
    replay::Options o;
    std::string error;
    ASSERT_TRUE(parse({"--protocol", "test", "--own=own.txt", "--solution", "sol.csv", "in.bin"}, o, error))
        << error;
    EXPECT_EQ(o.mode, vrn::kModeTest);
    EXPECT_EQ(o.ownFile, "own.txt");
    EXPECT_EQ(o.solutionFile, "sol.csv");
    replay::Options bad;
    EXPECT_FALSE(parse({"--protocol", "test", "--port", "2", "in.bin"}, bad, error));
    replay::Options noTest;
    EXPECT_FALSE(parse({"--own", "x", "in.bin"}, noTest, error));
    replay::Options almanac;
    EXPECT_TRUE(parse({"--print-almanac"}, almanac, error));
    EXPECT_TRUE(almanac.printAlmanac);
}

TEST(ReplayTestMode, AlmanacCsvHasAllThirtyTwoEntries)
{
    const std::string csv = replay::BuiltInAlmanacCsv();
    EXPECT_TRUE(csv.starts_with("prn,state,health,e,week,toa,i,omegaDot,sqrtA,omega0,omega,m0,af0,af1\n"));
    EXPECT_EQ(CountLines(csv), 33U);
    EXPECT_NE(csv.find("\n1,1,0,0.004113,980,233472,0.9561,"), std::string::npos);
    EXPECT_NE(csv.find("\n11,2,0,0,980,233472,0,"), std::string::npos);
}

TEST(ReplayTestMode, TheProgramWritesTheFiles)
{
    const fs::path program = fs::path(VRN_BINARY_DIR) / "vrnrcvr-replay";
    if (!fs::exists(program))
        GTEST_SKIP() << "vrnrcvr-replay not built";
    const fs::path dir = fs::path(VRN_BINARY_DIR) / "test-home" / "replay-test-mode";
    fs::create_directories(dir);
    navtest::Scenario scenario(navtest::ScenarioConfig{});
    const auto bytes = navtest::ScenarioStream(scenario, 40);
    {
        std::ofstream raw(dir / "raw.bin", std::ios::binary);
        raw.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const std::string command = program.string() + " --protocol test --own " + (dir / "own.txt").string() +
                                " --solution " + (dir / "sol.csv").string() + " " +
                                (dir / "raw.bin").string() + " > " + (dir / "out.txt").string();
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::ifstream sol(dir / "sol.csv");
    std::stringstream text;
    text << sol.rdbuf();
    EXPECT_TRUE(text.str().starts_with(std::string(replay::SolutionCsvHeader())));
    EXPECT_EQ(CountLines(text.str()), 41U);
    std::ifstream own(dir / "own.txt");
    std::stringstream ownText;
    ownText << own.rdbuf();
    EXPECT_EQ(CountLines(ownText.str()), 120U);
    const int refused = std::system((program.string() + " --protocol test --port 2 x 2>/dev/null").c_str());
    EXPECT_EQ(WEXITSTATUS(refused), 2);
}
}  // namespace
