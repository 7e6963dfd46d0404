// The "Radar View": sky charts, track maps and the status panel of both receivers. For now it shows
// what arrived for each receiver.
#pragma once

#include "views/CViewBase.h"
#include "views/ViewSummary.h"

namespace vrn::gui
{
class CRadarView : public CViewBase
{
    Q_OBJECT
public:
    explicit CRadarView(QWidget* parent = nullptr);

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
