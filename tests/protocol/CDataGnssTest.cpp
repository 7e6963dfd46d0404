// NMEA of every talker into the satellite table and the receiver fix: GSV sets (completion,
// interleaving, signal ids), GSA used flags, expiry, capacity, positions to the exact degree, the
// notification rule, the "GPS talker only" setting, comments, checksums and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "ProtocolTestSupport.h"
#include "SentenceText.h"
#include "app/CTraceFile.h"

using namespace testing_support;

namespace
{
// Runs `text` through the collector as one chunk; returns ggaSeen afterwards.
int Feed(CData& set, std::string_view text)
{
    ChunkRef chunk{reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
    std::string diagnostic;
    (void)set.BuildNmeaSentence(chunk, diagnostic, 0);
    return set.ggaSeen;
}

void FeedAll(CData& set, const std::vector<std::string>& bodies)
{
    for (const auto& b : bodies)
        Feed(set, Sentence(b));
}

// The satellites of one constellation as "svid/elevation/azimuth/snr/used" words, by number.
std::string Sats(const CData& set, Constellation system)
{
    std::vector<const SatelliteEntry*> found;
    for (const SatelliteEntry& e : set.satellites.Entries())
        if (e.system == system)
            found.push_back(&e);
    std::sort(found.begin(), found.end(), [](auto* a, auto* b) { return a->svid < b->svid; });
    std::string out;
    for (const SatelliteEntry* e : found)
    {
        if (!out.empty())
            out += ' ';
        out += std::to_string(e->svid) + "/" +
               (e->elevationDeg == kNoAngle ? "-" : std::to_string(e->elevationDeg)) + "/" +
               (e->azimuthDeg == kNoAngle ? "-" : std::to_string(e->azimuthDeg)) + "/" +
               (e->snrDbHz == kNoSnr ? "-" : std::to_string(e->snrDbHz)) + (e->used ? "/u" : "");
    }
    return out;
}

std::string Degrees(double value)
{
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.9f", value);
    return text.data();
}

class TraceLines : public vrn::ITraceSink
{
public:
    TraceLines()
    {
        vrn::SetTraceSwitch(true);
        CTraceFile::SwitchToMessagingView(this);
    }
    ~TraceLines() override
    {
        CTraceFile::UnregisterMessagingView(this);
        vrn::SetTraceSwitch(false);
    }
    void AddText(const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};
}  // namespace

// ---- satellite numbers ----

TEST(SatelliteNumbers, TalkerAndRangesGiveConstellationAndNumber)
{
    struct Case
    {
        const char* talker;
        int number;
        Constellation system;
        int svid;  // 0: no satellite
    };
    using C = Constellation;
    const std::vector<Case> cases{
        {"GP", 1, C::Gps, 1},       {"GP", 32, C::Gps, 32},     {"GP", 33, C::Sbas, 120},
        {"GP", 51, C::Sbas, 138},   {"GP", 64, C::Sbas, 151},   {"GN", 65, C::Glonass, 1},
        {"GN", 96, C::Glonass, 32}, {"GL", 5, C::Glonass, 5},   {"GL", 75, C::Glonass, 11},
        {"GN", 120, C::Sbas, 120},  {"GN", 158, C::Sbas, 158},  {"GP", 193, C::Qzss, 1},
        {"GN", 202, C::Qzss, 10},   {"GB", 201, C::BeiDou, 1},  {"GN", 203, C::BeiDou, 3},
        {"GN", 263, C::BeiDou, 63}, {"GA", 301, C::Galileo, 1}, {"GN", 336, C::Galileo, 36},
        {"GA", 36, C::Galileo, 36}, {"GN", 401, C::BeiDou, 1},  {"BD", 463, C::BeiDou, 63},
        {"GB", 27, C::BeiDou, 27},  {"BD", 13, C::BeiDou, 13},  {"GQ", 3, C::Qzss, 3},
        {"QZ", 195, C::Qzss, 3},    {"GI", 7, C::NavIC, 7},     {"GN", 97, C::Other, 97},
        {"GN", 170, C::Other, 170}, {"XX", 500, C::Other, 500}, {"GP", 65535, C::Other, 65535},
        {"GP", 0, C::Other, 0},     {"GP", -5, C::Other, 0},    {"GP", 65536, C::Other, 0},
    };
    for (const Case& c : cases)
    {
        const auto id = SatelliteFromNmea(ConstellationOfTalker(c.talker), c.number);
        if (c.svid == 0)
            EXPECT_FALSE(id.has_value()) << c.talker << ' ' << c.number;
        else
        {
            ASSERT_TRUE(id.has_value()) << c.talker << ' ' << c.number;
            EXPECT_EQ(ConstellationLetter(id->system), ConstellationLetter(c.system))
                << c.talker << ' ' << c.number;
            EXPECT_EQ(id->svid, c.svid) << c.talker << ' ' << c.number;
        }
    }
    EXPECT_EQ(ConstellationOfSystemId(4), Constellation::BeiDou);
    EXPECT_FALSE(ConstellationOfSystemId(7).has_value());
}

// ---- GSV sets ----

TEST(CDataGsv, ACompletedSetReplacesItsTalkersSatellitesAndAShortOneOnlyUpdates)
{
    CData set;
    FeedAll(set, {"GPGSV,1,1,03,01,10,100,30,02,20,200,31,03,30,300,32"});
    EXPECT_EQ(Sats(set, Constellation::Gps), "1/10/100/30 2/20/200/31 3/30/300/32");
    // Interleaved: GL's one-message set between the two messages of GP's set.
    FeedAll(set, {"GPGSV,2,1,05,02,21,201,33,03,31,301,,04,40,045,40,05,50,050,41",
                  "GLGSV,1,1,01,70,45,090,38", "GPGSV,2,2,05,06,60,060,42"});
    EXPECT_EQ(Sats(set, Constellation::Gps), "2/21/201/33 3/31/301/- 4/40/45/40 5/50/50/41 6/60/60/42");
    EXPECT_EQ(Sats(set, Constellation::Glonass), "6/45/90/38");
    // A set that stops short (message 2 of 3 never comes) updates what it carried and removes nothing.
    FeedAll(set, {"GPGSV,3,1,09,02,22,202,34", "GPGSV,3,3,09,07,70,070,43"});
    EXPECT_EQ(Sats(set, Constellation::Gps),
              "2/22/202/34 3/31/301/- 4/40/45/40 5/50/50/41 6/60/60/42 7/70/70/43");
    EXPECT_EQ(Sats(set, Constellation::Glonass), "6/45/90/38");
    // An empty set clears its talker.
    FeedAll(set, {"GLGSV,1,1,00"});
    EXPECT_EQ(Sats(set, Constellation::Glonass), "");
    EXPECT_EQ(set.satellites.Size(), 6U);
}

TEST(CDataGsv, SignalIdsMakeOneEntryWithTheStrongestSnr)
{
    CData set;
    // NMEA 4.10: the same GPS satellites on L1 C/A (1) and L5 (8), a set without signal id beside them.
    FeedAll(set, {"GPGSV,1,1,02,05,40,100,35,07,50,200,30,1", "GPGSV,1,1,02,05,40,100,41,09,10,300,,8",
                  "GAGSV,1,1,01,11,60,045,44"});
    EXPECT_EQ(Sats(set, Constellation::Gps), "5/40/100/41 7/50/200/30 9/10/300/-");
    const SatelliteEntry* five = set.satellites.Find(Constellation::Gps, 5);
    ASSERT_NE(five, nullptr);
    EXPECT_EQ(five->signalMask, (1U << 1) | (1U << 8));
    EXPECT_EQ(five->snrBySignal[1], 35);
    EXPECT_EQ(five->snrBySignal[8], 41);
    EXPECT_EQ(set.satellites.Find(Constellation::Galileo, 11)->signalMask, 1U);  // no id: bit 0
    // The L5 set now lacks satellite 5: it keeps L1 and its L1 SNR; 9 was seen on L5 only and goes.
    FeedAll(set, {"GPGSV,1,1,01,07,50,200,28,8"});
    EXPECT_EQ(Sats(set, Constellation::Gps), "5/40/100/35 7/50/200/30");
    EXPECT_EQ(set.satellites.Find(Constellation::Gps, 5)->signalMask, 1U << 1);
    EXPECT_EQ(set.satellites.Find(Constellation::Gps, 7)->signalMask, (1U << 1) | (1U << 8));
}

TEST(CDataGsv, BadSetsStayInBoundsAndKeepWhatTheyCarry)
{
    struct Case
    {
        const char* body;
        const char* gps;  // the GPS satellites afterwards (the set before held 1 and 2)
        std::uint64_t rejected;
    };
    const std::vector<Case> cases{
        {"GPGSV,1,3,02,03,30,030,30", "1/10/10/20 2/20/20/21 3/30/30/30", 0},    // number above total
        {"GPGSV,12,12,02,03,30,030,30", "1/10/10/20 2/20/20/21 3/30/30/30", 0},  // total above 9
        {"GPGSV,1,1,09,03,30,030,30", "3/30/30/30", 0},                          // count disagrees
        {"GPGSV,1,1,06,03,3,3,3,04,4,4,4,05,5,5,5,06,6,6,6,07,7,7,7,08,8,8,8",
         "3/3/3/3 4/4/4/4 5/5/5/5 6/6/6/6 7/7/7/7 8/8/8/8", 0},
        {"GPGSV,1,1,01,,,,,03,30,030,30,,,,", "3/30/30/30", 0},            // empty groups
        {"GPGSV,1,1,01,03,30,030,30,G", "3/30/30/30", 0},                  // signal id not hex
        {"GPGSV,1,1,01,03,30,030,30,16", "3/30/30/30", 0},                 // signal id above 15
        {"GPGSV,1,1,02,99999999999,1,1,1,03,91,400,999", "3/-/-/-", 1},    // huge numbers
        {"GPGSV,1,1,02,x1,1,1,1,0,5,5,5,03,-5,0,0", "3/-5/0/0", 2},        // not numbers, 0
        {"GPGSV,1,1,01,03,30,030", "3/30/30/-", 0},                        // short group
        {"GPGSV", "1/10/10/20 2/20/20/21", 0},                             // no fields
        {"GPGSV,,,,03,30,030,30", "1/10/10/20 2/20/20/21 3/30/30/30", 0},  // no header
    };
    for (const Case& c : cases)
    {
        CData set;
        FeedAll(set, {"GPGSV,1,1,02,01,10,010,20,02,20,020,21", c.body});
        EXPECT_EQ(Sats(set, Constellation::Gps), c.gps) << c.body;
        EXPECT_EQ(set.GetCounters().satellitesRejected, c.rejected) << c.body;
        EXPECT_EQ(set.GetCounters().checksumMismatches, 0U) << c.body;
    }
}

TEST(CDataGsv, TheTableHoldsAtMost128AndCountsTheRest)
{
    CData set;
    // 152 numbers no constellation has (kept as Other), in first messages of sets that never
    // complete, so none of them removes another.
    for (int first = 1000; first < 1150; first += 4)
    {
        std::string body = "GNGSV,9,1,36";
        for (int n = first; n < first + 4; ++n)
            body += "," + std::to_string(n) + ",10,100,30";
        FeedAll(set, {body});
    }
    EXPECT_EQ(set.satellites.Size(), SatelliteTable::kCapacity);
    EXPECT_EQ(set.satellites.Dropped(), 152U - SatelliteTable::kCapacity);
    EXPECT_EQ(set.satellites.CountInView(Constellation::Other), SatelliteTable::kCapacity);
}

TEST(CDataGsv, SatellitesLeaveAfterTenSecondsOfReceiverTimeAcrossMidnight)
{
    CData set;
    FeedAll(set,
            {"GPGGA,235955.00,,,,,0,00,,,,,,,", "GPGSV,1,1,01,01,10,010,20", "GLGSV,1,1,01,65,10,010,20"});
    // GP keeps reporting, GL stops; time goes on past midnight.
    for (const char* utc : {"235959.00", "000003.00"})
        FeedAll(set, {std::string("GPGGA,") + utc + ",,,,,0,00,,,,,,,", "GPGSV,1,1,01,01,10,010,20"});
    EXPECT_EQ(set.satellites.CountInView(Constellation::Glonass), 1U);  // 8 s
    FeedAll(set, {"GPRMC,000006.00,V,,,,,,,120720,,,N"});
    EXPECT_EQ(set.satellites.CountInView(Constellation::Glonass), 0U);  // 11 s
    EXPECT_EQ(set.satellites.CountInView(Constellation::Gps), 1U);
    // A time going backwards does not age anything.
    FeedAll(set, {"GPGGA,000001.00,,,,,0,00,,,,,,,"});
    EXPECT_EQ(set.satellites.CountInView(Constellation::Gps), 1U);
}

// ---- GSA ----

TEST(CDataGsa, UsedFlagsPerBurstTalkerAndSystemId)
{
    const std::vector<std::string> view{"GPGSV,1,1,03,01,10,010,20,02,10,010,20,40,10,010,20",
                                        "GLGSV,1,1,02,65,10,010,20,66,10,010,20",
                                        "GAGSV,1,1,01,05,10,010,20,7", "GBGSV,1,1,01,05,10,010,20,1"};
    struct Case
    {
        std::vector<std::string> bursts;  // sentences after the view, "-" ends a burst
        const char* used;                 // letters and numbers of the used satellites
    };
    const std::vector<Case> cases{
        // GN without system ids: one sentence per constellation, the numbers decide.
        {{"GNGSA,A,3,01,40,,,,,,,,,,,1.5,0.9,1.2", "GNGSA,A,3,66,,,,,,,,,,,,1.5,0.9,1.2"}, "G1 R2 S127"},
        // The next burst no longer names GLONASS: its flags go.
        {{"GNGSA,A,3,01,40,,,,,,,,,,,1.5,0.9,1.2", "GNGSA,A,3,66,,,,,,,,,,,,1.5,0.9,1.2", "-",
          "GNGSA,A,3,02,,,,,,,,,,,,1.5,0.9,1.2", "GNGSA,A,3,,,,,,,,,,,,,1.5,0.9,1.2"},
         "G2"},
        // NMEA 4.11: system ids 1 GPS (with its SBAS numbers), 3 Galileo, 4 BeiDou.
        {{"GNGSA,A,3,02,40,,,,,,,,,,,1.5,0.9,1.2,1", "GNGSA,A,3,05,,,,,,,,,,,,1.5,0.9,1.2,3",
          "GNGSA,A,3,05,,,,,,,,,,,,1.5,0.9,1.2,4"},
         "G2 E5 C5 S127"},
        // A constellation's own talker replaces only its own flags, even when other sentences come between.
        {{"GPGSA,A,3,01,02,,,,,,,,,,,1.5,0.9,1.2", "-", "GLGSA,A,3,65,,,,,,,,,,,,1.5,0.9,1.2", "-",
          "GPGSA,A,3,02,,,,,,,,,,,,1.5,0.9,1.2"},
         "G2 R1"},
        // Two GP sentences in one burst (more than twelve used) add up.
        {{"GPGSA,A,3,01,,,,,,,,,,,,1.5,0.9,1.2", "GPGSA,A,3,02,,,,,,,,,,,,1.5,0.9,1.2"}, "G1 G2"},
    };
    for (const Case& c : cases)
    {
        CData set;
        FeedAll(set, view);
        for (const std::string& s : c.bursts)
            FeedAll(set, {s == "-" ? std::string("GPVTG,,T,,M,0.0,N,0.0,K,A") : s});
        std::string used;
        for (const Constellation system : {Constellation::Gps, Constellation::Glonass, Constellation::Galileo,
                                           Constellation::BeiDou, Constellation::Sbas})
            for (const SatelliteEntry& e : set.satellites.Entries())
                if (e.system == system && e.used)
                    used += (used.empty() ? "" : " ") + std::string(1, ConstellationLetter(system)) +
                            std::to_string(e.svid);
        EXPECT_EQ(used, c.used) << c.bursts.front();
        EXPECT_EQ(set.satellites.CountUsed(),
                  static_cast<std::size_t>(std::count(used.begin(), used.end(), ' ') + 1))
            << c.bursts.front();
    }
}

TEST(CDataGsa, FlagsReachSatellitesReportedLaterAndTheDopsTheFix)
{
    CData set;
    FeedAll(set, {"GNGSA,A,3,07,,,,,,,,,,,,2.5,1.3,2.1,1", "GPGSV,1,1,02,07,10,010,20,08,10,010,20"});
    EXPECT_EQ(Sats(set, Constellation::Gps), "7/10/10/20/u 8/10/10/20");
    EXPECT_EQ(set.fix.fixMode, 3);
    EXPECT_DOUBLE_EQ(set.fix.pdop, 2.5);
    EXPECT_DOUBLE_EQ(set.fix.hdop, 1.3);
    EXPECT_DOUBLE_EQ(set.fix.vdop, 2.1);
    // The classic record keeps the GPS sentence of a GN burst, whatever comes after it.
    FeedAll(set, {"GNGSA,A,3,07,,,,,,,,,,,,2.5,1.3,2.1,1", "GNGSA,A,3,70,,,,,,,,,,,,2.5,1.3,2.1,2"});
    EXPECT_STREQ(set.gsa.fields[nmea::kGsaFirstPrn].data(), "07");
}

// ---- the fix ----

TEST(CDataFix, PositionSentencesOfEveryTalkerToTheExactDegree)
{
    struct Case
    {
        std::string body;
        const char* source;
        const char* lat;
        const char* lon;
        double altitude;  // NaN: not carried
        int quality;      // -1: not carried
        int satsUsed;
    };
    const double none = kNoValue;
    const std::vector<Case> cases{
        {"GNGGA,171926.00,4404.14063,N,12118.85478,W,1,12,0.91,1147.2,M,-21.3,M,,", "GNGGA", "44.069010500",
         "-121.314246333", 1147.2, 1, 12},
        {"GLGGA,020935.000,4404.1351,N,12118.8556,W,1,02,0.9,1123.9,M,-19.6,M,,0000", "GLGGA", "44.068918333",
         "-121.314260000", 1123.9, 1, 2},
        {"GNRMC,223745.00,A,3806.62964,S,12237.61382,E,0.040,,110720,,,D,V", "GNRMC", "-38.110494000",
         "122.626897000", none, -1, -1},
        {"GNGLL,5957.0062,N,01100.6429,E,120213.000,A,D", "GNGLL", "59.950103333", "11.010715000", none, -1,
         -1},
        {"GNGNS,120213.000,5957.0062,N,01100.6429,E,NDD,11,1.3,168.9,39.5,,,V", "GNGNS", "59.950103333",
         "11.010715000", 168.9, -1, 11},
        {"GPGGA,000000.00,0000.0000000,N,00000.0000001,W,4,30,0.5,0.0,M,0.0,M,,", "GPGGA", "0.000000000",
         "-0.000000002", 0.0, 4, 30},
        {"BDGGA,120000,8959.9999,S,17959.99999,W,8,03,,,M,,M,,", "BDGGA", "-89.999998333", "-179.999999833",
         none, 8, 3},
    };
    for (const Case& c : cases)
    {
        CData set;
        FeedAll(set, {c.body});
        EXPECT_EQ(set.fix.sequence, 1U) << c.body;
        EXPECT_STREQ(set.fix.source.data(), c.source);
        EXPECT_EQ(Degrees(set.fix.latitudeDeg), c.lat) << c.body;
        EXPECT_EQ(Degrees(set.fix.longitudeDeg), c.lon) << c.body;
        if (std::isnan(c.altitude))
            EXPECT_TRUE(std::isnan(set.fix.altitudeMslM)) << c.body;
        else
            EXPECT_DOUBLE_EQ(set.fix.altitudeMslM, c.altitude) << c.body;
        EXPECT_EQ(set.fix.quality, c.quality) << c.body;
        EXPECT_EQ(set.fix.satsUsed, c.satsUsed) << c.body;
    }
}

TEST(CDataFix, AMalformedSentenceNeverRemovesTheLastGoodPosition)
{
    const std::string good = "GNGGA,171926.00,4404.14063,N,12118.85478,W,1,12,0.91,1147.2,M,-21.3,M,,";
    const std::vector<std::string> bad{
        Sentence("GNGGA,171927.00,44x4.14063,N,12118.85478,W,1,12,0.91,1147.2,M,-21.3,M,,"),
        Sentence("GNGGA,171927.00,4460.00000,N,12118.85478,W,1,12,0.91,1147.2,M,-21.3,M,,"),
        Sentence("GNGGA,171927.00,9100.00000,N,12118.85478,W,1,12,0.91,1147.2,M,-21.3,M,,"),
        Sentence("GNGGA,171927.00,4404.14063,X,12118.85478,W,1,12,0.91,1147.2,M,-21.3,M,,"),
        Sentence("GNGGA,171927.00,4404.14063,N,,,1,12,0.91,1147.2,M,-21.3,M,,"),
        Sentence("GNRMC,2599xx.00,A,4404.14063,N,12118.85478,W,0.1,,180315,,,A"),
        "$GNGGA,171927.00,4404.00000,N,12118.00000,W,1,12,0.91,1147.2,M,-21.3,M,,*00\r\n",
        "$GNGGA,171927.00,4404.00000,N,12118.00000,W,1,12,0.91,1147.2,M,-21.3,M,,*4\r\n",
    };
    for (const std::string& line : bad)
    {
        CData set;
        FeedAll(set, {good});
        Feed(set, line);
        EXPECT_EQ(set.fix.sequence, 1U) << line;
        EXPECT_EQ(Degrees(set.fix.latitudeDeg), "44.069010500") << line;
        EXPECT_EQ(set.GetCounters().checksumMismatches + set.GetCounters().malformedSentences, 1U) << line;
        // The classic record takes it as it always did.
        EXPECT_STREQ(set.gga.fields[nmea::kGgaUtc].data(),
                     line.find("GGA") != std::string::npos ? "171927.00" : "171926.00")
            << line;
    }
    // A well-formed report without a position is a report: no fix now.
    CData set;
    FeedAll(set, {good, "GNGGA,171927.00,,,,,0,00,99.99,,,,,,"});
    EXPECT_EQ(set.fix.sequence, 2U);
    EXPECT_TRUE(std::isnan(set.fix.latitudeDeg));
    EXPECT_EQ(set.fix.quality, 0);
    // Without a checksum, or with lower-case hex, a sentence counts.
    std::string lower = Sentence("GPGLL,4404.14063,N,12118.85478,W,171928.00,A,A");
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    lower.replace(1, 5, "GPGLL");
    lower.replace(lower.find(",n,"), 3, ",N,");
    lower.replace(lower.find(",w,"), 3, ",W,");
    lower.replace(lower.find(",a,a"), 4, ",A,A");
    Feed(set, lower);
    Feed(set, "$GPGLL,4404.14063,N,12118.85478,W,171929.00,A,A\n");
    EXPECT_EQ(set.fix.sequence, 4U);
    EXPECT_STREQ(set.fix.utcText.data(), "171929.00");
}

TEST(CDataFix, StatusDopsDateAndGpsTime)
{
    CData set;
    FeedAll(set, {"GNRMC,223745.00,A,3806.62964,N,12237.61382,W,0.040,87.5,110720,,,D,V",
                  "GNGSA,A,3,29,20,,,,,,,,,,,0.99,0.54,0.83,1",
                  "GNGGA,223745.00,3806.62964,N,12237.61382,W,2,12,0.54,83.1,M,-29.5,M,,0000"});
    const ReceiverFix& f = set.fix;
    EXPECT_EQ(f.modeIndicator, 'D');
    EXPECT_EQ(f.navStatus, 'V');
    EXPECT_STREQ(f.date.data(), "110720");
    EXPECT_NEAR(f.speedMps, 0.040 * 1852.0 / 3600.0, 1e-12);
    EXPECT_DOUBLE_EQ(f.courseDeg, 87.5);
    EXPECT_DOUBLE_EQ(f.hdop, 0.54);
    EXPECT_DOUBLE_EQ(f.pdop, 0.99);
    EXPECT_EQ(f.fixMode, 3);
    EXPECT_EQ(f.quality, 2);
    EXPECT_EQ(FixQualityText(f.quality), "DGPS");
    EXPECT_DOUBLE_EQ(f.heightEllipsoidM, 83.1 - 29.5);
    // 2020-07-11 is the Saturday of GPS week 2113; 22:37:45 UTC plus 18 leap seconds.
    EXPECT_EQ(f.gpsWeek, 2113);
    EXPECT_DOUBLE_EQ(f.gpsTimeOfWeekS, 6 * 86400.0 + 22 * 3600 + 37 * 60 + 45 + 18);
    // Past midnight before the next RMC: the next day (week 2114, Sunday).
    FeedAll(set, {"GNGGA,000001.00,3806.62964,N,12237.61382,W,2,12,0.54,83.1,M,-29.5,M,,0000"});
    EXPECT_EQ(set.fix.gpsWeek, 2114);
    EXPECT_DOUBLE_EQ(set.fix.gpsTimeOfWeekS, 19.0);
    // ZDA gives the date too; VTG the speed.
    FeedAll(set, {"GNZDA,000002.00,18,03,2015,00,00", "GNVTG,10.0,T,,M,1.0,N,1.852,K,A"});
    EXPECT_STREQ(set.fix.date.data(), "180315");
    EXPECT_NEAR(set.fix.speedMps, 1852.0 / 3600.0, 1e-12);
    EXPECT_DOUBLE_EQ(set.fix.courseDeg, 10.0);

    const std::vector<std::pair<int, std::string_view>> texts{
        {0, "No Fix"}, {1, "GPS"},    {2, "DGPS"}, {3, "PPS"}, {4, "RTK Fix"}, {5, "RTK Flt"},
        {6, "DR"},     {7, "Manual"}, {8, "Sim"},  {9, ""},    {-1, ""}};
    for (const auto& [quality, text] : texts)
        EXPECT_EQ(FixQualityText(quality), text) << quality;
}

TEST(CDataFix, ViewsAreToldAfterGgaOrInStreamsWithoutIt)
{
    struct Case
    {
        std::vector<std::string> bodies;
        std::string told;  // one digit per sentence: ggaSeen after it
    };
    const std::string gga = "GNGGA,120213.000,5957.0062,N,01100.6429,E,2,00,1.3,168.9,M,39.5,M,,";
    const std::string gns = "GNGNS,120213.000,5957.0062,N,01100.6429,E,NDD,11,1.3,168.9,39.5,,,V";
    const std::string rmc = "GNRMC,120213.000,A,5957.0062,N,01100.6429,E,0.00,0.00,310722,,,D,V";
    const std::string gsa = "GNGSA,A,3,68,,,,,,,,,,,,1.5,1.3,1.0,2";
    const std::vector<Case> cases{
        {{rmc, gns, gga, gsa, rmc, gns, gga, gsa}, "01100010"},  // GNS only until the first GGA
        {{rmc, gns, gsa, rmc, gns, gsa}, "010010"},              // GNS, no GGA
        {{rmc, gsa, rmc, gsa, rmc}, "00101"},                    // RMC only: from the second on
        {{rmc, gga, rmc, gga}, "0101"},
    };
    for (const Case& c : cases)
    {
        CData set;
        std::string told;
        for (const auto& b : c.bodies)
            told += static_cast<char>('0' + Feed(set, Sentence(b)));
        EXPECT_EQ(told, c.told) << c.bodies.size();
    }
}

// ---- the collector ----

TEST(CDataNmeaTalkers, GpsTalkerOnlyReadsWhatTheClassicInputRead)
{
    const std::string stream = Sentence("GNGGA,120213.000,5957.0062,N,01100.6429,E,2,00,1.3,168.9,M,39.5,M,,") +
                               Sentence("GLGSV,1,1,01,70,45,090,38") + Sentence("GPGSV,1,1,01,05,40,100,35") +
                               Sentence("GPZDA,120213.000,31,07,2022,00,00") + Sentence("GPTXT,01,01,02,ANTENNA OK");
    for (const bool gpsOnly : {false, true})
    {
        CapturingLog log;
        TraceLines trace;
        CData set;
        set.SetGpsTalkerOnly(gpsOnly);
        Feed(set, stream);
        EXPECT_EQ(log.lines.size(), gpsOnly ? 1U : 3U);
        EXPECT_EQ(set.satellites.Size(), gpsOnly ? 1U : 2U);
        EXPECT_EQ(set.fix.sequence, gpsOnly ? 0U : 1U);
        EXPECT_STREQ(set.fix.date.data(), gpsOnly ? "" : "310722");
        EXPECT_EQ(trace.lines,
                  gpsOnly ? std::vector<std::string>{} : std::vector<std::string>{"GPTXT: ANTENNA OK\n"});
        EXPECT_STREQ(set.gga.fields[0].data(), gpsOnly ? "" : "120213.000");
        // GSV records stay GPS: GLGSV never reaches them.
        EXPECT_EQ(set.gsv[0].satellites[0].prn, 5);
    }
}

TEST(CDataNmeaTalkers, CommentsLongLinesAndProprietarySentencesDoNotHideTheNextSentence)
{
    CapturingLog log;
    CData set;
    const std::string gga = Sentence("GNGGA,171926.00,4404.14063,N,12118.85478,W,1,12,0.91,1147.2,M,-21.3,M,,");
    // A header comment quoting sentences, a proprietary sentence, a line of 300 bytes without a line
    // end running into a sentence, the proprietary "$PGRMC" (not an RMC).
    const std::string stream = "# Notes: $GLGSV for GLONASS, $GPGSV,1,1,01,05,40,100,35 for GPS\r\n#\n" +
                               Sentence("PSTMCPU,54.57,-1,98") + "$PUBX," + std::string(300, 'x') + gga +
                               Sentence("PGRMC,1,2,3") + "\n\n" + gga;
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{80}, stream.size()})
    {
        log.lines.clear();
        for (std::size_t at = 0; at < stream.size(); at += chunk)
            Feed(set, std::string_view(stream).substr(at, chunk));
        ASSERT_EQ(log.lines.size(), 2U) << chunk;
        EXPECT_EQ(log.lines[0].substr(0, 6), "GNGGA,") << chunk;
        EXPECT_EQ(set.satellites.Size(), 0U) << chunk;
    }
}

