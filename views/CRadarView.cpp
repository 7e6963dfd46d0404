// Radar view (plain form).
#include "views/CRadarView.h"

#include <QPainter>

#include "config/CAppSettings.h"
#include "link/Notifications.h"

namespace vrn::gui
{
CRadarView::CRadarView(QWidget* parent) : CViewBase(kViewRadar, parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 120);
}

void CRadarView::OnInitialUpdate()
{
    SetFrameTitle(QStringLiteral("Radar View"));
    CViewBase::OnInitialUpdate();
}

void CRadarView::OnUpdate(int hint, const CData* object)
{
    m_summary.Add(hint, object);
    update();
}

unsigned CRadarView::GoneCode() const { return kMsgRadarGone; }

void CRadarView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    m_summary.Paint(painter, rect(), windowTitle());
}
}  // namespace vrn::gui
