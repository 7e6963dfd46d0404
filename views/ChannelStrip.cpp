// Signal view rows and the drawing state of a signal view.
#include "views/ChannelStrip.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cstring>

#include "views/DrawingResources.h"
#include "views/GdiPaint.h"
#include "views/TextFormat.h"

namespace
{
constexpr int kRightMargin = 25;
constexpr int kCellSpan = 205;  // five cells share the table's width
constexpr int kHeaderOffset = 20;
constexpr int kBlockPitch = 6;

QColor WindowColour()
{
    return QGuiApplication::palette().color(QPalette::Base);
}

QString Cell(const std::string& s)
{
    return QString::fromStdString(s);
}
}  // namespace

std::array<QString, 5> ChannelStrip::CellTexts(const StripSample& sample)
{
    const std::string gap = "      ";
    if (sample.system != 0)
    {
        const auto angle = [](int v)
        { return v == kNoAngle ? std::string("--       ") : text::Int(v, 9, true); };
        const auto system = ConstellationFromLetter(sample.system).value_or(Constellation::Other);
        return {
            Cell(text::Pad(SatelliteLabel(system, sample.prn), 4, false) + "     "),
            Cell((sample.used ? std::string("Fix") : std::string(" --")) + gap),
            Cell(angle(sample.azimuth)),
            Cell(angle(sample.elevation)),
            Cell(sample.signal < 0 ? std::string("-- ") : text::Int(sample.signal, 2, false, true) + " "),
        };
    }
    return {
        Cell(text::Int(sample.prn, 3) + gap),
        Cell(sample.nmea ? std::string(" --") + gap
                         : text::Hex(static_cast<unsigned>(sample.state), 2, true, true) + gap),
        Cell(text::Int(sample.azimuth, 9, true)),
        Cell(text::Int(sample.elevation, 9, true)),
        Cell(text::Int(sample.signal, 2, false, true) + " "),
    };
}

QPoint ChannelStrip::CellOrigin(int k) const
{
    return {kTableLeft + k * kCellSpan / 5, m_top};
}

int ChannelStrip::PlotY(int value) const
{
    const double v = value - m_scale.offset;
    const double span = m_scale.maximum - m_scale.minimum;
    const auto level = DrawingInt((v - m_scale.minimum) / span * (m_height - 4));
    return m_height - (level.value_or(0) + 3);
}

void ChannelStrip::Layout(QPainter& screen, int top, int bottom, int clientWidth, bool firstRow,
                          const SignalScale& scale)
{
    m_scale = scale;
    m_top = top;
    m_bottom = bottom;
    m_height = bottom - top + 1;
    m_c = (clientWidth - kTableLeft - kGraphLeft - kRightMargin) / kSamples;
    m_width = kSamples * m_c + 2;
    const QColor white = colours::kWhite;

    if (firstRow)
    {
        const std::array<QString, 5> headers{QStringLiteral(" ID"), QStringLiteral("St"),
                                             QStringLiteral("Az"), QStringLiteral("El"),
                                             QStringLiteral("SNR")};
        for (int k = 0; k < 5; ++k)
            TextAt(screen, CellOrigin(k).x(), top - kHeaderOffset, headers[static_cast<std::size_t>(k)],
                   colours::kBlack, white);
    }

    m_graph = QImage();
    if (m_width >= 1 && m_height >= 1)
    {
        const int ratio = screen.device() != nullptr ? qRound(screen.device()->devicePixelRatio()) : 1;
        m_graph = NewSurface(QSize(m_width, m_height), ratio, WindowColour());
        DrawEmptyGraph();
    }

    if (firstRow)
    {
        const int c = m_c;
        const std::array<std::pair<int, QString>, 6> axis{{
            {kGraphLeft, QStringLiteral("      %1 sec").arg(-25)},
            {kGraphLeft + 10 * c, QStringLiteral("   %1").arg(-20)},
            {kGraphLeft + 20 * c, QStringLiteral("   %1").arg(-15)},
            {kGraphLeft + 30 * c, QStringLiteral("  %1").arg(-10)},
            {kGraphLeft + 40 * c, QStringLiteral(" %1").arg(-5)},
            {50 * c + 211, QStringLiteral("0")},
        }};
        for (const auto& [x, label] : axis)
            TextAt(screen, x, top - kHeaderOffset, label, colours::kBlack, white);
    }

    const int fontHeight = std::min(m_height / 3, 15);
    if (fontHeight >= 1)
    {
        screen.save();
        screen.setFont(ArialFont(fontHeight, 400));
        TextAt(screen, kGraphLeft + m_width, top, QString::number(m_scale.maximum), colours::kBlack,
               std::nullopt);
        TextAt(screen, kGraphLeft + m_width, bottom - fontHeight, QString::number(m_scale.minimum),
               colours::kBlack, std::nullopt);
        screen.restore();
    }

    if (!m_graph.isNull())
        screen.drawImage(QPoint(kGraphLeft, top), m_graph);
}

