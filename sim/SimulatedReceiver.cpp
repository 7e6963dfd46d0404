// The pseudo-terminal and the real-time streaming thread of the simulated receiver.
//
// Pacing: each epoch's bytes are due at the epoch's stream time after the start. They leave in
// slices of about 50 ms of line time at baud/10 bytes per second, never faster, and never before
// the previous epoch's bytes are through; if the line falls more than a second behind, an epoch is
// skipped, as a receiver with too slow a port drops output. While waiting, the thread reads what the
// program writes and obeys the commands at once.
#include "sim/SimulatedReceiver.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace vrnsim
{
namespace
{
std::int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

speed_t SpeedConstant(int baud)
{
    switch (baud)
    {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        default:
            return B4800;
    }
}
}  // namespace

CSimulatedReceiver::CSimulatedReceiver(SimulatedReceiverOptions options)
    : m_options(std::move(options)), m_stream(m_options.stream), m_baud(m_options.baud)
{
}

CSimulatedReceiver::~CSimulatedReceiver()
{
    Stop();
}

bool CSimulatedReceiver::Start(std::string& error)
{
    if (m_master >= 0)
    {
        error = "already started";
        return false;
    }
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
    {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        Stop();
        return false;
    }
    std::array<char, 128> name{};
    if (ptsname_r(m_master, name.data(), name.size()) != 0)
    {
        error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        Stop();
        return false;
    }
    m_devicePath = name.data();
    m_slave = ::open(m_devicePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
    {
        error = "cannot open " + m_devicePath + ": " + std::strerror(errno);
        Stop();
        return false;
    }
    // Raw line: no echo of the program's bytes, no CR/LF translation of ours.
    termios tio{};
    tcgetattr(m_slave, &tio);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tcsetattr(m_slave, TCSANOW, &tio);
    SetLineSpeed(m_baud.load());
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0)
    {
        error = std::string("cannot make an event descriptor: ") + std::strerror(errno);
        Stop();
        return false;
    }
    if (!m_options.linkPath.empty())
    {
        struct stat st
        {
        };
        if (::lstat(m_options.linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(m_options.linkPath.c_str());
        if (::symlink(m_devicePath.c_str(), m_options.linkPath.c_str()) != 0)
        {
            error = "cannot make the link " + m_options.linkPath + ": " + std::strerror(errno);
            m_options.linkPath.clear();
            Stop();
            return false;
        }
    }
    m_stop = false;
    m_finished = false;
    try
    {
        m_thread = std::thread([this] { Run(); });
    }
    catch (const std::system_error& e)
    {
        error = std::string("cannot start the streaming thread: ") + e.what();
        Stop();
        return false;
    }
    return true;
}

void CSimulatedReceiver::Stop()
{
    m_stop = true;
    if (m_wake >= 0)
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(m_wake, &one, sizeof one);
    }
    if (m_thread.joinable())
        m_thread.join();
    for (int* fd : {&m_master, &m_slave, &m_wake})
        if (*fd >= 0)
        {
            ::close(*fd);
            *fd = -1;
        }
    if (!m_options.linkPath.empty())
    {
        struct stat st
        {
        };
        if (::lstat(m_options.linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(m_options.linkPath.c_str());
        m_options.linkPath.clear();
    }
}

void CSimulatedReceiver::Log(const std::string& line)
{
    if (m_log)
        m_log(line);
}

void CSimulatedReceiver::SetLineSpeed(int baud)
{
    termios tio{};
    if (m_slave < 0 || tcgetattr(m_slave, &tio) != 0)
        return;
    cfsetispeed(&tio, SpeedConstant(baud));
    cfsetospeed(&tio, SpeedConstant(baud));
    tcsetattr(m_slave, TCSANOW, &tio);
}

void CSimulatedReceiver::ReadCommands()
{
    std::array<std::uint8_t, 256> buf{};
    for (;;)
    {
        const ssize_t n = ::read(m_master, buf.data(), buf.size());
        if (n <= 0)
            return;
        const std::span<const std::uint8_t> bytes(buf.data(), static_cast<std::size_t>(n));
        if (m_stream.Protocol() == SimProtocol::Ubx)
        {
            const std::uint64_t textBefore = m_ubxReader.Counters().textBytes;
            ChunkRef ref{bytes.data(), bytes.size()};
            for (ubx::Event e = m_ubxReader.Next(ref); e.kind != ubx::Event::Kind::None; e = m_ubxReader.Next(ref))
            {
                if (e.kind != ubx::Event::Kind::Frame)
                    continue;
                ++m_commands;
                Obey(m_stream.ApplyUbx(e.cls, e.id, e.bytes));
            }
            m_ignoredBytes += m_ubxReader.Counters().textBytes - textBefore;
            continue;
        }
        const std::uint64_t ignoredBefore = m_reader.IgnoredBytes();
        for (const auto& message : m_reader.Feed(bytes))
        {
            ++m_commands;
            Obey(m_stream.Apply(message));
        }
        m_ignoredBytes += m_reader.IgnoredBytes() - ignoredBefore;
    }
}

void CSimulatedReceiver::Obey(const CommandEffect& effect)
{
    Log(effect.text);
    m_replies.insert(m_replies.end(), effect.reply.begin(), effect.reply.end());
    if (effect.baud != 0)
        m_pendingBaud = effect.baud;
    if (!m_inBlock)
        FlushReplies();
}

void CSimulatedReceiver::FlushReplies()
{
    if (!m_replies.empty())
    {
        WriteAll(m_replies.data(), m_replies.size());
        m_replies.clear();
    }
    if (m_pendingBaud != 0 && m_pendingBaud != m_baud.load())
    {
        // The reply has left at the old speed.
        m_baud = m_pendingBaud;
        SetLineSpeed(m_pendingBaud);
    }
    m_pendingBaud = 0;
}

bool CSimulatedReceiver::WaitUntil(double seconds)
{
    const std::int64_t deadline = m_startNs + static_cast<std::int64_t>(seconds * 1e9);
    while (!m_stop.load())
    {
        const std::int64_t left = deadline - NowNs();
        std::array<pollfd, 2> fds{pollfd{m_master, POLLIN, 0}, pollfd{m_wake, POLLIN, 0}};
        const int timeoutMs =
            left <= 0 ? 0 : static_cast<int>(std::min<std::int64_t>(left / 1000000 + 1, 1000));
        const int r = ::poll(fds.data(), fds.size(), timeoutMs);
        if (r > 0 && (fds[0].revents & POLLIN))
            ReadCommands();
        if (left <= 0)
            return !m_stop.load();
    }
    return false;
}

void CSimulatedReceiver::WriteAll(const std::uint8_t* data, std::size_t n)
{
    while (n > 0)
    {
        const ssize_t w = ::write(m_master, data, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
        {
            m_bytesDropped += n;  // the line's buffer is full: nobody reads it
            return;
        }
        m_bytesWritten += static_cast<std::uint64_t>(w);
        data += w;
        n -= static_cast<std::size_t>(w);
    }
}

void CSimulatedReceiver::Run()
{
    m_startNs = NowNs();
    std::vector<std::uint8_t> block;
    double lineFree = 0.0;  // stream time at which the line has sent everything so far
    bool warned = false;
    while (!m_stop.load())
    {
        block.clear();
        const double due = m_stream.Next(block);
        if (m_options.durationS > 0.0 && due >= m_options.durationS)
            break;
        if (m_observer)
            m_observer(m_stream.LastEpoch());
        if (!WaitUntil(due))
            break;
        const double rate = BytesPerSecondAt(m_baud.load());
        if (lineFree > due + 1.0)
        {
            ++m_epochsSkipped;
            if (!warned)
                Log("output does not fit " + std::to_string(m_baud.load()) + " baud: skipping epochs");
            warned = true;
            continue;
        }
        const double start = std::max(due, lineFree);
        const auto slice = static_cast<std::size_t>(std::max(1.0, rate / 20.0));
        m_inBlock = true;
        for (std::size_t at = 0; at < block.size() && !m_stop.load(); at += slice)
        {
            if (!WaitUntil(start + static_cast<double>(at) / rate))
                break;
            WriteAll(block.data() + at, std::min(slice, block.size() - at));
        }
        m_inBlock = false;
        FlushReplies();
        lineFree = start + static_cast<double>(block.size()) / rate;
    }
    m_finished = true;
}

}  // namespace vrnsim
