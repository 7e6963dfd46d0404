// The own fix's input from a u-blox receiver's raw messages: which measurements count, how the
// engine's twelve channels are dealt out over the epochs, the continuity window, and the u-blox 6
// messages (RXM-RAW, RXM-SFRB) mapped the same way.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "nav/NavEngine.h"
#include "protocol/CData.h"

namespace
{
void Put(std::vector<std::uint8_t>& p, std::size_t at, std::uint64_t v, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
        p.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i) & 0xFFU);
}

struct Measurement
{
    int prn;
    int gnss = 0;
    int signal = 0;
    std::uint8_t trackingStatus = 0x07;
    double pseudorange = 2.1e7;
    float doppler = -1000.0F;
};

std::vector<std::uint8_t> Rawx(double rcvTow, const std::vector<Measurement>& ms)
{
    std::vector<std::uint8_t> p(16 + 32 * ms.size(), 0);
    Put(p, 0, std::bit_cast<std::uint64_t>(rcvTow), 8);
    Put(p, 8, 2300, 2);
    p[11] = static_cast<std::uint8_t>(ms.size());
    for (std::size_t k = 0; k < ms.size(); ++k)
    {
        const std::size_t at = 16 + 32 * k;
        Put(p, at, std::bit_cast<std::uint64_t>(ms[k].pseudorange), 8);
        Put(p, at + 16, std::bit_cast<std::uint32_t>(ms[k].doppler), 4);
        p[at + 20] = static_cast<std::uint8_t>(ms[k].gnss);
        p[at + 21] = static_cast<std::uint8_t>(ms[k].prn);
        p[at + 22] = static_cast<std::uint8_t>(ms[k].signal);
        p[at + 26] = 40;
        p[at + 30] = ms[k].trackingStatus;
    }
    return p;
}

std::vector<Measurement> Gps(const std::vector<int>& prns)
{
    std::vector<Measurement> ms;
    for (const int prn : prns)
        ms.push_back({prn});
    return ms;
}

// Channel of each PRN in the set's latest channel-measurement record; -1 when absent.
int ChannelOf(const CData& set, int prn)
{
    for (std::size_t k = 0; k < set.satData.count; ++k)
        if (set.satData.entries[k].prn == prn)
            return set.satData.entries[k].channel;
    return -1;
}

class UbxRawInput : public ::testing::Test
{
protected:
    void SetUp() override { ProcessNavEngine() = NavEngine{}; }
    void TearDown() override { ProcessNavEngine() = NavEngine{}; }
    int Epoch(double tow, const std::vector<Measurement>& ms)
    {
        return set.ImportUbxNavigationInput(0x02, 0x15, Rawx(tow, ms));
    }
    CData set;
};

TEST_F(UbxRawInput, OnlyValidGpsL1PseudorangesCount)
{
    std::vector<Measurement> ms = Gps({3, 7});
    ms.push_back({9, 0, 0, 0x06});                 // pseudorange not valid
    ms.push_back({11, 6});                         // GLONASS
    ms.push_back({12, 0, 3});                      // GPS L2 CL
    ms.push_back({33});                            // no GPS PRN
    ms.push_back({14, 0, 0, 0x01, std::nan("")});  // not a number
    ms.push_back({15, 0, 0, 0x01, -5.0});          // negative
    EXPECT_EQ(Epoch(1000.5, ms), kImportNavEpoch);
    ASSERT_EQ(set.satData.count, 2);
    EXPECT_EQ(set.satData.entries[0].prn, 3);
    EXPECT_EQ(set.satData.entries[1].prn, 7);
    EXPECT_DOUBLE_EQ(set.satData.time, 1000.5);
    EXPECT_EQ(set.satData.week, 2300);
    // Doppler -1000 Hz: moving away at 1000 L1 wavelengths a second.
    EXPECT_NEAR(set.satData.entries[0].rangeRate, 1000.0 * 299792458.0 / 1575.42e6, 1e-9);
    EXPECT_EQ(set.meas.timeOfWeek, 100050);
    EXPECT_EQ(ProcessNavEngine().inputs.usableChannels, 2);
    EXPECT_EQ(set.ublox.rawEpochs, 1U);
    EXPECT_EQ(set.ublox.rawMeasurements, 2U);
    // The own records of the epoch are filled, as in test mode.
    EXPECT_EQ(set.nav.id, kIdNav);
    EXPECT_EQ(set.sv.entries[0].prn, 3);

    // A message too short for its header runs no epoch.
    EXPECT_EQ(set.ImportUbxNavigationInput(0x02, 0x15, std::vector<std::uint8_t>(15)), kImportRejected);
    EXPECT_EQ(set.ublox.rawEpochs, 1U);
}

