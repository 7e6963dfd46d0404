// Signal view 2 (plain form).
#include "views/CSignalView2.h"

#include <QPainter>

#include "config/CAppSettings.h"
#include "link/Notifications.h"

namespace vrn::gui
{
CSignalView2::CSignalView2(QWidget* parent) : CViewBase(kViewSignal2, parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 120);
}

void CSignalView2::OnInitialUpdate()
{
    CAppSettings settings;
    settings.LoadDataSources();
    // With port 1 as the only source both signal views show it.
    const std::string& port = settings.MeasSource == 1 ? settings.MeasSerialPort : settings.MeasSerialPort2;
    SetFrameTitle(QStringLiteral("Signal View ( %1 )  ").arg(QString::fromStdString(port)));
    CViewBase::OnInitialUpdate();
}

void CSignalView2::OnUpdate(int hint, const CData* object)
{
    m_summary.Add(hint, object);
    update();
}

unsigned CSignalView2::GoneCode() const { return kMsgSignal2Gone; }

void CSignalView2::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    m_summary.Paint(painter, rect(), windowTitle());
}
}  // namespace vrn::gui
