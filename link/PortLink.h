// The reader side of one port: what a reader thread is given at start (PortLink), the flags it
// shares with the UI thread (PortSignals), and the reader itself, which waits on the port's byte
// source and on a wake descriptor, reads at most 80 bytes at a time and runs them through the chunk
// loop.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "analysis/BinaryFix.h"
#include "link/ByteSource.h"
#include "link/ChunkParser.h"
#include "link/DeliveryGate.h"
#include "link/RawRecorder.h"
#include "link/UbxCommands.h"
#include "link/ViewLinks.h"

namespace vrn
{
inline constexpr std::size_t kViewSlots = 4;            // views a port tells about its records
inline constexpr std::size_t kPausedQueueSize = 16000;  // bytes kept while a port is paused
// View updates a source paced by the views may have undelivered: enough to keep the UI thread busy,
// few enough that input events never wait behind a long queue.
inline constexpr std::size_t kPacedDeliveryLimit = 16;

// Given to a reader thread at start: the open byte source (owned by the feed document, closed only
// after the reader has been joined), the first four views at start, the session of this start and
// the port's raw recording slot (may be null).
struct PortLink
{
    IByteSource* source = nullptr;
    std::array<std::weak_ptr<IViewHandle>, kViewSlots> views{};  // empty slots hold no view
    std::shared_ptr<PortSession> session;
    std::shared_ptr<RecordTap> tap;
    std::weak_ptr<IFixHandle> fixes;  // the accuracy analysis, when there is one
};

// Flags of one port written by the UI thread and read by its reader, plus the reader's wake
// descriptor. The reader creates the descriptor when it starts and withdraws it before it ends;
// Wake() reaches it under the mutex, so it never writes to a descriptor that was closed.
class PortSignals
{
public:
    std::atomic<int> run{0};     // 1 while the port is started; the reader loops while it is set
    std::atomic<int> pause{0};   // 1 while reading is paused
    std::atomic<int> mode{0};    // protocol mode of the open port: kModeNmea .. kModeUbxOwnFix
    std::atomic<int> gpsTalkerOnly{0};  // NMEA: read $GP sentences only (the port's setting at open)
    std::atomic<int> hungUp{0};  // set by the reader when the device went away; cleared at open
    UbxAnswerBox answers;        // UBX modes: ACK-ACK, ACK-NAK and MON-VER the reader saw

    // Any thread: wakes the reader's poll (a stop, or the end of a pause). Nothing when no reader runs.
    void Wake();

    // Reader side.
    void PublishWake(int fd);
    void WithdrawWake();

private:
    std::mutex m_mutex;
    int m_wakeFd = -1;
};

// The reader thread of one port. Built on the thread itself (its record sets live and die with
// it); everything it tells the UI thread is queued: record snapshots to the views, activity and
// hang-up codes to the frame, start failures to the core's message service.
class CPortReader final : private IChunkSink
{
public:
    // `port` 0 or 1; `frame` may be null. `signals` and the source in `link` outlive the reader.
    CPortReader(int port, PortLink link, PortSignals& signals, IMainFrame* frame);
    ~CPortReader() override;
    CPortReader(const CPortReader&) = delete;
    CPortReader& operator=(const CPortReader&) = delete;

    // The thread procedure: 1 after a normal end, 0 after a start failure (shown as a message).
    int Run();

    // One read of the bytes waiting at the source, at most `buffer.size()` (80), and their parse;
    // returns the count read, 0 when nothing was waiting (or the device hung up). `readable`: the
    // wait reported input, so a read is tried even if the waiting count says 0.
    std::size_t ReadChunk(std::span<std::uint8_t> buffer, bool readable);

private:
    void Activity(unsigned code) override;
    void NotifyViews(unsigned message, unsigned wParam, const CData& set) override;
    // Acknowledgements and versions go to the port's answer box, and the frame is told.
    void Report(ReceiverReport what, const CData& set, int port) override;

    void Parse(std::span<const std::uint8_t> chunk);
    // Hands the set's fix to the accuracy analysis when it is news: the own fix at the end of each
    // navigation epoch, a receiver's fix when a report changed it.
    void PostFix(unsigned wParam, const CData& set);
    void ForgetFixes();
    // The source starts over: fresh record sets, a fresh navigation engine when this port runs it,
    // and the views told as at a start.
    void Restart();
    // A parse context with this port's settings (the talker filter), for a start or a restart.
    [[nodiscard]] std::unique_ptr<ParseContext> FreshContext() const;
    // The stream broke: the parsers start hunting afresh (the records go too; the next ones follow
    // within a second).
    void Discontinuity();
    [[nodiscard]] bool HeldBack() const { return m_gate && m_gate->Full(); }
    // Waits for the wake descriptor or a returned delivery ticket.
    void WaitForDeliveries(int wakeFd);
    // While paused: moves what the source holds into the own queue; bytes beyond its room stay in
    // the source (a tty's driver then holds the sender back, or drops the newest, as a full queue
    // does).
    void DrainWhilePaused();
    // After the pause: parses the own queue in chunks of at most 80 bytes until it is empty or the
    // port is paused or stopped again.
    void ParseQueued();
    void HangUp();
    [[nodiscard]] bool QueueFull() const { return m_queueSize == m_queue.size(); }

    int m_port;
    PortLink m_link;
    PortSignals& m_signals;
    IMainFrame* m_frame;
    std::unique_ptr<ParseContext> m_context;
    std::array<std::uint8_t, kPausedQueueSize> m_queue{};
    std::size_t m_queueHead = 0;  // first unparsed byte
    std::size_t m_queueSize = 0;  // end of the queued bytes
    bool m_hungUp = false;
    bool m_epochEnded = false;  // set by NotifyViews while a chunk is parsed
    // Queue position from which the stream broke (bytes before it belong to the old connection);
    // kNoBreak when none is pending.
    static constexpr std::size_t kNoBreak = static_cast<std::size_t>(-1);
    std::size_t m_breakAt = kNoBreak;
    std::shared_ptr<DeliveryGate> m_gate;  // only for sources paced by the views
    std::int64_t m_lastActivityUs = -1;    // paced sources: when the last activity code was posted
    ReceiverFix m_lastFix{};  // the receiver fix last handed to the analysis
    analysis::CBinaryFixFallback m_binaryFix;
};

// Thread procedure of port `port` (what std::thread runs): builds the reader and runs it; no
// exception leaves it. Result as CPortReader::Run.
int RunPortReader(int port, PortLink link, PortSignals& signals, IMainFrame* frame);
}  // namespace vrn
