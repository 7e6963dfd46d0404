// The simulator as a u-blox receiver: its UBX stream read back by the program's decoders, the
// closed loop of its raw measurements through the own navigation (in process and through the two
// programs), and the configuration commands it obeys and acknowledges.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ProcessSupport.h"
#include "SimTestSupport.h"
#include "link/ChunkParser.h"
#include "link/Notifications.h"
#include "protocol/UbxFrame.h"

namespace
{
using namespace vrnsim;
namespace fs = std::filesystem;

// Counts what the chunk loop reports for a UBX port.
class Counting : public vrn::IChunkSink
{
public:
    void Activity(unsigned /*code*/) override {}
    void NotifyViews(unsigned message, unsigned wParam, const CData& set) override
    {
        if (message == vrn::kMsgBinaryData && wParam == vrn::kSourcePort2 && set.currentId == kIdMeas)
            ++ownEpochs;
        if (message == vrn::kMsgBinaryData && wParam == vrn::kSourcePort1 && set.currentId == kIdNav)
            ++receiverFixes;
        if (message == vrn::kMsgBinaryData && wParam == vrn::kSourcePort1 && set.currentId == kIdSv)
            satellites = set.satellites.Size();
        if (message == vrn::kMsgNmeaData)
            ++nmea;
    }
    void Report(vrn::ReceiverReport what, const CData& /*set*/, int /*port*/) override
    {
        if (what == vrn::ReceiverReport::Acknowledgement)
            ++acks;
    }
    int ownEpochs = 0, receiverFixes = 0, nmea = 0, acks = 0;
    std::size_t satellites = 0;
};

void Feed(vrn::ParseContext& context, std::span<const std::uint8_t> bytes, int mode, vrn::IChunkSink& sink)
{
    for (std::size_t at = 0; at < bytes.size(); at += vrn::kChunkSize)
        vrn::ParseChunk(context, bytes.subspan(at, std::min(vrn::kChunkSize, bytes.size() - at)), 0, mode, sink);
}

StreamOptions UbxOptions(bool raw)
{
    StreamOptions o = simtest::Options(SimProtocol::Ubx);
    o.ubxRaw = raw;
    return o;
}

TEST(UbxSim, RawMeasurementsGiveAnOwnFixWithinAMetreOfTheTruth)
{
    ProcessNavEngine() = NavEngine{};
    CSimStream stream(UbxOptions(true));
    auto context = std::make_unique<vrn::ParseContext>();
    Counting sink;
    std::vector<std::uint8_t> bytes;
    double firstFix = -1.0, maxError = 0.0, maxReceiverError = 0.0;
    int compared = 0;
    for (;;)
    {
        bytes.clear();
        const double at = stream.Next(bytes);
        if (at >= 400.0)
            break;
        Feed(*context, bytes, vrn::kModeUbxOwnFix, sink);
        const Epoch& truth = stream.LastEpoch();
        const NavSolution& s = ProcessNavEngine().solution;
        if (s.fixMode != 0 && firstFix < 0.0)
            firstFix = at;
        if (firstFix >= 0.0 && at >= firstFix + 120.0)
        {
            maxError = std::max(maxError, s.fixMode != 0 ? simtest::Distance(s.x, s.y, s.z, truth.position.x,
                                                                               truth.position.y, truth.position.z)
                                                         : 1e9);
            ++compared;
        }
        // The receiver's own fix (NAV-PVT) is the simulator's: within its bounded error.
        const ::ReceiverFix& f = context->receiver.fix;
        if (std::isfinite(f.latitudeDeg))
        {
            const Vec3 p = ToEcef({f.latitudeDeg * kDegree, f.longitudeDeg * kDegree, f.heightEllipsoidM});
            maxReceiverError = std::max(
                maxReceiverError, simtest::Distance(p.x, p.y, p.z, truth.position.x, truth.position.y, truth.position.z));
        }
    }
    ProcessNavEngine() = NavEngine{};
    ASSERT_GE(firstFix, 0.0) << "no own fix";
    EXPECT_LT(firstFix, 90.0);
    ASSERT_GT(compared, 150);
    EXPECT_LT(maxError, 1.0);
    EXPECT_EQ(sink.ownEpochs, 400);
    EXPECT_GT(sink.receiverFixes, 350);
    EXPECT_LT(maxReceiverError, kFixPositionErrorM + 0.01);
    EXPECT_GT(context->own.ublox.subframes, 50U);
    // Every epoch also gives the own set's full-precision fix, as in the classic Test mode.
    EXPECT_STREQ(context->own.fix.source.data(), "OWN");
    EXPECT_EQ(context->own.fix.sequence, 400U);
    EXPECT_EQ(context->own.fix.fixMode, 3);
}

TEST(UbxSim, StreamReadsBackWithNmeaAndEveryConstellation)
{
    StreamOptions o = UbxOptions(false);
    o.nmeaToo = true;
    o.systems = kAllSystems;
    CSimStream stream(o);
    auto context = std::make_unique<vrn::ParseContext>();
    Counting sink;
    std::vector<std::uint8_t> bytes;
    for (int k = 0; k < 60; ++k)
        (void)stream.Next(bytes);
    Feed(*context, bytes, vrn::kModeUbx, sink);
    const ubx::ExtractorCounters& c = context->ubx.Counters();
    EXPECT_EQ(c.badChecksum, 0U);
    for (const std::uint16_t key : {ubx::kNavPvt, ubx::kNavSat, ubx::kNavDop, ubx::kNavTimeGps})
        EXPECT_EQ(c.perMessage.at(key), 60U) << ubx::MessageLabel(key);
    EXPECT_EQ(c.perMessage.count(ubx::kRxmRawx), 0U);
    // The sentences between the frames reach the NMEA import, whole.
    const CData::Counters& nmea = context->receiver.GetCounters();
    EXPECT_GE(nmea.sentencesImported + nmea.sentencesDropped, 60U * 4U);
    const SatelliteTable& table = context->receiver.satellites;
    for (const Constellation system : {Constellation::Gps, Constellation::Glonass, Constellation::Galileo,
                                       Constellation::BeiDou})
        EXPECT_GT(table.CountInView(system), 0U) << ConstellationLetter(system);
    EXPECT_EQ(context->receiver.ublox.leapSeconds, 18);
    EXPECT_EQ(context->receiver.fix.gpsWeek, simtest::kStart.week);
}

TEST(UbxSim, CommandsAreObeyedAndAcknowledged)
{
    struct Case
    {
        const char* name;
        std::uint8_t cls, id;
        std::vector<std::uint8_t> payload;
        bool acknowledged;
        int baud;
        bool rawx;
    };
    const Case cases[] = {
        {"cold start", 0x06, 0x04, {0xFF, 0xFF, 0x02, 0x00}, true, 0, false},
        {"CFG-PRT 38400", 0x06, 0x00, {1, 0, 0, 0, 0xD0, 0x08, 0, 0, 0x00, 0x96, 0, 0, 7, 0, 3, 0, 0, 0, 0, 0},
         true, 38400, false},
        {"CFG-PRT 1234", 0x06, 0x00, {1, 0, 0, 0, 0xD0, 0x08, 0, 0, 0xD2, 0x04, 0, 0, 7, 0, 3, 0, 0, 0, 0, 0},
         false, 0, false},
        {"CFG-MSG RAWX on", 0x06, 0x01, {0x02, 0x15, 0x01}, true, 0, true},
        {"CFG-VALSET baud and RAWX on", 0x06, 0x8A,
         {0, 1, 0, 0, 0x01, 0x00, 0x52, 0x40, 0x00, 0x4B, 0, 0, 0xA5, 0x02, 0x91, 0x20, 0x01},
         true, 19200, true},
        {"CFG-VALSET unknown key", 0x06, 0x8A, {0, 1, 0, 0, 0x01, 0x00, 0x77, 0x40, 0x00, 0x4B, 0, 0}, false, 0, false},
        {"CFG-ANT not understood", 0x06, 0x13, {0x1B, 0x00, 0xF0, 0xB9}, false, 0, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CSimStream stream(UbxOptions(false));
        const CommandEffect effect = stream.ApplyUbx(c.cls, c.id, c.payload);
        const std::array<std::uint8_t, 2> acked{c.cls, c.id};
        EXPECT_EQ(effect.reply, ubx::BuildFrame(0x05, c.acknowledged ? 0x01 : 0x00, acked));
        EXPECT_EQ(effect.baud, c.baud);
        EXPECT_EQ(stream.Outputs().rawx, c.rawx);
    }

    // A MON-VER poll is answered with the version; a message of another class gets no answer.
    CSimStream stream(UbxOptions(true));
    EXPECT_EQ(stream.ApplyUbx(0x0A, 0x04, {}).reply, UbxVersionFrame());
    EXPECT_TRUE(stream.ApplyUbx(0x01, 0x07, {}).reply.empty());
    // RAWX off, then the epoch carries no raw messages.
    (void)stream.ApplyUbx(0x06, 0x01, std::vector<std::uint8_t>{0x02, 0x15, 0x00});
    (void)stream.ApplyUbx(0x06, 0x01, std::vector<std::uint8_t>{0x02, 0x13, 0x00});
    std::vector<std::uint8_t> bytes;
    (void)stream.Next(bytes);
    auto context = std::make_unique<vrn::ParseContext>();
    Counting sink;
    Feed(*context, bytes, vrn::kModeUbx, sink);
    EXPECT_EQ(context->ubx.Counters().perMessage.count(ubx::kRxmRawx), 0U);
    EXPECT_EQ(context->ubx.Counters().perMessage.at(ubx::kNavPvt), 1U);
}

TEST(UbxSim, ClosedLoopThroughBothPrograms)
{
    const fs::path dir = fs::path(VRN_BINARY_DIR) / "test-home" / ("ubx-loop-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string err;
    ASSERT_EQ(simtest::RunTool({"--protocol", "ubx", "--raw", "--duration", "240", "--start", "2400,345600",
                                "--out", (dir / "s.ubx").string(), "--truth", (dir / "t.csv").string()},
                               err),
              0)
        << err;
    ASSERT_EQ(simtest::RunTool({"--protocol", "ubx", "--own-fix", "--solution", (dir / "sol.csv").string(),
                                "--fixes", (dir / "fix.csv").string(), (dir / "s.ubx").string()},
                               err, simtest::kReplayTool, (dir / "out.txt").string()),
              0)
        << err;
    auto lastRow = [](const fs::path& file) {
        std::ifstream in(file);
        std::string line, last;
        while (std::getline(in, line))
            last = line;
        std::vector<double> cells;
        std::istringstream row(last);
        for (std::string cell; std::getline(row, cell, ',');)
            cells.push_back(std::strtod(cell.c_str(), nullptr));
        return cells;
    };
    const auto solution = lastRow(dir / "sol.csv");
    const auto truth = lastRow(dir / "t.csv");
    ASSERT_EQ(solution.size(), 24U);
    ASSERT_GE(truth.size(), 5U);
    EXPECT_EQ(solution[0], 240.0);   // one row per RXM-RAWX
    EXPECT_EQ(solution[3], 2.0);     // a fix
    EXPECT_NEAR(solution[2], truth[1], 0.001);
    EXPECT_LT(simtest::Distance(solution[6], solution[7], solution[8], truth[2], truth[3], truth[4]), 1.0);
    std::ifstream fixes(dir / "fix.csv");
    std::string header, first;
    std::getline(fixes, header);
    std::getline(fixes, first);
    EXPECT_EQ(header, "sentence,utc,date,lat,lon,altMSL,quality,fixMode,satsUsed,hdop,pdop,vdop,speed,course");
    EXPECT_EQ(first.rfind("NAV-PVT,235942.00,", 0), 0U) << first;  // GPS Thursday 00:00 less 18 s

    // The accuracy table has both sources: the receiver's NAV-PVT and the own fix, which the
    // noiseless raw data put within centimetres of the truth.
    ASSERT_EQ(simtest::RunTool({"--protocol", "ubx", "--own-fix", "--accuracy", "--truth", (dir / "t.csv").string(),
                                (dir / "s.ubx").string()},
                               err, simtest::kReplayTool, (dir / "table.txt").string()),
              0)
        << err;
    std::ifstream table(dir / "table.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(table, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0].rfind("source=receiver1 epochs=240 ", 0), 0U) << lines[0];
    EXPECT_EQ(lines[1].rfind("source=own epochs=", 0), 0U) << lines[1];
    const std::size_t rms = lines[1].find(" rms3D=");
    ASSERT_NE(rms, std::string::npos) << lines[1];
    EXPECT_LT(std::strtod(lines[1].c_str() + rms + 7, nullptr), 0.5) << lines[1];
    EXPECT_EQ(lines[1].find(" fixed=0 "), std::string::npos) << lines[1];
    fs::remove_all(dir);
}

TEST(UbxSim, RawAndNmeaTooOnlyGoWithUbx)
{
    for (const char* option : {"--raw", "--nmea-too"})
    {
        std::string err;
        EXPECT_EQ(simtest::RunTool({option, "--out", "-"}, err), 2);
        EXPECT_EQ(err.rfind(std::string("vrnrcvr-sim: ") + option, 0), 0U) << err;
    }
}
}  // namespace
