// The command side of the simulated receiver: framed initialisation commands found in any
// chunking among garbage, their effect on the output, and the same over a real pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "SimTestSupport.h"
#include "protocol/Framing.h"
#include "sim/SimulatedReceiver.h"

namespace
{
using namespace vrnsim;

// An initialisation command as the program sends it (id plus data, little-endian).
std::vector<std::uint8_t> InitCommand(std::uint8_t startMode, std::uint8_t outputFlags, std::uint8_t baudCode,
                                      std::uint16_t week = 0x1010)
{
    return {kIdInitCommand,
            static_cast<std::uint8_t>(week & 0xFF),
            static_cast<std::uint8_t>(week >> 8),
            0x10,
            0x27,
            0,
            0,
            0xFA,
            0x00,
            0xBF,
            0x04,
            0x00,
            0x00,
            0x00,
            0x00,
            startMode,
            outputFlags,
            baudCode};
}

TEST(ReceiverCommand, ReaderFindsTheCommandAmongGarbageAtEverySplit)
{
    const std::vector<std::uint8_t> command = InitCommand(2, 0x7F, 1);
    std::vector<std::uint8_t> bytes = {'h', 'e', 'l', 'l', 'o', 0x10, 0x03, 0x10};
    const auto good = FramePacket(command);
    bytes.insert(bytes.end(), good.begin(), good.end());
    auto bad = FramePacket(command);
    bad[bad.size() - 3] ^= 0x01;  // checksum
    bytes.insert(bytes.end(), bad.begin(), bad.end());
    bytes.insert(bytes.end(), {0xFF, 0x00, 0x10});
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut)
    {
        CCommandReader reader;
        auto first = reader.Feed(std::span<const std::uint8_t>(bytes).first(cut));
        auto second = reader.Feed(std::span<const std::uint8_t>(bytes).subspan(cut));
        first.insert(first.end(), second.begin(), second.end());
        ASSERT_EQ(first.size(), 1U) << "cut " << cut;
        EXPECT_EQ(first.front(), command);
        EXPECT_EQ(reader.BadFrames(), 1U);
        EXPECT_GE(reader.IgnoredBytes(), 7U);
        const auto decoded = DecodeInitCommand(first.front());
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(decoded->week, 0x1010);
        EXPECT_EQ(decoded->timeOfWeek, 10000U);
        EXPECT_EQ(decoded->x, 250);
        EXPECT_EQ(decoded->y, 1215);
    }
}

TEST(ReceiverCommand, RandomBytesAreCountedAndNeverUpsetTheReceiver)
{
    std::mt19937 rng(12);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 20000; ++i)
    {
        const int r = byte(rng);
        if (r < 8)  // frame boundaries often enough that random frames form
            bytes.insert(bytes.end(), {0x10, static_cast<std::uint8_t>(r < 4 ? 0x02 : 0x03)});
        else if (r < 12)  // and now and then a real command with random flags
        {
            const auto frame = FramePacket(InitCommand(static_cast<std::uint8_t>(byte(rng)),
                                                       static_cast<std::uint8_t>(byte(rng)),
                                                       static_cast<std::uint8_t>(byte(rng))));
            bytes.insert(bytes.end(), frame.begin(), frame.end());
        }
        else
            bytes.push_back(static_cast<std::uint8_t>(byte(rng)));
    }
    CSimStream stream(simtest::Options(SimProtocol::Test));
    CCommandReader reader;
    std::size_t commands = 0;
    for (std::size_t at = 0; at < bytes.size(); at += 61)
    {
        const auto chunk =
            std::span<const std::uint8_t>(bytes).subspan(at, std::min<std::size_t>(61, bytes.size() - at));
        for (const auto& message : reader.Feed(chunk))
        {
            const CommandEffect effect = stream.Apply(message);
            EXPECT_EQ(effect.text.find('\n'), std::string::npos);
            EXPECT_TRUE(effect.baud == 0 || effect.baud == 4800 || effect.baud == 9600 ||
                        effect.baud == 19200 || effect.baud == 38400);
            ++commands;
        }
        std::vector<std::uint8_t> out;
        stream.Next(out);
        const bool silenced = stream.Protocol() == SimProtocol::Nmea && (stream.NmeaSelection() & 0x3F) == 0;
        EXPECT_EQ(out.empty(), silenced);
    }
    EXPECT_GT(commands, 50U);
    EXPECT_GT(reader.IgnoredBytes(), 10000U);
    EXPECT_GT(reader.BadFrames(), 0U);
}

std::string NextEpochText(CSimStream& stream)
{
    std::vector<std::uint8_t> bytes;
    stream.Next(bytes);
    return {bytes.begin(), bytes.end()};
}

