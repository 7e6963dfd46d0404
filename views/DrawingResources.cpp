// The palette of the drawn views.
#include "views/DrawingResources.h"

#include <QCoreApplication>
#include <array>
#include <cassert>

int SatelliteStateColour(std::uint8_t state)
{
    if ((state & 0x7F) == 0x7F)
        return 1;
    if ((state & 0x3F) == 0x3F)
        return 2;
    if ((state & 0x1F) == 0x1F)
        return 3;
    if ((state & 0x0F) == 0x0F)
        return 4;
    if ((state & 0x01) != 0)
        return 5;
    return 6;
}

namespace colours
{
QColor SatelliteSymbol(int colourClass)
{
    switch (colourClass)
    {
        case 1:
            return {255, 0, 0};
        case 2:
            return {255, 255, 0};
        case 3:
            return {0, 255, 0};
        case 4:
            return {0, 255, 255};
        case 5:
            return {191, 128, 255};
        default:
            return {192, 192, 192};
    }
}

QColor ConstellationSymbol(Constellation system)
{
    static const std::array<QColor, kConstellationCount> kSymbols{
        QColor{255, 128, 0},    // GPS
        QColor{255, 96, 96},    // GLONASS
        QColor{96, 232, 96},    // Galileo
        QColor{255, 232, 0},    // BeiDou
        QColor{255, 128, 255},  // QZSS
        QColor{0, 232, 232},    // NavIC
        QColor{208, 208, 208},  // SBAS
        QColor{255, 255, 255},  // other
    };
    return kSymbols[ConstellationIndex(system)];
}

QColor ConstellationText(Constellation system)
{
    // The darker shade keeps yellow, cyan and white readable on the white signal view.
    // Through 8-bit RGB, so the colour compares equal to the pixels drawn in it.
    return QColor(ConstellationSymbol(system).darker(170).rgb());
}

QColor SatelliteText(int colourClass)
{
    switch (colourClass)
    {
        case 1:
            return {255, 0, 0};
        case 2:
            return {220, 167, 7};
        case 3:
            return {0, 106, 0};
        case 4:
            return {0, 0, 255};
        case 5:
            return {203, 1, 254};
        default:
            return {124, 124, 124};
    }
}
}  // namespace colours

namespace
{
// Solid pen of the given width. Wide pens end round, as the classic wide pens do.
QPen SolidPen(const QColor& colour, int width)
{
    QPen pen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    if (width <= 1)
        pen.setCapStyle(Qt::FlatCap);
    return pen;
}

DrawingResources MakeResources()
{
    const QColor red{255, 0, 0}, yellow{255, 255, 0}, green{0, 255, 0}, cyan{0, 255, 255};
    const QColor purple{191, 128, 255}, grey{192, 192, 192};
    DrawingResources r;
    r.penWhite1 = SolidPen(colours::kWhite, 1);
    r.penRed1 = SolidPen(red, 1);
    r.penYellow1 = SolidPen(yellow, 1);
    r.penGreen1 = SolidPen(green, 1);
    r.penCyan1 = SolidPen(cyan, 1);
    r.penPurple1 = SolidPen(purple, 1);
    r.penGrey1 = SolidPen(grey, 1);
    r.penOrange1 = SolidPen(colours::kNmeaSymbol, 1);
    r.penBlack1 = SolidPen(colours::kBlack, 1);
    r.penRed3 = SolidPen(red, 3);
    r.penYellow3 = SolidPen(yellow, 3);
    r.penGreen3 = SolidPen(green, 3);
    r.penCyan3 = SolidPen(cyan, 3);
    r.penPurple3 = SolidPen(purple, 3);
    r.penGrey3 = SolidPen(grey, 3);
    r.brushWhite = QBrush(colours::kWhite);
    r.brushSky = QBrush(colours::kSky);
    r.brushMap = QBrush(colours::kMap);
    r.brushRed = QBrush(red);
    r.brushYellow = QBrush(yellow);
    r.brushGreen = QBrush(green);
    return r;
}
}  // namespace

const QPen& DrawingResources::StatePen1(int colourClass) const
{
    switch (colourClass)
    {
        case 1:
            return penRed1;
        case 2:
            return penYellow1;
        case 3:
            return penGreen1;
        case 4:
            return penCyan1;
        case 5:
            return penPurple1;
        default:
            return penGrey1;
    }
}

const DrawingResources& Drawing()
{
    assert(QCoreApplication::instance() != nullptr);
    static const DrawingResources resources = MakeResources();
    return resources;
}
