// The GUI's feed document: view registry and the core document.
#include "app/CGuiDocument.h"

#include <algorithm>

#include "views/CViewBase.h"

namespace vrn::gui
{
CGuiDocument::CGuiDocument(vrn::IMainFrame* frame) : m_feed(std::make_unique<vrn::CFeedDoc>(*this, frame)) {}

CGuiDocument::~CGuiDocument()
{
    // Stop the readers while the views they post to are still known.
    m_feed.reset();
}

void CGuiDocument::AddView(CViewBase* view)
{
    m_views.emplace_back(view);
    const unsigned gone = view->GoneCode();
    connect(view, &QObject::destroyed, this, [this, gone](QObject* object) {
        const auto it = std::find_if(m_views.begin(), m_views.end(),
                                     [object](const QPointer<QObject>& v) { return v == object || v.isNull(); });
        if (it == m_views.end())
            return;
        m_views.erase(std::remove_if(m_views.begin(), m_views.end(),
                                     [object](const QPointer<QObject>& v) { return v.isNull() || v == object; }),
                      m_views.end());
        if (m_feed)
            m_feed->RelayNotification(gone, 0, nullptr);
    });
}

std::vector<CViewBase*> CGuiDocument::Views() const
{
    std::vector<CViewBase*> views;
    for (const auto& v : m_views)
        if (v)
            views.push_back(static_cast<CViewBase*>(v.data()));  // only views are added
    return views;
}

void CGuiDocument::UpdateAllViews(int hint, const CData* object)
{
    for (CViewBase* view : Views())
        view->OnUpdate(hint, object);
}

std::vector<std::shared_ptr<vrn::IViewHandle>> CGuiDocument::ViewHandles() const
{
    std::vector<std::shared_ptr<vrn::IViewHandle>> handles;
    for (CViewBase* view : Views())
        handles.push_back(view->Handle());
    return handles;
}
}  // namespace vrn::gui
