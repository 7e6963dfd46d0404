// Signal views: hint dispatch, the strips' window, Preferences and placement.
#include "views/CSignalView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "app/CViewFrame.h"
#include "app/WindowPlacement.h"
#include "config/CAppSettings.h"
#include "config/CPreferencesDlg.h"
#include "link/Notifications.h"
#include "views/GdiPaint.h"
#include "views/SatelliteDisplay.h"

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
    m_scrollBar = new QScrollBar(Qt::Vertical, this);
    m_scrollBar->hide();
    m_canvas.SetScrollBarWidth(m_scrollBar->sizeHint().width());
    connect(m_scrollBar, &QScrollBar::valueChanged, this, [this] { update(); });
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
        if (IsClassicTable(object->satellites))
            m_canvas.DrawNmeaRows(object->gsv);
        else
            m_canvas.DrawTableRows(object->satellites);
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
                DrawSatelliteCopy();
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
                DrawSatelliteCopy();
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
    SyncScrollBar();
    update();
}

void CSignalView::DrawSatelliteCopy()
{
    if (IsClassicTable(m_satellites.satellites))
        m_canvas.DrawSatelliteRows(m_satellites.sv);
    else
        m_canvas.DrawTableRows(m_satellites.satellites);
}

void CSignalView::SyncScrollBar()
{
    const int hidden = m_canvas.ContentHeight() - height();
    const int w = m_scrollBar->sizeHint().width();
    m_scrollBar->setGeometry(width() - w, 0, w, height());
    m_scrollBar->setRange(0, std::max(0, hidden));
    m_scrollBar->setPageStep(std::max(1, height()));
    m_scrollBar->setSingleStep(CSignalCanvas::kMinimumRowPitch);
    m_scrollBar->setVisible(m_canvas.ShowsTable() && hidden > 0);
}

void CSignalView::paintEvent(QPaintEvent* /*event*/)
{
    // Moved to a screen of another scale: the backing image follows.
    if (m_canvas.Ratio() != SurfaceRatio(devicePixelRatioF()))
    {
        m_canvas.Resize(size(), SurfaceRatio(devicePixelRatioF()));
        SyncScrollBar();
    }
    QPainter painter(this);
    if (m_canvas.Screen().isNull())
        painter.fillRect(rect(), palette().color(QPalette::Base));
    else
    {
        const int offset = m_scrollBar->isVisible() ? m_scrollBar->value() : 0;
        painter.translate(0, -offset);
        ShowSurface(painter, m_canvas.Screen());
    }
}

void CSignalView::resizeEvent(QResizeEvent* /*event*/)
{
    m_canvas.Resize(size(), SurfaceRatio(devicePixelRatioF()));
    SyncScrollBar();
    if (auto* frame = qobject_cast<CViewFrame*>(parentWidget()))
        frame->SetMinimumTrackingWidth(m_canvas.MinimumWidth());
}

void CSignalView::wheelEvent(QWheelEvent* event)
{
    if (m_scrollBar->isVisible())
        QApplication::sendEvent(m_scrollBar, event);
    else
        CViewBase::wheelEvent(event);
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
