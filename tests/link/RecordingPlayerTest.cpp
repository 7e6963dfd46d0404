// Recordings played back on a port through its reader: pace from the index or the baud rate, every
// speed, pause, single step, seek both ways, the end of the file, a truncated recording.
#include <gtest/gtest.h>

#include <fstream>

#include "LinkTestSupport.h"
#include "NetTestSupport.h"
#include "link/CFeedDoc.h"
#include "link/Notifications.h"

namespace vrn::test
{
namespace
{
constexpr int kSeconds = 25;
constexpr std::uint64_t kMicrosPerSecondRecorded = 20'000;  // the recording runs 50 times fast

class NoSink final : public IChunkSink
{
public:
    void Activity(unsigned) override {}
    void NotifyViews(unsigned, unsigned, const CData&) override {}
};

std::vector<std::string> ReferenceLines(const std::string& bytes)
{
    CollectingLog log;
    PortLogScope scope(log);
    auto context = std::make_unique<ParseContext>();
    NoSink sink;
    const std::span<const std::uint8_t> all(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    for (std::size_t at = 0; at < all.size(); at += kChunkSize)
        ParseChunk(*context, all.subspan(at, std::min(kChunkSize, all.size() - at)), 0, kModeNmea, sink);
    return log.Lines();
}

// A recording of kSeconds seconds of NMEA: each second's sentences are one read, indexed at
// second * kMicrosPerSecondRecorded. Returns the bytes.
std::string WriteRecording(const std::filesystem::path& file, bool withIndex, std::size_t cutAt = 0,
                           std::uint64_t microsPerSecond = kMicrosPerSecondRecorded)
{
    std::string bytes;
    std::string index = std::string(kRecordingIndexHeader) + "\n";
    for (int s = 0; s < kSeconds; ++s)
    {
        index += std::to_string(bytes.size()) + " " + std::to_string(static_cast<std::uint64_t>(s) * microsPerSecond) + "\n";
        const std::string all = NmeaStream(s + 1);
        bytes += all.substr(NmeaStream(s).size());
    }
    if (cutAt > 0)
        bytes.resize(cutAt);
    std::ofstream(file, std::ios::binary) << bytes;
    if (withIndex)
        std::ofstream(file.string() + ".idx", std::ios::binary) << index;
    return bytes;
}

struct Playback
{
    TempProfile profile;
    RecordingRegistry registry;
    std::shared_ptr<RecordingView> view = registry.AddView();
    RecordingFrame frame;
    CollectingLog log;
    PortLogScope scope{log};
    std::unique_ptr<CFeedDoc> doc;

    Playback()
    {
        TempProfile::SetPort(0, "/dev/null", "38400", 0);
        doc = std::make_unique<CFeedDoc>(registry, &frame);
    }
    [[nodiscard]] std::filesystem::path File() const { return profile.Dir() / "rec.raw"; }
    CRecordingPlayer& Player() { return *doc->Player(0); }
    bool Done(std::chrono::milliseconds limit = std::chrono::milliseconds(10000))
    {
        return WaitFor([this] { return Player().AtEnd(); }, limit);
    }
};
}  // namespace

TEST(RecordingPlayback, EverySpeedGivesTheLinesOfTheFileAndKeepsItsPace)
{
    for (const int speed : kPlaybackSpeeds)
    {
        Playback p;
        const std::string bytes = WriteRecording(p.File(), true);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(p.doc->StartPlayback(0, p.File().string(), kModeNmea), 1) << speed;
        p.Player().SetSpeed(speed);
        ASSERT_TRUE(p.Done()) << speed;
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_TRUE(WaitFor([&] { return p.log.Count() == 2 * kSeconds; })) << speed;
        EXPECT_EQ(p.log.Lines(), ReferenceLines(bytes)) << speed;
        EXPECT_TRUE(p.Player().HasIndex());
        EXPECT_EQ(p.Player().DurationUs(), (kSeconds - 1) * kMicrosPerSecondRecorded);
        if (speed != 0)  // the clock holds it back: never faster than the recording allows
        {
            EXPECT_GE(elapsed, std::chrono::microseconds(p.Player().DurationUs() / static_cast<unsigned>(speed)))
                << speed;
        }
        // The end of a recording leaves the port running, so the user can seek back.
        EXPECT_EQ(p.doc->IsRunning(0), 1);
        EXPECT_EQ(p.frame.PostedCount(kMsgStopPort1), 0u);
        EXPECT_NE(p.doc->PortSourceText(0).find("end of recording"), std::string::npos);
        p.doc->StopPort(0);
    }
}

TEST(RecordingPlayback, SeekBackwardsStartsOverAndEndsAsAnUninterruptedPlay)
{
    Playback p;
    const std::string bytes = WriteRecording(p.File(), true);
    ASSERT_EQ(p.doc->StartPlayback(0, p.File().string(), kModeNmea), 1);
    p.Player().SetSpeed(0);
    ASSERT_TRUE(p.Done());
    const auto firstPass = p.log.Lines();
    const std::size_t firstDeliveries = p.view->Count();
    p.Player().Seek(10 * kMicrosPerSecondRecorded);
    EXPECT_TRUE(WaitFor([&] { return p.Player().Restarts() == 1 && p.Player().AtEnd(); }));
    EXPECT_TRUE(WaitFor([&] { return p.frame.PostedCount(kMsgPlaybackRestart1) == 1; }));
    auto lines = p.log.Lines();
    ASSERT_EQ(lines.size(), 2 * firstPass.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(firstPass.size()), lines.end()),
              ReferenceLines(bytes));
    EXPECT_EQ(p.view->Count(), 2 * firstDeliveries);
    // The frame hands the restart code to the document, which tells the views as at a start.
    p.registry.hints.clear();
    p.doc->RelayNotification(kMsgPlaybackRestart1, 0, nullptr);
    ASSERT_EQ(p.registry.hints.size(), 1u);
    EXPECT_EQ(p.registry.hints[0].hint, kHintPort1Started);
}

TEST(RecordingPlayback, PausedSeekForwardAndStepsStopWhereTheyShould)
{
    // Recorded in real time here, so the pause surely comes before the second second.
    constexpr std::uint64_t kSecond = 1'000'000;
    Playback p;
    WriteRecording(p.File(), true, 0, kSecond);
    ASSERT_EQ(p.doc->StartPlayback(0, p.File().string(), kModeNmea), 1);
    p.Player().SetPlaying(false);
    EXPECT_TRUE(WaitFor([&] { return !p.Player().Playing(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LE(p.log.Count(), 2u);  // paused at once: at most what was due at the start

    // Forward to second 10: everything up to it, no more, still paused.
    p.Player().Seek(10 * kSecond);
    EXPECT_TRUE(WaitFor([&] { return p.log.Count() == 22 && !p.Player().Busy(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(p.log.Count(), 22u);
    EXPECT_FALSE(p.Player().Playing());
    EXPECT_EQ(p.Player().PositionUs(), 10 * kSecond);
    EXPECT_EQ(p.Player().Restarts(), 0);

    // Each step plays to the end of the next epoch (the chunk that completes a GGA) and stops.
    for (std::uint64_t step = 1; step <= 3; ++step)
    {
        const std::size_t before = p.view->Count();
        p.Player().Step();
        EXPECT_TRUE(WaitFor([&] { return p.view->Count() == before + 1 && !p.Player().Busy(); })) << step;
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        EXPECT_EQ(p.view->Count(), before + 1) << step;
        EXPECT_EQ(p.Player().PositionUs(), (10 + step) * kSecond) << step;
    }
    EXPECT_FALSE(p.Player().Playing());
    // Back to the start while paused: starts over and plays only what is due at time 0.
    p.Player().Seek(0);
    EXPECT_TRUE(WaitFor([&] { return p.Player().Restarts() == 1 && !p.Player().Busy(); }));
    EXPECT_EQ(p.Player().BytesPlayed(), NmeaStream(1).size());
    p.Player().SetSpeed(0);
    p.Player().SetPlaying(true);
    EXPECT_TRUE(p.Done());
}

TEST(RecordingPlayback, WithoutIndexThePortsBaudRateSetsThePace)
{
    Playback p;
    const std::string bytes = WriteRecording(p.File(), false);  // about 3.5 KB: ~0.9 s at 38400 baud
    ASSERT_EQ(p.doc->StartPlayback(0, p.File().string(), kModeNmea), 1);
    EXPECT_FALSE(p.Player().HasIndex());
    EXPECT_EQ(p.Player().DurationUs(), (bytes.size() - 1) * 10'000'000 / 38400);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const std::uint64_t played = p.Player().BytesPlayed();
    EXPECT_GT(played, 0u);
    EXPECT_LT(played, bytes.size() / 2);
    ASSERT_TRUE(p.Done());
    EXPECT_EQ(p.log.Lines(), ReferenceLines(bytes));
}

TEST(RecordingPlayback, TruncatedRecordingPlaysWhatIsThere)
{
    Playback p;
    const std::string bytes = WriteRecording(p.File(), true, NmeaStream(12).size() + 30);  // cut in a sentence
    ASSERT_EQ(p.doc->StartPlayback(0, p.File().string(), kModeNmea), 1);
    p.Player().SetSpeed(0);
    ASSERT_TRUE(p.Done());
    EXPECT_NE(p.Player().IndexNote(), "");  // the index lines past the end were left out
    EXPECT_EQ(p.log.Lines(), ReferenceLines(bytes));
    EXPECT_EQ(p.doc->IsRunning(0), 1);
}

TEST(RecordingPlayback, MissingOrUnreadableFileDoesNotStart)
{
    Playback p;
    EXPECT_EQ(p.doc->StartPlayback(0, (p.profile.Dir() / "none.raw").string(), kModeNmea), 0);
    EXPECT_NE(p.doc->LastPortError(0).find("cannot open"), std::string::npos);
    EXPECT_EQ(p.doc->IsRunning(0), 0);
    EXPECT_EQ(p.doc->StartPlayback(0, p.profile.Dir().string(), kModeNmea), 0);
    EXPECT_EQ(p.doc->IsRunning(0), 0);
    EXPECT_EQ(p.doc->Player(0), nullptr);
}
}  // namespace vrn::test
