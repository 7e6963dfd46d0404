// Radar view: hint dispatch, the drawing area and the status panel.
#include "views/CRadarView.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <array>
#include <ctime>
#include <string_view>

#include "config/CSkyChartConfigDlg.h"
#include "config/CTrackMapPrefsDlg.h"
#include "link/Notifications.h"
#include "protocol/CData.h"
#include "res/ViewBarTemplates.h"
#include "views/CDialogBar.h"
#include "views/GdiPaint.h"
#include "views/MeasureText.h"
#include "views/SatelliteDisplay.h"

namespace vrn::gui
{
namespace
{
constexpr int kMinimumChartWidth = 160;
constexpr int kMinimumChartHeight = 120;

// The drawing area: shows the canvas' backing image, lays the window out again when its size
// changes and passes the mouse clicks to the view's hit test.
class CRadarChart final : public QWidget
{
public:
    CRadarChart(CRadarCanvas& canvas, CRadarView& view) : QWidget(&view), m_canvas(canvas), m_view(view)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        // Room for sky charts and track maps that still show something.
        setMinimumSize(kMinimumChartWidth, kMinimumChartHeight);
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override
    {
        // Moved to a screen of another scale: the backing images follow.
        if (m_canvas.Ratio() != SurfaceRatio(devicePixelRatioF()))
            m_canvas.Resize(size(), SurfaceRatio(devicePixelRatioF()));
        QPainter painter(this);
        if (m_canvas.Screen().isNull())
            painter.fillRect(rect(), Qt::white);
        else
            ShowSurface(painter, m_canvas.Screen());
    }
    void resizeEvent(QResizeEvent* /*event*/) override
    {
        m_canvas.Resize(size(), SurfaceRatio(devicePixelRatioF()));
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_view.HitTest(event->position().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::RightButton)
            m_view.OnRightButton(event->position().toPoint());
    }

private:
    CRadarCanvas& m_canvas;
    CRadarView& m_view;
};

// The tooltip of receiver `n`'s Mode field: the fix quality in the words of the NMEA quality
// indicator ("RTK Fix", "RTK Flt", "DGPS", "DR", ...), or nothing.
void SetModeTip(CDialogBar& panel, int n, std::string_view text)
{
    if (QWidget* mode = panel.Control(StatusIds(n).mode))
        mode->setToolTip(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

int LocalHour()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    return localtime_r(&now, &local) != nullptr ? local.tm_hour : 0;
}
}  // namespace

CRadarView::CRadarView(QWidget* parent)
    : CViewBase(kViewRadar, parent),
      m_runDialog([](CTemplateDialog& dialog) { return dialog.DoModal(); }),
      m_runMenu([this](QMenu& menu, QPoint point) { return menu.exec(m_chart->mapToGlobal(point)); })
{
    m_chart = new CRadarChart(m_canvas, *this);
    m_panel = new CDialogBar(res::kIddStatusPanel, this);
    m_panel->setObjectName(QStringLiteral("ctl50"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(m_chart, 1);
    layout->addWidget(m_panel, 0);
    m_panel->SetCommandHandler([this](int id) { OnCommand(id); });
    m_canvas.SetTextSink([this](int id, const std::string& text) { m_panel->SetText(id, text); });
}

CRadarView::~CRadarView() = default;

unsigned CRadarView::GoneCode() const
{
    return kMsgRadarGone;
}

void CRadarView::LoadViewSettings()
{
    CAppSettings settings;
    settings.LoadRadarView();
    settings.LoadMapView();
    RadarSettings s;
    s.orientation = settings.Orientation1;
    s.outerVelocity = EffectiveOuterVelocity(settings.OuterRadiusVelocity1);
    s.map = {EffectiveScale(settings.Scale1), settings.CenterFixed1, settings.Latitude1, settings.Longitude1};
    m_canvas.SetSettings(s);
    m_canvas.SetConstellationFilter(ConstellationFilter::FromHiddenLetters(
        CAppSettings::ReadProfileText("Radar View", kHiddenConstellationsKey, "")));
}

void CRadarView::OnInitialUpdate()
{
    SetFrameTitle(QStringLiteral("Radar View"));
    CAppSettings sources;
    sources.LoadDataSources();
    m_canvas.SetLeapSeconds(sources.LeapSec);
    LoadViewSettings();
    const auto names = MeasurePortNames(sources.MeasSource, sources.MeasSerialPort, sources.MeasSerialPort2);
    m_panel->SetText(StatusIds(0).groupBox, PortCaption(names[0]));
    m_panel->SetText(StatusIds(1).groupBox, PortCaption(names[1]));
    // The window may have been laid out before the settings were known.
    m_canvas.Rebuild();
    CViewBase::OnInitialUpdate();
}

void CRadarView::OnUpdate(int hint, const CData* object)
{
    m_summary.Add(hint, object);
    const int h = hint & 0xFFFF;
    switch (h)
    {
        case kHintBinary1:
        case kHintBinary2:
        {
            if (object == nullptr)
                return;
            const int n = h - kHintBinary1;
            switch (object->currentId)
            {
                case kIdNav:
                    m_canvas.NavigationUpdate(n, ComputeNavDisplay(object->nav), object->nav.infoByte,
                                              &object->satellites);
                    break;
                case kIdDopA:
                case kIdDop:
                    m_canvas.DopUpdate(n, object->dop);
                    break;
                case kIdSvA:
                case kIdSv:
                    m_canvas.SatelliteUpdate(n, object->sv, object->satellites);
                    break;
                default:
                    return;
            }
            ShowFixQuality(n, object->fix);
            break;
        }
        case kHintSettings:
        case kHintSettings2:
            LoadViewSettings();
            m_canvas.ClearReceiver(0);
            m_canvas.ClearReceiver(1);
            break;
        case kHintPort1Started:
            m_canvas.ClearReceiver(0);
            SetModeTip(*m_panel, 0, {});
            break;
        case kHintPort2Started:
            m_canvas.ClearReceiver(1);
            SetModeTip(*m_panel, 1, {});
            break;
        case kHintInitSent1:
        case kHintInitSent2:
        {
            const int n = h - kHintInitSent1;
            m_canvas.ResetTrailWarmUp(n);
            m_canvas.ClearReceiver(n);
            m_canvas.ResetFixCount(n);
            SetModeTip(*m_panel, n, {});
            break;
        }
        case kHintNmea1:
        case kHintNmea2:
            if (object == nullptr)
                return;
            m_canvas.NmeaUpdate(h - kHintNmea1, NmeaRecordsOf(*object), LocalHour());
            ShowFixQuality(h - kHintNmea1, object->fix);
            break;
        default:
            return;
    }
    m_chart->update();
}

void CRadarView::ShowFixQuality(int n, const ReceiverFix& fix)
{
    SetModeTip(*m_panel, n, FixQualityText(fix.quality));
}

void CRadarView::OnCommand(int id)
{
    const StatusPanelIds& one = StatusIds(0);
    const StatusPanelIds& two = StatusIds(1);
    if (id == one.clearButton)
        m_canvas.ClearReceiver(0);
    else if (id == two.clearButton)
        m_canvas.ClearReceiver(1);
    else if (id == one.resetButton)
        m_canvas.ResetFixCount(0);
    else if (id == two.resetButton)
        m_canvas.ResetFixCount(1);
    m_chart->update();
}

void CRadarView::HitTest(QPoint point)
{
    switch (m_canvas.HitTest(point))
    {
        case CRadarCanvas::Hit::TrackMap:
            OpenTrackMapPreferences();
            break;
        case CRadarCanvas::Hit::SkyChart:
            OpenSkyChartConfiguration();
            break;
        case CRadarCanvas::Hit::None:
            break;
    }
}

void CRadarView::OnRightButton(QPoint point)
{
    if (m_canvas.HitTest(point) != CRadarCanvas::Hit::SkyChart)
    {
        HitTest(point);
        return;
    }
    QMenu menu(this);
    QAction* configure = menu.addAction(QStringLiteral("Sky Chart Configuration..."));
    menu.addSeparator();
    std::array<QAction*, kConstellationCount> shown{};
    for (std::size_t i = 0; i < kConstellationCount; ++i)
    {
        const auto system = static_cast<Constellation>(i);
        const std::string_view name = ConstellationName(system);
        shown[i] =
            menu.addAction(QStringLiteral("%1 (%2)")
                               .arg(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())))
                               .arg(QChar::fromLatin1(ConstellationLetter(system))));
        shown[i]->setCheckable(true);
        shown[i]->setChecked(m_canvas.Filter().Shows(system));
    }
    QAction* chosen = m_runMenu(menu, point);
    if (chosen == nullptr)
        return;
    if (chosen == configure)
    {
        OpenSkyChartConfiguration();
        return;
    }
    for (std::size_t i = 0; i < kConstellationCount; ++i)
        if (chosen == shown[i])
            ShowOrHideConstellation(static_cast<Constellation>(i));
}

void CRadarView::ShowOrHideConstellation(Constellation system)
{
    ConstellationFilter filter = m_canvas.Filter();
    filter.Show(system, !filter.Shows(system));
    m_canvas.SetConstellationFilter(filter);
    (void)CAppSettings::WriteProfileText("Radar View", kHiddenConstellationsKey, filter.HiddenLetters());
    m_chart->update();
}

void CRadarView::OpenTrackMapPreferences()
{
    const TrackMapSettings& map = m_canvas.Settings().map;
    CTrackMapPrefsDlg dialog(this);
    dialog.SetValues(map.scale, map.latitude, map.longitude);
    if (m_runDialog(dialog) != kIdOk)
        return;
    CAppSettings settings;
    settings.Scale1 = dialog.Scale();
    settings.CenterFixed1 = 1;
    settings.Latitude1 = CTrackMapPrefsDlg::ParseCoordinate(dialog.LatitudeText());
    settings.Longitude1 = CTrackMapPrefsDlg::ParseCoordinate(dialog.LongitudeText());
    (void)settings.SaveMapView();
    OnUpdate(kHintSettings, nullptr);
    OnUpdate(kHintSettings2, nullptr);
}

void CRadarView::OpenSkyChartConfiguration()
{
    const RadarSettings& current = m_canvas.Settings();
    CSkyChartConfigDlg dialog(this);
    dialog.SetValues(current.outerVelocity, current.orientation);
    if (m_runDialog(dialog) != kIdOk)
        return;
    CAppSettings settings;
    settings.LoadRadarView();
    settings.Orientation1 = dialog.Direction();
    settings.OuterRadiusVelocity1 = dialog.Velocity();
    (void)settings.SaveRadarView();
    OnUpdate(kHintSettings, nullptr);
    OnUpdate(kHintSettings2, nullptr);
}
}  // namespace vrn::gui
