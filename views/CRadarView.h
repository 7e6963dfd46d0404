// The "Radar View": for each receiver a track map and a sky chart with the velocity arrow, and the
// two-receiver status panel docked along the bottom. The drawing lives in CRadarCanvas; this widget
// dispatches the document's hints, shows the canvas' backing image and opens the sky chart and
// track map dialogs. UI thread only.
#pragma once

#include <functional>

class QAction;
class QMenu;

#include "config/CAppSettings.h"
#include "views/CViewBase.h"
#include "views/RadarCanvas.h"
#include "views/ViewSummary.h"

namespace vrn::gui
{
class CDialogBar;
class CTemplateDialog;

class CRadarView : public CViewBase
{
    Q_OBJECT
public:
    explicit CRadarView(QWidget* parent = nullptr);
    ~CRadarView() override;
    CRadarView(const CRadarView&) = delete;
    CRadarView& operator=(const CRadarView&) = delete;

    void OnInitialUpdate() override;
    void OnUpdate(int hint, const CData* object) override;
    [[nodiscard]] unsigned GoneCode() const override;

    [[nodiscard]] CDialogBar& StatusPanel() const { return *m_panel; }
    [[nodiscard]] const CRadarCanvas& Canvas() const { return m_canvas; }
    // The drawing area above the status panel; hit tests take its coordinates.
    [[nodiscard]] QWidget& Chart() const { return *m_chart; }
    // How many updates of each hint arrived (for the frame's tests).
    [[nodiscard]] const ViewSummary& Summary() const { return m_summary; }

    // Left double-click at `point` of the drawing area (or a right button release on a track map):
    // opens the track map or the sky chart dialog when the point is on one.
    void HitTest(QPoint point);
    // Right button released at `point`: on a sky chart its menu (the configuration dialog and a
    // check item per constellation shown), elsewhere the hit test.
    void OnRightButton(QPoint point);
    // Runs a dialog modally and returns its result; tests replace it.
    void SetDialogRunner(std::function<int(CTemplateDialog&)> runner) { m_runDialog = std::move(runner); }
    // Runs a menu at a point of the drawing area and returns the item chosen (null for none); tests
    // replace it.
    void SetMenuRunner(std::function<QAction*(QMenu&, QPoint)> runner) { m_runMenu = std::move(runner); }

    // Profile key of the "Radar View" group: the letters of the constellations the sky charts hide.
    static constexpr const char* kHiddenConstellationsKey = "Hidden Constellations";

private:
    void LoadViewSettings();
    void OnCommand(int id);
    void OpenTrackMapPreferences();
    void OpenSkyChartConfiguration();
    void ShowOrHideConstellation(Constellation system);
    // The fix quality the receiver reports ("RTK Fix", ...) as the tooltip of its Mode field.
    void ShowFixQuality(int n, const ReceiverFix& fix);

    CRadarCanvas m_canvas;
    ViewSummary m_summary;
    QWidget* m_chart = nullptr;
    CDialogBar* m_panel = nullptr;
    std::function<int(CTemplateDialog&)> m_runDialog;
    std::function<QAction*(QMenu&, QPoint)> m_runMenu;
};
}  // namespace vrn::gui
