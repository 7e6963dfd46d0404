// vrnrcvr-sim as a program: option errors, a file run with its truth file, and a clean stop of a
// pseudo-terminal run on SIGTERM.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ProcessSupport.h"

namespace
{
namespace fs = std::filesystem;
using simtest::Child;
using simtest::ReadAll;
using simtest::RunTool;
using simtest::Spawn;

fs::path TempDir(const std::string& name)
{
    const fs::path dir =
        fs::path(VRN_BINARY_DIR) / "test-home" / ("sim-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

TEST(SimTool, BadOptionsGiveOneLineNamingTheOptionAndStatusTwo)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--protocol", "sirf", "--out", "-"}, "--protocol"},
        {{"--baud", "1234", "--pty"}, "--baud"},
        {{"--position", "91,0,0", "--out", "-"}, "--position"},
        {{"--position", "24,121", "--out", "-"}, "--position"},
        {{"--start", "2400,x", "--out", "-"}, "--start"},
        {{"--velocity", "1,2,3,4", "--out", "-"}, "--velocity"},
        {{"--noise", "-1", "--out", "-"}, "--noise"},
        {{"--seed", "12a", "--out", "-"}, "--seed"},
        {{"--duration", "0", "--out", "-"}, "--duration"},
        {{"--frobnicate", "--out", "-"}, "--frobnicate"},
        {{"--link", "/tmp/x", "--out", "-"}, "--link"},
        {{"--out"}, "--out"},
        {{"--protocol", "test"}, "--out"},
        {{"--out", "-", "--pty"}, "--pty"},
        {{"--gnss", "gps,galileox", "--out", "-"}, "--gnss"},
        {{"--gnss", "", "--out", "-"}, "--gnss"},
        {{"--gnss", "glonass", "--protocol", "binary", "--out", "-"}, "--gnss"},
        {{"--protocol", "test", "--gnss", "gps,beidou", "--out", "-"}, "--gnss"},
        {{"--nmea", "4.2", "--out", "-"}, "--nmea"},
        {{"--nmea"}, "--nmea"},
    };
    for (const auto& [args, option] : cases)
    {
        std::string err;
        EXPECT_EQ(RunTool(args, err), 2) << option;
        EXPECT_EQ(err.rfind("vrnrcvr-sim: " + option, 0), 0U) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    }
}

TEST(SimTool, FileRunWritesTheStreamAndOneTruthRowPerEpoch)
{
    const fs::path dir = TempDir("file");
    std::string err;
    ASSERT_EQ(RunTool({"--protocol", "test", "--duration", "20", "--start", "2400,345600", "--out",
                       (dir / "s.bin").string(), "--truth", (dir / "t.csv").string()},
                      err),
              0)
        << err;
    EXPECT_TRUE(err.empty()) << err;
    EXPECT_GT(fs::file_size(dir / "s.bin"), 5000U);
    std::ifstream truth(dir / "t.csv");
    std::string line;
    std::getline(truth, line);
    EXPECT_EQ(line, "week,tow,x,y,z,lat,lon,height,vx,vy,vz,clockBias,clockDrift,satsInView,satsTracked");
    int rows = 0;
    while (std::getline(truth, line))
        ++rows;
    EXPECT_EQ(rows, 21);  // 0 .. 19.99 s at 0.9995 s
    fs::remove_all(dir);
}

TEST(SimTool, ModernReceiverRunSpeaksTheChosenDialect)
{
    const fs::path dir = TempDir("modern");
    std::string err;
    ASSERT_EQ(RunTool({"--gnss", "gps,glonass,galileo,beidou,qzss", "--nmea", "4.11", "--duration", "3", "--start",
                       "2400,345600", "--out", (dir / "s.nmea").string()},
                      err),
              0)
        << err;
    std::ifstream in(dir / "s.nmea");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* talker : {"$GNGGA,", "$GNGNS,", "$GNGSA,", "$GPGSV,", "$GLGSV,", "$GAGSV,", "$GBGSV,", "$GQGSV,"})
        EXPECT_NE(text.find(talker), std::string::npos) << talker;
    EXPECT_EQ(text.find("$GNGGA,"), 0U);
    fs::remove_all(dir);
}

TEST(SimTool, PseudoTerminalRunStopsCleanlyOnSigterm)
{
    const fs::path dir = TempDir("pty");
    const fs::path link = dir / "gps0";
    Child c = Spawn({"--pty", "--link", link.string(), "--protocol", "test"});
    ASSERT_GT(c.pid, 0);
    std::string first;
    std::array<char, 256> buf{};
    while (first.find('\n') == std::string::npos)
    {
        pollfd p{c.out, POLLIN, 0};
        ASSERT_GT(::poll(&p, 1, 5000), 0) << "no device path";
        const ssize_t n = ::read(c.out, buf.data(), buf.size());
        ASSERT_GT(n, 0);
        first.append(buf.data(), static_cast<std::size_t>(n));
    }
    const std::string device = first.substr(0, first.find('\n'));
    EXPECT_EQ(device.rfind("/dev/pts/", 0), 0U) << device;
    EXPECT_EQ(fs::read_symlink(link).string(), device);
    ::kill(c.pid, SIGTERM);
    // Drain stderr before reaping, so a chatty child cannot block on a full pipe.
    const std::string err = ReadAll(c.err);
    int status = 0;
    ::waitpid(c.pid, &status, 0);
    ::close(c.out);
    ::close(c.err);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(err.find("warning: the test protocol"), std::string::npos) << err;  // 4800 baud is too slow
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    fs::remove_all(dir);
}

}  // namespace
