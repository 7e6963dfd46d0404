// Sky chart drawing of the radar view.
#include "views/SkyChart.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "views/DrawingResources.h"
#include "views/GdiPaint.h"

namespace
{
// Degrees to radians with π taken as 3.141592654, as the chart has always placed its satellites.
constexpr double kChartDegreesToRadians = 0.017453292522222223;
constexpr double kElevationScale = 0.011111111111111112;  // 1/90
constexpr double kBarbAngle = 0.05;                       // radians either side of the shaft
constexpr double kDefaultOuterVelocity = 4.0;             // m/s
// Badges and legend: a bold face small enough for sixty satellites on a 400-pixel chart.
constexpr int kBadgeFontHeight = 11;
constexpr int kBadgeMargin = 2;
constexpr int kLegendSide = 13;
constexpr int kLegendPitch = 15;
const QColor kLegendHidden{160, 160, 160};

QFont BadgeFont()
{
    return ArialFont(kBadgeFontHeight, 700);
}

bool BadgeOrder(const SkySatellite& a, const SkySatellite& b)
{
    if (a.used != b.used)
        return !a.used;
    if (a.system != b.system)
        return ConstellationIndex(a.system) < ConstellationIndex(b.system);
    return a.prn < b.prn;
}
}  // namespace

Box LargestCentredSquare(const Box& area)
{
    Box square = area;
    const int w = area.Width();
    const int h = area.Height();
    if (h < w)
    {
        square.left += (w - h) / 2;
        square.right = square.left + h;
    }
    else
    {
        square.top += (h - w) / 2;
        square.bottom = square.top + w;
    }
    return square;
}

RadarLayout ComputeRadarLayout(int width, int height)
{
    RadarLayout layout;
    const int a = (16 * width) / 40;
    layout.trackArea[0] = {1, 0, a, height};
    layout.trackArea[1] = {a + 1, 0, 2 * a, height};
    layout.skyArea[0] = {2 * a + 1, 0, width - 1, height / 2 - 1};
    layout.skyArea[1] = {2 * a + 1, height / 2, width - 1, height};
    for (std::size_t n = 0; n < 2; ++n)
    {
        layout.trackSquare[n] = LargestCentredSquare(layout.trackArea[n]);
        layout.skySquare[n] = LargestCentredSquare(layout.skyArea[n]);
    }
    layout.skySide = std::max(0, layout.skySquare[0].Width());
    layout.mapSide = std::max(0, layout.trackSquare[0].Width());
    return layout;
}

void PaintRadarAreas(QPainter& painter, const RadarLayout& layout, int width, int height)
{
    const DrawingResources& res = Drawing();
    FillBox(painter, 0, 0, width, height, res.brushWhite);
    for (const Box& b : layout.trackArea)
        FillBox(painter, b.left, b.top, b.right, b.bottom, res.brushMap);
    for (const Box& b : layout.skyArea)
        FillBox(painter, b.left, b.top, b.right, b.bottom, res.brushSky);
}

SkyGeometry SkyGeometryFor(int side)
{
    SkyGeometry g;
    g.side = side;
    const int d = side - 30;
    g.r = d / 2;
    g.c = 15 + g.r;
    g.q = d / 4;
    return g;
}

SkyGeometry DrawSkyBackground(QPainter& painter, int side)
{
    const SkyGeometry g = SkyGeometryFor(side);
    if (side < 1)
        return g;
    const DrawingResources& res = Drawing();
    painter.save();
    FillBox(painter, 0, 0, side, side, res.brushSky);
    painter.setBrush(res.brushSky);
    painter.setPen(res.penWhite1);
    EllipseBox(painter, 15, 15, side - 15, side - 15);
    EllipseBox(painter, 15 + g.q, 15 + g.q, side - 15 - g.q, side - 15 - g.q);
    // Legend of the six colour classes, red at the top; it carries no text.
    const std::array<const QPen*, 6> pens{&res.penRed3,  &res.penYellow3, &res.penGreen3,
                                          &res.penCyan3, &res.penPurple3, &res.penGrey3};
    for (std::size_t i = 0; i < pens.size(); ++i)
    {
        const int y = side - 30 + 5 * static_cast<int>(i);
        painter.setPen(*pens[i]);
        LineSegment(painter, QPoint(i == 0 ? 4 : 5, y), QPoint(12, y));
    }
    painter.restore();
    return g;
}

