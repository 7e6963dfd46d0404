// Reader threads of the ports; see the header.
//
// The loop waits on the port's byte source (poll on a tty, a socket, a recording's clock) and on an
// eventfd that a stop or the end of a pause writes. Running, it reads what the source holds in
// chunks of at most 80 bytes, hands each read to the port's raw recording and runs it through
// ParseChunk. Paused, it moves the source's bytes into a queue of its own (the kernel keeps only
// about 4 KB per tty) and parses that queue in 80-byte chunks when the pause ends; with the queue
// full it stops reading the source but still watches a device for a hang-up. A hang-up (a device
// that reports POLLHUP/POLLERR, a read that fails with EIO or finds the end of the stream) is
// reported once to the frame as the port's stop code, paused or not; from then on only the wake
// descriptor is watched, so a vanished device costs no CPU until the port is stopped. What the own
// queue holds is still parsed, in order, when the pause ends. Network sources never hang up: they
// reconnect by themselves inside Wait. A source paced by the views (a recording played fast) is
// read only while fewer than kPacedDeliveryLimit view updates are undelivered.
#include "link/PortLink.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <exception>
#include <utility>

#include "app/CoreServices.h"
#include "link/Notifications.h"
#include "nav/NavEngine.h"

namespace vrn
{
void PortSignals::Wake()
{
    std::lock_guard lock(m_mutex);
    if (m_wakeFd < 0)
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);  // a full counter is awake anyway
}

void PortSignals::PublishWake(int fd)
{
    std::lock_guard lock(m_mutex);
    m_wakeFd = fd;
}

void PortSignals::WithdrawWake()
{
    std::lock_guard lock(m_mutex);
    m_wakeFd = -1;
}

CPortReader::CPortReader(int port, PortLink link, PortSignals& signals, IMainFrame* frame)
    : m_port(port),
      m_link(std::move(link)),
      m_signals(signals),
      m_frame(frame),
      m_context(FreshContext())
{
    if (m_link.source != nullptr && m_link.source->PacedByViews())
        m_gate = DeliveryGate::Create(kPacedDeliveryLimit);
}

CPortReader::~CPortReader() = default;

int CPortReader::Run()
{
    const int wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0)
    {
        ShowMessage("Failed to create event for thread!");
        return 0;
    }
    m_signals.PublishWake(wakeFd);
    // Withdrawn under the lock before the close, so a late Wake() cannot hit a reused number.
    struct WakeGuard
    {
        PortSignals& signals;
        int fd;
        ~WakeGuard()
        {
            signals.WithdrawWake();
            ::close(fd);
        }
    } guard{m_signals, wakeFd};

    if (m_link.source == nullptr || !m_link.source->Usable())
    {
        ShowMessage(m_port == 0 ? "Failed to SetCommMask for thread <1>!"
                                : "Failed to SetCommMask for thread <2> !");
        return 0;
    }
    IByteSource& source = *m_link.source;

    std::array<std::uint8_t, kChunkSize> buffer{};
    while (m_signals.run.load() != 0)
    {
        const bool paused = m_signals.pause.load() != 0;
        if (!paused && m_queueHead < m_queueSize)
        {
            if (HeldBack())
                WaitForDeliveries(wakeFd);
            else
                ParseQueued();
            continue;
        }
        if (!paused && HeldBack())
        {
            WaitForDeliveries(wakeFd);
            continue;
        }
        const bool queueFull = paused && QueueFull();
        const bool watchPort = !m_hungUp && !queueFull;
        const SourceWait wait =
            !m_hungUp && queueFull ? source.WaitForHangUp(wakeFd) : source.Wait(wakeFd, watchPort);
        if (wait.woken)
        {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd, &count, sizeof count);
        }
        if (wait.restart)
            Restart();
        else if (wait.discontinuity)
        {
            if (m_queueHead < m_queueSize)
                m_breakAt = m_queueSize;  // after the bytes of the old connection
            else
                Discontinuity();
        }
        // Paused with a full queue nothing is read, so a hang-up is taken as it is reported.
        if (queueFull && !m_hungUp && wait.hangUp)
            HangUp();
        if (!watchPort || m_signals.run.load() == 0 || (!wait.readable && !wait.hangUp))
            continue;
        if (m_signals.pause.load() != 0)
        {
            DrainWhilePaused();
            continue;
        }
        // Chunks until the source is empty; a short chunk took all there was (a byte arriving since
        // wakes the next wait at once), which spares a query per wake-up on a slow line.
        bool readable = wait.readable;
        while (m_signals.run.load() != 0 && m_signals.pause.load() == 0 && !m_hungUp && !HeldBack())
        {
            if (ReadChunk(buffer, readable) < buffer.size())
                break;
            readable = false;
        }
        if (!m_hungUp && wait.hangUp && source.BytesWaiting() == 0)
            HangUp();
    }
    return 1;
}

