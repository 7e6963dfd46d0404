// Log File Settings with the file-exists question, Preferences, Sky Chart Configuration and Track
// Map Preferences.
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "GuiTestSupport.h"
#include "config/CFileExistsDlg.h"
#include "config/CLogFileSettingsDlg.h"
#include "config/CPreferencesDlg.h"
#include "config/CSkyChartConfigDlg.h"
#include "config/CTrackMapPrefsDlg.h"

using namespace vrn::gui;

namespace
{
std::string Slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
}  // namespace

class OtherDialogsTest : public GuiTest
{
protected:
    // Opens the port's Log File Settings with `name` typed in, presses OK and answers the
    // file-exists question with `answer` (a button id; 0 = Escape) if it comes.
    int RunLogSettings(int port, const std::filesystem::path& name, int answer)
    {
        CLogFileSettingsDlg dialog(port, nullptr);
        dialog.show();
        dialog.SetText(1097, QString::fromStdString(name.string()));
        if (std::filesystem::is_regular_file(name))
            WhenModal([answer](QWidget* question) {
                if (answer == 0)
                    question->close();
                else
                    Click(question, answer);
            });
        Click(&dialog, kIdOk);
        return dialog.isVisible() ? -1 : dialog.result();
    }
};

TEST_F(OtherDialogsTest, LogFileAppendKeepsTheFileAndSaves)
{
    const auto log = m_dir / "port1.log";
    std::ofstream(log) << "old line\n";
    EXPECT_EQ(RunLogSettings(0, log, 1100), kIdOk);
    EXPECT_EQ(Slurp(log), "old line\n");
    EXPECT_EQ(ProfileValue("Logging 1", "FileName"), log.string());
}

TEST_F(OtherDialogsTest, LogFileOverwriteEmptiesItAtOnce)
{
    const auto log = m_dir / "port2.log";
    std::ofstream(log) << "old line\n";
    EXPECT_EQ(RunLogSettings(1, log, 1099), kIdOk);
    EXPECT_EQ(Slurp(log), "");
    EXPECT_EQ(ProfileValue("Logging 2", "FileName"), log.string());
}

TEST_F(OtherDialogsTest, LogFileReselectAndEscapeStayWithoutSaving)
{
    const auto log = m_dir / "port1.log";
    std::ofstream(log) << "old line\n";
    EXPECT_EQ(RunLogSettings(0, log, 7), -1);
    EXPECT_EQ(RunLogSettings(0, log, 0), -1);
    EXPECT_EQ(Slurp(log), "old line\n");
    EXPECT_EQ(ProfileValue("Logging 1", "FileName"), "");
}

TEST_F(OtherDialogsTest, LogFileIsCreatedOrRefusedWithFocus)
{
    EXPECT_EQ(RunLogSettings(0, m_dir / "new.log", 0), kIdOk);
    EXPECT_TRUE(std::filesystem::is_regular_file(m_dir / "new.log"));

    EXPECT_EQ(RunLogSettings(0, m_dir / "missing" / "x.log", 0), -1);
    EXPECT_EQ(RunLogSettings(0, m_dir, 0), -1);  // a folder is not a log file
    ASSERT_EQ(m_messages.size(), 2U);
    EXPECT_EQ(m_messages[0], QStringLiteral("Log File can not be created as specified.  Check if path is correct."));
    EXPECT_EQ(m_messages[1], m_messages[0]);

    EXPECT_EQ(RunLogSettings(0, "", 0), -1);
    EXPECT_EQ(m_messages.back(), QStringLiteral("A filename is required for output to a Log File."));
}

TEST_F(OtherDialogsTest, LogFileMustBeARegularFile)
{
    const auto fifo = m_dir / "pipe.log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink(fifo, m_dir / "link.log");
    for (const std::filesystem::path& name : {fifo, m_dir / "link.log", std::filesystem::path("/dev/null")})
    {
        m_messages.clear();
        EXPECT_EQ(RunLogSettings(0, name, 0), -1) << name;
        ASSERT_EQ(m_messages.size(), 1U) << name;
        EXPECT_EQ(m_messages[0], QStringLiteral("The log file must be a regular file.")) << name;
    }
    EXPECT_EQ(ProfileValue("Logging 1", "FileName"), "");
    EXPECT_EQ(std::filesystem::status(fifo).type(), std::filesystem::file_type::fifo);
}

TEST_F(OtherDialogsTest, LogFileOffersTheGroupOfTheReceiversProtocol)
{
    WriteProfile("[ReceiverInit2]\nProtocol=1\n[Logging 2]\nGSV=0\n");
    CLogFileSettingsDlg binary(1, nullptr);
    binary.show();
    EXPECT_EQ(binary.Text(1097), QStringLiteral("G_Port2.log"));
    EXPECT_FALSE(binary.IsEnabled(1152));
    for (int id : {1134, 1135, 1136, 1137, 1138, 1139})
        EXPECT_FALSE(binary.IsEnabled(id)) << id;
    for (int id : {1151, 1131, 1132, 1133, 1150})
        EXPECT_TRUE(binary.IsEnabled(id)) << id;
    EXPECT_FALSE(binary.IsChecked(1137));
    EXPECT_TRUE(binary.IsChecked(1136));

    CLogFileSettingsDlg nmea(0, nullptr);
    nmea.show();
    EXPECT_FALSE(nmea.IsEnabled(1151));
    EXPECT_TRUE(nmea.IsEnabled(1152));
}

