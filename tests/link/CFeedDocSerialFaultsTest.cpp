// Serial faults through the feed document over pseudo-terminals: a device that hangs up while its
// port is paused (nothing queued, part of the queue, the queue full), the pause queue's size, and
// writes to a device that is gone or never reads.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <ctime>

#include "LinkTestSupport.h"
#include "link/CFeedDoc.h"
#include "link/CSerialPort.h"
#include "link/Notifications.h"
#include "link/PortLink.h"

namespace vrn
{
namespace
{
using namespace test;

// A NAV record whose time of week carries `sequence`, so the order of arrival can be checked.
std::vector<std::uint8_t> NavFrame(std::uint32_t sequence)
{
    std::vector<std::uint8_t> message(28, 0);
    message[0] = kIdNav;
    for (std::size_t i = 0; i < 4; ++i)
        message[3 + i] = static_cast<std::uint8_t>(sequence >> (8 * i));
    return Frame(message);
}

double ThreadCpuSeconds(std::thread::native_handle_type thread)
{
    clockid_t clock{};
    timespec used{};
    if (::pthread_getcpuclockid(thread, &clock) != 0 || ::clock_gettime(clock, &used) != 0)
        return -1.0;
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

// Writes frames to a pty's master from its own thread until they are all out or it is stopped,
// without ever blocking (a paused port lets the master's buffer fill).
class Sender
{
public:
    Sender(const Pty& pty, std::uint32_t frames)
        : m_thread(
              [this, &pty, frames]
              {
                  for (std::uint32_t i = 0; i < frames && !m_stop.load(); ++i)
                  {
                      const auto bytes = NavFrame(i);
                      for (std::size_t done = 0; done < bytes.size() && !m_stop.load();)
                      {
                          const ssize_t n = ::write(pty.Master(), bytes.data() + done, bytes.size() - done);
                          if (n > 0)
                          {
                              done += static_cast<std::size_t>(n);
                              m_bytes += static_cast<std::size_t>(n);
                          }
                          else
                              std::this_thread::sleep_for(1ms);
                      }
                      if (m_stop.load())
                          break;
                      m_frames = i + 1;
                  }
              })
    {
    }
    ~Sender() { Stop(); }
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    void Stop()
    {
        m_stop.store(true);
        if (m_thread.joinable())
            m_thread.join();
    }
    [[nodiscard]] std::uint32_t Frames() const { return m_frames.load(); }
    [[nodiscard]] std::size_t Bytes() const { return m_bytes.load(); }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint32_t> m_frames{0};
    std::atomic<std::size_t> m_bytes{0};
    std::thread m_thread;  // last: started once the counters exist
};

class SerialFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Ok());
        TempProfile::SetPort(0, pty.Path(), "38400", kModeBinary);
    }

    // The sequence numbers of the NAV records the view received, in order.
    static std::vector<std::uint32_t> Sequences(const RecordingView& view)
    {
        std::vector<std::uint32_t> out;
        for (const auto& d : view.Deliveries())
            out.push_back(static_cast<std::uint32_t>(d.snapshot->nav.timeOfWeek));
        return out;
    }

    TempProfile profile;
    Pty pty;
    RecordingRegistry registry;
    RecordingFrame frame;
    std::unique_ptr<CFeedDoc> doc = std::make_unique<CFeedDoc>(registry, &frame);
};

