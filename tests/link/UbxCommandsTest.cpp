// Commands to u-blox receivers: every frame byte for byte against frames put together by hand from
// the message layouts (checksums worked out on paper), and the queue that sends them one at a
// time, each waiting up to 2 s for its answer.
#include <gtest/gtest.h>

#include "link/UbxCommands.h"
#include "protocol/UbxFrame.h"

namespace
{
using namespace vrn;
using Bytes = std::vector<std::uint8_t>;

TEST(UbxCommands, FramesByteForByte)
{
    struct Case
    {
        const char* name;
        UbxCommand command;
        Bytes frame;
    };
    const std::pair<UbxOutput, bool> outputs[] = {{UbxOutput::Rawx, true},
                                                  {UbxOutput::Sfrbx, false},
                                                  {UbxOutput::NavPvt, true},
                                                  {UbxOutput::NavSat, false}};
    const auto m8 = UbxOutputCommands(UbxGeneration::M8, outputs);
    const auto f9 = UbxOutputCommands(UbxGeneration::F9, outputs);
    ASSERT_EQ(m8.size(), 4U);
    ASSERT_EQ(f9.size(), 1U);
    const Case cases[] = {
        {"hot start", UbxStartCommand(UbxStart::Hot),
         {0xB5, 0x62, 0x06, 0x04, 0x04, 0x00, 0x00, 0x00, 0x02, 0x00, 0x10, 0x68}},
        {"warm start", UbxStartCommand(UbxStart::Warm),
         {0xB5, 0x62, 0x06, 0x04, 0x04, 0x00, 0x01, 0x00, 0x02, 0x00, 0x11, 0x6C}},
        {"cold start", UbxStartCommand(UbxStart::Cold),
         {0xB5, 0x62, 0x06, 0x04, 0x04, 0x00, 0xFF, 0xFF, 0x02, 0x00, 0x0E, 0x61}},
        {"CFG-PRT 38400", UbxBaudCommand(UbxGeneration::M8, 38400),
         {0xB5, 0x62, 0x06, 0x00, 0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0xD0, 0x08, 0x00, 0x00,
          0x00, 0x96, 0x00, 0x00, 0x07, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x93, 0x90}},
        {"CFG-VALSET UART1 19200", UbxBaudCommand(UbxGeneration::F9, 19200),
         {0xB5, 0x62, 0x06, 0x8A, 0x0C, 0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x52, 0x40, 0x00, 0x4B, 0x00,
          0x00, 0x7B, 0x3E}},
        {"CFG-MSG RXM-RAWX on", m8[0], {0xB5, 0x62, 0x06, 0x01, 0x03, 0x00, 0x02, 0x15, 0x01, 0x22, 0x70}},
        {"CFG-MSG NAV-SAT off", m8[3], {0xB5, 0x62, 0x06, 0x01, 0x03, 0x00, 0x01, 0x35, 0x00, 0x40, 0xAC}},
        {"CFG-VALSET output", f9[0],
         {0xB5, 0x62, 0x06, 0x8A, 0x2C, 0x00, 0x00, 0x01, 0x00, 0x00, 0xA5, 0x02, 0x91, 0x20, 0x01, 0xA7, 0x02,
          0x91, 0x20, 0x01, 0x32, 0x02, 0x91, 0x20, 0x00, 0x34, 0x02, 0x91, 0x20, 0x00, 0x07, 0x00, 0x91, 0x20,
          0x01, 0x09, 0x00, 0x91, 0x20, 0x01, 0x16, 0x00, 0x91, 0x20, 0x00, 0x18, 0x00, 0x91, 0x20, 0x00, 0x41,
          0x3B}},
        {"MON-VER poll", UbxVersionPoll(), {0xB5, 0x62, 0x0A, 0x04, 0x00, 0x00, 0x0E, 0x34}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.command.frame, c.frame);
        // Each waits for the answer to itself.
        EXPECT_EQ(c.command.answer, ubx::MessageKey(c.frame[2], c.frame[3]));
    }
    EXPECT_EQ(m8[0].label, "CFG-MSG (RXM-RAWX on)");
    EXPECT_EQ(UbxStartCommand(UbxStart::Cold).label, "CFG-RST (cold start)");
    // The older messages when the generation is not known.
    EXPECT_EQ(UbxBaudCommand(UbxGeneration::Unknown, 38400).frame, cases[3].frame);
}

UbxAnswer Ack(std::uint16_t key, bool acknowledged = true)
{
    UbxAnswer a;
    a.key = key;
    a.acknowledged = acknowledged;
    return a;
}

UbxAnswer Version(UbxGeneration generation)
{
    UbxAnswer a;
    a.key = ubx::kMonVer;
    a.acknowledged = true;
    a.generation = generation;
    a.version = "SW EXT CORE 1.00, HW 00190000, PROTVER=27.50";
    return a;
}

std::uint16_t SentKey(const CUbxCommandQueue::Step& step)
{
    return step.write.size() >= 4 ? ubx::MessageKey(step.write[2], step.write[3]) : 0;
}

TEST(UbxCommandQueue, OneCommandAtATimeEachEndedByItsAnswerOrTwoSeconds)
{
    CUbxCommandQueue queue;
    queue.Configure(1, UbxGeneration::M8);
    UbxRequest start;
    start.kind = UbxRequest::Kind::Start;
    start.start = UbxStart::Warm;
    UbxRequest baud;
    baud.kind = UbxRequest::Kind::Baud;
    baud.baud = 9600;
    queue.Enqueue(start);
    queue.Enqueue(baud);
    EXPECT_TRUE(queue.Busy());

    auto step = queue.Pump(1000, {}, UbxGeneration::Unknown);
    EXPECT_EQ(step.write, UbxStartCommand(UbxStart::Warm).frame);
    EXPECT_EQ(step.status.back(), "Receiver 1: CFG-RST (warm start) sent, waiting for the answer");

    // An answer to another message, and time short of 2 s, leave it waiting.
    const UbxAnswer other[] = {Ack(ubx::kCfgMsg)};
    step = queue.Pump(2999, other, UbxGeneration::Unknown);
    EXPECT_TRUE(step.write.empty());
    EXPECT_TRUE(step.status.empty());

    // Its answer ends it; the next goes out at once.
    const UbxAnswer acked[] = {Ack(ubx::kCfgRst)};
    step = queue.Pump(3000, acked, UbxGeneration::Unknown);
    ASSERT_EQ(step.status.size(), 2U);
    EXPECT_EQ(step.status[0], "Receiver 1 acknowledged CFG-RST (warm start)");
    EXPECT_EQ(SentKey(step), ubx::kCfgPrt);

    // A refusal is reported as such.
    const UbxAnswer refused[] = {Ack(ubx::kCfgPrt, false)};
    step = queue.Pump(3100, refused, UbxGeneration::Unknown);
    EXPECT_EQ(step.status.front(), "Receiver 1 refused CFG-PRT (UART1 9600 baud) (ACK-NAK)");
    EXPECT_FALSE(queue.Busy());

    // No answer within 2 s.
    queue.Enqueue(start);
    (void)queue.Pump(5000, {}, UbxGeneration::Unknown);
    step = queue.Pump(6999, {}, UbxGeneration::Unknown);
    EXPECT_TRUE(step.status.empty());
    step = queue.Pump(7000, {}, UbxGeneration::Unknown);
    ASSERT_EQ(step.status.size(), 1U);
    EXPECT_EQ(step.status[0], "Receiver 1: no answer to CFG-RST (warm start) within 2 s (receivers of recent "
                              "firmware restart without one)");
    EXPECT_FALSE(queue.Busy());
}

TEST(UbxCommandQueue, GenerationFromTheSettingFromMonVerOrAssumedOlder)
{
    UbxRequest outputs;
    outputs.kind = UbxRequest::Kind::Outputs;
    outputs.outputs = {true, true, true, true};
    struct Case
    {
        const char* name;
        UbxGeneration setting, known;
        std::vector<UbxAnswer> pollAnswer;  // answers after the MON-VER poll
        std::int64_t pollAnswerAt;
        std::uint16_t expected;  // the output command sent
    };
    const Case cases[] = {
        {"set to F9", UbxGeneration::F9, UbxGeneration::Unknown, {}, 0, ubx::kCfgValSet},
        {"set to M8", UbxGeneration::M8, UbxGeneration::F9, {}, 0, ubx::kCfgMsg},
        {"detected before", UbxGeneration::Unknown, UbxGeneration::F9, {}, 0, ubx::kCfgValSet},
        {"polled: F9", UbxGeneration::Unknown, UbxGeneration::Unknown, {Version(UbxGeneration::F9)}, 100,
         ubx::kCfgValSet},
        {"polled: M8", UbxGeneration::Unknown, UbxGeneration::Unknown, {Version(UbxGeneration::M8)}, 100,
         ubx::kCfgMsg},
        {"poll unanswered", UbxGeneration::Unknown, UbxGeneration::Unknown, {}, 2000, ubx::kCfgMsg},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CUbxCommandQueue queue;
        queue.Configure(2, c.setting);
        queue.Enqueue(outputs);
        auto step = queue.Pump(0, {}, c.known);
        if (c.pollAnswerAt > 0)
        {
            EXPECT_EQ(step.write, UbxVersionPoll().frame);
            step = queue.Pump(c.pollAnswerAt, c.pollAnswer, UbxGeneration::Unknown);
            EXPECT_NE(step.status.front().find("Receiver 2"), std::string::npos);
        }
        EXPECT_EQ(SentKey(step), c.expected);
    }

    // A start needs no generation: no poll goes first.
    CUbxCommandQueue queue;
    UbxRequest start;
    queue.Enqueue(start);
    EXPECT_EQ(SentKey(queue.Pump(0, {}, UbxGeneration::Unknown)), ubx::kCfgRst);
}

TEST(UbxAnswerBox, KeepsTheLatestVersionAndABoundedQueue)
{
    UbxAnswerBox box;
    for (int i = 0; i < 40; ++i)
        box.Post(Ack(ubx::kCfgMsg));
    box.Post(Version(UbxGeneration::F9));
    const auto answers = box.Take();
    EXPECT_EQ(answers.size(), 32U);
    EXPECT_EQ(answers.back().key, ubx::kMonVer);
    EXPECT_TRUE(box.Take().empty());
    EXPECT_EQ(box.Generation(), UbxGeneration::F9);
    EXPECT_EQ(box.Version(), "SW EXT CORE 1.00, HW 00190000, PROTVER=27.50");
    box.Clear();
    EXPECT_EQ(box.Version(), "");
}
}  // namespace
