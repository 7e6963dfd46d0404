// vrnrcvr-replay --protocol ubx on the three u-blox captures of the shared test data: message counts,
// fix rows, satellite rows and the raw measurements of one epoch, against values read from the
// captures by hand (a byte dump and the published message layouts), whatever the chunking.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "Replay.h"
#include "ReplayGnss.h"
#include "nav/NavEngine.h"

namespace fs = std::filesystem;

namespace
{
const fs::path kUbxData = fs::path(VRN_SHARED_TESTDATA) / "ubx";

std::vector<std::uint8_t> ReadCapture(const std::string& name)
{
    std::ifstream in(kUbxData / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct UbxReplay
{
    std::vector<std::string> fixes;       // rows without the line feed
    std::vector<std::string> satellites;  // rows without the line feed
    ubx::ExtractorCounters counters;
    std::string log;
};

std::vector<std::string> Lines(std::string_view text)
{
    std::vector<std::string> lines;
    std::istringstream in{std::string(text)};
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

UbxReplay ReplayUbx(const std::vector<std::uint8_t>& bytes, const std::function<std::size_t()>& nextChunk = {})
{
    UbxReplay out;
    replay::ReplayLog log([&out](std::string_view line) { out.log += line; });
    vrn::SetPortLog(&log);
    replay::Options options;
    options.mode = vrn::kModeUbx;
    auto context = std::make_unique<vrn::ParseContext>();
    replay::NoViews views;
    replay::GnssOutputs rows(
        options.mode, views, [&out](std::string_view row) { for (auto& l : Lines(row)) out.fixes.push_back(l); },
        [&out](std::string_view row) { for (auto& l : Lines(row)) out.satellites.push_back(l); });
    vrn::SetFixSink(&rows);
    replay::Stats stats;
    replay::FeedChunks(bytes, options, *context, rows, stats, nextChunk);
    rows.Finish(context->receiver);
    vrn::SetFixSink(nullptr);
    vrn::SetPortLog(nullptr);
    out.counters = context->ubx.Counters();
    return out;
}

std::size_t Count(const std::vector<std::string>& rows, std::string_view prefix)
{
    return static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [&](const std::string& r) { return r.starts_with(prefix); }));
}

// A fix row against one read by hand: every field as text, but the course (the last field, read
// to two decimals) within 0.005 degree.
void ExpectFixRow(const std::string& row, const std::string& expected)
{
    const std::size_t cut = row.rfind(','), expectedCut = expected.rfind(',');
    ASSERT_NE(cut, std::string::npos) << row;
    EXPECT_EQ(row.substr(0, cut), expected.substr(0, expectedCut));
    const std::string course = row.substr(cut + 1), expectedCourse = expected.substr(expectedCut + 1);
    if (expectedCourse.empty() || course.empty())
        EXPECT_EQ(course, expectedCourse) << row;
    else
        EXPECT_NEAR(std::stod(course), std::stod(expectedCourse), 0.005) << row;
}

bool Has(const std::vector<std::string>& rows, std::string_view row)
{
    return std::find(rows.begin(), rows.end(), row) != rows.end();
}

class UbxCaptures : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!fs::exists(kUbxData))
            GTEST_SKIP() << "no shared test data at " << kUbxData;
    }
};

struct CaptureCase
{
    const char* file;
    std::vector<std::pair<std::uint16_t, std::uint64_t>> counts;  // by hand from a dump
    std::vector<std::string> firstFixes;                          // the first rows, by hand
    std::size_t fixRows;
    std::vector<std::string> satelliteRows;  // rows of the first satellite message, by hand
    std::size_t firstSatellites;             // satellites of the first satellite message
};

