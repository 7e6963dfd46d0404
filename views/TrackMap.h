// The track map of a receiver: a square plot of its recent positions around a fixed reference
// point, with two range rings, a crosshair and a caption. The eight newest positions are redrawn
// in a blue-to-red gradient at every fix; older ones stay in the oldest colour until a clear.
#pragma once

#include <QPoint>
#include <QString>
#include <array>
#include <optional>

#include "nav/Coordinates.h"  // MetresPerDegreeLongitude

class QPainter;

// Settings of the "Map View" group that the map uses.
struct TrackMapSettings
{
    int scale = 100;        // metres that the outer ring stands for
    int centreFixed = 0;    // kept and saved; the map is always centred on the reference point
    double latitude = 0.0;  // reference point, degrees
    double longitude = 0.0;
};

inline constexpr int kTrackRingSize = 8;

// The newest eight points of a receiver in map bitmap pixels.
struct TrackRing
{
    std::array<QPoint, kTrackRingSize> points{};
    int write = 0;
    int oldest = 0;
    int count = 0;
    void Clear() { *this = TrackRing{}; }
};

inline constexpr double kMetresPerDegreeLatitude = 111199.233;

// Outer ring radius of a map of side `side`.
inline int OuterRingRadius(int side)
{
    return (2 * side) / 5;
}
// A scale below 1 (hand-edited profile, dialog without range check) is taken as 1.
inline int EffectiveScale(int scale)
{
    return scale < 1 ? 1 : scale;
}
// Pixels per metre for the outer ring radius R and the scale.
double PixelsPerMetre(int outerRadius, int scale);
// "Outer circle radius: %d m".
QString MapCaption(int scale);

// Draws the empty map into a square of side `side` at the painter's origin: the map colour, the
// two rings, the crosshair and the caption. Draws nothing for a side below 1.
void DrawEmptyMap(QPainter& painter, int side, int scale);

// Where a position lands on a map of side `side`: north is up, the reference point at the centre,
// positions outside pinned to the edge. Empty when the position is not a finite number.
std::optional<QPoint> TrackMapPoint(int side, double pixelsPerMetre, double latitude, double longitude,
                                    const TrackMapSettings& settings, double metresPerDegreeLongitude);

// Stores `point` in the ring and redraws the ring's points, oldest first, newest in red.
void AddTrackPoint(QPainter& painter, TrackRing& ring, QPoint point);