std::optional<QPoint> PolarPoint(const SkyGeometry& geometry, double rho, double theta)
{
    const auto x = DrawingInt(geometry.c + rho * std::sin(theta));
    const auto y = DrawingInt(geometry.c - rho * std::cos(theta));
    if (!x || !y)
        return std::nullopt;
    return QPoint(*x, *y);
}

double OrientationOffset(int orientation, double courseRadians)
{
    return orientation == 1 ? -courseRadians : 0.0;
}

std::vector<SkySatellite> SatellitesFromSv(const SvRecord& sv)
{
    std::vector<SkySatellite> satellites;
    const std::size_t count = std::min<std::size_t>(sv.count, kChannelCount);
    for (std::size_t k = 0; k < count; ++k)
    {
        const SvEntry& e = sv.entries[k];
        if (e.prn == 0)
            continue;
        satellites.push_back({e.prn, static_cast<double>(e.elevation), static_cast<double>(e.azimuth),
                              colours::SatelliteSymbol(SatelliteStateColour(e.state))});
    }
    return satellites;
}

std::vector<SkySatellite> SatellitesFromGsv(const std::array<GsvRecord, 3>& gsv)
{
    std::vector<SkySatellite> satellites;
    for (const GsvRecord& record : gsv)
        for (const GsvSatellite& s : record.satellites)
            if (s.prn > 0)
            {
                const auto id = SatelliteFromNmea(Constellation::Gps, s.prn);
                satellites.push_back({s.prn, static_cast<double>(s.elevation), static_cast<double>(s.azimuth),
                                      colours::kNmeaSymbol, id ? id->system : Constellation::Gps});
            }
    return satellites;
}

std::vector<SkySatellite> SatellitesFromTable(const SatelliteTable& table)
{
    std::vector<SkySatellite> satellites;
    satellites.reserve(table.Size());
    const bool anyUsed = table.CountUsed() > 0;
    for (const SatelliteEntry& e : table.Entries())
    {
        if (e.elevationDeg == kNoAngle || e.azimuthDeg == kNoAngle)
            continue;
        const double elevation = std::clamp<double>(e.elevationDeg, 0.0, 90.0);
        satellites.push_back({e.svid, elevation, static_cast<double>(e.azimuthDeg),
                              colours::ConstellationSymbol(e.system), e.system, true, e.used || !anyUsed});
    }
    std::sort(satellites.begin(), satellites.end(), BadgeOrder);
    return satellites;
}

std::optional<QPoint> SatellitePoint(const SkyGeometry& geometry, const SkySatellite& satellite, double phi)
{
    const auto rho = DrawingInt((1.0 - satellite.elevation * kElevationScale) * geometry.r);
    if (!rho)
        return std::nullopt;
    return PolarPoint(geometry, *rho, satellite.azimuth * kChartDegreesToRadians + phi);
}

QString PrnLabel(int prn)
{
    return QString::number(prn).rightJustified(2, QLatin1Char(' '));
}

void DrawSatelliteSymbol(QPainter& painter, QPoint point, const QString& label, const QColor& colour,
                         bool trail)
{
    painter.save();
    painter.setPen(QPen(colour, 1));
    painter.setBrush(QBrush(colour));
    const int e = trail ? 1 : 10;
    EllipseBox(painter, point.x() - e, point.y() - e, point.x() + e, point.y() + e);
    if (!trail && !label.isEmpty())
    {
        painter.setFont(ArialFont(12, 700));
        // Measured on the first character alone: with two-character labels this centres the number.
        const QSize first = TextExtent(painter.font(), label.left(1));
        TextAt(painter, point.x() - first.width(), point.y() - first.height() / 2, label, colours::kBlack,
               std::nullopt);
    }
    painter.restore();
}

QRect BadgeRect(QPoint point, const QString& label)
{
    const QSize extent = TextExtent(BadgeFont(), label);
    const int w = extent.width() + 2 * kBadgeMargin;
    const int h = extent.height();
    return {point.x() - w / 2, point.y() - h / 2, w, h};
}

