// Network byte sources; see the header.
//
// Everything happens on the reader thread inside Wait and Read, as a small state machine:
// Start -> Resolving (a literal address skips it; a name is looked up on a short-lived helper
// thread, so neither a stop nor the UI ever waits for DNS) -> Connecting (non-blocking connect, one
// address after the other) -> [gpsd: Handshake] -> Streaming. A fault (refused, reset, closed, no
// answer, no byte for idleLimit) closes the socket and waits in BackOff (1 s doubling to 30 s, back
// to 1 s after a connection that delivered) before the next try. Each turn of Wait blocks in one
// poll on the wake descriptor, the write queue's eventfd and the socket or the resolver, with the
// nearest deadline as its timeout, so no state can spin.
#include "link/NetworkSource.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

namespace vrn
{
namespace
{
constexpr std::size_t kOutputLimit = 64 * 1024;  // queued command bytes; more is dropped
constexpr std::size_t kReceiveBlock = 4096;

std::string ErrorText(int code)
{
    return std::strerror(code);
}

std::vector<std::vector<std::uint8_t>> Addresses(const addrinfo* list)
{
    std::vector<std::vector<std::uint8_t>> out;
    for (const addrinfo* a = list; a != nullptr; a = a->ai_next)
        if (a->ai_addr != nullptr && (a->ai_family == AF_INET || a->ai_family == AF_INET6))
        {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(a->ai_addr);
            out.emplace_back(bytes, bytes + a->ai_addrlen);
        }
    return out;
}

int Family(const std::vector<std::uint8_t>& address)
{
    sockaddr_storage storage{};
    std::memcpy(&storage, address.data(), std::min(address.size(), sizeof storage));
    return storage.ss_family;
}

void SetKeepAlive(int fd)
{
    const int on = 1, idle = 10, interval = 5, count = 3;
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

std::string Seconds(std::chrono::milliseconds ms)
{
    const auto s = (ms.count() + 999) / 1000;
    return std::to_string(s) + " s";
}
}  // namespace

// A name lookup on a helper thread. The thread and the source share it; whoever lets go last
// closes its eventfd, so a source that stops while the lookup runs neither waits for it nor leaks.
struct CNetworkSource::Resolution
{
    std::mutex mutex;
    bool done = false;
    std::string error;
    std::vector<std::vector<std::uint8_t>> addresses;
    int fd = -1;
    ~Resolution()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool IsNetworkSourceName(std::string_view name)
{
    auto starts = [name](std::string_view prefix) {
        if (name.size() < prefix.size())
            return false;
        for (std::size_t i = 0; i < prefix.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(name[i])) != prefix[i])
                return false;
        return true;
    };
    return starts("tcp://") || starts("gpsd://");
}

std::optional<NetworkAddress> ParseNetworkAddress(std::string_view name, std::string& error)
{
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t'))
        name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
        name.remove_suffix(1);
    if (!IsNetworkSourceName(name))
    {
        error = "'" + std::string(name) + "' is not a tcp:// or gpsd:// address";
        return std::nullopt;
    }
    NetworkAddress address;
    const bool gpsd = std::tolower(static_cast<unsigned char>(name.front())) == 'g';
    address.kind = gpsd ? NetworkAddress::Kind::Gpsd : NetworkAddress::Kind::Tcp;
    std::string_view rest = name.substr(gpsd ? 7 : 6);
    if (gpsd)
    {
        const std::size_t slash = rest.find('/');
        if (slash != std::string_view::npos)
        {
            address.device = std::string(rest.substr(slash));
            rest = rest.substr(0, slash);
            if (address.device == "/")
                address.device.clear();
        }
    }
    else if (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    std::string_view host = rest;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[')
    {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos)
        {
            error = "'" + std::string(name) + "': missing ']' after the IPv6 address";
            return std::nullopt;
        }
        host = rest.substr(1, close - 1);
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty() && after.front() != ':')
        {
            error = "'" + std::string(name) + "': unexpected text after the address";
            return std::nullopt;
        }
        if (!after.empty())
            port = after.substr(1);
        else
            port = {};
    }
    else if (const std::size_t colon = rest.rfind(':'); colon != std::string_view::npos)
    {
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
        {
            error = "'" + std::string(name) + "': put an IPv6 address in brackets, e.g. tcp://[::1]:10110";
            return std::nullopt;
        }
    }
    if (host.empty())
    {
        error = "'" + std::string(name) + "': no host name";
        return std::nullopt;
    }
    if (port.empty() && rest.find(':') != std::string_view::npos && rest.back() == ':')
    {
        error = "'" + std::string(name) + "': no port number after ':'";
        return std::nullopt;
    }
    if (port.empty())
    {
        if (!gpsd)
        {
            error = "'" + std::string(name) + "': no port number (tcp://HOST:PORT)";
            return std::nullopt;
        }
        port = kGpsdDefaultPort;
    }
    int number = 0;
    for (const char c : port)
    {
        if (c < '0' || c > '9' || number > 65535)
        {
            number = -1;
            break;
        }
        number = number * 10 + (c - '0');
    }
    if (number < 1 || number > 65535)
    {
        error = "'" + std::string(name) + "': port '" + std::string(port) + "' is not a number from 1 to 65535";
        return std::nullopt;
    }
    address.host = std::string(host);
    address.port = std::to_string(number);
    return address;
}

CNetworkSource::CNetworkSource(NetworkAddress address, std::string name, NetworkOptions options)
    : m_address(std::move(address)), m_name(std::move(name)), m_options(options)
{
    m_controlFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_stateText = "connecting";
}

CNetworkSource::~CNetworkSource()
{
    // Commands written just before a stop (the baud change) still go out if the socket takes them.
    if (m_state == State::Streaming)
        FlushOutput();
    CloseSocket();
    if (m_controlFd >= 0)
        ::close(m_controlFd);
}

std::string CNetworkSource::StateText() const
{
    std::lock_guard lock(m_mutex);
    return m_stateText;
}

std::string CNetworkSource::FailureText() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

void CNetworkSource::SetState(State state, const std::string& text)
{
    m_state = state;
    std::lock_guard lock(m_mutex);
    m_stateText = text;
}

int CNetworkSource::Write(std::span<const std::uint8_t> bytes)
{
    if (IsGpsd() || bytes.empty() || !Connected())
        return 1;
    {
        std::lock_guard lock(m_mutex);
        if (m_output.size() + bytes.size() > kOutputLimit)
            return 1;
        m_output.insert(m_output.end(), bytes.begin(), bytes.end());
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_controlFd, &one, sizeof one);
    return 1;
}

int CNetworkSource::TimeoutMs() const
{
    Clock::time_point until{};
    switch (m_state)
    {
    case State::Resolving:
    case State::Connecting:
    case State::Handshake:
    case State::BackOff: until = m_deadline; break;
    case State::Streaming: until = m_lastByte + m_options.idleLimit; break;
    default: return -1;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left + 1, 0, 24 * 3600 * 1000));
}

SourceWait CNetworkSource::Wait(int wakeFd, bool watch)
{
    SourceWait result;
    for (;;)
    {
        if (m_state == State::Start)
            BeginResolve();
        if (m_state == State::Ended && watch)
        {
            result.readable = true;  // Read reports the end
            return result;
        }
        if (m_state == State::Streaming && watch && BytesWaiting() > 0)
        {
            result.readable = true;
            return result;
        }
        bool output = false;
        {
            std::lock_guard lock(m_mutex);
            output = !m_output.empty();
        }
        std::array<pollfd, 3> fds{pollfd{wakeFd, POLLIN, 0}, pollfd{m_controlFd, POLLIN, 0}, pollfd{-1, 0, 0}};
        switch (m_state)
        {
        case State::Resolving: fds[2] = {m_resolution->fd, POLLIN, 0}; break;
        case State::Connecting: fds[2] = {m_socket, POLLOUT, 0}; break;
        case State::Handshake: fds[2] = {m_socket, static_cast<short>(POLLIN | (output ? POLLOUT : 0)), 0}; break;
        case State::Streaming:
        {
            const auto events = static_cast<short>((watch ? POLLIN : 0) | (output ? POLLOUT : 0));
            if (events != 0)
                fds[2] = {m_socket, events, 0};
            break;
        }
        default: break;
        }
        // Paused with a full queue: the idle limit does not apply, nobody reads.
        const int timeout = m_state == State::Streaming && !watch ? -1 : TimeoutMs();
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0)
        {
            if (errno == EINTR)
                continue;
            result.woken = true;  // cannot wait: let the caller look at its flags
            return result;
        }
        if ((fds[0].revents & POLLIN) != 0)
            result.woken = true;
        if ((fds[1].revents & POLLIN) != 0)
        {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(m_controlFd, &count, sizeof count);
        }
        const short events = fds[2].revents;
        const auto now = Clock::now();
        switch (m_state)
        {
        case State::Resolving:
            if (events != 0)
                TakeResolution();
            else if (now >= m_deadline)
            {
                m_resolution.reset();
                Lost("cannot resolve " + m_address.host + ": no answer");
            }
            break;
        case State::Connecting:
            if (events != 0)
                ConnectFinished();
            else if (now >= m_deadline)
            {
                m_lastError = "connection timed out";
                CloseSocket();
                ++m_nextAddress;
                ConnectNext();
            }
            break;
        case State::Handshake:
            if ((events & POLLOUT) != 0)
                FlushOutput();
            if ((events & (POLLIN | POLLHUP | POLLERR)) != 0)
                OnHandshakeInput();
            else if (now >= m_deadline)
                Lost(m_handshake == Handshake::Banner ? "no answer from gpsd" : "gpsd did not answer the watch request");
            if (m_state == State::Streaming && BytesWaiting() > 0 && watch)
                result.readable = true;
            break;
        case State::Streaming:
            if ((events & POLLOUT) != 0)
                FlushOutput();
            if ((events & (POLLIN | POLLHUP | POLLERR)) != 0)
                result.readable = true;
            else if (watch && now >= m_lastByte + m_options.idleLimit)
                Lost("no data for " + Seconds(m_options.idleLimit));
            break;
        case State::BackOff:
            if (now >= m_deadline)
                m_state = State::Start;
            break;
        default: break;
        }
        if (m_broken && (result.woken || result.readable))
        {
            result.discontinuity = true;
            m_broken = false;
        }
        if (result.woken || result.readable)
            return result;
    }
}

