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
    int prn = 0;
    double elevation = 0.0;  // degrees
    double azimuth = 0.0;    // degrees
    QColor colour;
};
// The satellites of a satellite-data record: entries 0 .. min(count, 12) - 1 with a PRN, coloured
// by their channel state.
std::vector<SkySatellite> SatellitesFromSv(const SvRecord& sv);
// The satellites of the three satellites-in-view sentences (twelve slots), all in the NMEA colour.
std::vector<SkySatellite> SatellitesFromGsv(const std::array<GsvRecord, 3>& gsv);
// Where a satellite is drawn: elevation 90° at the centre, 0° on the outer ring.
std::optional<QPoint> SatellitePoint(const SkyGeometry& geometry, const SkySatellite& satellite, double phi);
// The "%2d" label of a PRN.
QString PrnLabel(int prn);

// A filled circle of radius 10 with the label centred on it, or a 2-pixel dot when `trail` is set.
void DrawSatelliteSymbol(QPainter& painter, QPoint point, const QString& label, const QColor& colour,
                         bool trail);

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
