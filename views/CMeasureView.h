// The "Measure View": the channel table of each receiver's latest measurement message. For now it
// shows what arrived.
#pragma once

#include "views/CViewBase.h"
#include "views/ViewSummary.h"

namespace vrn::gui
{
class CMeasureView : public CViewBase
{
    Q_OBJECT
public:
    explicit CMeasureView(QWidget* parent = nullptr);

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