void DrawSatelliteBadge(QPainter& painter, QPoint point, const QString& label, const QColor& colour,
                        bool used)
{
    const QRect box = BadgeRect(point, label);
    painter.save();
    painter.setFont(BadgeFont());
    // A one-pixel outline: black around a used satellite, its colour around an idle one.
    painter.fillRect(box, used ? colours::kBlack : colour);
    painter.fillRect(box.adjusted(1, 1, -1, -1), used ? colour : colours::kBadgeIdle);
    TextAt(painter, box.left() + kBadgeMargin, box.top(), label, used ? colours::kBlack : colour,
           std::nullopt);
    painter.restore();
}

void DrawSkySatellite(QPainter& painter, QPoint point, const SkySatellite& satellite, bool trail)
{
    if (!satellite.badge)
        DrawSatelliteSymbol(painter, point, trail ? QString() : PrnLabel(satellite.prn), satellite.colour,
                            trail);
    else if (trail)
        DrawSatelliteSymbol(painter, point, QString(), satellite.colour, true);
    else
        DrawSatelliteBadge(painter, point,
                           QString::fromStdString(SatelliteLabel(satellite.system, satellite.prn)),
                           satellite.colour, satellite.used);
}

QRect LegendBox(int side, int index)
{
    return {side - 2 - kLegendSide, 2 + index * kLegendPitch, kLegendSide, kLegendSide};
}

void DrawConstellationLegend(QPainter& painter, int side, const std::vector<Constellation>& present,
                             const ConstellationFilter& filter)
{
    painter.save();
    painter.setFont(BadgeFont());
    int index = 0;
    for (const Constellation system : present)
    {
        const QRect box = LegendBox(side, index++);
        const bool shown = filter.Shows(system);
        const QColor colour = shown ? colours::ConstellationSymbol(system) : kLegendHidden;
        painter.fillRect(box, colour);
        if (!shown)
            painter.fillRect(box.adjusted(1, 1, -1, -1), colours::kSky);
        const QString letter(QChar::fromLatin1(ConstellationLetter(system)));
        const QSize extent = TextExtent(painter.font(), letter);
        TextAt(painter, box.left() + (box.width() - extent.width() + 1) / 2,
               box.top() + (box.height() - extent.height() + 1) / 2, letter, shown ? colours::kBlack : colour,
               std::nullopt);
    }
    painter.restore();
}

double EffectiveOuterVelocity(double outerVelocityMps)
{
    return std::isfinite(outerVelocityMps) && outerVelocityMps > 0.0 ? outerVelocityMps
                                                                     : kDefaultOuterVelocity;
}

std::optional<int> ArrowLength(double speedMps, double outerVelocityMps, int r)
{
    const auto length = DrawingInt(speedMps / EffectiveOuterVelocity(outerVelocityMps) * r);
    if (!length)
        return std::nullopt;
    return *length > r ? r + 10 : *length;
}

void DrawVelocityArrow(QPainter& painter, const SkyGeometry& geometry, double speedMps,
                       double outerVelocityMps, double courseRadians, double phi)
{
    const auto length = ArrowLength(speedMps, outerVelocityMps, geometry.r);
    if (!length)
        return;
    const auto tip = PolarPoint(geometry, *length, courseRadians + phi);
    if (!tip)
        return;
    const int barb = ArrowBarbRadius(*length);
    painter.save();
    painter.setPen(Drawing().penRed1);
    LineSegment(painter, QPoint(geometry.c, geometry.c), *tip);
    for (const double side : {kBarbAngle, -kBarbAngle})
        if (const auto end = PolarPoint(geometry, barb, courseRadians + side + phi))
            LineSegment(painter, *tip, *end);
    painter.restore();
}

void DrawNorthMarker(QPainter& painter, const SkyGeometry& geometry, double phi)
{
    const auto p = PolarPoint(geometry, geometry.r, phi);
    if (!p)
        return;
    painter.save();
    painter.setFont(DefaultSurfaceFont());
    const QString north = QStringLiteral("N");
    const QSize extent = TextExtent(painter.font(), north);
    TextAt(painter, p->x() - extent.width() / 2, p->y() - extent.height() / 2, north, colours::kWhite,
           colours::kSky);
    painter.restore();
}
