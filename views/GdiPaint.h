// Drawing primitives with the conventions the views are laid out in: boxes (left, top, right,
// bottom) that exclude their right and bottom edges, lines that omit their last pixel, text anchored
// at its top-left corner with an opaque background unless asked otherwise, and the one conversion
// of drawing values from double to integer.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

class QBrush;
class QPainter;

// Coordinates handed to the painter stay within this range, far outside any window, so that a
// wild value is pinned to the edge instead of overflowing the rasteriser.
inline constexpr int kDrawLimit = 1 << 20;

// The one double-to-integer conversion of the drawings: empty for NaN or infinity (the caller
// skips what it would have drawn), otherwise clamped to [lo, hi] and truncated toward zero.
std::optional<int> DrawingInt(double value, int lo = -kDrawLimit, int hi = kDrawLimit);

// A box (l, t, r, b) as the rectangle of the pixels it covers.
inline QRect BoxRect(int left, int top, int right, int bottom)
{
    return {left, top, right - left, bottom - top};
}

// Fills the box with the brush, no outline. An empty box draws nothing.
void FillBox(QPainter& painter, int left, int top, int right, int bottom, const QBrush& brush);
// Ellipse inscribed in the box, outlined with the current pen and filled with the current brush;
// the outline stays inside the box.
void EllipseBox(QPainter& painter, int left, int top, int right, int bottom);
// Rectangle of the box, outlined with the current pen and filled with the current brush.
void RectangleBox(QPainter& painter, int left, int top, int right, int bottom);
// Line from `from` towards `to` with the current pen, leaving out the pixel at `to`.
void LineSegment(QPainter& painter, QPoint from, QPoint to);

// "Arial" with the given character height in pixels and weight (400 normal, 700 bold).
QFont ArialFont(int pixelHeight, int weight);
// Backing images ("surfaces"). Views lay out and draw in logical pixels, the pixels of their layouts;
// a surface holds `ratio` device pixels per logical pixel, so a screen scaled to 200 % shows circles,
// symbols and texts drawn at its own resolution instead of stretched. A painter on a surface works in
// logical coordinates. At ratio 1 a surface is a plain image of the logical size.

// Device pixels per logical pixel of the surfaces for a widget's device pixel ratio: a whole number
// (1 at 100 %, 2 above that up to 200 %, ...), so drawings and copies between surfaces stay on whole
// device pixels; a screen at a fractional ratio such as 1.5 shows the surfaces scaled down smoothly.
int SurfaceRatio(qreal widgetRatio);
// The ratio of a surface (1 for a null image).
int SurfaceRatioOf(const QImage& surface);
// The logical size of a surface.
QSize SurfaceSize(const QImage& surface);
// A surface of `logical` size at `ratio`, filled with `fill`; null when the size is empty.
QImage NewSurface(QSize logical, int ratio, const QColor& fill = Qt::white);
// Gives a view's backing image the client size at `ratio` (kept when both are unchanged; null when
// the client is empty, so nothing draws into a sliver). True when the image was made anew.
bool ResizeSurface(QImage& surface, QSize client, int ratio = 1);
// Draws the part `source` (logical pixels) of `surface` with its top-left corner at `at`.
void DrawSurfacePart(QPainter& painter, QPoint at, const QImage& surface, const QRect& source);
// The part `source` (logical pixels) of `surface` as a surface of the same ratio.
QImage SurfaceCopy(const QImage& surface, const QRect& source);
// Shows a view's backing image at the widget's top-left corner (the painter is the widget's); scaled
// smoothly when the widget's own ratio differs from the surface's.
void ShowSurface(QPainter& painter, const QImage& surface);
// The font a drawing surface starts with, used where no font is selected.
QFont DefaultSurfaceFont();
// Width and height of `text` in `font`.
QSize TextExtent(const QFont& font, const QString& text);
// Draws `text` in the painter's font with its top-left corner at (x, y) in `colour`; the text's cell
// is first filled with `background` when one is given (an opaque background).
void TextAt(QPainter& painter, int x, int y, const QString& text, const QColor& colour,
            std::optional<QColor> background);
