// The feed document over pseudo-terminals: failed starts, line settings, which views receive what,
// stop and restart, pause, chunking, the protocol modes, the receiver command, the relay, closing,
// and a device that hangs up.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/resource.h>

#include <ctime>
#include <fstream>

#include "LinkTestSupport.h"
#include "app/CoreServices.h"
#include "link/CFeedDoc.h"
#include "link/Notifications.h"
#include "link/ReceiverCommand.h"

namespace vrn
{
namespace
{
using namespace test;

// Records what the decoders log: NMEA kinds and binary ids, per port.
class RecordingLog final : public IPortLog
{
public:
    void WriteRecord(const CData& set, int port) override
    {
        std::lock_guard lock(m_mutex);
        records.emplace_back(port, set.currentId);
    }
    int WriteSentence(int kind, std::string& text, int port) override
    {
        std::lock_guard lock(m_mutex);
        sentences.emplace_back(port, kind);
        text += '\n';
        return 1;
    }
    std::size_t SentenceCount() const
    {
        std::lock_guard lock(m_mutex);
        return sentences.size();
    }
    std::vector<std::pair<int, int>> Sentences() const
    {
        std::lock_guard lock(m_mutex);
        return sentences;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<int, int>> records;
    std::vector<std::pair<int, int>> sentences;
};

class FeedDoc : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty1.Ok());
        ASSERT_TRUE(pty2.Ok());
        TempProfile::SetPort(0, pty1.Path(), "19200", kModeBinary);
        TempProfile::SetPort(1, pty2.Path(), "4800", kModeBinary);
    }

    CFeedDoc& Doc()
    {
        if (!doc)
            doc = std::make_unique<CFeedDoc>(registry, &frame);
        return *doc;
    }

    static bool Received(const RecordingView& view, std::size_t count)
    {
        return WaitFor([&] { return view.Count() >= count; });
    }

    TempProfile profile;
    Pty pty1;
    Pty pty2;
    RecordingRegistry registry;
    RecordingFrame frame;
    std::unique_ptr<CFeedDoc> doc;  // last: its readers are joined before the rest goes
};

