// View base and the factory of the view kinds.
#include "views/CViewBase.h"

#include <QMetaObject>
#include <mutex>

#include "link/Notifications.h"
#include "link/ViewLinks.h"
#include "protocol/CData.h"
#include "views/CDebugDataView.h"
#include "views/CMeasureView.h"
#include "views/CRadarView.h"
#include "views/CSignalView.h"
#include "views/CSignalView2.h"
#include "views/CStatisticsView.h"

namespace vrn::gui
{
// The reader threads' side of a view. A reader posts each record message while holding the
// handle's mutex, so the view cannot be destroyed in the middle of a post; the view detaches itself
// before its QObject part goes, which also discards what was posted and not yet run.
class CViewHandle final : public IViewHandle
{
public:
    explicit CViewHandle(CViewBase* view) : m_view(view) {}

    void PostRecord(const RecordDelivery& delivery) override
    {
        std::lock_guard lock(m_mutex);
        if (!m_view)
            return;
        CViewBase* view = m_view;
        QMetaObject::invokeMethod(
            view,
            [this, view, delivery] {
                // Qt hands the call over under a lock of its own; taking ours as well orders the
                // reader's copy of the snapshot before this read in a way every tool can see.
                {
                    std::lock_guard handOver(m_mutex);
                }
                if (delivery.Current() && delivery.snapshot)
                    view->OnRecordMessage(delivery.message, delivery.wParam, *delivery.snapshot);
            },
            Qt::QueuedConnection);
    }

    void Detach()
    {
        std::lock_guard lock(m_mutex);
        m_view = nullptr;
    }

private:
    std::mutex m_mutex;
    CViewBase* m_view;
};

CViewBase::CViewBase(int kind, QWidget* parent)
    : QWidget(parent), m_kind(kind), m_handle(std::make_shared<CViewHandle>(this))
{
}

CViewBase::~CViewBase() { m_handle->Detach(); }

std::shared_ptr<IViewHandle> CViewBase::Handle() const { return m_handle; }

void CViewBase::OnInitialUpdate() { OnUpdate(kHintInitial, nullptr); }

void CViewBase::OnRecordMessage(unsigned message, unsigned wParam, const CData& set)
{
    if (message == kMsgBinaryData && wParam == kSourcePort1)
        OnUpdate(kHintBinary1, &set);
    else if (message == kMsgBinaryData && wParam == kSourcePort2)
        OnUpdate(kHintBinary2, &set);
    else if (message == kMsgNmeaData && wParam == kSourceNmea1)
        OnUpdate(kHintNmea1, &set);
    else if (message == kMsgNmeaData && wParam == kSourceNmea2)
        OnUpdate(kHintNmea2, &set);
}

void CViewBase::SetFrameTitle(const QString& title)
{
    if (QWidget* frame = parentWidget())
        frame->setWindowTitle(title);
    setWindowTitle(title);
}

std::unique_ptr<CViewBase> CreateView(int kind)
{
    switch (kind)
    {
    case kViewRadar: return std::make_unique<CRadarView>();
    case kViewSignal1: return std::make_unique<CSignalView>();
    case kViewSignal2: return std::make_unique<CSignalView2>();
    case kViewDebug: return std::make_unique<CDebugDataView>();
    case kViewMeasure: return std::make_unique<CMeasureView>();
    case kViewStatistics: return std::make_unique<CStatisticsView>();
    default: return nullptr;
    }
}
}  // namespace vrn::gui
