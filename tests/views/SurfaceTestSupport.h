// Looking at drawings on scaled screens: where a picture changes colour.
#pragma once

#include <QImage>
#include <QRect>

// Share of the colour changes between neighbouring pixels (across and down) inside `area` (device
// pixels) that do not lie on the even 2-pixel grid. An image drawn at ratio 1 and stretched to
// ratio 2 changes colour only on that grid (0); one drawn at ratio 2 changes anywhere (about 0.5).
inline double OffGridEdgeShare(const QImage& image, const QRect& area)
{
    int edges = 0;
    int offGrid = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
        {
            const QRgb here = image.pixel(x, y);
            if (x > area.left() && image.pixel(x - 1, y) != here)
            {
                ++edges;
                offGrid += x % 2;
            }
            if (y > area.top() && image.pixel(x, y - 1) != here)
            {
                ++edges;
                offGrid += y % 2;
            }
        }
    return edges == 0 ? 0.0 : static_cast<double>(offGrid) / edges;
}
