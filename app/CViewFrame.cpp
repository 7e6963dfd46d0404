// View child frame.
#include "app/CViewFrame.h"

#include <QCloseEvent>

#include "views/CViewBase.h"

namespace vrn::gui
{
CViewFrame::CViewFrame(QWidget* parent) : QMdiSubWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

void CViewFrame::SetMinimumTrackingWidth(int width)
{
    m_minTrackWidth = width;
    setMinimumWidth(width >= 0 ? width : 0);
}

CViewBase* CViewFrame::View() const { return qobject_cast<CViewBase*>(widget()); }

void CViewFrame::Destroy()
{
    m_destroying = true;
    close();
}

void CViewFrame::closeEvent(QCloseEvent* event)
{
    if (m_destroying)
    {
        QMdiSubWindow::closeEvent(event);
        return;
    }
    event->ignore();
    showMinimized();
}
}  // namespace vrn::gui
