// Main frame over real pseudo-terminals: views opened by a port start, the close box and the View
// items, Change Baud, the activity blink of the pause and start buttons, placements, failures.
#include <QAction>
#include <QGuiApplication>
#include <QMdiArea>
#include <QScreen>
#include <array>
#include <cstdio>

#include "GuiTestSupport.h"
#include "app/CGuiDocument.h"
#include "app/CMainFrame.h"
#include "app/CMonitorApp.h"
#include "app/CViewFrame.h"
#include "link/Notifications.h"
#include "res/MenuResources.h"
#include "views/CRadarView.h"
#include "views/CViewBase.h"

using namespace vrn::gui;
namespace res = vrn::res;

namespace
{
// The frames of the bytes the program sent: content between DLE STX and DLE ETX, unstuffed.
std::vector<std::string> Frames(const std::string& bytes)
{
    constexpr char kDle = 0x10;
    std::vector<std::string> frames;
    std::string current;
    bool inFrame = false;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
    {
        if (bytes[i] != kDle)
        {
            if (inFrame)
                current += bytes[i];
            continue;
        }
        const char next = bytes[++i];
        if (next == 0x02)
        {
            inFrame = true;
            current.clear();
        }
        else if (next == 0x03 && inFrame)
        {
            frames.push_back(current);
            inFrame = false;
        }
        else if (next == kDle && inFrame)
            current += kDle;
    }
    return frames;
}

}  // namespace

class CMainFrameTest : public MainFrameTest
{
protected:
    void UsePorts(const std::string& protocol1 = "0", const std::string& protocol2 = "0")
    {
        WriteProfile("[Data Sources]\nMeasSerialPort=" + m_pty1.Path() + "\nMeasSerialPort2=" + m_pty2.Path() +
                     "\n[ReceiverInit1]\nProtocol=" + protocol1 + "\n[ReceiverInit2]\nProtocol=" + protocol2 +
                     "\nUseDOSTime=0\n");
    }

    TestPty m_pty1;
    TestPty m_pty2;
};

TEST_F(CMainFrameTest, StartingPortTwoWithNoViewOpensTheRadarViewFirst)
{
    UsePorts();
    CMainFrame& frame = Frame();
    frame.show();
    frame.ExecuteCommand(res::kIdStartPort2);
    ASSERT_NE(frame.ChildFrame(kViewRadar), nullptr);
    EXPECT_EQ(frame.ChildFrame(kViewRadar)->windowTitle(), QStringLiteral("Radar View"));
    EXPECT_EQ(frame.IsPortRunning(1), 1);
    EXPECT_EQ(frame.ButtonImage(res::kSlotStart2), res::kImagePortReceiving);
    EXPECT_TRUE(frame.IsCommandChecked(res::kIdStartPort2));
    EXPECT_TRUE(frame.IsCommandEnabled(res::kIdPause2));
    EXPECT_FALSE(frame.IsCommandEnabled(res::kIdPause1));

    // GGA-terminated NMEA reaches the radar view as hint 11.
    auto* radar = qobject_cast<CRadarView*>(frame.ChildFrame(kViewRadar)->View());
    ASSERT_NE(radar, nullptr);
    m_pty2.Write(Sentence("GPGGA,123519,2446.5,N,12100.1,E,1,08,0.9,545.4,M,46.9,M,,"));
    EXPECT_TRUE(ProcessEventsUntil([&] { return radar->Summary().Count(vrn::kHintNmea2) == 1; }));
    EXPECT_EQ(radar->Summary().Count(vrn::kHintPort2Started), 1);

    frame.ExecuteCommand(res::kIdStartPort2);
    EXPECT_EQ(frame.IsPortRunning(1), 0);
    EXPECT_TRUE(frame.windowTitle().startsWith(QStringLiteral("Talvoren Receiver")));  // " - [Radar View]" while maximised
    EXPECT_EQ(frame.ButtonImage(res::kSlotStart2), res::kImagePortIdle);
}

TEST_F(CMainFrameTest, CloseBoxMinimisesAndTheViewStaysChecked)
{
    CMainFrame& frame = Frame();
    frame.show();
    frame.ToggleView(kViewMeasure);
    CViewFrame* child = frame.ChildFrame(kViewMeasure);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->windowTitle(), QStringLiteral("Measure View"));
    EXPECT_TRUE(child->isMaximized());
    child->close();
    EXPECT_EQ(frame.ChildFrame(kViewMeasure), child);
    EXPECT_TRUE(child->isMinimized());
    frame.UpdateCommandUI();
    EXPECT_TRUE(frame.MenuAction(res::kIdViewMeasure)->isChecked());

    frame.ExecuteCommand(res::kIdViewMeasure);  // visible: hide it
    EXPECT_TRUE(child->isHidden());
    EXPECT_FALSE(frame.MenuAction(res::kIdViewMeasure)->isChecked());
    frame.ExecuteCommand(res::kIdViewMeasure);  // hidden: show it maximised
    EXPECT_FALSE(child->isHidden());
    EXPECT_TRUE(child->isMaximized());
    EXPECT_TRUE(frame.MenuAction(res::kIdViewMeasure)->isChecked());

    frame.ToggleView(kViewSignal1);
    frame.ExecuteCommand(res::kIdWindowCloseAll);
    EXPECT_TRUE(frame.ChildFrame(kViewSignal1)->isMinimized());
    EXPECT_TRUE(child->isMinimized());
    EXPECT_FALSE(frame.IsCommandEnabled(res::kIdViewDebug1));
}

