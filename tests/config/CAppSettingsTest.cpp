// Settings store: defaults, formats, round trips and hand-edited profiles, on real files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <limits>
#include <string>

#include "ProfileTestDir.h"
#include "config/CAppSettings.h"

namespace
{
using Settings = ProfileTest;

TEST_F(Settings, EmptyProfileGivesDefaultsAndCreatesNoFile)
{
    CAppSettings s;
    s.LoadDataSources();
    EXPECT_EQ(s.DataSource, 1);
    EXPECT_EQ(s.MeasSource, 2);
    EXPECT_EQ(s.MeasSerialPort, "COM1");
    EXPECT_EQ(s.MeasSerialPort2, "COM2");
    EXPECT_EQ(s.MeasSerialBaud, "4800");
    EXPECT_EQ(s.MeasSerialBaud2, "4800");
    EXPECT_EQ(s.MeasBFileType, "Hex");
    EXPECT_EQ(s.TrueFileName, "");
    EXPECT_EQ(s.MeasRI, 1);
    // MeasRI 1: the ReceiverInit2 defaults
    EXPECT_EQ(s.X, 250);
    EXPECT_EQ(s.Y, 1215);
    EXPECT_EQ(s.Z, 0);
    EXPECT_EQ(s.TOW, 0);
    EXPECT_EQ(s.Clock, 0);
    EXPECT_EQ(s.UseDOSTime, 1);
    EXPECT_EQ(s.LeapSec, 12);
    EXPECT_EQ(s.ResetMode, 1);
    EXPECT_EQ(s.Protocol, 0);
    for (int enable :
         {s.EnableGGA, s.EnableGLL, s.EnableGSA, s.EnableGSV, s.EnableRMC, s.EnableVTG, s.EnableNMEAChkSum})
        EXPECT_EQ(enable, 1);
    EXPECT_EQ(s.LogFileName[0], "G_Port1.log");
    EXPECT_EQ(s.LogFileName[1], "G_Port2.log");
    for (const auto& row : s.LogEnable)
        EXPECT_EQ(row, (std::array<int, 2>{1, 1}));

    s.LoadMapView();
    s.LoadRadarView();
    s.LoadSignalView();
    s.LoadGeneral();
    s.LoadTimerDelay();
    s.LoadExternalTimer();
    EXPECT_EQ(s.Scale1, 100);
    EXPECT_EQ(s.CenterFixed1, 0);
    EXPECT_DOUBLE_EQ(s.Latitude1, 24.7753);
    EXPECT_DOUBLE_EQ(s.Longitude1, 121.00248);
    EXPECT_EQ(s.Orientation1, 0);
    EXPECT_DOUBLE_EQ(s.OuterRadiusVelocity1, 4.0);
    EXPECT_EQ(s.GraphType, 0);
    EXPECT_EQ(s.Debug, 0);
    EXPECT_EQ(s.TimerDelay, 1000);
    EXPECT_EQ(s.ExternalTimer, 0);

    EXPECT_FALSE(std::filesystem::exists(m_profile));
}

TEST_F(Settings, ReceiverInitRoundTripAndSixteenBitWrap)
{
    CAppSettings s;
    s.LoadReceiverInit(0);
    s.X = -123;
    s.TOW = -2000000000;
    s.Clock = 96000;
    ASSERT_TRUE(s.SaveReceiverInit(0));
    const std::string text = ReadProfile();
    EXPECT_NE(text.find("\nX=-123\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nTOW=-2000000000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nClock=96000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nChannels=12\n"), std::string::npos) << text;

    CAppSettings t;
    t.LoadReceiverInit(0);
    EXPECT_EQ(t.X, -123);
    EXPECT_EQ(t.TOW, -2000000000);
    EXPECT_EQ(t.Clock, 96000);

    // Beyond 16 and 32 bits: the low bits; beyond 64 bits: clamped first.
    WriteProfile("[ReceiverInit2]\nX=70000\nY=40000\nZ=99999999999999999999999\nTOW=4294967297\nClock=-1\n");
    t.LoadReceiverInit(1);
    EXPECT_EQ(t.X, 70000 - 65536);
    EXPECT_EQ(t.Y, 40000 - 65536);
    EXPECT_EQ(t.Z, -1);
    EXPECT_EQ(t.TOW, 1);
    EXPECT_EQ(t.Clock, -1);
}

TEST_F(Settings, EmptyTowAndEmptyNumbers)
{
    // Short and long read the text, so an empty value is 0; an empty int keeps its default.
    WriteProfile("[ReceiverInit1]\nTOW=\nX=\nLeapSec=\nResetMode=  \n");
    CAppSettings s;
    s.LoadReceiverInit(0);
    EXPECT_EQ(s.TOW, 0);
    EXPECT_EQ(s.X, 0);
    EXPECT_EQ(s.LeapSec, 12);
    EXPECT_EQ(s.ResetMode, 1);
}

TEST_F(Settings, SavingReceiverOneSelectsItForTheNextLoad)
{
    CAppSettings dialog;
    dialog.LoadReceiverInit(0);
    dialog.X = 7;
    dialog.Protocol = 2;
    ASSERT_TRUE(dialog.SaveReceiverInit(0));
    EXPECT_EQ(CAppSettings::ReadProfileInt("Data Sources", "MeasRI", 1), 0);

    CAppSettings doc;
    doc.LoadDataSources();
    EXPECT_EQ(doc.MeasRI, 0);
    EXPECT_EQ(doc.X, 7);
    EXPECT_EQ(doc.Protocol, 2);
}

TEST_F(Settings, RealsAreWrittenWithTheirFixedDecimals)
{
    CAppSettings s;
    s.LoadMapView();
    s.LoadRadarView();
    s.Latitude1 = 24.7753;
    s.Longitude1 = -121.5;
    s.OuterRadiusVelocity1 = 4;
    ASSERT_TRUE(s.SaveMapView());
    ASSERT_TRUE(s.SaveRadarView());
    EXPECT_EQ(ReadProfile(),
              "[Map View]\nScale1=100\nCenter Fixed1=0\nLatitude1=24.775300\nLongitude1=-121.500000\n\n"
              "[Radar View]\nOrientation1=0\nOuter Radius Velocity1=4.00\n");
    CAppSettings t;
    t.LoadMapView();
    t.LoadRadarView();
    EXPECT_DOUBLE_EQ(t.Latitude1, 24.7753);
    EXPECT_DOUBLE_EQ(t.Longitude1, -121.5);
    EXPECT_DOUBLE_EQ(t.OuterRadiusVelocity1, 4.0);
}

TEST_F(Settings, LoggingGroupsPerPort)
{
    WriteProfile("[Logging 2]\nNAV=0\nVTG=0\n");
    CAppSettings s;
    s.LoadLogging(1);
    EXPECT_EQ(s.LogFileName[1], "G_Port2.log");
    EXPECT_EQ(s.LogEnable[CAppSettings::kLogNav][1], 0);
    EXPECT_EQ(s.LogEnable[CAppSettings::kLogDop][1], 1);
    EXPECT_EQ(s.LogEnable[CAppSettings::kLogVtg][1], 0);

    s.LoadLogging(0);
    s.LogFileName[0] = "/var/log/one two.log";
    s.LogEnable[CAppSettings::kLogSv][0] = 0;
    ASSERT_TRUE(s.SaveLogging(0));
    CAppSettings t;
    t.LoadLogging(0);
    t.LoadLogging(1);
    EXPECT_EQ(t.LogFileName[0], "/var/log/one two.log");
    EXPECT_EQ(t.LogEnable[CAppSettings::kLogSv][0], 0);
    EXPECT_EQ(t.LogEnable[CAppSettings::kLogSv][1], 1);
    EXPECT_EQ(t.LogEnable[CAppSettings::kLogNav][1], 0);
}

TEST_F(Settings, HandEditedProfileLoadsWithDefaultsAndPrefixes)
{
    WriteProfile(
        "; edited by hand\n"
        "  [ DATA sources ]  \n"
        "measserialport = \"/dev/ttyUSB0\"  \n"
        "MeasSerialBaud\t=\t'9600'\n"
        "MeasSource = 1 ; comment\n"
        "MeasSource = 0\n"
        "MeasNBO=yes\n"
        "UseMeas=99999999999999\n"
        "MeasRI=0\n"
        "MeasBFileType=\"Binary\n"
        "[receiverinit1]\n"
        "x = +12.9\n"
        "LeapSec=-13abc\n"
        "WeekNo=-99999999999999\n"
        "[Map View]\n"
        "Latitude1 = 2446.385xyz\n"
        "Longitude1=nan\n"
        "Scale1=\n"
        "[Radar View]\n"
        "Outer Radius Velocity1=inf\n"
        "[Map View]\n"
        "Center Fixed1=1\n");
    CAppSettings s;
    s.LoadDataSources();
    EXPECT_EQ(s.MeasSerialPort, "/dev/ttyUSB0");
    EXPECT_EQ(s.MeasSerialBaud, "9600");
    EXPECT_EQ(s.MeasSource, 1);  // first occurrence wins
    EXPECT_EQ(s.MeasNBO, 0);
    EXPECT_EQ(s.UseMeas, std::numeric_limits<int>::max());
    EXPECT_EQ(s.MeasBFileType, "\"Binary");  // unbalanced quote kept
    EXPECT_EQ(s.MeasSerialPort2, "COM2");
    EXPECT_EQ(s.X, 12);
    EXPECT_EQ(s.LeapSec, -13);
    EXPECT_EQ(s.WeekNo, std::numeric_limits<int>::min());
    EXPECT_EQ(s.ResetMode, 1);

    s.LoadMapView();
    s.LoadRadarView();
    EXPECT_DOUBLE_EQ(s.Latitude1, 2446.385);
    EXPECT_EQ(s.Longitude1, 0.0);
    EXPECT_EQ(s.Scale1, 100);
    EXPECT_EQ(s.CenterFixed1, 0);  // only the first "Map View" section counts
    EXPECT_EQ(s.OuterRadiusVelocity1, 0.0);
    s.LoadSignalView();
    EXPECT_EQ(s.GraphType, 0);
}

TEST_F(Settings, WritesReplaceInPlaceAndKeepEverythingElse)
{
    WriteProfile(
        "; keep me\r\n"
        "[data sources]\r\n"
        "  measserialbaud = 9600 \r\n"
        "Unknown Key=kept as is  \r\n"
        "\r\n"
        "[Main]\r\n"
        "WplLength=44\r\n"
        "no equals sign here");
    ASSERT_TRUE(CAppSettings::WriteProfileText("Data Sources", "MeasSerialBaud", "19200"));
    ASSERT_TRUE(CAppSettings::WriteProfileText("Data Sources", "MeasSerialPort", "COM3"));
    ASSERT_TRUE(CAppSettings::WriteProfileInt("Main", "WplShowCmd", 3));
    ASSERT_TRUE(CAppSettings::WriteProfileText("Serial Devices", "COM3", "/dev/ttyACM0\nX=1"));
    EXPECT_EQ(ReadProfile(),
              "; keep me\r\n"
              "[data sources]\r\n"
              "measserialbaud=19200\r\n"
              "Unknown Key=kept as is  \r\n"
              "MeasSerialPort=COM3\r\n"
              "\r\n"
              "[Main]\r\n"
              "WplLength=44\r\n"
              "no equals sign here\r\n"
              "WplShowCmd=3\r\n"
              "\r\n"
              "[Serial Devices]\r\n"
              "COM3=/dev/ttyACM0\r\n");
    EXPECT_EQ(CAppSettings::ReadProfileText("SERIAL DEVICES", "com3", ""), "/dev/ttyACM0");
}

TEST_F(Settings, SectionAccessForPlacementsAndDevices)
{
    ASSERT_TRUE(CAppSettings::WriteProfileValues(
        "Main", {{"WplLength", "44"}, {"WplFlags", "0"}, {"WplNormalL", "-8"}}));
    WriteProfile(ReadProfile() +
                 "[Serial Devices]\nCOM1 = /dev/ttyUSB0\ncom1=/dev/other\nCOM2=\"/dev/ttyS7\"\n");
    EXPECT_EQ(
        CAppSettings::ReadProfileSection("serial devices"),
        (std::vector<std::pair<std::string, std::string>>{{"COM1", "/dev/ttyUSB0"}, {"COM2", "/dev/ttyS7"}}));
    EXPECT_EQ(CAppSettings::ReadProfileInt("Main", "WplNormalL", 0), -8);
    EXPECT_EQ(CAppSettings::ReadProfileInt("Main", "WplShowCmd", 1), 1);
    EXPECT_TRUE(CAppSettings::ReadProfileSection("Nowhere").empty());
}

TEST_F(Settings, ClassicProfileLoadsAndSavesUnchanged)
{
    const std::string classic =
        "[Data Sources]\r\nDataSource=1\r\nUseTrue=0\r\nTrueSource=0\r\nTrueFileName=\r\nTrueSerialPort=\r\n"
        "TrueSerialBaud=\r\nTrueWeekNo=\r\nTrueTOW=\r\nUseMeas=1\r\nMeasSource=2\r\nMeasBFileName=\r\n"
        "MeasBFileType=Hex\r\nMeasSerialPort=COM1\r\nMeasSerialBaud=38400\r\nMeasSerialPort2=COM2\r\n"
        "MeasSerialBaud2=4800\r\nMeasNBO=0\r\nMeasRI=0\r\n"
        "[ReceiverInit1]\r\nX=250\r\nY=1215\r\nZ=0\r\nUseDOSTime=1\r\nWeekNo=0\r\nTOW=0\r\nLeapSec=12\r\n"
        "Clock=0\r\nProtocol=1\r\nResetMode=1\r\nEnableGGA=1\r\nEnableGLL=1\r\nEnableGSA=1\r\nEnableGSV=1\r\n"
        "EnableRMC=1\r\nEnableVTG=1\r\nEnableNMEAChkSum=1\r\nChannels=12\r\n"
        "[Logging "
        "1]\r\nFileName=C:\\Logs\\G_Port1.log\r\nNAV=1\r\nDOP=0\r\nSV=1\r\nMEAS=1\r\nGGA=1\r\nGLL=1\r\n"
        "GSA=1\r\nGSV=1\r\nRMC=1\r\nVTG=1\r\n"
        "[Map View]\r\nScale1=250\r\nCenter Fixed1=1\r\nLatitude1=24.775300\r\nLongitude1=121.002480\r\n"
        "[Radar View]\r\nOrientation1=1\r\nOuter Radius Velocity1=12.50\r\n"
        "[Signal View]\r\nGraph Type=1\r\n"
        "[Main]\r\nWplLength=44\r\nWplFlags=0\r\nWplShowCmd=1\r\n";
    WriteProfile(classic);
    CAppSettings s;
    s.LoadDataSources();
    s.LoadMapView();
    s.LoadRadarView();
    s.LoadSignalView();
    EXPECT_EQ(s.MeasSerialBaud, "38400");
    EXPECT_EQ(s.Protocol, 1);
    EXPECT_EQ(s.LogFileName[0], "C:\\Logs\\G_Port1.log");
    EXPECT_EQ(s.LogEnable[CAppSettings::kLogDop][0], 0);
    EXPECT_EQ(s.Scale1, 250);
    EXPECT_DOUBLE_EQ(s.OuterRadiusVelocity1, 12.5);
    EXPECT_EQ(s.GraphType, 1);

    ASSERT_TRUE(s.SaveDataSources());
    ASSERT_TRUE(s.SaveReceiverInit(0));
    ASSERT_TRUE(s.SaveLogging(0));
    ASSERT_TRUE(s.SaveMapView());
    ASSERT_TRUE(s.SaveRadarView());
    ASSERT_TRUE(s.SaveSignalView());
    EXPECT_EQ(ReadProfile(), classic);
}

TEST_F(Settings, NumbersIgnoreTheUserLocale)
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE.utf8"))
        GTEST_SKIP() << "no de_DE.UTF-8 locale installed";
    WriteProfile("[Map View]\nLatitude1=2446.385\n[Radar View]\nOuter Radius Velocity1=1,5\n");
    CAppSettings s;
    s.LoadMapView();
    s.LoadRadarView();
    const double latitude = s.Latitude1;
    const double velocity = s.OuterRadiusVelocity1;
    s.Latitude1 = 24.7753;
    s.OuterRadiusVelocity1 = 4.0;
    const bool saved = s.SaveMapView() && s.SaveRadarView();
    std::setlocale(LC_ALL, previous.c_str());

