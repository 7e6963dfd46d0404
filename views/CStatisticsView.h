// The "Statistics View": each source's errors against the chosen reference as an east/north scatter
// with its CEP50, CEP95 and 2DRMS circles, the up and horizontal errors over time, the table of
// figures, the times to first fix and the campaign's summary. It draws what the program's accuracy
// workbench (CAccuracyHub) holds; the buttons reset it, freeze the display and copy the table.
// UI thread only.
#pragma once

#include <QImage>
#include <QPointer>
#include <array>
#include <functional>

#include "analysis/AccuracyWorkbench.h"
#include "views/CViewBase.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace vrn::gui
{
class CAccuracyHub;
class CTemplateDialog;
class CStatisticsCanvas;

class CStatisticsView : public CViewBase
{
    Q_OBJECT
public:
    explicit CStatisticsView(QWidget* parent = nullptr);
    ~CStatisticsView() override;
    CStatisticsView(const CStatisticsView&) = delete;
    CStatisticsView& operator=(const CStatisticsView&) = delete;

    // The workbench this view shows; it must outlive the view (the main frame owns both).
    void AttachHub(CAccuracyHub& hub);

    void OnInitialUpdate() override;
    void OnUpdate(int hint, const CData* object) override;
    [[nodiscard]] unsigned GoneCode() const override;

    // Takes the hub's current figures into the table, the texts and the drawing (nothing while frozen).
    void Refresh();
    void SetFrozen(bool frozen);
    [[nodiscard]] bool Frozen() const { return m_frozen; }
    // The table as tab-separated text, one row per source: what "Copy Table" puts on the clipboard.
    [[nodiscard]] QString TableText() const;
    void CopyTable();
    // The reference chooser's entry for a choice, and back.
    static int ReferenceIndex(const vrn::analysis::ReferenceChoice& choice);
    static vrn::analysis::ReferenceChoice ReferenceFromIndex(int index,
                                                             const vrn::analysis::ReferenceChoice& current);
    void ChooseReference(int index);

    [[nodiscard]] QTableWidget& Table() const { return *m_table; }
    [[nodiscard]] QComboBox& ReferenceBox() const { return *m_reference; }
    [[nodiscard]] QLabel& TtffText() const { return *m_ttff; }
    [[nodiscard]] QPushButton& FreezeButton() const { return *m_freeze; }
    // The drawing as the canvas paints it now, at `size`.
    [[nodiscard]] QImage Drawing(QSize size) const;
    // Runs a dialog modally and returns its result; tests replace it.
    void SetDialogRunner(std::function<int(CTemplateDialog&)> runner) { m_runDialog = std::move(runner); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void EditPosition();
    void ChooseTruthFile();
    void UpdateButtons();
    [[nodiscard]] QString TtffSummary() const;
    [[nodiscard]] std::array<bool, vrn::analysis::kSourceCount> Shown() const;

    CAccuracyHub* m_hub = nullptr;
    QComboBox* m_reference = nullptr;
    QPushButton* m_position = nullptr;
    QPushButton* m_truth = nullptr;
    QPushButton* m_freeze = nullptr;
    CStatisticsCanvas* m_canvas = nullptr;
    QTableWidget* m_table = nullptr;
    QLabel* m_ttff = nullptr;
    bool m_frozen = false;
    bool m_restorePlacement = true;
    QPointer<QWidget> m_frame;
    std::array<vrn::analysis::AccuracyTable, vrn::analysis::kSourceCount> m_tables{};
    std::function<int(CTemplateDialog&)> m_runDialog;
};
}  // namespace vrn::gui
