// Drawing state and updates of the radar view.
#include "views/RadarCanvas.h"

#include <QPainter>
#include <algorithm>
#include <optional>

#include "views/DrawingResources.h"
#include "views/GdiPaint.h"

namespace
{
QImage NewBitmap(int side, int ratio)
{
    return NewSurface(QSize(side, side), ratio);
}
}  // namespace

CRadarCanvas::CRadarCanvas(TextSink sink) : m_sink(std::move(sink)) {}

void CRadarCanvas::SetSettings(const RadarSettings& settings)
{
    m_settings = settings;
    m_pixelsPerMetre = ::PixelsPerMetre(m_mapRadius, m_settings.map.scale);
}

void CRadarCanvas::Write(const FieldTexts& texts) const
{
    if (!m_sink)
        return;
    for (const FieldText& t : texts)
        m_sink(t.id, t.text);
}

void CRadarCanvas::Resize(QSize client, int ratio)
{
    m_ratio = std::max(1, ratio);
    ResizeSurface(m_screen, client, m_ratio);
    Repaint();
}

void CRadarCanvas::Repaint()
{
    const QSize client = SurfaceSize(m_screen);
    const int w = client.width();
    const int h = client.height();
    m_layout = ComputeRadarLayout(w, h);
    m_painted = true;
    for (SkyPicture& picture : m_pictures)
        picture.shown = false;
    if (m_layout.mapSide != m_builtMapSide || m_ratio != m_builtRatio)
        RebuildBitmaps();
    if (m_screen.isNull())
        return;
    {
        QPainter painter(&m_screen);
        PaintRadarAreas(painter, m_layout, w, h);
    }
    for (std::size_t n = 0; n < 2; ++n)
    {
        CopyToScreen(m_skyBackground[n], m_layout.skySquare[n]);
        CopyToScreen(m_trackMap[n], m_layout.trackSquare[n]);
    }
}

void CRadarCanvas::Rebuild()
{
    m_builtMapSide = -1;
    Repaint();
}

void CRadarCanvas::EnsureBitmaps()
{
    if (!m_painted)
        Repaint();
}

void CRadarCanvas::RebuildBitmaps()
{
    m_builtMapSide = m_layout.mapSide;
    m_builtRatio = m_ratio;
    const int s = m_layout.skySide;
    m_working = NewBitmap(s, m_ratio);
    m_sky = SkyGeometryFor(s);
    for (std::size_t n = 0; n < 2; ++n)
    {
        m_skyBackground[n] = NewBitmap(s, m_ratio);
        if (!m_skyBackground[n].isNull())
        {
            QPainter painter(&m_skyBackground[n]);
            DrawSkyBackground(painter, s);
        }
        m_trackMap[n] = NewBitmap(m_layout.mapSide, m_ratio);
        DrawEmptyMapInto(n);
        // The ring keeps metres: its points come back at the new size's scale.
        if (!m_trackMap[n].isNull())
        {
            QPainter painter(&m_trackMap[n]);
            DrawTrackRing(painter, m_rings[n], m_layout.mapSide, m_pixelsPerMetre);
        }
    }
}

void CRadarCanvas::DrawEmptyMapInto(std::size_t n)
{
    const int side = m_layout.mapSide;
    m_mapRadius = OuterRingRadius(side);
    m_pixelsPerMetre = ::PixelsPerMetre(m_mapRadius, m_settings.map.scale);
    if (m_trackMap[n].isNull())
        return;
    QPainter painter(&m_trackMap[n]);
    DrawEmptyMap(painter, side, m_settings.map.scale);
}

void CRadarCanvas::CopyToScreen(const QImage& image, const Box& square)
{
    if (image.isNull() || m_screen.isNull())
        return;
    QPainter painter(&m_screen);
    painter.drawImage(QPoint(square.left, square.top), image);
}

void CRadarCanvas::ClearReceiver(int n)
{
    EnsureBitmaps();
    const auto i = static_cast<std::size_t>(n);
    DrawEmptyMapInto(i);
    m_rings.at(i).Clear();
    m_pictures[i].shown = false;
    CopyToScreen(m_trackMap[i], m_layout.trackSquare[i]);
    if (!m_skyBackground[i].isNull())
    {
        QPainter painter(&m_skyBackground[i]);
        DrawSkyBackground(painter, m_layout.skySide);
    }
    CopyToScreen(m_skyBackground[i], m_layout.skySquare[i]);
}

void CRadarCanvas::ResetFixCount(int n)
{
    FixCount& fixes = m_fixes.at(static_cast<std::size_t>(n));
    fixes.Reset();
    Write({{StatusIds(n).fixCount, fixes.Text()}});
}

void CRadarCanvas::NavigationUpdate(int n, const NavDisplay& nav, std::uint8_t infoByte,
                                    const SatelliteTable* table)
{
    const auto i = static_cast<std::size_t>(n);
    EnsureBitmaps();
    if (table != nullptr)
        m_tables.at(i) = *table;
    m_fixes.at(i).Count();
    Write(NavigationFieldTexts(n, nav, infoByte, &m_tables[i]));
    if (IsClassicTable(m_tables[i]))
        DrawSkyChart(i, SatellitesFromSv(m_satellites[i]), false, nav.courseRad, nav.speedMps);
    else
        DrawSkyChart(i, SatellitesFromTable(m_tables[i]), true, nav.courseRad, nav.speedMps);
    m_metresPerDegreeLongitude = nav.metresPerDegreeLongitude;
    AddPosition(i, nav.latitudeDeg, nav.longitudeDeg);
}