    EXPECT_DOUBLE_EQ(latitude, 2446.385);
    EXPECT_DOUBLE_EQ(velocity, 1.0);
    ASSERT_TRUE(saved);
    const std::string text = ReadProfile();
    EXPECT_NE(text.find("Latitude1=24.775300\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Outer Radius Velocity1=4.00\n"), std::string::npos) << text;
}

TEST_F(Settings, FailedWriteIsReportedAndLeavesNoLitter)
{
    // The profile's folder cannot be made: a file stands where it would go.
    WriteProfile("[General]\nDebug=1\n");
    CAppSettings::SetProfilePath((m_dir / "vrnrcvr.ini" / "p.ini").string());
    EXPECT_FALSE(CAppSettings::WriteProfileInt("General", "Debug", 0));

    // The profile's name is taken by a folder: the rename fails and the temporary file goes.
    std::filesystem::create_directory(m_dir / "taken");
    CAppSettings::SetProfilePath((m_dir / "taken").string());
    EXPECT_FALSE(CAppSettings::WriteProfileInt("General", "Debug", 0));
    EXPECT_EQ(CAppSettings::ReadProfileInt("General", "Debug", 5), 5);
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(m_dir), std::filesystem::directory_iterator()), 2);

    // A profile in a folder that does not exist yet: the folder is made.
    CAppSettings::SetProfilePath((m_dir / "new" / "deeper" / "p.ini").string());
    EXPECT_TRUE(CAppSettings::WriteProfileInt("General", "Debug", 1));
    EXPECT_EQ(CAppSettings::ReadProfileInt("General", "Debug", 0), 1);
}

