// Backing images on scaled screens: the ratio chosen for each screen scale, and the radar and signal
// drawings at ratio 2 against the same drawings at ratio 1 (same picture, edges at device resolution
// instead of stretched 2×2 blocks).
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <limits>

#include "SurfaceTestSupport.h"
#include "views/ChannelStrip.h"
#include "views/GdiPaint.h"
#include "views/RadarCanvas.h"

namespace
{
// Logical pixels of `one` whose 3 × 3 neighbourhood has one colour (away from every edge), and how
// many of them `two` (the same drawing at ratio 2) does not show in all four device pixels.
struct Comparison
{
    int compared = 0;
    int different = 0;
};
Comparison CompareInteriors(const QImage& one, const QImage& two)
{
    Comparison c;
    for (int y = 1; y + 1 < one.height(); ++y)
        for (int x = 1; x + 1 < one.width(); ++x)
        {
            const QRgb colour = one.pixel(x, y);
            bool uniform = true;
            for (int dy = -1; dy <= 1 && uniform; ++dy)
                for (int dx = -1; dx <= 1 && uniform; ++dx)
                    uniform = one.pixel(x + dx, y + dy) == colour;
            if (!uniform)
                continue;
            ++c.compared;
            for (const QPoint d : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)})
                if (two.pixel(2 * x + d.x(), 2 * y + d.y()) != colour)
                {
                    ++c.different;
                    break;
                }
        }
    return c;
}

QImage StretchedTwice(const QImage& one)
{
    return one.scaled(one.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

SvRecord Satellites()
{
    SvRecord sv;
    sv.id = kIdSv;
    sv.count = 3;
    sv.entries[0] = {0, 12, 60, 40, 45, 0x7F, 0};  // channel, PRN, azimuth, elevation, SNR, state
    sv.entries[1] = {0, 5, 200, 15, 30, 0x1F, 0};
    sv.entries[2] = {0, 27, 310, 70, 38, 0x01, 0};
    return sv;
}

// The radar drawing after a satellite message and two fixes walking north at 3 m/s.
CRadarCanvas RadarAt(int ratio)
{
    CRadarCanvas canvas;
    RadarSettings settings;
    settings.map = {100, 1, 48.0, 11.0};
    canvas.SetSettings(settings);
    canvas.Resize(QSize(1200, 462), ratio);
    canvas.SatelliteUpdate(0, Satellites());
    for (const double north : {10.0, 40.0})
    {
        NavDisplay nav;
        nav.metresPerDegreeLongitude = MetresPerDegreeLongitude(48.0);
        nav.latitudeDeg = 48.0 + north / kMetresPerDegreeLatitude;
        nav.longitudeDeg = 11.0;
        nav.speedMps = 3.0;
        canvas.NavigationUpdate(0, nav, 0x97);
    }
    return canvas;
}
}  // namespace

TEST(SurfaceRatio, WholeRatioForEveryScreenScale)
{
    const std::pair<double, int> cases[] = {
        {1.0, 1},  {1.0000001, 1}, {1.25, 2}, {1.5, 2}, {1.75, 2}, {2.0, 2}, {2.5, 3},
        {3.0, 3},  {0.5, 1},       {0.0, 1},  {-2.0, 1}, {100.0, 8},
        {std::numeric_limits<double>::quiet_NaN(), 1}, {std::numeric_limits<double>::infinity(), 1},
    };
    for (const auto& [widget, surface] : cases)
        EXPECT_EQ(SurfaceRatio(widget), surface) << widget;

    const QImage image = NewSurface(QSize(30, 20), 2);
    EXPECT_EQ(image.size(), QSize(60, 40));
    EXPECT_EQ(SurfaceSize(image), QSize(30, 20));
    EXPECT_EQ(SurfaceRatioOf(image), 2);
    QImage resized = image;
    EXPECT_FALSE(ResizeSurface(resized, QSize(30, 20), 2));
    EXPECT_TRUE(ResizeSurface(resized, QSize(30, 20), 1));
    EXPECT_EQ(resized.size(), QSize(30, 20));
    EXPECT_TRUE(ResizeSurface(resized, QSize(0, 20), 2));
    EXPECT_TRUE(resized.isNull());
}

TEST(SurfaceRatio, RadarAtRatioTwoIsTheSamePictureWithCrispEdges)
{
    const CRadarCanvas one = RadarAt(1);
    const CRadarCanvas two = RadarAt(2);
    ASSERT_EQ(two.Screen().size(), one.Screen().size() * 2);
    EXPECT_EQ(SurfaceSize(two.Screen()), one.Screen().size());
    EXPECT_EQ(two.Layout().skySide, one.Layout().skySide);
    EXPECT_EQ(two.Ring(0).count, 2);

    const Comparison c = CompareInteriors(one.Screen(), two.Screen());
    ASSERT_GT(c.compared, 300000);
    EXPECT_LT(c.different, c.compared / 200) << c.different << " of " << c.compared;

    // Along the rings of sky chart 1 and track map 1, the ratio-2 drawing changes colour between
    // device pixels, not only every second one; a stretched ratio-1 drawing would not.
    const Box sky = one.Layout().skySquare[0];
    const Box map = one.Layout().trackSquare[0];
    for (const QRect area : {QRect(2 * sky.left + 20, 2 * sky.top + 20, 120, 120),
                             QRect(2 * map.left + 60, 2 * map.top + 60, 200, 200)})
    {
        EXPECT_GT(OffGridEdgeShare(two.Screen(), area), 0.3) << area.x();
        EXPECT_EQ(OffGridEdgeShare(StretchedTwice(one.Screen()), area), 0.0) << area.x();
    }
    // The satellite symbols and their labels too.
    const QRect symbols(2 * sky.left, 2 * sky.top, 2 * sky.Width(), 2 * sky.Height());
    EXPECT_GT(OffGridEdgeShare(two.Screen(), symbols), 0.3);
}

TEST(SurfaceRatio, SignalStripsScrollByWholeSamplesAtRatioTwo)
{
    std::array<CSignalCanvas, 2> canvases;
    for (std::size_t i = 0; i < canvases.size(); ++i)
    {
        CSignalCanvas& canvas = canvases[i];
        canvas.Resize(QSize(740, 750), static_cast<int>(i) + 1);
        canvas.PassWarmUp();
        canvas.PassWarmUp();
        SvRecord sv = Satellites();
        for (const int snr : {45, 30, 38, 50, 22})
        {
            sv.entries[0].signal = static_cast<std::uint8_t>(snr);
            sv.entries[1].signal = static_cast<std::uint8_t>(70 - snr);
            canvas.DrawSatelliteRows(sv);
        }
    }
    const QImage& one = canvases[0].Screen();
    const QImage& two = canvases[1].Screen();
    ASSERT_EQ(two.size(), one.size() * 2);
    const Comparison c = CompareInteriors(one, two);
    ASSERT_GT(c.compared, 200000);
    EXPECT_LT(c.different, c.compared / 200) << c.different << " of " << c.compared;
    // The five bars of row 0 stand where they stand at ratio 1.
    const ChannelStrip& strip1 = canvases[0].Strip(0);
    const ChannelStrip& strip2 = canvases[1].Strip(0);
    const int step = strip1.SampleWidth();
    for (int k = 0; k < 5; ++k)
    {
        const int x = 49 * step + 2 + step / 2 - 2 - k * step;
        const int y = strip1.GraphHeight() - 5;
        EXPECT_EQ(strip2.Graph().pixelColor(2 * x, 2 * y), strip1.Graph().pixelColor(x, y)) << k;
    }
}
