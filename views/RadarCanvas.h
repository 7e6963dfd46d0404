// The drawing state of the radar view: the window's backing image, the sky and track map bitmaps,
// the satellite copies, trail warm-up and fix counts and the track rings, and every drawing the
// view's updates make. The widget (CRadarView) only dispatches hints and shows the backing image,
// so the whole view can be driven and looked at in a test without a window.
#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>
#include <array>
#include <functional>
#include <string>

#include "protocol/Records.h"
#include "views/SkyChart.h"
#include "views/StatusPanelText.h"
#include "views/TrackMap.h"

// Settings of the "Radar View" and "Map View" groups that the drawing uses.
struct RadarSettings
{
    int orientation = 0;         // 0 north up, 1 heading up
    double outerVelocity = 4.0;  // m/s at the outer ring of the sky chart
    TrackMapSettings map{};
};

// Owned by the radar view, used on the UI thread only. Receiver index n is 0 or 1.
class CRadarCanvas
{
public:
    // Receives every status panel field the updates write.
    using TextSink = std::function<void(int id, const std::string& text)>;

    explicit CRadarCanvas(TextSink sink = {});

    void SetTextSink(TextSink sink) { m_sink = std::move(sink); }
    // Takes new settings; the map's pixels per metre follow at once.
    void SetSettings(const RadarSettings& settings);
    [[nodiscard]] const RadarSettings& Settings() const { return m_settings; }
    void SetLeapSeconds(int leapSeconds) { m_leapSeconds = leapSeconds; }

    // A new client size (logical pixels) or surface ratio (GdiPaint.h): a backing image of that size,
    // then the layout.
    void Resize(QSize client, int ratio = 1);
    [[nodiscard]] int Ratio() const { return m_ratio; }
    // The layout of the whole window into the backing image: backgrounds, trails and track points,
    // rebuilding the bitmaps when the map side changed. Satellites and the arrow return with the
    // next update.
    void Repaint();
    // Draws the sky backgrounds and the empty maps again from the current settings (removing trails
    // and track points), then the layout.
    void Rebuild();
    [[nodiscard]] const QImage& Screen() const { return m_screen; }
    [[nodiscard]] const RadarLayout& Layout() const { return m_layout; }

    // Navigation message (id 2): status fields, sky chart with arrow and satellites, track point.
    // `table`, when given, is the record set's satellite table and replaces the one kept. A table
    // the classic records show (IsClassicTable) leaves the chart to the satellite record's channels
    // in their state colours; any other table is drawn whole, as badges.
    void NavigationUpdate(int n, const NavDisplay& nav, std::uint8_t infoByte,
                          const SatelliteTable* table = nullptr);
    // DOP message (ids 3, 4): DOP and mode fields.
    void DopUpdate(int n, const DopRecord& dop);
    // Satellite message (ids 5, 6): time fields, then keeps the satellites (and the record set's
    // satellite table) for the next chart.
    void SatelliteUpdate(int n, const SvRecord& sv);
    void SatelliteUpdate(int n, const SvRecord& sv, const SatelliteTable& table);
    // NMEA data ending in a GGA sentence. `localHour` is the PC's local hour. The chart shows the
    // satellites-in-view records as the classic program did while the table is classic
    // (IsClassicTable), else every satellite of the table as badges.
    void NmeaUpdate(int n, const NmeaRecords& nmea, int localHour);

    // The constellations the charts leave out. Changing it draws both charts again at once from
    // their last update, without leaving trails.
    void SetConstellationFilter(const ConstellationFilter& filter);
    [[nodiscard]] const ConstellationFilter& Filter() const { return m_filter; }
    // The constellations in receiver n's last chart of badges (empty for a classic chart), in
    // table order: the entries of its legend.
    [[nodiscard]] const std::vector<Constellation>& ChartConstellations(int n) const
    {
        return m_pictures.at(static_cast<std::size_t>(n)).present;
    }

    // Empty track map and ring, sky background without trails, both copied to the window.
    void ClearReceiver(int n);
    // Reset button: the fix count returns to 0 and shows "0".
    void ResetFixCount(int n);
    // Initialisation command sent: trails wait for another 80 plots.
    void ResetTrailWarmUp(int n) { m_warmUp.at(static_cast<std::size_t>(n)) = 0; }

    enum class Hit
    {
        None,
        TrackMap,
        SkyChart
    };
    [[nodiscard]] Hit HitTest(QPoint client) const;

    [[nodiscard]] const FixCount& Fixes(int n) const { return m_fixes.at(static_cast<std::size_t>(n)); }
    [[nodiscard]] const TrackRing& Ring(int n) const { return m_rings.at(static_cast<std::size_t>(n)); }
    [[nodiscard]] int TrailWarmUp(int n) const { return m_warmUp.at(static_cast<std::size_t>(n)); }
    [[nodiscard]] const QImage& SkyBackground(int n) const
    {
        return m_skyBackground.at(static_cast<std::size_t>(n));
    }
    [[nodiscard]] const QImage& TrackBitmap(int n) const
    {
        return m_trackMap.at(static_cast<std::size_t>(n));
    }
    [[nodiscard]] const SkyGeometry& Sky() const { return m_sky; }
    [[nodiscard]] double PixelsPerMetre() const { return m_pixelsPerMetre; }

    static constexpr int kTrailWarmUp = 80;  // plots of a receiver before trails are left

private:
    void Write(const FieldTexts& texts) const;
    void EnsureBitmaps();
    void RebuildBitmaps();
    void DrawEmptyMapInto(std::size_t n);
    // What receiver n's chart showed at its last update: drawn again when the filter changes.
    struct SkyPicture
    {
        std::vector<SkySatellite> satellites;
        std::vector<Constellation> present;  // legend entries; empty for a classic chart
        double courseRad = 0.0;
        double speedMps = 0.0;
        bool shown = false;  // on the screen (a repaint or a clear takes the symbols away)
    };
    void DrawSkyChart(std::size_t n, std::vector<SkySatellite> satellites, bool badges, double courseRad,
                      double speedMps);
    // The working bitmap from the background, the arrow, the marker, the satellites the filter
    // shows and the legend, copied to the screen; `leaveTrails` counts the plots and leaves trails.
    void ComposeChart(std::size_t n, bool leaveTrails);
    void AddPosition(std::size_t n, double latitudeDeg, double longitudeDeg);
    void CopyToScreen(const QImage& image, const Box& square);

    TextSink m_sink;
    RadarSettings m_settings{};
    int m_leapSeconds = 12;

    QImage m_screen;
    int m_ratio = 1;
    bool m_painted = false;
    RadarLayout m_layout{};
    int m_builtMapSide = -1;
    int m_builtRatio = 1;
    QImage m_working;
    std::array<QImage, 2> m_skyBackground{};
    std::array<QImage, 2> m_trackMap{};
    SkyGeometry m_sky{};
    int m_mapRadius = 0;
    double m_pixelsPerMetre = 0.0;
    double m_metresPerDegreeLongitude = 0.0;

    std::array<SvRecord, 2> m_satellites{};
    std::array<SatelliteTable, 2> m_tables{};
    std::array<SkyPicture, 2> m_pictures{};
    ConstellationFilter m_filter{};
    std::array<int, 2> m_warmUp{};
    std::array<FixCount, 2> m_fixes{};
    std::array<TrackRing, 2> m_rings{};
};