TEST_F(OtherDialogsTest, LogFileBrowseFillsTheName)
{
    m_fileAnswers.push_back(QStringLiteral("/tmp/chosen.log"));
    CLogFileSettingsDlg dialog(0, nullptr);
    dialog.show();
    Click(&dialog, 1098);
    EXPECT_EQ(dialog.Text(1097), QStringLiteral("/tmp/chosen.log"));
    m_fileAnswers.push_back(std::nullopt);
    Click(&dialog, 1098);
    EXPECT_EQ(dialog.Text(1097), QStringLiteral("/tmp/chosen.log"));
}

TEST_F(OtherDialogsTest, PreferencesSaveWritesEveryGroupInItsFormat)
{
    CPreferencesDlg dialog(nullptr);
    dialog.show();
    EXPECT_EQ(dialog.Text(1006), QStringLiteral("100"));
    EXPECT_EQ(dialog.Text(1008), QStringLiteral("1000"));
    EXPECT_FALSE(dialog.IsEnabled(1007));
    Click(&dialog, kIdOk);
    EXPECT_EQ(dialog.result(), kIdOk);
    EXPECT_EQ(ProfileValue("Radar View", "Outer Radius Velocity1"), "4.00");
    EXPECT_EQ(ProfileValue("Map View", "Latitude1"), "24.775300");
    EXPECT_EQ(ProfileValue("Map View", "Longitude1"), "121.002480");
    EXPECT_EQ(ProfileValue("Map View", "Scale1"), "100");
    EXPECT_EQ(ProfileValue("Random Data", "Timer Delay"), "1000");
    EXPECT_EQ(ProfileValue("Signal View", "Graph Type"), "0");
}

TEST_F(OtherDialogsTest, PreferencesRefuseOutOfRangeValuesBeforeWritingAnything)
{
    for (const auto& [scale, timer] : std::vector<std::pair<QString, QString>>{
             {QStringLiteral("0"), QStringLiteral("1000")},
             {QStringLiteral("10001"), QStringLiteral("1000")},
             {QStringLiteral("100"), QStringLiteral("199")},
             {QStringLiteral("100"), QStringLiteral("30001")}})
    {
        m_messages.clear();
        CPreferencesDlg dialog(nullptr);
        dialog.show();
        dialog.SetText(1006, scale);
        dialog.SetText(1008, timer);
        Click(&dialog, 1002);
        Click(&dialog, kIdOk);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(m_messages.size(), 1U);
        EXPECT_EQ(ReadProfile(), "");
    }
    CPreferencesDlg dialog(nullptr);
    dialog.show();
    dialog.SetText(1006, QStringLiteral("10000"));
    dialog.SetText(1008, QStringLiteral("200"));
    Click(&dialog, kIdOk);
    EXPECT_EQ(ProfileValue("Map View", "Scale1"), "10000");
    EXPECT_EQ(ProfileValue("Random Data", "Timer Delay"), "200");
}

TEST_F(OtherDialogsTest, SkyChartVelocityRange)
{
    for (const auto& [text, accepted] : std::vector<std::pair<QString, bool>>{{QStringLiteral("0.01"), true},
                                                                             {QStringLiteral("2000"), true},
                                                                             {QStringLiteral("0.009"), false},
                                                                             {QStringLiteral("2000.5"), false}})
    {
        m_messages.clear();
        CSkyChartConfigDlg dialog(nullptr);
        dialog.SetValues(4.0, 1);
        dialog.show();
        EXPECT_EQ(dialog.Text(1067), QStringLiteral("4"));
        EXPECT_TRUE(dialog.IsChecked(1005));
        dialog.SetText(1067, text);
        Click(&dialog, kIdOk);
        EXPECT_EQ(!dialog.isVisible(), accepted) << text.toStdString();
        EXPECT_EQ(m_messages.empty(), accepted) << text.toStdString();
        if (accepted)
        {
            EXPECT_DOUBLE_EQ(dialog.Velocity(), text.toDouble());
        }
    }
}

TEST_F(OtherDialogsTest, TrackMapPrefsShowTheCentreAndReadItBack)
{
    CTrackMapPrefsDlg dialog(nullptr);
    dialog.SetValues(250, 24.7753, 121.00248);
    dialog.show();
    EXPECT_EQ(dialog.Text(1104), QStringLiteral(" 24.77530"));
    EXPECT_EQ(dialog.Text(1105), QStringLiteral("121.00248"));
    EXPECT_TRUE(dialog.IsChecked(1115));
    EXPECT_FALSE(dialog.IsEnabled(1114));
    dialog.SetText(1103, QStringLiteral("500"));
    dialog.SetText(1104, QStringLiteral("25.5abc"));
    Click(&dialog, kIdOk);
    EXPECT_EQ(dialog.Scale(), 500);
    EXPECT_DOUBLE_EQ(CTrackMapPrefsDlg::ParseCoordinate(dialog.LatitudeText()), 25.5);
    EXPECT_DOUBLE_EQ(CTrackMapPrefsDlg::ParseCoordinate(QStringLiteral("north")), 0.0);
}
