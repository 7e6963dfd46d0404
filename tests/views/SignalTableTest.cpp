// Signal view rows of a multi-constellation receiver: a row per satellite of the table, labelled
// with its constellation and number, kept by its satellite across updates, narrowing to share the
// window and running on below it (for the widget to scroll) when there are too many.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "GnssTestSupport.h"
#include "views/ChannelStrip.h"
#include "views/DrawingResources.h"
#include "views/GdiPaint.h"

using gnss_test::Put;

namespace
{
constexpr int kWidth = 740;  // c = 10

// `count` satellites of four constellations, ten of each, all tracked.
SatelliteTable Table(int count, int snr = 40)
{
    SatelliteTable table;
    const std::array<Constellation, 4> systems{Constellation::Gps, Constellation::Glonass,
                                               Constellation::Galileo, Constellation::BeiDou};
    for (int k = 0; k < count; ++k)
        Put(table, systems[static_cast<std::size_t>(k / 10 % 4)], 1 + k % 10 + 10 * (k / 40), 10 + k, 9 * k,
            snr, k % 2 == 0);
    return table;
}

CSignalCanvas Canvas(int height)
{
    CSignalCanvas canvas;
    canvas.SetScrollBarWidth(15);
    canvas.Resize(QSize(kWidth, height));
    return canvas;
}

// How many pixels of `colour` lie in `area` of the screen.
int Count(const QImage& image, const QRect& area, const QColor& colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += image.pixelColor(x, y) == colour ? 1 : 0;
    return n;
}

// The x of the newest sample's bar and of the one before it.
int NewestBar(const ChannelStrip& strip)
{
    return 49 * strip.SampleWidth() + 2 + strip.SampleWidth() / 2 - 5;
}
}  // namespace

TEST(SignalTable, FortySatellitesShareATallWindowEachWithItsLabel)
{
    // 30 + 40 × 24 pixels: every row fits, 24 pixels apart.
    CSignalCanvas canvas = Canvas(30 + 40 * 24);
    const SatelliteTable table = Table(40);
    canvas.DrawTableRows(table);
    ASSERT_TRUE(canvas.ShowsTable());
    ASSERT_EQ(canvas.RowCount(), 40);
    EXPECT_EQ(canvas.ContentHeight(), 30 + 40 * 24);
    EXPECT_EQ(canvas.Screen().height(), 30 + 40 * 24);
    const QImage screen = canvas.Screen().convertToFormat(QImage::Format_RGB32);
    for (int row = 0; row < 40; ++row)
    {
        const ChannelStrip& strip = canvas.Strip(row);
        EXPECT_EQ(strip.Top(), 30 + 24 * row) << row;
        const auto id = canvas.RowSatellite(row);
        ASSERT_TRUE(id) << row;
        // Constellation order: ten GPS rows, then GLONASS, Galileo and BeiDou.
        EXPECT_EQ(ConstellationIndex(id->system), static_cast<std::size_t>(row / 10)) << row;
        // The label "G01" in the constellation's text colour inside the row's first cell.
        const SatelliteEntry& e = *table.Find(id->system, id->svid);
        const auto cells = ChannelStrip::CellTexts({e.svid, 0, e.azimuthDeg, e.elevationDeg, e.snrDbHz, false,
                                                    ConstellationLetter(e.system), e.used});
        EXPECT_EQ(cells[0].trimmed().toStdString(), SatelliteLabel(e.system, e.svid)) << row;
        const QRect label(strip.CellOrigin(0), QSize(36, 14));
        EXPECT_GT(Count(screen, label, colours::ConstellationText(e.system)), 20) << row;
        // Its SNR of 40 as a bar in the graph.
        EXPECT_NE(strip.Graph().pixelColor(NewestBar(strip), strip.GraphHeight() - 5), QColor(255, 255, 255))
            << row;
    }
}

TEST(SignalTable, CellsOfSatelliteRows)
{
    const struct
    {
        StripSample sample;
        std::array<const char*, 5> cells;
    } cases[] = {
        {{5, 0, 120, 45, 41, false, 'G', true}, {" G05     ", "Fix      ", "120      ", "45       ", "41 "}},
        {{133, 0, 200, 30, 7, false, 'S', false},
         {"S133     ", " --      ", "200      ", "30       ", "07 "}},
        {{12, 0, kNoAngle, kNoAngle, kNoSnr, false, 'R', false},
         {" R12     ", " --      ", "--       ", "--       ", "-- "}},
    };
    for (const auto& c : cases)
    {
        const auto cells = ChannelStrip::CellTexts(c.sample);
        for (std::size_t k = 0; k < cells.size(); ++k)
            EXPECT_EQ(cells[k].toStdString(), c.cells[k]) << c.sample.prn << " cell " << k;
    }
}

