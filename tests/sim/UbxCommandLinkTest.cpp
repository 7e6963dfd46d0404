// A port in UBX mode against the simulated u-blox receiver over a real pseudo-terminal: the views
// get the receiver's fix, and the commands go out, are obeyed, and their answers come back through
// the reader to the status texts; a receiver that never answers is reported after 2 s.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "SimTestSupport.h"
#include "link/CFeedDoc.h"
#include "link/LinkTestSupport.h"
#include "link/Notifications.h"
#include "sim/SimulatedReceiver.h"

namespace
{
using namespace vrn;
using namespace vrn::test;

bool Contains(const std::vector<std::string>& texts, std::string_view text)
{
    return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t == text; });
}

TEST(UbxCommandLink, SimulatedReceiverAnswersEveryCommand)
{
    vrnsim::SimulatedReceiverOptions options;
    options.stream = simtest::Options(vrnsim::SimProtocol::Ubx);
    options.baud = 38400;
    vrnsim::CSimulatedReceiver receiver(options);
    std::mutex mutex;
    std::vector<std::string> obeyed;
    receiver.SetLog([&](const std::string& line) {
        const std::lock_guard lock(mutex);
        obeyed.push_back(line);
    });
    std::string error;
    ASSERT_TRUE(receiver.Start(error)) << error;

    TempProfile profile;
    TempProfile::SetPort(0, receiver.DevicePath(), "38400", kModeUbx);
    RecordingRegistry registry;
    const auto view = registry.AddView();
    RecordingFrame frame;
    CFeedDoc doc(registry, &frame);
    ASSERT_NE(doc.StartPort(0), 0) << doc.LastPortError(0);
    EXPECT_EQ(doc.PortMode(0), kModeUbx);

    // The views get the receiver's records as a binary receiver's, with the fix report of NAV-PVT and
    // the satellites of NAV-SAT in the snapshot.
    ASSERT_TRUE(WaitFor([&] {
        for (const RecordDelivery& d : view->Deliveries())
            if (d.wParam == kSourcePort1 && d.snapshot->currentId == kIdSv && d.snapshot->satellites.Size() > 0)
                return std::string(d.snapshot->fix.source.data()) == "NAV-PVT";
        return false;
    }));

    UbxRequest start;
    start.kind = UbxRequest::Kind::Start;
    start.start = UbxStart::Cold;
    doc.QueueUbxRequest(0, start);
    auto texts = PumpUntilIdle(doc, 0);
    EXPECT_TRUE(Contains(texts, "Receiver 1 acknowledged CFG-RST (cold start)"));
    EXPECT_GE(frame.PostedCount(kMsgUbxAnswer1), 1U);

    // Detected from MON-VER (the simulator is of the u-blox 8 generation): four CFG-MSG.
    UbxRequest outputs;
    outputs.kind = UbxRequest::Kind::Outputs;
    outputs.outputs = {true, true, true, true};
    doc.QueueUbxRequest(0, outputs);
    texts = PumpUntilIdle(doc, 0);
    EXPECT_TRUE(Contains(texts, "Receiver 1 acknowledged CFG-MSG (RXM-RAWX on)"));
    EXPECT_TRUE(Contains(texts, "Receiver 1 acknowledged CFG-MSG (NAV-SAT on)"));
    EXPECT_NE(doc.ReceiverVersion(0).find("VRNRCVR-SIM 2.05"), std::string::npos) << doc.ReceiverVersion(0);

    UbxRequest baud;
    baud.kind = UbxRequest::Kind::Baud;
    baud.baud = 19200;
    doc.QueueUbxRequest(0, baud);
    texts = PumpUntilIdle(doc, 0);
    EXPECT_TRUE(Contains(texts, "Receiver 1 acknowledged CFG-PRT (UART1 19200 baud)"));
    EXPECT_TRUE(WaitFor([&] { return receiver.Baud() == 19200; }));
    doc.StopPort(0);
    receiver.Stop();
    const std::lock_guard lock(mutex);
    EXPECT_TRUE(std::find(obeyed.begin(), obeyed.end(), "CFG-RST: cold start") != obeyed.end());
}

TEST(UbxCommandLink, SilentReceiverIsReportedAfterTwoSeconds)
{
    Pty pty;
    ASSERT_TRUE(pty.Ok());
    TempProfile profile;
    TempProfile::SetPort(1, pty.Path(), "9600", kModeUbxOwnFix);  // port 2: read as plain UBX
    RecordingRegistry registry;
    CFeedDoc doc(registry);
    ASSERT_NE(doc.StartPort(1), 0) << doc.LastPortError(1);
    EXPECT_EQ(doc.PortMode(1), kModeUbx);
    UbxRequest start;
    start.kind = UbxRequest::Kind::Start;
    start.start = UbxStart::Hot;
    const std::int64_t sent = NowMs();
    doc.QueueUbxRequest(1, start);
    const auto texts = PumpUntilIdle(doc, 1);
    EXPECT_GE(NowMs() - sent, 2000);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back().rfind("Receiver 2: no answer to CFG-RST (hot start) within 2 s", 0), 0U) << texts.back();
    // The frame went out as built.
    EXPECT_EQ(pty.Receive(12), UbxStartCommand(UbxStart::Hot).frame);
    // A start clears the receiver's display, as the classic initialisation does.
    EXPECT_TRUE(std::any_of(registry.hints.begin(), registry.hints.end(),
                            [](const HintCall& h) { return h.hint == kHintInitSent2; }));
    doc.StopPort(1);
}
}  // namespace
