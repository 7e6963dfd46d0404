// The main frame with network ports, raw recording and playback: the new menu items and their
// rules, a port recorded to a file and played back through the views with the playback toolbar,
// the Open Recording dialog, the status bar's source pane, and port names typed into Input Settings.
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "GuiTestSupport.h"
#include "app/CGuiDocument.h"
#include "app/CMainFrame.h"
#include "app/CMonitorApp.h"
#include "app/CPlaybackBar.h"
#include "app/CViewFrame.h"
#include "config/CInputSettingsDlg.h"
#include "link/Notifications.h"
#include "link/RecordingPlayer.h"
#include "protocol/UbxFrame.h"
#include "res/MenuResources.h"
#include "views/CRadarView.h"

using namespace vrn::gui;
namespace res = vrn::res;

namespace
{
std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A loopback port nobody listens on.
int RefusedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    ::close(fd);
    return ntohs(a.sin_port);
}

std::string NmeaSeconds(int first, int count)
{
    std::string out;
    for (int s = first; s < first + count; ++s)
    {
        const std::string t = "1200" + std::string(s < 10 ? "0" : "") + std::to_string(s) + ".00";
        out += Sentence("GPGGA," + t + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
        out += Sentence("GPRMC," + t + ",A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
    }
    return out;
}
}  // namespace

class PlaybackFrameTest : public MainFrameTest
{
protected:
    CRadarView* Radar()
    {
        CViewFrame* child = Frame().ChildFrame(kViewRadar);
        return child ? qobject_cast<CRadarView*>(child->View()) : nullptr;
    }

    TestPty m_pty;
};

TEST_F(PlaybackFrameTest, MenuItemsAndTheirRules)
{
    CMainFrame& frame = Frame();
    struct Case
    {
        int id;
        const char* text;
    };
    for (const Case& c : {Case{res::kIdFileOpenRecording, "Open &Recording..."}, Case{res::kIdRecordRaw1, "Record &Raw Data 1"},
                          Case{res::kIdRecordRaw2, "Record Ra&w Data 2"}})
    {
        QAction* action = frame.MenuAction(c.id);
        ASSERT_NE(action, nullptr) << c.text;
        EXPECT_EQ(action->text(), QString::fromLatin1(c.text));
    }
    EXPECT_TRUE(frame.IsCommandEnabled(res::kIdFileOpenRecording));
    EXPECT_FALSE(frame.IsCommandEnabled(res::kIdRecordRaw1));  // only a running port records
    EXPECT_FALSE(frame.IsCommandEnabled(res::kIdRecordRaw2));
    EXPECT_TRUE(frame.MenuAction(res::kIdRecordRaw1)->isCheckable());
    // The classic toolbar keeps its slots; the playback controls are a bar of their own, hidden.
    EXPECT_EQ(frame.ToolbarAction(res::kSlotStart1)->data().toInt(), res::kIdStartPort1);
    ASSERT_NE(frame.PlaybackBar(), nullptr);
    EXPECT_TRUE(frame.PlaybackBar()->isHidden());
}

TEST_F(PlaybackFrameTest, RecordAPortThenPlayItBackThroughTheViews)
{
    WriteProfile("[Data Sources]\nMeasSerialPort=" + m_pty.Path() + "\nMeasSerialBaud=38400\n[ReceiverInit1]\nProtocol=0\n");
    CMainFrame& frame = Frame();
    frame.show();
    frame.ExecuteCommand(res::kIdStartPort1);
    ASSERT_EQ(frame.IsPortRunning(0), 1);
    EXPECT_TRUE(frame.IsCommandEnabled(res::kIdRecordRaw1));
    const auto file = m_dir / "field.raw";
    m_fileAnswers.push_back(QString::fromStdString(file.string()));
    frame.ExecuteCommand(res::kIdRecordRaw1);
    EXPECT_TRUE(frame.IsCommandChecked(res::kIdRecordRaw1));
    const std::string sent = NmeaSeconds(0, 20);
    for (std::size_t at = 0; at < sent.size(); at += 150)
    {
        m_pty.Write(sent.substr(at, 150));
        ProcessEventsUntil([] { return false; }, 15);
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return std::filesystem::exists(file) && Radar() && Radar()->Summary().Count(vrn::kHintNmea1) > 0; }));
    ProcessEventsUntil([] { return false; }, 300);
    frame.ExecuteCommand(res::kIdRecordRaw1);
    EXPECT_FALSE(frame.IsCommandChecked(res::kIdRecordRaw1));
    EXPECT_EQ(ReadFile(file), sent);
    EXPECT_TRUE(std::filesystem::exists(file.string() + ".idx"));

    // Played back on the same port at x100: the port's start stops the live source first.
    const int nmeaBefore = Radar()->Summary().Count(vrn::kHintNmea1);
    const int startsBefore = Radar()->Summary().Count(vrn::kHintPort1Started);
    ASSERT_TRUE(frame.OpenRecording(0, QString::fromStdString(file.string()), vrn::kModeNmea));
    CPlaybackBar* bar = frame.PlaybackBar();
    frame.UpdateCommandUI();
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(frame.PlaybackPort(), 0);
    EXPECT_TRUE(frame.SourcePaneText().startsWith(QStringLiteral("Port 1: recording ")));
    bar->SetSpeedIndex(4);  // x100
    vrn::CRecordingPlayer* player = frame.Document()->Feed().Player(0);
    ASSERT_NE(player, nullptr);
    EXPECT_TRUE(ProcessEventsUntil([&] { return player->Speed() == 100; }));
    ASSERT_TRUE(ProcessEventsUntil([&] { return player->AtEnd(); }, 10000));
    ProcessEventsUntil([] { return false; }, 100);
    EXPECT_GT(Radar()->Summary().Count(vrn::kHintNmea1), nmeaBefore);
    EXPECT_EQ(Radar()->Summary().Count(vrn::kHintPort1Started), startsBefore + 1);
    frame.UpdateCommandUI();
    EXPECT_TRUE(bar->TimeText().endsWith(QStringLiteral("(100%)"))) << bar->TimeText().toStdString();
    EXPECT_TRUE(frame.SourcePaneText().contains(QStringLiteral("end of recording")));
    EXPECT_EQ(bar->Slider()->value(), bar->Slider()->maximum());

    // Back to the start: the recording starts over and the views hear of it as of a start.
    bar->SeekTo(0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Radar()->Summary().Count(vrn::kHintPort1Started) == startsBefore + 2; }));
    EXPECT_EQ(player->Restarts(), 1);
    bar->TogglePlaying();
    EXPECT_TRUE(ProcessEventsUntil([&] { return !player->Playing(); }));

    // Stop from the bar: the port stops and the bar goes.
    bar->findChild<QAction*>(QStringLiteral("playbackStop"))->trigger();
    EXPECT_EQ(frame.IsPortRunning(0), 0);
    frame.UpdateCommandUI();
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(frame.SourcePaneText(), QString());
}

