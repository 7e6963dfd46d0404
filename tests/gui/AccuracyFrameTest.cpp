// The accuracy workbench in the main frame: the Statistics view from the View menu and its toolbar
// button (the classic 36 slots unchanged), its placement, File > Export Track in the three formats,
// the start command that starts a time to first fix, and the TTFF campaign's commands on the line.
#include <QAction>
#include <QCoreApplication>
#include <QToolBar>
#include <fstream>

#include "GuiTestSupport.h"
#include "analysis/AnalysisTestSupport.h"
#include "analysis/GpxReadBack.h"
#include "app/CAccuracyHub.h"
#include "app/CMainFrame.h"
#include "app/CMonitorApp.h"
#include "app/CTemplateDialog.h"
#include "app/CViewFrame.h"
#include "link/Notifications.h"
#include "res/MenuResources.h"
#include "views/CStatisticsView.h"
#include "views/CViewBase.h"

using namespace vrn::gui;
namespace res = vrn::res;

namespace
{
// The start mode bytes of the initialisation commands in what the program wrote (id 0x80, 18 bytes).
std::vector<int> StartModes(const std::string& bytes)
{
    std::vector<int> modes;
    for (std::size_t i = 0; i + 3 < bytes.size(); ++i)
    {
        if (bytes[i] != 0x10 || bytes[i + 1] != 0x02)
            continue;
        std::string content;  // length byte, id, data, checksum: unstuffed
        for (std::size_t k = i + 2; k + 1 < bytes.size(); ++k)
        {
            if (bytes[k] == 0x10 && bytes[k + 1] == 0x03)
                break;
            if (bytes[k] == 0x10 && bytes[k + 1] == 0x10)
                ++k;
            content += bytes[k];
        }
        if (content.size() >= 17 && static_cast<unsigned char>(content[1]) == 0x80)
            modes.push_back(static_cast<unsigned char>(content[16]));
    }
    return modes;
}
}  // namespace

class AccuracyFrameTest : public MainFrameTest
{
protected:
    void SetUp() override
    {
        MainFrameTest::SetUp();
        Frame().show();
    }
    // Own fixes at known offsets from a point, one a second.
    void FeedOwn(int count)
    {
        const analysistest::Point origin{24.7753, 121.00248, 150.0};
        for (int k = 0; k < count; ++k)
        {
            const auto p = analysistest::Offset(origin, 0.1 * k, -0.2 * k, 0.0);
            ReceiverFix fix;
            fix.sequence = static_cast<std::uint32_t>(k + 1);
            fix.gpsWeek = 2400;
            fix.gpsTimeOfWeekS = 345600.0 + k;
            fix.latitudeDeg = p.latitudeDeg;
            fix.longitudeDeg = p.longitudeDeg;
            fix.heightEllipsoidM = p.heightM;
            fix.fixMode = 3;
            fix.quality = 1;
            fix.satsUsed = 8;
            fix.hdop = 0.9;
            m_frame->Accuracy().OnFix(vrn::kFixOwn, fix, CAccuracyHub::Now());
        }
    }
};

