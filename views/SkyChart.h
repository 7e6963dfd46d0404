// The sky chart of the radar view: the window layout, the sky background with its rings and legend,
// polar points, satellite symbols and trails, the velocity arrow and the north marker. Each drawing
// takes a painter, so it can draw into a view's bitmap or into a test's image.
#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "protocol/Records.h"
#include "protocol/SatelliteTable.h"
#include "views/SatelliteDisplay.h"

class QPainter;

// A box in client pixels: left and top included, right and bottom excluded.
struct Box
{
    int left = 0, top = 0, right = 0, bottom = 0;
    [[nodiscard]] int Width() const { return right - left; }
    [[nodiscard]] int Height() const { return bottom - top; }
    [[nodiscard]] QRect Rect() const { return {left, top, right - left, bottom - top}; }
    bool operator==(const Box&) const = default;
};

// The largest square centred in `area` (the narrower side wins).
Box LargestCentredSquare(const Box& area);

// The four areas of the radar view's client area and the squares drawn in them.
struct RadarLayout
{
    std::array<Box, 2> trackArea{}, skyArea{};  // filled with the map and sky colours
    std::array<Box, 2> trackSquare{}, skySquare{};
    int skySide = 0;  // S
    int mapSide = 0;  // M
};
RadarLayout ComputeRadarLayout(int width, int height);
// Fills the client area white and the four areas with their colours.
void PaintRadarAreas(QPainter& painter, const RadarLayout& layout, int width, int height);

// Geometry of a sky chart of side S: centre (c, c), outer radius r, quarter diameter q.
struct SkyGeometry
{
    int side = 0, c = 0, r = 0, q = 0;
};
SkyGeometry SkyGeometryFor(int side);
// Draws the sky background (fill, elevation rings at 0° and 45°, colour legend) into a square of
// side `side` at the painter's origin. Draws nothing for a side below 1.
SkyGeometry DrawSkyBackground(QPainter& painter, int side);

// The point at radius `rho` and angle `theta` (radians, clockwise from the top); empty when a
// coordinate is not a finite number.
std::optional<QPoint> PolarPoint(const SkyGeometry& geometry, double rho, double theta);
// Rotation of the chart: 0 with north up (orientation 0), minus the course with heading up.
double OrientationOffset(int orientation, double courseRadians);

// One satellite to plot.
struct SkySatellite
{
    int prn = 0;             // the number in its constellation
    double elevation = 0.0;  // degrees
    double azimuth = 0.0;    // degrees
    QColor colour;
    Constellation system = Constellation::Gps;  // what the constellation filter looks at
    // A satellite of a multi-constellation table: a badge with its label ("G05") instead of the
    // classic disc; filled when the satellite is used in the fix, dark inside its outline otherwise.
    bool badge = false;
    bool used = true;
};
// The satellites of a satellite-data record: entries 0 .. min(count, 12) - 1 with a PRN, coloured
// by their channel state.
std::vector<SkySatellite> SatellitesFromSv(const SvRecord& sv);
// The satellites of the three satellites-in-view sentences (twelve slots), all in the NMEA colour.
std::vector<SkySatellite> SatellitesFromGsv(const std::array<GsvRecord, 3>& gsv);
// The satellites of a table as badges in their constellation's colour: those with both angles (an
// elevation below the horizon is drawn on it), the unused ones first so the used ones stay on top,
// each group in constellation and number order. Without any used flag (a receiver that sends no
// GSA) every badge is filled.
std::vector<SkySatellite> SatellitesFromTable(const SatelliteTable& table);
// Where a satellite is drawn: elevation 90° at the centre, 0° on the outer ring.
std::optional<QPoint> SatellitePoint(const SkyGeometry& geometry, const SkySatellite& satellite, double phi);
// The "%2d" label of a PRN.
QString PrnLabel(int prn);

// A filled circle of radius 10 with the label centred on it, or a 2-pixel dot when `trail` is set.
void DrawSatelliteSymbol(QPainter& painter, QPoint point, const QString& label, const QColor& colour,
                         bool trail);

// A badge: the label on a box of the constellation's colour (outlined in black) when `used`, else in
// that colour on the dark idle fill inside an outline of it, centred on `point`.
void DrawSatelliteBadge(QPainter& painter, QPoint point, const QString& label, const QColor& colour,
                        bool used);
// The box a badge covers: the label's extent in the badge font plus a 2-pixel margin either side.
QRect BadgeRect(QPoint point, const QString& label);
// A satellite as the chart shows it: a badge, a classic disc with its "%2d" label, or their trail dot.
void DrawSkySatellite(QPainter& painter, QPoint point, const SkySatellite& satellite, bool trail);

// The legend of a chart of badges, in its top right corner: a box per constellation present, in
// table order, its letter on its colour; a constellation the filter hides is drawn hollow in grey.
void DrawConstellationLegend(QPainter& painter, int side, const std::vector<Constellation>& present,
                             const ConstellationFilter& filter);
// Where legend entry `index` (0 at the top) sits in a chart of side `side`.
QRect LegendBox(int side, int index);

// Length of the velocity arrow in pixels: speed / outer-circle velocity × r, or r + 10 when that is
// beyond the ring; empty when it cannot be computed.
std::optional<int> ArrowLength(double speedMps, double outerVelocityMps, int r);
// Radius of the barbs' ends: 5 pixels short of the tip, or the centre for an arrow under 6 pixels.
inline int ArrowBarbRadius(int length)
{
    return length < 6 ? 0 : length - 5;
}
// The velocity arrow from the centre with its two barbs, drawn with the red pen.
void DrawVelocityArrow(QPainter& painter, const SkyGeometry& geometry, double speedMps,
                       double outerVelocityMps, double courseRadians, double phi);
// "N" on the outer ring in the north direction, white on the sky colour.
void DrawNorthMarker(QPainter& painter, const SkyGeometry& geometry, double phi);

// An outer-circle velocity that is not a positive finite number is replaced by the default 4 m/s.
double EffectiveOuterVelocity(double outerVelocityMps);