// A profile that is there but cannot be read whole loads as defaults, and no save writes over
// it: not the groups, not single keys, not sections. The read's outcome names the file and why.
TEST_F(Settings, ProfileThatCannotBeReadIsNeverSavedOver)
{
    struct Case
    {
        const char* name;
        std::function<void(const std::string&)> make;
        std::filesystem::file_type type;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); },
         std::filesystem::file_type::directory, "Is a directory"},
        {"a pipe", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }, std::filesystem::file_type::fifo,
         "not a regular file"},
    };
    for (const Case& c : cases)
    {
        const std::string path = (m_dir / (std::string(c.name) + ".ini")).string();
        c.make(path);
        CAppSettings::SetProfilePath(path);
        CAppSettings settings;
        settings.LoadDataSources();
        EXPECT_EQ(settings.MeasSerialBaud, "4800") << c.name;
        EXPECT_FALSE(settings.SaveDataSources()) << c.name;
        EXPECT_FALSE(CAppSettings::WriteProfileText("General", "Debug", "1")) << c.name;
        EXPECT_FALSE(CAppSettings::WriteProfileValues("Main", {{"WplLength", "44"}})) << c.name;
        const auto status = CAppSettings::LastProfileRead();
        EXPECT_EQ(status.result, CAppSettings::ProfileRead::Failed) << c.name;
        EXPECT_EQ(status.path, path) << c.name;
        EXPECT_EQ(status.reason, c.reason) << c.name;
        EXPECT_EQ(std::filesystem::symlink_status(path).type(), c.type) << c.name;
    }
    // Nothing but the two was left in the folder (no temporary files).
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(m_dir), std::filesystem::directory_iterator()), 2);
    // A readable profile again: loads and saves work, and the outcome says so.
    CAppSettings::SetProfilePath(m_profile);
    EXPECT_TRUE(CAppSettings::WriteProfileText("General", "Debug", "1"));
    EXPECT_EQ(CAppSettings::CheckProfile().result, CAppSettings::ProfileRead::Whole);
    std::filesystem::remove(m_profile);
    EXPECT_EQ(CAppSettings::CheckProfile().result, CAppSettings::ProfileRead::Missing);
}

