// Sky chart drawing: positions of satellites and the arrow on the chart, colours, trails, repaint.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>

#include "views/DrawingResources.h"
#include "views/RadarCanvas.h"
#include "views/SkyChart.h"

namespace
{
constexpr int kSide = 230;  // r = 100, c = 115, q = 50

QImage SkyImage()
{
    QImage image(kSide, kSide, QImage::Format_RGB32);
    QPainter painter(&image);
    DrawSkyBackground(painter, kSide);
    return image;
}

QColor Pixel(const QImage& image, QPoint p)
{
    return image.pixelColor(p);
}

SkySatellite Satellite(double elevation, double azimuth)
{
    return {7, elevation, azimuth, QColor(255, 0, 0)};
}

// A canvas whose sky charts have the side 230: width 1200, height 462.
CRadarCanvas Canvas()
{
    CRadarCanvas canvas;
    canvas.Resize(QSize(1200, 462));
    return canvas;
}

SvRecord OneSatellite(int prn, int elevation, int azimuth, std::uint8_t state)
{
    SvRecord sv;
    sv.id = kIdSv;
    sv.count = 1;
    sv.entries[0].prn = static_cast<std::uint8_t>(prn);
    sv.entries[0].elevation = static_cast<std::uint8_t>(elevation);
    sv.entries[0].azimuth = static_cast<std::uint16_t>(azimuth);
    sv.entries[0].state = state;
    return sv;
}
}  // namespace

TEST(SkyChartGeometry, LayoutSplitsTheWindowIntoMapsAndCharts)
{
    const RadarLayout layout = ComputeRadarLayout(1000, 400);
    // a = 400: maps (1,0,400,400) and (401,0,800,400); charts right of them, one above the other.
    EXPECT_EQ(layout.trackArea[1], (Box{401, 0, 800, 400}));
    EXPECT_EQ(layout.skyArea[0], (Box{801, 0, 999, 199}));
    EXPECT_EQ(layout.skyArea[1], (Box{801, 200, 999, 400}));
    EXPECT_EQ(layout.trackSquare[0], (Box{1, 0, 400, 399}));
    EXPECT_EQ(layout.skySquare[0], (Box{801, 0, 999, 198}));
    EXPECT_EQ(layout.skySquare[1], (Box{801, 201, 999, 399}));
    EXPECT_EQ(layout.skySide, 198);
    EXPECT_EQ(layout.mapSide, 399);
}

TEST(SkyChartGeometry, SatellitesSitOnTheirElevationRings)
{
    const SkyGeometry g = SkyGeometryFor(kSide);
    ASSERT_EQ(g.r, 100);
    ASSERT_EQ(g.c, 115);
    EXPECT_EQ(SatellitePoint(g, Satellite(90, 123), 0.0), QPoint(115, 115));
    EXPECT_EQ(SatellitePoint(g, Satellite(0, 0), 0.0), QPoint(115, 15));
    EXPECT_EQ(SatellitePoint(g, Satellite(45, 0), 0.0), QPoint(115, 65));

    const QImage sky = SkyImage();
    // The rings run through those points in white.
    EXPECT_EQ(Pixel(sky, {115, 15}), QColor(255, 255, 255));
    EXPECT_EQ(Pixel(sky, {115, 65}), QColor(255, 255, 255));
    EXPECT_EQ(Pixel(sky, {115, 64}), QColor(11, 121, 201));
    EXPECT_EQ(Pixel(sky, {115, 115}), QColor(11, 121, 201));
}

TEST(SkyChartGeometry, OrientationTurnsTheChart)
{
    const SkyGeometry g = SkyGeometryFor(kSide);
    const double course = 90 * 0.017453292519943295;
    const auto northUp = SatellitePoint(g, Satellite(0, 90), OrientationOffset(0, course));
    ASSERT_TRUE(northUp);
    EXPECT_GT(northUp->x(), g.c);
    EXPECT_NEAR(northUp->y(), g.c, 1);
    const auto headingUp = SatellitePoint(g, Satellite(0, 90), OrientationOffset(1, course));
    ASSERT_TRUE(headingUp);
    EXPECT_NEAR(headingUp->x(), g.c, 1);
    EXPECT_LT(headingUp->y(), g.c);
}

