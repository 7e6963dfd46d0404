// Sky charts of receivers with several constellations: a GPS-only receiver keeps the classic chart,
// other tables become badges with their constellation's letter and a legend, sixty satellites stay
// readable on a 400-pixel chart, and the constellation filter takes effect at once.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <set>

#include "GnssTestSupport.h"
#include "views/DrawingResources.h"
#include "views/GdiPaint.h"
#include "views/RadarCanvas.h"
#include "views/SkyChart.h"

using gnss_test::Feed;
using gnss_test::Put;
using gnss_test::Sentence;

namespace
{
constexpr double kDegreesToRadians = 0.017453292519943295;

// Where a satellite at this elevation and azimuth sits, north up.
QPoint At(const SkyGeometry& g, double elevation, double azimuth)
{
    SkySatellite s;
    s.elevation = elevation;
    s.azimuth = azimuth;
    return *SatellitePoint(g, s, 0.0);
}

QImage Rgb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

// Receiver 1's chart of a canvas, as a picture of its own.
QImage Chart(const CRadarCanvas& canvas, int n = 0)
{
    return Rgb(canvas.Screen().copy(canvas.Layout().skySquare[static_cast<std::size_t>(n)].Rect()));
}

QImage Badge(QPoint at, const QString& label, const QColor& colour, bool used, int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    DrawSatelliteBadge(painter, at, label, colour, used);
    return image;
}

// The satellites of a GPS-only receiver in the three classic GSV sentences, two of them close enough
// for their discs to overlap (the order of drawing shows).
const char* const kGpsGsv[] = {
    "GPGSV,3,1,10,02,45,010,40,05,44,014,38,07,10,200,30,09,80,300,45",
    "GPGSV,3,2,10,13,30,090,41,16,05,270,,20,60,135,36,23,20,330,33",
    "GPGSV,3,3,10,26,50,180,44,30,15,045,29",
};
}  // namespace

TEST(SkyChartGnss, AGpsOnlyTableLeavesTheClassicChart)
{
    CData set;
    std::string stream = Sentence("GPRMC,101500.00,A,2446.5180,N,12100.1488,E,5.4,072.0,250398,,,A");
    stream += Sentence("GPVTG,072.0,T,,M,5.4,N,10.0,K,A");
    for (const char* gsv : kGpsGsv)
        stream += Sentence(gsv);
    stream += Sentence("GPGSA,A,3,02,05,09,13,20,26,,,,,,,1.9,1.0,1.6");
    stream += Sentence("GPGGA,101500.00,2446.5180,N,12100.1488,E,1,06,1.0,120.0,M,16.0,M,,");
    Feed(set, stream);
    ASSERT_NE(set.ggaSeen, 0);
    ASSERT_EQ(set.satellites.Size(), 10U);
    ASSERT_TRUE(IsClassicTable(set.satellites));

    CRadarCanvas canvas;
    canvas.Resize(QSize(1200, 462));
    canvas.NmeaUpdate(0, NmeaRecordsOf(set), 12);
    EXPECT_TRUE(canvas.ChartConstellations(0).empty());

    // The classic drawing: the background, the arrow of VTG's 10 km/h at 072°, the north marker and
    // an orange disc per GSV slot in slot order, labelled "%2d".
    const int side = canvas.Layout().skySide;
    QImage expected = NewSurface(QSize(side, side), 1);
    {
        QPainter painter(&expected);
        const SkyGeometry g = DrawSkyBackground(painter, side);
        DrawVelocityArrow(painter, g, 10.0 / 3.6, 4.0, 72.0 * kDegreesToRadians, 0.0);
        DrawNorthMarker(painter, g, 0.0);
        for (const GsvRecord& record : set.gsv)
            for (const GsvSatellite& s : record.satellites)
                if (s.prn > 0)
                    DrawSatelliteSymbol(painter, At(g, s.elevation, s.azimuth), PrnLabel(s.prn),
                                        QColor(255, 128, 0), false);
    }
    EXPECT_EQ(Chart(canvas), Rgb(expected));

    // A binary receiver's channels with the table they filled keep their state colours as well.
    SvRecord sv;
    sv.count = 3;
    SatelliteTable channels;
    for (int k = 0; k < 3; ++k)
    {
        SvEntry& e = sv.entries[static_cast<std::size_t>(k)];
        e.prn = static_cast<std::uint8_t>(k + 4);
        e.azimuth = static_cast<std::uint16_t>(100 * k);
        e.elevation = static_cast<std::uint8_t>(20 + 20 * k);
        e.state = 0x1F;
        channels.Upsert(Constellation::Gps, k + 4);
    }
    CRadarCanvas withTable;
    CRadarCanvas withoutTable;
    for (CRadarCanvas* c : {&withTable, &withoutTable})
        c->Resize(QSize(1200, 462));
    withTable.SatelliteUpdate(1, sv, channels);
    withTable.NavigationUpdate(1, NavDisplay{}, 0x33, &channels);
    withoutTable.SatelliteUpdate(1, sv);
    withoutTable.NavigationUpdate(1, NavDisplay{}, 0x33);
    EXPECT_EQ(Chart(withTable, 1), Chart(withoutTable, 1));
}

