// vrnrcvr-sim as a program: option errors, a file run with its truth file, and a clean stop of a
// pseudo-terminal run on SIGTERM.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
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

// Where the standard output of a child goes.
enum class StdoutTo : std::uint8_t
{
    DevNull,
    DevFull,
    Closed,
    ClosedPipe  // a pipe whose reading end is closed before the child starts
};

// Runs vrnrcvr-sim with `args` and stdout as `to`; returns its exit status, or -1 when it was still
// running after `limitMs` (it is killed then). Its stderr goes to `err`.
int RunWithStdout(const std::vector<std::string>& args, StdoutTo to, std::string& err, int limitMs = 10000)
{
    std::array<int, 2> errPipe{-1, -1}, outPipe{-1, -1};
    if (::pipe(errPipe.data()) != 0 || (to == StdoutTo::ClosedPipe && ::pipe(outPipe.data()) != 0))
        return -2;
    if (to == StdoutTo::ClosedPipe)
        ::close(outPipe[0]);
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        if (to == StdoutTo::Closed)
            ::close(1);
        else if (to == StdoutTo::ClosedPipe)
            ::dup2(outPipe[1], 1);
        else
            ::dup2(::open(to == StdoutTo::DevFull ? "/dev/full" : "/dev/null", O_WRONLY), 1);
        ::dup2(errPipe[1], 2);
        std::vector<char*> argv{const_cast<char*>(simtest::kSimTool.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(simtest::kSimTool.c_str(), argv.data());
        ::_exit(127);
    }
    if (to == StdoutTo::ClosedPipe)
        ::close(outPipe[1]);
    ::close(errPipe[1]);
    err.clear();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;)
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd p{errPipe[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        std::array<char, 512> buf{};
        const ssize_t n = ::read(errPipe[0], buf.data(), buf.size());
        if (n <= 0)
            break;  // the child closed stderr: it ended
        err.append(buf.data(), static_cast<std::size_t>(n));
    }
    ::close(errPipe[0]);
    int status = 0;
    for (int wait = 0; ::waitpid(pid, &status, WNOHANG) == 0; ++wait)
    {
        if (wait == 100)
        {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// An endless run into output that cannot take it ends at the first failed write, status 1, with
// one line saying what could not be written and why.
TEST(SimTool, FailedWritesEndTheRunWithStatusOne)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> args;
        StdoutTo stdoutTo;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"file on a full disk",
         {"--out", "/dev/full"},
         StdoutTo::DevNull,
         "vrnrcvr-sim: writing '/dev/full' failed: No space left on device\n"},
        {"standard output on a full disk",
         {"--out", "-"},
         StdoutTo::DevFull,
         "vrnrcvr-sim: writing the standard output failed: No space left on device\n"},
        {"closed standard output",
         {"--out", "-"},
         StdoutTo::Closed,
         "vrnrcvr-sim: writing the standard output failed: Bad file descriptor\n"},
        {"pipe without a reader",
         {"--out", "-"},
         StdoutTo::ClosedPipe,
         "vrnrcvr-sim: writing the standard output failed: Broken pipe\n"},
        {"truth on a full disk",
         {"--out", "/dev/null", "--truth", "/dev/full"},
         StdoutTo::DevNull,
         "vrnrcvr-sim: writing '/dev/full' failed: No space left on device\n"},
    };
    for (const Case& c : cases)
        for (const char* protocol : {"nmea", "test"})
        {
            std::vector<std::string> args{"--protocol", protocol};
            args.insert(args.end(), c.args.begin(), c.args.end());
            std::string err;
            EXPECT_EQ(RunWithStdout(args, c.stdoutTo, err), 1) << c.name << ", " << protocol;
            EXPECT_EQ(err, c.message) << c.name << ", " << protocol;
        }
    // A reader that stays to the end still gets the whole run and status 0.
    std::string err;
    EXPECT_EQ(RunWithStdout({"--protocol", "nmea", "--out", "-", "--duration", "5"}, StdoutTo::DevNull, err),
              0);
    EXPECT_EQ(err, "");
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