TEST(SkyChartDrawing, SymbolsTakeTheSixStateColours)
{
    const std::array<std::pair<std::uint8_t, QColor>, 6> cases{{{0x7F, QColor(255, 0, 0)},
                                                                {0x3F, QColor(255, 255, 0)},
                                                                {0x1F, QColor(0, 255, 0)},
                                                                {0x0F, QColor(0, 255, 255)},
                                                                {0x01, QColor(191, 128, 255)},
                                                                {0x00, QColor(192, 192, 192)}}};
    for (const auto& [state, colour] : cases)
    {
        const auto satellites = SatellitesFromSv(OneSatellite(3, 90, 0, state));
        ASSERT_EQ(satellites.size(), 1U);
        QImage image = SkyImage();
        QPainter painter(&image);
        DrawSatelliteSymbol(painter, QPoint(100, 100), QString(), satellites[0].colour, false);
        painter.end();
        EXPECT_EQ(Pixel(image, {100, 108}), colour) << int(state);
        EXPECT_EQ(Pixel(image, {92, 100}), colour) << int(state);
    }
    // The legend shows the same colours in class order.
    const QImage sky = SkyImage();
    EXPECT_EQ(Pixel(sky, {8, kSide - 30}), QColor(255, 0, 0));
    EXPECT_EQ(Pixel(sky, {8, kSide - 5}), QColor(192, 192, 192));
}

TEST(SkyChartDrawing, ALabelledSymbolIsTenPixelsAroundItsPointAndATrailTwo)
{
    QImage image = SkyImage();
    QPainter painter(&image);
    DrawSatelliteSymbol(painter, QPoint(60, 60), PrnLabel(12), QColor(0, 255, 0), false);
    DrawSatelliteSymbol(painter, QPoint(160, 160), QString(), QColor(0, 255, 0), true);
    painter.end();
    EXPECT_EQ(Pixel(image, {60, 51}), QColor(0, 255, 0));
    EXPECT_EQ(Pixel(image, {60, 48}), QColor(11, 121, 201));
    // The dot covers the box (x - 1, y - 1, x + 1, y + 1) and nothing more.
    EXPECT_EQ(Pixel(image, {159, 159}), QColor(0, 255, 0));
    EXPECT_EQ(Pixel(image, {162, 160}), QColor(11, 121, 201));
    EXPECT_EQ(Pixel(image, {160, 162}), QColor(11, 121, 201));
    EXPECT_EQ(PrnLabel(5), QStringLiteral(" 5"));
}

TEST(SkyChartDrawing, ArrowStaysInsideTheRingUntilTheSpeedPassesTheOuterVelocity)
{
    const SkyGeometry g = SkyGeometryFor(kSide);
    EXPECT_EQ(ArrowLength(4.0, 4.0, g.r), g.r);
    EXPECT_EQ(ArrowLength(2.0, 4.0, g.r), g.r / 2);
    EXPECT_EQ(ArrowLength(4.1, 4.0, g.r), g.r + 10);
    EXPECT_EQ(ArrowLength(400.0, 4.0, g.r), g.r + 10);
    EXPECT_FALSE(ArrowLength(std::nan(""), 4.0, g.r));
    // A velocity that is not positive falls back to 4 m/s.
    EXPECT_EQ(ArrowLength(4.0, 0.0, g.r), g.r);
    EXPECT_EQ(ArrowLength(4.0, -1.0, g.r), g.r);

    // Course 90°: the shaft runs right of the centre; a clearly faster arrow reaches r + 10 - 1.
    QImage image = SkyImage();
    QPainter painter(&image);
    DrawVelocityArrow(painter, g, 100.0, 4.0, 90 * 0.017453292519943295, 0.0);
    painter.end();
    EXPECT_EQ(Pixel(image, {g.c + 50, g.c}), QColor(255, 0, 0));
    EXPECT_EQ(Pixel(image, {g.c + g.r + 8, g.c}), QColor(255, 0, 0));
    EXPECT_NE(Pixel(image, {g.c + g.r + 12, g.c}), QColor(255, 0, 0));
}

TEST(SkyChartDrawing, ShortArrowsHaveNoBarbs)
{
    EXPECT_EQ(ArrowBarbRadius(5), 0);
    EXPECT_EQ(ArrowBarbRadius(0), 0);
    EXPECT_EQ(ArrowBarbRadius(6), 1);
    EXPECT_EQ(ArrowBarbRadius(110), 105);
}

TEST(SkyChartDrawing, NorthMarkerSitsOnTheRingInTheNorthDirection)
{
    const SkyGeometry g = SkyGeometryFor(kSide);
    QImage image = SkyImage();
    QPainter painter(&image);
    DrawNorthMarker(painter, g, 0.0);
    painter.end();
    // White letter over the sky colour around (c, c - r).
    int white = 0;
    for (int y = g.c - g.r - 8; y <= g.c - g.r + 8; ++y)
        for (int x = g.c - 6; x <= g.c + 6; ++x)
            if (Pixel(image, {x, y}) == QColor(255, 255, 255))
                ++white;
    EXPECT_GT(white, 10);
}

