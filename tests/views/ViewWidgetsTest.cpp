// The view widgets driven as the document drives them: hints with real record sets, the status
// panel and measure bars read by control id, the debug view's rows, the signal view's warm-up.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <filesystem>
#include <fstream>

#include "app/CTraceFile.h"
#include "app/CoreServices.h"
#include "config/CAppSettings.h"
#include "link/Notifications.h"
#include "protocol/CData.h"
#include "views/CDebugDataView.h"
#include "views/CDialogBar.h"
#include "views/CMeasureView.h"
#include "views/CRadarView.h"
#include "views/CSignalView.h"
#include "views/CSignalView2.h"

using namespace vrn;
using namespace vrn::gui;

namespace
{
class ViewWidgets : public testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("vrn-views-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        m_profile = (m_dir / "vrnrcvr.ini").string();
        CAppSettings::SetProfilePath(m_profile);
    }
    void TearDown() override
    {
        CAppSettings::SetProfilePath({});
        std::filesystem::remove_all(m_dir);
    }
    void WriteProfile(const std::string& text) const { std::ofstream(m_profile) << text; }

    std::filesystem::path m_dir;
    std::string m_profile;
};

CData Set(std::uint8_t id)
{
    CData set;
    set.currentId = id;
    return set;
}
}  // namespace

TEST_F(ViewWidgets, RadarViewFillsTheStatusPanelAndCountsFixes)
{
    WriteProfile("[Data Sources]\nMeasSource=1\nMeasSerialPort=COM3\nMeasSerialPort2=COM4\n");
    CRadarView view;
    view.resize(900, 600);
    view.show();
    view.OnInitialUpdate();
    CDialogBar& panel = view.StatusPanel();
    EXPECT_EQ(panel.Text(1221), QStringLiteral(" < COM3 >"));
    EXPECT_EQ(panel.Text(1222), QStringLiteral(" < COM3 >"));

    CData dop = Set(kIdDop);
    dop.dop.gdop = 25;
    dop.dop.mode = 0x83;
    view.OnUpdate(kHintBinary2, &dop);
    EXPECT_EQ(panel.Text(1048), QStringLiteral("2.5"));
    EXPECT_EQ(panel.Text(1026), QStringLiteral("3D Nav"));
    // The mode texts fit their fields in the program's font, clear of the "Mode:" labels.
    for (int id : {1025, 1026})
    {
        QWidget* field = panel.Control(id);
        ASSERT_NE(field, nullptr);
        const QFontMetrics metrics(field->font());
        EXPECT_GE(field->width(), metrics.horizontalAdvance(QStringLiteral("3D Nav"))) << id;
        // Clear of the receiver's group box frame on the right.
        const QWidget* box = panel.Control(id == 1025 ? 1221 : 1222);
        EXPECT_LE(field->x() + field->width(), box->x() + box->width() - 2) << id;
        for (QLabel* label : panel.findChildren<QLabel*>())
            if (label->text() == QStringLiteral("Mode:") && label->geometry().intersects(field->geometry()))
            {
                EXPECT_LE(label->x() + metrics.horizontalAdvance(label->text()),
                          field->x() + field->width() - metrics.horizontalAdvance(QStringLiteral("3D Nav")))
                    << id;
            }
    }

    CData nav = Set(kIdNav);
    nav.nav.x = 6378137;
    nav.nav.infoByte = 0x97;
    for (int i = 0; i < 3; ++i)
        view.OnUpdate(kHintBinary1, &nav);
    EXPECT_EQ(panel.Text(1094), QStringLiteral("9"));
    EXPECT_EQ(panel.Text(1095), QStringLiteral("7"));
    CData sv = Set(kIdSv);
    sv.sv.timeOfWeek = 1200;
    view.OnUpdate(kHintBinary1, &sv);
    EXPECT_EQ(panel.Text(1118), QStringLiteral("3"));
    EXPECT_EQ(panel.Text(1117), QStringLiteral("0.00"));
    panel.Click(1119);
    EXPECT_EQ(panel.Text(1118), QStringLiteral("0"));
    EXPECT_EQ(view.Canvas().Fixes(0).units, 0U);

    // An id the view does not show changes nothing.
    CData status = Set(kIdNavA);
    view.OnUpdate(kHintBinary1, &status);
    EXPECT_EQ(panel.Text(1094), QStringLiteral("9"));
}

TEST_F(ViewWidgets, SettingsHintsReloadAndClearBothReceivers)
{
    CRadarView view;
    view.resize(900, 600);
    view.show();
    view.OnInitialUpdate();
    CData nav = Set(kIdNav);
    nav.nav.x = 6378137;
    view.OnUpdate(kHintBinary1, &nav);
    view.OnUpdate(kHintBinary2, &nav);
    ASSERT_EQ(view.Canvas().Ring(0).count, 1);
    ASSERT_EQ(view.Canvas().Ring(1).count, 1);
    for (const int hint : {kHintSettings, kHintSettings2})
    {
        WriteProfile("[Map View]\nScale1=" + std::to_string(hint * 10) + "\n[Radar View]\nOrientation1=1\n");
        view.OnUpdate(kHintBinary1, &nav);
        view.OnUpdate(kHintBinary2, &nav);
        view.OnUpdate(hint, nullptr);
        EXPECT_EQ(view.Canvas().Ring(0).count, 0) << hint;
        EXPECT_EQ(view.Canvas().Ring(1).count, 0) << hint;
        EXPECT_EQ(view.Canvas().Settings().map.scale, hint * 10);
        EXPECT_EQ(view.Canvas().Settings().orientation, 1);
    }
    // A scale of 0 from a hand-edited profile is taken as 1.
    WriteProfile("[Map View]\nScale1=0\n[Radar View]\nOuter Radius Velocity1=-3\n");
    view.OnUpdate(kHintSettings, nullptr);
    EXPECT_EQ(view.Canvas().Settings().map.scale, 1);
    EXPECT_DOUBLE_EQ(view.Canvas().Settings().outerVelocity, 4.0);
}

