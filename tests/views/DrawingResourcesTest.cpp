// The palette and the colour classes of the channel status byte.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <limits>

#include "views/DrawingResources.h"
#include "views/GdiPaint.h"

TEST(SatelliteStateColour, FirstMatchingTestWins)
{
    EXPECT_EQ(SatelliteStateColour(0x7F), 1);
    EXPECT_EQ(SatelliteStateColour(0xFF), 1);
    EXPECT_EQ(SatelliteStateColour(0x3F), 2);
    EXPECT_EQ(SatelliteStateColour(0xBF), 2);
    EXPECT_EQ(SatelliteStateColour(0x1F), 3);
    EXPECT_EQ(SatelliteStateColour(0x0F), 4);
    EXPECT_EQ(SatelliteStateColour(0x4F), 4);
    EXPECT_EQ(SatelliteStateColour(0x01), 5);
    EXPECT_EQ(SatelliteStateColour(0x07), 5);
    EXPECT_EQ(SatelliteStateColour(0x00), 6);
    EXPECT_EQ(SatelliteStateColour(0x7E), 6);
}

TEST(DrawingResources, PensAndBrushesHoldTheirColoursAndWidths)
{
    const DrawingResources& r = Drawing();
    EXPECT_EQ(r.penPurple1.color(), QColor(191, 128, 255));
    EXPECT_EQ(r.penOrange1.color(), QColor(255, 128, 0));
    EXPECT_EQ(r.penGrey3.width(), 3);
    EXPECT_EQ(r.penWhite1.width(), 1);
    EXPECT_EQ(r.brushSky.color(), QColor(11, 121, 201));
    EXPECT_EQ(r.brushMap.color(), QColor(0, 128, 128));
    EXPECT_EQ(r.StatePen1(4).color(), QColor(0, 255, 255));
    EXPECT_EQ(colours::SatelliteText(2), QColor(220, 167, 7));
    EXPECT_EQ(colours::SatelliteSymbol(6), QColor(192, 192, 192));
}

TEST(DrawingInt, SkipsNonFiniteAndClampsTheRest)
{
    EXPECT_FALSE(DrawingInt(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(DrawingInt(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(DrawingInt(-2.9), -2);
    EXPECT_EQ(DrawingInt(1e300), kDrawLimit);
    EXPECT_EQ(DrawingInt(-1e300), -kDrawLimit);
    EXPECT_EQ(DrawingInt(5.5, 0, 3), 3);
}

TEST(GdiPaint, LinesLeaveOutTheirLastPixelAndBoxesTheirRightAndBottomEdges)
{
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Drawing().penRed1);
    LineSegment(painter, QPoint(2, 2), QPoint(8, 2));
    LineSegment(painter, QPoint(2, 4), QPoint(8, 10));
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    RectangleBox(painter, 10, 10, 15, 15);
    painter.end();
    EXPECT_EQ(image.pixelColor(7, 2), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(8, 2), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(7, 9), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(8, 10), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(14, 14), QColor(0, 0, 0));
    EXPECT_EQ(image.pixelColor(15, 14), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(14, 15), QColor(255, 255, 255));
    EXPECT_EQ(BoxRect(1, 2, 5, 9), QRect(1, 2, 4, 7));
}
