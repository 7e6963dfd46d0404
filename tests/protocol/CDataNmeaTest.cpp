// NMEA sentence collection, import and logging; the recorded receiver captures; bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "ProtocolTestSupport.h"

using namespace testing_support;

namespace
{
// Runs the collector over `text` as one chunk; returns its result.
int Feed(CData& set, std::string_view text, std::string& diagnostic, int port = 0)
{
    ChunkRef chunk{reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
    const int result = set.BuildNmeaSentence(chunk, diagnostic, port);
    EXPECT_EQ(chunk.position, nullptr);
    EXPECT_EQ(chunk.count, 0U);
    return result;
}
int Feed(CData& set, std::string_view text)
{
    std::string diagnostic;
    return Feed(set, text, diagnostic);
}

std::string Slot(const NmeaSlot& slot)
{
    return slot.data();
}

// What the log receives for one received line: no '$', no line end, a blank in every empty field.
std::string Stored(std::string_view line)
{
    std::string out;
    for (std::size_t i = 1; i < line.size(); ++i)
    {
        if (line[i] == ',' && !out.empty() && out.back() == ',')
            out += ' ';
        out += line[i];
    }
    return out;
}
}  // namespace

TEST(CDataNmea, EmptyFieldsHoldABlankAndTheLineFeedStaysInTheLastField)
{
    CapturingLog log;
    CData set;
    EXPECT_EQ(Feed(set, "$GPGLL,,,,*56\r\n"), 1);
    ASSERT_EQ(log.lines, std::vector<std::string>{"GPGLL, , , ,*56\n"});
    EXPECT_EQ(log.kinds, std::vector<int>{nmea::kKindGll});
    EXPECT_EQ(Slot(set.gll.fields[0]), " ");
    EXPECT_EQ(Slot(set.gll.fields[2]), " ");
    EXPECT_EQ(Slot(set.gll.fields[3]), "*56\n");
    EXPECT_EQ(Slot(set.gll.fields[4]), "");
}

TEST(CDataNmea, WithoutAPortLogTheTextIsDecodedAsStored)
{
    CData set;
    EXPECT_EQ(Feed(set, "$GPGLL,,,,*56\r\n"), 1);
    EXPECT_EQ(Slot(set.gll.fields[3]), "*56");
}

TEST(CDataNmea, GgaCoordinatesAsValuesAndFixedText)
{
    CData set;
    EXPECT_EQ(Feed(set, "$GPGGA,123519.000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"), 1);
    EXPECT_EQ(set.ggaSeen, 1);
    EXPECT_FLOAT_EQ(set.gga.latitude, 48.07038F);
    EXPECT_FLOAT_EQ(set.gga.longitude, 11.31F);
    EXPECT_EQ(Slot(set.gga.fields[nmea::kGgaUtc]), "123519.000");
    EXPECT_EQ(Slot(set.gga.fields[nmea::kGgaLatitude]), " 48.07038");
    EXPECT_EQ(Slot(set.gga.fields[nmea::kGgaLongitude]), " 11.31000");
    EXPECT_EQ(Slot(set.gga.fields[nmea::kGgaAltitude]), "545.4");
    EXPECT_EQ(Slot(set.gga.fields[12]), " ");
    EXPECT_EQ(Slot(set.gga.fields[13]), "*47");

    // An empty latitude reads as 0; a latitude longer than a slot is read from its whole text.
    EXPECT_EQ(Feed(set, "$GPGGA,1,,N,12100.148801234567,W,0*00\r\n"), 1);
    EXPECT_EQ(set.gga.latitude, 0.0F);
    EXPECT_EQ(Slot(set.gga.fields[nmea::kGgaLatitude]), "  0.00000");
    EXPECT_FLOAT_EQ(set.gga.longitude, 121.00148801234567F);
    EXPECT_EQ(Slot(set.gga.fields[nmea::kGgaLongitude]), "121.00149");
    EXPECT_EQ(Slot(set.gga.fields[nmea::kGgaHdop]), "");  // record starts afresh for each sentence
}

TEST(CDataNmea, NumbersDoNotFollowTheUserLocale)
{
    const char* const previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no comma-decimal locale installed";
    CData set;
    EXPECT_EQ(Feed(set, "$GPGGA,1,2446.385,N,12100.1,E,1*00\r\n"), 1);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_FLOAT_EQ(set.gga.latitude, 24.46385F);
    EXPECT_EQ(Slot(set.gga.fields[nmea::kGgaLatitude]), " 24.46385");
}

TEST(CDataNmea, GgaSeenOnlyWhenGgaWasLast)
{
    CData set;
    const std::string gga = "$GPGGA,1,2,N,3,E,1*00\r\n";
    const std::string rmc = "$GPRMC,1,A,2,N,3,E,0.1,2.0,010203,,*00\r\n";
    EXPECT_EQ(Feed(set, gga + rmc), 1);
    EXPECT_EQ(set.ggaSeen, 0);
    EXPECT_EQ(Slot(set.rmc.fields[nmea::kRmcDate]), "010203");
    EXPECT_EQ(Slot(set.gga.fields[nmea::kGgaUtc]), "1");
    EXPECT_EQ(Feed(set, rmc + gga), 1);
    EXPECT_EQ(set.ggaSeen, 1);
}

TEST(CDataNmea, GsvRecordByMessageNumber)
{
    CData set;
    EXPECT_EQ(Feed(set, "$GPGSV,3,2,11,14,25,170,,16,57,208,39,18,67,296,40,19,40,246,*7B\r\n"), 1);
    EXPECT_EQ(set.gsv[1].messageNumber, 2);
    EXPECT_EQ(set.gsv[1].satellitesInView, 11);
    EXPECT_EQ(set.gsv[1].satellites[0].snr, 0);  // empty field
    EXPECT_EQ(set.gsv[1].satellites[1].snr, 39);
    EXPECT_EQ(set.gsv[1].satellites[3].prn, 19);
    EXPECT_EQ(set.gsv[1].satellites[3].snr, 0);  // "*7B"
    EXPECT_EQ(Feed(set, "$GPGSV,3,3,11,22,42,067,42*75\r\n"), 1);
    EXPECT_EQ(set.gsv[2].satellites[0].snr, 42);
    EXPECT_EQ(set.gsv[2].satellites[1].prn, 0);
    EXPECT_EQ(set.gsv[0].messageNumber, 0);
    // More than four groups: the first four; huge numbers clamp instead of overflowing.
    EXPECT_EQ(Feed(set, "$GPGSV,1,1,99999999999,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20*00\n"), 1);
    EXPECT_EQ(set.gsv[0].satellitesInView, INT_MAX);
    EXPECT_EQ(set.gsv[0].satellites[3].snr, 16);
}

TEST(CDataNmea, GsaLastFieldLosesItsChecksum)
{
    CapturingLog log;
    CData set;
    EXPECT_EQ(Feed(set, "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,12.5*3F\r\n"), 1);
    EXPECT_EQ(Slot(set.gsa.fields[nmea::kGsaVdop]), "12.5");
    EXPECT_EQ(Slot(set.gsa.fields[nmea::kGsaHdop]), "1.3");
    EXPECT_EQ(Slot(set.gsa.fields[4]), " ");
    EXPECT_EQ(log.lines[0], "GPGSA,A,3,04,05, ,09,12, , ,24, , , , ,2.5,1.3,12.5*3F\n");
}

TEST(CDataNmea, SentenceAssembledAcrossChunks)
{
    CapturingLog log;
    CData set;
    const std::string s = "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n";
    for (std::size_t cut = 0; cut <= s.size(); ++cut)
    {
        log.lines.clear();
        EXPECT_EQ(Feed(set, std::string_view(s).substr(0, cut)), cut == s.size() ? 1 : 0);
        EXPECT_EQ(Feed(set, std::string_view(s).substr(cut)), cut == s.size() ? 0 : 1);
        EXPECT_EQ(log.lines, std::vector<std::string>{Stored(s.substr(0, s.size() - 2)) + "\n"}) << cut;
    }
    EXPECT_EQ(Slot(set.vtg.fields[nmea::kVtgSpeedKmh]), "010.2");
}

TEST(CDataNmea, OtherTalkersTypesAndNoiseAreSkipped)
{
    CapturingLog log;
    CData set;
    set.SetGpsTalkerOnly(true);  // the classic input: $GP sentences of six types only
    EXPECT_EQ(Feed(set, "$GNGGA,1,2,N,3,E,1*00\r\n"), 0);
    EXPECT_EQ(Feed(set, "$GPZDA,193913.00,07,09,2018,00,00*63\r\n"), 1);  // accepted, not logged
    EXPECT_EQ(Feed(set, "junk GPGGA,1*00\r\n$$GPGGA,1*00\r\n"), 0);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(set.GetCounters().sentencesImported, 0U);
    EXPECT_EQ(set.GetCounters().sentencesDropped, 1U);
}

TEST(CDataNmea, LineEnds)
{
    CapturingLog log;
    CData set;
    // A bare LF ends a sentence like CR LF.
    EXPECT_EQ(Feed(set, "$GPGLL,1*00\n$GPGLL,2*00\n"), 1);
    // CR CR LF keeps the first CR in the text.
    EXPECT_EQ(Feed(set, "$GPGLL,3*00\r\r\n"), 1);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"GPGLL,1*00\n", "GPGLL,2*00\n", "GPGLL,3*00\r\n"}));
}