TEST_F(FeedDoc, FailedStartsLeaveThePortStoppedAndClosed)
{
    const auto dir = profile.Dir() / "a-directory";
    std::filesystem::create_directories(dir);
    const auto file = profile.Dir() / "a-file";
    std::ofstream(file) << "not a tty";
    const int holder = ::open(pty2.Path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

    struct Case
    {
        std::string device;
        std::string baud;
        PortOpenFailure expected;
    };
    const std::vector<Case> cases{
        {"/dev/vrn-no-such-device", "4800", PortOpenFailure::Missing},
        {"", "4800", PortOpenFailure::Missing},
        {dir.string(), "4800", PortOpenFailure::NotATerminal},
        {file.string(), "4800", PortOpenFailure::NotATerminal},
        {pty2.Path(), "4800", PortOpenFailure::Busy},
        {pty1.Path(), "", PortOpenFailure::UnsupportedBaud},
        {pty1.Path(), "0", PortOpenFailure::UnsupportedBaud},
        {pty1.Path(), "12345", PortOpenFailure::UnsupportedBaud},
    };
    for (const auto& c : cases)
    {
        TempProfile::SetPort(0, c.device, c.baud, kModeBinary);
        registry.hints.clear();
        EXPECT_EQ(Doc().StartPort(0), 0) << c.device << " at " << c.baud;
        EXPECT_EQ(Doc().LastPortFailure(0), c.expected) << c.device << " at " << c.baud;
        EXPECT_FALSE(Doc().LastPortError(0).empty());
        EXPECT_EQ(Doc().IsRunning(0), 0);
        EXPECT_FALSE(Doc().IsOpen(0));
        EXPECT_FALSE(Doc().ReaderThread(0));
        ASSERT_EQ(registry.hints.size(), 1u);
        EXPECT_EQ(registry.hints[0].hint, kHintPort1Started);
    }
    ::close(holder);
    TempProfile::SetPort(0, pty1.Path(), "19200", kModeBinary);
    EXPECT_EQ(Doc().StartPort(0), 1);
    EXPECT_TRUE(Doc().LastPortError(0).empty());
}

TEST_F(FeedDoc, StartsAtTheProfileRateWithEightNOne)
{
    ASSERT_EQ(Doc().StartPort(0), 1) << Doc().LastPortError(0);
    EXPECT_EQ(Doc().IsRunning(0), 1);
    EXPECT_EQ(Doc().PortDevice(0), pty1.Path());
    termios settings{};
    ASSERT_EQ(::tcgetattr(pty1.Slave(), &settings), 0);
    EXPECT_EQ(::cfgetispeed(&settings), B19200);
    EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
}

TEST_F(FeedDoc, ComNamesFollowTheSerialDevicesSection)
{
    TempProfile::Set("Data Sources", "MeasSerialPort", "COM3");
    TempProfile::Set("Serial Devices", "COM3", pty1.Path());
    ASSERT_EQ(Doc().StartPort(0), 1) << Doc().LastPortError(0);
    EXPECT_EQ(Doc().PortDevice(0), pty1.Path());
}

TEST_F(FeedDoc, RecordsReachOnlyTheFirstFourViewsPresentAtStart)
{
    std::vector<std::shared_ptr<RecordingView>> views;
    for (int i = 0; i < 5; ++i)
        views.push_back(registry.AddView());
    ASSERT_EQ(Doc().StartPort(0), 1);
    const auto late = registry.AddView();
    pty1.Send(PlainFrame(7));
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(Received(*views[static_cast<std::size_t>(i)], 1)) << "view " << i;
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(views[4]->Count(), 0u);
    EXPECT_EQ(late->Count(), 0u);

    const auto first = views[0]->Deliveries().at(0);
    EXPECT_EQ(first.message, kMsgBinaryData);
    EXPECT_EQ(first.wParam, kSourcePort1);
    ASSERT_TRUE(first.snapshot);
    EXPECT_EQ(first.snapshot->currentId, 0x0B);
    EXPECT_TRUE(first.Current());
    EXPECT_EQ(views[3]->Deliveries().at(0).snapshot, first.snapshot);  // one snapshot per notification
    EXPECT_GE(frame.PostedCount(kMsgActivity1), 1u);
    EXPECT_EQ(frame.PostedCount(kMsgActivity2), 0u);
}

TEST_F(FeedDoc, AViewDestroyedWhilePortRunsIsSkipped)
{
    auto gone = registry.AddView();
    const auto kept = registry.AddView();
    ASSERT_EQ(Doc().StartPort(0), 1);
    registry.RemoveView(gone);
    gone.reset();
    pty1.Send(PlainFrame());
    pty1.Send(PlainFrame());
    EXPECT_TRUE(Received(*kept, 2));
}

TEST_F(FeedDoc, StopAndStartAgainWorkLikeTheFirstStart)
{
    const auto view = registry.AddView();
    std::vector<RecordDelivery> earlier;
    for (int round = 0; round < 3; ++round)
    {
        view->Clear();
        ASSERT_EQ(Doc().StartPort(0), 1) << "round " << round << ": " << Doc().LastPortError(0);
        ASSERT_EQ(Doc().StartPort(1), 1) << "round " << round << ": " << Doc().LastPortError(1);
        pty1.Send(PlainFrame(1));
        pty2.Send(PlainFrame(2));
        ASSERT_TRUE(Received(*view, 2)) << "round " << round;
        for (const auto& d : view->Deliveries())
            EXPECT_TRUE(d.Current());
        for (const auto& d : earlier)
            EXPECT_FALSE(d.Current()) << "a delivery of an earlier start is still shown";
        Doc().StopPort(0);
        Doc().StopPort(1);
        EXPECT_FALSE(Doc().IsOpen(0));
        EXPECT_FALSE(Doc().ReaderThread(0));
        for (const auto& d : view->Deliveries())
            EXPECT_FALSE(d.Current());
        earlier = view->Deliveries();
    }
    std::vector<unsigned> sources;
    for (const auto& d : earlier)
        sources.push_back(d.wParam);
    std::sort(sources.begin(), sources.end());
    EXPECT_EQ(sources, (std::vector<unsigned>{kSourcePort1, kSourcePort2}));
}

TEST_F(FeedDoc, PausedPortParsesNothingThenItsBurstInEightyByteChunks)
{
    const auto view = registry.AddView();
    ASSERT_EQ(Doc().StartPort(0), 1);
    Doc().SetPaused(0, 7);
    // 22 frames of 9 bytes and two bytes of noise: 200 bytes, frames cut at the chunk borders.
    std::vector<std::uint8_t> burst{0x55, 0x55};
    for (int i = 0; i < 22; ++i)
    {
        const auto f = PlainFrame(static_cast<std::uint8_t>(0x20 + i));  // no byte needs stuffing
        burst.insert(burst.end(), f.begin(), f.end());
    }
    ASSERT_EQ(burst.size(), 200u);
    pty1.Send(burst);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(view->Count(), 0u);
    EXPECT_EQ(frame.PostedCount(kMsgActivity1), 0u);

    Doc().SetPaused(0, 0);
    ASSERT_TRUE(Received(*view, 22));
    EXPECT_TRUE(WaitFor([&] { return frame.PostedCount(kMsgActivity1) == 3; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(frame.PostedCount(kMsgActivity1), 3u);  // 80 + 80 + 40
    const auto deliveries = view->Deliveries();
    ASSERT_EQ(deliveries.size(), 22u);
}

TEST_F(FeedDoc, PausedPortKeepsWhatArrivesInOrder)
{
    const auto view = registry.AddView();
    ASSERT_EQ(Doc().StartPort(0), 1);
    Doc().SetPaused(0, 1);
    // 2000 frames (18000 bytes) while paused: the own queue takes 16000, the tty holds a few KB more
    // until the pause ends; a blocked receiver is fine, a lost or reordered old frame is not.
    std::thread writer(
        [&]
        {
            for (int i = 0; i < 2000; ++i)
                pty1.Send(PlainFrame(static_cast<std::uint8_t>(i & 0x0F)));
        });
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(view->Count(), 0u);
    Doc().SetPaused(0, 0);
    writer.join();
    ASSERT_TRUE(WaitFor([&] { return view->Count() >= 2000; }));
    const auto deliveries = view->Deliveries();
    for (std::size_t i = 0; i < 2000; ++i)
        ASSERT_EQ(deliveries[i].snapshot->currentId, 0x0B) << i;
}

TEST_F(FeedDoc, PortTwoNeverRunsTheOwnSolution)
{
    TempProfile::SetPort(1, pty2.Path(), "4800", kModeTest);
    const auto view = registry.AddView();
    ASSERT_EQ(Doc().StartPort(1), 1);
    const std::vector<std::uint8_t> meas{0x08, 0xE8, 0x03, 0, 0, 0, 0, 0, 0, 0};
    pty2.Send(Frame(meas));
    pty2.Send(PlainFrame());
    ASSERT_TRUE(Received(*view, 2));
    std::this_thread::sleep_for(50ms);
    const auto deliveries = view->Deliveries();
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[0].wParam, kSourcePort2);
    EXPECT_EQ(deliveries[0].snapshot->currentId, 8);
    EXPECT_EQ(deliveries[1].snapshot->currentId, 0x0B);
}

// A hand-edited profile with a protocol mode outside 0..4: each port reads its receiver's binary
// messages as in mode 1 (port 1 runs no own solution, which would add four snapshots per MEAS).
TEST_F(FeedDoc, ProtocolModesOutsideTheKnownOnesReadAsBinary)
{
    const std::vector<std::uint8_t> meas{0x08, 0xE8, 0x03, 0, 0, 0, 0, 0, 0, 0};
    for (const int port : {0, 1})
        for (const int protocol : {7, 99, -1})
        {
            const Pty& pty = port == 0 ? pty1 : pty2;
            TempProfile::SetPort(port, pty.Path(), "9600", protocol);
            const auto view = registry.AddView();
            ASSERT_EQ(Doc().StartPort(port), 1);
            pty.Send(Frame(meas));
            pty.Send(PlainFrame());
            EXPECT_TRUE(Received(*view, 2)) << "port " << port + 1 << ", protocol " << protocol;
            std::this_thread::sleep_for(50ms);
            Doc().StopPort(port);
            const auto deliveries = view->Deliveries();
            registry.RemoveView(view);
            ASSERT_EQ(deliveries.size(), 2u) << "port " << port + 1 << ", protocol " << protocol;
            for (const auto& d : deliveries)
            {
                EXPECT_EQ(d.message, kMsgBinaryData);
                EXPECT_EQ(d.wParam, port == 0 ? kSourcePort1 : kSourcePort2);
            }
            EXPECT_EQ(deliveries[0].snapshot->currentId, 8);
            EXPECT_EQ(deliveries[1].snapshot->currentId, 0x0B);
        }
}

TEST_F(FeedDoc, NmeaChunkWithoutGgaIsLoggedButNotNotified)
{
    RecordingLog log;
    SetPortLog(&log);
    TempProfile::SetPort(0, pty1.Path(), "4800", kModeNmea);
    const auto view = registry.AddView();
    ASSERT_EQ(Doc().StartPort(0), 1);
    pty1.Send(
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n"
        "$GPGSV,1,1,01,05,40,083,46*70\r\n");
    EXPECT_TRUE(WaitFor([&] { return log.SentenceCount() == 2; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(view->Count(), 0u);
    EXPECT_EQ(log.Sentences(), (std::vector<std::pair<int, int>>{{0, 5}, {0, 4}}));

    pty1.Send("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    ASSERT_TRUE(Received(*view, 1));
    EXPECT_EQ(view->Deliveries()[0].message, kMsgNmeaData);
    EXPECT_EQ(view->Deliveries()[0].wParam, kSourceNmea1);
    Doc().StopPort(0);
    SetPortLog(nullptr);
}

TEST_F(FeedDoc, GpsTalkerOnlyOfThePortReachesItsReader)
{
    // Port 2 reads $GP only; port 1 reads every talker: a GN receiver is told to port 1's views only.
    RecordingLog log;
    SetPortLog(&log);
    TempProfile::SetPort(0, pty1.Path(), "4800", kModeNmea);
    TempProfile::SetPort(1, pty2.Path(), "4800", kModeNmea);
    TempProfile::Set("Data Sources", "MeasGpsTalkerOnly2", "1");
    const auto view = registry.AddView();
    ASSERT_EQ(Doc().StartPort(0), 1);
    ASSERT_EQ(Doc().StartPort(1), 1);
    const std::string gn = "$GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*59\r\n";
    pty2.Send(gn);
    pty1.Send(gn);
    ASSERT_TRUE(Received(*view, 1));
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(view->Count(), 1u);
    EXPECT_EQ(view->Deliveries()[0].wParam, kSourceNmea1);
    EXPECT_EQ(view->Deliveries()[0].snapshot->fix.satsUsed, 8);
    EXPECT_EQ(log.Sentences(), (std::vector<std::pair<int, int>>{{0, 1}}));
    Doc().StopPort(0);
    Doc().StopPort(1);
    SetPortLog(nullptr);
}

TEST_F(FeedDoc, TestModeGivesTheReceiverSetThenFourOwnSnapshots)
{
    const std::vector<std::uint8_t> meas{0x08, 0xE8, 0x03, 0, 0, 0, 0, 0, 0, 0};
    TempProfile::SetPort(0, pty1.Path(), "38400", kModeTest);
    const auto view = registry.AddView();
    ASSERT_EQ(Doc().StartPort(0), 1);
    pty1.Send(Frame(meas));
    ASSERT_TRUE(Received(*view, 5));
    std::this_thread::sleep_for(50ms);
    const auto deliveries = view->Deliveries();
    ASSERT_EQ(deliveries.size(), 5u);
    EXPECT_EQ(deliveries[0].wParam, kSourcePort1);
    EXPECT_EQ(deliveries[0].snapshot->currentId, 8);
    const std::vector<int> ids{2, 4, 6, 8};
    for (std::size_t i = 0; i < ids.size(); ++i)
    {
        EXPECT_EQ(deliveries[i + 1].message, kMsgBinaryData);
        EXPECT_EQ(deliveries[i + 1].wParam, kSourcePort2);
        EXPECT_EQ(deliveries[i + 1].snapshot->currentId, ids[i]);
        EXPECT_NE(deliveries[i + 1].snapshot, deliveries[i].snapshot);  // each id its own snapshot
    }
}

// Removes the DLE stuffing of a received frame's body and checks its frame bytes.
std::vector<std::uint8_t> Unframe(const std::vector<std::uint8_t>& wire)
{
    std::vector<std::uint8_t> content;
    if (wire.size() < 5 || wire[0] != 0x10 || wire[1] != 0x02 || wire[wire.size() - 2] != 0x10 ||
        wire.back() != 0x03)
        return content;
    for (std::size_t i = 2; i + 2 < wire.size(); ++i)
    {
        content.push_back(wire[i]);
        if (wire[i] == 0x10 && i > 2)
            ++i;
    }
    return content;
}

TEST_F(FeedDoc, ReceiverCommandGoesOutFramedWithTheSettings)
{
    for (const auto& [key, value] : std::vector<std::pair<const char*, const char*>>{{"X", "250"},
                                                                                     {"Y", "1215"},
                                                                                     {"Z", "16"},
                                                                                     {"Clock", "74565"},
                                                                                     {"UseDOSTime", "0"},
                                                                                     {"WeekNo", "1000"},
                                                                                     {"TOW", "2"},
                                                                                     {"ResetMode", "2"},
                                                                                     {"Protocol", "1"}})
        TempProfile::Set("ReceiverInit1", key, value);
    TempProfile::Set("Data Sources", "MeasNBO", "1");
    ASSERT_EQ(Doc().StartPort(0), 1);
    registry.hints.clear();

    Doc().SendReceiverCommand(0, kCommandConfiguredBaud);
    const auto wire = pty1.Receive(25);  // Z's 0x10 travels stuffed
    const auto content = Unframe(wire);
    ASSERT_EQ(content.size(), 20u) << "wire bytes " << wire.size();
    EXPECT_EQ(content[0], 0x14);
    // Big-endian (MeasNBO): week 1000, 200 hundredths, z 16 stuffed on the wire, clock 0x12345 -> 0x2345.
    const std::vector<std::uint8_t> expected{0x80, 0x03, 0xE8, 0x00, 0x00, 0x00, 0xC8, 0x00, 0xFA,
                                             0x04, 0xBF, 0x00, 0x10, 0x23, 0x45, 0x03, 0xFF, 0x02};
    EXPECT_EQ(std::vector<std::uint8_t>(content.begin() + 1, content.begin() + 19), expected);
    ASSERT_EQ(registry.hints.size(), 1u);
    EXPECT_EQ(registry.hints[0].hint, kHintInitSent1);

    TempProfile::Set("ReceiverInit1", "UseDOSTime", "1");
    Doc().SetPcClock([] { return std::int64_t{935280000}; });
    Doc().SendReceiverCommand(0, kCommandBaud4800);
    const auto clockContent = Unframe(pty1.Receive(25));
    ASSERT_EQ(clockContent.size(), 20u);
    EXPECT_EQ(clockContent[1], 0x80);
    EXPECT_EQ(clockContent[2], 0x04);  // week 1024, big-endian
    EXPECT_EQ(clockContent[3], 0x00);
    EXPECT_EQ(clockContent[18], 0x00);  // baud code 0
}

TEST_F(FeedDoc, CommandsWrittenJustBeforeAStopStillReachTheReceiver)
{
    // A baud change sends its two commands and stops the port at once: stopping must not throw
    // away what the receiver has not read yet (on a pseudo-terminal an output flush would).
    for (int round = 0; round < 20; ++round)
    {
        ASSERT_EQ(Doc().StartPort(1), 1);
        Doc().SendReceiverCommand(1, kCommandBaud19200);
        Doc().SendReceiverCommand(1, kCommandBaud19200);
        Doc().StopPort(1);
        const auto wire = pty2.Receive(48);  // two frames of 24 bytes, nothing stuffed
        ASSERT_EQ(wire.size(), 48u) << "round " << round;
        EXPECT_TRUE(pty2.Receive(1, 20ms).empty());
    }
}

TEST_F(FeedDoc, ReceiverCommandOnAClosedPortWritesNothing)
{
    Doc().SendReceiverCommand(1, kCommandBaud19200);
    EXPECT_EQ(Doc().WritePort(1, std::vector<std::uint8_t>{1, 2, 3}), 1);
    EXPECT_TRUE(pty2.Receive(1, 50ms).empty());
    ASSERT_EQ(registry.hints.size(), 1u);
    EXPECT_EQ(registry.hints[0].hint, kHintInitSent2);
}

TEST_F(FeedDoc, RelaySendsPostsOrUpdatesByCode)
{
    CData set;
    Doc().RelayNotification(kSourcePort1, 0, &set);  // port 1 not running: nothing
    EXPECT_TRUE(registry.hints.empty());
    ASSERT_EQ(Doc().StartPort(0), 1);
    registry.hints.clear();
    Doc().RelayNotification(kSourcePort1, 0, &set);
    Doc().RelayNotification(kSourcePort2, 0, &set);  // port 2 not running
    Doc().RelayNotification(kSourceNmea1, 0, &set);
    Doc().RelayNotification(kMsgSettingsChanged, 0, nullptr);
    Doc().RelayNotification(kMsgSettingsChanged2, 0, nullptr);
    Doc().RelayNotification(kMsgRadarGone, 0, nullptr);
    Doc().RelayNotification(kInitReceiver2, 0, nullptr);
    Doc().RelayNotification(kMsgStopPort2, 0, nullptr);
    Doc().RelayNotification(kMsgActivity2, 0, nullptr);
    Doc().RelayNotification(kWmUser + 0x40, 0, nullptr);
    std::vector<int> hints;
    for (const auto& h : registry.hints)
        hints.push_back(h.hint);
    EXPECT_EQ(hints, (std::vector<int>{kHintBinary1, kHintNmea1, kHintSettings, kHintSettings2}));
    EXPECT_TRUE(registry.hints[0].withObject);
    EXPECT_EQ(frame.Sent(), (std::vector<unsigned>{kMsgRadarGone, kInitReceiver2, kMsgStopPort2}));
    EXPECT_EQ(frame.PostedCount(kMsgActivity2), 1u);
}

TEST_F(FeedDoc, ClosingTheDocumentStopsBothPortsBeforeTellingTheFrame)
{
    class ClosingFrame final : public IMainFrame
    {
    public:
        explicit ClosingFrame(CFeedDoc*& doc) : m_doc(doc) {}
        void SendCode(unsigned code) override
        {
            if (code == kMsgDocumentClosing)
                portsOpenAtClose = m_doc->IsOpen(0) || m_doc->IsOpen(1) ||
                                   m_doc->ReaderThread(0).has_value() || m_doc->ReaderThread(1).has_value();
            codes.push_back(code);
        }
        void PostCode(unsigned) override {}
        std::vector<unsigned> codes;
        bool portsOpenAtClose = true;

    private:
        CFeedDoc*& m_doc;
    };
    CFeedDoc* raw = nullptr;
    ClosingFrame closing(raw);
    CFeedDoc local(registry, &closing);
    raw = &local;
    ASSERT_EQ(local.StartPort(0), 1);
    ASSERT_EQ(local.StartPort(1), 1);
    local.OnCloseDocument();
    EXPECT_EQ(closing.codes, (std::vector<unsigned>{kMsgDocumentClosing}));
    EXPECT_FALSE(closing.portsOpenAtClose);
    EXPECT_EQ(local.IsRunning(0) + local.IsRunning(1), 0);
}

TEST_F(FeedDoc, ReaderThatCannotStartShowsItsMessageAndStopsCleanly)
{
    std::mutex mutex;
    std::vector<std::string> messages;
    SetMessagePresenter(
        [&](const std::string& text)
        {
            std::lock_guard lock(mutex);
            messages.push_back(text);
        });
    // A first start and stop (also lets the sanitizers' run-time checks settle before the limit).
    ASSERT_EQ(Doc().StartPort(0), 1);
    Doc().StopPort(0);
    // Room for exactly one more descriptor: the tty takes it, the reader's wake descriptor fails.
    const int lowest = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(lowest, 0);
    ::close(lowest);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowest) + 1;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const int started = Doc().StartPort(0);
    const bool shown = WaitFor(
        [&]
        {
            std::lock_guard lock(mutex);
            return !messages.empty();
        });
    ::setrlimit(RLIMIT_NOFILE, &saved);
    SetMessagePresenter(nullptr);
    ASSERT_EQ(started, 1) << Doc().LastPortError(0);
    ASSERT_TRUE(shown);
    EXPECT_EQ(messages, std::vector<std::string>{"Failed to create event for thread!"});
    EXPECT_EQ(Doc().IsRunning(0), 1);  // as started, until the user stops it
    Doc().StopPort(0);
    EXPECT_FALSE(Doc().IsOpen(0));
    EXPECT_FALSE(Doc().ReaderThread(0));
}

double ThreadCpuSeconds(pthread_t thread)
{
    clockid_t clock{};
    timespec used{};
    if (::pthread_getcpuclockid(thread, &clock) != 0 || ::clock_gettime(clock, &used) != 0)
        return -1.0;
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

TEST_F(FeedDoc, HungUpDeviceStopsItsPortWithoutSpinning)
{
    const auto view = registry.AddView();
    ASSERT_EQ(Doc().StartPort(0), 1);
    pty1.Send(PlainFrame());
    ASSERT_TRUE(Received(*view, 1));
    pty1.CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return frame.PostedCount(kMsgStopPort1) == 1; }));
    const auto thread = Doc().ReaderThread(0);
    ASSERT_TRUE(thread);
    const double before = ThreadCpuSeconds(*thread);
    std::this_thread::sleep_for(1s);
    const double used = ThreadCpuSeconds(*thread) - before;
    EXPECT_GE(before, 0.0);
    EXPECT_LT(used, 0.02) << "the reader keeps working after the hang-up";
    EXPECT_EQ(frame.PostedCount(kMsgStopPort1), 1u);
    Doc().StopPort(0);  // what the frame does on the stop code: joins the reader
    EXPECT_FALSE(Doc().ReaderThread(0));
    EXPECT_FALSE(Doc().IsOpen(0));
    EXPECT_EQ(Doc().LastPortFailure(0), PortOpenFailure::HungUp);
    EXPECT_NE(Doc().LastPortError(0).find(pty1.Path()), std::string::npos);
}
}  // namespace
}  // namespace vrn
