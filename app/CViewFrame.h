// The child frame of every view inside the main frame's MDI area. A close request (close box,
// "Close All") minimises the frame instead: the view and its frame stay alive until the document
// closes. UI thread only.
#pragma once

#include <QMdiSubWindow>

namespace vrn::gui
{
class CViewBase;

class CViewFrame : public QMdiSubWindow
{
    Q_OBJECT
public:
    explicit CViewFrame(QWidget* parent = nullptr);

    // The frame's minimum width in pixels when the user resizes it; -1 = none. Set by the signal views.
    void SetMinimumTrackingWidth(int width);
    [[nodiscard]] int MinimumTrackingWidth() const { return m_minTrackWidth; }

    [[nodiscard]] CViewBase* View() const;
    // Really closes the frame (document closing); a plain close() only minimises it.
    void Destroy();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    int m_minTrackWidth = -1;
    bool m_destroying = false;
};
}  // namespace vrn::gui