TEST_F(UbxRawInput, SatellitesKeepTheirChannelsAndFreedOnesWaitAnEpoch)
{
    struct Step
    {
        std::vector<int> prns;
        std::vector<std::pair<int, int>> channels;  // prn, channel
    };
    const std::vector<Step> steps = {
        {{5, 6, 7}, {{5, 0}, {6, 1}, {7, 2}}},
        {{6, 7, 8}, {{6, 1}, {7, 2}, {8, 3}}},           // 5 gave channel 0 up this epoch: 8 takes 3
        {{9, 6, 7, 8}, {{9, 0}, {6, 1}, {7, 2}, {8, 3}}},  // channel 0 is free since an epoch
        {{7, 6, 9, 8}, {{9, 0}, {6, 1}, {7, 2}, {8, 3}}},  // the order of the message does not matter
    };
    double tow = 5000.0;
    for (const Step& step : steps)
    {
        ASSERT_EQ(Epoch(tow, Gps(step.prns)), kImportNavEpoch);
        for (const auto& [prn, channel] : step.channels)
            EXPECT_EQ(ChannelOf(set, prn), channel) << "prn " << prn << " at " << tow;
        tow += 1.0;
    }

    // Fourteen satellites: twelve channels; the last two wait.
    std::vector<Measurement> many;
    for (int prn = 10; prn < 24; ++prn)
        many.push_back({prn});
    UbxRawInput::SetUp();
    CData fresh;
    ASSERT_EQ(fresh.ImportUbxNavigationInput(0x02, 0x15, Rawx(10.0, many)), kImportNavEpoch);
    EXPECT_EQ(fresh.satData.count, 12);
    EXPECT_EQ(ChannelOf(fresh, 21), 11);
    EXPECT_EQ(ChannelOf(fresh, 22), -1);
    EXPECT_EQ(ChannelOf(fresh, 23), -1);
}

TEST_F(UbxRawInput, ContinuityWindowFollowsTheMeasurementInterval)
{
    struct Case
    {
        double tow;
        double low, high;  // the window at this epoch
    };
    const Case cases[] = {
        {100.0, kClassicIntervalLowS, kClassicIntervalHighS},  // no interval known yet
        {101.0, kClassicIntervalLowS, kClassicIntervalHighS},  // one interval seen, none before it
        {102.0, 0.9989, 1.0011},                               // 1 Hz
        {102.2, 0.9989, 1.0011},                               // the rate changes to 5 Hz ...
        {102.4, 0.1989, 0.2011},                               // ... and the window follows
    };
    for (const Case& c : cases)
    {
        ASSERT_EQ(Epoch(c.tow, Gps({1, 2, 3, 4})), kImportNavEpoch);
        EXPECT_NEAR(ProcessNavEngine().inputs.intervalLowS, c.low, 1e-9) << c.tow;
        EXPECT_NEAR(ProcessNavEngine().inputs.intervalHighS, c.high, 1e-9) << c.tow;
    }
    // The classic measurement message sets the classic window back.
    ProcessNavEngine().SetEpochInputs(MeasRecord{});
    EXPECT_EQ(ProcessNavEngine().inputs.intervalLowS, kClassicIntervalLowS);
}

