// Receiver Initialization dialog: position round trips in 0.1 degree, leap-second range, the Test
// protocol of receiver 2, and the NMEA group under the binary protocol.
#include "GuiTestSupport.h"
#include "config/CReceiverInitDlg.h"

using namespace vrn::gui;

class CReceiverInitDlgTest : public GuiTest
{
};

TEST_F(CReceiverInitDlgTest, DefaultPositionShowsDegreesAndSavesTheSameTenths)
{
    CReceiverInitDlg dialog(1, nullptr);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Receiver 2 Initialization"));
    EXPECT_EQ(dialog.Text(1038), QStringLiteral("25"));
    EXPECT_EQ(dialog.Text(1044), QStringLiteral("121.5"));
    Click(&dialog, kIdOk);
    EXPECT_EQ(dialog.result(), kIdOk);
    EXPECT_EQ(ProfileValue("ReceiverInit2", "X"), "250");
    EXPECT_EQ(ProfileValue("ReceiverInit2", "Y"), "1215");
    EXPECT_EQ(ProfileValue("ReceiverInit2", "Channels"), "12");
    EXPECT_EQ(ProfileValue("Data Sources", "MeasRI"), "1");
}

TEST_F(CReceiverInitDlgTest, EveryStoredTenthSurvivesTheRoundTrip)
{
    for (int tenths = -1800; tenths <= 1800; ++tenths)
    {
        const auto x = static_cast<std::int16_t>(tenths);
        const float degrees = CReceiverInitDlg::DegreesFromTenths(x);
        // What the edit shows is read back, as the dialog does.
        const QString shown = CTemplateDialog::FormatReal(degrees);
        ASSERT_EQ(CReceiverInitDlg::TenthsFromDegrees(shown.toFloat()), x) << tenths << " shown as " << shown.toStdString();
    }
}

TEST_F(CReceiverInitDlgTest, TypedDegreesAreTruncatedTowardZero)
{
    CReceiverInitDlg dialog(0, nullptr);
    dialog.show();
    dialog.SetText(1038, QStringLiteral("24.77"));
    dialog.SetText(1044, QStringLiteral("-24.77"));
    Click(&dialog, kIdOk);
    EXPECT_EQ(ProfileValue("ReceiverInit1", "X"), "247");
    EXPECT_EQ(ProfileValue("ReceiverInit1", "Y"), "-247");
    EXPECT_EQ(ProfileValue("Data Sources", "MeasRI"), "0");
}

TEST_F(CReceiverInitDlgTest, LeapSecondsFromMinus59To59)
{
    for (const auto& [text, accepted] : std::vector<std::pair<QString, bool>>{
             {QStringLiteral("59"), true}, {QStringLiteral("-59"), true}, {QStringLiteral("60"), false},
             {QStringLiteral("-60"), false}})
    {
        m_messages.clear();
        std::filesystem::remove(m_profile);
        CReceiverInitDlg dialog(0, nullptr);
        dialog.show();
        dialog.SetText(1081, text);
        Click(&dialog, kIdOk);
        if (accepted)
        {
            EXPECT_TRUE(m_messages.empty()) << text.toStdString();
            EXPECT_EQ(ProfileValue("ReceiverInit1", "LeapSec"), text.toStdString());
        }
        else
        {
            ASSERT_EQ(m_messages.size(), 1U) << text.toStdString();
            EXPECT_EQ(m_messages[0], QStringLiteral("Range of [Leap Seconds] shall be -59 ~ 59."));
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(ProfileValue("ReceiverInit1", "LeapSec"), "");
        }
    }
}

TEST_F(CReceiverInitDlgTest, TestProtocolOnlyForReceiverOne)
{
    CReceiverInitDlg first(0, nullptr);
    first.show();
    EXPECT_TRUE(first.IsEnabled(1127));
    CReceiverInitDlg second(1, nullptr);
    second.show();
    EXPECT_FALSE(second.IsEnabled(1127));
}

TEST_F(CReceiverInitDlgTest, BinaryProtocolDisablesTheNmeaGroupButKeepsItsValues)
{
    WriteProfile("[ReceiverInit1]\nEnableGSV=0\nEnableRMC=0\n");
    CReceiverInitDlg dialog(0, nullptr);
    dialog.show();
    EXPECT_TRUE(dialog.IsEnabled(1132));
    Click(&dialog, 1126);
    for (int id = 1131; id <= 1137; ++id)
        EXPECT_FALSE(dialog.IsEnabled(id)) << id;
    EXPECT_FALSE(dialog.IsEnabled(1152));
    Click(&dialog, kIdOk);
    EXPECT_EQ(ProfileValue("ReceiverInit1", "Protocol"), "1");
    EXPECT_EQ(ProfileValue("ReceiverInit1", "EnableGGA"), "1");
    EXPECT_EQ(ProfileValue("ReceiverInit1", "EnableGSV"), "0");
    EXPECT_EQ(ProfileValue("ReceiverInit1", "EnableRMC"), "0");
}

TEST_F(CReceiverInitDlgTest, PcTimeDisablesTheTimeFields)
{
    CReceiverInitDlg dialog(0, nullptr);
    dialog.show();
    EXPECT_TRUE(dialog.IsChecked(1071));  // UseDOSTime defaults to 1
    for (int id : {1078, 1072, 1077, 1073, 1076})
        EXPECT_FALSE(dialog.IsEnabled(id)) << id;
    Click(&dialog, 1071);
    for (int id : {1078, 1072, 1077, 1073, 1076})
        EXPECT_TRUE(dialog.IsEnabled(id)) << id;
}