void CRadarCanvas::DopUpdate(int n, const DopRecord& dop)
{
    Write(DopFieldTexts(n, dop));
}

void CRadarCanvas::SatelliteUpdate(int n, const SvRecord& sv)
{
    const auto i = static_cast<std::size_t>(n);
    Write(SatelliteTimeFieldTexts(n, sv, m_leapSeconds, m_fixes.at(i)));
    m_satellites[i] = sv;
}

void CRadarCanvas::SatelliteUpdate(int n, const SvRecord& sv, const SatelliteTable& table)
{
    SatelliteUpdate(n, sv);
    m_tables.at(static_cast<std::size_t>(n)) = table;
}

void CRadarCanvas::NmeaUpdate(int n, const NmeaRecords& nmea, int localHour)
{
    const auto i = static_cast<std::size_t>(n);
    EnsureBitmaps();
    const NmeaPanel panel = NmeaFieldTexts(n, nmea, m_fixes.at(i), localHour);
    Write(panel.texts);
    m_fixes[i].Count();
    m_metresPerDegreeLongitude = MetresPerDegreeLongitude(panel.latitudeDeg);
    if (IsClassicTable(nmea.satellites))
        DrawSkyChart(i, SatellitesFromGsv(nmea.gsv), false, panel.courseRad, panel.speedMps);
    else
        DrawSkyChart(i, SatellitesFromTable(nmea.satellites), true, panel.courseRad, panel.speedMps);
    AddPosition(i, panel.latitudeDeg, panel.longitudeDeg);
}

void CRadarCanvas::SetConstellationFilter(const ConstellationFilter& filter)
{
    m_filter = filter;
    for (std::size_t n = 0; n < m_pictures.size(); ++n)
        if (m_pictures[n].shown)
            ComposeChart(n, false);
}

void CRadarCanvas::DrawSkyChart(std::size_t n, std::vector<SkySatellite> satellites, bool badges,
                                double courseRad, double speedMps)
{
    SkyPicture& picture = m_pictures[n];
    picture.present.clear();
    if (badges)
    {
        std::array<bool, kConstellationCount> seen{};
        for (const SkySatellite& s : satellites)
            seen[ConstellationIndex(s.system)] = true;
        for (std::size_t k = 0; k < seen.size(); ++k)
            if (seen[k])
                picture.present.push_back(static_cast<Constellation>(k));
    }
    picture.satellites = std::move(satellites);
    picture.courseRad = courseRad;
    picture.speedMps = speedMps;
    picture.shown = true;
    ComposeChart(n, true);
}

void CRadarCanvas::ComposeChart(std::size_t n, bool leaveTrails)
{
    if (m_working.isNull())
        return;
    const SkyPicture& picture = m_pictures[n];
    const double phi = OrientationOffset(m_settings.orientation, picture.courseRad);
    {
        QPainter working(&m_working);
        working.drawImage(QPoint(0, 0), m_skyBackground[n]);
        DrawVelocityArrow(working, m_sky, picture.speedMps, m_settings.outerVelocity, picture.courseRad, phi);
        DrawNorthMarker(working, m_sky, phi);
        std::optional<QPainter> background;
        if (leaveTrails)
            background.emplace(&m_skyBackground[n]);
        for (const SkySatellite& s : picture.satellites)
        {
            if (!m_filter.Shows(s.system))
                continue;
            const auto point = SatellitePoint(m_sky, s, phi);
            if (point)
                DrawSkySatellite(working, *point, s, false);
            if (!background)
                continue;
            if (m_warmUp[n] < kTrailWarmUp)
                ++m_warmUp[n];
            else if (point)
                DrawSkySatellite(*background, *point, s, true);
        }
        if (!picture.present.empty())
            DrawConstellationLegend(working, m_sky.side, picture.present, m_filter);
    }
    CopyToScreen(m_working, m_layout.skySquare[n]);
}

void CRadarCanvas::AddPosition(std::size_t n, double latitudeDeg, double longitudeDeg)
{
    if (m_trackMap[n].isNull())
        return;
    const auto offset = TrackMapOffset(latitudeDeg, longitudeDeg, m_settings.map, m_metresPerDegreeLongitude);
    if (!offset)
        return;
    {
        QPainter painter(&m_trackMap[n]);
        AddTrackPoint(painter, m_rings[n], *offset, m_layout.mapSide, m_pixelsPerMetre);
    }
    CopyToScreen(m_trackMap[n], m_layout.trackSquare[n]);
}

CRadarCanvas::Hit CRadarCanvas::HitTest(QPoint client) const
{
    const int x = client.x();
    const int y = client.y();
    const Box& map1 = m_layout.trackSquare[0];
    if (x <= m_layout.trackSquare[1].right && y >= map1.top && y <= map1.bottom)
        return Hit::TrackMap;
    if (x >= m_layout.skySquare[0].left && y >= m_layout.skySquare[0].top &&
        y <= m_layout.skySquare[1].bottom)
        return Hit::SkyChart;
    return Hit::None;
}
