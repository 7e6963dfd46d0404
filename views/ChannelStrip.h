// The rows of the signal views: a `ChannelStrip` shows one receiver channel (or one satellite of a
// multi-constellation receiver) as five text cells and a strip chart of its signal-to-noise ratio
// over the last 50 updates; `CSignalCanvas` holds the strips of a view (twelve channels, or a row
// per satellite of the table), its backing image and its copies of the receiver's data, and runs
// the view's updates. The widgets (CSignalView, CSignalView2) only dispatch and show the image.
#pragma once

#include <QColor>
#include <QImage>
#include <QPen>
#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/Records.h"
#include "protocol/SatelliteTable.h"
#include "views/SatelliteDisplay.h"

class QPainter;

// The values one row update shows.
struct StripSample
{
    int prn = 0;
    int state = 0;  // channel state byte; NMEA rows show " --" instead
    int azimuth = 0;
    int elevation = 0;
    int signal = 0;  // SNR in dB-Hz (binary rows: as stored in the record)
    bool nmea = false;
    // A satellite of the table: the constellation's letter (0 for a channel row). Its cells read
    // "G05", "Fix" or " --" for used in the fix or not, and "--" for an angle or SNR not sent
    // (kNoAngle, kNoSnr).
    char system = 0;
    bool used = false;
};

// Vertical scale of the graphs.
struct SignalScale
{
    int minimum = 20;
    int maximum = 50;
    int offset = 0;  // subtracted from every value (255 in the level scale)
};
inline constexpr SignalScale kSnrScale{20, 50, 0};
inline constexpr SignalScale kLevelScale{-190, -160, 255};

// Graph types of the "Signal View" group.
inline constexpr int kBarGraph = 0;
inline constexpr int kLineGraph = 1;

class ChannelStrip
{
public:
    static constexpr int kTableLeft = 5;
    static constexpr int kGraphLeft = 210;
    static constexpr int kSamples = 50;

    void SetGraphType(int graphType) { m_graphType = graphType; }
    [[nodiscard]] int GraphType() const { return m_graphType; }

    // Lays the strip out between `top` and `bottom` of a window `clientWidth` wide and draws it
    // onto `screen`: column headers and time axis for the first row, an empty graph, the scale. The
    // graph is a surface at the ratio of the screen's device.
    void Layout(QPainter& screen, int top, int bottom, int clientWidth, bool firstRow,
                const SignalScale& scale);
    // One update: the five cells in `textColour`, then one sample scrolled into the graph.
    void DrawRow(QPainter& screen, const StripSample& sample, const QColor& textColour, const QPen& pen);
    // Five updates from an empty sample in white: blank-looking cells, five empty samples.
    void Clear(QPainter& screen);
    // An empty graph again, shown on `screen` (a satellite row that another satellite takes over).
    void ResetGraph(QPainter& screen);

    // Cell k's origin (0..4).
    [[nodiscard]] QPoint CellOrigin(int k) const;
    [[nodiscard]] int SampleWidth() const { return m_c; }       // c
    [[nodiscard]] int GraphWidth() const { return m_width; }    // G
    [[nodiscard]] int GraphHeight() const { return m_height; }  // h
    [[nodiscard]] int Top() const { return m_top; }
    [[nodiscard]] const QImage& Graph() const { return m_graph; }
    // y in the graph of a value (before its scale offset).
    [[nodiscard]] int PlotY(int value) const;

    // The cell texts of a sample.
    static std::array<QString, 5> CellTexts(const StripSample& sample);

private:
    void DrawBar(QPainter& graph, int x, int y) const;
    // The graph's empty frame: the window colour under a white box with a black outline.
    void DrawEmptyGraph();

    int m_graphType = kBarGraph;
    SignalScale m_scale = kSnrScale;
    int m_top = 0, m_bottom = 0;
    int m_c = 0, m_width = 0, m_height = 0;
    int m_previousY = 0;
    QImage m_graph;
};