TEST_F(ViewWidgets, RadarViewShowsSatellitesAndTheArrowAfterANavigationMessage)
{
    CRadarView view;
    view.resize(900, 600);
    view.show();
    view.OnInitialUpdate();
    CData sv = Set(kIdSv);
    sv.sv.count = 1;
    sv.sv.entries[0] = {0, 12, 0, 90, 40, 0x1F, 0};
    view.OnUpdate(kHintBinary1, &sv);
    CData nav = Set(kIdNav);
    nav.nav.x = 6378137;
    nav.nav.vz = 40;  // 4 m/s north: the arrow reaches the ring
    view.OnUpdate(kHintBinary1, &nav);
    const CRadarCanvas& canvas = view.Canvas();
    const Box sky = canvas.Layout().skySquare[0];
    const int c = canvas.Sky().c;
    EXPECT_EQ(canvas.Screen().pixelColor(sky.left + c - 8, sky.top + c), QColor(0, 255, 0));
    EXPECT_EQ(canvas.Screen().pixelColor(sky.left + c, sky.top + c - canvas.Sky().r / 2), QColor(255, 0, 0));
}

TEST_F(ViewWidgets, MeasureViewSkipsItsFirstUpdateAndNamesThePorts)
{
    WriteProfile("[Data Sources]\nMeasSource=1\nMeasSerialPort=COM2\nMeasSerialPort2=COM4\n");
    CMeasureView view;
    view.show();
    view.OnInitialUpdate();
    EXPECT_EQ(view.Bar(0).Text(1220), QStringLiteral("COM2"));
    EXPECT_EQ(view.Bar(1).Text(1220), QStringLiteral("COM2"));
    CData meas = Set(kIdMeas);
    meas.meas.timeOfWeek = 100;
    meas.meas.entries[0].chanPrn = static_cast<std::uint16_t>((30U << 9) | (5U << 4));
    view.OnUpdate(kHintBinary1, &meas);
    EXPECT_EQ(view.Bar(0).Text(1121), QString());
    view.OnUpdate(kHintBinary1, &meas);
    EXPECT_EQ(view.Bar(0).Text(1121), QStringLiteral("-11.00"));
    EXPECT_EQ(view.Bar(0).Text(1123), QStringLiteral("5"));
    EXPECT_EQ(view.Bar(0).Text(1131), QStringLiteral(" "));
    EXPECT_EQ(view.Bar(1).Text(1121), QString());
}

TEST_F(ViewWidgets, DebugViewKeepsTheNewestRowsAndLeavesTheTraceWhenItGoes)
{
    SetTraceSwitch(true);
    {
        CDebugDataView view;
        view.OnInitialUpdate();
        const int before = static_cast<int>(view.Rows().size());
        view.AddText("a\nb");
        view.AddText("\n");
        const QStringList rows = view.Rows();
        ASSERT_EQ(rows.size(), before + 3);
        EXPECT_EQ(rows[before], QStringLiteral("a"));
        EXPECT_EQ(rows[before + 1], QStringLiteral("b"));
        EXPECT_EQ(rows[before + 2], QStringLiteral(" "));
        for (int i = 1; i <= 301; ++i)
            view.AddText(std::to_string(i));
        EXPECT_EQ(view.Rows().size(), 300);
        EXPECT_EQ(view.Rows().front(), QStringLiteral("2"));
        EXPECT_EQ(view.Rows().back(), QStringLiteral("301"));
        CTraceFile::Write("through the view");
        EXPECT_EQ(view.Rows().back(), QStringLiteral("through the view"));
    }
    // The view is gone: the trace no longer reaches it.
    CTraceFile::Write("after the view");
    SetTraceSwitch(false);
}

TEST_F(ViewWidgets, SignalViewDropsItsFirstUpdatesThenDrawsRows)
{
    CSignalView2 view;
    view.resize(740, 750);
    view.show();
    view.OnInitialUpdate();  // the initial update is the first dropped one
    CData sv = Set(kIdSv);
    sv.sv.count = 1;
    sv.sv.entries[0] = {0, 7, 100, 30, 50, 0x7F, 0};
    view.OnUpdate(kHintBinary2, &sv);  // dropped
    const ChannelStrip& row = view.Canvas().Strip(0);
    const int x = 49 * row.SampleWidth() + 2 + row.SampleWidth() / 2 - 5;
    EXPECT_NE(row.Graph().pixelColor(x, row.GraphHeight() - 5), QColor(0, 255, 0));
    view.OnUpdate(kHintBinary1, &sv);  // receiver 1's data: not for this view
    view.OnUpdate(kHintBinary2, &sv);
    EXPECT_EQ(row.Graph().pixelColor(x, row.GraphHeight() - 5), QColor(0, 255, 0));
    // The full-redraw hint empties the graphs.
    view.OnUpdate(kHintPort2Started, nullptr);
    EXPECT_EQ(view.Canvas().Strip(0).Graph().pixelColor(x, row.GraphHeight() - 5), QColor(255, 255, 255));
}
