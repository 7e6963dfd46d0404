// Start and stop both ports again and again while a writer floods them: no reader may survive its
// stop, touch a descriptor after the close, or be left behind (run under TSan and ASan as well).
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "LinkTestSupport.h"
#include "link/CFeedDoc.h"
#include "link/Notifications.h"

namespace vrn
{
namespace
{
using namespace test;

std::size_t ThreadCount()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

// A file opened right after a stop takes the lowest free descriptor, typically the number the
// stopped port just gave back. A stale reader would read from it and move its offset.
class Decoy
{
public:
    explicit Decoy(const std::filesystem::path& path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const std::string content(64, 'd');
        if (m_fd >= 0 && ::write(m_fd, content.data(), content.size()) == 64)
            ::lseek(m_fd, 0, SEEK_SET);
    }
    ~Decoy()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Decoy(const Decoy&) = delete;
    Decoy& operator=(const Decoy&) = delete;
    [[nodiscard]] bool Untouched() const { return m_fd >= 0 && ::lseek(m_fd, 0, SEEK_CUR) == 0; }

private:
    int m_fd = -1;
};

// Counts deliveries without keeping their snapshots (a flood would make that large).
class CountingView final : public IViewHandle
{
public:
    void PostRecord(const RecordDelivery& delivery) override
    {
        std::lock_guard lock(m_mutex);
        ++m_count;
        m_sessions.push_back(delivery.session);
        if (m_sessions.size() > 64)
            m_sessions.erase(m_sessions.begin());
    }
    std::size_t Count() const
    {
        std::lock_guard lock(m_mutex);
        return m_count;
    }
    bool AnyCurrent() const
    {
        std::lock_guard lock(m_mutex);
        return std::any_of(m_sessions.begin(), m_sessions.end(), [](const auto& s) { return s->Live(); });
    }

private:
    mutable std::mutex m_mutex;
    std::size_t m_count = 0;
    std::vector<std::shared_ptr<const PortSession>> m_sessions;
};

class CountingRegistry final : public IViewRegistry
{
public:
    void UpdateAllViews(int, const CData*) override {}
    std::vector<std::shared_ptr<IViewHandle>> ViewHandles() const override { return {view}; }
    std::shared_ptr<CountingView> view = std::make_shared<CountingView>();
};

TEST(PortStress, RepeatedStartStopUnderFloodLeavesNoReaderBehind)
{
    TempProfile profile;
    Pty pty1;
    Pty pty2;
    ASSERT_TRUE(pty1.Ok() && pty2.Ok());
    TempProfile::SetPort(0, pty1.Path(), "38400", kModeBinary);
    TempProfile::SetPort(1, pty2.Path(), "38400", kModeBinary);
    // A first thread start lets a sanitizer runtime bring up its own helper thread before counting.
    std::thread([] {}).join();
    const std::size_t threadsBefore = ThreadCount();

    std::atomic<bool> flooding{true};
    std::thread writer(
        [&]
        {
            const auto frame = PlainFrame(3);
            std::vector<std::uint8_t> block;
            for (int i = 0; i < 40; ++i)
                block.insert(block.end(), frame.begin(), frame.end());
            while (flooding.load())
            {
                for (const int fd : {pty1.Master(), pty2.Master()})
                {
                    if (::write(fd, block.data(), block.size()) < 0)
                    {
                        pollfd wait{fd, POLLOUT, 0};
                        ::poll(&wait, 1, 1);
                    }
                }
            }
        });

    CountingRegistry registry;
    RecordingFrame frame;
    const auto view = registry.view;
    std::size_t started = 0;
    {
        CFeedDoc doc(registry, &frame);
        std::unique_ptr<Decoy> decoy;
        for (int cycle = 0; cycle < 200; ++cycle)
        {
            started += static_cast<std::size_t>(doc.StartPort(0));
            started += static_cast<std::size_t>(doc.StartPort(1));
            if (cycle % 50 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));  // some cycles read a lot
            if (cycle % 2 == 0)
                doc.SetPaused(0, 1);
            doc.StopPort(0);
            doc.StopPort(1);
            doc.SetPaused(0, 0);
            if (decoy)
            {
                ASSERT_TRUE(decoy->Untouched()) << "cycle " << cycle;
            }
            decoy = std::make_unique<Decoy>(profile.Dir() / "decoy");
            ASSERT_FALSE(doc.ReaderThread(0) || doc.ReaderThread(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(decoy->Untouched());
    }
    flooding = false;
    writer.join();
    EXPECT_EQ(started, 400u);
    EXPECT_GT(view->Count(), 0u);
    EXPECT_FALSE(view->AnyCurrent());
    EXPECT_EQ(ThreadCount(), threadsBefore);
}
}  // namespace
}  // namespace vrn
