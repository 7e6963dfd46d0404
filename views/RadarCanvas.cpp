// Drawing state and updates of the radar view.
#include "views/RadarCanvas.h"

#include <QPainter>
#include <algorithm>

#include "views/DrawingResources.h"
#include "views/GdiPaint.h"
#include "views/TextFormat.h"

namespace
{
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kKmhToMps = 1.0 / 3.6;

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

void CRadarCanvas::NavigationUpdate(int n, const NavDisplay& nav, std::uint8_t infoByte)
{
    const auto i = static_cast<std::size_t>(n);
    EnsureBitmaps();
    m_fixes.at(i).Count();
    Write(NavigationFieldTexts(n, nav, infoByte));
    DrawSkyChart(i, SatellitesFromSv(m_satellites[i]), nav.courseRad, nav.speedMps);
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

void CRadarCanvas::NmeaUpdate(int n, const NmeaRecords& nmea, int localHour)
{
    const auto i = static_cast<std::size_t>(n);
    EnsureBitmaps();
    const NmeaPanel panel = NmeaFieldTexts(n, nmea, m_fixes.at(i), localHour);
    Write(panel.texts);
    m_fixes[i].Count();
    m_metresPerDegreeLongitude = MetresPerDegreeLongitude(panel.latitudeDeg);
    const double course =
        text::LeadingNumber(text::SlotText(nmea.vtg.fields[nmea::kVtgTrueCourse])) * kDegreesToRadians;
    // The sentence gives km/h; the outer ring stands for a velocity in m/s.
    const double speed = text::LeadingNumber(text::SlotText(nmea.vtg.fields[nmea::kVtgSpeedKmh])) * kKmhToMps;
    DrawSkyChart(i, SatellitesFromGsv(nmea.gsv), course, speed);
    AddPosition(i, panel.latitudeDeg, panel.longitudeDeg);
}

void CRadarCanvas::DrawSkyChart(std::size_t n, const std::vector<SkySatellite>& satellites, double courseRad,
                                double speedMps)
{
    if (m_working.isNull())
        return;
    const double phi = OrientationOffset(m_settings.orientation, courseRad);
    {
        QPainter working(&m_working);
        working.drawImage(QPoint(0, 0), m_skyBackground[n]);
        DrawVelocityArrow(working, m_sky, speedMps, m_settings.outerVelocity, courseRad, phi);
        DrawNorthMarker(working, m_sky, phi);
        QPainter background(&m_skyBackground[n]);
        for (const SkySatellite& s : satellites)
        {
            const auto point = SatellitePoint(m_sky, s, phi);
            if (point)
                DrawSatelliteSymbol(working, *point, PrnLabel(s.prn), s.colour, false);
            if (m_warmUp[n] < kTrailWarmUp)
                ++m_warmUp[n];
            else if (point)
                DrawSatelliteSymbol(background, *point, QString(), s.colour, true);
        }
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
