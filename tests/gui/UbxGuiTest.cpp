// u-blox receivers in the GUI: the UBX protocols and group of the Receiver Initialization dialog,
// and, over a pseudo-terminal standing in for the receiver, "Initialize Receiver" and Change Baud
// sending their UBX commands, answers in the status bar, the About box's receiver line.
#include <QAction>

#include "GuiTestSupport.h"
#include "analysis/TimeToFirstFix.h"
#include "app/CAboutDlg.h"
#include "app/CAccuracyHub.h"
#include "app/CGuiDocument.h"
#include "app/CMainFrame.h"
#include "app/CMonitorApp.h"
#include "config/CReceiverInitDlg.h"
#include "link/UbxCommands.h"
#include "protocol/UbxFrame.h"
#include "res/MenuResources.h"

using namespace vrn::gui;
namespace res = vrn::res;

namespace
{
std::string Text(const std::vector<std::uint8_t>& bytes)
{
    return {bytes.begin(), bytes.end()};
}

std::string Ack(std::uint8_t cls, std::uint8_t id)
{
    const std::array<std::uint8_t, 2> payload{cls, id};
    return Text(ubx::BuildFrame(0x05, 0x01, payload));
}

std::string MonVer(const std::string& hardware, const std::string& protocol)
{
    std::vector<std::uint8_t> p(40 + 30, 0);
    const std::string software = "EXT CORE 1.00 (61b2dd)";
    std::copy(software.begin(), software.end(), p.begin());
    std::copy(hardware.begin(), hardware.end(), p.begin() + 30);
    std::copy(protocol.begin(), protocol.end(), p.begin() + 40);
    return Text(ubx::BuildFrame(0x0A, 0x04, p));
}
}  // namespace

class UbxGuiTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        m_app = std::make_unique<CMonitorApp>(ProgramOptions{});
    }
    void TearDown() override
    {
        m_frame.reset();
        m_app.reset();
        GuiTest::TearDown();
    }
    CMainFrame& Frame()
    {
        if (!m_frame)
        {
            m_frame = std::make_unique<CMainFrame>(*m_app);
            EXPECT_TRUE(m_frame->Create());
        }
        return *m_frame;
    }
    // Waits until the program has written `expected` to the receiver's side.
    bool Receives(const std::vector<std::uint8_t>& expected)
    {
        std::string got;
        const bool ok = ProcessEventsUntil([&] {
            got += m_pty.ReadAll(20);
            return got.find(Text(expected)) != std::string::npos;
        });
        return ok;
    }
    bool StatusIs(const std::string& text)
    {
        return ProcessEventsUntil([&] { return Frame().MessagePaneText() == QString::fromStdString(text); }, 4000);
    }

    TestPty m_pty;
    std::unique_ptr<CMonitorApp> m_app;
    std::unique_ptr<CMainFrame> m_frame;
};

TEST_F(UbxGuiTest, InitializeReceiverSendsStartAndOutputAndShowsTheAnswers)
{
    WriteProfile("[Data Sources]\nMeasSerialPort=" + m_pty.Path() + "\n[ReceiverInit1]\nProtocol=3\nResetMode=2\n");
    CMainFrame& frame = Frame();
    frame.ToggleStartPort(0);
    ASSERT_EQ(frame.IsPortRunning(0), 1);
    EXPECT_TRUE(frame.IsUbxPort(0));
    EXPECT_FALSE(frame.IsUbxPort(1));

    frame.ExecuteCommand(res::kIdInitReceiver1);
    ASSERT_TRUE(Receives(vrn::UbxStartCommand(vrn::UbxStart::Cold).frame));
    EXPECT_EQ(frame.MessagePaneText(), QStringLiteral("Receiver 1: CFG-RST (cold start) sent, waiting for the answer"));
    // The time to first fix runs from the start, as for the classic receiver.
    const auto& meter = frame.Accuracy().Meter();
    EXPECT_TRUE(meter.Waiting(vrn::analysis::SourceId::Receiver1));
    EXPECT_EQ(meter.State(vrn::analysis::SourceId::Receiver1).startMode, vrn::analysis::kStartCold);
    m_pty.Write(Ack(0x06, 0x04));
    // The output needs the generation: the MON-VER poll goes first; a receiver of protocol 27 on
    // takes CFG-VALSET.
    ASSERT_TRUE(Receives(vrn::UbxVersionPoll().frame));
    m_pty.Write(MonVer("00190000", "PROTVER=27.50"));
    const std::pair<vrn::UbxOutput, bool> outputs[] = {{vrn::UbxOutput::Rawx, false},
                                                       {vrn::UbxOutput::Sfrbx, false},
                                                       {vrn::UbxOutput::NavPvt, true},
                                                       {vrn::UbxOutput::NavSat, true}};
    const vrn::UbxCommand valset = vrn::UbxOutputCommands(UbxGeneration::F9, outputs).front();
    ASSERT_TRUE(Receives(valset.frame));
    m_pty.Write(Ack(0x06, 0x8A));
    EXPECT_TRUE(StatusIs("Receiver 1 acknowledged " + valset.label));

    // The About box names the receiver by its MON-VER.
    EXPECT_EQ(CAboutDlg::ReceiverText(frame.Document()->Feed()),
              QStringLiteral("Receiver 1: SW EXT CORE 1.00 (61b2dd), HW 00190000, PROTVER=27.50"));
}

