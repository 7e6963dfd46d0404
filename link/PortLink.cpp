// Reader threads of the serial ports; see the header.
//
// The loop waits in poll() on the tty and on an eventfd that a stop or the end of a pause writes.
// Running, it reads what the tty holds in chunks of at most 80 bytes and runs each chunk through
// ParseChunk. Paused, it moves the tty's bytes into a queue of its own (the kernel keeps only about
// 4 KB per tty) and parses that queue in 80-byte chunks when the pause ends; with the queue full it
// stops watching the tty. A hang-up (POLLHUP/POLLERR, a read that fails with EIO or finds the end
// of the stream) is reported once to the frame as the port's stop code; from then on only the wake
// descriptor is watched, so a vanished device costs no CPU until the port is stopped.
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
#include "link/CSerialPort.h"
#include "link/Notifications.h"

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
      m_context(std::make_unique<ParseContext>())
{
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

    pollfd probe{m_link.fd, POLLIN, 0};
    if (m_link.fd < 0 || ::poll(&probe, 1, 0) < 0 || (probe.revents & POLLNVAL) != 0)
    {
        ShowMessage(m_port == 0 ? "Failed to SetCommMask for thread <1>!"
                                : "Failed to SetCommMask for thread <2> !");
        return 0;
    }

    std::array<std::uint8_t, kChunkSize> buffer{};
    while (m_signals.run.load() != 0)
    {
        const bool paused = m_signals.pause.load() != 0;
        if (!paused && m_queueHead < m_queueSize)
        {
            ParseQueued();
            continue;
        }
        const bool watchPort = !m_hungUp && !(paused && QueueFull());
        std::array<pollfd, 2> fds{pollfd{wakeFd, POLLIN, 0}, pollfd{m_link.fd, POLLIN, 0}};
        const int ready = ::poll(fds.data(), watchPort ? 2 : 1, -1);
        if (ready < 0)
        {
            if (errno != EINTR)
                HangUp();
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0)
        {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd, &count, sizeof count);
        }
        const short events = watchPort ? fds[1].revents : short{0};
        if (events == 0)
            continue;
        if ((events & POLLNVAL) != 0)
        {
            HangUp();
            continue;
        }
        if (m_signals.pause.load() != 0)
        {
            DrainWhilePaused();
            continue;
        }
        // Chunks until the tty is empty; a short chunk took all there was (a byte arriving since
        // wakes the next poll at once), which spares a query per wake-up on a slow line.
        bool readable = (events & POLLIN) != 0;
        while (m_signals.run.load() != 0 && m_signals.pause.load() == 0 && !m_hungUp)
        {
            if (ReadChunk(buffer, readable) < buffer.size())
                break;
            readable = false;
        }
        if (!m_hungUp && (events & (POLLHUP | POLLERR)) != 0 && BytesWaiting(m_link.fd) == 0)
            HangUp();
    }
    return 1;
}

std::size_t CPortReader::ReadChunk(std::span<std::uint8_t> buffer, bool readable)
{
    std::size_t wanted = std::min(buffer.size(), BytesWaiting(m_link.fd));
    if (wanted == 0 && readable)
        wanted = buffer.size();
    if (wanted == 0 || m_signals.pause.load() != 0)
        return 0;
    ssize_t n = 0;
    do
        n = ::read(m_link.fd, buffer.data(), wanted);
    while (n < 0 && errno == EINTR);
    if (n == 0 || (n < 0 && errno != EAGAIN))
    {
        HangUp();
        return 0;
    }
    if (n < 0)
        return 0;
    const auto count = static_cast<std::size_t>(n);
    // A chunk that was read is parsed even if a pause began meanwhile: dropping it could cut a frame.
    if (m_signals.run.load() != 0)
        Parse(buffer.first(count));
    return count;
}

void CPortReader::DrainWhilePaused()
{
    if (m_queueHead > 0)
    {
        std::copy(m_queue.begin() + static_cast<std::ptrdiff_t>(m_queueHead),
                  m_queue.begin() + static_cast<std::ptrdiff_t>(m_queueSize), m_queue.begin());
        m_queueSize -= m_queueHead;
        m_queueHead = 0;
    }
    while (!QueueFull())
    {
        const std::size_t room = m_queue.size() - m_queueSize;
        const ssize_t n = ::read(m_link.fd, m_queue.data() + m_queueSize, room);
        if (n > 0)
        {
            m_queueSize += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno != EAGAIN)
            HangUp();
        return;
    }
}

void CPortReader::ParseQueued()
{
    while (m_queueHead < m_queueSize && m_signals.run.load() != 0 && m_signals.pause.load() == 0)
    {
        const std::size_t count = std::min(kChunkSize, m_queueSize - m_queueHead);
        const std::span<const std::uint8_t> chunk(m_queue.data() + m_queueHead, count);
        m_queueHead += count;
        Parse(chunk);
    }
    if (m_queueHead == m_queueSize)
        m_queueHead = m_queueSize = 0;
}

void CPortReader::Parse(std::span<const std::uint8_t> chunk)
{
    ParseChunk(*m_context, chunk, m_port, m_signals.mode.load(), *this);
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
    if (m_frame != nullptr)
        m_frame->PostCode(code);
}

void CPortReader::NotifyViews(unsigned message, unsigned wParam, const CData& set)
{
    RecordDelivery delivery{message, wParam, nullptr, m_link.session};
    for (const auto& slot : m_link.views)
    {
        const auto view = slot.lock();
        if (!view)
            continue;
        if (!delivery.snapshot)
            delivery.snapshot = std::make_shared<const CData>(set);  // one copy, shared by the views
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
        // The own set of test mode: its MEAS notification closes the navigation epoch.
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