// ---- binary records ----

TEST(CDataBinaryFix, NavDopAndSvRecordsFillTheFixAndTheTable)
{
    CData set;
    std::vector<int> results;
    // NAV: week 2113, time of week 518400 s + 10 s, ECEF of 24.7753 N 121.00248 E, 150 m.
    std::vector<std::uint8_t> nav{kIdNav};
    Put16(nav, 2113);
    Put32(nav, 51841000);
    for (const std::int32_t v : {-2984668, 4966834, 2656558})
        Put32(nav, static_cast<std::uint32_t>(v));
    for (const std::uint32_t v : {100U, 0U, 0U})
        Put16(nav, v);
    nav.push_back(0x97);
    Put16(nav, 205);
    FeedAll(set, FramePacket(nav), results);
    ASSERT_EQ(results, std::vector<int>{1});
    EXPECT_STREQ(set.fix.source.data(), "NAV");
    EXPECT_NEAR(set.fix.latitudeDeg, 24.7753, 1e-5);
    EXPECT_NEAR(set.fix.longitudeDeg, 121.00248, 1e-5);
    EXPECT_NEAR(set.fix.heightEllipsoidM, 150.0, 1.0);
    EXPECT_EQ(set.fix.satsUsed, 7);
    EXPECT_STREQ(set.fix.utcText.data(), "235952.00");  // Saturday 00:00:10 GPS less 18 s
    EXPECT_STREQ(set.fix.date.data(), "100720");
    // 10 m/s along x: 8.839 m/s over the ground towards 284.1 degrees (the rest is vertical).
    EXPECT_NEAR(set.fix.speedMps, 8.839, 1e-3);
    EXPECT_NEAR(set.fix.courseDeg, 284.13, 0.01);
    // DOP: mode 3 is a 3D fix.
    std::vector<std::uint8_t> dop{kIdDop};
    Put16(dop, 2113);
    Put32(dop, 51841000);
    for (const int v : {18, 16, 9, 13, 8, 3})
        dop.push_back(static_cast<std::uint8_t>(v));
    FeedAll(set, FramePacket(dop), results);
    EXPECT_EQ(set.fix.fixMode, 3);
    EXPECT_DOUBLE_EQ(set.fix.hdop, 0.9);
    // SV: two channels, PRN 5 used (state 0x7F) and PRN 9 without signal; then PRN 9 alone.
    auto sv = [&](std::initializer_list<std::array<int, 5>> channels)
    {
        std::vector<std::uint8_t> m{kIdSv};
        Put16(m, 2113);
        Put32(m, 51841000);
        m.push_back(static_cast<std::uint8_t>(channels.size()));
        std::uint8_t channel = 0;
        for (const auto& [prn, az, el, signal, state] : channels)
        {
            m.push_back(channel++);
            m.push_back(static_cast<std::uint8_t>(prn));
            Put16(m, static_cast<std::uint32_t>(az));
            m.push_back(static_cast<std::uint8_t>(el));
            m.push_back(static_cast<std::uint8_t>(signal));
            m.push_back(static_cast<std::uint8_t>(state));
        }
        FeedAll(set, FramePacket(m), results);
    };
    sv({{5, 120, 45, 99, 0x7F}, {9, 300, 10, 0, 0x01}});
    EXPECT_EQ(Sats(set, Constellation::Gps), "5/45/120/48/u 9/10/300/-");
    sv({{9, 301, 11, 9, 0x0F}});
    EXPECT_EQ(Sats(set, Constellation::Gps), "9/11/301/28");
}

