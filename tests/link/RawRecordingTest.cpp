// Raw recording of a running port: the file holds exactly the bytes the port read, the index is
// monotonic and complete, a pause does not lose bytes, and a write failure ends the recording with
// a message while the port runs on. Also how an index is read back.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <fstream>

#include "LinkTestSupport.h"
#include "NetTestSupport.h"
#include "link/CFeedDoc.h"

namespace vrn::test
{
namespace
{
std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Messages a reader shows, collected instead of shown.
struct MessageCatcher
{
    std::mutex mutex;
    std::vector<std::string> texts;
    MessageCatcher()
    {
        SetMessagePresenter([this](const std::string& text) {
            std::lock_guard lock(mutex);
            texts.push_back(text);
        });
    }
    ~MessageCatcher() { SetMessagePresenter(nullptr); }
    std::vector<std::string> Texts()
    {
        std::lock_guard lock(mutex);
        return texts;
    }
};
}  // namespace

TEST(RawRecording, FileHoldsEveryByteReadAndTheIndexIsMonotonicAndComplete)
{
    TempProfile profile;
    Pty pty;
    ASSERT_TRUE(pty.Ok());
    TempProfile::SetPort(0, pty.Path(), "38400", 0);
    RecordingRegistry registry;
    RecordingFrame frame;
    CFeedDoc doc(registry, &frame);
    ASSERT_EQ(doc.StartPort(0), 1);
    const auto file = profile.Dir() / "port1.raw";
    std::string error;
    ASSERT_TRUE(doc.StartRecording(0, file.string(), error)) << error;
    EXPECT_TRUE(doc.IsRecording(0));
    EXPECT_EQ(doc.RecordingPath(0), file.string());

    std::string sent;
    for (int i = 0; i < 6; ++i)
    {
        const std::string part = NmeaStream(5) + std::string(i * 37 % 80, 'x');
        pty.Send(part);
        sent += part;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        if (i == 2)
            doc.SetPaused(0, 1);  // bytes of the pause are recorded when the reader takes them
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(doc.StopRecording(0, &error)) << error;
    EXPECT_FALSE(doc.IsRecording(0));
    EXPECT_EQ(ReadFile(file), sent);

    const std::string index = ReadFile(file.string() + ".idx");
    ASSERT_TRUE(index.starts_with(std::string(kRecordingIndexHeader) + "\n"));
    std::string note;
    const auto entries = ReadRecordingIndex(file.string() + ".idx", sent.size(), note);
    EXPECT_EQ(note, "");
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().offset, 0u);
    std::size_t lines = 0;
    for (char c : index)
        lines += c == '\n' ? 1 : 0;
    EXPECT_EQ(entries.size(), lines - 1);  // every line after the header is a usable entry
    for (std::size_t i = 1; i < entries.size(); ++i)
    {
        EXPECT_GT(entries[i].offset, entries[i - 1].offset);
        EXPECT_GE(entries[i].micros, entries[i - 1].micros);
    }
    // Recording stopped on its own account; the port and its pause are untouched.
    EXPECT_EQ(doc.IsRunning(0), 1);
    doc.SetPaused(0, 0);
    doc.StopPort(0);
}

TEST(RawRecording, WriteFailureStopsTheRecordingWithAMessageAndThePortRunsOn)
{
    TempProfile profile;
    Pty pty;
    ASSERT_TRUE(pty.Ok());
    TempProfile::SetPort(0, pty.Path(), "38400", 0);
    RecordingRegistry registry;
    const auto view = registry.AddView();
    RecordingFrame frame;
    MessageCatcher messages;
    CFeedDoc doc(registry, &frame);
    ASSERT_EQ(doc.StartPort(0), 1);
    std::string error;
    ASSERT_TRUE(doc.StartRecording(0, (profile.Dir() / "full.raw").string(), error)) << error;

    // A file size limit stands in for a full disk: writes past it fail with EFBIG.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string block = NmeaStream(100);
    for (std::size_t sent = 0; sent < 400 * 1024 && doc.IsRecording(0); sent += block.size())
        pty.Send(block);
    EXPECT_TRUE(WaitFor([&] { return !doc.IsRecording(0); }));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(WaitFor([&] { return !messages.Texts().empty(); }));
    const auto texts = messages.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("Raw recording of port 1 stopped: cannot write"), std::string::npos) << texts[0];
    EXPECT_NE(texts[0].find("too large"), std::string::npos) << texts[0];
    EXPECT_EQ(doc.IsRunning(0), 1);
    EXPECT_TRUE(doc.IsOpen(0));
    const std::size_t before = view->Count();
    pty.Send(NmeaStream(3));
    EXPECT_TRUE(WaitFor([&] { return view->Count() >= before + 3; }));  // the port still delivers
    EXPECT_LE(std::filesystem::file_size(profile.Dir() / "full.raw"), small.rlim_cur);
    doc.StopPort(0);
}

