// View child frame.
#include "app/CViewFrame.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QPointer>
#include <algorithm>

#include "res/ToolbarImages.h"
#include "views/CViewBase.h"

namespace vrn::gui
{
namespace
{
constexpr int kCascadeStep = 24;  // about one title bar
}

CViewFrame::CViewFrame(QWidget* parent) : QMdiSubWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(res::ProgramIcon());
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

QSize CViewFrame::MinimumTrackingSize() const
{
    QSize size = minimumSizeHint().expandedTo(minimumSize());
    if (m_minTrackWidth > size.width())
        size.setWidth(m_minTrackWidth);
    return size;
}

QRect CViewFrame::DefaultNormalGeometry() const
{
    const QSize minimum = MinimumTrackingSize();
    QSize area = minimum;
    if (const QMdiArea* mdi = mdiArea())
        area = mdi->viewport()->size();
    const QSize size = (area * 2 / 3).expandedTo(minimum);
    const CViewBase* view = View();
    const int step = kCascadeStep * (view ? view->Kind() : 0);
    // Cascaded by kind while the frame still fits the area; otherwise at the top-left corner.
    const int x = std::clamp(area.width() - size.width(), 0, step);
    const int y = std::clamp(area.height() - size.height(), 0, step);
    return {QPoint(x, y), size};
}

QSize CViewFrame::sizeHint() const
{
    return DefaultNormalGeometry().size();
}

void CViewFrame::EnsureUsableNormalGeometry()
{
    if (m_destroying || isMinimized() || isMaximized())
        return;
    const QSize minimum = MinimumTrackingSize();
    if (width() < minimum.width() || height() < minimum.height())
        setGeometry(DefaultNormalGeometry());
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

void CViewFrame::changeEvent(QEvent* event)
{
    QMdiSubWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || isMinimized() || isMaximized())
        return;
    // The restored geometry is applied after the state has changed: check once that has happened.
    QPointer<CViewFrame> self(this);
    QMetaObject::invokeMethod(
        this, [self] {
            if (self)
                self->EnsureUsableNormalGeometry();
        },
        Qt::QueuedConnection);
}
}  // namespace vrn::gui
