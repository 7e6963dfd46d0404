// A u-blox receiver behind every kind of byte source: a TCP port gets its commands over the socket
// and answers them, a gpsd port reads UBX but sends nothing (and says so), and a recording plays in
// the UBX modes on either port (port 2 without the own fix) and takes no commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>

#include "LinkTestSupport.h"
#include "NetTestSupport.h"
#include "link/CFeedDoc.h"
#include "link/Notifications.h"
#include "link/UbxCommands.h"
#include "protocol/UbxFrame.h"

namespace vrn::test
{
namespace
{
// A NAV-PVT with a 3D fix (the time is all the test needs to tell epochs apart).
std::vector<std::uint8_t> PvtFrame(std::uint32_t iTowMs)
{
    std::vector<std::uint8_t> p(92, 0);
    for (std::size_t i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(iTowMs >> (8 * i) & 0xFFU);
    p[20] = 3;     // 3D
    p[21] = 0x01;  // gnssFixOK
    p[23] = 7;
    p[28] = 0x40;  // a latitude, so the fix has a position
    return ubx::BuildFrame(0x01, 0x07, p);
}

std::vector<std::uint8_t> UbxSeconds(int seconds)
{
    std::vector<std::uint8_t> bytes;
    for (int s = 0; s < seconds; ++s)
    {
        const auto frame = PvtFrame(411553000U + 1000U * static_cast<std::uint32_t>(s));
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

// The views got a NAV record of a NAV-PVT from `wParam`'s receiver.
bool SawNavPvt(const RecordingView& view, unsigned wParam)
{
    for (const RecordDelivery& d : view.Deliveries())
        if (d.message == kMsgBinaryData && d.wParam == wParam && d.snapshot->currentId == kIdNav &&
            std::string_view(d.snapshot->fix.source.data()) == "NAV-PVT")
            return true;
    return false;
}

UbxRequest ColdStart()
{
    UbxRequest start;
    start.kind = UbxRequest::Kind::Start;
    start.start = UbxStart::Cold;
    return start;
}
}  // namespace

TEST(UbxSources, TcpReceiverGetsItsCommandsOverTheSocketAndAnswers)
{
    const std::vector<std::uint8_t> command = UbxStartCommand(UbxStart::Cold).frame;
    std::atomic<bool> commandSeen{false};
    LoopbackServer server([&](Peer& peer) {
        std::vector<std::uint8_t> got;
        for (std::uint32_t s = 0; s < 100 && !commandSeen.load(); ++s)
        {
            peer.Send(std::span<const std::uint8_t>(PvtFrame(411553000U + 1000U * s)));
            const auto more = peer.ReadAll(command.size() - std::min(got.size(), command.size()),
                                           std::chrono::milliseconds(50));
            got.insert(got.end(), more.begin(), more.end());
            if (std::search(got.begin(), got.end(), command.begin(), command.end()) != got.end())
            {
                commandSeen.store(true);
                const std::array<std::uint8_t, 2> acknowledged{0x06, 0x04};
                peer.Send(std::span<const std::uint8_t>(ubx::BuildFrame(0x05, 0x01, acknowledged)));
            }
        }
        peer.Hold(std::chrono::milliseconds(2000));
    });
    TempProfile profile;
    TempProfile::SetPort(0, server.Url(), "4800", kModeUbx);
    RecordingRegistry registry;
    const auto view = registry.AddView();
    RecordingFrame frame;
    CFeedDoc doc(registry, &frame);
    ASSERT_EQ(doc.StartPort(0), 1);
    EXPECT_EQ(doc.PortMode(0), kModeUbx);
    ASSERT_TRUE(WaitFor([&] { return SawNavPvt(*view, kSourcePort1); }));
    EXPECT_EQ(doc.CommandRefusal(0), "");

    doc.QueueUbxRequest(0, ColdStart());
    const auto texts = PumpUntilIdle(doc, 0);
    EXPECT_TRUE(commandSeen.load());
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "Receiver 1 acknowledged CFG-RST (cold start)");
    EXPECT_GT(frame.PostedCount(kMsgUbxAnswer1), 0U);
    doc.StopPort(0);
}

TEST(UbxSources, GpsdPortReadsUbxButPassesNoCommands)
{
    FakeGpsd gpsd;
    gpsd.stream = UbxSeconds(20);
    gpsd.piece = 61;  // JSON objects cut into the frames
    LoopbackServer server([&gpsd](Peer& peer) { gpsd.Serve(peer); });
    TempProfile profile;
    TempProfile::SetPort(0, server.Url("gpsd"), "4800", kModeUbx);
    RecordingRegistry registry;
    const auto view = registry.AddView();
    RecordingFrame frame;
    CFeedDoc doc(registry, &frame);
    ASSERT_EQ(doc.StartPort(0), 1);
    ASSERT_TRUE(WaitFor([&] { return SawNavPvt(*view, kSourcePort1); }));
    EXPECT_EQ(doc.CommandRefusal(0), "commands are not sent through gpsd");
    doc.StopPort(0);
    EXPECT_EQ(doc.CommandRefusal(0), "port 1 is not running");
}

// A UBX recording in every UBX mode on both ports: port 2 reads UBX Test as UBX; port 1 keeps the
// own fix's mode; an unknown mode reads as binary (no NAV-PVT then).
TEST(UbxSources, RecordingsPlayInTheUbxModesAndTakeNoCommands)
{
    struct Case
    {
        int port, mode, runs;
        bool ubx;
    };
    const Case cases[] = {
        {0, kModeUbx, kModeUbx, true},           {0, kModeUbxOwnFix, kModeUbxOwnFix, true},
        {1, kModeUbx, kModeUbx, true},           {1, kModeUbxOwnFix, kModeUbx, true},
        {0, 7, kModeBinary, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE("port " + std::to_string(c.port + 1) + ", mode " + std::to_string(c.mode));
        TempProfile profile;
        TempProfile::SetPort(0, "/dev/null", "38400", kModeNmea);
        TempProfile::SetPort(1, "/dev/null", "38400", kModeNmea);
        const auto file = profile.Dir() / "ubx.raw";
        const auto bytes = UbxSeconds(5);
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        RecordingRegistry registry;
        const auto view = registry.AddView();
        RecordingFrame frame;
        CFeedDoc doc(registry, &frame);
        ASSERT_EQ(doc.StartPlayback(c.port, file.string(), c.mode), 1);
        EXPECT_EQ(doc.PortMode(c.port), c.runs);
        EXPECT_EQ(doc.CommandRefusal(c.port), "a recording takes no commands");
        doc.Player(c.port)->SetSpeed(0);
        const unsigned wParam = c.port == 0 ? kSourcePort1 : kSourcePort2;
        if (c.ubx)
            EXPECT_TRUE(WaitFor([&] { return SawNavPvt(*view, wParam); }));
        else
        {
            EXPECT_TRUE(WaitFor([&] { return doc.Player(c.port)->AtEnd(); }));
            EXPECT_FALSE(SawNavPvt(*view, wParam));
        }
        doc.StopPort(c.port);
    }
}
}  // namespace vrn::test
