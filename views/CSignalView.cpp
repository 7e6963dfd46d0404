// Signal views: hint dispatch, the strips' window, Preferences and placement.
#include "views/CSignalView.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/CViewFrame.h"
#include "app/WindowPlacement.h"
#include "config/CAppSettings.h"
#include "config/CPreferencesDlg.h"
#include "link/Notifications.h"
#include "views/GdiPaint.h"

namespace vrn::gui
{
namespace
{
constexpr std::uint32_t kFreshSeconds = 9;  // satellite data older than this colours measurement rows black
}

CSignalView::CSignalView(QWidget* parent)
    : CSignalView({kViewSignal1, kHintBinary1, kHintNmea1, kHintSettings, kHintPort1Started, kMsgSignal1Gone,
                   "SignalView"},
                  parent)
{
}

CSignalView::CSignalView(const Receiver& receiver, QWidget* parent)
    : CViewBase(receiver.kind, parent),
      m_receiver(receiver),
      m_runDialog([](CTemplateDialog& dialog) { return dialog.DoModal(); })
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The level scale needs a settings field that nothing fills: the views always plot SNR.
    m_canvas.SetScale(kSnrScale);
    LoadGraphType();
}

CSignalView::~CSignalView()
{
    if (m_frame)
        SaveWindowPlacement(*m_frame, m_receiver.placementSection);
}

QSize CSignalView::minimumSizeHint() const
{
    return {0, kMinimumHeight};
}

unsigned CSignalView::GoneCode() const
{
    return m_receiver.goneCode;
}

void CSignalView::LoadGraphType()
{
    CAppSettings settings;
    settings.LoadSignalView();
    m_canvas.SetGraphType(settings.GraphType);
}

void CSignalView::OnInitialUpdate()
{
    CAppSettings sources;
    sources.LoadDataSources();
    const bool second = m_receiver.kind == kViewSignal2 && sources.MeasSource != 1;
    const std::string& port = second ? sources.MeasSerialPort2 : sources.MeasSerialPort;
    SetFrameTitle(QStringLiteral("Signal View ( %1 )  ").arg(QString::fromStdString(port)));
    m_frame = parentWidget();
    CViewBase::OnInitialUpdate();
}

void CSignalView::OnUpdate(int hint, const CData* object)
{
    if (!m_canvas.PassWarmUp())
        return;
    const int h = hint & 0xFFFF;
    if (h == m_receiver.nmeaHint)
    {
        if (object == nullptr)
            return;
        m_canvas.DrawNmeaRows(object->gsv);
    }
    else if (h == m_receiver.binaryHint)
    {
        if (object == nullptr)
            return;
        switch (object->currentId)
        {
            case kIdNavA:
            case kIdNav:
                m_navigation.CopyFrom(*object);
                m_canvas.DrawSatelliteRows(m_satellites.sv);
                break;
            case kIdSvA:
            {
                const bool fresh =
                    m_satellites.currentId != 0 && object->SecondsBetween(m_satellites) <= kFreshSeconds;
                m_canvas.DrawMeasurementRows(object->sv, m_satellites.sv, fresh, m_navigation.nav.infoByte);
                break;
            }
            case kIdSv:
                m_satellites.CopyFrom(*object);
                m_canvas.DrawSatelliteRows(m_satellites.sv);
                break;
            default:
                return;
        }
    }
    else if (h == m_receiver.reloadHint)
    {
        LoadGraphType();
        return;
    }
    else if (h == m_receiver.redrawHint)
        m_canvas.Repaint();
    else
        return;
    update();
}

void CSignalView::paintEvent(QPaintEvent* /*event*/)
{
    // Moved to a screen of another scale: the backing image follows.
    if (m_canvas.Ratio() != SurfaceRatio(devicePixelRatioF()))
        m_canvas.Resize(size(), SurfaceRatio(devicePixelRatioF()));
    QPainter painter(this);
    if (m_canvas.Screen().isNull())
        painter.fillRect(rect(), palette().color(QPalette::Base));
    else
        ShowSurface(painter, m_canvas.Screen());
}

void CSignalView::resizeEvent(QResizeEvent* /*event*/)
{
    m_canvas.Resize(size(), SurfaceRatio(devicePixelRatioF()));
    if (auto* frame = qobject_cast<CViewFrame*>(parentWidget()))
        frame->SetMinimumTrackingWidth(m_canvas.MinimumWidth());
}

void CSignalView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        OpenPreferences();
}

void CSignalView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        OpenPreferences();
}

void CSignalView::OpenPreferences()
{
    // The dialog's Save broadcasts the settings change; the view reloads on the hint it brings.
    CPreferencesDlg dialog(this);
    (void)m_runDialog(dialog);
}
}  // namespace vrn::gui