void ChannelStrip::DrawEmptyGraph()
{
    QPainter graph(&m_graph);
    graph.fillRect(QRect(0, 0, m_width, m_height), WindowColour());
    graph.setPen(QPen(colours::kBlack, 1));
    graph.setBrush(Drawing().brushWhite);
    RectangleBox(graph, 0, 0, m_width, m_height - 1);
}

void ChannelStrip::ResetGraph(QPainter& screen)
{
    m_previousY = 0;
    if (m_graph.isNull())
        return;
    DrawEmptyGraph();
    screen.drawImage(QPoint(kGraphLeft, m_top), m_graph);
}

void ChannelStrip::DrawRow(QPainter& screen, const StripSample& sample, const QColor& textColour,
                           const QPen& pen)
{
    const std::array<QString, 5> cells = CellTexts(sample);
    for (int k = 0; k < 5; ++k)
        TextAt(screen, CellOrigin(k).x(), m_top, cells[static_cast<std::size_t>(k)], textColour,
               colours::kWhite);

    const int c = m_c;
    const int h = m_height;
    if (m_graph.isNull() || m_width <= 0 || h < 3 || c < 1)
        return;
    {
        // The plot moves one sample (c pixels, less the frame column) to the left, in place: one
        // move per scan line of the surface (at its pixel ratio) instead of a copy drawn back.
        const int r = SurfaceRatioOf(m_graph);
        const int count = std::min((49 * c + 1) * r, m_graph.width() - c * r);
        const bool inPlace = count > 0 && m_graph.format() == QImage::Format_RGB32;
        if (inPlace)
            for (int y = r; y < (h - 2) * r && y < m_graph.height(); ++y)
            {
                auto* line = reinterpret_cast<QRgb*>(m_graph.scanLine(y));
                std::memmove(line + r, line + c * r, static_cast<std::size_t>(count) * sizeof(QRgb));
            }
        QPainter graph(&m_graph);
        if (!inPlace)
        {
            const QImage moved = SurfaceCopy(m_graph, QRect(c, 1, 49 * c + 1, h - 3));
            graph.drawImage(QPoint(1, 1), moved);
        }
        if (c > 1)
            graph.fillRect(QRect(49 * c + 1, 1, c - 1, h - 3), colours::kWhite);
        graph.setPen(pen);

        const int x = 49 * c + 2 + c / 2;
        const int y = PlotY(sample.signal);
        if (m_graphType == kLineGraph)
            LineSegment(graph, QPoint(x - c, m_previousY), QPoint(x - 2, y));
        else
            DrawBar(graph, x, y);
        m_previousY = y;
    }
    DrawSurfacePart(screen, QPoint(kGraphLeft, m_top + 1), m_graph, QRect(0, 1, m_width, h - 3));
}

void ChannelStrip::DrawBar(QPainter& graph, int x, int y) const
{
    const DrawingResources& res = Drawing();
    const int base = m_height - 3;
    const int blocks = (base - y) / kBlockPitch;
    for (int j = 1; j <= blocks; ++j)
    {
        if (j == blocks)
        {
            graph.setPen(res.penRed1);
            graph.setBrush(res.brushRed);
        }
        else if (j == blocks - 1)
        {
            graph.setPen(res.penYellow1);
            graph.setBrush(res.brushYellow);
        }
        else
        {
            graph.setPen(res.penGreen1);
            graph.setBrush(res.brushGreen);
        }
        const int bottom = base - kBlockPitch * (j - 1);
        RectangleBox(graph, x - 7, bottom - 5, x + 3, bottom);
    }
}