// The strips of one signal view and its drawing state; UI thread only.
//
// Twelve channel rows share the window's height as they always have. A receiver whose satellite
// table the classic records cannot show (IsClassicTable) gets a row per satellite instead: a
// satellite keeps its row while the table holds it (SatelliteRows), the rows narrow to share the
// window down to kMinimumRowPitch and run on below it beyond that, the backing image growing with
// them for the widget to scroll. Rows that appear between repaints are added below at the pitch
// of the others, so the graphs already drawn stay.
class CSignalCanvas
{
public:
    static constexpr int kHeaderHeight = 30;
    static constexpr int kWarmUpUpdates = 2;
    // Rows of satellites do not get lower than this: a row's text stays readable.
    static constexpr int kMinimumRowPitch = 22;

    // A new client size (logical pixels) or surface ratio (GdiPaint.h): a backing image of that size
    // (taller when the rows need more), then the layout.
    void Resize(QSize client, int ratio = 1);
    [[nodiscard]] int Ratio() const { return m_ratio; }
    // The layout of every strip into the backing image; the graphs start empty. Rows of satellites
    // that left the table at the end are dropped.
    void Repaint();
    [[nodiscard]] const QImage& Screen() const { return m_screen; }
    // Height the rows need (logical pixels); above the client's height the widget scrolls.
    [[nodiscard]] int ContentHeight() const { return m_contentHeight; }
    // Room kept free at the right edge while the rows show a satellite table (the widget's scroll
    // bar goes there); taken at the next layout.
    void SetScrollBarWidth(int width) { m_scrollBarWidth = std::max(0, width); }
    // The frame's minimum tracking width: where the cell table ends.
    [[nodiscard]] int MinimumWidth() const { return m_minimumWidth; }

    void SetGraphType(int graphType);
    void SetScale(const SignalScale& scale) { m_scale = scale; }

    // Counts an update; false while the first two updates are dropped.
    bool PassWarmUp();
    // NMEA rows from the three satellites-in-view records.
    void DrawNmeaRows(const std::array<GsvRecord, 3>& gsv);
    // Every row from a satellite-data record, coloured by channel state.
    void DrawSatelliteRows(const SvRecord& sv);
    // Rows of a measurement update (message id 5): `record` gives the values; the pens come from
    // `satellites` when `fresh` (satellite data no older than 9 s), else black. Nothing while the
    // rows show a satellite table.
    void DrawMeasurementRows(const SvRecord& record, const SvRecord& satellites, bool fresh,
                             std::uint8_t navInfoByte);
    // A row per satellite of the table, labelled with its constellation and number, in the
    // constellation's colour; a free row scrolls in an empty sample.
    void DrawTableRows(const SatelliteTable& table);

    [[nodiscard]] bool ShowsTable() const { return m_tableMode; }
    [[nodiscard]] int RowCount() const { return static_cast<int>(m_strips.size()); }
    // The satellite row `row` shows; empty for a free row or a channel row.
    [[nodiscard]] std::optional<SatelliteId> RowSatellite(int row) const;
    [[nodiscard]] const ChannelStrip& Strip(int row) const
    {
        return m_strips.at(static_cast<std::size_t>(row));
    }

private:
    template <typename Draw>
    void OnScreen(Draw&& draw);
    // Back to twelve channel rows after a satellite table.
    void LeaveTableMode();
    // The width the strips are laid out in.
    [[nodiscard]] int LayoutWidth() const;
    // Lays out the rows the table added, below the others, growing the backing image as needed.
    void AddRows();

    QImage m_screen;
    QSize m_client{0, 0};
    int m_scrollBarWidth = 0;
    int m_ratio = 1;
    std::vector<ChannelStrip> m_strips = std::vector<ChannelStrip>(kChannelCount);
    SignalScale m_scale = kSnrScale;
    int m_graphType = kBarGraph;
    int m_warmUp = 0;
    int m_minimumWidth = 0;
    bool m_tableMode = false;
    SatelliteRows m_rows;
    std::vector<std::optional<SatelliteId>> m_drawnRows;  // what each row's graph shows so far
    int m_rowPitch = 0;
    int m_contentHeight = 0;
};
