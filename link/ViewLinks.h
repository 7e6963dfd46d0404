// How the feed document and its reader threads reach the views and the main frame without knowing
// the GUI: a view registry, a handle per view that takes record messages from a reader thread, and a
// frame that accepts sent and posted codes. The GUI implements them with Qt; the tests with plain
// recorders.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "protocol/ReceiverFix.h"

class CData;

namespace vrn
{
// One start of one port. Every record delivery carries the session it came from; stopping the port
// ends the session on the UI thread, so an update still queued from that start is dropped there.
class PortSession
{
public:
    [[nodiscard]] bool Live() const { return m_live.load(std::memory_order_acquire); }
    void End() { m_live.store(false, std::memory_order_release); }

private:
    std::atomic<bool> m_live{true};
};

// One record message for one view: the message (kMsgBinaryData or kMsgNmeaData), its wParam
// (kSourcePort1, kSourcePort2, kSourceNmea1, kSourceNmea2) and an immutable snapshot of the record
// set, taken by the reader once per notification and shared by the views of that notification.
struct RecordDelivery
{
    unsigned message = 0;
    unsigned wParam = 0;
    std::shared_ptr<const CData> snapshot;
    std::shared_ptr<const PortSession> session;
    // Held while the update is queued, for a reader that waits for its views (DeliveryGate); the
    // UI side drops its copy when the update has run or was discarded.
    std::shared_ptr<const void> ticket;

    // Whether the port still runs the start this came from. The UI side checks it right before it
    // hands the record to the view, on the UI thread, and drops the delivery when it is false.
    [[nodiscard]] bool Current() const { return session && session->Live(); }
};

// A view as a reader thread sees it. The port keeps only a weak reference, so a view may be
// destroyed while its port runs; its deliveries then stop.
class IViewHandle
{
public:
    virtual ~IViewHandle() = default;
    // Called on a reader thread, in the order of the notifications. Queues the view's update on
    // the UI thread and returns without waiting for it; the queued update runs only when the view
    // still exists and `delivery.Current()` holds.
    virtual void PostRecord(const RecordDelivery& delivery) = 0;
};

// Sources of fix reports: the two ports' receivers and the own fix of port 1 in test mode.
inline constexpr int kFixReceiver1 = 0;
inline constexpr int kFixReceiver2 = 1;
inline constexpr int kFixOwn = 2;

// One fix report for the accuracy analysis, taken by the reader from the record set it notifies.
struct FixDelivery
{
    int source = kFixReceiver1;
    ReceiverFix fix;
    double arrivalS = 0.0;  // steady clock, seconds, when the reader parsed it
    std::shared_ptr<const PortSession> session;

    [[nodiscard]] bool Current() const { return session && session->Live(); }
};

// Where a port's fix reports go besides the views (the accuracy analysis), whatever views are open.
class IFixHandle
{
public:
    virtual ~IFixHandle() = default;
    // Called on a reader thread: the receiver's reports when the record set's fix changed, the own
    // fix once per navigation epoch. Queues to the UI thread and returns at once.
    virtual void PostFix(const FixDelivery& delivery) = 0;
};

// The document's views, as the document sees them. UI thread only.
class IViewRegistry
{
public:
    virtual ~IViewRegistry() = default;
    // "Update all views" with `hint`; `object` is null or a record set valid during the call only.
    virtual void UpdateAllViews(int hint, const CData* object) = 0;
    // Handles of the document's views in the order the views were created.
    [[nodiscard]] virtual std::vector<std::shared_ptr<IViewHandle>> ViewHandles() const = 0;
    // The accuracy analysis' handle for the ports started from now on; none by default.
    [[nodiscard]] virtual std::shared_ptr<IFixHandle> FixHandle() const { return nullptr; }
};

// The main frame as the document and the readers see it.
class IMainFrame
{
public:
    virtual ~IMainFrame() = default;
    // A synchronous code, UI thread only. On kMsgDocumentClosing the frame forgets the document and
    // deletes it only after the call chain has returned (a queued deletion), never inside the call.
    virtual void SendCode(unsigned code) = 0;
    // From any thread: queued to the UI thread; never waits for it.
    virtual void PostCode(unsigned code) = 0;
};
}  // namespace vrn