TEST_F(UbxRawInput, UbloxSixMessagesMapTheSameWay)
{
    // RXM-RAW: iTOW ms, week, count, then 24 bytes per satellite: carrier phase, pseudorange,
    // Doppler, PRN, quality (4 and up: pseudorange and Doppler good), C/N0, loss of lock.
    std::vector<std::uint8_t> raw(8 + 24 * 3, 0);
    Put(raw, 0, 345600500, 4);
    Put(raw, 4, 1700, 2);
    raw[6] = 3;
    const std::array<std::pair<int, int>, 3> satellites{{{4, 7}, {9, 3}, {17, 4}}};  // prn, quality
    for (std::size_t k = 0; k < satellites.size(); ++k)
    {
        const std::size_t at = 8 + 24 * k;
        Put(raw, at + 8, std::bit_cast<std::uint64_t>(2.2e7 + 1000.0 * static_cast<double>(k)), 8);
        Put(raw, at + 16, std::bit_cast<std::uint32_t>(500.0F), 4);
        raw[at + 20] = static_cast<std::uint8_t>(satellites[k].first);
        raw[at + 21] = static_cast<std::uint8_t>(satellites[k].second);
        raw[at + 22] = 42;
    }
    ASSERT_EQ(set.ImportUbxNavigationInput(0x02, 0x10, raw), kImportNavEpoch);
    ASSERT_EQ(set.satData.count, 2);
    EXPECT_EQ(set.satData.entries[0].prn, 4);
    EXPECT_EQ(set.satData.entries[1].prn, 17);
    EXPECT_DOUBLE_EQ(set.satData.entries[1].pseudorange, 2.2e7 + 2000.0);
    EXPECT_DOUBLE_EQ(set.satData.time, 345600.5);
    EXPECT_EQ(set.satData.week, 1700);

    // RXM-SFRB: channel, PRN, ten words of 24 data bits; the engine's words carry them at bits
    // 29..6. A first word without the preamble is no GPS subframe.
    std::vector<std::uint8_t> sfrb(42, 0);
    sfrb[1] = 12;
    Put(sfrb, 2, 0x8B1234, 4);
    for (std::size_t k = 1; k < 10; ++k)
        Put(sfrb, 2 + 4 * k, 0xFF000000U | (0x100000U + k), 4);  // bits 31..24 undefined
    EXPECT_EQ(set.ImportUbxNavigationInput(0x02, 0x11, sfrb), kImportAccepted);
    const NavInputs& inputs = ProcessNavEngine().inputs;
    ASSERT_EQ(inputs.queueCount, 1U);
    EXPECT_EQ(inputs.queue[0].prn, 12);
    EXPECT_EQ(inputs.queue[0].words[0], 0x8B1234U << 6);
    EXPECT_EQ(inputs.queue[0].words[3], 0x100003U << 6);
    Put(sfrb, 2, 0x741234, 4);
    (void)set.ImportUbxNavigationInput(0x02, 0x11, sfrb);
    EXPECT_EQ(inputs.queueCount, 1U);

    // RXM-SFRBX of another system or signal, or with other than ten words, is left out.
    std::vector<std::uint8_t> sfrbx(8 + 40, 0);
    sfrbx[1] = 5;
    sfrbx[4] = 10;
    Put(sfrbx, 8, 0x8B0000U << 6, 4);
    EXPECT_EQ(set.ImportUbxNavigationInput(0x02, 0x13, sfrbx), kImportAccepted);
    EXPECT_EQ(inputs.queueCount, 2U);
    EXPECT_EQ(inputs.queue[1].words[0], 0x8B0000U << 6);
    for (const auto& change : {std::pair<std::size_t, std::uint8_t>{0, 2},
                                                             {2, 3}, {4, 8}})
    {
        auto other = sfrbx;
        other[change.first] = change.second;
        (void)set.ImportUbxNavigationInput(0x02, 0x13, other);
        EXPECT_EQ(inputs.queueCount, 2U);
    }
}
}  // namespace
