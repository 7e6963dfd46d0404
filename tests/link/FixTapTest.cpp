// The readers' fix tap for the accuracy analysis: it works with no view open, the own fix arrives
// once per navigation epoch with the session of its start, and a stopped port's reports are stale.
#include <gtest/gtest.h>

#include <thread>

#include "LinkTestSupport.h"
#include "link/CFeedDoc.h"

using namespace vrn;
using namespace vrn::test;
using namespace std::chrono_literals;

TEST(FixTap, OwnFixOncePerNavigationEpochWithoutAnyView)
{
    TempProfile profile;
    Pty pty1;
    ASSERT_TRUE(pty1.Ok());
    TempProfile::SetPort(0, pty1.Path(), "38400", kModeTest);
    RecordingRegistry registry;
    registry.fixes = std::make_shared<RecordingFixes>();
    RecordingFrame frame;
    auto doc = std::make_unique<CFeedDoc>(registry, &frame);
    ASSERT_EQ(doc->StartPort(0), 1);
    const std::vector<std::uint8_t> meas{0x08, 0xE8, 0x03, 0, 0, 0, 0, 0, 0, 0};
    for (int k = 0; k < 3; ++k)
        pty1.Send(Frame(meas));
    ASSERT_TRUE(WaitFor([&] { return registry.fixes->Deliveries().size() >= 3; }));
    std::this_thread::sleep_for(50ms);
    const auto deliveries = registry.fixes->Deliveries();
    ASSERT_EQ(deliveries.size(), 3U);  // the receiver set's fix never changed: nothing for it
    double lastArrival = 0.0;
    for (std::size_t k = 0; k < deliveries.size(); ++k)
    {
        EXPECT_EQ(deliveries[k].source, kFixOwn);
        EXPECT_EQ(deliveries[k].fix.sequence, k + 1);
        EXPECT_EQ(deliveries[k].fix.fixMode, 1);  // no fix yet
        EXPECT_EQ(deliveries[k].fix.modeIndicator, 'N');
        EXPECT_TRUE(deliveries[k].Current());
        EXPECT_GE(deliveries[k].arrivalS, lastArrival);
        lastArrival = deliveries[k].arrivalS;
    }
    doc->StopPort(0);
    EXPECT_FALSE(deliveries[0].Current());  // a report still queued from that start is dropped
    doc.reset();
}
