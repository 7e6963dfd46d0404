// "Signal View 1": one row per channel of receiver 1 with its cells and a strip chart of its
// signal-to-noise ratio. The drawing lives in CSignalCanvas; the widget dispatches the hints, shows
// the canvas' backing image, opens the Preferences on a double-click or right-click and saves its
// frame's placement when it goes. `CSignalView2` is the same for receiver 2. UI thread only.
#pragma once

#include <QPointer>
#include <functional>

class QScrollBar;

#include "protocol/CData.h"
#include "views/CViewBase.h"
#include "views/ChannelStrip.h"

namespace vrn::gui
{
class CTemplateDialog;

class CSignalView : public CViewBase
{
    Q_OBJECT
public:
    explicit CSignalView(QWidget* parent = nullptr);
    ~CSignalView() override;
    CSignalView(const CSignalView&) = delete;
    CSignalView& operator=(const CSignalView&) = delete;

    void OnInitialUpdate() override;
    void OnUpdate(int hint, const CData* object) override;
    [[nodiscard]] unsigned GoneCode() const override;

    [[nodiscard]] const CSignalCanvas& Canvas() const { return m_canvas; }
    // Shown while the rows of a satellite table need more than the window's height.
    [[nodiscard]] QScrollBar& ScrollBar() const { return *m_scrollBar; }
    // Room for the header and twelve rows of graphs; the width is the frame's minimum tracking width.
    [[nodiscard]] QSize minimumSizeHint() const override;
    static constexpr int kMinimumHeight = CSignalCanvas::kHeaderHeight + static_cast<int>(kChannelCount) * 10;
    // Runs a dialog modally and returns its result; tests replace it.
    void SetDialogRunner(std::function<int(CTemplateDialog&)> runner) { m_runDialog = std::move(runner); }

protected:
    // The hints and profile names of one receiver.
    struct Receiver
    {
        int kind;
        int binaryHint, nmeaHint, reloadHint, redrawHint;
        unsigned goneCode;
        const char* placementSection;
    };
    CSignalView(const Receiver& receiver, QWidget* parent);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void LoadGraphType();
    void OpenPreferences();
    // The channel rows of the satellite copy, or its table's rows when the channels cannot show it.
    void DrawSatelliteCopy();
    // The scroll bar's place, range and visibility for the canvas' rows.
    void SyncScrollBar();

    Receiver m_receiver;
    CSignalCanvas m_canvas;
    CData m_navigation;  // copy of the latest navigation message
    CData m_satellites;  // copy of the latest satellite message (id 6)
    QPointer<QWidget> m_frame;
    QScrollBar* m_scrollBar = nullptr;
    std::function<int(CTemplateDialog&)> m_runDialog;
};
}  // namespace vrn::gui
