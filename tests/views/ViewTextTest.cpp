// Field texts by control id: the status panel, the measure view and the debug view's rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

#include "GnssTestSupport.h"
#include "views/MeasureText.h"
#include "views/StatusPanelText.h"
#include "views/TraceRows.h"

namespace
{
std::map<int, std::string> ById(const FieldTexts& texts)
{
    std::map<int, std::string> m;
    for (const FieldText& t : texts)
        m[t.id] = t.text;
    return m;
}

template <typename Slot>
void Put(Slot& slot, const char* text)
{
    slot.fill('\0');
    std::strncpy(slot.data(), text, slot.size() - 1);
}
}  // namespace

TEST(StatusPanelText, DopFieldsAndModes)
{
    DopRecord dop;
    dop.gdop = 25;
    dop.pdop = 0;
    dop.hdop = 255;
    dop.mode = 0x83;
    auto f = ById(DopFieldTexts(0, dop));
    EXPECT_EQ(f[1034], "2.5");
    EXPECT_EQ(f[1028], "0.0");
    EXPECT_EQ(f[1024], "25.5");
    EXPECT_EQ(f[1025], "3D Nav");
    EXPECT_EQ(ModeText(0x07), "7 SV");
    EXPECT_EQ(ModeText(0x04), "3D DGPS Nav ");
    EXPECT_EQ(ModeText(0x80), "None");
    EXPECT_EQ(ById(DopFieldTexts(1, dop))[1026], "3D Nav");
}

TEST(StatusPanelText, NavigationFields)
{
    NavDisplay nav;
    nav.latitudeDeg = -33.5;
    nav.longitudeDeg = 151.25;
    nav.heightM = 12.345;
    nav.courseDeg = 359.6;
    nav.speedMps = 1.5;
    auto f = ById(NavigationFieldTexts(1, nav, 0x97));
    EXPECT_EQ(f[1058], "S ");
    EXPECT_EQ(f[1043], "33.50000");
    EXPECT_EQ(f[1059], "E ");
    EXPECT_EQ(f[1044], "151.25000");
    EXPECT_EQ(f[1045], "12.35");
    EXPECT_EQ(f[1046], "360\u00B0");
    EXPECT_EQ(f[1047], "1.500");
    EXPECT_EQ(f[1096], "9");
    EXPECT_EQ(f[1097], "7");
}

TEST(StatusPanelText, TimeOfWeekTakesOffTheLeapSeconds)
{
    SvRecord sv;
    sv.week = 1000;
    sv.timeOfWeek = 1200;
    FixCount fixes;
    EXPECT_EQ(ById(SatelliteTimeFieldTexts(0, sv, 12, fixes))[1117], "0.00");
    EXPECT_EQ(ById(SatelliteTimeFieldTexts(0, sv, 13, fixes))[1117], "-1.00");
    auto f = ById(SatelliteTimeFieldTexts(1, sv, 12, fixes));
    EXPECT_EQ(f[1120], "1000");
    // Week 1000, 12 s into it, minus 12 leap seconds: 1999-03-07 00:00:00 UTC.
    EXPECT_EQ(f[1053], "03/07/99");
    EXPECT_EQ(f[1055], "00:00:00");
    EXPECT_EQ(f[1054].size(), 8U);
}

TEST(StatusPanelText, FixCountCarriesIntoThousands)
{
    FixCount fixes;
    fixes.Count();
    fixes.Reset();
    EXPECT_EQ(fixes.Text(), "0");
    for (int i = 0; i < 1000; ++i)
        fixes.Count();
    EXPECT_EQ(fixes.Text(), "1000");
    fixes.Count();
    EXPECT_EQ(fixes.Text(), "1001");
    for (int i = 0; i < 4; ++i)
        fixes.Count();
    EXPECT_EQ(fixes.Text(), "1005");
    for (int i = 0; i < 95; ++i)
        fixes.Count();
    EXPECT_EQ(fixes.Text(), "1100");
    SvRecord sv;
    EXPECT_EQ(ById(SatelliteTimeFieldTexts(0, sv, 12, fixes))[1118], "1100");
}