TEST(CDataNmea, StrayByteAfterCrDropsTheSentenceOnlyWithinTheCall)
{
    struct Restore
    {
        ~Restore() { vrn::SetDebugSwitch(false); }
    } restore;
    CapturingLog log;
    CData set;
    std::string diagnostic;
    EXPECT_EQ(Feed(set, "$GPGLL,1*00\rx\n$GPGLL,2*00\r\n", diagnostic), 0);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_TRUE(diagnostic.empty());
    // The mark does not survive the call: the LF in the next chunk completes the sentence.
    EXPECT_EQ(Feed(set, "$GPGLL,3*00\rx", diagnostic), 0);
    EXPECT_EQ(Feed(set, "\n", diagnostic), 1);
    EXPECT_EQ(log.lines, std::vector<std::string>{"GPGLL,3*00\n"});

    vrn::SetDebugSwitch(true);
    EXPECT_EQ(Feed(set, "$GPGLL,4*00\rx\n", diagnostic), 0);
    EXPECT_EQ(diagnostic, "Communication format Error.");
    EXPECT_EQ(log.lines.size(), 1U);
}

TEST(CDataNmea, OverlongSentencesAndFieldsStayInBounds)
{
    CapturingLog log;
    CData set;
    const std::string longField(40, '7');
    const std::string tooLong = "$GPRMC," + std::string(300, 'A') + "*00\r\n";
    EXPECT_EQ(Feed(set, tooLong), 0);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(set.GetCounters().sentencesDropped, 1U);
    EXPECT_EQ(Feed(set, "$GPRMC," + longField + ",A*00\r\n"), 1);
    EXPECT_EQ(Slot(set.rmc.fields[0]), longField.substr(0, kNmeaSlotSize - 1));
    EXPECT_EQ(Slot(set.rmc.fields[1]), "A*00\n");
    // 255 stored characters still fit.
    const std::string longest = "$GPRMC," + std::string(249, 'B') + "\r\n";
    EXPECT_EQ(Feed(set, longest), 1);
    EXPECT_EQ(log.lines.back().size(), 256U);
}

