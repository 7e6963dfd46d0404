// The common base of the view kinds: a widget inside a CViewFrame that belongs to the feed
// document, receives the document's update hints and the record messages of the ports, and sets
// its frame's caption. UI thread only.
#pragma once

#include <QWidget>
#include <memory>

class CData;

namespace vrn
{
class IViewHandle;
}

namespace vrn::gui
{
class CViewHandle;

// View kinds, the index of the main frame's child frames and of the document templates.
inline constexpr int kViewRadar = 0;
inline constexpr int kViewSignal1 = 1;
inline constexpr int kViewSignal2 = 2;
inline constexpr int kViewDebug = 3;
inline constexpr int kViewMeasure = 4;
inline constexpr int kViewStatistics = 5;  // the accuracy workbench's view
inline constexpr int kViewKindCount = 6;

class CViewBase : public QWidget
{
    Q_OBJECT
public:
    explicit CViewBase(int kind, QWidget* parent = nullptr);
    ~CViewBase() override;
    CViewBase(const CViewBase&) = delete;
    CViewBase& operator=(const CViewBase&) = delete;

    [[nodiscard]] int Kind() const { return m_kind; }

    // Once, after the view has been put into its frame and attached to the document: sets the
    // caption and runs the update with hint 0.
    virtual void OnInitialUpdate();
    // An update of the document (hints of link/Notifications.h); `object` is null or a record set
    // valid during the call only (copy what is kept).
    virtual void OnUpdate(int hint, const CData* object) = 0;
    // A record message of a port: kMsgBinaryData with kSourcePort1/2 becomes hint 1/2, kMsgNmeaData
    // with kSourceNmea1/2 hint 10/11.
    void OnRecordMessage(unsigned message, unsigned wParam, const CData& set);
    // The code the document relays to the main frame when this view is destroyed while attached
    // (WM_USER+8 .. WM_USER+0xE).
    [[nodiscard]] virtual unsigned GoneCode() const = 0;

    // The frame's caption.
    void SetFrameTitle(const QString& title);

    // How a port's reader thread reaches this view: it queues each record message to the UI
    // thread, where it runs only while the view exists and the port still runs that start.
    [[nodiscard]] std::shared_ptr<IViewHandle> Handle() const;

private:
    int m_kind;
    std::shared_ptr<CViewHandle> m_handle;
};

// A new view of `kind` (kViewRadar .. kViewStatistics); null for another value.
std::unique_ptr<CViewBase> CreateView(int kind);
}  // namespace vrn::gui
