// The packet (debug) view, titled "ASCII Data Packet View (message #255)". For now it shows what
// arrived.
#pragma once

#include "views/CViewBase.h"
#include "views/ViewSummary.h"

namespace vrn::gui
{
class CDebugDataView : public CViewBase
{
    Q_OBJECT
public:
    explicit CDebugDataView(QWidget* parent = nullptr);

    void OnInitialUpdate() override;
    void OnUpdate(int hint, const CData* object) override;
    [[nodiscard]] unsigned GoneCode() const override;
    [[nodiscard]] const ViewSummary& Summary() const { return m_summary; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ViewSummary m_summary;
};
}  // namespace vrn::gui
