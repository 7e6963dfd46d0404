// Frame extraction and the packet check: every case runs at every split of its bytes, since a
// serial read may cut a frame anywhere.
#include <gtest/gtest.h>

#include <numeric>

#include "ProtocolTestSupport.h"
#include "app/CTraceFile.h"

using namespace testing_support;

namespace
{
const std::vector<std::uint8_t> kNavMessage = []
{
    std::vector<std::uint8_t> m{kIdNav};
    Put16(m, 1000);
    Put32(m, 123456);
    Put32(m, 1);
    Put32(m, static_cast<std::uint32_t>(-2));
    Put32(m, 3);
    Put16(m, 4);
    Put16(m, static_cast<std::uint16_t>(-5));
    Put16(m, 6);
    m.push_back(7);
    Put16(m, 205);
    return m;
}();

std::vector<std::uint8_t> Frame(std::span<const std::uint8_t> message)
{
    return FramePacket(message);
}

// A frame whose raw content is given (no stuffing applied), for broken lengths and checksums.
std::vector<std::uint8_t> RawFrame(std::vector<std::uint8_t> content)
{
    std::vector<std::uint8_t> f{0x10, 0x02};
    for (auto b : content)
    {
        f.push_back(b);
        if (b == 0x10)
            f.push_back(0x10);
    }
    f.push_back(0x10);
    f.push_back(0x03);
    return f;
}

// Over 255 content bytes, whose last five would wrap onto the front and form a valid packet.
std::vector<std::uint8_t> WrappingFrame()
{
    std::vector<std::uint8_t> content(256, 0x20);
    for (const int b : {0x05, 0x0B, 0x01, 0x02, 0x0E})
        content.push_back(static_cast<std::uint8_t>(b));
    return RawFrame(content);
}

struct FramingCase
{
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::vector<int> expected;
};

const std::vector<FramingCase> kFramingCases = {
    {"good frame", Frame(kNavMessage), {1}},
    {"leading garbage", Concat({Bytes("\x01\x03xyz\x10\x10\x02"), Frame(kNavMessage)}), {1}},
    {"bad checksum", RawFrame({0x05, 0x0B, 0x01, 0x02, 0x10}), {}},
    {"good checksum, unknown id", RawFrame({0x05, 0x0B, 0x01, 0x02, 0x0E}), {1}},
    {"length byte past the content", RawFrame({0x09, 0x0B, 0x01, 0x02, 0x0E}), {}},
    {"length byte short of the content", RawFrame({0x04, 0x0B, 0x01, 0x02, 0x0E}), {}},
    {"stuffed content and checksum",
     Frame(std::vector<std::uint8_t>{0x0B, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10,
                                     0x10, 0x10, 0x10, 0x10, 0x10, 0x05}),
     {1}},
    {"frames back to back", Concat({Frame(kNavMessage), Frame(kNavMessage)}), {1, 1}},
    {"frame cut by a new start",
     Concat({std::vector<std::uint8_t>{0x10, 0x02, 0x1E, 0x02, 0x01}, Frame(kNavMessage)}),
     {1}},
    {"single DLE drops the frame",
     Concat({std::vector<std::uint8_t>{0x10, 0x02, 0x05, 0x0B, 0x10, 0x41, 0x02, 0x0E, 0x10, 0x03},
             Frame(kNavMessage)}),
     {1}},
    {"DLE DLE STX outside a frame is no start",
     Concat({Bytes("\x10\x10\x02\x05\x0B\x01\x02\x0E\x10\x03")}),
     {}},
    {"empty frame", Bytes(std::string_view("\x10\x02\x10\x03", 4)), {}},
    {"over 255 content bytes never pass", Concat({WrappingFrame(), Frame(kNavMessage)}), {1}},
    {"noise, then a frame",
     Concat({std::vector<std::uint8_t>(300, 0x10), Bytes("\x03"), Frame(kNavMessage)}),
     {1}},
};
}  // namespace

TEST(CDataFraming, SameResultsForEverySplitPoint)
{
    for (const auto& c : kFramingCases)
        for (std::size_t cut = 0; cut <= c.bytes.size(); ++cut)
        {
            CData set;
            std::vector<int> got;
            const std::span<const std::uint8_t> all{c.bytes};
            FeedAll(set, all.first(cut), got);
            FeedAll(set, all.subspan(cut), got);
            EXPECT_EQ(got, c.expected) << c.name << ", cut at " << cut;
        }
}

