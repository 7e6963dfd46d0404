// The program as a whole, in process: the command line, the start-up with the debug switch and the
// reports it brings, and the exit with both ports streaming into their logs.
#include <QAction>
#include <array>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <thread>

#include "GuiTestSupport.h"
#include "app/CMainFrame.h"
#include "app/CMonitorApp.h"
#include "app/CoreServices.h"
#include "app/ProgramOptions.h"
#include "res/MenuResources.h"

using namespace vrn::gui;
namespace res = vrn::res;

namespace
{
// GGA with the sequence number as its time of day, so the log shows order and gaps.
std::string Gga(int sequence)
{
    std::array<char, 16> time{};
    std::snprintf(time.data(), time.size(), "%06d", sequence);
    return Sentence("GPGGA," + std::string(time.data()) + ",2446.5,N,12100.1,E,1,08,0.9,545.4,M,46.9,M,,");
}

std::vector<std::string> Lines(const std::filesystem::path& path, bool& endsWithLineFeed)
{
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    endsWithLineFeed = text.empty() || text.back() == '\n';
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size())
    {
        const auto lf = text.find('\n', pos);
        lines.push_back(text.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos));
        pos = lf == std::string::npos ? text.size() : lf + 1;
    }
    return lines;
}

ProgramOptions Parse(const QStringList& arguments, QString& error)
{
    const auto options = ParseProgramOptions(QStringList{QStringLiteral("/usr/bin/vrnrcvr")} + arguments, error);
    return options.value_or(ProgramOptions{});
}
}  // namespace

TEST(ProgramOptionsTest, ClassicSwitchesAreFoundAnywhereInTheRest)
{
    // The classic search is a plain substring search: a path with "/d" in it turns debug on.
    ClassicSwitches s = ReadClassicSwitches({QStringLiteral("C:/Data/x")});
    EXPECT_TRUE(s.debug);
    EXPECT_FALSE(s.trace);
    s = ReadClassicSwitches({QStringLiteral("-T")});
    EXPECT_FALSE(s.debug);
    EXPECT_TRUE(s.trace);
    s = ReadClassicSwitches({QStringLiteral("a"), QStringLiteral("/D/t")});
    EXPECT_TRUE(s.debug && s.trace);
    s = ReadClassicSwitches({});
    EXPECT_FALSE(s.debug || s.trace);
    // The switches are joined with blanks first: "-" and "d" in separate arguments do not meet.
    s = ReadClassicSwitches({QStringLiteral("x-"), QStringLiteral("d")});
    EXPECT_FALSE(s.debug);
}