void CPortReader::WaitForDeliveries(int wakeFd)
{
    std::array<pollfd, 2> fds{pollfd{wakeFd, POLLIN, 0}, pollfd{m_gate->Descriptor(), POLLIN, 0}};
    if (!m_gate->Full())
        return;
    if (::poll(fds.data(), fds.size(), -1) <= 0)
        return;
    if ((fds[0].revents & POLLIN) != 0)
    {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(wakeFd, &count, sizeof count);
    }
    if ((fds[1].revents & POLLIN) != 0)
        m_gate->Drain();
}

std::unique_ptr<ParseContext> CPortReader::FreshContext() const
{
    auto context = std::make_unique<ParseContext>();
    context->receiver.SetGpsTalkerOnly(m_signals.gpsTalkerOnly.load() != 0);
    return context;
}

void CPortReader::Discontinuity()
{
    m_context = FreshContext();
    m_breakAt = kNoBreak;
    ForgetFixes();
}

void CPortReader::ForgetFixes()
{
    // The fresh record sets number their fix reports from the start again.
    m_lastFix = ReceiverFix{};
    m_binaryFix = analysis::CBinaryFixFallback{};
}

void CPortReader::Restart()
{
    m_context = FreshContext();
    m_queueHead = m_queueSize = 0;
    m_breakAt = kNoBreak;
    ForgetFixes();
    // Only the reader of the port that runs the own fix touches the engine; a fresh one is what the
    // start of the recording saw.
    if (m_port == 0 && RunsOwnFix(m_signals.mode.load()))
        ProcessNavEngine() = NavEngine{};
    if (m_frame != nullptr)
        m_frame->PostCode(m_port == 0 ? kMsgPlaybackRestart1 : kMsgPlaybackRestart2);
}

std::size_t CPortReader::ReadChunk(std::span<std::uint8_t> buffer, bool readable)
{
    IByteSource& source = *m_link.source;
    std::size_t wanted = std::min(buffer.size(), source.BytesWaiting());
    if (wanted == 0 && readable)
        wanted = buffer.size();
    if (wanted == 0 || m_signals.pause.load() != 0)
        return 0;
    const SourceRead read = source.Read(buffer.first(wanted));
    if (read.status == ReadStatus::Ended)
    {
        HangUp();
        return 0;
    }
    if (read.count == 0)
        return 0;
    const auto chunk = std::span<const std::uint8_t>(buffer).first(read.count);
    if (m_link.tap)
        m_link.tap->Append(chunk);
    // A chunk that was read is parsed even if a pause began meanwhile: dropping it could cut a frame.
    if (m_signals.run.load() != 0)
        Parse(chunk);
    return read.count;
}

void CPortReader::DrainWhilePaused()
{
    if (m_queueHead > 0)
    {
        std::copy(m_queue.begin() + static_cast<std::ptrdiff_t>(m_queueHead),
                  m_queue.begin() + static_cast<std::ptrdiff_t>(m_queueSize), m_queue.begin());
        m_queueSize -= m_queueHead;
        if (m_breakAt != kNoBreak)
            m_breakAt -= m_queueHead;
        m_queueHead = 0;
    }
    while (!QueueFull())
    {
        const std::size_t room = m_queue.size() - m_queueSize;
        const SourceRead read = m_link.source->Read(std::span(m_queue).subspan(m_queueSize, room));
        if (read.count > 0)
        {
            // Recorded when read, so a recording keeps the bytes of a pause at their own time.
            if (m_link.tap)
                m_link.tap->Append(std::span<const std::uint8_t>(m_queue).subspan(m_queueSize, read.count));
            m_queueSize += read.count;
            continue;
        }
        if (read.status == ReadStatus::Ended)
            HangUp();
        return;
    }
}

void CPortReader::ParseQueued()
{
    while (m_queueHead < m_queueSize && m_signals.run.load() != 0 && m_signals.pause.load() == 0 && !HeldBack())
    {
        if (m_queueHead == m_breakAt)
            Discontinuity();
        const std::size_t end = m_breakAt > m_queueHead && m_breakAt < m_queueSize ? m_breakAt : m_queueSize;
        const std::size_t count = std::min(kChunkSize, end - m_queueHead);
        const std::span<const std::uint8_t> chunk(m_queue.data() + m_queueHead, count);
        m_queueHead += count;
        Parse(chunk);
    }
    if (m_queueHead == m_queueSize)
    {
        if (m_breakAt != kNoBreak)
            Discontinuity();
        m_queueHead = m_queueSize = 0;
    }
}

void CPortReader::Parse(std::span<const std::uint8_t> chunk)
{
    m_epochEnded = false;
    ParseChunk(*m_context, chunk, m_port, m_signals.mode.load(), *this);
    m_link.source->ChunkParsed(m_epochEnded);
}

