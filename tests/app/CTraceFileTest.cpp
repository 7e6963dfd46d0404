// The trace: switch, scope lines and indentation, the sink, concurrent tracing threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/CTraceFile.h"
#include "app/CoreServices.h"

namespace
{
class CollectingSink : public vrn::ITraceSink
{
public:
    void AddText(const std::string& text) override
    {
        if (m_gone.load())
            m_usedAfterGone.store(true);
        std::lock_guard lock(m_mutex);
        m_text += text;
    }
    std::string Text()
    {
        std::lock_guard lock(m_mutex);
        return m_text;
    }
    std::atomic<bool> m_gone{false};
    std::atomic<bool> m_usedAfterGone{false};

private:
    std::mutex m_mutex;
    std::string m_text;
};

class Trace : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vrn-trace-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_file = (m_dir / "state" / "glimsat.log").string();
        CTraceFile::SetTraceFileLocation(m_file);
    }
    void TearDown() override
    {
        vrn::SetTraceSwitch(false);
        CTraceFile::UnregisterMessagingView(&m_sink);
        CTraceFile::SetTraceFileLocation("");
        std::error_code error;
        std::filesystem::remove_all(m_dir, error);
    }
    std::string ReadTrace() const
    {
        std::ifstream in(m_file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path m_dir;
    std::string m_file;
    CollectingSink m_sink;
};

TEST_F(Trace, SwitchedOffWritesNothingAnywhere)
{
    CTraceFile start;
    start.Initialise();
    {
        CTraceFile scope("InitInstance");
        CTraceFile::Write("text");
    }
    CTraceFile::SwitchToMessagingView(&m_sink);
    CTraceFile::Write("more");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "state"));
    EXPECT_EQ(m_sink.Text(), "");
    EXPECT_EQ(CTraceFile::TracePath(), "");
}

TEST_F(Trace, NestedScopesIndentAndNamesKeepTheirLineFeed)
{
    std::filesystem::create_directories(m_dir / "state");
    std::ofstream(m_file) << "old run\n";
    vrn::SetTraceSwitch(true);
    CTraceFile start;
    start.Initialise();
    EXPECT_EQ(CTraceFile::TracePath(), m_file);
    {
        CTraceFile outer("InitInstance");
        CTraceFile::Write("Resources:\n\nSystem:\t1%");
        {
            CTraceFile inner("[CData::BuildBinaryDataPacket]\n");
            inner.Write("\nComplete packet found.  Beginning import.\n", "a");
        }
    }
    EXPECT_EQ(ReadTrace(),
              "[Initializing Trace File]\n"
              "Entering InitInstance\n"
              "| Resources:\n\nSystem:\t1%\n"
              "| Entering [CData::BuildBinaryDataPacket]\n\n"
              "| | \nComplete packet found.  Beginning import.\n\n"
              "| Exiting [CData::BuildBinaryDataPacket]\n\n"
              "Exiting InitInstance\n");
    CTraceFile::Write("fresh", "w");
    EXPECT_EQ(ReadTrace(), "fresh\n");
}

TEST_F(Trace, SinkTakesOverUntilUnregistered)
{
    vrn::SetTraceSwitch(true);
    CTraceFile start;
    start.Initialise();  // the folder is made on demand
    {
        CTraceFile scope("CDebugDataView::OnInitialUpdate");
        CTraceFile::SwitchToMessagingView(&m_sink);
    }
    CTraceFile::Write("to the view");
    CollectingSink other;
    CTraceFile::UnregisterMessagingView(&other);  // not the registered one: nothing changes
    CTraceFile::Write("still the view");
    CTraceFile::UnregisterMessagingView(&m_sink);
    CTraceFile::Write("back to the file");

    EXPECT_EQ(ReadTrace(),
              "[Initializing Trace File]\n"
              "Entering CDebugDataView::OnInitialUpdate\n"
              "| Switching to a messaging view\n"
              "back to the file\n");
    EXPECT_EQ(m_sink.Text(), "Exiting CDebugDataView::OnInitialUpdate\nto the view\nstill the view\n");
    EXPECT_EQ(other.Text(), "");
}

TEST_F(Trace, UnwritableFileDropsLines)
{
    std::ofstream(m_dir / "state") << "a file where the folder should be";
    vrn::SetTraceSwitch(true);
    CTraceFile start;
    start.Initialise();
    CTraceFile scope("Scope");
    CTraceFile::Write("dropped");
    EXPECT_TRUE(std::filesystem::is_regular_file(m_dir / "state"));
}

TEST_F(Trace, ConcurrentThreadsKeepWholeLinesAndTheirOwnIndentation)
{
    vrn::SetTraceSwitch(true);
    CTraceFile start;
    start.Initialise();
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::atomic<bool> stop{false};
    // Registers and unregisters the sink over and over while the others trace.
    std::thread switcher(
        [&]
        {
            while (!stop.load())
            {
                CTraceFile::SwitchToMessagingView(&m_sink);
                std::this_thread::yield();
                CTraceFile::UnregisterMessagingView(&m_sink);
            }
        });
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back(
            [t]
            {
                CTraceFile scope("thread " + std::to_string(t));
                for (int i = 0; i < kLines; ++i)
                    CTraceFile::Write("line " + std::to_string(t) + " " + std::to_string(i));
            });
    for (auto& writer : writers)
        writer.join();
    stop.store(true);
    switcher.join();
    m_sink.m_gone.store(true);
    CTraceFile::Write("after");
    EXPECT_FALSE(m_sink.m_usedAfterGone.load());

    std::istringstream all(ReadTrace() + m_sink.Text());
    std::vector<int> counts(kThreads, 0);
    for (std::string line; std::getline(all, line);)
    {
        if (line.starts_with("| line "))
        {
            std::istringstream fields(line.substr(7));
            int thread = -1;
            int index = -1;
            fields >> thread >> index;
            ASSERT_TRUE(thread >= 0 && thread < kThreads && index >= 0 && index < kLines) << line;
            ++counts[static_cast<std::size_t>(thread)];
        }
        else
        {
            EXPECT_TRUE(line.starts_with("Entering thread ") || line.starts_with("Exiting thread ") ||
                        line == "Switching to a messaging view" || line == "[Initializing Trace File]" ||
                        line == "after")
                << line;
        }
    }
    EXPECT_EQ(counts, std::vector<int>(kThreads, kLines));
}
}  // namespace