TEST(ReceiverCommand, OutputFlagsSelectProtocolSentencesAndChecksums)
{
    CSimStream stream(simtest::Options(SimProtocol::Nmea));
    EXPECT_NE(NextEpochText(stream).find("$GPGSV"), std::string::npos);

    CommandEffect effect = stream.Apply(InitCommand(0, 0x01, 2));  // GGA only, no checksums, 19200
    EXPECT_EQ(effect.baud, 19200);
    EXPECT_NE(effect.text.find("GGA without checksums"), std::string::npos) << effect.text;
    std::string text = NextEpochText(stream);
    EXPECT_EQ(text.rfind("$GPGGA,", 0), 0U);
    EXPECT_EQ(text.find('*'), std::string::npos);
    EXPECT_EQ(text.find("\r\n"), text.size() - 2);

    effect = stream.Apply(InitCommand(0, 0x80, 7));  // binary; unknown baud code keeps the rate
    EXPECT_EQ(effect.baud, 0);
    EXPECT_EQ(stream.Protocol(), SimProtocol::Binary);
    text = NextEpochText(stream);
    ASSERT_GE(text.size(), 2U);
    EXPECT_EQ(text[0], '\x10');
    EXPECT_EQ(text[1], '\x02');

    const std::array<std::uint8_t, 3> notACommand = {0x42, 1, 2};
    EXPECT_NE(stream.Apply(notACommand).text.find("ignored"), std::string::npos);
}

// Seconds from a restart in `mode` until the receiver's own fix is back.
double TimeToFix(std::uint8_t mode)
{
    CSimStream stream(simtest::Options(SimProtocol::Binary));
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 60; ++i)
        stream.Next(bytes);
    EXPECT_TRUE(stream.LastEpoch().fix.valid);
    const double restartAt = stream.Next(bytes);
    (void)stream.Apply(InitCommand(mode, 0x80, 0));
    for (;;)
    {
        const double at = stream.Next(bytes);
        if (stream.LastEpoch().fix.valid)
            return at - restartAt;
        if (at - restartAt > 300.0)
            return 1e9;
    }
}

TEST(ReceiverCommand, StartModesRestartTrackingColdTakingLongest)
{
    const double hot = TimeToFix(1), warm = TimeToFix(2), cold = TimeToFix(3);
    EXPECT_LT(hot, 12.0);
    EXPECT_GT(warm, hot);
    EXPECT_GT(warm, 18.0);
    EXPECT_GT(cold, warm);
    EXPECT_LT(cold, 120.0);
}

// Reads from `fd` until `pattern` appears or `seconds` pass.
bool ReadUntil(int fd, std::string_view pattern, double seconds, std::string& got)
{
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    std::array<char, 512> buf{};
    while (std::chrono::steady_clock::now() < deadline)
    {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0)
        {
            const ssize_t n = ::read(fd, buf.data(), buf.size());
            if (n > 0)
                got.append(buf.data(), static_cast<std::size_t>(n));
        }
        if (got.find(pattern) != std::string::npos)
            return true;
    }
    return false;
}

TEST(ReceiverCommand, InitCommandOverAPseudoTerminalSwitchesTheOutput)
{
    SimulatedReceiverOptions options;
    options.stream = simtest::Options(SimProtocol::Nmea);
    options.baud = 38400;
    CSimulatedReceiver receiver(options);
    std::mutex mutex;
    std::vector<std::string> lines;
    receiver.SetLog(
        [&](const std::string& line)
        {
            const std::lock_guard lock(mutex);
            lines.push_back(line);
        });
    std::string error;
    ASSERT_TRUE(receiver.Start(error)) << error;
    const int fd = ::open(receiver.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B38400);

    std::string got;
    EXPECT_TRUE(ReadUntil(fd, "$GPGGA", 3.0, got));

    const std::string garbage = "garbage\x10\x05";
    ASSERT_EQ(::write(fd, garbage.data(), garbage.size()), static_cast<ssize_t>(garbage.size()));
    const auto frame = FramePacket(InitCommand(1, 0x80, 1));
    ASSERT_EQ(::write(fd, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
    got.clear();
    EXPECT_TRUE(ReadUntil(fd, std::string("\x10\x02", 2), 3.0, got));
    EXPECT_EQ(receiver.Baud(), 9600);
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B9600);
    EXPECT_EQ(receiver.Commands(), 1U);
    EXPECT_GE(receiver.IgnoredBytes(), garbage.size() - 1);
    receiver.Stop();
    ::close(fd);
    const std::lock_guard lock(mutex);
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_NE(lines.front().find("start hot"), std::string::npos) << lines.front();
    EXPECT_NE(lines.front().find("baud 9600"), std::string::npos) << lines.front();
}

}  // namespace
