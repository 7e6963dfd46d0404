// The chunk loop: what is logged and which record messages reach the views, per protocol mode and port.
#include <gtest/gtest.h>

#include <vector>

#include "app/CoreServices.h"
#include "link/ChunkParser.h"
#include "link/Notifications.h"
#include "protocol/Framing.h"

namespace
{
struct Notice
{
    unsigned message;
    unsigned wParam;
    int id;
    bool operator==(const Notice&) const = default;
};

class RecordingSink : public vrn::IChunkSink
{
public:
    void Activity(unsigned code) override { activity.push_back(code); }
    void NotifyViews(unsigned message, unsigned wParam, const CData& set) override
    {
        notices.push_back({message, wParam, set.currentId});
    }
    std::vector<unsigned> activity;
    std::vector<Notice> notices;
};

class RecordingLog : public vrn::IPortLog
{
public:
    RecordingLog() { vrn::SetPortLog(this); }
    ~RecordingLog() override { vrn::SetPortLog(nullptr); }
    RecordingLog(const RecordingLog&) = delete;
    RecordingLog& operator=(const RecordingLog&) = delete;
    void WriteRecord(const CData& set, int port) override { records.emplace_back(set.currentId, port); }
    int WriteSentence(int kind, std::string& text, int port) override
    {
        text += '\n';
        sentences.emplace_back(kind, port);
        return 1;
    }
    std::vector<std::pair<int, int>> records;
    std::vector<std::pair<int, int>> sentences;
};

std::vector<std::uint8_t> Frame(std::uint8_t id, std::size_t dataBytes = 4)
{
    std::vector<std::uint8_t> message(dataBytes + 1, 0);
    message[0] = id;
    return FramePacket(message);
}

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts)
{
    std::vector<std::uint8_t> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<std::uint8_t> Text(std::string_view s)
{
    return {s.begin(), s.end()};
}
}  // namespace

TEST(ChunkParser, BinaryPacketsLoggedAndSentOnePerImport)
{
    RecordingLog log;
    for (const int port : {0, 1})
    {
        log.records.clear();
        vrn::ParseContext context;
        RecordingSink sink;
        const auto chunk = Join({Frame(kIdNav, 27), Frame(kIdStatus, 44), Frame(11, 1)});
        vrn::ParseChunk(context, chunk, port, vrn::kModeBinary, sink);
        const unsigned source = port == 0 ? vrn::kSourcePort1 : vrn::kSourcePort2;
        EXPECT_EQ(sink.activity, std::vector<unsigned>{port == 0 ? vrn::kMsgActivity1 : vrn::kMsgActivity2});
        EXPECT_EQ(sink.notices, (std::vector<Notice>{{vrn::kMsgBinaryData, source, kIdNav},
                                                     {vrn::kMsgBinaryData, source, kIdStatus},
                                                     {vrn::kMsgBinaryData, source, 11}}));
        EXPECT_EQ(log.records,
                  (std::vector<std::pair<int, int>>{{kIdNav, port}, {kIdStatus, port}, {11, port}}));
    }
}

TEST(ChunkParser, NmeaChunkNotifiesOnlyWhenItEndsWithGga)
{
    RecordingLog log;
    vrn::ParseContext context;
    RecordingSink sink;
    vrn::ParseChunk(context, Text("$GPRMC,1,A*00\r\n$GPGSV,1,1,0*00\r\n"), 1, vrn::kModeNmea, sink);
    EXPECT_TRUE(sink.notices.empty());
    EXPECT_EQ(log.sentences, (std::vector<std::pair<int, int>>{{5, 1}, {4, 1}}));
    vrn::ParseChunk(context, Text("$GPRMC,1,A*00\r\n$GPGGA,1*00\r\n"), 1, vrn::kModeNmea, sink);
    EXPECT_EQ(sink.notices, (std::vector<Notice>{{vrn::kMsgNmeaData, vrn::kSourceNmea2, 0}}));
}

TEST(ChunkParser, TestModeNotifiesTheReceiverSetWithoutLogging)
{
    RecordingLog log;
    vrn::ParseContext context;
    RecordingSink sink;
    const auto chunk = Join({Frame(kIdMeas, 9), Frame(kIdSv, 7)});
    vrn::ParseChunk(context, chunk, 0, vrn::kModeTest, sink);
    // The measurement message also runs a navigation epoch: the own set goes out as receiver 2's
    // NAV, DOP, SV and MEAS records.
    EXPECT_EQ(sink.notices, (std::vector<Notice>{{vrn::kMsgBinaryData, vrn::kSourcePort1, kIdMeas},
                                                 {vrn::kMsgBinaryData, vrn::kSourcePort2, kIdNav},
                                                 {vrn::kMsgBinaryData, vrn::kSourcePort2, kIdDop},
                                                 {vrn::kMsgBinaryData, vrn::kSourcePort2, kIdSv},
                                                 {vrn::kMsgBinaryData, vrn::kSourcePort2, kIdMeas},
                                                 {vrn::kMsgBinaryData, vrn::kSourcePort1, kIdSv}}));
    EXPECT_TRUE(log.records.empty());
    // Both sets went through the same frames.
    EXPECT_EQ(context.own.GetCounters().framesCompleted, 2U);
    EXPECT_EQ(context.receiver.GetCounters().framesCompleted, 2U);
}

