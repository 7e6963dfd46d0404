// Debug data view: the trace's rows in a list.
#include "views/CDebugDataView.h"

#include <QListWidget>
#include <QMetaObject>
#include <QThread>
#include <QVBoxLayout>
#include <memory>

#include "app/WindowPlacement.h"
#include "link/Notifications.h"
#include "views/TraceRows.h"

namespace vrn::gui
{
namespace
{
constexpr const char* kPlacementSection = "DebugDataView";
}

CDebugDataView::CDebugDataView(QWidget* parent) : CViewBase(kViewDebug, parent)
{
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ctl%1").arg(kListId));
    m_list->setUniformItemSizes(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
}

CDebugDataView::~CDebugDataView()
{
    // After this the trace no longer calls the sink, and nothing queued for it runs.
    if (m_registered)
        CTraceFile::UnregisterMessagingView(this);
    if (m_frame)
        SaveWindowPlacement(*m_frame, kPlacementSection);
}

unsigned CDebugDataView::GoneCode() const
{
    return kMsgDebugGone;
}

void CDebugDataView::OnInitialUpdate()
{
    CViewBase::OnInitialUpdate();
    const CTraceFile scope("CDebugDataView::OnInitialUpdate");
    CTraceFile::SwitchToMessagingView(this);
    m_registered = true;
    SetFrameTitle(QStringLiteral("ASCII Data Packet View (message #255)"));
    m_frame = parentWidget();
}

void CDebugDataView::OnUpdate(int /*hint*/, const CData* /*object*/) {}

void CDebugDataView::AddText(const std::string& text)
{
    if (QThread::currentThread() == thread())
    {
        AppendRows(text);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, text] { AppendRows(text); }, Qt::QueuedConnection);
}

void CDebugDataView::AppendRows(const std::string& text)
{
    for (const std::string& row : SplitTraceText(text))
    {
        m_list->setUpdatesEnabled(false);
        if (m_list->count() >= static_cast<int>(TraceRows::kMaxRows))
            std::unique_ptr<QListWidgetItem> oldest(m_list->takeItem(0));
        m_list->addItem(QString::fromStdString(row));
        m_list->scrollToItem(m_list->item(m_list->count() - 1), QAbstractItemView::PositionAtTop);
        m_list->setUpdatesEnabled(true);
    }
}

QStringList CDebugDataView::Rows() const
{
    QStringList rows;
    for (int i = 0; i < m_list->count(); ++i)
        rows.append(m_list->item(i)->text());
    return rows;
}

void CDebugDataView::showEvent(QShowEvent* event)
{
    CViewBase::showEvent(event);
    if (m_firstShow && parentWidget() != nullptr)
    {
        m_firstShow = false;
        RestoreWindowPlacement(*parentWidget(), kPlacementSection);
    }
}

void CDebugDataView::hideEvent(QHideEvent* event)
{
    CViewBase::hideEvent(event);
    m_firstShow = true;
}
}  // namespace vrn::gui
