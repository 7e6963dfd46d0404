// UBX frame extraction from a stream that also carries text: every case runs at every split of its
// bytes into two chunks and byte by byte, since a read may cut a frame anywhere; frames, the text
// between them and the drop counters must come out the same.
#include <gtest/gtest.h>

#include <numeric>

#include "ProtocolTestSupport.h"
#include "protocol/UbxFrame.h"

using namespace testing_support;

namespace
{
std::vector<std::uint8_t> Frame(std::uint8_t cls, std::uint8_t id, std::vector<std::uint8_t> payload)
{
    return ubx::BuildFrame(cls, id, payload);
}

struct Extracted
{
    std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> frames;
    std::string text;
    std::uint64_t badChecksum = 0, tooLong = 0;
};

// Runs `chunks` through one extractor.
Extracted Extract(const std::vector<std::span<const std::uint8_t>>& chunks)
{
    ubx::CUbxExtractor extractor;
    Extracted out;
    for (const auto chunk : chunks)
    {
        ChunkRef ref{chunk.empty() ? nullptr : chunk.data(), chunk.size()};
        for (;;)
        {
            const std::size_t before = ref.count;
            const ubx::Event e = extractor.Next(ref);
            EXPECT_LE(ref.count, before);
            if (e.kind == ubx::Event::Kind::None)
            {
                EXPECT_EQ(ref.position, nullptr);
                break;
            }
            if (e.kind == ubx::Event::Kind::Frame)
                out.frames.emplace_back(e.Key(), std::vector<std::uint8_t>(e.bytes.begin(), e.bytes.end()));
            else
                out.text.append(e.bytes.begin(), e.bytes.end());
        }
    }
    out.badChecksum = extractor.Counters().badChecksum;
    out.tooLong = extractor.Counters().tooLong;
    return out;
}

void ExpectSameAtEverySplit(const std::vector<std::uint8_t>& stream, const Extracted& whole)
{
    const std::span<const std::uint8_t> all(stream);
    for (std::size_t cut = 0; cut <= stream.size(); ++cut)
    {
        const Extracted split = Extract({all.first(cut), all.subspan(cut)});
        ASSERT_EQ(split.frames, whole.frames) << "cut at " << cut;
        ASSERT_EQ(split.text, whole.text) << "cut at " << cut;
        ASSERT_EQ(split.badChecksum, whole.badChecksum) << "cut at " << cut;
        ASSERT_EQ(split.tooLong, whole.tooLong) << "cut at " << cut;
    }
    std::vector<std::span<const std::uint8_t>> bytes;
    for (std::size_t i = 0; i < stream.size(); ++i)
        bytes.push_back(all.subspan(i, 1));
    const Extracted single = Extract(bytes);
    EXPECT_EQ(single.frames, whole.frames);
    EXPECT_EQ(single.text, whole.text);
}

const std::vector<std::uint8_t> kPvtLike = Frame(0x01, 0x07, std::vector<std::uint8_t>(92, 0x11));
const std::vector<std::uint8_t> kAck = Frame(0x05, 0x01, {0x06, 0x04});
const std::vector<std::uint8_t> kEmpty = Frame(0x0A, 0x04, {});
const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

std::vector<std::uint8_t> WithBadChecksum(std::vector<std::uint8_t> frame)
{
    frame.back() ^= 0x5A;
    return frame;
}

struct FramingCase
{
    const char* name;
    std::vector<std::uint8_t> stream;
    std::vector<std::uint16_t> keys;  // frames expected, in order
    std::string text;                 // text expected
    std::uint64_t badChecksum = 0, tooLong = 0;
};

std::vector<FramingCase> Cases()
{
    // A payload full of sync pairs and frame-like bytes is still one frame.
    std::vector<std::uint8_t> syncPayload;
    for (int i = 0; i < 10; ++i)
        syncPayload.insert(syncPayload.end(), {0xB5, 0x62, 0x01, 0x07, 0x04, 0x00});
    // A false sync pair whose length swallows a good frame behind it: the bad checksum gives the
    // bytes back and the good frame is found.
    std::vector<std::uint8_t> falseSync{0xB5, 0x62, 0x01, 0x02, 0x30, 0x00, 0x24};
    // A frame cut short by a lost byte, followed by good frames.
    std::vector<std::uint8_t> cut(kPvtLike.begin(), kPvtLike.end() - 1);
    cut.erase(cut.begin() + 40);
    std::vector<std::uint8_t> limitPayload(ubx::kMaxPayload, 0x42);
    limitPayload[100] = 0xB5;
    limitPayload[101] = 0x62;
    const std::vector<std::uint8_t> tooLong{0xB5, 0x62, 0x02, 0x15, 0x01, 0x20};  // 8193
    const std::vector<std::uint8_t> badPvt = WithBadChecksum(kPvtLike);

    return {
        {"frames and text interleaved", Concat({Bytes(kGga), kPvtLike, Bytes("junk"), kAck, Bytes(kGga)}),
         {ubx::kNavPvt, ubx::kAckAck}, kGga + "junk" + kGga},
        {"an empty payload", Concat({kEmpty, kAck}), {ubx::kMonVer, ubx::kAckAck}, ""},
        {"sync pairs inside a payload", Concat({Frame(0x01, 0x35, syncPayload), kAck}),
         {ubx::kNavSat, ubx::kAckAck}, ""},
        {"bad checksum dropped, next frame kept", Concat({badPvt, kAck}), {ubx::kAckAck},
         std::string(badPvt.begin() + 2, badPvt.end()), 1},
        // What followed the false sync pair comes out again: its header bytes as text, then the rest.
        {"false sync swallowing frames and text", Concat({falseSync, Bytes(kGga), kAck, kPvtLike}),
         {ubx::kAckAck, ubx::kNavPvt}, std::string(falseSync.begin() + 2, falseSync.end()) + kGga, 1},
        {"frame cut short", Concat({cut, kAck, Bytes(kGga), kPvtLike, kAck}),
         {ubx::kAckAck, ubx::kNavPvt, ubx::kAckAck}, std::string(cut.begin() + 2, cut.end()) + kGga, 1},
        {"length at the limit", Concat({Frame(0x02, 0x13, limitPayload), kAck}), {ubx::kRxmSfrbx, ubx::kAckAck},
         ""},
        {"length above the limit", Concat({tooLong, kAck}), {ubx::kAckAck},
         std::string(tooLong.begin() + 2, tooLong.end()), 0, 1},
        {"lone first sync bytes are no text", Concat({Bytes("a\xB5" "c"), {0xB5, 0xB5}, kAck, {0xB5}}),
         {ubx::kAckAck}, "ac"},
    };
}

TEST(UbxFraming, SameFramesTextAndCountsAtEverySplit)
{
    for (const FramingCase& c : Cases())
    {
        SCOPED_TRACE(c.name);
        const Extracted whole = Extract({std::span<const std::uint8_t>(c.stream)});
        std::vector<std::uint16_t> keys;
        for (const auto& f : whole.frames)
            keys.push_back(f.first);
        EXPECT_EQ(keys, c.keys);
        EXPECT_EQ(whole.text, c.text);
        EXPECT_EQ(whole.badChecksum, c.badChecksum);
        EXPECT_EQ(whole.tooLong, c.tooLong);
        ExpectSameAtEverySplit(c.stream, whole);
    }
}

TEST(UbxFraming, PayloadsComeOutAsSent)
{
    std::vector<std::uint8_t> payload(300);
    std::iota(payload.begin(), payload.end(), std::uint8_t{0});
    const auto stream = Concat({Frame(0x02, 0x15, payload), Bytes(kGga)});
    const Extracted out = Extract({std::span<const std::uint8_t>(stream)});
    ASSERT_EQ(out.frames.size(), 1U);
    EXPECT_EQ(out.frames[0].second, payload);
}

TEST(UbxFraming, ChecksumAndFrameBytesByHand)
{
    // CFG-RST cold start: B5 62 06 04 04 00 FF FF 02 00, checksum over 06 .. 00.
    // CK_A = 06+04+04+00+FF+FF+02+00 = 0x20E -> 0x0E; CK_B = 06+0A+0E+0E+10D+20C+20E+20E = 0x861 -> 0x61.
    const auto frame = Frame(0x06, 0x04, {0xFF, 0xFF, 0x02, 0x00});
    EXPECT_EQ(frame, (std::vector<std::uint8_t>{0xB5, 0x62, 0x06, 0x04, 0x04, 0x00, 0xFF, 0xFF, 0x02, 0x00, 0x0E,
                                                0x61}));
    EXPECT_TRUE(ubx::BuildFrame(0x02, 0x13, std::vector<std::uint8_t>(ubx::kMaxPayload + 1)).empty());
}

TEST(UbxFraming, CountsEveryGoodFrameByMessage)
{
    const auto stream = Concat({kAck, kPvtLike, kAck, WithBadChecksum(kAck), Frame(0x01, 0x3C, {1, 2, 3})});
    ubx::CUbxExtractor extractor;
    ChunkRef ref{stream.data(), stream.size()};
    while (extractor.Next(ref).kind != ubx::Event::Kind::None)
    {
    }
    const auto& c = extractor.Counters();
    EXPECT_EQ(c.frames, 4U);
    EXPECT_EQ(c.badChecksum, 1U);
    EXPECT_EQ(c.perMessage.at(ubx::kAckAck), 2U);
    EXPECT_EQ(c.perMessage.at(ubx::kNavPvt), 1U);
    EXPECT_EQ(c.perMessage.at(ubx::MessageKey(0x01, 0x3C)), 1U);
    EXPECT_FALSE(ubx::IsDecoded(ubx::MessageKey(0x01, 0x3C)));
    EXPECT_EQ(ubx::MessageLabel(ubx::MessageKey(0x01, 0x3C)), "0x01-0x3C");
    EXPECT_EQ(ubx::MessageLabel(ubx::kNavPvt), "NAV-PVT");
}
}  // namespace
