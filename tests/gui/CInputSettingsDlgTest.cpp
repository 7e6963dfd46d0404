// Input Settings dialog: first opening, the "Receiver" box, the checks with their focus, the
// fifth-port case, and MeasRI surviving the Receiver Initialization dialog.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include "GuiTestSupport.h"
#include "app/CTemplateDialog.h"
#include "config/CInputSettingsDlg.h"

using namespace vrn::gui;

namespace
{
const QString kPortMissing = QStringLiteral(
    "A serial port is required to load measured data from a serial connection. Return to data source setup.");
const QString kBaudMissing = QStringLiteral(
    "A baud rate is required to load measured data from a serial connection. Return to data source setup.");
}  // namespace

class CInputSettingsDlgTest : public GuiTest
{
};

TEST_F(CInputSettingsDlgTest, OnlyTheFirstOpeningHasCancelDisabledAndIgnoresEscape)
{
    {
        CInputSettingsDlg first(nullptr);
        first.show();
        EXPECT_FALSE(first.IsEnabled(kIdCancel));
        QTest::keyClick(&first, Qt::Key_Escape);
        EXPECT_TRUE(first.isVisible());
        first.close();
        EXPECT_TRUE(first.isVisible());
        Click(&first, kIdOk);
        EXPECT_EQ(first.result(), kIdOk);
    }
    CInputSettingsDlg second(nullptr);
    second.show();
    EXPECT_TRUE(second.IsEnabled(kIdCancel));
    QTest::keyClick(&second, Qt::Key_Escape);
    EXPECT_FALSE(second.isVisible());
    EXPECT_EQ(second.result(), kIdCancel);
}

TEST_F(CInputSettingsDlgTest, DefaultsEnableBothPortsAndSaveDataSources)
{
    CInputSettingsDlg dialog(nullptr);
    dialog.show();
    EXPECT_EQ(dialog.ListText(1015), QStringLiteral("COM1"));
    EXPECT_EQ(dialog.ListText(1018), QStringLiteral("COM2"));
    EXPECT_EQ(dialog.ListText(1060), QStringLiteral("4800"));
    for (int id : {1015, 1037, 1060, 1115, 1018, 1040, 1063, 1116})
        EXPECT_TRUE(dialog.IsEnabled(id)) << id;
    for (int id : {1024, 1025, 1062, 1039, 1008, 1009, 1038, 1061})
        EXPECT_FALSE(dialog.IsEnabled(id)) << id;
    dialog.SelectListPrefix(1063, QStringLiteral("38400"));
    Click(&dialog, kIdOk);
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(ProfileValue("Data Sources", "MeasSerialBaud2"), "38400");
    EXPECT_EQ(ProfileValue("Data Sources", "UseMeas"), "1");
    EXPECT_EQ(ProfileValue("Data Sources", "MeasSource"), "2");
}

TEST_F(CInputSettingsDlgTest, ReceiverBoxCannotBeCleared)
{
    CInputSettingsDlg dialog(nullptr);
    dialog.show();
    auto* receiver = qobject_cast<QAbstractButton*>(dialog.Control(1010));
    ASSERT_NE(receiver, nullptr);
    EXPECT_TRUE(receiver->isChecked());
    receiver->click();
    EXPECT_TRUE(receiver->isChecked());
}

