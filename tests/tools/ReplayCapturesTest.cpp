// vrnrcvr-replay: the recorded streams of tests/data/captures replayed in random chunk sizes against
// their checked-in lines, the program itself on the same streams, and its command line.
// VRN_REGENERATE=1 rewrites the expected lines (review the diff like code).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "Replay.h"

namespace fs = std::filesystem;

namespace
{
std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The "Replay:" line of a capture's description, split into arguments.
std::vector<std::string> ReplayArguments(const fs::path& description)
{
    std::istringstream text(ReadFile(description));
    std::string line;
    while (std::getline(text, line))
        if (line.starts_with("Replay:"))
        {
            std::istringstream words(line.substr(7));
            std::vector<std::string> args;
            for (std::string w; words >> w;)
                args.push_back(w);
            return args;
        }
    return {};
}

// Replays `bytes` in chunks from `nextChunk` (none: the reader's 80 bytes) and returns the lines.
std::string Replay(const std::string& bytes, const replay::Options& options,
                   const std::function<std::size_t()>& nextChunk)
{
    std::string lines;
    replay::ReplayLog log([&lines](std::string_view line) { lines += line; });
    vrn::SetPortLog(&log);
    auto context = std::make_unique<vrn::ParseContext>();
    replay::NoViews views;
    replay::Stats stats;
    replay::FeedChunks({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, options, *context,
                       views, stats, nextChunk);
    vrn::SetPortLog(nullptr);
    EXPECT_EQ(stats.bytes, bytes.size());
    return lines;
}

std::vector<fs::path> Captures()
{
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(fs::path(VRN_SOURCE_DIR) / "tests/data/captures"))
        if (entry.path().extension() == ".bin")
            found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

fs::path Program()
{
    return fs::path(VRN_BINARY_DIR) / "vrnrcvr-replay";
}

// Runs the program through the shell; returns its exit status, with stdout and stderr in files.
int RunProgram(const std::string& arguments, std::string& out, std::string& err)
{
    // One folder per test process: ctest runs the tests of this file side by side.
    const fs::path dir = fs::path(VRN_BINARY_DIR) / "test-home" / ("replay-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string command = "'" + Program().string() + "' " + arguments + " >'" + (dir / "out").string() +
                                "' 2>'" + (dir / "err").string() + "'";
    const int status = std::system(command.c_str());
    out = ReadFile(dir / "out");
    err = ReadFile(dir / "err");
    fs::remove_all(dir);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

TEST(ReplayCaptures, RandomChunkSizesGiveTheCheckedInLines)
{
    const bool regenerate =
        std::getenv("VRN_REGENERATE") != nullptr && std::string(std::getenv("VRN_REGENERATE")) == "1";
    const auto captures = Captures();
    ASSERT_GE(captures.size(), 3U);
    for (const fs::path& bin : captures)
    {
        const auto args = ReplayArguments(fs::path(bin).replace_extension(".md"));
        ASSERT_FALSE(args.empty()) << bin << ": no Replay: line in its description";
        const std::string binPath = bin.string();
        std::vector<std::string_view> views(args.begin(), args.end());
        views.emplace_back(binPath);
        replay::Options options;
        std::string error;
        ASSERT_TRUE(replay::ParseOptions(views, options, error)) << error;

        const std::string bytes = ReadFile(bin);
        std::mt19937 random(20261208);
        const std::string lines =
            Replay(bytes, options, [&] { return std::size_t{1} + random() % vrn::kChunkSize; });
        const fs::path expectedPath = fs::path(bin).replace_extension(".txt");
        if (regenerate)
            std::ofstream(expectedPath, std::ios::binary) << lines;
        EXPECT_EQ(lines, ReadFile(expectedPath)) << bin.filename();
        EXPECT_FALSE(lines.empty()) << bin.filename();
        // Binary framing does not depend on where the reads cut the stream. (NMEA does, by design: a
        // stray byte after a CR drops its sentence only when the LF arrives in the same read.)
        if (options.mode == vrn::kModeBinary)
        {
            EXPECT_EQ(Replay(bytes, options, [] { return std::size_t{1}; }), lines) << bin.filename();
            EXPECT_EQ(Replay(bytes, options, {}), lines) << bin.filename();
        }
    }
}

TEST(ReplayProgram, PrintsTheCaptureLinesAndCounters)
{
    if (!fs::exists(Program()))
        GTEST_SKIP() << "vrnrcvr-replay not built";
    for (const fs::path& bin : Captures())
    {
        const auto args = ReplayArguments(fs::path(bin).replace_extension(".md"));
        std::string arguments;
        for (const auto& a : args)
            arguments += a + " ";
        std::vector<std::string_view> views(args.begin(), args.end());
        views.emplace_back("-");
        replay::Options options;
        std::string error;
        ASSERT_TRUE(replay::ParseOptions(views, options, error)) << error;

        std::string out, err;
        EXPECT_EQ(RunProgram(arguments + "--stats '" + bin.string() + "'", out, err), 0) << err;
        EXPECT_EQ(out, Replay(ReadFile(bin), options, {})) << bin.filename();
        EXPECT_NE(err.find("bytes: " + std::to_string(fs::file_size(bin)) + "\n"), std::string::npos) << err;
        EXPECT_NE(err.find("sentences dropped: "), std::string::npos) << err;
        // Standard input gives the same.
        std::string fromStdin;
        EXPECT_EQ(RunProgram(arguments + "- <'" + bin.string() + "'", fromStdin, err), 0);
        EXPECT_EQ(fromStdin, out);
    }
}

TEST(ReplayProgram, BadInputIsOneLineAndStatusTwo)
{
    if (!fs::exists(Program()))
        GTEST_SKIP() << "vrnrcvr-replay not built";
    std::string out, err;
    const std::vector<std::string> bad{"/nonexistent/stream.bin",
                                       "--protocol xml -",
                                       "--port 3 -",
                                       "--bogus -",
                                       "",
                                       "a b",
                                       "--protocol",
                                       std::string("'") + VRN_SOURCE_DIR + "'"};
    for (const std::string& args : bad)
    {
        EXPECT_EQ(RunProgram(args, out, err), 2) << args;
        EXPECT_TRUE(out.empty()) << args;
        EXPECT_TRUE(err.starts_with("vrnrcvr-replay: ")) << args << ": " << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << args << ": " << err;
    }
    EXPECT_EQ(RunProgram("--help", out, err), 0);
    EXPECT_TRUE(out.starts_with("usage: vrnrcvr-replay [--protocol nmea|binary|test|ubx] [--port 1|2]")) << out;
}

TEST(ReplayOptions, ValuesInBothSpellings)
{
    replay::Options o;
    std::string error;
    const std::vector<std::string_view> args{"--protocol=nmea", "--port", "2", "--stats",
                                             "--debug",         "--",     "-x"};
    ASSERT_TRUE(replay::ParseOptions(args, o, error)) << error;
    EXPECT_EQ(o.mode, vrn::kModeNmea);
    EXPECT_EQ(o.port, 1);
    EXPECT_TRUE(o.stats);
    EXPECT_TRUE(o.debug);
    EXPECT_EQ(o.input, "-x");
}
