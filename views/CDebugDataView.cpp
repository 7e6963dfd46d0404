// Packet view (plain form).
#include "views/CDebugDataView.h"

#include <QPainter>

#include "config/CAppSettings.h"
#include "link/Notifications.h"

namespace vrn::gui
{
CDebugDataView::CDebugDataView(QWidget* parent) : CViewBase(kViewDebug, parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 120);
}

void CDebugDataView::OnInitialUpdate()
{
    SetFrameTitle(QStringLiteral("ASCII Data Packet View (message #255)"));
    CViewBase::OnInitialUpdate();
}

void CDebugDataView::OnUpdate(int hint, const CData* object)
{
    m_summary.Add(hint, object);
    update();
}

unsigned CDebugDataView::GoneCode() const { return kMsgDebugGone; }

void CDebugDataView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    m_summary.Paint(painter, rect(), windowTitle());
}
}  // namespace vrn::gui
