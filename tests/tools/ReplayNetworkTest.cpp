// vrnrcvr-replay on tcp:// and gpsd:// inputs: the same lines (and solution rows) as for a file of
// the same bytes; a source that cannot be opened ends it with status 2 and one line, at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "link/NetTestSupport.h"
#include "nav/NavStream.h"
#include "sim/ProcessSupport.h"

namespace vrn::test
{
namespace
{
namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Result
{
    int status = -1;
    std::string out;
    std::string err;
};

fs::path WorkDir()
{
    const fs::path dir = fs::path(VRN_BINARY_DIR) / "test-home" / ("replay-net-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

Result RunReplay(const std::vector<std::string>& args)
{
    Result r;
    const fs::path out = WorkDir() / "stdout.txt";
    r.status = simtest::RunTool(args, r.err, simtest::kReplayTool, out.string());
    r.out = ReadText(out);
    return r;
}

// Serves `bytes` in random pieces, then closes.
LoopbackServer::Behaviour Pieces(const std::vector<std::uint8_t>& bytes, unsigned seed)
{
    return [&bytes, seed](Peer& peer) {
        std::mt19937 rng(seed);
        for (std::size_t at = 0; at < bytes.size();)
        {
            const std::size_t n = std::min<std::size_t>(rng() % 700 + 1, bytes.size() - at);
            if (!peer.Send(std::span(bytes).subspan(at, n)))
                return;
            at += n;
        }
    };
}
}  // namespace

TEST(ReplayNetwork, TcpAndGpsdGiveTheLinesOfTheFile)
{
    const fs::path captures = fs::path(VRN_SOURCE_DIR) / "tests" / "data" / "captures";
    struct Case
    {
        const char* capture;
        const char* protocol;
    };
    const Case cases[] = {{"moving-binary-damaged.bin", "binary"}, {"moving-nmea-damaged.bin", "nmea"},
                          {"cold-start-nmea-lf.bin", "nmea"}};
    for (const Case& c : cases)
    {
        const fs::path file = captures / c.capture;
        const auto bytes = ReadBytes(file);
        ASSERT_FALSE(bytes.empty()) << c.capture;
        const Result fromFile = RunReplay({"--protocol", c.protocol, "--stats", file.string()});
        ASSERT_EQ(fromFile.status, 0) << fromFile.err;

        LoopbackServer tcp(Pieces(bytes, 7));
        const Result fromTcp = RunReplay({"--protocol", c.protocol, "--stats", tcp.Url()});
        EXPECT_EQ(fromTcp.status, 0) << c.capture << ": " << fromTcp.err;
        EXPECT_EQ(fromTcp.out, fromFile.out) << c.capture;
        EXPECT_EQ(fromTcp.err, fromFile.err) << c.capture;  // the same counters, chunks included

        FakeGpsd gpsd;
        gpsd.stream = bytes;
        gpsd.piece = 333;
        LoopbackServer daemon([&gpsd](Peer& peer) { gpsd.Serve(peer); });
        const Result fromGpsd = RunReplay({"--protocol", c.protocol, daemon.Url("gpsd") + "/dev/ttyGPS0", "--duration", "20"});
        EXPECT_EQ(fromGpsd.status, 0) << c.capture << ": " << fromGpsd.err;
        EXPECT_EQ(fromGpsd.out, fromFile.out) << c.capture;
    }
}

TEST(ReplayNetwork, TestProtocolSolutionFromTheNetworkEqualsTheFile)
{
    const fs::path dir = WorkDir();
    navtest::Scenario scenario(navtest::ScenarioConfig{});
    const auto bytes = navtest::ScenarioStream(scenario, 150);
    const fs::path file = dir / "scenario.raw";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    const Result fromFile = RunReplay({"--protocol", "test", "--solution", (dir / "file.csv").string(), file.string()});
    ASSERT_EQ(fromFile.status, 0) << fromFile.err;
    LoopbackServer tcp(Pieces(bytes, 9));
    const Result fromTcp = RunReplay({"--protocol", "test", "--solution", (dir / "tcp.csv").string(), tcp.Url()});
    ASSERT_EQ(fromTcp.status, 0) << fromTcp.err;
    EXPECT_EQ(fromTcp.out, fromFile.out);
    EXPECT_EQ(ReadText(dir / "tcp.csv"), ReadText(dir / "file.csv"));
    EXPECT_GT(ReadText(dir / "file.csv").size(), 1000u);
    fs::remove_all(dir);
}

TEST(ReplayNetwork, DurationEndsAQuietConnection)
{
    LoopbackServer server([](Peer& peer) {
        peer.Send(NmeaStream(2));
        peer.Hold(std::chrono::milliseconds(10000));
    });
    const auto start = std::chrono::steady_clock::now();
    const Result r = RunReplay({"--protocol", "nmea", server.Url(), "--duration", "0.5"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4);
}

TEST(ReplayNetwork, SourcesThatCannotBeOpenedEndWithStatusTwoAndOneLine)
{
    std::uint16_t refused = 0;
    {
        LoopbackServer probe(nullptr);
        refused = probe.Port();
    }
    FakeGpsd refusing;
    refusing.refuseWatch = true;
    LoopbackServer daemon([&refusing](Peer& peer) { refusing.Serve(peer); });
    struct Case
    {
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {{"tcp://127.0.0.1:" + std::to_string(refused)}, "Connection refused"},
        {{"gpsd://127.0.0.1:" + std::to_string(refused)}, "Connection refused"},
        {{"tcp://no-such-host.invalid:5000"}, "cannot resolve no-such-host.invalid"},
        {{daemon.Url("gpsd") + "/dev/nothing"}, "gpsd refused the request: Can't open /dev/nothing."},
        {{"tcp://127.0.0.1"}, "no port number"},
        {{"--duration", "0", "tcp://127.0.0.1:1"}, "bad duration"},
        {{"--duration", "3", "file.bin"}, "--duration needs a tcp:// or gpsd:// input"},
    };
    for (const Case& c : cases)
    {
        const auto start = std::chrono::steady_clock::now();
        const Result r = RunReplay(c.args);
        EXPECT_EQ(r.status, 2) << c.args.back();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8)) << c.args.back();
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args.back() << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}
}  // namespace vrn::test