TEST(StatusPanelText, NmeaFields)
{
    NmeaRecords n;
    Put(n.rmc.fields[nmea::kRmcDate], "250398");
    Put(n.gga.fields[nmea::kGgaUtc], "123519.00");
    Put(n.gga.fields[nmea::kGgaNorthSouth], "S");
    Put(n.gga.fields[nmea::kGgaEastWest], "W");
    Put(n.gga.fields[nmea::kGgaAltitude], "545.4");
    n.gga.latitude = 48.07038F;  // 48° 07.038'
    n.gga.longitude = 11.31F;    // 11° 31'
    Put(n.gsa.fields[nmea::kGsaFixMode], "3");
    Put(n.gsa.fields[nmea::kGsaPdop], "2.5");
    Put(n.vtg.fields[nmea::kVtgSpeedKmh], "010.2");
    Put(n.vtg.fields[nmea::kVtgTrueCourse], "054.7");
    n.gsv[0].satellitesInView = 8;
    FixCount fixes;
    fixes.Count();
    const NmeaPanel panel = NmeaFieldTexts(0, n, fixes, 7);
    auto f = ById(panel.texts);
    EXPECT_EQ(f[1039], "03/25/98");
    EXPECT_EQ(f[1041], "12:35:19");
    EXPECT_EQ(f[1040], "07:35:19");
    EXPECT_EQ(f[1056], "S");
    EXPECT_EQ(f[1029], "48.11730");
    EXPECT_EQ(f[1030], "11.51667");
    EXPECT_EQ(f[1031], "545.4");
    EXPECT_EQ(f[1025], "3D");
    EXPECT_EQ(f[1028], "2.5");
    EXPECT_EQ(f[1032], "010.2");
    EXPECT_EQ(f[1033], "054.7");
    EXPECT_EQ(f[1094], "8");
    EXPECT_EQ(f[1118], "1");
    EXPECT_EQ(f[1034], " ");
    EXPECT_EQ(f[1116], " ");
    EXPECT_NEAR(panel.latitudeDeg, -48.1173, 1e-4);
    EXPECT_NEAR(panel.longitudeDeg, -11.51667, 1e-4);
}

TEST(StatusPanelText, NmeaTimesAreGgaUtcAsReceived)
{
    // GGA carries UTC: no leap seconds come off, whatever the receiver settings hold.
    struct Case
    {
        const char* utc;
        int localHour;
        const char* shownUtc;
        const char* shownLocal;
    };
    const Case cases[] = {
        {"183030", 20, "18:30:30", "20:30:30"},
        {"183030.00", 20, "18:30:30", "20:30:30"},
        {"000005", 0, "00:00:05", "00:00:05"},  // just after midnight: nothing folds back a day
        {"235959.99", 23, "23:59:59", "23:59:59"},
        {"000000", 1, "00:00:00", "01:00:00"},
        {"240000", 0, "00:00:00", "00:00:00"},  // a malformed hour folds into the day
        {"1235", 5, " ", " "},                  // too short: blanks
    };
    for (const Case& c : cases)
    {
        NmeaRecords n;
        Put(n.gga.fields[nmea::kGgaUtc], c.utc);
        auto f = ById(NmeaFieldTexts(0, n, FixCount{}, c.localHour).texts);
        EXPECT_EQ(f[1041], c.shownUtc) << c.utc;
        EXPECT_EQ(f[1040], c.shownLocal) << c.utc;
        auto g = ById(NmeaFieldTexts(1, n, FixCount{}, c.localHour).texts);
        EXPECT_EQ(g[1055], c.shownUtc) << c.utc;
    }
}