SourceRead CNetworkSource::Read(std::span<std::uint8_t> buffer)
{
    if (m_state == State::Ended)
        return {0, ReadStatus::Ended};
    if (m_state != State::Streaming || buffer.empty())
        return {};
    if (IsGpsd())
    {
        if (BytesWaiting() == 0 && !ReceiveForGpsd())
            return {0, m_state == State::Ended ? ReadStatus::Ended : ReadStatus::Nothing};
        const std::size_t n = std::min(buffer.size(), BytesWaiting());
        std::copy_n(m_raw.begin() + static_cast<std::ptrdiff_t>(m_rawHead), n, buffer.begin());
        m_rawHead += n;
        if (m_rawHead == m_raw.size())
        {
            m_raw.clear();
            m_rawHead = 0;
        }
        return {n, ReadStatus::Data};
    }
    ssize_t n = 0;
    do
        n = ::recv(m_socket, buffer.data(), buffer.size(), MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    if (n > 0)
    {
        m_lastByte = Clock::now();
        m_receivedOnConnection = true;
        return {static_cast<std::size_t>(n), ReadStatus::Data};
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return {};
    Lost(n == 0 ? "connection closed by the server" : ErrorText(errno));
    return {0, m_state == State::Ended ? ReadStatus::Ended : ReadStatus::Nothing};
}

bool CNetworkSource::ReceiveForGpsd()
{
    std::array<std::uint8_t, kReceiveBlock> block{};
    ssize_t n = 0;
    do
        n = ::recv(m_socket, block.data(), block.size(), MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return false;
    if (n <= 0)
    {
        Lost(n == 0 ? "connection closed by gpsd" : ErrorText(errno));
        return false;
    }
    m_lastByte = Clock::now();
    m_receivedOnConnection = true;
    m_objects.clear();
    m_splitter.Feed(std::span(block).first(static_cast<std::size_t>(n)), m_raw, m_objects);
    for (const auto& object : m_objects)
    {
        // After the watch only an error matters; a device that goes away is gpsd's to handle.
        const GpsdAnswer answer = ReadGpsdAnswer(object);
        if (answer.kind == "ERROR")
        {
            Lost("gpsd: " + answer.message);
            return false;
        }
    }
    return BytesWaiting() > 0;
}

void CNetworkSource::BeginResolve()
{
    m_addresses.clear();
    m_nextAddress = 0;
    m_lastError.clear();
    SetState(State::Resolving, "connecting");
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* list = nullptr;
    if (::getaddrinfo(m_address.host.c_str(), m_address.port.c_str(), &hints, &list) == 0)
    {
        m_addresses = Addresses(list);
        ::freeaddrinfo(list);
        ConnectNext();
        return;
    }
    auto job = std::make_shared<Resolution>();
    job->fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (job->fd < 0)
    {
        Lost("cannot resolve " + m_address.host + ": " + ErrorText(errno));
        return;
    }
    try
    {
        std::thread([job, host = m_address.host, port = m_address.port] {
            addrinfo request{};
            request.ai_family = AF_UNSPEC;
            request.ai_socktype = SOCK_STREAM;
            request.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
            addrinfo* found = nullptr;
            const int code = ::getaddrinfo(host.c_str(), port.c_str(), &request, &found);
            {
                std::lock_guard lock(job->mutex);
                if (code == 0)
                    job->addresses = Addresses(found);
                else
                    job->error = code == EAI_SYSTEM ? ErrorText(errno) : ::gai_strerror(code);
                job->done = true;
            }
            if (found != nullptr)
                ::freeaddrinfo(found);
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(job->fd, &one, sizeof one);
        }).detach();
    }
    catch (const std::system_error& error)
    {
        Lost("cannot resolve " + m_address.host + ": " + error.what());
        return;
    }
    m_resolution = std::move(job);
    m_deadline = Clock::now() + m_options.answerLimit;
}

void CNetworkSource::TakeResolution()
{
    const auto job = std::move(m_resolution);
    std::string error;
    {
        std::lock_guard lock(job->mutex);
        if (!job->done)
        {
            m_resolution = job;
            return;
        }
        error = job->error;
        m_addresses = std::move(job->addresses);
    }
    if (!error.empty())
    {
        Lost("cannot resolve " + m_address.host + ": " + error);
        return;
    }
    ConnectNext();
}

void CNetworkSource::ConnectNext()
{
    for (; m_nextAddress < m_addresses.size(); ++m_nextAddress)
    {
        const auto& address = m_addresses[m_nextAddress];
        m_socket = ::socket(Family(address), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_socket < 0)
        {
            m_lastError = ErrorText(errno);
            continue;
        }
        sockaddr_storage storage{};
        std::memcpy(&storage, address.data(), std::min(address.size(), sizeof storage));
        const int result =
            ::connect(m_socket, reinterpret_cast<const sockaddr*>(&storage), static_cast<socklen_t>(address.size()));
        if (result == 0)
        {
            Established();
            return;
        }
        if (errno == EINPROGRESS)
        {
            SetState(State::Connecting, "connecting");
            m_deadline = Clock::now() + m_options.answerLimit;
            return;
        }
        m_lastError = ErrorText(errno);
        CloseSocket();
    }
    Lost(m_lastError.empty() ? "no address for " + m_address.host : m_lastError);
}

void CNetworkSource::ConnectFinished()
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error == 0)
    {
        Established();
        return;
    }
    m_lastError = ErrorText(error);
    CloseSocket();
    ++m_nextAddress;
    ConnectNext();
}

void CNetworkSource::Established()
{
    m_connections.fetch_add(1, std::memory_order_acq_rel);
    SetKeepAlive(m_socket);
    m_lastByte = Clock::now();
    m_receivedOnConnection = false;
    m_splitter = CGpsdSplitter{};
    m_raw.clear();
    m_rawHead = 0;
    if (IsGpsd())
    {
        m_handshake = Handshake::Banner;
        m_deadline = Clock::now() + m_options.answerLimit;
        SetState(State::Handshake, "waiting for gpsd");
        return;
    }
    m_connected.store(true, std::memory_order_release);
    m_everStreamed.store(true, std::memory_order_release);
    SetState(State::Streaming, "");
}

void CNetworkSource::OnHandshakeInput()
{
    std::array<std::uint8_t, kReceiveBlock> block{};
    ssize_t n = 0;
    do
        n = ::recv(m_socket, block.data(), block.size(), MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return;
    if (n <= 0)
    {
        Lost(n == 0 ? "connection closed by gpsd" : ErrorText(errno));
        return;
    }
    m_objects.clear();
    m_splitter.Feed(std::span(block).first(static_cast<std::size_t>(n)), m_raw, m_objects);
    if (m_handshake == Handshake::Banner && m_objects.empty() && !m_raw.empty())
    {
        Lost("not a gpsd daemon (no version banner)");
        return;
    }
    const auto objects = std::move(m_objects);
    for (const auto& object : objects)
        if (!HandleAnswer(object))
            return;
}

bool CNetworkSource::HandleAnswer(const std::string& object)
{
    const GpsdAnswer answer = ReadGpsdAnswer(object);
    if (answer.kind == "ERROR")
    {
        Lost("gpsd refused the request: " + (answer.message.empty() ? object : answer.message));
        return false;
    }
    if (m_state != State::Handshake)
        return true;
    switch (m_handshake)
    {
    case Handshake::Banner:
        if (answer.kind != "VERSION")
        {
            Lost("not a gpsd daemon (no version banner)");
            return false;
        }
        m_deadline = Clock::now() + m_options.answerLimit;
        if (m_address.device.empty())
        {
            m_handshake = Handshake::Devices;
            SendText(std::string(kGpsdDevicesRequest));
        }
        else
        {
            m_handshake = Handshake::Watch;
            SendText(GpsdWatchRequest(m_address.device));
        }
        break;
    case Handshake::Devices:
        if (answer.kind == "DEVICES")
        {
            m_deadline = Clock::now() + m_options.answerLimit;
            m_handshake = Handshake::Watch;
            // No device yet (gpsd waits for a hot-plug): watch whatever comes.
            SendText(GpsdWatchRequest(answer.devices.empty() ? std::string_view{} : answer.devices.front()));
        }
        break;
    case Handshake::Watch:
        if (answer.kind == "WATCH")
        {
            if (answer.enabled.has_value() && !*answer.enabled)
            {
                Lost("gpsd refused the watch");
                return false;
            }
            m_lastByte = Clock::now();
            m_connected.store(true, std::memory_order_release);
            m_everStreamed.store(true, std::memory_order_release);
            SetState(State::Streaming, "");
        }
        break;
    }
    return true;
}

void CNetworkSource::SendText(const std::string& text)
{
    {
        std::lock_guard lock(m_mutex);
        m_output.insert(m_output.end(), text.begin(), text.end());
    }
    FlushOutput();
}

void CNetworkSource::FlushOutput()
{
    if (m_socket < 0)
        return;
    std::lock_guard lock(m_mutex);
    std::size_t done = 0;
    while (done < m_output.size())
    {
        const ssize_t n = ::send(m_socket, m_output.data() + done, m_output.size() - done, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;  // full (POLLOUT later) or broken (the read side notices)
    }
    m_output.erase(m_output.begin(), m_output.begin() + static_cast<std::ptrdiff_t>(done));
}

void CNetworkSource::Lost(const std::string& reason)
{
    m_broken = m_broken || m_receivedOnConnection;
    CloseSocket();
    m_resolution.reset();
    m_raw.clear();
    m_rawHead = 0;
    {
        std::lock_guard lock(m_mutex);
        m_output.clear();
    }
    if (!m_options.reconnect)
    {
        {
            std::lock_guard lock(m_mutex);
            m_failure = reason;
        }
        SetState(State::Ended, reason);
        return;
    }
    if (m_receivedOnConnection || m_retry.count() == 0)
        m_retry = m_options.firstRetry;
    else
        m_retry = std::min(m_retry * 2, m_options.maxRetry);
    m_receivedOnConnection = false;
    m_deadline = Clock::now() + m_retry;
    SetState(State::BackOff, "reconnecting (" + reason + "), next try in " + Seconds(m_retry));
}

void CNetworkSource::CloseSocket()
{
    m_connected.store(false, std::memory_order_release);
    if (m_socket >= 0)
        ::close(m_socket);
    m_socket = -1;
}
}  // namespace vrn
