// Measure view: the two bars and their updates.
#include "views/CMeasureView.h"

#include <QScrollArea>
#include <QVBoxLayout>

#include "app/WindowPlacement.h"
#include "config/CAppSettings.h"
#include "link/Notifications.h"
#include "protocol/CData.h"
#include "res/ViewBarTemplates.h"
#include "views/CDialogBar.h"

namespace vrn::gui
{
namespace
{
constexpr const char* kPlacementSection = "MeasureView";
}

CMeasureView::CMeasureView(QWidget* parent) : CViewBase(kViewMeasure, parent)
{
    // The two bars sit at the top and the bottom of the view; a view smaller than both together
    // scrolls them, so a tiled or restored frame never has to be taller than its tile.
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("measureScroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    auto* content = new QWidget(scroller);
    content->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    for (std::size_t link = 0; link < m_bars.size(); ++link)
    {
        m_bars[link] = new CDialogBar(res::kIddMeasureBar, content);
        m_bars[link]->setObjectName(QStringLiteral("measureBar%1").arg(link + 1));
    }
    layout->addWidget(m_bars[0], 0);
    layout->addStretch(1);
    layout->addWidget(m_bars[1], 0);
    scroller->setWidget(content);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroller);
    setAutoFillBackground(true);
}

QSize CMeasureView::minimumSizeHint() const
{
    return {kMinimumWidth, kMinimumHeight};
}

CMeasureView::~CMeasureView()
{
    if (m_frame)
        SaveWindowPlacement(*m_frame, kPlacementSection);
}

unsigned CMeasureView::GoneCode() const
{
    return kMsgMeasureGone;
}

void CMeasureView::OnInitialUpdate()
{
    CAppSettings sources;
    sources.LoadDataSources();
    m_model.SetLeapSeconds(sources.LeapSec);
    SetFrameTitle(QStringLiteral("Measure View"));
    const auto names = MeasurePortNames(sources.MeasSource, sources.MeasSerialPort, sources.MeasSerialPort2);
    m_bars[0]->SetText(measure::kPortName, names[0]);
    m_bars[1]->SetText(measure::kPortName, names[1]);
    m_frame = parentWidget();
    CViewBase::OnInitialUpdate();
}

void CMeasureView::OnUpdate(int hint, const CData* object)
{
    if (object == nullptr)
        return;
    const auto update = m_model.Update(hint & 0xFFFF, object->currentId, object->nav, object->meas);
    if (!update)
        return;
    CDialogBar& bar = *m_bars.at(static_cast<std::size_t>(update->bar));
    for (const FieldText& field : update->texts)
        bar.SetText(field.id, field.text);
}

void CMeasureView::showEvent(QShowEvent* event)
{
    CViewBase::showEvent(event);
    if (m_restorePlacement && parentWidget() != nullptr)
    {
        m_restorePlacement = false;
        RestoreWindowPlacement(*parentWidget(), kPlacementSection);
    }
}

void CMeasureView::hideEvent(QHideEvent* event)
{
    CViewBase::hideEvent(event);
    m_restorePlacement = true;
}
}  // namespace vrn::gui