// The reported case: the user's profile belongs to another user with mode 0000 in a folder the
// user may write. Loads give defaults and every save is refused, so the file keeps every byte.
// As root the check runs in a child process that has become the unprivileged user "nobody".
TEST_F(Settings, ProfileWithoutReadPermissionKeepsEveryByte)
{
    const std::string original = "; my receivers\n[Data Sources]\nMeasSerialBaud=38400\n[Unknown]\nx=1\n";
    WriteProfile(original);
    ASSERT_EQ(::chmod(m_profile.c_str(), 0), 0);
    // What the user's run does: load, then save everything a session saves. Bit 0: a load read
    // the file's value; bit 1: a save claimed success; bit 2: the outcome was not "failed".
    auto session = [this]
    {
        int result = 0;
        CAppSettings settings;
        settings.LoadDataSources();
        if (settings.MeasSerialBaud != "4800")
            result |= 1;
        if (settings.SaveDataSources() || settings.SaveReceiverInit(0) || settings.SaveLogging(1) ||
            CAppSettings::WriteProfileValues("Main", {{"WplLength", "44"}}))
            result |= 2;
        const auto status = CAppSettings::LastProfileRead();
        if (status.result != CAppSettings::ProfileRead::Failed || status.reason != "Permission denied" ||
            status.path != m_profile)
            result |= 4;
        return result;
    };
    int result = -1;
    if (::geteuid() != 0)
        result = session();
    else
    {
        ASSERT_EQ(::chmod(m_dir.c_str(), 0777), 0);  // the user may write the folder, as reported
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(100);
            ::_exit(session());
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        result = WEXITSTATUS(status);
        ASSERT_NE(result, 100) << "could not become the user nobody";
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(std::filesystem::status(m_profile).permissions(), std::filesystem::perms::none);
    ::chmod(m_profile.c_str(), 0600);
    EXPECT_EQ(ReadProfile(), original);
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(m_dir), std::filesystem::directory_iterator()), 1);
}

