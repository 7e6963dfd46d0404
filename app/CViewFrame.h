// The child frame of every view inside the main frame's MDI area. A close request (close box,
// "Close All") minimises the frame instead: the view and its frame stay alive until the document
// closes. A frame shown in the normal state is never left smaller than its view can use. UI thread
// only.
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

    // The smallest frame the view is usable in: the view's minimum size with the frame's borders
    // and title bar, at least the minimum tracking width.
    [[nodiscard]] QSize MinimumTrackingSize() const;
    // The normal size of a frame without a usable placement: about two thirds of the MDI area, at
    // least the minimum tracking size, each view kind a title bar further down and right.
    [[nodiscard]] QRect DefaultNormalGeometry() const;
    // In the normal state, a frame smaller than its minimum tracking size takes the default normal
    // geometry. Runs by itself whenever the frame becomes normal (restored, un-maximised).
    void EnsureUsableNormalGeometry();
    // The default normal size: what Cascade gives every frame.
    [[nodiscard]] QSize sizeHint() const override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int m_minTrackWidth = -1;
    bool m_destroying = false;
};
}  // namespace vrn::gui
