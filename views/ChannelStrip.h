// The rows of the signal views: a `ChannelStrip` shows one receiver channel as five text cells and a
// strip chart of its signal-to-noise ratio over the last 50 updates; `CSignalCanvas` holds the
// twelve strips of a view, its backing image and its copies of the receiver's data, and runs the
// view's updates. The widgets (CSignalView, CSignalView2) only dispatch and show the image.
#pragma once

#include <QColor>
#include <QImage>
#include <QPen>
#include <QString>
#include <array>
#include <cstdint>

#include "protocol/Records.h"

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

    int m_graphType = kBarGraph;
    SignalScale m_scale = kSnrScale;
    int m_top = 0, m_bottom = 0;
    int m_c = 0, m_width = 0, m_height = 0;
    int m_previousY = 0;
    QImage m_graph;
};

// The strips of one signal view and its drawing state; UI thread only.
class CSignalCanvas
{
public:
    static constexpr int kHeaderHeight = 30;
    static constexpr int kWarmUpUpdates = 2;

    // A new client size (logical pixels) or surface ratio (GdiPaint.h): a backing image of that size,
    // then the layout.
    void Resize(QSize client, int ratio = 1);
    [[nodiscard]] int Ratio() const { return m_ratio; }
    // The layout of every strip into the backing image; the graphs start empty.
    void Repaint();
    [[nodiscard]] const QImage& Screen() const { return m_screen; }
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
    // `satellites` when `fresh` (satellite data no older than 9 s), else black.
    void DrawMeasurementRows(const SvRecord& record, const SvRecord& satellites, bool fresh,
                             std::uint8_t navInfoByte);

    [[nodiscard]] const ChannelStrip& Strip(int row) const
    {
        return m_strips.at(static_cast<std::size_t>(row));
    }

private:
    template <typename Draw>
    void OnScreen(Draw&& draw);

    QImage m_screen;
    int m_ratio = 1;
    std::array<ChannelStrip, kChannelCount> m_strips{};
    SignalScale m_scale = kSnrScale;
    int m_warmUp = 0;
    int m_minimumWidth = 0;
};