TEST(CDataNmea, TwoSetsSplitFieldsOnTwoThreadsAtOnce)
{
    auto run = [](std::string sentence, std::string expected, bool& ok)
    {
        CData set;
        ok = true;
        for (int i = 0; i < 2000 && ok; ++i)
        {
            std::string diagnostic;
            ChunkRef chunk{reinterpret_cast<const std::uint8_t*>(sentence.data()), sentence.size()};
            (void)set.BuildNmeaSentence(chunk, diagnostic, 0);
            ok = Slot(set.rmc.fields[nmea::kRmcDate]) == expected;
        }
    };
    bool ok1 = false, ok2 = false;
    std::thread a(run, "$GPRMC,1,A,2,N,3,E,4,5,111111,,*00\r\n", "111111", std::ref(ok1));
    std::thread b(run, "$GPRMC,,,,,,,,,222222,,*00\r\n", "222222", std::ref(ok2));
    a.join();
    b.join();
    EXPECT_TRUE(ok1);
    EXPECT_TRUE(ok2);
}

// ---- recorded receiver captures ----

namespace
{
std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The receiver output of a capture (header lines dropped), with every line end rewritten as `eol`.
// `expected` gets the lines the log receives: with `gpsOnly` the six types of talker GP, otherwise
// those six and GNS of any talker.
std::string ReceiverOutput(const std::string& file, const std::string& eol,
                           std::vector<std::string>& expected, bool gpsOnly = true)
{
    std::string out;
    std::size_t start = 0;
    while (start < file.size())
    {
        const std::size_t lf = file.find('\n', start);
        const bool complete = lf != std::string::npos;
        std::string line = file.substr(start, complete ? lf - start : std::string::npos);
        start = complete ? lf + 1 : file.size();
        if (line.starts_with('#'))
            continue;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out += line;
        if (complete)
            out += eol;
        static const std::vector<std::string> kTypes{"$GPGGA", "$GPGLL", "$GPGSA",
                                                     "$GPGSV", "$GPRMC", "$GPVTG"};
        static const std::vector<std::string> kAnyTalker{"GGA", "GLL", "GSA", "GSV", "RMC", "VTG", "GNS"};
        // Every talker: the sentence starts at the first '$' followed by two capitals, even after
        // noise on the same line.
        auto capital = [&](std::size_t i) { return i < line.size() && std::isupper(static_cast<unsigned char>(line[i])); };
        std::size_t from = 0;
        while (!gpsOnly && from < line.size() && !(line[from] == '$' && capital(from + 1) && capital(from + 2)))
            ++from;
        const std::string sentence = line.substr(std::min(from, line.size()));
        const bool logged =
            gpsOnly ? std::ranges::any_of(kTypes, [&](const std::string& t) { return line.starts_with(t); })
                    : sentence.size() > 6 && sentence[1] != 'P' &&
                          std::ranges::any_of(kAnyTalker, [&](const std::string& t) { return sentence.substr(3, 3) == t; });
        if (complete && logged)
            expected.push_back(Stored(sentence) + "\n");
    }
    return out;
}
}  // namespace

