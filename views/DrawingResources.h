// The fixed palette of the drawn views: the shared pens and brushes, the satellite state colours
// and every other colour the displays use, in one place.
#pragma once

#include <QBrush>
#include <QColor>
#include <QPen>
#include <array>
#include <cstdint>

#include "protocol/SatelliteTable.h"

// Colour class of a satellite from its channel status byte: 1 red (0x7F), 2 yellow (0x3F),
// 3 green (0x1F), 4 cyan (0x0F), 5 purple (bit 0), 6 grey; the first matching test wins.
int SatelliteStateColour(std::uint8_t state);

namespace colours
{
inline const QColor kWhite{255, 255, 255};
inline const QColor kBlack{0, 0, 0};
inline const QColor kSky{11, 121, 201};
inline const QColor kMap{0, 128, 128};
inline const QColor kNmeaSymbol{255, 128, 0};  // sky chart symbols of NMEA satellites
inline const QColor kNmeaText{213, 106, 0};    // signal view text of NMEA rows

// Track map points, oldest to newest.
inline const std::array<QColor, 8> kTrackPoints{QColor{0, 0, 220},   QColor{58, 0, 192},  QColor{90, 0, 160},
                                                QColor{112, 0, 112}, QColor{112, 0, 122}, QColor{160, 0, 90},
                                                QColor{192, 0, 58},  QColor{255, 0, 0}};

// Symbol and pen colour of colour class 1..6 (anything else is grey).
QColor SatelliteSymbol(int colourClass);
// Signal view text colour of colour class 1..6.
QColor SatelliteText(int colourClass);

// Satellites of a multi-constellation receiver: one colour per constellation for the sky chart's
// badges, trails and legend (light, for the sky colour; orange for GPS as the NMEA symbols always
// were), and a darker one of the same hue for the signal views' texts and lines on white.
QColor ConstellationSymbol(Constellation system);
QColor ConstellationText(Constellation system);
// Fill of a sky chart badge whose satellite is not used in the fix (its outline keeps the colour).
inline const QColor kBadgeIdle{8, 64, 112};
}  // namespace colours

// The fifteen shared pens and six shared brushes, all solid. Built once, on first use after the
// QApplication exists, and never changed; the drawings use them and make their own pens for the
// colours they create on the spot.
struct DrawingResources
{
    QPen penWhite1, penRed1, penYellow1, penGreen1, penCyan1, penPurple1, penGrey1, penOrange1, penBlack1;
    QPen penRed3, penYellow3, penGreen3, penCyan3, penPurple3, penGrey3;
    QBrush brushWhite, brushSky, brushMap, brushRed, brushYellow, brushGreen;

    // The 1-pixel pen of colour class 1..6 (signal view rows).
    [[nodiscard]] const QPen& StatePen1(int colourClass) const;
};

// The one palette of the program; must not be called before the QApplication exists.
const DrawingResources& Drawing();