TEST(CDataNmeaTalkers, ClassicGsvRecordsAreTheSameWhateverPathFillsThem)
{
    // The collector's path fills the classic record from the fields it reads for the table; a
    // sentence handed to the import directly goes through the record's own decoder.
    const std::vector<std::string> lines{
        "$GPGSV,3,1,12,03,67,112,44,06,41,254,42,09,23,301,37,12,55,048,45*7E",
        "$GPGSV,3,2,12,16,12,170,,17,34,205,39,19,08,331,,22,29,077,38",
        "$GPGSV,3,3,12,25,05,021,,28,48,142,43,31,17,262,34,32,03,189,*7A",
        "$GPGSV,1,1,01,36,19,156,51,,,,,,,,,,,,,1*5E",
        "$GPGSV,2,2,07, 5,1.5,12abc,+5,-3,99999999999,\t7,8,x,,,",
        "$GPGSV,1,1,00*79",
        "$GPGSV,,,,",
        "$GPGSV,9,9,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21",
    };
    for (const std::string& line : lines)
    {
        CData collected;
        Feed(collected, line + "\r\n");
        std::string stored;
        for (std::size_t i = 1; i < line.size(); ++i)
        {
            if (line[i] == ',' && stored.back() == ',')
                stored += ' ';
            stored += line[i];
        }
        CData direct;
        (void)direct.ImportNmeaSentence(stored, 0);
        for (std::size_t r = 0; r < collected.gsv.size(); ++r)
        {
            const GsvRecord& a = collected.gsv[r];
            const GsvRecord& b = direct.gsv[r];
            EXPECT_EQ(std::tie(a.totalMessages, a.messageNumber, a.satellitesInView),
                      std::tie(b.totalMessages, b.messageNumber, b.satellitesInView))
                << line;
            for (std::size_t k = 0; k < a.satellites.size(); ++k)
                EXPECT_EQ(std::tie(a.satellites[k].prn, a.satellites[k].elevation, a.satellites[k].azimuth,
                                   a.satellites[k].snr),
                          std::tie(b.satellites[k].prn, b.satellites[k].elevation, b.satellites[k].azimuth,
                                   b.satellites[k].snr))
                    << line << " group " << k;
        }
    }
}