TEST(StatusPanelText, NmeaShortSlots)
{
    NmeaRecords n;
    Put(n.gga.fields[nmea::kGgaUtc], "000005");
    EXPECT_EQ(ById(NmeaFieldTexts(0, n, FixCount{}, 0).texts)[1039], " ");
    Put(n.rmc.fields[nmea::kRmcDate], "2503");
    EXPECT_EQ(ById(NmeaFieldTexts(0, n, FixCount{}, 0).texts)[1039], " ");
    Put(n.gsa.fields[nmea::kGsaFixMode], "1");
    EXPECT_EQ(ById(NmeaFieldTexts(0, n, FixCount{}, 0).texts)[1025], "None");
}

TEST(MeasureText, FirstUpdateOnlyArmsTheView)
{
    CMeasureModel model(12);
    NavRecord nav;
    nav.infoWord = 205;
    MeasRecord meas;
    meas.timeOfWeek = 100;
    EXPECT_FALSE(model.Update(2, kIdNav, nav, meas));
    EXPECT_FLOAT_EQ(model.Version(1), 2.05F);
    EXPECT_FALSE(model.Update(1, kIdMeas, nav, meas));
    EXPECT_FALSE(model.Update(4, kIdMeas, nav, meas));
    const auto second = model.Update(2, kIdMeas, nav, meas);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->bar, 1);
    auto f = ById(second->texts);
    EXPECT_EQ(f[measure::kTimeOfWeek], "-11.00");
    EXPECT_EQ(f[measure::kVersion], "2.05");
    EXPECT_FALSE(model.Update(1, kIdSv, nav, meas));
}

TEST(MeasureText, RowsShowTheChannelValuesOrBlanksForPrnZero)
{
    MeasRecord meas;
    meas.week = 1042;
    meas.measWord = 65535;
    meas.entries[0] = {
        static_cast<std::uint16_t>((40U << 9) | (17U << 4) | 3U), 0x3F, 0, 21345678, -1234, -950, {}};
    meas.entries[1] = {static_cast<std::uint16_t>((40U << 9) | 3U), 0x3F, 0, 5, 5, 5, {}};
    auto f = ById(MeasureBarTexts(meas, 2.05F, 12));
    EXPECT_EQ(f[1123], "17");
    EXPECT_EQ(f[1124], "3f");
    EXPECT_EQ(f[1126], "40");
    EXPECT_EQ(f[1127], "21345678");
    EXPECT_EQ(f[1128], "-1.234");
    EXPECT_EQ(f[1129], "-950");
    EXPECT_EQ(f.count(1130), 0U);
    for (const int id : measure::RowIds(2))
    {
        if (id != measure::RowIds(2)[6])
        {
            EXPECT_EQ(f[id], " ") << id;
        }
    }
    EXPECT_EQ(f[measure::kWeek], "1042");
    EXPECT_EQ(f[measure::kClockOffset], "65535");
    EXPECT_EQ(measure::RowIds(12)[0], 1123 + 88);
}

TEST(MeasureText, PortNamesFollowTheMeasurementSource)
{
    EXPECT_EQ(MeasurePortNames(1, "COM1", "COM2")[1], "COM1");
    EXPECT_EQ(MeasurePortNames(0, "COM1", "COM2")[1], "COM2");
    EXPECT_EQ(PortCaption("COM3"), " < COM3 >");
}