// The device goes away while the port is paused, with nothing, part of the 16000-byte queue, or
// all of it waiting. The hang-up is posted once, at once, paused or not; the reader then rests;
// what the queue held is parsed in order when the pause ends; and the port starts again cleanly on
// a device that is back.
TEST_F(SerialFaults, HangUpWhilePausedKeepsTheQueueAndPostsOneStop)
{
    struct Case
    {
        const char* name;
        std::uint32_t frames;  // 34 bytes each, a little more where a byte is stuffed
        bool fillsTheQueue;
    };
    const Case cases[] = {
        {"nothing queued", 0, false},
        {"part of the queue", 300, false},
        {"the queue full", 1000, true},  // 34 KB: the queue, the tty and the master's buffer full
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Pty device;
        ASSERT_TRUE(device.Ok());
        TempProfile::SetPort(0, device.Path(), "38400", kModeBinary);
        frame.Clear();
        const auto view = registry.AddView();
        ASSERT_EQ(doc->StartPort(0), 1);
        doc->SetPaused(0, 1);
        Sender sender(device, c.frames);
        if (c.fillsTheQueue)
        {
            // The sender stalls once the queue, the tty and the master's buffer are full.
            std::size_t last = 0;
            for (int still = 0; still < 20; still = sender.Bytes() == last ? still + 1 : 0)
            {
                last = sender.Bytes();
                std::this_thread::sleep_for(10ms);
            }
            ASSERT_GT(sender.Bytes(), kPausedQueueSize);
        }
        else
            ASSERT_TRUE(
                WaitFor([&] { return sender.Frames() == c.frames && BytesWaiting(device.Slave()) == 0; }));
        sender.Stop();
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(view->Count(), 0u);

        device.CloseMaster();
        ASSERT_TRUE(WaitFor([&] { return frame.PostedCount(kMsgStopPort1) == 1; }, 2000ms))
            << "the hang-up was not posted while paused";
        const auto thread = doc->ReaderThread(0);
        ASSERT_TRUE(thread);
        const double before = ThreadCpuSeconds(*thread);
        std::this_thread::sleep_for(300ms);
        EXPECT_LT(ThreadCpuSeconds(*thread) - before, 0.02) << "the reader spins after the hang-up";

        doc->SetPaused(0, 0);
        // Every whole frame the queue took arrives, in order: those within its 16000 bytes when full.
        std::uint32_t expected = c.frames;
        if (c.fillsTheQueue)
            for (std::size_t bytes = 0, i = 0;
                 (bytes += NavFrame(static_cast<std::uint32_t>(i)).size()) <= kPausedQueueSize; ++i)
                expected = static_cast<std::uint32_t>(i + 1);
        EXPECT_TRUE(WaitFor([&] { return view->Count() >= expected; }, 2000ms));
        std::this_thread::sleep_for(100ms);
        const auto sequences = Sequences(*view);
        ASSERT_EQ(sequences.size(), expected);
        for (std::uint32_t i = 0; i < expected; ++i)
            ASSERT_EQ(sequences[i], i);
        EXPECT_EQ(frame.PostedCount(kMsgStopPort1), 1u);

        doc->StopPort(0);
        EXPECT_FALSE(doc->IsOpen(0));
        EXPECT_EQ(doc->LastPortFailure(0), PortOpenFailure::HungUp);
        registry.RemoveView(view);
    }
    // The device is back: the port starts as the first time did.
    frame.Clear();
    const auto view = registry.AddView();
    TempProfile::SetPort(0, pty.Path(), "38400", kModeBinary);
    ASSERT_EQ(doc->StartPort(0), 1);
    EXPECT_EQ(doc->LastPortFailure(0), PortOpenFailure::None);
    pty.Send(NavFrame(7));
    ASSERT_TRUE(WaitFor([&] { return view->Count() == 1; }));
    EXPECT_EQ(Sequences(*view), std::vector<std::uint32_t>{7});
    EXPECT_EQ(frame.PostedCount(kMsgStopPort1), 0u);
}

// While paused the reader moves what the tty holds into its own 16000-byte queue, so the tty is
// empty and the receiver is never held back by less than that; the bytes arrive in order after
// the pause.
TEST_F(SerialFaults, PausedPortEmptiesTheTerminalIntoItsQueue)
{
    const auto view = registry.AddView();
    ASSERT_EQ(doc->StartPort(0), 1);
    doc->SetPaused(0, 1);
    constexpr std::uint32_t kFrames = 430;  // 15480 bytes: more than the tty and the master hold
    Sender sender(pty, kFrames);
    EXPECT_TRUE(WaitFor([&] { return sender.Frames() == kFrames && BytesWaiting(pty.Slave()) == 0; }, 3000ms))
        << sender.Bytes() << " bytes sent, " << BytesWaiting(pty.Slave()) << " left in the tty";
    EXPECT_EQ(view->Count(), 0u);
    doc->SetPaused(0, 0);
    ASSERT_TRUE(WaitFor([&] { return view->Count() >= kFrames; }));
    const auto sequences = Sequences(*view);
    ASSERT_EQ(sequences.size(), kFrames);
    for (std::uint32_t i = 0; i < kFrames; ++i)
        ASSERT_EQ(sequences[i], i);
}

// Writes end in bounded time: at once on a device that hung up, within about two seconds on one
// whose other end never reads; a device that reads gets every byte.
TEST_F(SerialFaults, WritesReturnInBoundedTime)
{
    TempProfile::SetPort(0, pty.Path(), "460800", kModeBinary);  // a short line time, so the bound shows
    ASSERT_EQ(doc->StartPort(0), 1);
    const std::vector<std::uint8_t> command(18, 0x55);
    auto timed = [&](const std::vector<std::uint8_t>& bytes)
    {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(doc->WritePort(0, bytes), 1);
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    };
    EXPECT_LT(timed(command), 500);
    EXPECT_EQ(pty.Receive(command.size()), command);

    // Nobody reads the master: 64 KiB do not fit its buffers, and the write gives up two seconds
    // after their line time (1.4 s at 460800 baud).
    const std::vector<std::uint8_t> stuck(64 * 1024, 0x55);
    const auto stuckMs = timed(stuck);
    EXPECT_GE(stuckMs, 1500);
    EXPECT_LT(stuckMs, 2000 + 1422 + 600);
    (void)pty.Receive(1 << 20, 200ms);  // what got through, so the tty is empty again

    pty.CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return frame.PostedCount(kMsgStopPort1) == 1; }));
    EXPECT_LT(timed(command), 100) << "a write after the hang-up waited";
    EXPECT_LT(timed(stuck), 100) << "a write after the hang-up waited";
    doc->StopPort(0);
}
}  // namespace
}  // namespace vrn
