// The feed document as the GUI holds it: the core CFeedDoc together with its views. Implements the
// document's view registry with the views in their child frames. UI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <vector>

#include "link/CFeedDoc.h"
#include "link/ViewLinks.h"

namespace vrn::gui
{
class CViewBase;

class CGuiDocument : public QObject, public vrn::IViewRegistry
{
    Q_OBJECT
public:
    explicit CGuiDocument(vrn::IMainFrame* frame);
    ~CGuiDocument() override;
    CGuiDocument(const CGuiDocument&) = delete;
    CGuiDocument& operator=(const CGuiDocument&) = delete;

    [[nodiscard]] vrn::CFeedDoc& Feed() { return *m_feed; }
    [[nodiscard]] const vrn::CFeedDoc& Feed() const { return *m_feed; }

    // Attaches a view. When it is destroyed while attached, the document relays its GoneCode.
    void AddView(CViewBase* view);
    // The attached views in the order they were created.
    [[nodiscard]] std::vector<CViewBase*> Views() const;

    void UpdateAllViews(int hint, const CData* object) override;
    [[nodiscard]] std::vector<std::shared_ptr<vrn::IViewHandle>> ViewHandles() const override;
    // The accuracy workbench's handle, given to every port started from now on.
    void SetFixHandle(std::shared_ptr<vrn::IFixHandle> handle) { m_fixHandle = std::move(handle); }
    [[nodiscard]] std::shared_ptr<vrn::IFixHandle> FixHandle() const override { return m_fixHandle; }

private:
    std::shared_ptr<vrn::IFixHandle> m_fixHandle;
    // Kept as QObjects: a view is still compared while its destructor runs, when it is no longer a
    // CViewBase (a QPointer<CViewBase> would downcast it).
    std::vector<QPointer<QObject>> m_views;
    std::unique_ptr<vrn::CFeedDoc> m_feed;  // after m_views: its readers are joined first
};
}  // namespace vrn::gui
