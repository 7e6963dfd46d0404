// The readers' fix tap for the accuracy analysis: it works with no view open, the own fix arrives
// once per navigation epoch with the session of its start, and a stopped port's reports are stale.
// A u-blox port gives the same reports.
#include <gtest/gtest.h>

#include <thread>

#include "LinkTestSupport.h"
#include "link/CFeedDoc.h"
#include "nav/NavEngine.h"
#include "protocol/UbxFrame.h"

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

// A u-blox receiver with the own fix: each NAV-PVT reaches the analysis as receiver 1's report,
// with what it carries, and each raw measurement epoch as one own fix, as in Test mode.
TEST(FixTap, UbxPortGivesTheReceiversReportsAndTheOwnFix)
{
    TempProfile profile;
    Pty pty1;
    ASSERT_TRUE(pty1.Ok());
    TempProfile::SetPort(0, pty1.Path(), "38400", kModeUbxOwnFix);
    RecordingRegistry registry;
    registry.fixes = std::make_shared<RecordingFixes>();
    RecordingFrame frame;
    ProcessNavEngine() = NavEngine{};
    auto doc = std::make_unique<CFeedDoc>(registry, &frame);
    ASSERT_EQ(doc->StartPort(0), 1);
    auto put = [](std::vector<std::uint8_t>& p, std::size_t at, std::uint32_t value, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            p[at + i] = static_cast<std::uint8_t>(value >> (8 * i) & 0xFFU);
    };
    for (std::uint32_t k = 0; k < 3; ++k)
    {
        const std::uint32_t towMs = 345600000U + 1000U * k;
        std::vector<std::uint8_t> pvt(92, 0);
        put(pvt, 0, towMs, 4);
        pvt[20] = 3;     // 3D
        pvt[21] = 0x01;  // gnssFixOK
        pvt[23] = 7;     // satellites used
        put(pvt, 28, 501350851U, 4);
        std::vector<std::uint8_t> raw(8, 0);  // RXM-RAW without measurements: an epoch all the same
        put(raw, 0, towMs, 4);
        put(raw, 4, 2400, 2);
        pty1.Send(ubx::BuildFrame(0x01, 0x07, pvt));
        pty1.Send(ubx::BuildFrame(0x02, 0x10, raw));
    }
    ASSERT_TRUE(WaitFor([&] { return registry.fixes->Deliveries().size() >= 6; }));
    std::this_thread::sleep_for(50ms);
    const auto deliveries = registry.fixes->Deliveries();
    doc->StopPort(0);
    doc.reset();
    ProcessNavEngine() = NavEngine{};
    ASSERT_EQ(deliveries.size(), 6U);
    for (std::size_t k = 0; k < deliveries.size(); ++k)
    {
        const FixDelivery& d = deliveries[k];
        SCOPED_TRACE(k);
        if (k % 2 == 0)
        {
            EXPECT_EQ(d.source, kFixReceiver1);
            EXPECT_STREQ(d.fix.source.data(), "NAV-PVT");
            EXPECT_EQ(d.fix.fixMode, 3);
            EXPECT_EQ(d.fix.satsUsed, 7);
            EXPECT_EQ(d.fix.carried, kFixCarriesAltitude | kFixCarriesQuality | kFixCarriesSatsUsed);
            EXPECT_DOUBLE_EQ(d.fix.gpsTimeOfWeekS, 345600.0 + static_cast<double>(k / 2));
        }
        else
        {
            EXPECT_EQ(d.source, kFixOwn);
            EXPECT_STREQ(d.fix.source.data(), "OWN");
            EXPECT_EQ(d.fix.sequence, k / 2 + 1);
            EXPECT_EQ(d.fix.modeIndicator, 'N');  // no measurements, no fix
        }
    }
}