TEST(CDataNmeaCaptures, EverySentenceOfTheSixTypesLoggedAsStored)
{
    const char* const override = std::getenv("VRN_SHARED_TESTDATA");
    const std::filesystem::path dir =
        std::filesystem::path(override != nullptr ? override : VRN_SHARED_TESTDATA) / "nmea";
    if (!std::filesystem::is_directory(dir))
        GTEST_SKIP() << "no receiver captures at " << dir;
    std::mt19937 random(7);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
    {
        const std::string file = ReadFile(entry.path());
        for (const std::string eol : {"\r\n", "\n"})
        for (const bool gpsOnly : {true, false})
        {
            std::vector<std::string> expected;
            const std::string stream = ReceiverOutput(file, eol, expected, gpsOnly);
            CapturingLog log;
            CData set;
            set.SetGpsTalkerOnly(gpsOnly);
            std::string diagnostic;
            std::size_t at = 0;
            while (at < stream.size())
            {
                const std::size_t n = std::min<std::size_t>(1 + random() % 80, stream.size() - at);
                ChunkRef chunk{reinterpret_cast<const std::uint8_t*>(stream.data() + at), n};
                (void)set.BuildNmeaSentence(chunk, diagnostic, 1);
                at += n;
            }
            EXPECT_EQ(log.lines, expected) << entry.path().filename() << (eol.size() == 2 ? " CR LF" : " LF")
                                           << (gpsOnly ? " GPS talker only" : " every talker");
            EXPECT_FALSE(expected.empty());
            EXPECT_TRUE(std::ranges::all_of(log.ports, [](int p) { return p == 1; }));
        }
        ++files;
    }
    EXPECT_GE(files, 1U);
}