TEST_F(Settings, SymlinkedProfileStaysALink)
{
    std::filesystem::create_directory(m_dir / "real");
    std::filesystem::create_symlink("real/target.ini", m_profile);
    ASSERT_TRUE(CAppSettings::WriteProfileText("Data Sources", "MeasSerialPort", "COM4"));
    EXPECT_TRUE(std::filesystem::is_symlink(m_profile));
    EXPECT_EQ(CAppSettings::ReadProfileText("Data Sources", "MeasSerialPort", ""), "COM4");
    EXPECT_TRUE(std::filesystem::exists(m_dir / "real" / "target.ini"));
}

TEST(SettingsPath, DefaultFollowsXdgConfigHome)
{
    const std::string path = CAppSettings::DefaultProfilePath();
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        EXPECT_EQ(path, std::string(config) + "/vrnrcvr/vrnrcvr.ini");
    else
        EXPECT_TRUE(path.ends_with("/.config/vrnrcvr/vrnrcvr.ini")) << path;
    CAppSettings::SetProfilePath("/tmp/x.ini");
    EXPECT_EQ(CAppSettings::ProfilePath(), "/tmp/x.ini");
    CAppSettings::SetProfilePath("");
    EXPECT_EQ(CAppSettings::ProfilePath(), path);
}

}  // namespace