void ChannelStrip::Clear(QPainter& screen)
{
    for (int i = 0; i < 5; ++i)
        DrawRow(screen, StripSample{}, colours::kWhite, Drawing().penWhite1);
}

template <typename Draw>
void CSignalCanvas::OnScreen(Draw&& draw)
{
    if (m_screen.isNull())
        return;
    QPainter painter(&m_screen);
    painter.setFont(DefaultSurfaceFont());
    draw(painter);
}

void CSignalCanvas::Resize(QSize client, int ratio)
{
    m_ratio = std::max(1, ratio);
    m_client = client;
    Repaint();
}

void CSignalCanvas::Repaint()
{
    const int h = m_client.height();
    int rows = static_cast<int>(kChannelCount);
    int rowHeight = (h - kHeaderHeight) / rows;
    if (m_tableMode)
    {
        m_rows.TrimFreeRows();
        rows = std::max(rows, static_cast<int>(m_rows.Count()));
        rowHeight = std::max(kMinimumRowPitch, (h - kHeaderHeight) / rows);
    }
    m_rowPitch = rowHeight;
    m_contentHeight = kHeaderHeight + rows * rowHeight;
    m_drawnRows.clear();
    m_strips.resize(static_cast<std::size_t>(rows));
    for (ChannelStrip& strip : m_strips)
        strip.SetGraphType(m_graphType);
    ResizeSurface(m_screen, QSize(m_client.width(), std::max(h, m_contentHeight)), m_ratio);
    const int w = LayoutWidth();
    // Without a window the strips are still laid out, so later updates find their geometry.
    QImage scratch;
    QPaintDevice* device = &m_screen;
    if (m_screen.isNull())
    {
        scratch = QImage(1, 1, QImage::Format_RGB32);
        device = &scratch;
    }
    QPainter painter(device);
    painter.setFont(DefaultSurfaceFont());
    painter.fillRect(QRect(0, 0, m_client.width(), std::max(h, m_contentHeight)), WindowColour());
    for (std::size_t i = 0; i < m_strips.size(); ++i)
    {
        const int top = kHeaderHeight + static_cast<int>(i) * rowHeight;
        m_strips[i].Layout(painter, top, top + rowHeight - 5, w, i == 0, m_scale);
    }
    m_minimumWidth = 2 * m_strips[0].CellOrigin(4).x() - m_strips[0].CellOrigin(3).x();
}

int CSignalCanvas::LayoutWidth() const
{
    return m_tableMode ? std::max(0, m_client.width() - m_scrollBarWidth) : m_client.width();
}

void CSignalCanvas::AddRows()
{
    const auto before = m_strips.size();
    const std::size_t rows = std::max<std::size_t>(kChannelCount, m_rows.Count());
    if (rows <= before)
        return;
    m_strips.resize(rows);
    m_contentHeight = kHeaderHeight + static_cast<int>(rows) * m_rowPitch;
    const int w = LayoutWidth();
    if (!m_screen.isNull() && SurfaceSize(m_screen).height() < m_contentHeight)
    {
        QImage grown = NewSurface(QSize(m_client.width(), m_contentHeight), m_ratio, WindowColour());
        {
            QPainter painter(&grown);
            painter.drawImage(QPoint(0, 0), m_screen);
        }
        m_screen = std::move(grown);
    }
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter painter(m_screen.isNull() ? static_cast<QPaintDevice*>(&scratch) : &m_screen);
    painter.setFont(DefaultSurfaceFont());
    for (std::size_t i = before; i < rows; ++i)
    {
        const int top = kHeaderHeight + static_cast<int>(i) * m_rowPitch;
        m_strips[i].SetGraphType(m_graphType);
        m_strips[i].Layout(painter, top, top + m_rowPitch - 5, w, false, m_scale);
    }
}

void CSignalCanvas::SetGraphType(int graphType)
{
    m_graphType = graphType;
    for (ChannelStrip& strip : m_strips)
        strip.SetGraphType(graphType);
}

bool CSignalCanvas::PassWarmUp()
{
    if (m_warmUp < kWarmUpUpdates)
    {
        ++m_warmUp;
        return false;
    }
    return true;
}

void CSignalCanvas::LeaveTableMode()
{
    if (!m_tableMode)
        return;
    m_tableMode = false;
    m_rows.Clear();
    Repaint();
}

