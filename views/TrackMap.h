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

// A track position as metres east and north of the map's reference point (the map centre). Kept in
// metres, not pixels, so that a map drawn at another size or scale places it anew.
struct TrackOffset
{
    double eastM = 0.0;
    double northM = 0.0;
    bool operator==(const TrackOffset&) const = default;
};

// The newest eight points of a receiver.
struct TrackRing
{
    std::array<TrackOffset, kTrackRingSize> points{};
    int write = 0;  // where the next point goes; the oldest of a full ring is there
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

// A position (degrees) as metres from the reference point; empty when it is not a finite number.
std::optional<TrackOffset> TrackMapOffset(double latitude, double longitude, const TrackMapSettings& settings,
                                          double metresPerDegreeLongitude);
// Where an offset lands on a map of side `side`: north is up, the reference point at the centre,
// positions outside pinned to the edge. Empty when the offset is not a finite number.
std::optional<QPoint> TrackMapPixel(int side, double pixelsPerMetre, const TrackOffset& offset);
// Both steps at once.
std::optional<QPoint> TrackMapPoint(int side, double pixelsPerMetre, double latitude, double longitude,
                                    const TrackMapSettings& settings, double metresPerDegreeLongitude);

// Stores `offset` in the ring and redraws the ring's points on a map of side `side`, oldest first,
// newest in red.
void AddTrackPoint(QPainter& painter, TrackRing& ring, const TrackOffset& offset, int side,
                   double pixelsPerMetre);
// Redraws the ring's points as the last AddTrackPoint left them (after the map was drawn anew).
void DrawTrackRing(QPainter& painter, const TrackRing& ring, int side, double pixelsPerMetre);