// ---- bad input ----

TEST(CDataBadInput, NoiseNulBytesAndLongRunsNeverBreakEitherExtractor)
{
    std::mt19937 random(2024);
    std::vector<std::uint8_t> noise(64 * 1024);
    for (auto& b : noise)
        b = static_cast<std::uint8_t>(random());
    // Salt the noise with starts and ends of both kinds of input, and NUL-filled stretches.
    for (std::size_t i = 0; i + 8 < noise.size(); i += 97 + random() % 200)
    {
        const std::array<std::string_view, 5> salts{"\x10\x02", "\x10\x03", "$GP", "\r\n",
                                                    std::string_view("\0\0\0\0", 4)};
        const auto salt = salts[random() % salts.size()];
        std::memcpy(noise.data() + i, salt.data(), salt.size());
    }
    const std::string good = "$GPGLL,1*00\r\n";
    CapturingLog log;
    for (const bool nmeaMode : {false, true})
    {
        CData set;
        std::string diagnostic;
        std::size_t at = 0;
        while (at < noise.size())
        {
            const std::size_t n = std::min<std::size_t>(1 + random() % 80, noise.size() - at);
            ChunkRef chunk{noise.data() + at, n};
            while (chunk.position != nullptr)
                (void)(nmeaMode ? set.BuildNmeaSentence(chunk, diagnostic, 0)
                                : set.BuildBinaryDataPacket(chunk, diagnostic, 0, kImportReceiver));
            at += n;
        }
        const auto& c = set.GetCounters();
        if (nmeaMode)
        {
            // After the noise, a clean line still comes through once the collector is back in step.
            log.lines.clear();
            EXPECT_EQ(Feed(set, "\r\n" + good + good), 1);
            EXPECT_EQ(log.lines.back(), "GPGLL,1*00\n");
        }
        else
        {
            EXPECT_GT(c.framesCompleted, 0U);
            EXPECT_EQ(c.framesCompleted, c.packetsImported + c.rejectedLength + c.rejectedChecksum);
            std::vector<int> got;
            FeedAll(set, FramePacket(std::vector<std::uint8_t>{0x0B, 1}), got);
            FeedAll(set, FramePacket(std::vector<std::uint8_t>{0x0B, 1}), got);
            EXPECT_EQ(got.back(), 1);
        }
    }
}

TEST(CDataNmea, PacketCheckClearsTheNmeaRecordsToo)
{
    CData set;
    EXPECT_EQ(Feed(set, "$GPGGA,1,2,N,3,E,1*00\r\n$GPGSV,1,1,01,07,1,2,3*00\r\n"), 1);
    ASSERT_EQ(Slot(set.gga.fields[0]), "1");
    std::string diagnostic;
    const std::vector<std::uint8_t> content{0x05, 0x0B, 0x01, 0x02, 0x0E};
    EXPECT_EQ(set.ImportBinaryPacket(content, diagnostic, 0, kImportReceiver), 1);
    EXPECT_EQ(Slot(set.gga.fields[0]), "");
    EXPECT_EQ(set.gga.latitude, 0.0F);
    EXPECT_EQ(set.gsv[0].satellites[0].prn, 0);
}