TEST(SkyChartGnss, FourConstellationsCarryTheirLettersAndALegend)
{
    CData set;
    std::string stream = Sentence("GPGSV,1,1,01,05,45,000,40,1");
    stream += Sentence("GLGSV,1,1,01,76,30,090,35,1");  // slot 12 as 65-96
    stream += Sentence("GAGSV,1,1,01,03,60,200,,7");
    stream += Sentence("GBGSV,1,1,01,21,20,300,38,1");
    stream += Sentence("GNGSA,A,3,05,,,,,,,,,,,,1.5,0.9,1.2,1");
    stream += Sentence("GNGSA,A,3,76,,,,,,,,,,,,1.5,0.9,1.2,2");
    stream += Sentence("GNGSA,A,3,,,,,,,,,,,,,1.5,0.9,1.2,3");
    stream += Sentence("GNGSA,A,3,21,,,,,,,,,,,,1.5,0.9,1.2,4");
    stream += Sentence("GNGGA,101500.00,2446.5180,N,12100.1488,E,1,03,0.9,120.0,M,16.0,M,,");
    Feed(set, stream);
    ASSERT_EQ(set.satellites.Size(), 4U);
    ASSERT_EQ(set.satellites.CountUsed(), 3U);

    CRadarCanvas canvas;
    canvas.Resize(QSize(1200, 462));
    canvas.NmeaUpdate(0, NmeaRecordsOf(set), 12);
    const std::vector<Constellation> legend{Constellation::Gps, Constellation::Glonass,
                                            Constellation::Galileo, Constellation::BeiDou};
    ASSERT_EQ(canvas.ChartConstellations(0), legend);

    const QImage chart = Chart(canvas);
    const int side = canvas.Layout().skySide;
    const SkyGeometry& g = canvas.Sky();
    const struct
    {
        Constellation system;
        const char* label;
        double elevation, azimuth;
        bool used;
    } badges[] = {
        {Constellation::Gps, "G05", 45, 0, true},
        {Constellation::Glonass, "R12", 30, 90, true},
        {Constellation::Galileo, "E03", 60, 200, false},
        {Constellation::BeiDou, "C21", 20, 300, true},
    };
    std::set<QRgb> colours;
    for (const auto& b : badges)
    {
        const QPoint at = At(g, b.elevation, b.azimuth);
        const QColor colour = colours::ConstellationSymbol(b.system);
        colours.insert(colour.rgb());
        const QRect box = BadgeRect(at, QString::fromLatin1(b.label));
        EXPECT_EQ(chart.copy(box), Badge(at, QString::fromLatin1(b.label), colour, b.used, side).copy(box))
            << b.label;
        // Used: a filled box in the constellation's colour; unused: its colour around the idle fill.
        EXPECT_EQ(chart.pixelColor(box.left() + 1, box.bottom() - 1), b.used ? colour : colours::kBadgeIdle)
            << b.label;
        EXPECT_EQ(chart.pixelColor(box.topLeft()), b.used ? colours::kBlack : colour) << b.label;
    }
    EXPECT_EQ(colours.size(), 4U);
    // The legend: one box per constellation down the top right corner, in table order.
    for (std::size_t k = 0; k < legend.size(); ++k)
    {
        const QRect box = LegendBox(side, static_cast<int>(k));
        EXPECT_GE(box.left(), g.c + g.r) << k;
        EXPECT_EQ(chart.pixelColor(box.topLeft() + QPoint(1, 1)), colours::ConstellationSymbol(legend[k]))
            << k;
    }
    EXPECT_EQ(chart.pixelColor(LegendBox(side, 4).topLeft() + QPoint(1, 1)), colours::kSky);

    // Hiding GLONASS takes its badge away at once and leaves its legend box hollow; the others stay.
    ConstellationFilter filter;
    filter.Show(Constellation::Glonass, false);
    canvas.SetConstellationFilter(filter);
    const QImage filtered = Chart(canvas);
    const QPoint glonass = At(g, 30, 90);
    EXPECT_EQ(filtered.pixelColor(glonass + QPoint(-8, 3)), colours::kSky);
    const QRect hollow = LegendBox(side, 1);
    EXPECT_EQ(filtered.pixelColor(hollow.topLeft()), QColor(160, 160, 160));
    EXPECT_EQ(filtered.pixelColor(hollow.topLeft() + QPoint(1, 1)), colours::kSky);
    const QRect gps = BadgeRect(At(g, 45, 0), QStringLiteral("G05"));
    EXPECT_EQ(filtered.copy(gps), chart.copy(gps));
    // Redrawing for the filter leaves no trails and counts no plots.
    EXPECT_EQ(canvas.TrailWarmUp(0), 4);
    filter.Show(Constellation::Glonass, true);
    canvas.SetConstellationFilter(filter);
    EXPECT_EQ(Chart(canvas), chart);
}

