// The initialisation command: field values from the settings, the 18 wire bytes in both byte orders,
// the baud code per command code, and GPS time from the PC clock.
#include <gtest/gtest.h>

#include <vector>

#include "link/ReceiverCommand.h"

namespace vrn
{
namespace
{
ReceiverInitFields DefaultsWithNmea()
{
    ReceiverInitFields init;
    init.x = 250;
    init.y = 1215;
    init.z = 0;
    init.resetMode = 1;
    init.protocol = 0;
    init.enableGga = init.enableGll = init.enableGsa = init.enableGsv = init.enableRmc = init.enableVtg = 1;
    init.enableChecksum = 1;
    return init;
}

std::vector<std::uint8_t> Bytes(const InitCommandRecord& command, bool swap)
{
    const auto bytes = EncodeInitCommand(command, swap);
    return {bytes.begin(), bytes.end()};
}

TEST(ReceiverCommand, DefaultSettingsGiveTheKnownEighteenBytes)
{
    auto init = DefaultsWithNmea();
    init.clock = 0x1234;
    const auto command = BuildInitCommand(init, "4800", kCommandConfiguredBaud, 0);
    const std::vector<std::uint8_t> expected{0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFA, 0x00,
                                             0xBF, 0x04, 0x00, 0x00, 0x34, 0x12, 0x02, 0x7F, 0x00};
    EXPECT_EQ(Bytes(command, false), expected);
}

TEST(ReceiverCommand, ByteOrderFlagReversesEveryWideField)
{
    auto init = DefaultsWithNmea();
    init.weekNo = 1000;
    init.tow = 1;  // 100 hundredths
    init.clock = -2;
    const auto command = BuildInitCommand(init, "4800", kCommandConfiguredBaud, 0);
    const auto little = Bytes(command, false);
    const auto big = Bytes(command, true);
    EXPECT_EQ((std::vector<std::uint8_t>{big[1], big[2]}), (std::vector<std::uint8_t>{0x03, 0xE8}));
    EXPECT_EQ((std::vector<std::uint8_t>{little[1], little[2]}), (std::vector<std::uint8_t>{0xE8, 0x03}));
    EXPECT_EQ((std::vector<std::uint8_t>(big.begin() + 3, big.begin() + 7)),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0x64}));
    EXPECT_EQ((std::vector<std::uint8_t>(big.begin() + 7, big.begin() + 9)),
              (std::vector<std::uint8_t>{0x00, 0xFA}));
    EXPECT_EQ((std::vector<std::uint8_t>(big.begin() + 13, big.begin() + 15)),
              (std::vector<std::uint8_t>{0xFF, 0xFE}));
    EXPECT_EQ(big[0], 0x80);
    EXPECT_EQ(big[17], little[17]);
}

TEST(ReceiverCommand, CommandCodeChoosesTheBaudCode)
{
    const auto init = DefaultsWithNmea();
    struct Case
    {
        int code;
        const char* configured;
        std::uint8_t expected;
    };
    for (const auto& c : {Case{9, "4800", 0}, Case{9, "9600", 1}, Case{9, "19200", 2}, Case{9, "38400", 3},
                          Case{9, "57600", 0}, Case{9, "", 0}, Case{0, "38400", 0}, Case{1, "4800", 1},
                          Case{2, "4800", 2}, Case{3, "9600", 3}, Case{4, "38400", 0}, Case{-1, "9600", 0}})
        EXPECT_EQ(BuildInitCommand(init, c.configured, c.code, 0).baudCode, c.expected)
            << "code " << c.code << " configured " << c.configured;
}

TEST(ReceiverCommand, StartModeAndOutputFlagsFollowTheSettings)
{
    auto init = DefaultsWithNmea();
    for (int mode = 0; mode <= 3; ++mode)
    {
        init.resetMode = mode;
        EXPECT_EQ(BuildInitCommand(init, "4800", 9, 0).startMode, mode + 1);
    }
    init.resetMode = 4;
    EXPECT_EQ(BuildInitCommand(init, "4800", 9, 0).startMode, 0);
    init.resetMode = -1;
    EXPECT_EQ(BuildInitCommand(init, "4800", 9, 0).startMode, 0);

    ReceiverInitFields flags;
    flags.enableGsa = 5;  // any non-zero value sets its bit
    flags.protocol = 2;
    EXPECT_EQ(BuildInitCommand(flags, "4800", 9, 0).outputFlags, 0x84);
}

TEST(ReceiverCommand, EnteredTimeOfWeekIsScaledInSixtyFourBits)
{
    ReceiverInitFields init;
    init.weekNo = 70000;    // 16 bits on the wire
    init.tow = 50'000'000;  // 5e9 hundredths: past 2^32
    const auto command = BuildInitCommand(init, "4800", 9, 0);
    EXPECT_EQ(command.week, 70000 - 65536);
    EXPECT_EQ(command.timeOfWeek, static_cast<std::uint32_t>(5'000'000'000ULL & 0xFFFFFFFFULL));
    init.tow = 604799;
    EXPECT_EQ(BuildInitCommand(init, "4800", 9, 0).timeOfWeek, 60479900u);
    init.clock = 0x12345;  // low 16 bits only
    EXPECT_EQ(static_cast<std::uint16_t>(BuildInitCommand(init, "4800", 9, 0).clock), 0x2345);
}

TEST(ReceiverCommand, PcClockGivesFullGpsWeekAndHundredths)
{
    ReceiverInitFields init;
    init.useDosTime = 1;
    init.weekNo = 5;  // ignored with the PC clock
    init.tow = 7;
    struct Case
    {
        std::int64_t seconds;
        std::uint16_t week;
        std::uint32_t timeOfWeek;
    };
    for (const auto& c : {Case{315964800, 0, 0},     // 1980-01-06 00:00:00
                          Case{935280000, 1024, 0},  // 1999-08-22: not folded to 0
                          Case{935280000 + 3 * 86400 + 61, 1024, (3u * 86400u + 61u) * 100u},
                          Case{1'700'000'000, 2288, 25'280'000u}})  // Tue 2023-11-14 22:13:20
    {
        const auto command = BuildInitCommand(init, "4800", 9, c.seconds);
        EXPECT_EQ(command.week, c.week) << c.seconds;
        EXPECT_EQ(command.timeOfWeek, c.timeOfWeek) << c.seconds;
    }
}
}  // namespace
}  // namespace vrn
