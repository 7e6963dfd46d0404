// Drawing primitives of the views.
#include "views/GdiPaint.h"

#include <QBrush>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "protocol/GpsTypes.h"

std::optional<int> DrawingInt(double value, int lo, int hi)
{
    if (!std::isfinite(value))
        return std::nullopt;
    return ClampToInt<int>(std::clamp(value, static_cast<double>(lo), static_cast<double>(hi)));
}

void FillBox(QPainter& painter, int left, int top, int right, int bottom, const QBrush& brush)
{
    if (right <= left || bottom <= top)
        return;
    painter.fillRect(BoxRect(left, top, right, bottom), brush);
}

void EllipseBox(QPainter& painter, int left, int top, int right, int bottom)
{
    if (right <= left || bottom <= top)
        return;
    // An outlined shape covers one pixel more than its rectangle's size; the box excludes its
    // right and bottom edges.
    painter.drawEllipse(QRect(left, top, right - left - 1, bottom - top - 1));
}

void RectangleBox(QPainter& painter, int left, int top, int right, int bottom)
{
    if (right <= left || bottom <= top)
        return;
    painter.drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
}

void LineSegment(QPainter& painter, QPoint from, QPoint to)
{
    if (from == to)
        return;
    QPen pen = painter.pen();
    if (pen.width() <= 1 && pen.capStyle() != Qt::FlatCap)
    {
        // A flat cap leaves out the end point of a thin line.
        pen.setCapStyle(Qt::FlatCap);
        painter.save();
        painter.setPen(pen);
        painter.drawLine(from, to);
        painter.restore();
        return;
    }
    painter.drawLine(from, to);
}

QFont ArialFont(int pixelHeight, int weight)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(std::max(1, pixelHeight));
    font.setWeight(weight >= 700 ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

void ResizeSurface(QImage& surface, QSize client)
{
    const QSize size(std::max(0, client.width()), std::max(0, client.height()));
    if (size.isEmpty())
        surface = QImage();
    else if (surface.size() != size)
        surface = QImage(size, QImage::Format_RGB32);
}

QFont DefaultSurfaceFont()
{
    return ArialFont(13, 700);
}

QSize TextExtent(const QFont& font, const QString& text)
{
    const QFontMetrics metrics(font);
    return {metrics.horizontalAdvance(text), metrics.height()};
}

void TextAt(QPainter& painter, int x, int y, const QString& text, const QColor& colour,
            std::optional<QColor> background)
{
    if (text.isEmpty())
        return;
    const QSize extent = TextExtent(painter.font(), text);
    const QRect cell(QPoint(x, y), extent);
    if (background)
        painter.fillRect(cell, *background);
    const QPen saved = painter.pen();
    painter.setPen(colour);
    painter.drawText(cell, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine, text);
    painter.setPen(saved);
}