TEST_F(AccuracyFrameTest, StatisticsViewFromTheMenuAndItsOwnToolbar)
{
    CMainFrame& frame = *m_frame;
    // The classic toolbar keeps its 36 slots and images; the accuracy commands have a toolbar of
    // their own.
    for (int slot = 0; slot < static_cast<int>(res::kToolbarSlots); ++slot)
        EXPECT_EQ(frame.ToolbarAction(slot) != nullptr, res::ToolbarSlots()[static_cast<std::size_t>(slot)] != 0);
    EXPECT_EQ(frame.ButtonImage(res::kSlotStart1), res::kImagePortIdle);
    auto* accuracy = frame.findChild<QToolBar*>(QStringLiteral("accuracyToolbar"));
    ASSERT_NE(accuracy, nullptr);
    ASSERT_EQ(accuracy->actions().size(), 3);
    QAction* button = accuracy->actions()[0];
    EXPECT_EQ(button->toolTip(), QStringLiteral("Statistics View"));
    EXPECT_FALSE(button->icon().isNull());

    ASSERT_NE(frame.MenuAction(res::kIdViewStatistics), nullptr);
    EXPECT_EQ(frame.MenuAction(res::kIdViewStatistics)->text(), QStringLiteral("&Statistics View"));
    EXPECT_EQ(frame.MenuAction(res::kIdFileExportTrack)->text(), QStringLiteral("&Export Track..."));
    EXPECT_EQ(frame.MenuAction(res::kIdTtffCampaign)->text(), QStringLiteral("&TTFF Campaign..."));
    EXPECT_FALSE(frame.IsCommandEnabled(res::kIdTtffCampaign));  // no port runs

    button->trigger();
    CViewFrame* child = frame.ChildFrame(kViewStatistics);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->windowTitle(), QStringLiteral("Statistics View"));
    EXPECT_TRUE(child->isMaximized());
    frame.UpdateCommandUI();
    EXPECT_TRUE(button->isChecked());
    EXPECT_TRUE(frame.MenuAction(res::kIdViewStatistics)->isChecked());
    auto* view = qobject_cast<CStatisticsView*>(child->View());
    ASSERT_NE(view, nullptr);

    // Fixes reach the open view through the workbench.
    FeedOwn(5);
    EXPECT_TRUE(view->TableText().contains(QStringLiteral("Own fix\t5\t5\t")));

    // The close box minimises; the menu item hides it and shows it again.
    child->close();
    EXPECT_TRUE(child->isMinimized());
    frame.ExecuteCommand(res::kIdViewStatistics);
    EXPECT_TRUE(child->isHidden());
    frame.ExecuteCommand(res::kIdViewStatistics);
    EXPECT_FALSE(child->isHidden());

    // Its placement goes to a section of its own when it goes.
    child->showNormal();
    child->setGeometry(30, 40, 500, 400);
    child->Destroy();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frame.ChildFrame(kViewStatistics), nullptr);
    EXPECT_EQ(ProfileValue("StatisticsView", "WplNormalL"), "30");
    EXPECT_EQ(ProfileValue("StatisticsView", "WplNormalR"), "530");
}

TEST_F(AccuracyFrameTest, ExportTrackWritesGpxKmlAndCsv)
{
    FeedOwn(12);
    const std::string gpx = (m_dir / "track.gpx").string();
    m_fileAnswers.push_back(QString::fromStdString(gpx));
    m_frame->ExecuteCommand(res::kIdFileExportTrack);
    EXPECT_EQ(m_fileDialogs, 1);
    EXPECT_TRUE(m_messages.empty());
    const auto tracks = gpxtest::ReadTracks(gpxtest::ReadFile(gpx));
    ASSERT_EQ(tracks.size(), 1U);  // the one source with epochs
    EXPECT_EQ(tracks[0].name, "own");
    EXPECT_EQ(tracks[0].points.size(), 12U);
    EXPECT_EQ(tracks[0].points[0].time, "2026-01-07T23:59:42Z");  // week 2400, day 4, less 18 leap seconds
    if (gpxtest::HaveXmllint())
    {
        std::string messages;
        EXPECT_TRUE(gpxtest::ValidGpx(gpx, messages)) << messages;
    }

    QString error;
    ASSERT_TRUE(m_frame->ExportTrack(QString::fromStdString((m_dir / "track.kml").string()), error));
    EXPECT_NE(gpxtest::ReadFile((m_dir / "track.kml").string()).find("<LineString>"), std::string::npos);
    ASSERT_TRUE(m_frame->ExportTrack(QString::fromStdString((m_dir / "track.csv").string()), error));
    const std::string csv = gpxtest::ReadFile((m_dir / "track.csv").string());
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 13);
    EXPECT_NE(csv.find("own,2400,345600.000,"), std::string::npos);

    // A folder that does not exist: the program's message, nothing written.
    m_fileAnswers.push_back(QString::fromStdString((m_dir / "missing" / "t.gpx").string()));
    m_frame->ExecuteCommand(res::kIdFileExportTrack);
    ASSERT_EQ(m_messages.size(), 1U);
    EXPECT_TRUE(m_messages[0].contains(QStringLiteral("missing"))) << m_messages[0].toStdString();
    // Cancelled: nothing happens.
    m_fileAnswers.push_back(std::nullopt);
    m_frame->ExecuteCommand(res::kIdFileExportTrack);
    EXPECT_EQ(m_messages.size(), 1U);
}