TEST(ProgramOptionsTest, OwnOptionsAreTakenOutAndTheRestKept)
{
    QString error;
    const ProgramOptions o =
        Parse({QStringLiteral("--demo"), QStringLiteral("/t"), QStringLiteral("--profile"), QStringLiteral("p.ini"),
               QStringLiteral("--exit-after=20"), QStringLiteral("--log"), QStringLiteral("2"),
               QStringLiteral("--screenshots"), QStringLiteral("shots"), QStringLiteral("C:/Data/x")},
              error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_TRUE(o.demo);
    EXPECT_EQ(o.profile, QStringLiteral("p.ini"));
    EXPECT_EQ(o.exitAfterSeconds, 20);
    EXPECT_EQ(o.screenshotDir, QStringLiteral("shots"));
    EXPECT_EQ(o.logPorts, (std::array<bool, 2>{false, true}));
    EXPECT_EQ(o.rest, (QStringList{QStringLiteral("/t"), QStringLiteral("C:/Data/x")}));

    for (const QStringList& bad : {QStringList{QStringLiteral("--profile")}, QStringList{QStringLiteral("--profile=")},
                                   QStringList{QStringLiteral("--exit-after"), QStringLiteral("-1")},
                                   QStringList{QStringLiteral("--exit-after=soon")},
                                   QStringList{QStringLiteral("--log"), QStringLiteral("3")},
                                   QStringList{QStringLiteral("--screenshots")}})
    {
        error.clear();
        EXPECT_FALSE(ParseProgramOptions(QStringList{QStringLiteral("vrnrcvr")} + bad, error).has_value())
            << bad.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

class ProgramRun : public GuiTest
{
protected:
    void TearDown() override
    {
        if (m_app)
            m_app->ExitInstance();
        m_app.reset();
        vrn::SetDebugSwitch(false);
        vrn::SetTraceSwitch(false);
        GuiTest::TearDown();
    }

    // The start-up of the program with `rest` as its command line; the first Input Settings
    // dialog accepts itself.
    CMainFrame& Start(const QStringList& rest)
    {
        ProgramOptions options;
        options.rest = rest;
        m_app = std::make_unique<CMonitorApp>(options);
        m_app->SetStartupAutoAccept(50);
        EXPECT_TRUE(m_app->InitInstance());
        EXPECT_NE(m_app->MainFrame(), nullptr);
        return *m_app->MainFrame();
    }

    TestPty m_pty1;
    TestPty m_pty2;
    std::unique_ptr<CMonitorApp> m_app;
};

TEST_F(ProgramRun, DebugSwitchShowsTheResourcesAndOnlyTheFirstDecoderError)
{
    WriteProfile("[Data Sources]\nMeasSerialPort=" + m_pty1.Path() + "\n[ReceiverInit1]\nProtocol=1\n");
    CMainFrame& frame = Start({QStringLiteral("C:/Data/x")});
    ASSERT_EQ(m_messages.size(), 1U);
    EXPECT_TRUE(m_messages[0].startsWith(QStringLiteral("Resources:")));
    EXPECT_TRUE(vrn::DebugSwitch());
    EXPECT_FALSE(vrn::TraceSwitch());

    frame.ToggleStartPort(0);
    ASSERT_EQ(frame.IsPortRunning(0), 1);
    const std::string loneDle("\x10\x02\x05\x10\x41\x10\x03", 7);
    m_pty1.Write(loneDle);
    EXPECT_TRUE(ProcessEventsUntil([&] { return m_messages.size() >= 2; }));
    for (int i = 0; i < 2; ++i)
    {
        m_pty1.Write(loneDle);
        ProcessEventsUntil([] { return false; }, 200);
    }
    ASSERT_EQ(m_messages.size(), 2U);
    EXPECT_EQ(m_messages[1], QStringLiteral("Single DLE encountered in message."));
}

TEST_F(ProgramRun, ExitWithBothPortsStreamingAndLoggingLeavesWholeLogsAndAProfile)
{
    const auto log1 = m_dir / "port1.log";
    const auto log2 = m_dir / "port2.log";
    WriteProfile("[Data Sources]\nMeasSerialPort=" + m_pty1.Path() + "\nMeasSerialPort2=" + m_pty2.Path() +
                 "\n[Logging 1]\nFileName=" + log1.string() + "\n[Logging 2]\nFileName=" + log2.string() + "\n");
    CMainFrame& frame = Start({});
    frame.ToggleStartPort(0);
    frame.ToggleStartPort(1);
    ASSERT_EQ(frame.IsPortRunning(0), 1);
    ASSERT_EQ(frame.IsPortRunning(1), 1);
    frame.ExecuteCommand(res::kIdLogging1);  // the Log File Settings dialog accepts itself
    frame.ExecuteCommand(res::kIdLogging2);
    ASSERT_TRUE(m_app->Logger().IsLogging(0));
    ASSERT_TRUE(m_app->Logger().IsLogging(1));

    std::atomic<bool> stop{false};
    std::thread receivers([&] {
        for (int sequence = 1; !stop.load() && sequence < 5000; ++sequence)
        {
            m_pty1.Write(Gga(sequence));
            m_pty2.Write(Gga(sequence));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    bool unused = false;
    ProcessEventsUntil([&] { return Lines(log1, unused).size() >= 20 && Lines(log2, unused).size() >= 20; });
    frame.ExecuteCommand(res::kIdAppExit);
    stop.store(true);
    receivers.join();

    EXPECT_EQ(frame.IsPortRunning(0), 0);
    EXPECT_EQ(frame.IsPortRunning(1), 0);
    EXPECT_FALSE(m_app->Logger().IsLogging(0));
    EXPECT_FALSE(m_app->Logger().IsLogging(1));
    for (const auto& path : {log1, log2})
    {
        bool whole = false;
        const auto lines = Lines(path, whole);
        EXPECT_TRUE(whole) << path;
        ASSERT_GE(lines.size(), 20U) << path;
        // Every sentence that went in whole comes out whole, in order, none missing in between.
        for (std::size_t i = 0; i < lines.size(); ++i)
        {
            std::string line = lines[i];
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            // Logged as stored: without the "$" and the line end, an empty field as a blank.
            std::string expected = Gga(std::stoi(line.substr(6, 6))).substr(1);
            expected.resize(expected.size() - 2);
            expected.replace(expected.find(",,"), 2, ", ,");
            EXPECT_EQ(line, expected) << path << " line " << i;
            if (i > 0)
            {
                EXPECT_EQ(std::stoi(line.substr(6, 6)), std::stoi(lines[i - 1].substr(6, 6)) + 1) << path;
            }
        }
    }
    EXPECT_EQ(ProfileValue("Logging 1", "FileName"), log1.string());
    EXPECT_FALSE(ProfileValue("Main", "WplShowCmd").empty());
}

// A profile that is there but cannot be read: one message names it, the run goes on with the
// defaults, and nothing written later (the start-up dialog's OK, the placements at the exit) goes
// over the profile; a dialog whose settings cannot be kept says so as it always does.
TEST_F(ProgramRun, UnreadableProfileIsNamedOnceAndNeverWrittenOver)
{
    std::filesystem::create_directory(m_profile);  // reading a folder fails: "Is a directory"
    CMainFrame& frame = Start({});
    frame.ExecuteCommand(res::kIdAppExit);
    const QString unread = QStringLiteral("The settings could not be read from %1 (Is a directory). The program "
                                          "runs on its defaults and leaves the file as it is.")
                               .arg(QString::fromStdString(m_profile));
    const QString unsaved =
        QStringLiteral("The settings could not be written to %1.").arg(QString::fromStdString(m_profile));
    ASSERT_FALSE(m_messages.empty());
    EXPECT_EQ(m_messages[0], unread);
    for (std::size_t i = 1; i < m_messages.size(); ++i)
        EXPECT_EQ(m_messages[i], unsaved) << i;
    EXPECT_TRUE(std::filesystem::is_directory(m_profile));
    EXPECT_TRUE(std::filesystem::is_empty(m_profile));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), std::filesystem::directory_iterator()), 1);
}
