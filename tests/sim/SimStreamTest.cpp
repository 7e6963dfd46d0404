// The simulator's output protocols read back by the program's own record set: binary frames through
// the packet extractor in arbitrary chunks, NMEA sentences through the sentence collector, and the
// receiver's own fix against the truth.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "SimTestSupport.h"
#include "sim/Messages.h"

namespace
{
using namespace vrnsim;

// Feeds `bytes` in random chunk sizes of 1..80 bytes, as a serial read delivers them.
std::vector<std::size_t> RandomChunks(std::size_t total, std::mt19937& rng)
{
    std::vector<std::size_t> sizes;
    std::uniform_int_distribution<std::size_t> size(1, 80);
    for (std::size_t at = 0; at < total;)
    {
        const std::size_t n = std::min(size(rng), total - at);
        sizes.push_back(n);
        at += n;
    }
    return sizes;
}

void FeedRandom(CData& set, std::span<const std::uint8_t> bytes, std::mt19937& rng,
                std::vector<CData>& packets)
{
    std::string diagnostic;
    std::size_t at = 0;
    for (const std::size_t n : RandomChunks(bytes.size(), rng))
    {
        ChunkRef ref{bytes.data() + at, n};
        at += n;
        while (ref.position)
            if (set.BuildBinaryDataPacket(ref, diagnostic, 0, kImportReceiver) != kImportRejected)
                packets.push_back(set);
    }
}

TEST(SimStream, BinaryFramesParseBackAsBuilt)
{
    CSimStream stream(simtest::Options(SimProtocol::Binary, 2.0));
    CData set;
    std::mt19937 rng(3);
    std::vector<std::uint8_t> bytes;
    int navs = 0, statuses = 0;
    for (int epoch = 0; epoch < 60; ++epoch)
    {
        bytes.clear();
        stream.Next(bytes);
        const Epoch& e = stream.LastEpoch();
        std::vector<CData> packets;
        FeedRandom(set, bytes, rng, packets);
        std::vector<int> ids;
        for (const CData& p : packets)
        {
            ids.push_back(p.currentId);
            if (p.currentId == kIdNav)
            {
                const NavRecord want = MakeNavRecord(e);
                EXPECT_EQ(p.nav.week, want.week);
                EXPECT_EQ(p.nav.timeOfWeek, want.timeOfWeek);
                EXPECT_EQ(p.nav.x, want.x);
                EXPECT_EQ(p.nav.y, want.y);
                EXPECT_EQ(p.nav.z, want.z);
                EXPECT_EQ(p.nav.vz, want.vz);
                EXPECT_EQ(p.nav.infoByte, want.infoByte);
                EXPECT_EQ(p.nav.infoWord, kReceiverVersion);
                ++navs;
            }
            if (p.currentId == kIdDop)
            {
                const DopRecord want = MakeDopRecord(e);
                EXPECT_EQ(p.dop.pdop, want.pdop);
                EXPECT_EQ(p.dop.tdop, want.tdop);
                EXPECT_EQ(p.dop.mode, want.mode);
            }
            if (p.currentId == kIdSv)
            {
                const SvRecord want = MakeSvRecord(e);
                ASSERT_EQ(p.sv.count, want.count);
                for (std::size_t k = 0; k < want.count; ++k)
                {
                    EXPECT_EQ(p.sv.entries[k].prn, want.entries[k].prn);
                    EXPECT_EQ(p.sv.entries[k].azimuth, want.entries[k].azimuth);
                    EXPECT_EQ(p.sv.entries[k].state, want.entries[k].state);
                    // stored as 8 + 20 log10(raw + 1): back to the level in dB-Hz
                    if (want.entries[k].signal != 0)
                    {
                        EXPECT_NEAR(p.sv.entries[k].signal, e.channels[want.entries[k].channel].cn0, 1.01);
                    }
                }
            }
            if (p.currentId == kIdMeas)
            {
                const MeasRecord want = MakeMeasRecord(e);
                EXPECT_EQ(p.meas.measWord, want.measWord);
                for (std::size_t k = 0; k < kChannelCount; ++k)
                {
                    EXPECT_EQ(p.meas.entries[k].chanPrn, want.entries[k].chanPrn);
                    EXPECT_EQ(p.meas.entries[k].signal, want.entries[k].signal);
                    EXPECT_EQ(p.meas.entries[k].meas1, want.entries[k].meas1);
                    EXPECT_EQ(p.meas.entries[k].meas2, want.entries[k].meas2);
                    EXPECT_EQ(p.meas.entries[k].aux, want.entries[k].aux);
                }
            }
            if (p.currentId == kIdStatus)
            {
                EXPECT_EQ(p.status.status11, kReceiverVersion);
                ++statuses;
            }
        }
        ASSERT_GE(ids.size(), 3U) << "epoch " << epoch;
        EXPECT_EQ(ids.back(), kIdMeas);
    }
    EXPECT_EQ(set.GetCounters().rejectedLength + set.GetCounters().rejectedChecksum +
                  set.GetCounters().framingErrors,
              0U);
    EXPECT_GT(navs, 45);
    EXPECT_EQ(statuses, 6);
}

TEST(SimStream, TestModeSendsSubframesInCadenceThenChannelMeasurementsThenMeasurement)
{
    CSimStream stream(simtest::Options(SimProtocol::Test));
    CData set;
    std::vector<std::uint8_t> bytes;
    std::array<std::uint32_t, kPrnCount + 1> lastTow{};
    double lastTime = -1.0;
    int stored = 0, subframes = 0;
    for (int epoch = 0; epoch < 200; ++epoch)
    {
        bytes.clear();
        stream.Next(bytes);
        std::vector<int> ids;
        std::vector<SatDataRecord> satData;
        std::vector<MeasRecord> meas;
        simtest::FeedBinary(
            set, bytes, 4096,
            [&](const CData& p)
            {
                ids.push_back(p.currentId);
                if (p.currentId == kIdSatData)
                    satData.push_back(p.satData);
                if (p.currentId == kIdMeas)
                    meas.push_back(p.meas);
                if (p.currentId != kIdSubframe)
                    return;
                ++subframes;
                for (std::size_t i = 0; i < p.subframe.words.size(); ++i)
                    EXPECT_TRUE(ParityOk(p.subframe.words[i], i == 0 ? 0U : p.subframe.words[i - 1]));
                const std::uint32_t tow = p.subframe.words[1] >> 13 & 0x1FFFFU;
                std::uint32_t& last = lastTow[p.subframe.prn];
                if (last != 0 && tow < last)
                {
                    ++stored;  // the stored ionospheric page, handed over once after start
                    EXPECT_EQ(p.subframe.words[2] >> 22 & 0x3FU, 56U);
                    return;
                }
                if (last != 0)
                {
                    EXPECT_EQ(tow, last + 1) << "prn " << int{p.subframe.prn};
                }
                last = tow;
            });
        ASSERT_GE(ids.size(), 2U);
        EXPECT_EQ(ids[ids.size() - 2], kIdSatData);
        EXPECT_EQ(ids.back(), kIdMeas);
        ASSERT_EQ(satData.size(), 1U);
        const SatDataRecord& s = satData.front();
        if (lastTime >= 0.0)
        {
            EXPECT_NEAR(s.time - lastTime, kTestInterval, 1e-9);
        }
        lastTime = s.time;
        for (std::size_t k = 0; k < s.count; ++k)
        {
            EXPECT_GT(s.entries[k].pseudorange, 1.9e7);
            EXPECT_LT(std::abs(s.entries[k].rangeRate), 1000.0);
            if (epoch > 60)  // every measuring channel is locked once the ephemeris is in
                for (const MeasEntry& m : meas.front().entries)
                    if ((m.chanPrn & 0xFU) == s.entries[k].channel && m.chanPrn != 0)
                    {
                        EXPECT_GE(m.signal, 63);
                    }
        }
    }
    EXPECT_EQ(stored, 1);
    EXPECT_GT(subframes, 200);
}

TEST(SimStream, OwnFixStaysWithinItsStatedErrorOfTheTruth)
{
    StreamOptions o = simtest::Options(SimProtocol::Binary);
    o.velocityEnu = {12.0, -7.0, 0.5};
    CSimStream stream(o);
    CData set;
    std::vector<std::uint8_t> bytes;
    int fixes = 0;
    for (int epoch = 0; epoch < 400; ++epoch)
    {
        bytes.clear();
        stream.Next(bytes);
        const Epoch& truth = stream.LastEpoch();
        simtest::FeedBinary(
            set, bytes, 64,
            [&](const CData& p)
            {
                if (p.currentId != kIdNav)
                    return;
                ++fixes;
                const NavRecord& n = p.nav;
                EXPECT_EQ(n.week, truth.trueTime.week);
                EXPECT_NEAR(n.timeOfWeek * 0.01, truth.trueTime.tow, 0.006);
                EXPECT_LT(
                    simtest::Distance(n.x, n.y, n.z, truth.position.x, truth.position.y, truth.position.z),
                    kFixPositionErrorM + 0.87);  // plus the whole-metre rounding
                EXPECT_LT(simtest::Distance(n.vx * 0.1, n.vy * 0.1, n.vz * 0.1, truth.velocity.x,
                                            truth.velocity.y, truth.velocity.z),
                          kFixVelocityErrorMps + 0.087);
                EXPECT_EQ(n.infoByte >> 4, std::min<int>(15, static_cast<int>(truth.inView.size())));
                EXPECT_GE(n.infoByte & 0xF, 4);
            });
    }
    EXPECT_GT(fixes, 380);
}

int HexDigit(char c)
{
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

TEST(SimStream, NmeaSentencesCarryGoodChecksumsAndParseBack)
{
    CSimStream stream(simtest::Options(SimProtocol::Nmea));
    CData set;
    std::vector<std::uint8_t> bytes;
    int sentences = 0, ggaChecked = 0;
    for (int epoch = 0; epoch < 60; ++epoch)
    {
        bytes.clear();
        stream.Next(bytes);
        const Epoch& truth = stream.LastEpoch();
        const std::string text(bytes.begin(), bytes.end());
        for (std::size_t at = 0; at < text.size();)
        {
            const std::size_t end = text.find("\r\n", at);
            ASSERT_NE(end, std::string::npos);
            const std::string line = text.substr(at, end - at);
            at = end + 2;
            ++sentences;
            ASSERT_EQ(line.rfind("$GP", 0), 0U) << line;
            const std::size_t star = line.find('*');
            ASSERT_EQ(star, line.size() - 3) << line;
            std::uint8_t sum = 0;
            for (std::size_t i = 1; i < star; ++i)
                sum = static_cast<std::uint8_t>(sum ^ static_cast<std::uint8_t>(line[i]));
            EXPECT_EQ(sum, HexDigit(line[star + 1]) * 16 + HexDigit(line[star + 2])) << line;
            EXPECT_LE(line.size(), 82U) << line;
        }
        ChunkRef ref{bytes.data(), bytes.size()};
        std::string diagnostic;
        (void)set.BuildNmeaSentence(ref, diagnostic, 0);
        EXPECT_EQ(set.gsv[0].satellitesInView, static_cast<int>(truth.inView.size()));
        if (truth.fix.valid)
        {
            // GGA coordinates are stored as ddmm.mmmm x 0.01 (degrees with minutes as the fraction).
            auto degrees = [](double v)
            {
                const double whole = std::trunc(v);
                return whole + (v - whole) * 100.0 / 60.0;
            };
            EXPECT_NEAR(degrees(set.gga.latitude), truth.geodetic.latitude / kDegree, 1e-4);
            EXPECT_NEAR(degrees(set.gga.longitude), truth.geodetic.longitude / kDegree, 1e-4);
            ++ggaChecked;
        }
    }
    EXPECT_EQ(set.GetCounters().sentencesImported, static_cast<std::uint64_t>(sentences));
    EXPECT_EQ(set.GetCounters().sentencesDropped, 0U);
    EXPECT_GT(ggaChecked, 40);
}

TEST(SimStream, TruthRowsHoldTheEpochAtFullPrecision)
{
    CSimStream stream(simtest::Options(SimProtocol::Test));
    std::vector<std::uint8_t> bytes;
    stream.Next(bytes);
    stream.Next(bytes);
    const Epoch& e = stream.LastEpoch();
    const std::string row = FormatTruthRow(e);
    std::vector<double> values;
    for (std::size_t at = 0; at <= row.size();)
    {
        std::size_t end = row.find(',', at);
        if (end == std::string::npos)
            end = row.size();
        double v = 0.0;
        const auto r = std::from_chars(row.data() + at, row.data() + end, v);
        EXPECT_EQ(r.ptr, row.data() + end) << row;
        values.push_back(v);
        at = end + 1;
    }
    ASSERT_EQ(values.size(), 15U);
    EXPECT_EQ(values[0], e.trueTime.week);
    EXPECT_EQ(values[1], e.trueTime.tow);
    EXPECT_EQ(values[2], e.position.x);
    EXPECT_DOUBLE_EQ(values[5], 24.7753);
    EXPECT_DOUBLE_EQ(values[6], 121.00248);
    EXPECT_NEAR(values[7], 150.0, 1e-6);
    EXPECT_EQ(values[11], e.clockBiasM);
    EXPECT_EQ(values[13], static_cast<double>(e.inView.size()));
}

TEST(SimStream, SameSeedSameBytesOtherSeedOtherNoise)
{
    auto run = [](std::uint64_t seed)
    {
        CSimStream stream(simtest::Options(SimProtocol::Test, 3.0, seed));
        std::vector<std::uint8_t> bytes;
        for (int i = 0; i < 30; ++i)
            stream.Next(bytes);
        return bytes;
    };
    EXPECT_EQ(run(5), run(5));
    EXPECT_NE(run(5), run(6));
}

}  // namespace
