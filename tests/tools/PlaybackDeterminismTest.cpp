// A test-mode recording played on port 1 gives, epoch for epoch, the own-fix solution rows that
// vrnrcvr-replay --protocol test --solution writes for the same file: at every speed, after a seek
// backwards (which starts the engine over) and step by step.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Replay.h"
#include "ReplayNav.h"
#include "link/CFeedDoc.h"
#include "link/LinkTestSupport.h"
#include "link/Notifications.h"
#include "nav/NavEngine.h"
#include "nav/NavStream.h"

namespace vrn::test
{
namespace
{
constexpr int kEpochs = 120;
constexpr std::uint64_t kEpochMicros = 8000;  // the recording runs 125 times fast

// The port's views and frame in one: on the reader thread, at each own epoch, the solution row
// the tool would write for it. A restart of the recording begins a new pass.
class SolutionCollector final : public IViewHandle, public IMainFrame
{
public:
    void PostRecord(const RecordDelivery& delivery) override
    {
        if (delivery.wParam != kSourcePort2 || !delivery.snapshot || delivery.snapshot->currentId != kIdMeas)
            return;
        std::lock_guard lock(m_mutex);
        ++m_epoch;
        m_passes.back() += replay::SolutionCsvRow(m_epoch, ProcessNavEngine());
    }
    void SendCode(unsigned) override {}
    void PostCode(unsigned code) override
    {
        if (code != kMsgPlaybackRestart1)
            return;
        std::lock_guard lock(m_mutex);
        m_passes.emplace_back();
        m_epoch = 0;
    }
    [[nodiscard]] std::vector<std::string> Passes() const
    {
        std::lock_guard lock(m_mutex);
        return m_passes;
    }
    [[nodiscard]] std::uint64_t Epoch() const
    {
        std::lock_guard lock(m_mutex);
        return m_epoch;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_passes{std::string{}};
    std::uint64_t m_epoch = 0;
};

class OneView final : public IViewRegistry
{
public:
    explicit OneView(std::shared_ptr<IViewHandle> view) : m_view(std::move(view)) {}
    void UpdateAllViews(int, const CData*) override {}
    [[nodiscard]] std::vector<std::shared_ptr<IViewHandle>> ViewHandles() const override { return {m_view}; }

private:
    std::shared_ptr<IViewHandle> m_view;
};

struct Recording
{
    std::filesystem::path file;
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> epochEnds;  // byte offset after each epoch
};

Recording MakeRecording(const std::filesystem::path& dir, std::uint64_t epochMicros = kEpochMicros)
{
    Recording r;
    r.file = dir / "test-mode.raw";
    navtest::Scenario scenario(navtest::ScenarioConfig{});
    std::string index = std::string(kRecordingIndexHeader) + "\n";
    for (int k = 0; k < kEpochs; ++k)
    {
        index += std::to_string(r.bytes.size()) + " " + std::to_string(static_cast<std::uint64_t>(k) * epochMicros) + "\n";
        navtest::AppendEpochBytes(r.bytes, scenario.Next());
        r.epochEnds.push_back(r.bytes.size());
    }
    std::ofstream(r.file, std::ios::binary).write(reinterpret_cast<const char*>(r.bytes.data()),
                                                  static_cast<std::streamsize>(r.bytes.size()));
    std::ofstream(r.file.string() + ".idx", std::ios::binary) << index;
    return r;
}

// The rows vrnrcvr-replay --solution writes (its own loop and sink, in this process).
std::string ToolRows(const std::vector<std::uint8_t>& bytes)
{
    ProcessNavEngine() = NavEngine{};
    std::string rows;
    replay::TestModeSink sink({}, {}, [&rows](std::string_view row) { rows += row; });
    replay::Options options;
    options.mode = kModeTest;
    auto context = std::make_unique<ParseContext>();
    replay::Stats stats;
    replay::FeedChunks(bytes, options, *context, sink, stats);
    return rows;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

struct Player
{
    TempProfile profile;
    std::shared_ptr<SolutionCollector> collector = std::make_shared<SolutionCollector>();
    OneView views{collector};
    std::unique_ptr<CFeedDoc> doc;
    Recording recording;

    explicit Player(std::uint64_t epochMicros = kEpochMicros)
    {
        TempProfile::SetPort(0, "/dev/null", "38400", 2);
        doc = std::make_unique<CFeedDoc>(views, collector.get());
        recording = MakeRecording(profile.Dir(), epochMicros);
    }
    CRecordingPlayer& Get() { return *doc->Player(0); }
};
}  // namespace

TEST(PlaybackDeterminism, EverySpeedGivesTheToolsSolutionEpochForEpoch)
{
    Player p;
    const std::string expected = ToolRows(p.recording.bytes);
    ASSERT_EQ(Lines(expected).size(), static_cast<std::size_t>(kEpochs));
    for (const int speed : kPlaybackSpeeds)
    {
        auto collector = std::make_shared<SolutionCollector>();
        OneView views(collector);
        CFeedDoc doc(views, collector.get());
        ASSERT_EQ(doc.StartPlayback(0, p.recording.file.string(), kModeTest), 1);
        doc.Player(0)->SetSpeed(speed);
        ASSERT_TRUE(WaitFor([&] { return doc.Player(0)->AtEnd(); }, std::chrono::milliseconds(10000))) << speed;
        doc.StopPort(0);
        const auto passes = collector->Passes();
        ASSERT_EQ(passes.size(), 1u) << speed;
        EXPECT_EQ(passes[0], expected) << "speed " << speed;
    }
}

TEST(PlaybackDeterminism, SeekBackwardsStartsTheEngineOverAndEndsInTheSameSolution)
{
    Player p;
    const std::string expected = ToolRows(p.recording.bytes);
    ASSERT_EQ(p.doc->StartPlayback(0, p.recording.file.string(), kModeTest), 1);
    p.Get().SetSpeed(0);
    // The player is at its end once it has handed out the last bytes; the reader may still be
    // parsing them, so each pass is awaited until it has as many epochs as the tool's.
    const std::size_t epochs = Lines(expected).size();
    const auto played = [&](std::size_t passes)
    {
        const auto all = p.collector->Passes();
        return p.Get().AtEnd() && all.size() == passes && Lines(all.back()).size() >= epochs;
    };
    ASSERT_TRUE(WaitFor([&] { return played(1); }));
    p.Get().Seek(kEpochs / 3 * kEpochMicros);
    ASSERT_TRUE(WaitFor([&] { return p.Get().Restarts() == 1 && played(2); }));
    const auto passes = p.collector->Passes();
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_EQ(passes[0], expected);
    EXPECT_EQ(passes[1], expected);
    // A seek to the start while paused plays only the read made at time 0: the first epoch.
    p.Get().SetPlaying(false);
    p.Get().Seek(0);
    ASSERT_TRUE(WaitFor([&] { return p.Get().Restarts() == 2 && !p.Get().Busy(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Lines(p.collector->Passes().back()), std::vector<std::string>{Lines(expected).front()});
}

TEST(PlaybackDeterminism, PausedSeekForwardAndStepsFollowTheTool)
{
    // Recorded in real time here, so the pause surely comes before the second epoch.
    constexpr std::uint64_t kSecond = 1'000'000;
    Player p(kSecond);
    const auto expected = Lines(ToolRows(p.recording.bytes));
    ASSERT_EQ(p.doc->StartPlayback(0, p.recording.file.string(), kModeTest), 1);
    p.Get().SetPlaying(false);
    ASSERT_TRUE(WaitFor([&] { return !p.Get().Playing(); }));
    // To the start of epoch 40: the 40 epochs before it are done, epoch 40's read was due too.
    p.Get().Seek(40 * kSecond);
    ASSERT_TRUE(WaitFor([&] { return !p.Get().Busy(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::uint64_t reached = p.collector->Epoch();
    EXPECT_GE(reached, 40u);
    EXPECT_LE(reached, 41u);
    for (int step = 1; step <= 5; ++step)
    {
        p.Get().Step();
        ASSERT_TRUE(WaitFor([&] { return p.collector->Epoch() == reached + static_cast<unsigned>(step) && !p.Get().Busy(); }))
            << step;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(p.collector->Epoch(), reached + 5);
    const auto rows = Lines(p.collector->Passes().back());
    ASSERT_EQ(rows.size(), reached + 5);
    EXPECT_EQ(rows, std::vector<std::string>(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(rows.size())));
}
}  // namespace vrn::test