// The toolbar's start command starts the time to first fix with the profile's start mode, and a
// campaign sends its own start mode once per run; stopping the port ends both.
TEST_F(AccuracyFrameTest, StartCommandsStartTheTimeToFirstFix)
{
    TestPty pty;
    WriteProfile("[Data Sources]\nMeasSerialPort=" + pty.Path() +
                 "\n[ReceiverInit1]\nProtocol=1\nResetMode=1\nUseDOSTime=0\n");
    CMainFrame& frame = *m_frame;
    frame.ExecuteCommand(res::kIdStartPort1);
    ASSERT_EQ(frame.IsPortRunning(0), 1);
    EXPECT_TRUE(frame.IsCommandEnabled(res::kIdTtffCampaign));

    frame.ExecuteCommand(res::kIdInitReceiver1);
    EXPECT_EQ(StartModes(pty.ReadAll(500)), std::vector<int>{2});  // warm
    const auto& meter = frame.Accuracy().Meter();
    EXPECT_TRUE(meter.Waiting(vrn::analysis::SourceId::Receiver1));
    EXPECT_EQ(meter.State(vrn::analysis::SourceId::Receiver1).startMode, 2);
    EXPECT_FALSE(meter.Waiting(vrn::analysis::SourceId::Receiver2));

    // Action > TTFF Campaign: receiver 2 does not run (its radio is disabled); 0 starts are refused,
    // then 3 cold starts 1 s apart.
    WhenModal([this](QWidget* dialog) {
        auto* t = qobject_cast<CTemplateDialog*>(dialog);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->windowTitle(), QStringLiteral("TTFF Campaign"));
        EXPECT_FALSE(t->IsEnabled(1202));
        EXPECT_EQ(t->RadioIndex(1201), 0);
        t->SetRadioIndex(1203, 2);  // cold
        t->SetText(1207, QStringLiteral("0"));
        t->SetText(1208, QStringLiteral("1"));
        Click(t, kIdOk);
        EXPECT_TRUE(t->isVisible());
        EXPECT_EQ(m_messages.size(), 1U);
        t->SetText(1207, QStringLiteral("3"));
        Click(t, kIdOk);
    });
    frame.ExecuteCommand(res::kIdTtffCampaign);
    EXPECT_TRUE(frame.Accuracy().Campaign().Running());
    EXPECT_EQ(frame.Accuracy().Campaign().Settings().runs, 3);
    EXPECT_EQ(frame.Accuracy().Campaign().Settings().startMode, vrn::analysis::kStartCold);
    EXPECT_EQ(frame.Accuracy().Campaign().Settings().waitS, 1.0);
    EXPECT_NE(frame.ChildFrame(kViewStatistics), nullptr);  // the view opens to show the runs
    frame.UpdateCommandUI();
    EXPECT_TRUE(frame.IsCommandChecked(res::kIdTtffCampaign));
    EXPECT_EQ(StartModes(pty.ReadAll(500)), std::vector<int>{3});  // the first run's cold start

    frame.ExecuteCommand(res::kIdStartPort1);  // stop: the campaign and the waiting end
    EXPECT_FALSE(frame.Accuracy().Campaign().Running());
    EXPECT_FALSE(meter.Waiting(vrn::analysis::SourceId::Receiver1));
    EXPECT_FALSE(frame.IsCommandEnabled(res::kIdTtffCampaign));
}
