// vrnrcvr-replay --fixes, --satellites and --gps-only: the rows of NMEA and binary streams, the
// files the program writes, and every talker against the classic input on a damaged stream.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Replay.h"
#include "ReplayGnss.h"
#include "SentenceText.h"
#include "protocol/UbxFrame.h"

namespace fs = std::filesystem;
using testing_support::Sentence;

namespace
{
std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Rows
{
    std::string log, fixes, satellites;
};

// Replays `bytes` with both outputs through the same pieces the program uses.
Rows ReplayRows(const std::string& bytes, replay::Options options)
{
    Rows rows;
    replay::ReplayLog log([&](std::string_view l) { rows.log += l; });
    vrn::SetPortLog(&log);
    replay::NoViews views;
    replay::GnssOutputs sink(
        options.mode, views, [&](std::string_view r) { rows.fixes += r; },
        [&](std::string_view r) { rows.satellites += r; });
    vrn::SetFixSink(&sink);
    auto context = std::make_unique<vrn::ParseContext>();
    replay::Stats stats;
    replay::FeedChunks({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, options, *context,
                       sink, stats);
    sink.Finish(context->receiver);
    vrn::SetFixSink(nullptr);
    vrn::SetPortLog(nullptr);
    return rows;
}

std::string Bytes(const std::vector<std::uint8_t>& bytes)
{
    return {bytes.begin(), bytes.end()};
}

void Put(std::vector<std::uint8_t>& p, std::size_t at, std::uint32_t value, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        p.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i) & 0xFFU);
}

// NAV-PVT of 2021-06-10 18:18:`second`.5: a 3D fix of 9 satellites at 50.1350851 N, 14.4299466 E,
// 304.587 m above sea level, 2.236 m/s towards 296.56505 degrees, pDOP 2.49.
std::string PvtFrame(std::uint8_t second)
{
    std::vector<std::uint8_t> p(92, 0);
    Put(p, 0, 411553500U + 1000U * (second - 55U), 4);
    Put(p, 4, 2021, 2);
    for (const auto& [at, value] : {std::pair{6, 6}, {7, 10}, {8, 18}, {9, 18}, {10, second}, {11, 0x37}, {20, 3},
                                    {21, 0x01}, {23, 9}})
        p.at(static_cast<std::size_t>(at)) = static_cast<std::uint8_t>(value);
    Put(p, 16, 500000000, 4);
    Put(p, 24, 144299466, 4);
    Put(p, 28, 501350851, 4);
    Put(p, 32, 348857, 4);
    Put(p, 36, 304587, 4);
    Put(p, 60, 2236, 4);
    Put(p, 64, 29656505, 4);
    Put(p, 76, 249, 2);
    return Bytes(ubx::BuildFrame(0x01, 0x07, p));
}

// NAV-SAT of the same epoch: GPS 12 used, GLONASS 5 below the horizon, Galileo 11 not tracked.
std::string SatFrame(std::uint8_t second)
{
    std::vector<std::uint8_t> p(8 + 3 * 12, 0);
    Put(p, 0, 411553500U + 1000U * (second - 55U), 4);
    p[4] = 1;
    p[5] = 3;
    struct Entry
    {
        std::uint8_t gnss, sv, cno;
        std::int8_t elevation;
        std::uint16_t azimuth;
        std::uint32_t flags;
    };
    const Entry entries[] = {{0, 12, 45, 67, 123, 0x81F}, {6, 5, 30, -5, 300, 0x24}, {2, 11, 0, 20, 45, 0x11}};
    for (std::size_t k = 0; k < std::size(entries); ++k)
    {
        const Entry& e = entries[k];
        const std::size_t at = 8 + 12 * k;
        p[at] = e.gnss;
        p[at + 1] = e.sv;
        p[at + 2] = e.cno;
        p[at + 3] = static_cast<std::uint8_t>(e.elevation);
        Put(p, at + 4, e.azimuth, 2);
        Put(p, at + 8, e.flags, 4);
    }
    return Bytes(ubx::BuildFrame(0x01, 0x35, p));
}