TEST_F(PlaybackFrameTest, OpenRecordingDialogChoosesFilePortAndProtocol)
{
    const auto file = m_dir / "gga.raw";
    std::ofstream(file, std::ios::binary) << NmeaSeconds(0, 3);
    CMainFrame& frame = Frame();
    frame.show();
    // An empty name is refused in the dialog; then a file, port 2 and "Test" (read as binary there).
    WhenModal([&](QWidget* dialog) {
        auto* ok = dialog->findChild<QDialogButtonBox*>();
        ok->button(QDialogButtonBox::Ok)->click();
        dialog->findChild<QLineEdit*>(QStringLiteral("recordingFile"))->setText(QString::fromStdString(file.string()));
        dialog->findChild<QRadioButton*>(QStringLiteral("port2"))->click();
        dialog->findChild<QComboBox*>(QStringLiteral("protocol"))->setCurrentIndex(0);
        ok->button(QDialogButtonBox::Ok)->click();
    });
    frame.ExecuteCommand(res::kIdFileOpenRecording);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0], QStringLiteral("A file name is required to play a recording."));
    EXPECT_EQ(frame.IsPortRunning(1), 1);
    EXPECT_EQ(frame.PlaybackPort(), 1);
    EXPECT_NE(frame.Document()->Feed().Player(1), nullptr);
    EXPECT_EQ(frame.Document()->Feed().Player(0), nullptr);
}

