// Track map: where positions land, the colour gradient of the newest eight, the caption.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <limits>
#include <vector>

#include "views/RadarCanvas.h"
#include "views/TrackMap.h"

namespace
{
constexpr int kSide = 400;  // m = 200, R = 160

struct Map
{
    QImage image{kSide, kSide, QImage::Format_RGB32};
    TrackRing ring;
    TrackMapSettings settings{100, 1, 48.0, 11.0};
    double k = PixelsPerMetre(OuterRingRadius(kSide), settings.scale);
    double metresPerDegree = MetresPerDegreeLongitude(48.0);

    Map()
    {
        QPainter painter(&image);
        DrawEmptyMap(painter, kSide, settings.scale);
    }
    QPoint Add(double northM, double eastM)
    {
        const double latitude = settings.latitude + northM / kMetresPerDegreeLatitude;
        const double longitude = settings.longitude + eastM / metresPerDegree;
        const auto p = TrackMapPoint(kSide, k, latitude, longitude, settings, metresPerDegree);
        const auto offset = TrackMapOffset(latitude, longitude, settings, metresPerDegree);
        EXPECT_TRUE(p && offset);
        QPainter painter(&image);
        AddTrackPoint(painter, ring, *offset, kSide, k);
        return *p;
    }
};
}  // namespace

TEST(TrackMap, PixelsPerMetreUseTheWholeRatioAndAScaleOfAtLeastOne)
{
    EXPECT_DOUBLE_EQ(PixelsPerMetre(160, 100), 1.6);
    EXPECT_DOUBLE_EQ(PixelsPerMetre(160, 0), 160.0);
    EXPECT_DOUBLE_EQ(PixelsPerMetre(160, -5), 160.0);
    EXPECT_EQ(OuterRingRadius(kSide), 160);
}

TEST(TrackMap, ReferencePointIsTheCentreAndOneScaleNorthTheOuterRing)
{
    Map map;
    EXPECT_EQ(map.Add(0, 0), QPoint(200, 200));
    const QPoint north = map.Add(100.0, 0.0);
    EXPECT_EQ(north.x(), 200);
    EXPECT_NEAR(north.y(), 200 - 160, 1);
    const QPoint east = map.Add(0.0, 50.0);
    EXPECT_NEAR(east.x(), 200 + 80, 1);
    // The outer ring is drawn through that northern point.
    QImage empty(kSide, kSide, QImage::Format_RGB32);
    QPainter painter(&empty);
    DrawEmptyMap(painter, kSide, 100);
    painter.end();
    EXPECT_EQ(empty.pixelColor(200, 40), QColor(255, 255, 255));
    EXPECT_EQ(empty.pixelColor(200, 38), QColor(0, 128, 128));
}

TEST(TrackMap, PositionsOffTheMapArePinnedToTheEdgeAndBadOnesSkipped)
{
    const TrackMapSettings settings{1, 1, 0.0, 0.0};
    const double k = PixelsPerMetre(160, 1);
    // A receiver's all-zero position before its first fix is far away at scale 1.
    const auto far = TrackMapPoint(kSide, k, -89.0, 179.0, settings, 111199.233);
    ASSERT_TRUE(far);
    EXPECT_EQ(*far, QPoint(kSide - 1, kSide - 1));
    const auto west = TrackMapPoint(kSide, k, 89.0, -179.0, settings, 111199.233);
    EXPECT_EQ(*west, QPoint(0, 0));
    EXPECT_FALSE(TrackMapPoint(kSide, k, std::numeric_limits<double>::quiet_NaN(), 0.0, settings, 1.0));
    EXPECT_FALSE(TrackMapPoint(kSide, k, 0.0, std::numeric_limits<double>::infinity(), settings, 1.0));
}

TEST(TrackMap, NewestPointsRunFromBlueToRed)
{
    Map map;
    const QPoint a = map.Add(10, 0);
    const QPoint b = map.Add(20, 0);
    const QPoint c = map.Add(30, 0);
    EXPECT_EQ(map.image.pixelColor(a), QColor(160, 0, 90));
    EXPECT_EQ(map.image.pixelColor(b), QColor(192, 0, 58));
    EXPECT_EQ(map.image.pixelColor(c), QColor(255, 0, 0));
    for (int i = 4; i <= 8; ++i)
        map.Add(10.0 * i, 0);
    EXPECT_EQ(map.image.pixelColor(a), QColor(0, 0, 220));
    // The ninth fix: the first point is no longer redrawn and keeps the oldest colour.
    map.Add(-30, 0);
    EXPECT_EQ(map.image.pixelColor(a), QColor(0, 0, 220));
    EXPECT_EQ(map.image.pixelColor(b), QColor(0, 0, 220));
    EXPECT_EQ(map.image.pixelColor(c), QColor(58, 0, 192));
    EXPECT_EQ(map.ring.count, 8);
}