TEST_F(UbxCaptures, MessagesFixesAndSatellitesAsReadByHand)
{
    const CaptureCase cases[] = {
        {"ublox-neo-m8p.log",
         {{ubx::kNavPvt, 59}, {ubx::kNavSat, 59}, {ubx::kNavDop, 59}, {ubx::kNavTimeGps, 59},
          {ubx::kNavPosEcef, 59}, {ubx::kNavVelEcef, 59}, {ubx::MessageKey(0x01, 0x3C), 59}, {ubx::kNavEoe, 59},
          {ubx::MessageKey(0x02, 0x32), 12}},
         {"NAV-PVT,181855.50,100621,50.135085100,14.429946600,304.587,1,3,9,,2.49,,0.029,0.00",
          "NAV-PVT,181855.75,100621,50.135085000,14.429946600,304.568,1,3,9,,2.49,,0.025,0.00",
          "NAV-PVT,181856.00,100621,50.135085000,14.429946700,304.591,1,3,9,,2.49,,0.014,0.00"},
         59,
         {"181855.50,G,1,56,148,33,1", "181855.50,G,32,1,45,,0", "181855.50,R,21,71,244,18,1",
          "181855.50,R,13,0,341,,0", "181855.50,G,9,16,215,23,0"},
         21},
        {"ublox-zed-f9p-sfrbx.log",
         {{ubx::kNavPvt, 19}, {ubx::kNavSat, 2}, {ubx::kRxmSfrbx, 55}, {ubx::kNavDop, 19}, {ubx::kNavTimeGps, 19}},
         {"NAV-PVT,212756.00,100620,44.068865500,-121.314094800,1129.911,1,3,18,,1.52,,0.027,120.45",
          "NAV-PVT,212757.00,100620,44.068864900,-121.314095600,1130.022,1,3,18,,1.52,,0.045,120.45"},
         19,
         {"212759.00,G,2,50,53,14,1", "212759.00,R,18,64,347,19,1", "212759.00,R,1,5,13,,0"},
         35},
        // No NAV-PVT: NAV-SOL gives the fixes; GPS time less 18 leap seconds (NAV-TIMEGPS).
        {"ublox-neo-m8t.log",
         {{ubx::kNavSol, 39}, {ubx::kRxmRawx, 39}, {ubx::kNavSat, 4}, {ubx::MessageKey(0x01, 0x32), 4}},
         {"NAV-SOL,205546.00,251018,44.068809596,-121.314309171,,1,3,9,,1.73,,0.004,54.67"},
         39,
         {},
         0},
    };
    for (const CaptureCase& c : cases)
    {
        SCOPED_TRACE(c.file);
        const auto bytes = ReadCapture(c.file);
        ASSERT_FALSE(bytes.empty());
        const UbxReplay whole = ReplayUbx(bytes);
        EXPECT_EQ(whole.counters.badChecksum, 0U);
        EXPECT_EQ(whole.counters.tooLong, 0U);
        for (const auto& [key, count] : c.counts)
            EXPECT_EQ(whole.counters.perMessage.count(key) ? whole.counters.perMessage.at(key) : 0U, count)
                << ubx::MessageLabel(key);
        ASSERT_GE(whole.fixes.size(), c.firstFixes.size());
        EXPECT_EQ(whole.fixes.size(), c.fixRows);
        for (std::size_t k = 0; k < c.firstFixes.size(); ++k)
            ExpectFixRow(whole.fixes[k], c.firstFixes[k]);
        for (const std::string& row : c.satelliteRows)
            EXPECT_TRUE(Has(whole.satellites, row)) << row;
        if (c.firstSatellites > 0)
        {
            const std::string utc = c.satelliteRows.front().substr(0, 9);
            EXPECT_EQ(Count(whole.satellites, utc + ","), c.firstSatellites);
            EXPECT_GT(Count(whole.satellites, "end,"), 0U);
        }

        // Random chunks give the same rows.
        std::mt19937 rng(7);
        const UbxReplay random = ReplayUbx(bytes, [&rng] { return static_cast<std::size_t>(rng() % 80 + 1); });
        EXPECT_EQ(random.fixes, whole.fixes);
        EXPECT_EQ(random.satellites, whole.satellites);
        EXPECT_EQ(random.log, whole.log);
    }
}

