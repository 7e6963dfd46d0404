// The packet (debug) view, "ASCII Data Packet View (message #255)": a list filling the view that
// shows the trace's lines once the view has registered as the trace's messaging view, keeping the
// newest 300 rows. UI thread only; trace lines from reader threads are handed to the UI thread.
#pragma once

#include <QPointer>
#include <QStringList>

#include "app/CTraceFile.h"
#include "views/CViewBase.h"

class QListWidget;

namespace vrn::gui
{
class CDebugDataView : public CViewBase, private vrn::ITraceSink
{
    Q_OBJECT
public:
    static constexpr int kListId = 1080;

    explicit CDebugDataView(QWidget* parent = nullptr);
    ~CDebugDataView() override;
    CDebugDataView(const CDebugDataView&) = delete;
    CDebugDataView& operator=(const CDebugDataView&) = delete;

    void OnInitialUpdate() override;
    void OnUpdate(int hint, const CData* object) override;
    [[nodiscard]] unsigned GoneCode() const override;

    // The trace's sink operation; any thread.
    void AddText(const std::string& text) override;
    [[nodiscard]] QStringList Rows() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void AppendRows(const std::string& text);

    QListWidget* m_list = nullptr;
    bool m_registered = false;
    bool m_firstShow = true;
    QPointer<QWidget> m_frame;
};
}  // namespace vrn::gui
