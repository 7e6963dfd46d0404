// The multi-constellation captures of real receivers: at one epoch of each, the position, the
// satellites per constellation, their used flags and a few of their reports, as read from the
// capture's lines by hand.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "ProtocolTestSupport.h"

namespace
{
std::string ReadCapture(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// One satellite as "R3 62/349/26/u" (letter and number, elevation/azimuth/SNR, used), "-" for a
// value not sent; empty when it is not in the table.
std::string Report(const CData& set, char letter, int svid)
{
    const auto system = ConstellationFromLetter(letter);
    const SatelliteEntry* e = system ? set.satellites.Find(*system, svid) : nullptr;
    if (e == nullptr)
        return {};
    auto value = [](int v, int none) { return v == none ? std::string("-") : std::to_string(v); };
    return std::string(1, letter) + std::to_string(svid) + " " + value(e->elevationDeg, kNoAngle) + "/" +
           value(e->azimuthDeg, kNoAngle) + "/" + value(e->snrDbHz, kNoSnr) + (e->used ? "/u" : "");
}

std::string Degrees(double value)
{
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.9f", value);
    return text.data();
}

struct Epoch
{
    const char* file;
    const char* marker;  // the state is taken after the first line holding this
    const char* lat;
    const char* lon;
    const char* inView;  // satellites per constellation, as "G13 R10 S3"
    const char* used;
    std::vector<std::string> reports;  // Report() of a few satellites
};

std::string Counts(const CData& set, bool used)
{
    std::string out;
    for (const char letter : {'G', 'R', 'E', 'C', 'J', 'I', 'S', '?'})
    {
        const auto system = ConstellationFromLetter(letter);
        const std::size_t n = used ? set.satellites.CountUsed(system) : set.satellites.CountInView(system);
        if (n != 0)
            out += (out.empty() ? "" : " ") + std::string(1, letter) + std::to_string(n);
    }
    return out;
}
}  // namespace

TEST(CDataGnssCaptures, PositionsSatellitesAndUsedFlagsAsTheLinesSay)
{
    const char* const override = std::getenv("VRN_SHARED_TESTDATA");
    const std::filesystem::path dir =
        std::filesystem::path(override != nullptr ? override : VRN_SHARED_TESTDATA) / "nmea";
    if (!std::filesystem::is_directory(dir))
        GTEST_SKIP() << "no receiver captures at " << dir;

    const std::vector<Epoch> epochs{
        // GLONASS under GL with 65-96; two GN GSA sentences without system ids.
        {"neo-m8n.log",
         "$GNGGA,171927.00",
         "44.069009667",
         "-121.314245833",
         "G13 R10",
         "G9 R5",
         {"G1 53/280/36/u", "G12 5/34/-", "R3 62/349/26/u", "R20 1/353/-", "R11 4/18/-"}},
        // SBAS 46, 48, 51 under GP; a line of binary noise before the first sentence.
        {"ublox-8.log",
         "$GNGGA,000942.00",
         "44.068900167",
         "-121.314272167",
         "G13 R9 S3",
         "G8 R6",
         {"S133 31/150/-", "S138 37/160/-", "G9 67/312/39/u", "R24 7/28/-", "R16 78/285/24/u"}},
        // NMEA 4.11: four constellations, system ids in GSA, signal ids in GSV.
        {"ublox-neo-m9n-nmea.log",
         "$GNGGA,223746.00",
         "38.110494333",
         "-122.626897333",
         "G13 R10 E10 C7 S3",
         "G6 R7 E5 C5 S2",
         {"S138 43/156/43/u", "S133 45/191/43", "E36 8/98/-", "C27 78/59/44/u", "R18 51/77/39/u",
          "G5 1/47/-"}},
        // GP and GL GGA; GN GSA without ids.
        {"sirfstarv-nmea.log",
         "$GPGGA,020938.000",
         "44.068918333",
         "-121.314261667",
         "G11 R11",
         "G9 R2",
         {"R9 47/322/36/u", "R18 55/53/29/u", "R16 57/86/-", "G13 37/229/-", "G24 24/310/18/u"}},
        // Starts inside a GLONASS set; empty satellite groups; proprietary sentences.
        {"st-teseo-liv3f.log",
         "$GPGGA,203453.000",
         "42.251292667",
         "-88.198097500",
         "G10 R10 S3",
         "G7 R8",
         {"G11 75/290/51/u", "S131 33/219/36", "R24 50/302/42/u", "R22 6/69/25", "R17 6/268/28/u"}},
        // BeiDou under BD, NMEA 4.11 ids, signal id 0, a satellite without angles.
        {"quectel-l76k-nmea.log",
         "$GNGGA,055234.400",
         "47.661981667",
         "-122.326393500",
         "G12 R10 C3",
         "G8 R3 C3",
         {"G8 -/-/15", "G1 17/83/3", "C37 36/91/24/u", "R19 37/97/19/u", "R10 52/302/-"}},
        // GNS beside GGA; GSA of GLONASS and Galileo only; SBAS under GP with a signal id.
        {"furuno_gl_ga.log",
         "$GNGGA,120214.000",
         "59.950103333",
         "11.010715000",
         "R10 E7 S1",
         "R6 E5",
         {"S123 19/156/51", "E36 76/149/45/u", "E27 18/333/-", "R21 85/247/32/u", "R7 5/204/18"}},
    };
    std::mt19937 random(10);
    for (const Epoch& epoch : epochs)
    {
        const std::string text = ReadCapture(dir / epoch.file);
        const std::size_t at = text.find(epoch.marker);
        ASSERT_NE(at, std::string::npos) << epoch.file;
        const std::size_t end = text.find('\n', at) + 1;
        CData set;
        std::string diagnostic;
        for (std::size_t fed = 0; fed < end;)
        {
            const std::size_t n = std::min<std::size_t>(1 + random() % 80, end - fed);
            ChunkRef chunk{reinterpret_cast<const std::uint8_t*>(text.data() + fed), n};
            (void)set.BuildNmeaSentence(chunk, diagnostic, 0);
            fed += n;
        }
        EXPECT_STREQ(set.fix.source.data(), std::string(epoch.marker).substr(1, 5).c_str()) << epoch.file;
        EXPECT_EQ(Degrees(set.fix.latitudeDeg), epoch.lat) << epoch.file;
        EXPECT_EQ(Degrees(set.fix.longitudeDeg), epoch.lon) << epoch.file;
        EXPECT_EQ(Counts(set, false), epoch.inView) << epoch.file;
        EXPECT_EQ(Counts(set, true), epoch.used) << epoch.file;
        for (const std::string& report : epoch.reports)
        {
            const char letter = report[0];
            const int svid = std::stoi(report.substr(1));
            EXPECT_EQ(Report(set, letter, svid), report) << epoch.file;
        }
        EXPECT_EQ(set.GetCounters().checksumMismatches, 0U) << epoch.file;
        EXPECT_EQ(set.GetCounters().malformedSentences, 0U) << epoch.file;
        EXPECT_EQ(set.satellites.Dropped(), 0U) << epoch.file;
    }
}

TEST(CDataGnssCaptures, GpsTalkerOnlyKeepsOnlyWhatGpSentencesSay)
{
    const char* const override = std::getenv("VRN_SHARED_TESTDATA");
    const std::filesystem::path dir =
        std::filesystem::path(override != nullptr ? override : VRN_SHARED_TESTDATA) / "nmea";
    if (!std::filesystem::is_directory(dir))
        GTEST_SKIP() << "no receiver captures at " << dir;
    // ST Teseo at 203453: GP GSV, RMC and GGA are read; the GN GSA and GL GSV are not.
    const std::string text = ReadCapture(dir / "st-teseo-liv3f.log");
    const std::size_t end = text.find('\n', text.find("$GPGGA,203453.000")) + 1;
    CData set;
    set.SetGpsTalkerOnly(true);
    std::string diagnostic;
    ChunkRef chunk{reinterpret_cast<const std::uint8_t*>(text.data()), end};
    (void)set.BuildNmeaSentence(chunk, diagnostic, 0);
    EXPECT_EQ(Counts(set, false), "G10 S3");
    EXPECT_EQ(Counts(set, true), "");
    EXPECT_EQ(Degrees(set.fix.latitudeDeg), "42.251292667");
    EXPECT_EQ(set.gsv[0].satellites[0].prn, 11);
}