TEST(SkyChartSatellites, OnlyTheFirstTwelveEntriesOfAnyCountArePlotted)
{
    SvRecord sv;
    sv.count = 255;
    for (std::size_t i = 0; i < sv.entries.size(); ++i)
        sv.entries[i].prn = static_cast<std::uint8_t>(i + 1);
    sv.entries[3].prn = 0;
    EXPECT_EQ(SatellitesFromSv(sv).size(), 11U);
    sv.count = 2;
    EXPECT_EQ(SatellitesFromSv(sv).size(), 2U);

    std::array<GsvRecord, 3> gsv{};
    gsv[0].satellites[0] = {5, 40, 10, 30};
    gsv[2].satellites[3] = {31, 10, 200, 40};
    gsv[1].satellites[1] = {0, 40, 10, 30};
    const auto nmea = SatellitesFromGsv(gsv);
    ASSERT_EQ(nmea.size(), 2U);
    EXPECT_EQ(nmea[1].prn, 31);
    EXPECT_EQ(nmea[1].colour, QColor(255, 128, 0));
}

TEST(RadarCanvas, TrailsStartWithTheEightyFirstPlot)
{
    CRadarCanvas canvas = Canvas();
    ASSERT_EQ(canvas.Layout().skySide, kSide);
    canvas.SatelliteUpdate(0, OneSatellite(9, 30, 90, 0x7F));
    const QPoint at = *SatellitePoint(canvas.Sky(), Satellite(30, 90), 0.0);
    NavDisplay nav;
    for (int i = 0; i < CRadarCanvas::kTrailWarmUp; ++i)
        canvas.NavigationUpdate(0, nav, 0);
    EXPECT_EQ(canvas.SkyBackground(0).pixelColor(at), QColor(11, 121, 201));
    canvas.NavigationUpdate(0, nav, 0);
    EXPECT_EQ(canvas.SkyBackground(0).pixelColor(at.x() - 1, at.y() - 1), QColor(255, 0, 0));
    // Receiver 2 counts its own plots.
    EXPECT_EQ(canvas.TrailWarmUp(1), 0);
    // A clear removes the trail but keeps the count; an initialisation command resets it.
    canvas.ClearReceiver(0);
    EXPECT_EQ(canvas.SkyBackground(0).pixelColor(at.x() - 1, at.y() - 1), QColor(11, 121, 201));
    EXPECT_EQ(canvas.TrailWarmUp(0), CRadarCanvas::kTrailWarmUp);
}

TEST(RadarCanvas, RepaintShowsBackgroundsAndTrackPointsButNoSymbols)
{
    CRadarCanvas canvas = Canvas();
    canvas.SatelliteUpdate(1, OneSatellite(9, 90, 0, 0x1F));
    NavDisplay nav;
    canvas.NavigationUpdate(1, nav, 0);
    const Box sky = canvas.Layout().skySquare[1];
    const QPoint centre(sky.left + canvas.Sky().c - 8, sky.top + canvas.Sky().c);
    EXPECT_EQ(canvas.Screen().pixelColor(centre), QColor(0, 255, 0));
    const Box map = canvas.Layout().trackSquare[1];
    const int m = canvas.Layout().mapSide / 2;
    EXPECT_EQ(canvas.Screen().pixelColor(map.left + m, map.top + m), QColor(255, 0, 0));

    canvas.Repaint();
    EXPECT_EQ(canvas.Screen().pixelColor(centre), QColor(11, 121, 201));
    EXPECT_EQ(canvas.Screen().pixelColor(map.left + m, map.top + m), QColor(255, 0, 0));
}

TEST(RadarCanvas, AnUpdateBeforeTheFirstPaintBuildsTheBitmaps)
{
    CRadarCanvas canvas;
    canvas.NavigationUpdate(0, NavDisplay{}, 0x97);
    EXPECT_EQ(canvas.Fixes(0).units, 1U);
    EXPECT_TRUE(canvas.Screen().isNull());
}

TEST(RadarCanvas, SliversOfWindowDrawNothingAndDoNotFail)
{
    CRadarCanvas canvas;
    canvas.SatelliteUpdate(0, OneSatellite(9, 45, 90, 0x7F));
    for (const QSize size :
         {QSize(0, 0), QSize(1, 1), QSize(3, 300), QSize(300, 3), QSize(40, 40), QSize(-5, 10)})
    {
        canvas.Resize(size);
        canvas.NavigationUpdate(0, NavDisplay{}, 0);
        canvas.ClearReceiver(1);
        canvas.DopUpdate(0, DopRecord{});
    }
    SUCCEED();
}

TEST(RadarCanvas, HitTestFindsTheMapsAndTheCharts)
{
    CRadarCanvas canvas = Canvas();
    const RadarLayout& l = canvas.Layout();
    EXPECT_EQ(canvas.HitTest(QPoint(l.trackSquare[0].left + 5, l.trackSquare[0].top + 5)),
              CRadarCanvas::Hit::TrackMap);
    EXPECT_EQ(canvas.HitTest(QPoint(l.skySquare[1].left + 5, l.skySquare[1].bottom)),
              CRadarCanvas::Hit::SkyChart);
    EXPECT_EQ(canvas.HitTest(QPoint(l.skySquare[0].left - 1, 10)), CRadarCanvas::Hit::None);
}