TEST_F(CMainFrameTest, ChangeBaudSendsTwoCommandsStopsThePortAndStoresTheRate)
{
    UsePorts();
    CMainFrame& frame = Frame();
    frame.ToggleStartPort(1);
    ASSERT_EQ(frame.IsPortRunning(1), 1);
    EXPECT_TRUE(frame.IsCommandEnabled(res::kIdBaud2First + 2));
    EXPECT_FALSE(frame.IsCommandEnabled(res::kIdBaud1First + 2));
    frame.ExecuteCommand(res::kIdBaud2First + 2);
    const std::vector<std::string> frames = Frames(m_pty2.ReadAll(2000));
    ASSERT_EQ(frames.size(), 2U);
    for (const std::string& content : frames)
    {
        ASSERT_EQ(content.size(), 20U);  // length byte, 18 bytes, checksum
        EXPECT_EQ(static_cast<unsigned char>(content[1]), 0x80);
        EXPECT_EQ(content[18], 2);  // baud code of 19200
    }
    EXPECT_EQ(frame.IsPortRunning(1), 0);
    EXPECT_EQ(ProfileValue("Data Sources", "MeasSerialBaud2"), "19200");
}

TEST_F(CMainFrameTest, PausedDisplayBlinksThePauseButtonAndResumesToImageThree)
{
    UsePorts();
    CMainFrame& frame = Frame();
    frame.ToggleStartPort(0);
    ASSERT_EQ(frame.IsPortRunning(0), 1);
    frame.ExecuteCommand(res::kIdPause1);
    EXPECT_EQ(frame.IsDisplayPaused(0), 1);
    std::vector<int> pause;
    std::vector<int> start;
    for (int i = 0; i < 4; ++i)
    {
        frame.SendCode(vrn::kMsgActivity1);
        pause.push_back(frame.ButtonImage(res::kSlotPause1));
        start.push_back(frame.ButtonImage(res::kSlotStart1));
    }
    EXPECT_EQ(pause, (std::vector<int>{13, 3, 13, 3}));
    EXPECT_EQ(start, (std::vector<int>{14, 2, 14, 2}));
    frame.SendCode(vrn::kMsgActivity1);
    EXPECT_EQ(frame.ButtonImage(res::kSlotPause1), 13);
    frame.ExecuteCommand(res::kIdPause1);
    EXPECT_EQ(frame.IsDisplayPaused(0), 0);
    EXPECT_EQ(frame.ButtonImage(res::kSlotPause1), res::kImagePause);
    // Stopping a paused port resumes its display first.
    frame.ExecuteCommand(res::kIdPause1);
    frame.ExecuteCommand(res::kIdStartPort1);
    EXPECT_EQ(frame.IsDisplayPaused(0), 0);
}

TEST_F(CMainFrameTest, AFailedStartSaysWhyInTheStatusBar)
{
    WriteProfile("[Data Sources]\nMeasSerialPort=/dev/no-such-receiver\n");
    CMainFrame& frame = Frame();
    frame.ExecuteCommand(res::kIdStartPort1);
    EXPECT_EQ(frame.IsPortRunning(0), 0);
    EXPECT_EQ(frame.ButtonImage(res::kSlotStart1), res::kImagePortIdle);
    EXPECT_TRUE(frame.MessagePaneText().startsWith(QStringLiteral("Port 1 did not start: ")))
        << frame.MessagePaneText().toStdString();
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(CMainFrameTest, MaximisedPlacementIsRestoredNormal)
{
    WriteProfile("[Main]\nWplLength=44\nWplFlags=0\nWplShowCmd=3\nWplMinX=-1\nWplMinY=-1\nWplMaxX=-1\nWplMaxY=-1\n"
                 "WplNormalL=10\nWplNormalT=20\nWplNormalR=610\nWplNormalB=420\n");
    CMainFrame& frame = Frame();
    frame.show();
    EXPECT_FALSE(frame.isMaximized());
    EXPECT_EQ(frame.geometry(), QRect(10, 20, 600, 400));
}

TEST_F(CMainFrameTest, WithoutPlacementTheDefaultStaysAndCloseSavesIt)
{
    CMainFrame& frame = Frame();
    const QSize before = frame.size();
    frame.show();
    EXPECT_EQ(frame.size(), before);
    frame.close();
    EXPECT_EQ(ProfileValue("Main", "WplLength"), "44");
    EXPECT_EQ(ProfileValue("Main", "WplShowCmd"), "1");
    EXPECT_EQ(std::stoi(ProfileValue("Main", "WplNormalR")) - std::stoi(ProfileValue("Main", "WplNormalL")),
              before.width());
}

TEST_F(CMainFrameTest, APlacementOffEveryScreenComesBackOntoOne)
{
    // Saved on a second monitor that is no longer there.
    WriteProfile("[Main]\nWplLength=44\nWplFlags=0\nWplShowCmd=1\nWplMinX=-1\nWplMinY=-1\nWplMaxX=-1\nWplMaxY=-1\n"
                 "WplNormalL=5000\nWplNormalT=4000\nWplNormalR=5600\nWplNormalB=4400\n");
    CMainFrame& frame = Frame();
    frame.show();
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(screen->availableGeometry().intersects(frame.geometry())) << frame.geometry().x();
    EXPECT_EQ(frame.size(), QSize(600, 400));
}