TEST(ChunkParser, PortTwoReadsTestModeAsBinary)
{
    RecordingLog log;
    vrn::ParseContext context;
    RecordingSink sink;
    vrn::ParseChunk(context, Frame(kIdMeas, 9), 1, vrn::kModeTest, sink);
    EXPECT_EQ(sink.notices, (std::vector<Notice>{{vrn::kMsgBinaryData, vrn::kSourcePort2, kIdMeas}}));
    EXPECT_EQ(log.records, (std::vector<std::pair<int, int>>{{kIdMeas, 1}}));
    EXPECT_EQ(context.own.GetCounters().framesCompleted, 0U);
}

// A protocol mode outside 0..4 (a hand-edited profile) reads as binary on either port: the same
// records, notified and logged as in mode 1, and no own solution.
TEST(ChunkParser, ModesOutsideTheKnownOnesReadAsBinary)
{
    const auto chunk = Join({Frame(kIdMeas, 9), Frame(kIdNav, 27), Frame(11, 1)});
    for (const int port : {0, 1})
    {
        RecordingLog expectedLog;
        vrn::ParseContext binaryContext;
        RecordingSink binary;
        vrn::ParseChunk(binaryContext, chunk, port, vrn::kModeBinary, binary);
        const auto expectedRecords = expectedLog.records;
        ASSERT_EQ(binary.notices.size(), 3U);
        for (const int mode : {7, 99, -1, 1000000})
        {
            RecordingLog log;
            vrn::ParseContext context;
            RecordingSink sink;
            vrn::ParseChunk(context, chunk, port, mode, sink);
            EXPECT_EQ(sink.notices, binary.notices) << "port " << port + 1 << ", mode " << mode;
            EXPECT_EQ(log.records, expectedRecords) << "port " << port + 1 << ", mode " << mode;
            EXPECT_EQ(context.own.GetCounters().framesCompleted, 0U)
                << "port " << port + 1 << ", mode " << mode;
        }
    }
}

// What a port reads in for each protocol setting: the own fix stays receiver 1's (port 2 reads Test
// as binary and UBX Test as UBX), and a value outside 0..4 reads as binary on either port.
TEST(ChunkParser, EffectivePortModes)
{
    struct Case
    {
        int mode, port1, port2;
    };
    const Case cases[] = {
        {vrn::kModeNmea, vrn::kModeNmea, vrn::kModeNmea},
        {vrn::kModeBinary, vrn::kModeBinary, vrn::kModeBinary},
        {vrn::kModeTest, vrn::kModeTest, vrn::kModeBinary},
        {vrn::kModeUbx, vrn::kModeUbx, vrn::kModeUbx},
        {vrn::kModeUbxOwnFix, vrn::kModeUbxOwnFix, vrn::kModeUbx},
        {5, vrn::kModeBinary, vrn::kModeBinary},
        {7, vrn::kModeBinary, vrn::kModeBinary},
        {-1, vrn::kModeBinary, vrn::kModeBinary},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(vrn::EffectivePortMode(0, c.mode), c.port1) << c.mode;
        EXPECT_EQ(vrn::EffectivePortMode(1, c.mode), c.port2) << c.mode;
        EXPECT_EQ(vrn::RunsOwnFix(vrn::EffectivePortMode(1, c.mode)), false) << c.mode;
    }
}

TEST(ChunkParser, DiagnosticIsReportedOnceAndDropsTheRestOfTheChunk)
{
    struct Restore
    {
        ~Restore()
        {
            vrn::SetDebugSwitch(false);
            vrn::SetErrorReporter({});
            vrn::ResetErrorLatch();
        }
    } restore;
    std::vector<std::string> reports;
    vrn::SetErrorReporter(
        [&](const std::string& text)
        {
            reports.push_back(text);
            vrn::ErrorReportClosed();
        });
    vrn::ResetErrorLatch();
    vrn::SetDebugSwitch(true);

    vrn::ParseContext context;
    RecordingSink sink;
    const auto bad = Join({Text("\x10\x02\x05\x10\x41"), Frame(kIdNav, 27)});
    vrn::ParseChunk(context, bad, 0, vrn::kModeBinary, sink);
    EXPECT_TRUE(sink.notices.empty());
    vrn::ParseChunk(context, bad, 0, vrn::kModeBinary, sink);
    EXPECT_EQ(reports, std::vector<std::string>{"Single DLE encountered in message."});
    // Without the debug switch the frame after the error is imported.
    vrn::SetDebugSwitch(false);
    vrn::ParseChunk(context, bad, 0, vrn::kModeBinary, sink);
    EXPECT_EQ(sink.notices.size(), 1U);
}

TEST(ChunkParser, EmptyChunkOnlyCountsActivity)
{
    vrn::ParseContext context;
    RecordingSink sink;
    vrn::ParseChunk(context, {}, 0, vrn::kModeBinary, sink);
    EXPECT_EQ(sink.activity.size(), 1U);
    EXPECT_TRUE(sink.notices.empty());
}