// The dialog offers the UBX modes; a UBX recording plays in them (port 2 without the own fix), and
// the receiver commands of a UBX port are refused for it in the status bar, the port playing on.
TEST_F(PlaybackFrameTest, UbxRecordingsPlayInTheirModesAndTakeNoCommands)
{
    WriteProfile("[Data Sources]\nMeasSerialBaud=9600\n");
    const auto file = m_dir / "ubx.raw";
    {
        std::vector<std::uint8_t> pvt(92, 0);
        pvt[20] = 3;
        pvt[21] = 0x01;
        const auto frame = ubx::BuildFrame(0x01, 0x07, pvt);
        std::ofstream out(file, std::ios::binary);
        for (int s = 0; s < 5; ++s)
            out.write(reinterpret_cast<const char*>(frame.data()), static_cast<std::streamsize>(frame.size()));
    }
    CMainFrame& frame = Frame();
    frame.show();
    struct Case
    {
        const char* port;
        int chosen, shown;  // the protocol picked, and what the dialog keeps for that port
        int port1Mode;
    };
    for (const Case& c : {Case{"port1", 4, 4, vrn::kModeUbxOwnFix}, Case{"port2", 4, 3, vrn::kModeUbx}})
    {
        SCOPED_TRACE(c.port);
        int shown = -1;
        QStringList items;
        WhenModal([&](QWidget* dialog) {
            auto* protocol = dialog->findChild<QComboBox*>(QStringLiteral("protocol"));
            for (int i = 0; i < protocol->count(); ++i)
                items << protocol->itemText(i);
            dialog->findChild<QLineEdit*>(QStringLiteral("recordingFile"))->setText(QString::fromStdString(file.string()));
            protocol->setCurrentIndex(c.chosen);
            dialog->findChild<QRadioButton*>(QString::fromLatin1(c.port))->click();
            shown = protocol->currentIndex();
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        frame.ExecuteCommand(res::kIdFileOpenRecording);
        EXPECT_EQ(items, (QStringList{"NMEA", "Talvoren", "Test", "UBX", "UBX Test"}));
        EXPECT_EQ(shown, c.shown);
        const int port = c.port == std::string_view("port1") ? 0 : 1;
        ASSERT_EQ(frame.IsPortRunning(port), 1);
        EXPECT_EQ(frame.Document()->Feed().PortMode(port), port == 0 ? c.port1Mode : vrn::kModeUbx);
        EXPECT_TRUE(frame.IsUbxPort(port));

        frame.ExecuteCommand(port == 0 ? res::kIdInitReceiver1 : res::kIdInitReceiver2);
        EXPECT_EQ(frame.MessagePaneText(),
                  QStringLiteral("Receiver %1: a recording takes no commands").arg(port + 1));
        frame.ChangeBaud(port, 3);
        EXPECT_EQ(frame.IsPortRunning(port), 1);
        ProcessEventsUntil([] { return false; }, 100);
        EXPECT_EQ(frame.IsPortRunning(port), 1);
        EXPECT_FALSE(frame.Document()->Feed().UbxCommandsBusy(port));
        EXPECT_EQ(ProfileValue("Data Sources", port == 0 ? "MeasSerialBaud" : "MeasSerialBaud2"),
                  port == 0 ? "9600" : "");
        frame.ToggleStartPort(port);
    }
}

TEST_F(PlaybackFrameTest, StatusBarSaysWhatANetworkPortReadsAndThatItReconnects)
{
    const std::string url = "tcp://127.0.0.1:" + std::to_string(RefusedPort());
    WriteProfile("[Data Sources]\nMeasSerialPort=" + url + "\n[ReceiverInit1]\nProtocol=0\n");
    CMainFrame& frame = Frame();
    frame.show();
    frame.ExecuteCommand(res::kIdStartPort1);
    ASSERT_EQ(frame.IsPortRunning(0), 1);  // a network port stays started while it cannot connect
    EXPECT_TRUE(ProcessEventsUntil([&] {
        return frame.SourcePaneText().startsWith(QString::fromStdString("Port 1: " + url + " (reconnecting"));
    })) << frame.SourcePaneText().toStdString();
    EXPECT_TRUE(frame.SourcePaneText().contains(QStringLiteral("refused")));
    frame.ExecuteCommand(res::kIdStartPort1);
    EXPECT_EQ(frame.IsPortRunning(0), 0);
}

TEST_F(PlaybackFrameTest, InputSettingsTakeTypedNetworkNamesAsTyped)
{
    WriteProfile("[Data Sources]\nMeasSerialPort=gpsd://pi/dev/ttyACM0\nMeasSerialPort2=COM2\n");
    struct Case
    {
        QString typed;
        std::string stored;  // empty: refused with the serial-port message
    };
    const Case cases[] = {
        {QStringLiteral("tcp://192.0.2.7:10110"), "tcp://192.0.2.7:10110"},
        {QStringLiteral("  gpsd://localhost  "), "gpsd://localhost"},
        {QStringLiteral("/dev/ttyUSB3"), "/dev/ttyUSB3"},
        {QStringLiteral("COM9"), ""},
    };
    for (const Case& c : cases)
    {
        CInputSettingsDlg dialog(nullptr);
        WhenModal([&](QWidget*) {
            auto* list = qobject_cast<QComboBox*>(dialog.Control(1015));
            ASSERT_NE(list, nullptr);
            EXPECT_TRUE(list->isEditable());
            list->setEditText(c.typed);
            Click(&dialog, 1);
            if (dialog.isVisible())
                Click(&dialog, 2);
        });
        m_messages.clear();
        dialog.DoModal();
        if (c.stored.empty())
        {
            ASSERT_EQ(m_messages.size(), 1u);
            EXPECT_TRUE(m_messages[0].startsWith(QStringLiteral("A serial port is required")));
            continue;
        }
        EXPECT_TRUE(m_messages.empty()) << c.typed.toStdString();
        EXPECT_EQ(ProfileValue("Data Sources", "MeasSerialPort"), c.stored);
        EXPECT_EQ(ProfileValue("Data Sources", "MeasSerialPort2"), "COM2");
    }
    // A stored network name shows as itself when the dialog opens again.
    CAppSettings::WriteProfileText("Data Sources", "MeasSerialPort", "tcp://h:1");
    CAppSettings::WriteProfileText("Data Sources", "MeasSerialPort2", "tcp://h:10");
    CInputSettingsDlg dialog(nullptr);
    WhenModal([&](QWidget*) {
        EXPECT_EQ(qobject_cast<QComboBox*>(dialog.Control(1015))->currentText(), QStringLiteral("tcp://h:1"));
        EXPECT_EQ(qobject_cast<QComboBox*>(dialog.Control(1018))->currentText(), QStringLiteral("tcp://h:10"));
        Click(&dialog, 1);
    });
    dialog.DoModal();
    EXPECT_EQ(ProfileValue("Data Sources", "MeasSerialPort"), "tcp://h:1");
}