TEST(RawRecording, RecordingNeedsARunningPortAndEndsWithIt)
{
    TempProfile profile;
    Pty pty;
    ASSERT_TRUE(pty.Ok());
    TempProfile::SetPort(0, pty.Path(), "9600", 0);
    RecordingRegistry registry;
    CFeedDoc doc(registry);
    std::string error;
    EXPECT_FALSE(doc.StartRecording(0, (profile.Dir() / "a.raw").string(), error));
    EXPECT_EQ(error, "port 1 is not running");
    ASSERT_EQ(doc.StartPort(0), 1);
    EXPECT_FALSE(doc.StartRecording(0, (profile.Dir() / "no-such-dir" / "a.raw").string(), error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);
    ASSERT_TRUE(doc.StartRecording(0, (profile.Dir() / "a.raw").string(), error));
    doc.StopPort(0);
    EXPECT_FALSE(doc.IsRecording(0));
}

TEST(RecordingIndex, DamagedIndexesKeepWhatIsUsable)
{
    struct Case
    {
        const char* name;
        std::string text;
        std::uint64_t fileSize;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> entries;
        bool noted;
    };
    const std::string header = std::string(kRecordingIndexHeader) + "\n";
    const Case cases[] = {
        {"complete", header + "0 0\n80 1000\n160 1000\n", 200, {{0, 0}, {80, 1000}, {160, 1000}}, false},
        {"cut last line", header + "0 0\n80 10", 200, {{0, 0}}, true},
        {"offset not increasing", "0 5\n80 6\n80 7\n40 8\n120 9\n", 200, {{0, 5}, {80, 6}, {120, 9}}, true},
        {"time going back is raised", "0 500\n10 400\n20 600\n", 30, {{0, 500}, {10, 500}, {20, 600}}, false},
        {"past the end of a truncated file", "0 0\n50 1\n100 2\n", 60, {{0, 0}, {50, 1}}, true},
        {"junk", "hello\n1 2 3\n-1 4\n", 10, {}, true},
    };
    const auto dir = std::filesystem::temp_directory_path() / ("vrn-index-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (const Case& c : cases)
    {
        const auto path = dir / "x.idx";
        std::ofstream(path, std::ios::binary) << c.text;
        std::string note;
        const auto entries = ReadRecordingIndex(path.string(), c.fileSize, note);
        std::vector<std::pair<std::uint64_t, std::uint64_t>> got;
        for (const auto& e : entries)
            got.emplace_back(e.offset, e.micros);
        EXPECT_EQ(got, c.entries) << c.name;
        EXPECT_EQ(!note.empty(), c.noted) << c.name << ": " << note;
    }
    std::string note;
    EXPECT_TRUE(ReadRecordingIndex((dir / "none.idx").string(), 10, note).empty());
    std::filesystem::remove_all(dir);
}
}  // namespace vrn::test