TEST(SkyChartGnss, SixtySatellitesStayReadableOnA400PixelChart)
{
    // 2010 × 810: the sky charts are 400 pixels square.
    CRadarCanvas canvas;
    canvas.Resize(QSize(2010, 810));
    ASSERT_EQ(canvas.Layout().skySide, 400);
    // Four elevation rings of fifteen, five constellations of twelve.
    SatelliteTable table;
    const std::array<Constellation, 5> systems{Constellation::Gps, Constellation::Glonass,
                                               Constellation::Galileo, Constellation::BeiDou,
                                               Constellation::Qzss};
    for (int k = 0; k < 60; ++k)
        Put(table, systems[static_cast<std::size_t>(k % 5)], 1 + k / 5, 5 + 15 * (k / 15), 24 * (k % 15),
            30 + k % 20, k % 3 != 0);
    NmeaRecords nmea;
    nmea.satellites = table;
    canvas.NmeaUpdate(1, nmea, 0);
    ASSERT_EQ(canvas.ChartConstellations(1).size(), 5U);

    const QImage chart = Chart(canvas, 1);
    const SkyGeometry& g = canvas.Sky();
    std::vector<QRect> taken;
    for (const SatelliteEntry& e : table.Entries())
    {
        const QPoint at = At(g, e.elevationDeg, e.azimuthDeg);
        const QString label = QString::fromStdString(SatelliteLabel(e.system, e.svid));
        const QRect box = BadgeRect(at, label);
        // The whole label at its full size, inside the chart, covered by no other badge.
        EXPECT_GE(box.height(), 12) << label.toStdString();
        EXPECT_TRUE(chart.rect().contains(box)) << label.toStdString();
        EXPECT_EQ(chart.copy(box),
                  Badge(at, label, colours::ConstellationSymbol(e.system), e.used, 400).copy(box))
            << label.toStdString();
        taken.push_back(box);
    }
    for (int k = 0; k < 5; ++k)
        for (const QRect& box : taken)
            EXPECT_FALSE(LegendBox(400, k).intersects(box)) << k;
}

TEST(SkyChartGnss, BadgesTrailAndCountPlotsLikeTheClassicSymbols)
{
    CRadarCanvas canvas;
    canvas.Resize(QSize(1200, 462));
    SatelliteTable table;
    Put(table, Constellation::Galileo, 11, 30, 90, 40, true);
    Put(table, Constellation::Glonass, 4, 50, 180, 40, true);
    Put(table, Constellation::BeiDou, 9, kNoAngle, kNoAngle, 40, true);  // no angles: not drawn
    NmeaRecords nmea;
    nmea.satellites = table;
    for (int i = 0; i < CRadarCanvas::kTrailWarmUp / 2; ++i)
        canvas.NmeaUpdate(0, nmea, 0);
    const QPoint galileo = At(canvas.Sky(), 30, 90);
    EXPECT_EQ(canvas.SkyBackground(0).pixelColor(galileo), colours::kSky);
    canvas.NmeaUpdate(0, nmea, 0);
    EXPECT_EQ(canvas.SkyBackground(0).pixelColor(galileo - QPoint(1, 1)),
              colours::ConstellationSymbol(Constellation::Galileo));
    // A hidden constellation leaves no trail.
    ConstellationFilter filter;
    filter.Show(Constellation::Glonass, false);
    canvas.SetConstellationFilter(filter);
    canvas.ClearReceiver(0);
    canvas.NmeaUpdate(0, nmea, 0);
    const QPoint glonass = At(canvas.Sky(), 50, 180);
    EXPECT_EQ(canvas.SkyBackground(0).pixelColor(glonass - QPoint(1, 1)), colours::kSky);
    EXPECT_EQ(canvas.SkyBackground(0).pixelColor(galileo - QPoint(1, 1)),
              colours::ConstellationSymbol(Constellation::Galileo));
}