TEST(CDataFraming, OneBytePerReadImportsOnTheClosingEtx)
{
    for (const auto& c : kFramingCases)
    {
        CData set;
        std::vector<int> got;
        for (std::size_t i = 0; i < c.bytes.size(); ++i)
        {
            const std::size_t before = got.size();
            FeedAll(set, std::span(c.bytes).subspan(i, 1), got);
            if (got.size() != before)
            {
                EXPECT_EQ(c.bytes[i], 0x03) << c.name << " imported at byte " << i;
            }
        }
        EXPECT_EQ(got, c.expected) << c.name;
    }
}

TEST(CDataFraming, OneCallPerFrameWithThePositionAfterItsEtx)
{
    const auto one = Frame(kNavMessage);
    const auto both = Concat({one, one});
    CData set;
    std::string diagnostic;
    ChunkRef chunk{both.data(), both.size()};
    EXPECT_EQ(set.BuildBinaryDataPacket(chunk, diagnostic, 0, kImportReceiver), kImportAccepted);
    EXPECT_EQ(chunk.position, both.data() + one.size());
    EXPECT_EQ(chunk.count, one.size());
    EXPECT_EQ(set.BuildBinaryDataPacket(chunk, diagnostic, 0, kImportReceiver), kImportAccepted);
    EXPECT_EQ(chunk.position, nullptr);
    EXPECT_EQ(chunk.count, 0U);
}

TEST(CDataFraming, SequenceNumberAdvancesForRejectedFramesToo)
{
    CData set;
    std::vector<int> got;
    const std::uint32_t before = g_packetCounter.load();
    FeedAll(set, Frame(kNavMessage), got);
    EXPECT_EQ(set.sequence, before);
    FeedAll(set, RawFrame({0x05, 0x0B, 0x01, 0x02, 0x10}), got);
    EXPECT_EQ(set.sequence, before + 1);
    EXPECT_EQ(g_packetCounter.load(), before + 2);
    EXPECT_EQ(set.GetCounters().framesCompleted, 2U);
    EXPECT_EQ(set.GetCounters().rejectedChecksum, 1U);
}

TEST(CDataFraming, RejectedPacketLeavesClearedRecords)
{
    CData set;
    std::vector<int> got;
    FeedAll(set, Frame(kNavMessage), got);
    ASSERT_EQ(set.currentId, kIdNav);
    ASSERT_EQ(set.nav.week, 1000);
    FeedAll(set, RawFrame({0x05, 0x0B, 0x01, 0x02, 0x10}), got);
    EXPECT_EQ(set.currentId, 0);
    EXPECT_EQ(set.nav.week, 0);
    EXPECT_EQ(set.nav.timeOfWeek, 0);
    EXPECT_EQ(set.SelectedTime(), TimeSelection::None);
}

TEST(CDataFraming, DiagnosticsOnlyWithTheDebugSwitch)
{
    struct Restore
    {
        ~Restore() { vrn::SetDebugSwitch(false); }
    } restore;
    const auto singleDle = std::vector<std::uint8_t>{0x10, 0x02, 0x05, 0x10, 0x41};
    const auto badLength = RawFrame({0x06, 0x0B, 0x01, 0x02, 0x0E});
    for (const bool debug : {false, true})
    {
        vrn::SetDebugSwitch(debug);
        CData set;
        std::string diagnostic;
        ChunkRef chunk{singleDle.data(), singleDle.size()};
        EXPECT_EQ(set.BuildBinaryDataPacket(chunk, diagnostic, 0, kImportReceiver), 0);
        EXPECT_EQ(diagnostic, debug ? "Single DLE encountered in message." : "");
        chunk = {badLength.data(), badLength.size()};
        EXPECT_EQ(set.BuildBinaryDataPacket(chunk, diagnostic, 0, kImportReceiver), 0);
        EXPECT_EQ(diagnostic, debug ? "Bad byte count: actual=5 specified=6" : "");
        // A bad checksum never produces a text.
        const auto badSum = RawFrame({0x05, 0x0B, 0x01, 0x02, 0x10});
        chunk = {badSum.data(), badSum.size()};
        EXPECT_EQ(set.BuildBinaryDataPacket(chunk, diagnostic, 0, kImportReceiver), 0);
        EXPECT_EQ(diagnostic, "");
        EXPECT_EQ(set.GetCounters().framingErrors, 1U);
        EXPECT_EQ(set.GetCounters().rejectedLength, 1U);
    }
}

