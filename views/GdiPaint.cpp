// Drawing primitives of the views.
#include "views/GdiPaint.h"

#include <QBrush>
#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QStaticText>
#include <algorithm>
#include <cmath>
#include <vector>

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

int SurfaceRatio(qreal widgetRatio)
{
    constexpr double kMaxRatio = 8.0;
    if (!std::isfinite(widgetRatio) || widgetRatio <= 1.0)
        return 1;
    // 1.0000001 from a rounding screen still counts as 1.
    return static_cast<int>(std::ceil(std::min(widgetRatio, kMaxRatio) - 1e-3));
}

int SurfaceRatioOf(const QImage& surface)
{
    return surface.isNull() ? 1 : std::max(1, qRound(surface.devicePixelRatio()));
}

QSize SurfaceSize(const QImage& surface)
{
    const int ratio = SurfaceRatioOf(surface);
    return {surface.width() / ratio, surface.height() / ratio};
}

QImage NewSurface(QSize logical, int ratio, const QColor& fill)
{
    if (logical.width() < 1 || logical.height() < 1)
        return {};
    ratio = std::max(1, ratio);
    QImage image(logical * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(fill);
    return image;
}

bool ResizeSurface(QImage& surface, QSize client, int ratio)
{
    const QSize size(std::max(0, client.width()), std::max(0, client.height()));
    if (size.isEmpty())
    {
        const bool changed = !surface.isNull();
        surface = QImage();
        return changed;
    }
    if (SurfaceSize(surface) == size && SurfaceRatioOf(surface) == std::max(1, ratio))
        return false;
    surface = NewSurface(size, ratio);
    return true;
}

void DrawSurfacePart(QPainter& painter, QPoint at, const QImage& surface, const QRect& source)
{
    if (surface.isNull() || source.isEmpty())
        return;
    const int ratio = SurfaceRatioOf(surface);
    painter.drawImage(QRect(at, source.size()), surface,
                      QRect(source.topLeft() * ratio, source.size() * ratio));
}

QImage SurfaceCopy(const QImage& surface, const QRect& source)
{
    if (surface.isNull())
        return {};
    const int ratio = SurfaceRatioOf(surface);
    QImage part = surface.copy(QRect(source.topLeft() * ratio, source.size() * ratio));
    part.setDevicePixelRatio(ratio);
    return part;
}

void ShowSurface(QPainter& painter, const QImage& surface)
{
    if (surface.isNull())
        return;
    const qreal device = painter.device() != nullptr ? painter.device()->devicePixelRatio() : 1.0;
    if (!qFuzzyCompare(device, static_cast<qreal>(SurfaceRatioOf(surface))))
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QPoint(0, 0), surface);
}

QFont DefaultSurfaceFont()
{
    return ArialFont(13, 700);
}

namespace
{
// Laid-out texts per font: the views draw the same few hundred short texts (numbers, labels) over
// and over, and shaping them anew each time was most of a fast playback's drawing time. The cache
// belongs to the application object (its fonts die with it) and serves the application's thread;
// a font's table starts over when it grows past kTextCacheLimit.
constexpr qsizetype kTextCacheLimit = 4096;

struct LaidOutText
{
    QStaticText text;
    QSize extent;
};

class TextCache : public QObject
{
public:
    using QObject::QObject;
    struct FontTexts
    {
        QFont font;
        QHash<QString, LaidOutText> texts;
    };
    std::vector<FontTexts> fonts;
};

TextCache* ApplicationTextCache()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread())
        return nullptr;
    static QPointer<TextCache> cache;  // touched on the application's thread only
    if (!cache)
        cache = new TextCache(app);  // the application owns it
    return cache;
}

LaidOutText LayOutFresh(const QFont& font, const QString& text)
{
    const QFontMetrics metrics(font);
    LaidOutText entry{QStaticText(text), {metrics.horizontalAdvance(text), metrics.height()}};
    entry.text.setTextFormat(Qt::PlainText);
    entry.text.prepare(QTransform(), font);
    return entry;
}

LaidOutText LayOut(const QFont& font, const QString& text)
{
    TextCache* cache = ApplicationTextCache();
    if (cache == nullptr)
        return LayOutFresh(font, text);
    auto it = std::find_if(cache->fonts.begin(), cache->fonts.end(),
                           [&font](const TextCache::FontTexts& f) { return f.font == font; });
    if (it == cache->fonts.end())
    {
        cache->fonts.push_back(TextCache::FontTexts{font, {}});
        it = cache->fonts.end() - 1;
    }
    if (const auto found = it->texts.constFind(text); found != it->texts.constEnd())
        return *found;
    if (it->texts.size() >= kTextCacheLimit)
        it->texts.clear();
    return *it->texts.insert(text, LayOutFresh(font, text));
}
}  // namespace

QSize TextExtent(const QFont& font, const QString& text)
{
    return LayOut(font, text).extent;
}

void TextAt(QPainter& painter, int x, int y, const QString& text, const QColor& colour,
            std::optional<QColor> background)
{
    if (text.isEmpty())
        return;
    const LaidOutText laidOut = LayOut(painter.font(), text);
    const QRect cell(QPoint(x, y), laidOut.extent);
    if (background)
        painter.fillRect(cell, *background);
    const QPen saved = painter.pen();
    painter.setPen(colour);
    painter.drawStaticText(cell.topLeft(), laidOut.text);
    painter.setPen(saved);
}
