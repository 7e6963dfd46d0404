// "Signal View 1": the channels' signal levels of receiver 1 over time. For now it shows what arrived.
#pragma once

#include "views/CViewBase.h"
#include "views/ViewSummary.h"

namespace vrn::gui
{
class CSignalView : public CViewBase
{
    Q_OBJECT
public:
    explicit CSignalView(QWidget* parent = nullptr);

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