int RunProgram(const std::string& arguments, std::string& err)
{
    const fs::path errFile =
        fs::path(VRN_BINARY_DIR) / "test-home" / ("gnss-err-" + std::to_string(getpid()));
    fs::create_directories(errFile.parent_path());
    const std::string command = "'" + (fs::path(VRN_BINARY_DIR) / "vrnrcvr-replay").string() + "' " +
                                arguments + " >/dev/null 2>'" + errFile.string() + "'";
    const int status = std::system(command.c_str());
    err = ReadFile(errFile);
    fs::remove(errFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

TEST(ReplayGnss, FixRowsCarryWhatEachSentenceSaysAndTheLatestState)
{
    replay::Options options;
    options.mode = vrn::kModeNmea;
    const std::string stream =
        Sentence("GNRMC,223745.00,A,3806.62964,N,12237.61382,W,0.040,,110720,,,D,V") +
        Sentence("GNGGA,223745.00,3806.62964,N,12237.61382,W,2,12,0.54,83.1,M,-29.5,M,,0000") +
        Sentence("GNGSA,A,3,29,20,,,,,,,,,,,0.99,0.54,0.83,1") + Sentence("GPGSV,1,1,02,29,46,133,43,20,63,235,,1") +
        Sentence("GLGSV,1,1,01,82,51,077,39,1") +
        Sentence("GNGGA,223746.00,3806.62966,N,12237.61384,W,2,12,0.56,83.0,M,-29.5,M,,0000") +
        Sentence("GNGLL,3806.62966,N,12237.61384,W,223746.00,A,D") + Sentence("GNGGA,223747.00,,,,,0,00,99.99,,,,,,");
    const Rows rows = ReplayRows(stream, options);
    EXPECT_EQ(rows.fixes,
              "GNRMC,223745.00,110720,38.110494000,-122.626897000,,,,,,,,0.021,\n"
              "GNGGA,223745.00,110720,38.110494000,-122.626897000,83.1,2,,12,0.54,,,0.021,\n"
              "GNGGA,223746.00,110720,38.110494333,-122.626897333,83,2,3,12,0.56,0.99,0.83,0.021,\n"
              "GNGLL,223746.00,110720,38.110494333,-122.626897333,,,3,,0.56,0.99,0.83,0.021,\n"
              "GNGGA,223747.00,110720,,,,0,3,0,99.99,0.99,0.83,0.021,\n");
    // Rows after every GGA (the first saw no satellite yet) and at the end.
    const std::string table =
        "G,20,63,235,,1\n"
        "G,29,46,133,43,1\n"
        "R,18,51,77,39,0\n";
    std::string expected;
    for (const char* utc : {"223746.00", "223747.00", "end"})
    {
        std::istringstream lines(table);
        for (std::string line; std::getline(lines, line);)
            expected += std::string(utc) + "," + line + "\n";
    }
    EXPECT_EQ(rows.satellites, expected);
    EXPECT_EQ(replay::FixesCsvHeader(),
              "sentence,utc,date,lat,lon,altMSL,quality,fixMode,satsUsed,hdop,pdop,vdop,speed,course\n");
    EXPECT_EQ(replay::SatellitesCsvHeader(), "utc,system,svid,elevation,azimuth,snr,used\n");
}

TEST(ReplayGnss, BinaryStreamsGiveNavRowsAndGpsSatellites)
{
    const std::string bytes =
        ReadFile(fs::path(VRN_SOURCE_DIR) / "tests/data/captures/moving-binary-damaged.bin");
    ASSERT_FALSE(bytes.empty());
    replay::Options options;
    options.mode = vrn::kModeBinary;
    const Rows rows = ReplayRows(bytes, options);
    // One row per NAV record (the log's kind-1 lines), one block of satellites per SV record.
    std::size_t navLines = 0, svLines = 0, fixRows = 0, blocks = 0;
    std::istringstream log(rows.log);
    for (std::string line; std::getline(log, line);)
    {
        navLines += line.starts_with("1,") ? 1 : 0;
        svLines += line.starts_with("3,") ? 1 : 0;
    }
    std::istringstream fixes(rows.fixes);
    for (std::string line; std::getline(fixes, line);)
    {
        ++fixRows;
        EXPECT_TRUE(line.starts_with("NAV,")) << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 13) << line;
    }
    EXPECT_GT(navLines, 20U);
    EXPECT_EQ(fixRows, navLines);
    std::istringstream satellites(rows.satellites);
    std::string previous;
    for (std::string line; std::getline(satellites, line);)
    {
        EXPECT_EQ(line.substr(line.find(',') + 1, 2), "G,") << line;
        const std::string utc = line.substr(0, line.find(','));
        blocks += utc != previous ? 1 : 0;
        previous = utc;
    }
    EXPECT_EQ(blocks, svLines + 1);  // and the end
    EXPECT_EQ(previous, "end");
}

// u-blox streams through the same writers: NAV-PVT rows with what it carries, the satellites after
// each NAV-SAT at its own time, NMEA sentences between the frames with rows of their own, and a
// stream without UBX satellite messages giving the table after its GGA sentences as NMEA does.
TEST(ReplayGnss, UbxStreamsGiveNavPvtRowsAndTheSatellitesOfNavSat)
{
    const std::string pvt55 = "NAV-PVT,181855.50,100621,50.135085100,14.429946600,304.587,1,3,9,,2.49,,2.236,296.56505\n";
    const std::string pvt56 = "NAV-PVT,181856.50,100621,50.135085100,14.429946600,304.587,1,3,9,,2.49,,2.236,296.56505\n";
    auto satellites = [](const std::string& utc) {
        return utc + ",G,12,67,123,45,1\n" + utc + ",R,5,-5,300,30,0\n" + utc + ",E,11,20,45,,0\n";
    };
    const std::string gga = Sentence("GPGGA,181856.00,5008.1051,N,01425.7968,E,4,09,1.0,304.6,M,44.3,M,,");
    const std::string gsv = Sentence("GPGSV,1,1,01,07,12,034,41");
    struct Case
    {
        const char* name;
        int mode, port;
        std::string stream;
        std::vector<std::string> sentences;  // the `sentence` column of the fix rows
        std::vector<std::string> pvtRows;    // every NAV-PVT row
        std::string satellites;
    };
    const std::string ubx = PvtFrame(55) + SatFrame(55) + gga + gsv + PvtFrame(56) + SatFrame(56);
    const std::string ubxRows = satellites("181855.50") + satellites("181856.50") + satellites("end");
    const Case cases[] = {
        {"UBX", vrn::kModeUbx, 0, ubx, {"NAV-PVT", "GPGGA", "NAV-PVT"}, {pvt55, pvt56}, ubxRows},
        {"UBX on port 2", vrn::kModeUbx, 1, ubx, {"NAV-PVT", "GPGGA", "NAV-PVT"}, {pvt55, pvt56}, ubxRows},
        {"UBX with the own fix", vrn::kModeUbxOwnFix, 0, ubx, {"NAV-PVT", "GPGGA", "NAV-PVT"}, {pvt55, pvt56},
         ubxRows},
        // NMEA output only: the rows of the GSV satellites after each GGA, and at the end.
        {"UBX port without UBX satellites", vrn::kModeUbx, 0, gsv + gga + PvtFrame(56) + gga,
         {"GPGGA", "NAV-PVT", "GPGGA"}, {pvt56},
         "181856.00,G,7,12,34,41,0\n181856.00,G,7,12,34,41,0\nend,G,7,12,34,41,0\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        replay::Options options;
        options.mode = c.mode;
        options.port = c.port;
        const Rows rows = ReplayRows(c.stream, options);
        std::vector<std::string> sentences, pvtRows;
        std::istringstream fixes(rows.fixes);
        for (std::string line; std::getline(fixes, line);)
        {
            sentences.push_back(line.substr(0, line.find(',')));
            if (line.starts_with("NAV-PVT,"))
                pvtRows.push_back(line + "\n");
        }
        EXPECT_EQ(sentences, c.sentences);
        EXPECT_EQ(pvtRows, c.pvtRows);
        EXPECT_EQ(rows.satellites, c.satellites);
    }
}

TEST(ReplayGnss, EveryTalkerLogsTheClassicLinesAndTheOtherTalkersBesideThem)
{
    const std::string bytes =
        ReadFile(fs::path(VRN_SOURCE_DIR) / "tests/data/captures/moving-nmea-damaged.bin");
    ASSERT_FALSE(bytes.empty());
    replay::Options options;
    options.mode = vrn::kModeNmea;
    options.gpsTalkerOnly = true;
    const Rows classic = ReplayRows(bytes, options);
    options.gpsTalkerOnly = false;
    const Rows every = ReplayRows(bytes, options);
    std::string withoutOthers;
    std::istringstream lines(every.log);
    std::size_t others = 0;
    for (std::string line; std::getline(lines, line);)
    {
        if (line.starts_with("GP"))
            withoutOthers += line + "\n";
        else
            others += line.starts_with("GNGGA,") ? 1 : 0;
    }
    EXPECT_EQ(withoutOthers, classic.log);
    EXPECT_GT(others, 0U);
    EXPECT_EQ(std::count(classic.fixes.begin(), classic.fixes.end(), '\n') + static_cast<long>(others),
              std::count(every.fixes.begin(), every.fixes.end(), '\n'));
}

TEST(ReplayGnss, OptionsAndTheFilesOfTheProgram)
{
    replay::Options o;
    std::string error;
    const std::vector<std::string_view> args{"--fixes=f.csv", "--satellites", "s.csv", "--gps-only", "in"};
    ASSERT_TRUE(replay::ParseOptions(args, o, error)) << error;
    EXPECT_EQ(o.fixesFile, "f.csv");
    EXPECT_EQ(o.satellitesFile, "s.csv");
    EXPECT_TRUE(o.gpsTalkerOnly);
    const std::vector<std::string_view> missing{"--fixes"};
    EXPECT_FALSE(replay::ParseOptions(missing, o, error));

    if (!fs::exists(fs::path(VRN_BINARY_DIR) / "vrnrcvr-replay"))
        GTEST_SKIP() << "vrnrcvr-replay not built";
    const fs::path dir = fs::path(VRN_BINARY_DIR) / "test-home" / ("gnss-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "in.nmea", std::ios::binary)
        << "# a recorded receiver\r\n"
        << Sentence("GNGGA,120000.00,5957.0062,N,01100.6429,E,1,05,1.0,10.0,M,20.0,M,,")
        << Sentence("GAGSV,1,1,01,36,76,149,45,7")
        << Sentence("GNGGA,120001.00,5957.0062,N,01100.6429,E,1,05,1.0,10.0,M,20.0,M,,");
    std::string err;
    ASSERT_EQ(RunProgram("--protocol nmea --fixes '" + (dir / "f.csv").string() + "' --satellites '" +
                             (dir / "s.csv").string() + "' '" + (dir / "in.nmea").string() + "'",
                         err),
              0)
        << err;
    EXPECT_EQ(ReadFile(dir / "f.csv"), std::string(replay::FixesCsvHeader()) +
                                           "GNGGA,120000.00,,59.950103333,11.010715000,10,1,,5,1,,,,\n"
                                           "GNGGA,120001.00,,59.950103333,11.010715000,10,1,,5,1,,,,\n");
    EXPECT_EQ(ReadFile(dir / "s.csv"), std::string(replay::SatellitesCsvHeader()) +
                                           "120001.00,E,36,76,149,45,0\n" + "end,E,36,76,149,45,0\n");
    // The classic input sees none of it.
    ASSERT_EQ(RunProgram("--protocol nmea --gps-only --fixes '" + (dir / "f.csv").string() + "' '" +
                             (dir / "in.nmea").string() + "'",
                         err),
              0);
    EXPECT_EQ(ReadFile(dir / "f.csv"), replay::FixesCsvHeader());
    // An output that cannot be created is refused with the program's message.
    EXPECT_EQ(RunProgram("--protocol nmea --fixes '" + (dir / "no/such/f.csv").string() + "' '" +
                             (dir / "in.nmea").string() + "'",
                         err),
              2);
    EXPECT_TRUE(err.starts_with("vrnrcvr-replay: cannot create '")) << err;
    fs::remove_all(dir);
}
