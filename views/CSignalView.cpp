// Signal view 1 (plain form).
#include "views/CSignalView.h"

#include <QPainter>

#include "config/CAppSettings.h"
#include "link/Notifications.h"

namespace vrn::gui
{
CSignalView::CSignalView(QWidget* parent) : CViewBase(kViewSignal1, parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 120);
}

void CSignalView::OnInitialUpdate()
{
    CAppSettings settings;
    settings.LoadDataSources();
    SetFrameTitle(QStringLiteral("Signal View ( %1 )  ").arg(QString::fromStdString(settings.MeasSerialPort)));
    CViewBase::OnInitialUpdate();
}

void CSignalView::OnUpdate(int hint, const CData* object)
{
    m_summary.Add(hint, object);
    update();
}

unsigned CSignalView::GoneCode() const { return kMsgSignal1Gone; }

void CSignalView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    m_summary.Paint(painter, rect(), windowTitle());
}
}  // namespace vrn::gui
