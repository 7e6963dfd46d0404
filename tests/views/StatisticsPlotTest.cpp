// The Statistics view's drawing painted into an image: the scatter's points where their east and
// north errors put them, the CEP and 2DRMS circles at their radii, the range, the time series.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "analysis/AnalysisTestSupport.h"
#include "views/StatisticsPlot.h"

namespace
{
using namespace vrn::analysis;
using analysistest::Offset;
using analysistest::Point;

const Point kOrigin{24.7753, 121.00248, 150.0};

// Receiver 1 at known offsets from a typed reference, one second apart.
struct Scene
{
    CAccuracyWorkbench bench;
    statistics::Tables tables{};
    statistics::Shown shown{true, false, false};

    explicit Scene(const std::vector<EnuError>& offsets)
    {
        ReferenceChoice c;
        c.kind = ReferenceKind::Position;
        c.latitudeDeg = kOrigin.latitudeDeg;
        c.longitudeDeg = kOrigin.longitudeDeg;
        c.heightM = kOrigin.heightM;
        bench.SetReference(c);
        double t = 2400 * 604800.0 + 1000.0;
        for (const auto& o : offsets)
            bench.AddEpoch(SourceId::Receiver1, analysistest::Epoch(Offset(kOrigin, o.e, o.n, o.u), 3, t++));
        for (const SourceId s : kAllSources)
            tables[Index(s)] = bench.Table(s);
    }
};

// Whether a pixel within `slack` of `at` has `colour`.
bool ColourNear(const QImage& image, QPoint at, QColor colour, int slack = 1)
{
    for (int dy = -slack; dy <= slack; ++dy)
        for (int dx = -slack; dx <= slack; ++dx)
        {
            const QPoint p = at + QPoint(dx, dy);
            if (image.rect().contains(p) && image.pixel(p) == colour.rgb())
                return true;
        }
    return false;
}

TEST(StatisticsPlot, ScatterPointsAndCirclesWhereTheErrorsPutThem)
{
    // h = 1, 2, 3, 4, 7.07: CEP50 3 (rank 3), CEP95 7.07 (rank 5), 2DRMS 2·sqrt(16) = 8.
    const Scene scene({{1, 0, 0}, {0, 2, 0}, {-3, 0, 0}, {0, -4, 0}, {5, 5, 0}});
    const AccuracyTable& t = scene.tables[0];
    EXPECT_NEAR(t.cep50, 3.0, 1e-6);
    EXPECT_NEAR(t.cep95, std::sqrt(50.0), 1e-6);
    EXPECT_NEAR(t.drms2, 8.0, 1e-6);
    EXPECT_EQ(statistics::ScatterRange(scene.tables, scene.shown), 10.0);  // 1.2 × 8 rounded up to 10

    QImage image(400, 400, QImage::Format_RGB32);
    const QRect area(0, 0, 400, 400);
    statistics::PaintScatter(image, area, scene.bench, scene.tables, scene.shown);
    const statistics::ScatterGeometry g = statistics::ScatterLayout(area, 10.0);
    EXPECT_EQ(g.centre, QPoint(200, 200));
    EXPECT_DOUBLE_EQ(g.pixelsPerMetre, 18.2);  // (400 - 2 × 18) / 2 pixels for 10 m

    const QColor point = statistics::SourceColour(SourceId::Receiver1);
    for (const auto& [e, n] : std::vector<std::pair<double, double>>{{1, 0}, {0, 2}, {0, -4}})
    {
        const QPoint at = statistics::ScatterPixel(g, e, n);
        EXPECT_EQ(image.pixelColor(at), point) << e << "," << n;
    }
    // East is to the right and north up.
    EXPECT_EQ(statistics::ScatterPixel(g, 1, 0), QPoint(218, 200));
    EXPECT_EQ(statistics::ScatterPixel(g, 0, 2), QPoint(200, 164));
    // No point where there is none: west of the centre at 2 m.
    EXPECT_NE(image.pixelColor(statistics::ScatterPixel(g, -2, 0)), point);

    // The solid CEP95 circle all round; the dashed CEP50 and dotted 2DRMS on most of theirs.
    const QColor circle = point.darker(130);
    auto share = [&](double radius) {
        int hits = 0;
        for (int k = 0; k < 72; ++k)
        {
            const double a = k * 5.0 * analysistest::kPi / 180.0;
            hits += ColourNear(image, statistics::ScatterPixel(g, radius * std::cos(a), radius * std::sin(a)), circle)
                        ? 1
                        : 0;
        }
        return hits / 72.0;
    };
    EXPECT_GT(share(std::sqrt(50.0)), 0.95);
    EXPECT_GT(share(3.0), 0.4);
    EXPECT_GT(share(8.0), 0.3);
    EXPECT_LT(share(5.5), 0.05);  // nothing between the circles
}

TEST(StatisticsPlot, TimeSeriesSpanTheEpochsAndNothingWithoutAFix)
{
    std::vector<EnuError> offsets;
    for (int k = 0; k < 100; ++k)
        offsets.push_back({0.0, k < 50 ? 1.0 : 3.0, k < 50 ? -2.0 : 2.0});
    const Scene scene(offsets);
    QImage image(600, 300, QImage::Format_RGB32);
    image.fill(Qt::black);
    const statistics::StatisticsLayout layout = statistics::LayoutFor(image.size());
    EXPECT_EQ(layout.scatter, QRect(0, 0, 300, 300));
    EXPECT_EQ(layout.up, QRect(300, 0, 300, 150));
    statistics::PaintStatistics(image, scene.bench, scene.tables, scene.shown);
    const QColor colour = statistics::SourceColour(SourceId::Receiver1);
    // The first row with the source's colour near a fraction of the time axis (100 epochs over more
    // columns leave some columns empty).
    auto columnHas = [&](const QRect& area, double fraction) {
        const int x0 = area.left() + 36 + static_cast<int>(fraction * (area.width() - 45));
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = x0 - 3; x <= x0 + 3; ++x)
                if (image.pixelColor(x, y) == colour)
                    return y;
        return -1;
    };
    // Up: -2 m in the first half, +2 m in the second, on a ±2 m axis; horizontal 1 m then 3 m on 0..5.
    const int upEarly = columnHas(layout.up, 0.2), upLate = columnHas(layout.up, 0.8);
    ASSERT_GE(upEarly, 0);
    ASSERT_GE(upLate, 0);
    EXPECT_GT(upEarly, upLate);  // lower on the image is a smaller value
    const int hEarly = columnHas(layout.horizontal, 0.2), hLate = columnHas(layout.horizontal, 0.8);
    ASSERT_GE(hEarly, 0);
    EXPECT_GT(hEarly, hLate);

    // Nothing but the frame for a source without epochs.
    const Scene empty({});
    QImage blank(600, 300, QImage::Format_RGB32);
    statistics::PaintStatistics(blank, empty.bench, empty.tables, {false, false, false});
    for (int x = 0; x < blank.width(); x += 3)
        for (int y = 0; y < blank.height(); y += 3)
            ASSERT_NE(blank.pixelColor(x, y), colour);
}
}  // namespace