TEST(TrackMap, CaptionShowsTheScaleAlongTheBottomEdge)
{
    EXPECT_EQ(MapCaption(100), QStringLiteral("Outer circle radius: 100 m"));
    QImage image(kSide, kSide, QImage::Format_RGB32);
    QPainter painter(&image);
    DrawEmptyMap(painter, kSide, 100);
    painter.end();
    int white = 0;
    for (int y = kSide - 14; y < kSide; ++y)
        for (int x = 100; x < 300; ++x)
            if (image.pixelColor(x, y) == QColor(255, 255, 255))
                ++white;
    EXPECT_GT(white, 40);
    EXPECT_EQ(image.pixelColor(3, 3), QColor(0, 128, 128));
}

namespace
{
// A fix `northM` metres north and `eastM` east of the map's reference point (48° N, 11° E).
NavDisplay FixAt(double northM, double eastM)
{
    NavDisplay nav;
    nav.metresPerDegreeLongitude = MetresPerDegreeLongitude(48.0);
    nav.latitudeDeg = 48.0 + northM / kMetresPerDegreeLatitude;
    nav.longitudeDeg = 11.0 + eastM / nav.metresPerDegreeLongitude;
    return nav;
}

// Where the canvas should show a fix on receiver 1's map, in screen pixels.
QPoint OnScreen(const CRadarCanvas& canvas, double northM, double eastM)
{
    const Box square = canvas.Layout().trackSquare[0];
    const auto p = TrackMapPixel(canvas.Layout().mapSide, canvas.PixelsPerMetre(), {eastM, northM});
    EXPECT_TRUE(p);
    return *p + QPoint(square.left, square.top);
}
}  // namespace

TEST(TrackMap, AResizeRedrawsTheSameTrackAtTheNewScale)
{
    CRadarCanvas canvas;
    RadarSettings settings;
    settings.map = {100, 1, 48.0, 11.0};
    canvas.SetSettings(settings);
    canvas.Resize(QSize(1200, 462));  // map side 462
    struct Fix
    {
        double north, east;
        QColor colour;  // after the fourth fix
    };
    const std::array<Fix, 4> fixes{{{20, 10, QColor(112, 0, 122)},
                                    {40, -15, QColor(160, 0, 90)},
                                    {60, 30, QColor(192, 0, 58)},
                                    {-25, -35, QColor(255, 0, 0)}}};
    std::vector<QPoint> before;
    for (std::size_t i = 0; i < 3; ++i)
    {
        canvas.NavigationUpdate(0, FixAt(fixes[i].north, fixes[i].east), 0);
        before.push_back(OnScreen(canvas, fixes[i].north, fixes[i].east));
    }
    const double oldScale = canvas.PixelsPerMetre();

    for (const QSize size : {QSize(1500, 700), QSize(900, 400)})
    {
        canvas.Resize(size);
        ASSERT_NE(canvas.PixelsPerMetre(), oldScale);
        // The rebuilt map shows the three points where the new scale puts them, newest red.
        const std::array<QColor, 3> colours{QColor(160, 0, 90), QColor(192, 0, 58), QColor(255, 0, 0)};
        for (std::size_t i = 0; i < 3; ++i)
        {
            const QPoint at = OnScreen(canvas, fixes[i].north, fixes[i].east);
            EXPECT_EQ(canvas.Screen().pixelColor(at), colours[i]) << size.width() << " fix " << i;
            // Nothing is left at the pixels the old size gave them.
            if ((at - before[i]).manhattanLength() > 6)
            {
                EXPECT_NE(canvas.Screen().pixelColor(before[i]), colours[i]) << size.width() << " fix " << i;
            }
        }
    }
    // The next fix redraws all four at the new scale.
    canvas.NavigationUpdate(0, FixAt(fixes[3].north, fixes[3].east), 0);
    for (std::size_t i = 0; i < fixes.size(); ++i)
    {
        const QPoint at = OnScreen(canvas, fixes[i].north, fixes[i].east);
        EXPECT_EQ(canvas.Screen().pixelColor(at), fixes[i].colour) << "fix " << i;
    }
    EXPECT_EQ(canvas.Ring(0).count, 4);
    // A clear still empties the ring: a later resize brings nothing back.
    canvas.ClearReceiver(0);
    canvas.Resize(QSize(1200, 462));
    const QPoint last = OnScreen(canvas, fixes[3].north, fixes[3].east);
    EXPECT_EQ(canvas.Screen().pixelColor(last), QColor(0, 128, 128));
}
