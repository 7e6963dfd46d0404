// The view widgets driven as the document drives them: hints with real record sets, the status
// panel and measure bars read by control id, the debug view's rows, the signal view's warm-up.
#include <gtest/gtest.h>

#include <QAction>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <filesystem>
#include <fstream>

#include "GnssTestSupport.h"
#include "app/CTemplateDialog.h"
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

// The Mode field's tooltip names the fix quality: a u-blox receiver's from NAV-PVT's fix type and
// flags, an NMEA receiver's from its GGA; a classic binary receiver says nothing there; a start
// of the port clears it.
TEST_F(ViewWidgets, ModeTooltipNamesTheFixQuality)
{
    CRadarView view;
    view.resize(900, 600);
    view.show();
    view.OnInitialUpdate();
    CDialogBar& panel = view.StatusPanel();
    auto pvt = [](std::uint8_t fixType, std::uint8_t flags) {
        std::vector<std::uint8_t> p(92, 0);
        p[20] = fixType;
        p[21] = flags;
        p[23] = 8;
        CData set;
        (void)set.ImportUbxMessage(0x01, 0x07, p);
        set.currentId = kIdDop;
        return set;
    };
    auto gga = [](char quality) {
        CData set;
        (void)set.ImportNmeaSentence(std::string("GPGGA,181856.00,5008.1051,N,01425.7968,E,") + quality +
                                         ",09,1.0,304.6,M,44.3,M,,",
                                     0);
        return set;
    };
    struct Case
    {
        const char* name;
        int hint;
        CData set;
        int field;
        const char* tip;
    };
    const Case cases[] = {
        {"UBX RTK fixed", kHintBinary1, pvt(3, 0x83), 1025, "RTK Fix"},
        {"UBX RTK float", kHintBinary1, pvt(3, 0x43), 1025, "RTK Flt"},
        {"UBX differential", kHintBinary2, pvt(3, 0x03), 1026, "DGPS"},
        {"UBX dead reckoning", kHintBinary1, pvt(1, 0x00), 1025, "DR"},
        {"UBX 3D", kHintBinary1, pvt(3, 0x01), 1025, "GPS"},
        {"NMEA RTK fixed", kHintNmea2, gga('4'), 1026, "RTK Fix"},
        {"NMEA differential", kHintNmea1, gga('2'), 1025, "DGPS"},
        {"NMEA estimated", kHintNmea1, gga('6'), 1025, "DR"},
    };
    for (const Case& c : cases)
    {
        view.OnUpdate(c.hint, &c.set);
        EXPECT_EQ(panel.Control(c.field)->toolTip(), QString::fromLatin1(c.tip)) << c.name;
    }
    // A classic binary receiver reports no quality: no tooltip. A start of a port clears its own.
    CData dop = Set(kIdDop);
    dop.dop.mode = 3;
    view.OnUpdate(kHintBinary1, &dop);
    EXPECT_EQ(panel.Control(1025)->toolTip(), QString());
    EXPECT_EQ(panel.Control(1026)->toolTip(), QStringLiteral("RTK Fix"));
    view.OnUpdate(kHintPort2Started, nullptr);
    EXPECT_EQ(panel.Control(1026)->toolTip(), QString());
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

TEST_F(ViewWidgets, ModeFieldTooltipGivesTheFixQuality)
{
    CRadarView view;
    view.resize(900, 600);
    view.show();
    view.OnInitialUpdate();
    CDialogBar& panel = view.StatusPanel();
    const char* const texts[] = {"No Fix",  "GPS", "DGPS",   "PPS", "RTK Fix",
                                 "RTK Flt", "DR",  "Manual", "Sim", ""};
    for (int quality = 0; quality <= 9; ++quality)
    {
        CData set;
        gnss_test::Feed(set, gnss_test::Sentence("GNGSA,A,3,05,07,,,,,,,,,,,1.5,0.9,1.2,1") +
                                 gnss_test::Sentence("GNGGA,101500.00,2446.5180,N,12100.1488,E," +
                                                     std::to_string(quality) + ",08,0.9,120.0,M,16.0,M,,"));
        const int hint = quality % 2 == 0 ? kHintNmea1 : kHintNmea2;
        view.OnUpdate(hint, &set);
        const int mode = quality % 2 == 0 ? 1025 : 1026;
        EXPECT_EQ(panel.Control(mode)->toolTip(), QString::fromLatin1(texts[quality])) << quality;
        // The field keeps its classic text.
        EXPECT_EQ(panel.Text(mode), QStringLiteral("3D")) << quality;
    }
    // A classic binary receiver reports no quality: no tooltip.
    CData dop = Set(kIdDop);
    dop.dop.mode = 3;
    view.OnUpdate(kHintBinary1, &dop);
    EXPECT_EQ(panel.Control(1025)->toolTip(), QString());
}

TEST_F(ViewWidgets, SkyChartMenuShowsAndHidesConstellationsAndTheProfileKeepsThem)
{
    WriteProfile("[Radar View]\nHidden Constellations=E\n");
    CRadarView view;
    view.resize(900, 600);
    view.show();
    view.OnInitialUpdate();
    EXPECT_FALSE(view.Canvas().Filter().Shows(Constellation::Galileo));
    int dialogs = 0;
    view.SetDialogRunner([&](CTemplateDialog&) { return ++dialogs, kIdCancel; });
    QStringList items;
    QStringList unchecked;
    QString pick;
    int menus = 0;
    view.SetMenuRunner(
        [&](QMenu& menu, QPoint) -> QAction*
        {
            ++menus;
            items.clear();
            unchecked.clear();
            QAction* chosen = nullptr;
            for (QAction* action : menu.actions())
            {
                if (action->isSeparator())
                    continue;
                items << action->text();
                if (action->isCheckable() && !action->isChecked())
                    unchecked << action->text();
                if (action->text() == pick)
                    chosen = action;
            }
            return chosen;
        });
    const Box sky = view.Canvas().Layout().skySquare[1];
    const QPoint onSky(sky.left + 20, sky.top + 20);

    pick = QStringLiteral("GLONASS (R)");
    view.OnRightButton(onSky);
    EXPECT_EQ(items, (QStringList{"Sky Chart Configuration...", "GPS (G)", "GLONASS (R)", "Galileo (E)",
                                  "BeiDou (C)", "QZSS (J)", "NavIC (I)", "SBAS (S)", "Other (?)"}));
    EXPECT_EQ(unchecked, QStringList{"Galileo (E)"});
    EXPECT_FALSE(view.Canvas().Filter().Shows(Constellation::Glonass));
    EXPECT_EQ(CAppSettings::ReadProfileText("Radar View", "Hidden Constellations", "-"), "RE");

    pick = QStringLiteral("Galileo (E)");
    view.OnRightButton(onSky);
    EXPECT_EQ(CAppSettings::ReadProfileText("Radar View", "Hidden Constellations", "-"), "R");
    pick.clear();  // the menu closed without a choice
    view.OnRightButton(onSky);
    EXPECT_EQ(dialogs, 0);
    pick = QStringLiteral("Sky Chart Configuration...");
    view.OnRightButton(onSky);
    EXPECT_EQ(dialogs, 1);

    // On a track map the right button opens its dialog as before, without a menu.
    const Box map = view.Canvas().Layout().trackSquare[0];
    view.OnRightButton(QPoint(map.left + 20, map.top + 20));
    EXPECT_EQ(menus, 4);
    EXPECT_EQ(dialogs, 2);

    // The next radar view starts with what the profile kept.
    CRadarView next;
    next.OnInitialUpdate();
    EXPECT_FALSE(next.Canvas().Filter().Shows(Constellation::Glonass));
    EXPECT_TRUE(next.Canvas().Filter().Shows(Constellation::Galileo));
}

TEST_F(ViewWidgets, SignalViewScrollsTheSatellitesItCannotFit)
{
    CSignalView view;
    view.resize(760, 400);
    view.show();
    view.OnInitialUpdate();
    CData set;
    for (int k = 0; k < 40; ++k)
        gnss_test::Put(set.satellites, k < 20 ? Constellation::Galileo : Constellation::BeiDou, 1 + k % 20,
                       30, 9 * k, 40, true);
    view.OnUpdate(kHintNmea1, &set);  // dropped: the second update after opening
    EXPECT_FALSE(view.ScrollBar().isVisible());
    view.OnUpdate(kHintNmea1, &set);
    ASSERT_EQ(view.Canvas().RowCount(), 40);
    EXPECT_TRUE(view.ScrollBar().isVisible());
    EXPECT_EQ(view.ScrollBar().maximum(), view.Canvas().ContentHeight() - 400);
    EXPECT_EQ(view.ScrollBar().geometry().right(), 759);
    // Scrolled to the end, the window shows the last rows.
    view.ScrollBar().setValue(view.ScrollBar().maximum());
    const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const ChannelStrip& last = view.Canvas().Strip(39);
    const int y = last.Top() - view.ScrollBar().value();
    ASSERT_LT(y, 400);
    const QImage expected =
        view.Canvas().Screen().copy(QRect(0, last.Top(), 200, 14)).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.copy(QRect(0, y, 200, 14)), expected);

    // A classic receiver's twelve channels again: no scrolling.
    CData sv = Set(kIdSv);
    sv.sv.count = 1;
    sv.sv.entries[0] = {0, 7, 100, 30, 50, 0x7F, 0};
    view.OnUpdate(kHintBinary1, &sv);
    EXPECT_EQ(view.Canvas().RowCount(), 12);
    EXPECT_FALSE(view.ScrollBar().isVisible());
}