TEST(TraceRows, LinesBlanksAndTheNewestThreeHundred)
{
    EXPECT_EQ(SplitTraceText("a\nb"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitTraceText("\n"), (std::vector<std::string>{" "}));
    EXPECT_EQ(SplitTraceText("a\n\nb\n"), (std::vector<std::string>{"a", " ", "b"}));
    TraceRows rows;
    for (int i = 1; i <= 301; ++i)
        rows.Add(std::to_string(i));
    ASSERT_EQ(rows.Rows().size(), 300U);
    EXPECT_EQ(rows.Rows().front(), "2");
    EXPECT_EQ(rows.Rows().back(), "301");
}

TEST(StatusPanelText, NavigationRecordGivesPositionCourseAndSpeed)
{
    // On the equator at longitude 0, moving 3 m/s north and 4 m/s east (0.1 m/s units).
    NavRecord nav;
    nav.x = 6378137;
    nav.vz = 30;
    nav.vy = 40;
    const NavDisplay d = ComputeNavDisplay(nav);
    EXPECT_NEAR(d.latitudeDeg, 0.0, 1e-9);
    EXPECT_NEAR(d.longitudeDeg, 0.0, 1e-9);
    EXPECT_NEAR(d.heightM, 0.0, 1e-3);
    EXPECT_NEAR(d.speedMps, 5.0, 1e-9);
    EXPECT_NEAR(d.courseDeg, 53.13, 0.01);
    EXPECT_EQ(ById(NavigationFieldTexts(0, d, 0))[1033], "53\u00B0");
    // Moving west gives a course above 180°.
    nav.vy = -40;
    EXPECT_NEAR(ComputeNavDisplay(nav).courseDeg, 360.0 - 53.13, 0.01);
    // An all-zero record before the first fix still gives numbers the drawing can take.
    const NavDisplay zero = ComputeNavDisplay(NavRecord{});
    EXPECT_FALSE(std::isnan(zero.speedMps));
}

TEST(StatusPanelText, ModernReceiversFillEveryFieldAGpsReceiverFills)
{
    const auto dir = gnss_test::CaptureFolder();
    if (!dir)
        GTEST_SKIP() << "no receiver captures";
    // What the panel shows when the views are told of these GGA sentences, read from the captures by
    // hand: the satellites of the sets before them (GSV of every talker, used flags of the GN GSA
    // sentences), RMC's date, VTG's speed and course, or RMC's where a receiver sends no VTG.
    const struct
    {
        const char* file;
        const char* marker;
        std::map<int, std::string> fields;
        const char* quality;
    } cases[] = {
        // GGA says twelve satellites in the fix; the four GSA sentences list 25.
        {"ublox-neo-m9n-nmea.log",
         "$GNGGA,223845.00",
         {{1029, "38.11050"},
          {1056, "N"},
          {1030, "122.62692"},
          {1057, "W"},
          {1031, "81.8"},
          {1094, "43"},
          {1095, "25"},
          {1028, "1.05"},
          {1024, "0.56"},
          {1036, "0.88"},
          {1025, "3D"},
          {1032, "0.033"},
          {1033, " "},
          {1039, "07/11/20"},
          {1041, "22:38:45"}},
         "DGPS"},
        // GGA says none; GLONASS and Galileo GSA list 11; no VTG: RMC's 0.00 knots and 0.00°. The
        // longitude 11.010715 lies halfway; its nearest double is just below it.
        {"furuno_gl_ga.log",
         "$GNGGA,120214.000",
         {{1029, "59.95010"},
          {1056, "N"},
          {1030, "11.01071"},
          {1057, "E"},
          {1031, "168.9"},
          {1094, "18"},
          {1095, "11"},
          {1028, "1.5"},
          {1024, "1.3"},
          {1036, "1.0"},
          {1025, "3D"},
          {1032, "0.000"},
          {1033, "0.0"},
          {1039, "07/31/22"},
          {1041, "12:02:14"}},
         "DGPS"},
    };
    for (const auto& c : cases)
    {
        CData set;
        gnss_test::Feed(set, gnss_test::CaptureUpTo(*dir / c.file, c.marker));
        ASSERT_NE(set.ggaSeen, 0) << c.file;
        const NmeaRecords nmea = NmeaRecordsOf(set);
        EXPECT_FALSE(IsClassicNmea(nmea)) << c.file;
        auto f = ById(NmeaFieldTexts(0, nmea, FixCount{}, 0).texts);
        for (const auto& [id, text] : c.fields)
            EXPECT_EQ(f[id], text) << c.file << " field " << id;
        EXPECT_EQ(FixQualityText(set.fix.quality), c.quality) << c.file;
    }
}

TEST(StatusPanelText, ModernReceiversWithoutGgaVtgOrGsaTakeTheFix)
{
    CData set;
    std::string stream =
        gnss_test::Sentence("GNRMC,101500.00,A,4807.0380,N,01131.0000,W,10.0,054.7,250398,,,A,V");
    stream += gnss_test::Sentence("GNRMC,101501.00,A,4807.0390,N,01131.0000,W,10.0,054.7,250398,,,A,V");
    gnss_test::Feed(set, stream);
    ASSERT_NE(set.ggaSeen, 0);  // the second RMC tells the views
    auto f = ById(NmeaFieldTexts(1, NmeaRecordsOf(set), FixCount{}, 0).texts);
    EXPECT_EQ(f[1058], "N");
    EXPECT_EQ(f[1043], "48.11732");
    EXPECT_EQ(f[1059], "W");
    EXPECT_EQ(f[1044], "11.51667");
    EXPECT_EQ(f[1047], "18.520");  // 10 knots in km/h
    EXPECT_EQ(f[1046], "54.7");
    EXPECT_EQ(f[1053], "03/25/98");
    EXPECT_EQ(f[1055], "10:15:01");
    EXPECT_EQ(f[1096], "0");
    EXPECT_EQ(f[1097], " ");
    const NmeaPanel panel = NmeaFieldTexts(1, NmeaRecordsOf(set), FixCount{}, 0);
    EXPECT_NEAR(panel.latitudeDeg, 48.11732, 1e-5);
    EXPECT_NEAR(panel.longitudeDeg, -11.51667, 1e-5);
    EXPECT_NEAR(panel.speedMps, 5.1444, 1e-3);

    // The same sentences under GP: the classic slots, blank where the classic program had nothing.
    CData classic;
    std::string gp = gnss_test::Sentence("GPRMC,101500.00,A,4807.0380,N,01131.0000,W,10.0,054.7,250398,,,A");
    gp += gnss_test::Sentence("GPRMC,101501.00,A,4807.0390,N,01131.0000,W,10.0,054.7,250398,,,A");
    gnss_test::Feed(classic, gp);
    auto g = ById(NmeaFieldTexts(1, NmeaRecordsOf(classic), FixCount{}, 0).texts);
    EXPECT_EQ(g[1058], "");
    EXPECT_EQ(g[1047], "");
    EXPECT_EQ(g[1096], "0");
    EXPECT_EQ(g[1097], " ");
}

TEST(StatusPanelText, SatelliteCountsOfEveryConstellation)
{
    SatelliteTable table;
    gnss_test::Put(table, Constellation::Gps, 3, 10, 10, 40, true);
    gnss_test::Put(table, Constellation::Glonass, 3, 10, 10, 40, true);
    gnss_test::Put(table, Constellation::BeiDou, 30, 10, 10, 40, false);
    ReceiverFix fix;
    EXPECT_EQ(VisibleSatellitesText(table), "3");
    EXPECT_EQ(FixSatellitesText(table, fix), "2");
    // No used flags (no GSA): GGA's count; nothing known: 0 with satellites in view, blank without.
    table.FindEntry(Constellation::Gps, 3)->used = false;
    table.FindEntry(Constellation::Glonass, 3)->used = false;
    EXPECT_EQ(FixSatellitesText(table, fix), "0");
    fix.satsUsed = 7;
    EXPECT_EQ(FixSatellitesText(table, fix), "7");
    EXPECT_EQ(FixSatellitesText(SatelliteTable{}, ReceiverFix{}), " ");

    // A binary receiver's navigation message: the info byte's counts while its table is classic,
    // the table's once it holds other constellations (more than the byte's four bits can say).
    NavDisplay nav;
    SatelliteTable channels;
    channels.Upsert(Constellation::Gps, 5);
    auto classic = ById(NavigationFieldTexts(0, nav, 0x97, &channels));
    EXPECT_EQ(classic[1094], "9");
    EXPECT_EQ(classic[1095], "7");
    for (int k = 1; k <= 20; ++k)
        gnss_test::Put(channels, Constellation::Galileo, k, 10, 10, 40, k <= 16);
    auto modern = ById(NavigationFieldTexts(0, nav, 0x97, &channels));
    EXPECT_EQ(modern[1094], "21");
    EXPECT_EQ(modern[1095], "16");
}
