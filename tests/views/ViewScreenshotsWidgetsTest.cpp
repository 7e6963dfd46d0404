// The four data views fed by the simulated receiver exactly as a port in test mode feeds them (the
// reader's chunk loop in 80-byte chunks, the program's own fix as receiver 2), checked for what a
// user must see, and saved as PNG under the build folder for people to look at.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <filesystem>

#include "app/CTraceFile.h"
#include "app/CoreServices.h"
#include "config/CAppSettings.h"
#include "link/ChunkParser.h"
#include "link/Notifications.h"
#include "sim/SimStream.h"
#include "views/CDebugDataView.h"
#include "views/CDialogBar.h"
#include "views/CMeasureView.h"
#include "views/CRadarView.h"
#include "views/CSignalView.h"
#include "views/CSignalView2.h"
#include "views/DrawingResources.h"

using namespace vrn;
using namespace vrn::gui;

namespace
{
class ViewFeed final : public IChunkSink
{
public:
    explicit ViewFeed(std::vector<CViewBase*> views) : m_views(std::move(views)) {}
    void Activity(unsigned /*code*/) override {}
    void NotifyViews(unsigned message, unsigned wParam, const CData& set) override
    {
        const CData snapshot = set;  // what the reader hands on
        for (CViewBase* view : m_views)
            view->OnRecordMessage(message, wParam, snapshot);
    }

private:
    std::vector<CViewBase*> m_views;
};

QString ShotPath(const char* name)
{
    const QString dir = QStringLiteral(VRN_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + QLatin1String(name);
}

int CountColour(const QImage& image, const QRect& area, const QColor& colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == colour)
                ++n;
    return n;
}
}  // namespace