void CPortReader::HangUp()
{
    if (m_hungUp)
        return;
    m_hungUp = true;
    m_signals.hungUp.store(1);
    if (m_frame != nullptr)
        m_frame->PostCode(m_port == 0 ? kMsgStopPort1 : kMsgStopPort2);
}

void CPortReader::Activity(unsigned code)
{
    if (m_frame == nullptr)
        return;
    if (m_gate)
    {
        // A recording played fast reads thousands of chunks a second: a blink every 20 ms is all
        // the toolbar can show, and the frame's queue stays short.
        constexpr std::int64_t kActivityIntervalUs = 20000;
        const std::int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count();
        if (m_lastActivityUs >= 0 && now - m_lastActivityUs < kActivityIntervalUs)
            return;
        m_lastActivityUs = now;
    }
    m_frame->PostCode(code);
}

void CPortReader::NotifyViews(unsigned message, unsigned wParam, const CData& set)
{
    const int mode = m_signals.mode.load();
    if (RunsOwnFix(mode) && m_port == 0)
        m_epochEnded = m_epochEnded || (wParam == kSourcePort2 && set.currentId == kIdMeas);
    else if (mode == kModeNmea)
        m_epochEnded = m_epochEnded || message == kMsgNmeaData;
    else if (IsUbxMode(mode))
        m_epochEnded = m_epochEnded || message == kMsgNmeaData || set.currentId == kIdNav;
    else
        m_epochEnded = m_epochEnded || set.currentId == kIdNav || set.currentId == kIdNavA;

    RecordDelivery delivery{message, wParam, nullptr, m_link.session, nullptr};
    for (const auto& slot : m_link.views)
    {
        const auto view = slot.lock();
        if (!view)
            continue;
        if (!delivery.snapshot)
        {
            delivery.snapshot = std::make_shared<const CData>(set);  // one copy, shared by the views
            if (m_gate)
                delivery.ticket = m_gate->Take();
        }
        view->PostRecord(delivery);
    }
    PostFix(wParam, set);
}

void CPortReader::PostFix(unsigned wParam, const CData& set)
{
    const auto fixes = m_link.fixes.lock();
    if (!fixes)
        return;
    int source = m_port == 0 ? kFixReceiver1 : kFixReceiver2;
    const ReceiverFix* report = &set.fix;
    if (m_port == 0 && wParam == kSourcePort2)
    {
        // The own set (test mode, UBX with the own fix): its MEAS notification closes the
        // navigation epoch.
        if (set.currentId != kIdMeas)
            return;
        source = kFixOwn;
    }
    else
    {
        report = m_binaryFix.Offer(set);
        if (report == nullptr)
            return;
        const ReceiverFix& f = *report;
        const ReceiverFix& last = m_lastFix;
        auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
        if (f.sequence == last.sequence && f.fixMode == last.fixMode && f.quality == last.quality &&
            f.satsUsed == last.satsUsed && same(f.hdop, last.hdop) && f.modeIndicator == last.modeIndicator)
            return;  // nothing new for the analysis
        m_lastFix = f;
    }
    const double now =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    fixes->PostFix(FixDelivery{source, *report, now, m_link.session});
}

void CPortReader::Report(ReceiverReport what, const CData& set, int /*port*/)
{
    UbxAnswer answer;
    if (what == ReceiverReport::Acknowledgement)
    {
        answer.key = ubx::MessageKey(set.ublox.ack.cls, set.ublox.ack.id);
        answer.acknowledged = set.ublox.ack.acknowledged;
    }
    else if (what == ReceiverReport::Version)
    {
        const UbxVersionRecord& v = set.ublox.version;
        answer.key = ubx::kMonVer;
        answer.acknowledged = true;
        answer.generation = v.generation;
        answer.version = std::string("SW ") + v.software.data() + ", HW " + v.hardware.data();
        if (v.extensions[0] != '\0')
            answer.version += std::string(", ") + v.extensions.data();
    }
    else
        return;
    m_signals.answers.Post(std::move(answer));
    if (m_frame != nullptr)
        m_frame->PostCode(m_port == 0 ? kMsgUbxAnswer1 : kMsgUbxAnswer2);
}

int RunPortReader(int port, PortLink link, PortSignals& signals, IMainFrame* frame)
{
    try
    {
        auto reader = std::make_unique<CPortReader>(port, std::move(link), signals, frame);
        return reader->Run();
    }
    catch (const std::exception& error)
    {
        ShowMessage(std::string("Reader thread of port ") + (port == 0 ? "1" : "2") +
                    " ended: " + error.what());
        return 0;
    }
    catch (...)
    {
        return 0;
    }
}
}  // namespace vrn