// A TTFF campaign on a UBX port restarts the receiver with CFG-RST, not the classic command.
TEST_F(UbxGuiTest, CampaignStartsAUbxReceiverWithCfgRst)
{
    WriteProfile("[Data Sources]\nMeasSerialPort=" + m_pty.Path() + "\n[ReceiverInit1]\nProtocol=3\n");
    CMainFrame& frame = Frame();
    frame.ToggleStartPort(0);
    ASSERT_EQ(frame.IsPortRunning(0), 1);
    vrn::analysis::CampaignSettings settings;
    settings.runs = 1;
    settings.port = 0;
    settings.startMode = vrn::analysis::kStartWarm;
    frame.StartTtffCampaign(settings);
    ASSERT_TRUE(Receives(vrn::UbxStartCommand(vrn::UbxStart::Warm).frame));
    EXPECT_TRUE(frame.Accuracy().Campaign().Running());
    EXPECT_TRUE(frame.Accuracy().Meter().Waiting(vrn::analysis::SourceId::Receiver1));
    frame.ToggleStartPort(0);
    EXPECT_FALSE(frame.Accuracy().Campaign().Running());
}

TEST_F(UbxGuiTest, ChangeBaudWaitsForTheAnswerThenStopsAndStores)
{
    WriteProfile("[Data Sources]\nMeasSerialPort=" + m_pty.Path() +
                 "\nMeasSerialBaud=9600\n[ReceiverInit1]\nProtocol=4\nUbxGeneration=1\n");
    CMainFrame& frame = Frame();
    frame.ToggleStartPort(0);
    ASSERT_EQ(frame.IsPortRunning(0), 1);
    frame.ExecuteCommand(res::kIdBaud1First + 3);
    ASSERT_TRUE(Receives(vrn::UbxBaudCommand(UbxGeneration::M8, 38400).frame));
    EXPECT_EQ(frame.IsPortRunning(0), 1);  // still waiting for the answer
    m_pty.Write(Ack(0x06, 0x00));
    EXPECT_TRUE(StatusIs("Receiver 1 acknowledged CFG-PRT (UART1 38400 baud)"));
    EXPECT_TRUE(ProcessEventsUntil([&] { return frame.IsPortRunning(0) == 0; }));
    EXPECT_EQ(ProfileValue("Data Sources", "MeasSerialBaud"), "38400");
}

TEST_F(UbxGuiTest, DialogOffersTheUbxProtocolsAndSavesTheUbxGroup)
{
    CReceiverInitDlg second(1, nullptr);
    second.show();
    EXPECT_TRUE(second.IsEnabled(1128));
    EXPECT_FALSE(second.IsEnabled(1129));  // the own fix is receiver 1's only

    CReceiverInitDlg dialog(0, nullptr);
    dialog.show();
    EXPECT_TRUE(dialog.IsEnabled(1129));
    // NMEA: the UBX group is off.
    for (int id : {1160, 1161, 1162, 1163, 1164, 1165, 1166, 1167})
        EXPECT_FALSE(dialog.IsEnabled(id)) << id;
    Click(&dialog, 1128);
    for (int id : {1160, 1161, 1162, 1163, 1164, 1165})
        EXPECT_TRUE(dialog.IsEnabled(id)) << id;
    EXPECT_FALSE(dialog.IsEnabled(1166));  // no port runs: nothing to send to
    EXPECT_FALSE(dialog.IsEnabled(1132));  // the NMEA group goes with NMEA only
    EXPECT_FALSE(dialog.IsChecked(1162));
    EXPECT_TRUE(dialog.IsChecked(1164));   // NAV-PVT on by default
    Click(&dialog, 1162);
    dialog.SelectListPrefix(1161, QStringLiteral("F9"));
    Click(&dialog, kIdOk);
    EXPECT_EQ(ProfileValue("ReceiverInit1", "Protocol"), "3");
    EXPECT_EQ(ProfileValue("ReceiverInit1", "UbxRawx"), "1");
    EXPECT_EQ(ProfileValue("ReceiverInit1", "UbxGeneration"), "2");

    CReceiverInitDlg again(0, nullptr);
    again.show();
    EXPECT_EQ(again.RadioIndex(1125), 3);
    EXPECT_TRUE(again.IsChecked(1162));
    EXPECT_EQ(again.ListText(1161), QStringLiteral("F9 and later"));
    Click(&again, 1129);
    Click(&again, kIdOk);
    EXPECT_EQ(ProfileValue("ReceiverInit1", "Protocol"), "4");
}
