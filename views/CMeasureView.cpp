// Measure view (plain form).
#include "views/CMeasureView.h"

#include <QPainter>

#include "config/CAppSettings.h"
#include "link/Notifications.h"

namespace vrn::gui
{
CMeasureView::CMeasureView(QWidget* parent) : CViewBase(kViewMeasure, parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 120);
}

void CMeasureView::OnInitialUpdate()
{
    SetFrameTitle(QStringLiteral("Measure View"));
    CViewBase::OnInitialUpdate();
}

void CMeasureView::OnUpdate(int hint, const CData* object)
{
    m_summary.Add(hint, object);
    update();
}

unsigned CMeasureView::GoneCode() const { return kMsgMeasureGone; }

void CMeasureView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    m_summary.Paint(painter, rect(), windowTitle());
}
}  // namespace vrn::gui
