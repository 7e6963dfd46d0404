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
    for (const SourceId s : kAllSources)
    {
        if (!shown[vrn::analysis::Index(s)])
            continue;
        const QRgb colour = SourceColour(s).rgb();
        const auto& series = workbench.Series(s);
        for (std::size_t i = 0; i < series.Size(); ++i)
        {
            const EpochError& error = workbench.ErrorAt(s, i);
            if (error.state != EpochState::Counted)
                continue;
            const QPoint q = ScatterPixel(g, error.error.e, error.error.n);
            for (int dy = 0; dy < 2; ++dy)
            {
                const int y = q.y() + dy;
                if (y < inside.top() || y > inside.bottom())
                    continue;
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int dx = 0; dx < 2; ++dx)
                {
                    const int x = q.x() + dx;
                    if (x >= inside.left() && x <= inside.right())
                        line[x] = colour;
                }
            }
        }
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

void PaintSeries(QImage& image, QRect area, const CAccuracyWorkbench& workbench, const Shown& shown, Series series)
{
    EnsureRgb32(image);
    QPainter p(&image);
    p.setClipRect(area);
    p.fillRect(area, Qt::white);
    const QRect plot = area.adjusted(kMargin * 2, kMargin, -kMargin / 2, -kMargin);
    if (plot.width() < 2 || plot.height() < 2)
        return;

    // The time span of the shown sources, and the largest error to show.
    double t0 = std::numeric_limits<double>::infinity(), t1 = -t0, largest = 0.0;
    for (const SourceId s : kAllSources)
    {
        if (!shown[vrn::analysis::Index(s)])
            continue;
        const auto& epochs = workbench.Series(s);
        for (std::size_t i = 0; i < epochs.Size(); ++i)
        {
            const EpochError& error = workbench.ErrorAt(s, i);
            const double t = epochs.At(i).GpsSeconds();
            if (error.state != EpochState::Counted || !std::isfinite(t))
                continue;
            t0 = std::min(t0, t);
            t1 = std::max(t1, t);
            largest = std::max(largest, series == Series::Up ? std::fabs(error.error.u) : error.error.Horizontal());
        }
    }
    const double range = NiceAbove(largest, 1.0);
    const double bottom = series == Series::Up ? -range : 0.0;
    auto yOf = [&](double v) {
        const double f = (v - bottom) / (range - bottom);
        return plot.bottom() - static_cast<int>(std::lround(f * (plot.height() - 1)));
    };

    p.setPen(QPen(kGrid, 1));
    p.drawRect(plot.adjusted(0, 0, -1, -1));
    if (series == Series::Up)
        p.drawLine(plot.left(), yOf(0.0), plot.right(), yOf(0.0));
    p.setPen(kText);
    p.setFont(QFont(QStringLiteral("Arial"), 8));
    p.drawText(QRect(area.left(), area.top(), area.width(), kMargin), Qt::AlignCenter,
               series == Series::Up ? QStringLiteral("Up error") : QStringLiteral("Horizontal error"));
    p.drawText(QRect(area.left(), plot.top() - kMargin / 2, kMargin * 2 - 2, kMargin), Qt::AlignRight | Qt::AlignVCenter,
               QString::number(range, 'g', 4));
    p.drawText(QRect(area.left(), plot.bottom() - kMargin / 2, kMargin * 2 - 2, kMargin),
               Qt::AlignRight | Qt::AlignVCenter, QString::number(bottom, 'g', 4));
    if (!(t1 > t0))
        t1 = t0 + 1.0;
    if (!std::isfinite(t0))
        return;
    p.drawText(QRect(plot.left(), plot.bottom(), plot.width(), kMargin), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("%1 s").arg(std::lround(t1 - t0)));

    // One vertical stroke per pixel column from the smallest to the largest value in it.
    const int columns = plot.width();
    std::vector<int> low(static_cast<std::size_t>(columns)), high(static_cast<std::size_t>(columns));
    QVector<QLine> strokes;
    for (const SourceId s : kAllSources)
    {
        if (!shown[vrn::analysis::Index(s)])
            continue;
        std::fill(low.begin(), low.end(), std::numeric_limits<int>::max());
        std::fill(high.begin(), high.end(), std::numeric_limits<int>::min());
        const auto& epochs = workbench.Series(s);
        for (std::size_t i = 0; i < epochs.Size(); ++i)
        {
            const EpochError& error = workbench.ErrorAt(s, i);
            const double t = epochs.At(i).GpsSeconds();
            if (error.state != EpochState::Counted || !std::isfinite(t))
                continue;
            const auto column = static_cast<std::size_t>(
                std::clamp<long>(std::lround((t - t0) / (t1 - t0) * (columns - 1)), 0, columns - 1));
            const int y = yOf(series == Series::Up ? error.error.u : error.error.Horizontal());
            low[column] = std::min(low[column], y);
            high[column] = std::max(high[column], y);
        }
        strokes.clear();
        for (int c = 0; c < columns; ++c)
            if (low[static_cast<std::size_t>(c)] <= high[static_cast<std::size_t>(c)])
                strokes.push_back(QLine(plot.left() + c, low[static_cast<std::size_t>(c)], plot.left() + c,
                                        high[static_cast<std::size_t>(c)]));
        p.setPen(QPen(SourceColour(s), 1));
        p.drawLines(strokes);
    }
}

void PaintStatistics(QImage& image, const CAccuracyWorkbench& workbench, const Tables& tables, const Shown& shown)
{
    const StatisticsLayout layout = LayoutFor(image.size());
    PaintScatter(image, layout.scatter, workbench, tables, shown);
    PaintSeries(image, layout.up, workbench, shown, Series::Up);
    PaintSeries(image, layout.horizontal, workbench, shown, Series::Horizontal);
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