TEST(CDataFraming, ImportBinaryPacketChecksContentFromAnywhere)
{
    CData set;
    std::string diagnostic;
    const std::vector<std::uint8_t> good{0x05, 0x0B, 0x01, 0x02, 0x0E};
    EXPECT_EQ(set.ImportBinaryPacket(good, diagnostic, 0, kImportReceiver), kImportAccepted);
    EXPECT_EQ(set.currentId, 0x0B);
    const std::vector<std::uint8_t> bad{0x05, 0x0B, 0x01, 0x02, 0x10};
    EXPECT_EQ(set.ImportBinaryPacket(bad, diagnostic, 0, kImportReceiver), kImportRejected);
    EXPECT_EQ(set.ImportBinaryPacket({}, diagnostic, 0, kImportReceiver), kImportRejected);
    const std::vector<std::uint8_t> huge(300, 0);
    EXPECT_EQ(set.ImportBinaryPacket(huge, diagnostic, 0, kImportReceiver), kImportRejected);
}

TEST(CDataFraming, NavigationModeAcceptsEveryIdWithoutDecodingReceiverRecords)
{
    CData set;
    std::vector<int> got;
    FeedAll(set, Frame(kNavMessage), got, kImportNavigation);
    EXPECT_EQ(got, std::vector<int>{1});
    EXPECT_EQ(set.currentId, kIdNav);
    EXPECT_EQ(set.nav.week, 0);
}

namespace
{
class CollectingSink : public IByteSink
{
public:
    int Write(std::span<const std::uint8_t> bytes) override
    {
        writes.emplace_back(bytes.begin(), bytes.end());
        return 1;
    }
    std::vector<std::vector<std::uint8_t>> writes;
};
}  // namespace

TEST(Framing, CommandSummingToDleGoesOutStuffedInThreeWrites)
{
    std::vector<std::uint8_t> command(kInitCommandSize, 0);
    command[0] = kIdInitCommand;  // 0x80
    command[1] = 0x90;            // 0x80 + 0x90 = 0x110: checksum 0x10
    CollectingSink sink;
    SendFramedPacket(sink, command);
    ASSERT_EQ(sink.writes.size(), 3U);
    EXPECT_EQ(sink.writes[0], (std::vector<std::uint8_t>{0x10, 0x02, 0x14}));
    EXPECT_EQ(sink.writes[1], command);
    EXPECT_EQ(sink.writes[2], (std::vector<std::uint8_t>{0x10, 0x10, 0x10, 0x03}));
    EXPECT_EQ(FramePacket(command), Concat({sink.writes[0], sink.writes[1], sink.writes[2]}));
}

TEST(Framing, FramedMessagesComeBackUnchanged)
{
    // Every byte value in the data, DLEs included.
    std::vector<std::uint8_t> message{kIdSubframe};
    message.resize(200);
    std::iota(message.begin() + 1, message.end(), std::uint8_t{0});
    CData set;
    std::vector<int> got;
    FeedAll(set, FramePacket(message), got);
    EXPECT_EQ(got, std::vector<int>{1});
    EXPECT_EQ(set.subframe.prn, 0);
    EXPECT_EQ(set.subframe.words[0], 0x04030201U);
    EXPECT_TRUE(FramePacket(std::vector<std::uint8_t>(254, 1)).empty());
}

namespace
{
class TraceLines : public vrn::ITraceSink
{
public:
    void AddText(const std::string& text) override { all += text; }
    std::string all;
};
}  // namespace

TEST(CDataFraming, ExtractionIsATracedScope)
{
    TraceLines sink;
    CTraceFile::SwitchToMessagingView(&sink);  // before the switch: nothing goes to a file
    vrn::SetTraceSwitch(true);
    CData set;
    std::vector<int> got;
    const auto frame = Frame(kNavMessage);
    FeedAll(set, std::span(frame).first(5), got);
    FeedAll(set, std::span(frame).subspan(5), got);
    vrn::SetTraceSwitch(false);
    CTraceFile::UnregisterMessagingView(&sink);

    const std::string entering = "Entering [CData::BuildBinaryDataPacket]\n\n";
    const std::string notFound =
        "| \nComplete packet not found in current packet.  Import not performed.  Data packet not "
        "cleared.\n\n";
    const std::string found = "| \nComplete packet found.  Beginning import.\n\n";
    const std::string completed = "| \nImport completed.  Return code: 1 (good).\n\n";
    const std::string exiting = "Exiting [CData::BuildBinaryDataPacket]\n\n";
    EXPECT_EQ(sink.all, entering + notFound + exiting + entering + found + completed + exiting);
}
