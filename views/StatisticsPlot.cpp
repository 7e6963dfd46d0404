// The Statistics view's drawings; see the header. The points are written straight into the image's
// pixels (a day of three sources is a quarter of a million of them); lines, circles and text go
// through QPainter.
#include "views/StatisticsPlot.h"

#include <QFont>
#include <QLine>
#include <QPainter>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace statistics
{
namespace
{
using vrn::analysis::EpochError;
using vrn::analysis::EpochState;
using vrn::analysis::kAllSources;

constexpr int kMargin = 18;  // room for the labels around a plot
const QColor kGrid{200, 200, 200};
const QColor kText{0, 0, 0};

// The first of 1, 2, 5 × 10^k at or above `value` (at least `minimum`).
double NiceAbove(double value, double minimum)
{
    if (!(value > minimum))
        return minimum;
    const double decade = std::pow(10.0, std::floor(std::log10(value)));
    for (const double step : {1.0, 2.0, 5.0, 10.0})
        if (step * decade >= value)
            return step * decade;
    return 10.0 * decade;
}

QString Metres(double value)
{
    return value >= 1.0 ? QString::number(value, 'g', 6) + QStringLiteral(" m")
                        : QString::number(value, 'g', 3) + QStringLiteral(" m");
}

// Makes sure the image can take raw 32-bit pixels.
void EnsureRgb32(QImage& image)
{
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied &&
        image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
}
}  // namespace

QColor SourceColour(SourceId source)
{
    switch (source)
    {
        case SourceId::Receiver1:
            return {0, 70, 220};
        case SourceId::Receiver2:
            return {0, 150, 40};
        case SourceId::Own:
            return {220, 30, 30};
    }
    return {0, 0, 0};
}

double ScatterRange(const Tables& tables, const Shown& shown)
{
    double largest = 0.0;
    for (const SourceId s : kAllSources)
    {
        const AccuracyTable& t = tables[vrn::analysis::Index(s)];
        if (!shown[vrn::analysis::Index(s)] || t.fixed == 0)
            continue;
        for (const double v : {t.cep95, t.drms2})
            if (std::isfinite(v))
                largest = std::max(largest, v);
    }
    return NiceAbove(1.2 * largest, 1.0);
}

ScatterGeometry ScatterLayout(QRect area, double rangeM)
{
    ScatterGeometry g;
    const int side = std::max(2, std::min(area.width(), area.height()) - 2 * kMargin);
    g.centre = QPoint(area.left() + area.width() / 2, area.top() + area.height() / 2);
    g.rangeM = rangeM > 0.0 ? rangeM : 1.0;
    g.pixelsPerMetre = (side / 2) / g.rangeM;
    return g;
}

QPoint ScatterPixel(const ScatterGeometry& g, double east, double north)
{
    return {g.centre.x() + static_cast<int>(std::lround(east * g.pixelsPerMetre)),
            g.centre.y() - static_cast<int>(std::lround(north * g.pixelsPerMetre))};
}

int RadiusPixels(const ScatterGeometry& g, double metres)
{
    return static_cast<int>(std::lround(metres * g.pixelsPerMetre));
}

StatisticsLayout LayoutFor(QSize size)
{
    StatisticsLayout l;
    const int side = std::max(1, std::min(size.height(), size.width() / 2));
    l.scatter = QRect(0, 0, side, side);
    const int right = size.width() - side;
    const int half = size.height() / 2;
    l.up = QRect(side, 0, right, half);
    l.horizontal = QRect(side, half, right, size.height() - half);
    return l;
}

void PaintScatter(QImage& image, QRect area, const CAccuracyWorkbench& workbench, const Tables& tables,
                  const Shown& shown)
{
    EnsureRgb32(image);
    const ScatterGeometry g = ScatterLayout(area, ScatterRange(tables, shown));
    const int r = RadiusPixels(g, g.rangeM);
    const QRect plot(g.centre.x() - r, g.centre.y() - r, 2 * r + 1, 2 * r + 1);
    {
        QPainter p(&image);
        p.setClipRect(area);
        p.fillRect(area, Qt::white);
        p.setPen(QPen(kGrid, 1, Qt::DotLine));
        p.drawEllipse(g.centre, r / 2, r / 2);
        p.drawEllipse(g.centre, r, r);
        p.setPen(QPen(kGrid, 1));
        p.drawLine(plot.left(), g.centre.y(), plot.right(), g.centre.y());
        p.drawLine(g.centre.x(), plot.top(), g.centre.x(), plot.bottom());
        p.setPen(kText);
        p.setFont(QFont(QStringLiteral("Arial"), 8));
        p.drawText(QRect(area.left(), area.top(), area.width(), kMargin), Qt::AlignCenter, QStringLiteral("N"));
        p.drawText(QRect(area.right() - kMargin, g.centre.y() - kMargin / 2, kMargin, kMargin), Qt::AlignCenter,
                   QStringLiteral("E"));
        p.drawText(QRect(area.left() + 4, area.bottom() - kMargin, area.width() - 8, kMargin),
                   Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("outer ring %1").arg(Metres(g.rangeM)));
    }

    // Points, 2 by 2 pixels, straight into the image.
    const QRect inside = plot.intersected(area).intersected(image.rect());
    auto* pixels = reinterpret_cast<QRgb*>(image.bits());  // one detach for the whole loop
    const auto stride = static_cast<std::size_t>(image.bytesPerLine()) / sizeof(QRgb);
    for (const SourceId s : kAllSources)
    {
        if (!shown[vrn::analysis::Index(s)])
            continue;
        const QRgb colour = SourceColour(s).rgb();
        workbench.ForEachError(s, [&](const EpochError& error) {
            if (error.state != EpochState::Counted)
                return;
            const double fx = g.centre.x() + error.error.e * g.pixelsPerMetre;
            const double fy = g.centre.y() - error.error.n * g.pixelsPerMetre;
            if (!(fx > inside.left() - 2.0 && fx < inside.right() + 1.0 && fy > inside.top() - 2.0 &&
                  fy < inside.bottom() + 1.0))
                return;  // off the plot (or not a number)
            // Rounded to the nearest pixel (both are above -2 here, so the truncation of +0.5 rounds).
            const int x = static_cast<int>(fx + 2.5) - 2, y = static_cast<int>(fy + 2.5) - 2;
            for (int row = std::max(y, inside.top()); row <= std::min(y + 1, inside.bottom()); ++row)
                for (int column = std::max(x, inside.left()); column <= std::min(x + 1, inside.right()); ++column)
                    pixels[static_cast<std::size_t>(row) * stride + static_cast<std::size_t>(column)] = colour;
        });
    }

    // Circles over the points: CEP50 dashed, CEP95 solid, 2DRMS dotted.
    QPainter p(&image);
    p.setClipRect(area);
    for (const SourceId s : kAllSources)
    {
        const AccuracyTable& t = tables[vrn::analysis::Index(s)];
        if (!shown[vrn::analysis::Index(s)] || t.fixed == 0)
            continue;
        const QColor colour = SourceColour(s).darker(130);
        const std::array<std::pair<double, Qt::PenStyle>, 3> circles{
            {{t.cep50, Qt::DashLine}, {t.cep95, Qt::SolidLine}, {t.drms2, Qt::DotLine}}};
        for (const auto& [metres, style] : circles)
        {
            p.setPen(QPen(colour, 1, style));
            const int radius = RadiusPixels(g, metres);
            p.drawEllipse(g.centre, radius, radius);
        }
    }
    p.setPen(kText);
    p.setFont(QFont(QStringLiteral("Arial"), 8));
    p.drawText(QRect(area.left() + 4, area.top() + 2, area.width() - 8, kMargin), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("CEP50 - -   CEP95 \u2014   2DRMS \u00b7\u00b7\u00b7"));
}

namespace
{
// One source's smallest and largest up and horizontal errors per pixel column of the time axis.
struct Columns
{
    std::vector<double> upLow, upHigh, hLow, hHigh;
    explicit Columns(std::size_t n)
        : upLow(n, std::numeric_limits<double>::infinity()),
          upHigh(n, -std::numeric_limits<double>::infinity()),
          hLow(n, std::numeric_limits<double>::infinity()),
          hHigh(n, -std::numeric_limits<double>::infinity())
    {
    }
};

// GPS time of the first (or last) epoch of a series that has one; NaN when none has.
double EndTime(const vrn::analysis::CPositionSeries& series, bool last)
{
    for (std::size_t k = 0; k < series.Size(); ++k)
    {
        const double t = series.At(last ? series.Size() - 1 - k : k).GpsSeconds();
        if (std::isfinite(t))
            return t;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

void PaintSeriesFrame(QPainter& p, QRect area, QRect plot, Series series, double range, double bottom, double span)
{
    p.fillRect(area, Qt::white);
    p.setPen(QPen(kGrid, 1));
    p.drawRect(plot.adjusted(0, 0, -1, -1));
    p.setPen(kText);
    p.setFont(QFont(QStringLiteral("Arial"), 8));
    p.drawText(QRect(area.left(), area.top(), area.width(), kMargin), Qt::AlignCenter,
               series == Series::Up ? QStringLiteral("Up error") : QStringLiteral("Horizontal error"));
    p.drawText(QRect(area.left(), plot.top() - kMargin / 2, kMargin * 2 - 2, kMargin), Qt::AlignRight | Qt::AlignVCenter,
               QString::number(range, 'g', 4));
    p.drawText(QRect(area.left(), plot.bottom() - kMargin / 2, kMargin * 2 - 2, kMargin),
               Qt::AlignRight | Qt::AlignVCenter, QString::number(bottom, 'g', 4));
    if (span > 0.0)
        p.drawText(QRect(plot.left(), plot.bottom(), plot.width(), kMargin), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("%1 s").arg(std::lround(span)));
}
}  // namespace

void PaintSeriesPair(QImage& image, QRect upArea, QRect horizontalArea, const CAccuracyWorkbench& workbench,
                     const Shown& shown)
{
    EnsureRgb32(image);
    const QRect upPlot = upArea.adjusted(kMargin * 2, kMargin, -kMargin / 2, -kMargin);
    const QRect hPlot = horizontalArea.adjusted(kMargin * 2, kMargin, -kMargin / 2, -kMargin);
    const int columns = std::min(upPlot.width(), hPlot.width());
    QPainter p(&image);
    if (columns < 2 || upPlot.height() < 2 || hPlot.height() < 2)
    {
        p.fillRect(upArea, Qt::white);
        p.fillRect(horizontalArea, Qt::white);
        return;
    }

    // The time axis spans the shown sources' epochs (each series runs in time order).
    double t0 = std::numeric_limits<double>::infinity(), t1 = -t0;
    for (const SourceId s : kAllSources)
    {
        if (!shown[vrn::analysis::Index(s)])
            continue;
        const auto& epochs = workbench.Series(s);
        const double first = EndTime(epochs, false), last = EndTime(epochs, true);
        if (std::isfinite(first))
            t0 = std::min(t0, first), t1 = std::max(t1, last);
    }
    const bool haveTime = std::isfinite(t0);
    const double span = haveTime ? std::max(t1 - t0, 1.0) : 1.0;
    const double perSecond = (columns - 1) / span;

    // One pass over each source for both plots.
    std::array<std::optional<Columns>, kSourceCount> perSource;
    double largestUp = 0.0, largestH = 0.0;
    for (const SourceId s : kAllSources)
    {
        if (!shown[vrn::analysis::Index(s)] || !haveTime)
            continue;
        Columns& c = perSource[vrn::analysis::Index(s)].emplace(static_cast<std::size_t>(columns));
        workbench.ForEachEpoch(s, [&](const vrn::analysis::PositionEpoch& epoch, const EpochError& error) {
            if (error.state != EpochState::Counted)
                return;
            const double t = epoch.GpsSeconds();
            if (!(t >= t0 && t <= t1))
                return;
            const auto k = static_cast<std::size_t>((t - t0) * perSecond + 0.5);
            const double u = error.error.u;
            const double h = std::sqrt(error.error.e * error.error.e + error.error.n * error.error.n);
            c.upLow[k] = std::min(c.upLow[k], u);
            c.upHigh[k] = std::max(c.upHigh[k], u);
            c.hLow[k] = std::min(c.hLow[k], h);
            c.hHigh[k] = std::max(c.hHigh[k], h);
            largestUp = std::max(largestUp, std::fabs(u));
            largestH = std::max(largestH, h);
        });
    }

    const double upRange = NiceAbove(largestUp, 1.0), hRange = NiceAbove(largestH, 1.0);
    PaintSeriesFrame(p, upArea, upPlot, Series::Up, upRange, -upRange, haveTime ? t1 - t0 : 0.0);
    PaintSeriesFrame(p, horizontalArea, hPlot, Series::Horizontal, hRange, 0.0, haveTime ? t1 - t0 : 0.0);
    auto yOf = [](const QRect& plot, double v, double bottom, double top) {
        const double f = (v - bottom) / (top - bottom);
        return plot.bottom() - static_cast<int>(std::lround(f * (plot.height() - 1)));
    };
    p.setPen(QPen(kGrid, 1));
    p.drawLine(upPlot.left(), yOf(upPlot, 0.0, -upRange, upRange), upPlot.right(),
               yOf(upPlot, 0.0, -upRange, upRange));

    // One vertical stroke per pixel column from the smallest to the largest value in it.
    QVector<QLine> strokes;
    for (const SourceId s : kAllSources)
    {
        const auto& c = perSource[vrn::analysis::Index(s)];
        if (!c)
            continue;
        strokes.clear();
        for (int k = 0; k < columns; ++k)
        {
            const auto i = static_cast<std::size_t>(k);
            if (c->upLow[i] <= c->upHigh[i])
                strokes.push_back(QLine(upPlot.left() + k, yOf(upPlot, c->upHigh[i], -upRange, upRange),
                                        upPlot.left() + k, yOf(upPlot, c->upLow[i], -upRange, upRange)));
            if (c->hLow[i] <= c->hHigh[i])
                strokes.push_back(QLine(hPlot.left() + k, yOf(hPlot, c->hHigh[i], 0.0, hRange), hPlot.left() + k,
                                        yOf(hPlot, c->hLow[i], 0.0, hRange)));
        }
        p.setPen(QPen(SourceColour(s), 1));
        p.drawLines(strokes);
    }
}

void PaintStatistics(QImage& image, const CAccuracyWorkbench& workbench, const Tables& tables, const Shown& shown)
{
    const StatisticsLayout layout = LayoutFor(image.size());
    PaintScatter(image, layout.scatter, workbench, tables, shown);
    PaintSeriesPair(image, layout.up, layout.horizontal, workbench, shown);
}

QString CellText(const AccuracyTable& table, std::size_t column)
{
    return QString::fromStdString(vrn::analysis::FormatFigure(table, column));
}

QString Definitions()
{
    return QStringLiteral(
        "E/N/U: the fix minus the reference on the WGS-84 ellipsoid, in the east-north-up frame at the "
        "reference point (for the truth and another source: at that epoch's reference position).\n"
        "epochs: every epoch with a reference; all other figures count only the fixed epochs (fix mode "
        "above 0). Epochs without a truth row or without the other source's fix are left out.\n"
        "Means and standard deviations are population ones (divided by n).\n"
        "h = sqrt(e\u00b2 + n\u00b2); rmsH = sqrt(mean(e\u00b2 + n\u00b2)), rmsV = sqrt(mean(u\u00b2)), "
        "rms3D = sqrt(mean(e\u00b2 + n\u00b2 + u\u00b2)).\n"
        "CEP50, CEP95: nearest-rank percentiles of h, the value at rank ceil(p\u00b7n) of the ascending h.\n"
        "2DRMS = 2 \u00d7 rmsH; maxH the largest h; within R: the share of fixed epochs with h \u2264 R.\n"
        "A running mean is the mean latitude, longitude and height of the source's fixed epochs; the "
        "view re-centres on it in steps as it moves.");
}
}  // namespace statistics