TEST(ViewScreenshots, SimulatedTestModeStreamDrawsEveryView)
{
    const auto dir = std::filesystem::temp_directory_path() / ("vrn-shots-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    CAppSettings::SetProfilePath((dir / "vrnrcvr.ini").string());
    CAppSettings::WriteProfileValues(
        "Data Sources",
        {{"MeasSerialPort", "/dev/pts/3"}, {"MeasSerialPort2", "/dev/pts/4"}, {"MeasRI", "0"}});
    CAppSettings::WriteProfileValues("ReceiverInit1", {{"LeapSec", "18"}});
    CAppSettings::WriteProfileValues(
        "Map View", {{"Scale1", "300"}, {"Latitude1", "24.775300"}, {"Longitude1", "121.002480"}});
    CAppSettings::WriteProfileValues("Radar View", {{"Outer Radius Velocity1", "4.00"}});

    CRadarView radar;
    CSignalView signal1;
    CSignalView2 signal2;
    CMeasureView measure;
    radar.resize(1100, 620);
    signal1.resize(760, 700);
    signal2.resize(760, 700);
    measure.resize(760, 600);
    for (CViewBase* v : std::initializer_list<CViewBase*>{&radar, &signal1, &signal2, &measure})
    {
        v->show();
        v->OnInitialUpdate();
    }

    vrnsim::StreamOptions options;
    options.protocol = vrnsim::SimProtocol::Test;
    options.start = vrnsim::GpsTime{2300, 345600.0};
    options.velocityEnu = {2.0, 1.5, 0.0};  // walking north-east
    vrnsim::CSimStream stream(options);
    ParseContext context;
    ViewFeed feed({&radar, &signal1, &signal2, &measure});
    std::vector<std::uint8_t> bytes;
    for (int epoch = 0; epoch < 150; ++epoch)
    {
        bytes.clear();
        stream.Next(bytes);
        for (std::size_t i = 0; i < bytes.size(); i += kChunkSize)
        {
            const std::size_t n = std::min(kChunkSize, bytes.size() - i);
            ParseChunk(context, std::span<const std::uint8_t>(bytes).subspan(i, n), 0, kModeTest, feed);
        }
    }

    const QImage screen = radar.Canvas().Screen();
    ASSERT_FALSE(screen.isNull());
    // Receiver 1: satellites in the state colours and the red arrow on the sky chart, a track.
    const Box sky1 = radar.Canvas().Layout().skySquare[0];
    EXPECT_GT(CountColour(screen, sky1.Rect(), QColor(255, 0, 0)), 20);
    const Box map1 = radar.Canvas().Layout().trackSquare[0];
    EXPECT_EQ(radar.Canvas().Ring(0).count, 8);
    EXPECT_GT(CountColour(screen, map1.Rect(), QColor(255, 0, 0)), 5);
    // Receiver 2's places show the program's own fix.
    EXPECT_GT(radar.Canvas().Fixes(1).units, 0U);
    EXPECT_FALSE(radar.StatusPanel().Text(1043).isEmpty());
    EXPECT_EQ(radar.StatusPanel().Text(1221), QStringLiteral(" < /dev/pts/3 >"));
    EXPECT_FALSE(measure.Bar(0).Text(1123).trimmed().isEmpty());

    EXPECT_TRUE(radar.grab().save(ShotPath("radar-view.png")));
    EXPECT_TRUE(signal1.grab().save(ShotPath("signal-view-1.png")));
    EXPECT_TRUE(signal2.grab().save(ShotPath("signal-view-2.png")));
    EXPECT_TRUE(measure.grab().save(ShotPath("measure-view.png")));

    SetTraceSwitch(true);
    {
        CDebugDataView debug;
        debug.resize(600, 300);
        debug.show();
        debug.OnInitialUpdate();
        for (int i = 0; i < 20; ++i)
            CTraceFile::Write("[CData::BuildBinaryDataPacket] frame " + std::to_string(i));
        EXPECT_TRUE(debug.grab().save(ShotPath("debug-view.png")));
    }
    SetTraceSwitch(false);
    CAppSettings::SetProfilePath({});
    std::filesystem::remove_all(dir);
}

TEST(ViewScreenshots, ModernNmeaReceiverShowsEveryConstellation)
{
    const auto dir =
        std::filesystem::temp_directory_path() / ("vrn-gnss-shots-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    CAppSettings::SetProfilePath((dir / "vrnrcvr.ini").string());
    CAppSettings::WriteProfileValues(
        "Map View", {{"Scale1", "300"}, {"Latitude1", "24.775300"}, {"Longitude1", "121.002480"}});

    CRadarView radar;
    CSignalView2 signal;
    radar.resize(1900, 960);
    signal.resize(760, 1000);
    for (CViewBase* v : std::initializer_list<CViewBase*>{&radar, &signal})
    {
        v->show();
        v->OnInitialUpdate();
    }

    // Port 2 as the demo runs it: GPS, GLONASS, Galileo and BeiDou in NMEA 4.11.
    vrnsim::StreamOptions options;
    options.protocol = vrnsim::SimProtocol::Nmea;
    options.start = vrnsim::GpsTime{2300, 345600.0};
    options.velocityEnu = {2.0, 1.5, 0.0};
    options.systems =
        vrnsim::SystemBit(vrnsim::GnssSystem::Gps) | vrnsim::SystemBit(vrnsim::GnssSystem::Glonass) |
        vrnsim::SystemBit(vrnsim::GnssSystem::Galileo) | vrnsim::SystemBit(vrnsim::GnssSystem::BeiDou);
    options.nmeaVersion = vrnsim::NmeaVersion::V411;
    vrnsim::CSimStream stream(options);
    ParseContext context;
    ViewFeed feed({&radar, &signal});
    std::vector<std::uint8_t> bytes;
    for (int epoch = 0; epoch < 60; ++epoch)
    {
        bytes.clear();
        stream.Next(bytes);
        for (std::size_t i = 0; i < bytes.size(); i += kChunkSize)
        {
            const std::size_t n = std::min(kChunkSize, bytes.size() - i);
            ParseChunk(context, std::span<const std::uint8_t>(bytes).subspan(i, n), 1, kModeNmea, feed);
        }
    }

    // Receiver 2's chart: badges of the four constellations and their legend.
    const std::vector<Constellation> four{Constellation::Gps, Constellation::Glonass, Constellation::Galileo,
                                          Constellation::BeiDou};
    EXPECT_EQ(radar.Canvas().ChartConstellations(1), four);
    const QImage screen = radar.Canvas().Screen();
    const Box sky2 = radar.Canvas().Layout().skySquare[1];
    for (const Constellation system : four)
        EXPECT_GT(CountColour(screen, sky2.Rect(), colours::ConstellationSymbol(system)), 20)
            << ConstellationLetter(system);
    // Every satellite of the table has its row in the signal view, labelled with its constellation.
    EXPECT_TRUE(signal.Canvas().ShowsTable());
    EXPECT_GT(signal.Canvas().RowCount(), 20);
    EXPECT_FALSE(radar.StatusPanel().Text(1096).isEmpty());

    EXPECT_TRUE(radar.grab().save(ShotPath("radar-view-gnss.png")));
    EXPECT_TRUE(signal.grab().save(ShotPath("signal-view-gnss.png")));
    CAppSettings::SetProfilePath({});
    std::filesystem::remove_all(dir);
}
