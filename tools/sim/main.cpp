// vrnrcvr-sim: a simulated GPS receiver with a known true position, streaming NMEA, the binary
// protocol or the raw-measurement (test) protocol into a file or onto a pseudo-terminal.
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sim/SimStream.h"
#include "sim/SimulatedReceiver.h"

namespace
{
using namespace vrnsim;

volatile std::sig_atomic_t g_stopSignal = 0;
extern "C" void OnStopSignal(int)
{
    g_stopSignal = 1;
}

constexpr std::string_view kUsage =
    "usage: vrnrcvr-sim [--protocol nmea|binary|test|ubx] (--out FILE|- | --pty [--link PATH])\n"
    "                   [--gnss gps,glonass,galileo,beidou,qzss] [--nmea 2.3|4.10|4.11]\n"
    "                   [--raw] [--nmea-too]\n"
    "                   [--baud N] [--duration SECONDS] [--start WEEK,TOW] [--position LAT,LON,HEIGHT]\n"
    "                   [--velocity EAST,NORTH,UP] [--noise METRES] [--seed N] [--truth FILE]\n";

struct Options
{
    StreamOptions stream;
    std::string out;
    bool pty = false;
    std::string link;
    int baud = 4800;
    double duration = 0.0;
    std::string truth;
};

// A bad option: one line on stderr, exit status 2.
[[noreturn]] void Fail(std::string_view option, std::string_view problem)
{
    std::cerr << "vrnrcvr-sim: " << option << ": " << problem << '\n';
    std::exit(2);
}

std::string Text(double v)
{
    std::array<char, 32> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    return {buf.data(), r.ptr};
}

double Number(std::string_view option, std::string_view text, double lo, double hi)
{
    double v = 0.0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc{} || r.ptr != text.data() + text.size())
        Fail(option, "not a number: '" + std::string(text) + "'");
    if (!(v >= lo && v <= hi))
        Fail(option, "'" + std::string(text) + "' is out of range " + Text(lo) + " .. " + Text(hi));
    return v;
}

std::vector<double> Numbers(std::string_view option, std::string_view text, std::size_t count,
                            const std::vector<std::pair<double, double>>& ranges)
{
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (;;)
    {
        const std::size_t comma = text.find(',', from);
        parts.push_back(
            text.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from));
        if (comma == std::string_view::npos)
            break;
        from = comma + 1;
    }
    if (parts.size() != count)
        Fail(option, "expected " + std::to_string(count) + " comma-separated values, got '" +
                         std::string(text) + "'");
    std::vector<double> values;
    for (std::size_t i = 0; i < count; ++i)
        values.push_back(Number(option, parts[i], ranges[i].first, ranges[i].second));
    return values;
}

