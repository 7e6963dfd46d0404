// The "Measure View": each receiver link's latest measurement message as a twelve-row channel table
// with week, time of week, clock offset, port name and receiver version, in two dialog bars (top:
// link 1, bottom: link 2). Its own client area draws nothing. UI thread only.
#pragma once

#include <QPointer>

#include "views/CViewBase.h"
#include "views/MeasureText.h"

namespace vrn::gui
{
class CDialogBar;

class CMeasureView : public CViewBase
{
    Q_OBJECT
public:
    explicit CMeasureView(QWidget* parent = nullptr);
    ~CMeasureView() override;
    CMeasureView(const CMeasureView&) = delete;
    CMeasureView& operator=(const CMeasureView&) = delete;

    void OnInitialUpdate() override;
    void OnUpdate(int hint, const CData* object) override;
    [[nodiscard]] unsigned GoneCode() const override;

    // Bar 0 (top, link 1) or 1 (bottom, link 2).
    [[nodiscard]] CDialogBar& Bar(int link) const { return *m_bars.at(static_cast<std::size_t>(link)); }

    // Smaller than the bars: they scroll.
    [[nodiscard]] QSize minimumSizeHint() const override;
    static constexpr int kMinimumWidth = 200;
    static constexpr int kMinimumHeight = 120;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::array<CDialogBar*, 2> m_bars{};
    CMeasureModel m_model;
    bool m_restorePlacement = true;
    QPointer<QWidget> m_frame;
};
}  // namespace vrn::gui