TEST(SignalTable, SatellitesKeepTheirRowsAndGraphsWhileOthersComeAndGo)
{
    CSignalCanvas canvas = Canvas(30 + 40 * 24);
    SatelliteTable table = Table(30, 50);
    canvas.DrawTableRows(table);
    ASSERT_EQ(canvas.RowCount(), 30);  // more than twelve: one row each
    const auto r07 = canvas.RowSatellite(16);
    ASSERT_TRUE(r07);

    // R07 sets and E11 rises: E11 takes R07's row, everyone else stays where they were.
    table.Remove(table.Find(r07->system, r07->svid));
    Put(table, Constellation::Galileo, 11, 20, 20, 45, true);
    canvas.DrawTableRows(table);
    EXPECT_EQ(canvas.RowSatellite(16), (SatelliteId{Constellation::Galileo, 11}));
    const QColor white(255, 255, 255);
    for (int row = 0; row < 30; ++row)
    {
        // Two samples side by side where the graph ran on; E11 starts a graph of its own.
        const ChannelStrip& strip = canvas.Strip(row);
        const int y = strip.GraphHeight() - 5;
        EXPECT_TRUE(canvas.RowSatellite(row)) << row;
        EXPECT_NE(strip.Graph().pixelColor(NewestBar(strip), y), white) << row;
        EXPECT_EQ(strip.Graph().pixelColor(NewestBar(strip) - strip.SampleWidth(), y) == white, row == 16)
            << row;
    }

    // Twelve more: rows are added below at the same pitch and the graphs above stay.
    for (int k = 0; k < 12; ++k)
        Put(table, Constellation::Qzss, 1 + k, 30, 30 * k, 45, false);
    canvas.DrawTableRows(table);
    EXPECT_EQ(canvas.RowCount(), 42);
    EXPECT_EQ(canvas.Strip(41).Top(),
              canvas.Strip(0).Top() + 41 * (canvas.Strip(1).Top() - canvas.Strip(0).Top()));
    EXPECT_EQ(canvas.RowSatellite(41), (SatelliteId{Constellation::Qzss, 12}));
    EXPECT_GE(canvas.Screen().height(), canvas.ContentHeight());
    const ChannelStrip& first = canvas.Strip(0);
    EXPECT_NE(first.Graph().pixelColor(NewestBar(first) - 2 * first.SampleWidth(), first.GraphHeight() - 5),
              white);

    // A full redraw lays the rows out anew: the free rows at the end go, the satellites stay put.
    table.Remove(table.Find(Constellation::Qzss, 12));
    canvas.DrawTableRows(table);
    canvas.Repaint();
    EXPECT_EQ(canvas.RowCount(), 41);
    EXPECT_EQ(canvas.RowSatellite(16), (SatelliteId{Constellation::Galileo, 11}));
}

TEST(SignalTable, TooManyRowsForTheWindowRunOnBelowIt)
{
    CSignalCanvas canvas = Canvas(500);
    canvas.DrawTableRows(Table(40));
    EXPECT_EQ(canvas.Strip(1).Top() - canvas.Strip(0).Top(), CSignalCanvas::kMinimumRowPitch);
    EXPECT_EQ(canvas.ContentHeight(), 30 + 40 * CSignalCanvas::kMinimumRowPitch);
    EXPECT_EQ(SurfaceSize(canvas.Screen()), QSize(kWidth, canvas.ContentHeight()));
    // The graphs keep clear of the scroll bar's room at the right.
    EXPECT_LE(ChannelStrip::kGraphLeft + canvas.Strip(0).GraphWidth() + 25, kWidth - 15 + 2);
}

TEST(SignalTable, ClassicChannelsComeBackAsTheyWere)
{
    CSignalCanvas canvas = Canvas(30 + 12 * 60);
    CSignalCanvas reference = Canvas(30 + 12 * 60);
    canvas.DrawTableRows(Table(20));
    SvRecord sv;
    sv.count = 2;
    sv.entries[0].prn = 5;
    sv.entries[0].signal = 45;
    sv.entries[0].state = 0x7F;
    canvas.DrawSatelliteRows(sv);
    reference.DrawSatelliteRows(sv);
    EXPECT_FALSE(canvas.ShowsTable());
    EXPECT_EQ(canvas.RowCount(), 12);
    EXPECT_EQ(canvas.Screen(), reference.Screen());
    // Measurement rows draw into channel rows only.
    canvas.DrawTableRows(Table(20));
    const QImage before = canvas.Screen();
    canvas.DrawMeasurementRows(sv, sv, true, 0);
    EXPECT_EQ(canvas.Screen(), before);
}