Options Parse(int argc, char** argv)
{
    Options o;
    bool haveOut = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string_view arg = argv[i];
        auto value = [&]() -> std::string_view
        {
            if (i + 1 >= argc)
                Fail(arg, "needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h")
        {
            std::cout << kUsage;
            std::exit(0);
        }
        else if (arg == "--protocol")
        {
            const std::string_view v = value();
            const auto p = ParseProtocol(v);
            if (!p)
                Fail(arg, "expected nmea, binary, test or ubx, got '" + std::string(v) + "'");
            o.stream.protocol = *p;
        }
        else if (arg == "--gnss")
        {
            const std::string_view v = value();
            const auto systems = ParseSystems(v);
            if (!systems)
                Fail(arg, "expected a comma-separated list of gps, glonass, galileo, beidou, qzss, got '" +
                              std::string(v) + "'");
            o.stream.systems = *systems;
        }
        else if (arg == "--nmea")
        {
            const std::string_view v = value();
            const auto version = ParseNmeaVersion(v);
            if (!version)
                Fail(arg, "expected 2.3, 4.10 or 4.11, got '" + std::string(v) + "'");
            o.stream.nmeaVersion = *version;
        }
        else if (arg == "--raw")
            o.stream.ubxRaw = true;
        else if (arg == "--nmea-too")
            o.stream.nmeaToo = true;
        else if (arg == "--out")
        {
            o.out = value();
            if (o.out.empty())
                Fail(arg, "needs a file name or -");
            haveOut = true;
        }
        else if (arg == "--pty")
            o.pty = true;
        else if (arg == "--link")
        {
            o.link = value();
            if (o.link.empty())
                Fail(arg, "needs a path");
        }
        else if (arg == "--baud")
        {
            const std::string_view v = value();
            if (v != "4800" && v != "9600" && v != "19200" && v != "38400")
                Fail(arg, "expected 4800, 9600, 19200 or 38400, got '" + std::string(v) + "'");
            o.baud = static_cast<int>(Number(arg, v, 4800, 38400));
        }
        else if (arg == "--duration")
            o.duration = Number(arg, value(), 0.001, 1e8);
        else if (arg == "--start")
        {
            const auto v = Numbers(arg, value(), 2, {{0.0, 65535.0}, {0.0, 604799.99}});
            if (v[0] != static_cast<int>(v[0]))
                Fail(arg, "the week must be a whole number");
            o.stream.start = GpsTime{static_cast<int>(v[0]), v[1]};
        }
        else if (arg == "--position")
        {
            const auto v = Numbers(arg, value(), 3, {{-90.0, 90.0}, {-180.0, 180.0}, {-1000.0, 100000.0}});
            o.stream.position = {v[0] * kDegree, v[1] * kDegree, v[2]};
        }
        else if (arg == "--velocity")
        {
            const auto v =
                Numbers(arg, value(), 3, {{-2000.0, 2000.0}, {-2000.0, 2000.0}, {-2000.0, 2000.0}});
            o.stream.velocityEnu = {v[0], v[1], v[2]};
        }
        else if (arg == "--noise")
            o.stream.noiseM = Number(arg, value(), 0.0, 1000.0);
        else if (arg == "--seed")
        {
            const std::string_view v = value();
            std::uint64_t seed = 0;
            const auto r = std::from_chars(v.data(), v.data() + v.size(), seed);
            if (r.ec != std::errc{} || r.ptr != v.data() + v.size())
                Fail(arg, "expected a non-negative whole number, got '" + std::string(v) + "'");
            o.stream.seed = seed;
        }
        else if (arg == "--truth")
        {
            o.truth = value();
            if (o.truth.empty())
                Fail(arg, "needs a file name");
        }
        else
            Fail(arg, "unknown option (see --help)");
    }
    if (haveOut == o.pty)
        Fail(haveOut ? "--pty" : "--out",
             haveOut ? "cannot be combined with --out" : "one of --out FILE|- or --pty is needed");
    if (!o.link.empty() && !o.pty)
        Fail("--link", "only goes with --pty");
    if (o.stream.systems != kGpsOnly && o.stream.protocol != SimProtocol::Nmea &&
        o.stream.protocol != SimProtocol::Ubx)
        Fail("--gnss", "the binary and test protocols carry GPS only");
    if ((o.stream.ubxRaw || o.stream.nmeaToo) && o.stream.protocol != SimProtocol::Ubx)
        Fail(o.stream.ubxRaw ? "--raw" : "--nmea-too", "only goes with --protocol ubx");
    return o;
}

std::unique_ptr<std::ofstream> OpenTruth(const std::string& path)
{
    if (path.empty())
        return nullptr;
    auto f = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
    if (!*f)
        Fail("--truth", "cannot create '" + path + "'");
    *f << kTruthHeader << '\n';
    return f;
}

// A failed write: one line naming what failed and why; the run ends with status 1.
int WriteFailed(std::string_view what, int error)
{
    std::cerr << "vrnrcvr-sim: writing " << what << " failed";
    if (error != 0)
        std::cerr << ": " << std::strerror(error);
    std::cerr << '\n';
    return 1;
}