TEST_F(CInputSettingsDlgTest, EmptyPortTwoBaudIsRefusedWithFocusOnItsList)
{
    WriteProfile("[Data Sources]\nMeasSerialBaud2=\n");
    CInputSettingsDlg dialog(nullptr);
    dialog.show();
    Click(&dialog, kIdOk);
    ASSERT_EQ(m_messages.size(), 1U);
    EXPECT_EQ(m_messages[0], kBaudMissing);
    EXPECT_EQ(dialog.focusWidget(), dialog.Control(1063));
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(CInputSettingsDlgTest, EmptyPortOneBaudWithBothPortsIsSavedEmpty)
{
    WriteProfile("[Data Sources]\nMeasSerialBaud=\n");
    CInputSettingsDlg dialog(nullptr);
    dialog.show();
    Click(&dialog, kIdOk);
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(dialog.result(), kIdOk);
    EXPECT_EQ(ProfileValue("Data Sources", "MeasSerialBaud"), "");
    EXPECT_EQ(ProfileValue("Data Sources", "MeasSerialPort"), "COM1");
}

TEST_F(CInputSettingsDlgTest, PortTwoFailureWinsOverPortOne)
{
    WriteProfile("[Data Sources]\nMeasSerialPort=COM5\nMeasSerialPort2=COM9\n");
    CInputSettingsDlg dialog(nullptr);
    dialog.show();
    Click(&dialog, kIdOk);
    ASSERT_EQ(m_messages.size(), 1U);
    EXPECT_EQ(m_messages[0], kPortMissing);
    EXPECT_EQ(dialog.focusWidget(), dialog.Control(1018));
}

TEST_F(CInputSettingsDlgTest, AFifthPortSelectsNothingAndIsRefused)
{
    WriteProfile("[Data Sources]\nMeasSerialPort=COM5\n");
    CInputSettingsDlg dialog(nullptr);
    dialog.show();
    EXPECT_EQ(dialog.ListText(1015), QString());
    Click(&dialog, kIdOk);
    ASSERT_EQ(m_messages.size(), 1U);
    EXPECT_EQ(m_messages[0], kPortMissing);
    EXPECT_EQ(dialog.focusWidget(), dialog.Control(1015));
    EXPECT_EQ(ProfileValue("Data Sources", "MeasSerialPort"), "COM5");
}

TEST_F(CInputSettingsDlgTest, AStoredDevicePathIsOfferedAndKept)
{
    WriteProfile("[Data Sources]\nMeasSerialPort=/dev/pts/77\n");
    CInputSettingsDlg dialog(nullptr);
    dialog.show();
    EXPECT_EQ(dialog.ListText(1015), QStringLiteral("/dev/pts/77"));
    Click(&dialog, kIdOk);
    EXPECT_EQ(ProfileValue("Data Sources", "MeasSerialPort"), "/dev/pts/77");
}

TEST_F(CInputSettingsDlgTest, MeasRIWrittenByReceiverInitializationSurvivesOk)
{
    CInputSettingsDlg dialog(nullptr);
    dialog.show();
    WhenModal([](QWidget* init) {
        EXPECT_EQ(init->windowTitle(), QStringLiteral("Receiver 1 Initialization"));
        Click(init, kIdOk);
    });
    Click(&dialog, 1115);
    EXPECT_EQ(ProfileValue("Data Sources", "MeasRI"), "0");
    Click(&dialog, kIdOk);
    EXPECT_EQ(ProfileValue("Data Sources", "MeasRI"), "0");
}

TEST_F(CInputSettingsDlgTest, PortListsShowWholeDeviceNamesOrTheirEnds)
{
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    struct Case
    {
        std::string name;
        const char* end;  // empty: shown whole in the closed list; else how the shortened text ends
    };
    const Case cases[] = {
        {"COM1", ""},         {"/dev/ttyS0", ""},    {"/dev/ttyUSB0", ""}, {"/dev/ttyACM0", ""},
        {"/dev/pts/12", ""},  {"/dev/ttyUSB10", "10"}, {byId, "port0"},
    };
    for (const Case& c : cases)
    {
        WriteProfile("[Data Sources]\nMeasSource=2\nMeasSerialPort=" + c.name + "\nMeasSerialPort2=" + c.name + "\n");
        CInputSettingsDlg dialog(nullptr);
        dialog.show();
        const QString name = QString::fromStdString(c.name);
        for (const int id : {1015, 1018})
        {
            auto* list = qobject_cast<CDropList*>(dialog.Control(id));
            ASSERT_NE(list, nullptr);
            ASSERT_EQ(list->currentText(), name) << id;
            const QString shown = list->ShownText();
            const int room = list->width() - 20;
            EXPECT_LE(list->fontMetrics().horizontalAdvance(shown), room) << c.name;
            if (*c.end == '\0')
            {
                EXPECT_EQ(shown, name) << c.name;
                EXPECT_TRUE(list->toolTip().isEmpty()) << c.name;
                continue;
            }
            // The middle goes: the start and the end of the path stay, the whole name is the tip.
            EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
            EXPECT_TRUE(shown.startsWith(QStringLiteral("/dev"))) << shown.toStdString();
            EXPECT_TRUE(shown.endsWith(QLatin1String(c.end))) << shown.toStdString();
            EXPECT_EQ(list->toolTip(), name);
            // The opened list shows every item whole.
            list->showPopup();
            EXPECT_GE(list->view()->width(), list->fontMetrics().horizontalAdvance(name)) << id;
            list->hidePopup();
        }
        // What is shown is not what is kept: OK saves the whole name.
        Click(&dialog, kIdOk);
        EXPECT_EQ(ProfileValue("Data Sources", "MeasSerialPort"), c.name);
    }
}
