// Signal view rows: plotted heights, bar blocks, the graph at narrow widths, the cell texts.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "views/ChannelStrip.h"
#include "views/DrawingResources.h"

namespace
{
// A window of 740 × 30 + 12 × 60: c = 10, G = 502, row height 60, h = 56.
constexpr int kWidth = 740;
constexpr int kHeight = 30 + 12 * 60;

struct Strip
{
    QImage screen{kWidth, kHeight, QImage::Format_RGB32};
    ChannelStrip strip;

    explicit Strip(int graphType, int width = kWidth)
    {
        screen.fill(Qt::white);
        strip.SetGraphType(graphType);
        QPainter painter(&screen);
        strip.Layout(painter, 30, 85, width, true, kSnrScale);
    }
    void Draw(int signal, bool nmea = false)
    {
        QPainter painter(&screen);
        strip.DrawRow(painter, {7, 0x3F, 120, 45, signal, nmea}, QColor(0, 106, 0), Drawing().penRed1);
    }
    [[nodiscard]] QColor At(int x, int y) const { return strip.Graph().pixelColor(x, y); }
    [[nodiscard]] int X() const { return 49 * strip.SampleWidth() + 2 + strip.SampleWidth() / 2; }
};
}  // namespace

TEST(ChannelStrip, GeometryFollowsTheWindowWidth)
{
    const Strip s(kBarGraph);
    EXPECT_EQ(s.strip.SampleWidth(), 10);
    EXPECT_EQ(s.strip.GraphWidth(), 502);
    EXPECT_EQ(s.strip.GraphHeight(), 56);
    EXPECT_EQ(s.strip.CellOrigin(4), QPoint(169, 30));
}

TEST(ChannelStrip, TopAndBottomOfTheSnrScale)
{
    const Strip s(kLineGraph);
    EXPECT_EQ(s.strip.PlotY(50), 1);
    EXPECT_EQ(s.strip.PlotY(20), 56 - 3);
    EXPECT_EQ(ChannelStrip{}.PlotY(50), ChannelStrip{}.PlotY(50));
}

TEST(ChannelStrip, LineGraphEndsAtThePlottedHeight)
{
    Strip s(kLineGraph);
    s.Draw(50);
    s.Draw(50);
    EXPECT_EQ(s.At(s.X() - 3, 1), QColor(255, 0, 0));
    // The sample is copied to the window beside the cells.
    EXPECT_EQ(s.screen.pixelColor(ChannelStrip::kGraphLeft + s.X() - 3, 30 + 1), QColor(255, 0, 0));
}

TEST(ChannelStrip, BarBlocksAreRedOverYellowOverGreen)
{
    const int h = 56;
    // SNR 20 + 5 × k/10 ... choose values whose bar heights are 5, 6 and 12 pixels.
    const auto valueForHeight = [&](int barHeight)
    {
        for (int v = 20; v <= 50; ++v)
        {
            Strip probe(kBarGraph);
            if (h - 3 - probe.strip.PlotY(v) == barHeight)
                return v;
        }
        return -1;
    };
    const int five = valueForHeight(5);
    const int six = valueForHeight(6);
    const int twelve = valueForHeight(12);
    ASSERT_NE(five, -1);
    ASSERT_NE(six, -1);
    ASSERT_NE(twelve, -1);

    Strip none(kBarGraph);
    none.Draw(five);
    EXPECT_EQ(none.At(none.X() - 5, h - 5), QColor(255, 255, 255));

    Strip one(kBarGraph);
    one.Draw(six);
    EXPECT_EQ(one.At(one.X() - 5, h - 5), QColor(255, 0, 0));
    EXPECT_EQ(one.At(one.X() - 7, h - 8), QColor(255, 0, 0));

    Strip two(kBarGraph);
    two.Draw(twelve);
    EXPECT_EQ(two.At(two.X() - 5, h - 5), QColor(255, 255, 0));
    EXPECT_EQ(two.At(two.X() - 5, h - 11), QColor(255, 0, 0));
    EXPECT_EQ(two.At(two.X() - 5, h - 16), QColor(255, 255, 255));
}

TEST(ChannelStrip, SamplesScrollLeftByOneSampleWidth)
{
    Strip s(kBarGraph);
    s.Draw(50);
    const int x = s.X() - 5;
    EXPECT_EQ(s.At(x, 20), QColor(0, 255, 0));
    s.Draw(20);
    EXPECT_EQ(s.At(x, 20), QColor(255, 255, 255));
    EXPECT_EQ(s.At(x - 10, 20), QColor(0, 255, 0));
}

TEST(ChannelStrip, NarrowWindowWritesCellsButLeavesTheGraph)
{
    Strip s(kBarGraph, 289);
    EXPECT_EQ(s.strip.SampleWidth(), 0);
    const QImage before = s.strip.Graph();
    const QImage cellsBefore = s.screen.copy(5, 30, 200, 14);
    s.Draw(50);
    EXPECT_EQ(s.strip.Graph(), before);
    EXPECT_NE(s.screen.copy(5, 30, 200, 14), cellsBefore);
}

TEST(ChannelStrip, CellTextsOfBinaryAndNmeaRows)
{
    const auto binary = ChannelStrip::CellTexts({7, 0x3F, 120, 45, 8, false});
    EXPECT_EQ(binary[0], QStringLiteral("  7      "));
    EXPECT_EQ(binary[1], QStringLiteral("3F      "));
    EXPECT_EQ(binary[2], QStringLiteral("120      "));
    EXPECT_EQ(binary[3], QStringLiteral("45       "));
    EXPECT_EQ(binary[4], QStringLiteral("08 "));
    const auto nmea = ChannelStrip::CellTexts({12, 0x3F, 5, 60, 41, true});
    EXPECT_EQ(nmea[1], QStringLiteral(" --      "));
    EXPECT_EQ(nmea[0], QStringLiteral(" 12      "));
}

TEST(SignalCanvas, FirstTwoUpdatesAreDroppedAndAnEmptyEntryClearsItsRow)
{
    CSignalCanvas canvas;
    canvas.Resize(QSize(kWidth, kHeight));
    EXPECT_EQ(canvas.MinimumWidth(), 210);
    EXPECT_FALSE(canvas.PassWarmUp());  // the initial update
    EXPECT_FALSE(canvas.PassWarmUp());  // the first data update
    EXPECT_TRUE(canvas.PassWarmUp());

    SvRecord sv;
    sv.count = 2;
    sv.entries[0] = {0, 5, 100, 30, 50, 0x7F, 0};
    canvas.DrawSatelliteRows(sv);
    const ChannelStrip& row0 = canvas.Strip(0);
    const int x = 49 * row0.SampleWidth() + 2 + row0.SampleWidth() / 2 - 5;
    EXPECT_EQ(row0.Graph().pixelColor(x, row0.GraphHeight() - 5), QColor(0, 255, 0));
    // Row 1 had prn 0: five empty samples, white text.
    const ChannelStrip& row1 = canvas.Strip(1);
    EXPECT_EQ(row1.Graph().pixelColor(x, row1.GraphHeight() - 5), QColor(255, 255, 255));

    canvas.Resize(QSize(2, 2));
    canvas.DrawSatelliteRows(sv);
    canvas.Resize(QSize(0, 0));
    canvas.DrawSatelliteRows(sv);
    SUCCEED();
}