TEST_F(UbxCaptures, RawMeasurementsOfOneEpochAsReadByHand)
{
    // The first RXM-RAWX of the NEO-M8T capture (byte 314): rcvTow 420963.992 s, week 2024, 13
    // measurements of which 10 are GPS L1 C/A with a valid pseudorange (the other 3 are SBAS).
    const auto bytes = ReadCapture("ublox-neo-m8t.log");
    ASSERT_FALSE(bytes.empty());
    ubx::CUbxExtractor extractor;
    ChunkRef ref{bytes.data(), bytes.size()};
    ubx::Event event;
    do
        event = extractor.Next(ref);
    while (event.kind != ubx::Event::Kind::None && event.Key() != ubx::kRxmRawx);
    ASSERT_EQ(event.Key(), ubx::kRxmRawx);

    ProcessNavEngine() = NavEngine{};
    CData own;
    EXPECT_EQ(own.ImportUbxNavigationInput(event.cls, event.id, event.bytes), kImportNavEpoch);
    ProcessNavEngine() = NavEngine{};
    EXPECT_EQ(own.satData.week, 2024);
    EXPECT_DOUBLE_EQ(own.satData.time, 420963.992);
    ASSERT_EQ(own.satData.count, 10);
    struct Measurement
    {
        int prn;
        double pseudorange, doppler;
    };
    // Channels in the order the message lists the satellites.
    const Measurement expected[] = {{32, 18191129.764, 1130.424}, {10, 18209344.772, -985.384},
                                    {14, 19164830.956, 2350.592}, {20, 19397504.255, -2345.764},
                                    {8, 19953380.487, -857.055},  {27, 20221549.867, -2679.057},
                                    {24, 21308524.366, -1387.244}, {11, 21136353.729, 3265.142},
                                    {21, 21533043.666, -3016.693}, {4, 21478168.193, -3284.967}};
    const double wavelength = 299792458.0 / 1575.42e6;
    for (std::size_t k = 0; k < std::size(expected); ++k)
    {
        const SatDataEntry& e = own.satData.entries[k];
        EXPECT_EQ(e.channel, k);
        EXPECT_EQ(e.prn, expected[k].prn);
        EXPECT_NEAR(e.pseudorange, expected[k].pseudorange, 0.0005);
        EXPECT_NEAR(e.rangeRate, -expected[k].doppler * wavelength, 0.0005);
        // The classic measurement entry holds PRNs in five bits: PRN 32 reads as an empty entry there.
        EXPECT_EQ((own.meas.entries[k].chanPrn >> 4) & 0x1F, expected[k].prn & 0x1F);
        EXPECT_GE(own.meas.entries[k].signal, 63);
    }
    EXPECT_NEAR(own.satData.entries[0].rangeRate, -215.1125, 0.0005);
    EXPECT_EQ(own.meas.timeOfWeek, 42096399);
}

TEST_F(UbxCaptures, SubframesOfTheF9pReachTheEngine)
{
    // 55 RXM-SFRBX, 5 of them GPS L1 C/A (the rest Galileo, BeiDou and GLONASS).
    const auto bytes = ReadCapture("ublox-zed-f9p-sfrbx.log");
    ASSERT_FALSE(bytes.empty());
    ProcessNavEngine() = NavEngine{};
    replay::Options options;
    options.mode = vrn::kModeUbxOwnFix;
    auto context = std::make_unique<vrn::ParseContext>();
    replay::NoViews views;
    replay::Stats stats;
    replay::FeedChunks(bytes, options, *context, views, stats);
    EXPECT_EQ(context->own.ublox.subframes, 5U);
    EXPECT_EQ(ProcessNavEngine().inputs.queueCount, 5U);  // no RXM-RAWX: still queued
    ProcessNavEngine() = NavEngine{};
}
}  // namespace