std::optional<SatelliteId> CSignalCanvas::RowSatellite(int row) const
{
    const auto& rows = m_rows.Rows();
    if (!m_tableMode || row < 0 || static_cast<std::size_t>(row) >= rows.size())
        return std::nullopt;
    return rows[static_cast<std::size_t>(row)];
}

void CSignalCanvas::DrawTableRows(const SatelliteTable& table)
{
    if (!m_tableMode)
    {
        m_tableMode = true;
        m_rows.Clear();
        m_rows.Update(table);
        Repaint();
    }
    else if (m_rows.Update(table))
        AddRows();
    const auto& rows = m_rows.Rows();
    m_drawnRows.resize(m_strips.size());
    OnScreen(
        [&](QPainter& painter)
        {
            for (std::size_t i = 0; i < m_strips.size(); ++i)
            {
                const SatelliteEntry* e =
                    i < rows.size() && rows[i] ? table.Find(rows[i]->system, rows[i]->svid) : nullptr;
                // A satellite taking over a row starts with an empty graph, not its predecessor's.
                if (e != nullptr && m_drawnRows[i] && !(*m_drawnRows[i] == *rows[i]))
                    m_strips[i].ResetGraph(painter);
                if (e != nullptr)
                    m_drawnRows[i] = rows[i];
                if (e == nullptr)
                {
                    m_strips[i].DrawRow(painter, StripSample{}, colours::kWhite, Drawing().penWhite1);
                    continue;
                }
                const QColor colour = colours::ConstellationText(e->system);
                StripSample sample{e->svid, 0, e->azimuthDeg, e->elevationDeg, e->snrDbHz, false};
                sample.system = ConstellationLetter(e->system);
                sample.used = e->used;
                m_strips[i].DrawRow(painter, sample, colour, QPen(colour, 1));
            }
        });
}

void CSignalCanvas::DrawNmeaRows(const std::array<GsvRecord, 3>& gsv)
{
    LeaveTableMode();
    OnScreen(
        [&](QPainter& painter)
        {
            for (std::size_t s = 0; s < gsv.size(); ++s)
                for (std::size_t k = 0; k < gsv[s].satellites.size(); ++k)
                {
                    ChannelStrip& strip = m_strips.at(4 * s + k);
                    const GsvSatellite& sat = gsv[s].satellites[k];
                    if (sat.prn < 1)
                        strip.Clear(painter);
                    else
                        strip.DrawRow(painter, {sat.prn, 0, sat.azimuth, sat.elevation, sat.snr, true},
                                      colours::kNmeaText, Drawing().penOrange1);
                }
        });
}

void CSignalCanvas::DrawSatelliteRows(const SvRecord& sv)
{
    LeaveTableMode();
    OnScreen(
        [&](QPainter& painter)
        {
            for (std::size_t i = 0; i < kChannelCount; ++i)
            {
                const SvEntry& e = sv.entries[i];
                if (e.prn == 0)
                {
                    m_strips[i].Clear(painter);
                    continue;
                }
                const int colourClass = SatelliteStateColour(e.state);
                m_strips[i].DrawRow(painter, {e.prn, e.state, e.azimuth, e.elevation, e.signal, false},
                                    colours::SatelliteText(colourClass), Drawing().StatePen1(colourClass));
            }
        });
}

void CSignalCanvas::DrawMeasurementRows(const SvRecord& record, const SvRecord& satellites, bool fresh,
                                        std::uint8_t navInfoByte)
{
    if (m_tableMode)
        return;
    const DrawingResources& res = Drawing();
    const std::size_t rows = std::min<std::size_t>(kChannelCount, record.count);
    OnScreen(
        [&](QPainter& painter)
        {
            for (std::size_t i = 0; i < rows; ++i)
            {
                const QPen* pen = &res.penBlack1;
                if (fresh)
                {
                    const SvEntry& s = satellites.entries[i];
                    if (s.state == 0 || s.state == 1)
                        pen = &res.penRed1;
                    else
                        pen = (navInfoByte & 0x0F) == s.prn ? &res.penGreen1 : &res.penCyan1;
                }
                const SvEntry& e = record.entries[i];
                m_strips[i].DrawRow(painter, {e.prn, e.state, e.azimuth, e.elevation, e.signal, false},
                                    colours::kBlack, *pen);
            }
        });
}
