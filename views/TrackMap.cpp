// Track map drawing of the radar view.
#include "views/TrackMap.h"

#include <QPainter>
#include <cmath>

#include "views/DrawingResources.h"
#include "views/GdiPaint.h"

double PixelsPerMetre(int outerRadius, int scale)
{
    return static_cast<double>(outerRadius) / EffectiveScale(scale);
}

QString MapCaption(int scale)
{
    return QStringLiteral("Outer circle radius: %1 m").arg(scale);
}

void DrawEmptyMap(QPainter& painter, int side, int scale)
{
    if (side < 1)
        return;
    const DrawingResources& res = Drawing();
    const int m = side / 2;
    const int r = OuterRingRadius(side);
    painter.save();
    FillBox(painter, 0, 0, side, side, res.brushMap);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(res.penWhite1);
    EllipseBox(painter, m - r, m - r, m + r, m + r);
    EllipseBox(painter, m - r / 2, m - r / 2, m + r / 2, m + r / 2);
    LineSegment(painter, QPoint(m - r, m), QPoint(m + r, m));
    LineSegment(painter, QPoint(m, m - r), QPoint(m, m + r));
    painter.setFont(ArialFont(11, 700));
    const QString caption = MapCaption(EffectiveScale(scale));
    const QSize extent = TextExtent(painter.font(), caption);
    TextAt(painter, m - extent.width() / 2, side - extent.height(), caption, colours::kWhite, colours::kMap);
    painter.restore();
}

std::optional<TrackOffset> TrackMapOffset(double latitude, double longitude, const TrackMapSettings& settings,
                                          double metresPerDegreeLongitude)
{
    const TrackOffset offset{(longitude - settings.longitude) * metresPerDegreeLongitude,
                             (latitude - settings.latitude) * kMetresPerDegreeLatitude};
    if (!std::isfinite(offset.eastM) || !std::isfinite(offset.northM))
        return std::nullopt;
    return offset;
}

std::optional<QPoint> TrackMapPixel(int side, double pixelsPerMetre, const TrackOffset& offset)
{
    const int m = side / 2;
    const auto dx = DrawingInt(offset.eastM * pixelsPerMetre);
    const auto dy = DrawingInt(pixelsPerMetre * offset.northM);
    if (!dx || !dy)
        return std::nullopt;
    const auto pin = [side](int v)
    {
        if (v < 1)
            return 0;
        if (v >= side - 1)
            return side - 1;
        return v;
    };
    return QPoint(pin(*dx + m), pin(m - *dy));
}

std::optional<QPoint> TrackMapPoint(int side, double pixelsPerMetre, double latitude, double longitude,
                                    const TrackMapSettings& settings, double metresPerDegreeLongitude)
{
    const auto offset = TrackMapOffset(latitude, longitude, settings, metresPerDegreeLongitude);
    if (!offset)
        return std::nullopt;
    return TrackMapPixel(side, pixelsPerMetre, *offset);
}

void DrawTrackRing(QPainter& painter, const TrackRing& ring, int side, double pixelsPerMetre)
{
    constexpr int kSize = kTrackRingSize;
    // The newest `count` points end just before the write index.
    const int first = (ring.write - ring.count + kSize) % kSize;
    painter.save();
    for (int j = 0; j < ring.count; ++j)
    {
        const TrackOffset& offset = ring.points[static_cast<std::size_t>((first + j) % kSize)];
        const auto p = TrackMapPixel(side, pixelsPerMetre, offset);
        if (!p)
            continue;
        const QColor& colour = colours::kTrackPoints[static_cast<std::size_t>(kSize - ring.count + j)];
        painter.setPen(QPen(colour, 1));
        painter.setBrush(QBrush(colour));
        EllipseBox(painter, p->x() - 2, p->y() - 2, p->x() + 2, p->y() + 2);
    }
    painter.restore();
}

void AddTrackPoint(QPainter& painter, TrackRing& ring, const TrackOffset& offset, int side,
                   double pixelsPerMetre)
{
    constexpr int kSize = kTrackRingSize;
    ring.points[static_cast<std::size_t>(ring.write)] = offset;
    ring.write = (ring.write + 1) % kSize;
    if (ring.count < kSize)
        ++ring.count;
    DrawTrackRing(painter, ring, side, pixelsPerMetre);
}