// Writes `bytes` to `out` and, when `flush` is set, flushes it. The stream's error flag is checked
// too, so a failure inside an earlier buffered write is not missed. Returns 0, else the errno of
// the failure (EIO when the library left none).
int WriteBlock(std::FILE* out, const std::vector<std::uint8_t>& bytes, bool flush)
{
    errno = 0;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() &&
                    (!flush || std::fflush(out) == 0) && std::ferror(out) == 0;
    return ok ? 0 : (errno != 0 ? errno : EIO);
}

int RunToFile(const Options& o)
{
    const bool toStdout = o.out == "-";
    std::FILE* out = toStdout ? stdout : std::fopen(o.out.c_str(), "wb");
    if (!out)
        Fail("--out", "cannot create '" + o.out + "'");
    const std::string outName = toStdout ? "the standard output" : "'" + o.out + "'";
    auto truth = OpenTruth(o.truth);
    CSimStream stream(o.stream);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(1 << 16);
    // Every write is checked and the first failure ends the run: a full disk, a closed standard
    // output or a reader that went away must not leave the simulation running on for nothing.
    int status = 0;
    while (!g_stopSignal)
    {
        const std::size_t before = bytes.size();
        const double at = stream.Next(bytes);
        if (o.duration > 0.0 && at >= o.duration)
        {
            bytes.resize(before);
            break;
        }
        if (truth && !(*truth << FormatTruthRow(stream.LastEpoch()) << '\n'))
        {
            status = WriteFailed("'" + o.truth + "'", errno);
            break;
        }
        if (bytes.size() > (1 << 15) || toStdout)
        {
            if (const int error = WriteBlock(out, bytes, toStdout); error != 0)
            {
                status = WriteFailed(outName, error);
                break;
            }
            bytes.clear();
        }
    }
    if (status == 0)
    {
        if (const int error = WriteBlock(out, bytes, true); error != 0)
            status = WriteFailed(outName, error);
    }
    errno = 0;
    if ((toStdout ? std::fflush(out) : std::fclose(out)) != 0 && status == 0)
        status = WriteFailed(outName, errno);
    if (truth && status == 0)
    {
        errno = 0;
        truth->close();
        if (truth->fail())
            status = WriteFailed("'" + o.truth + "'", errno);
    }
    return status;
}

int RunOnPty(const Options& o)
{
    const int need = TypicalBytesPerSecond(o.stream);
    if (need > BytesPerSecondAt(o.baud))
        std::cerr << "vrnrcvr-sim: warning: the " << ProtocolName(o.stream.protocol)
                  << " protocol sends about " << need << " bytes/s, more than " << o.baud << " baud carries ("
                  << BytesPerSecondAt(o.baud) << " bytes/s); use a higher --baud\n";
    auto truth = OpenTruth(o.truth);
    SimulatedReceiverOptions options;
    options.stream = o.stream;
    options.baud = o.baud;
    options.durationS = o.duration;
    options.linkPath = o.link;
    CSimulatedReceiver receiver(options);
    receiver.SetLog([](const std::string& line) { std::cerr << "vrnrcvr-sim: " << line << std::endl; });
    if (truth)
        receiver.SetEpochObserver([&truth](const Epoch& e) { *truth << FormatTruthRow(e) << '\n'; });
    std::string error;
    if (!receiver.Start(error))
    {
        std::cerr << "vrnrcvr-sim: " << error << '\n';
        return 1;
    }
    std::cout << receiver.DevicePath() << std::endl;
    while (!g_stopSignal && !receiver.Finished())
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    receiver.Stop();
    if (receiver.IgnoredBytes() > 0)
        std::cerr << "vrnrcvr-sim: ignored " << receiver.IgnoredBytes() << " bytes that were no command\n";
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    const Options o = Parse(argc, argv);
    struct sigaction sa
    {
    };
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return o.pty ? RunOnPty(o) : RunToFile(o);
}
