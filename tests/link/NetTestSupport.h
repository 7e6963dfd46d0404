// Loopback servers for the network source tests: a TCP listener on 127.0.0.1 that runs a behaviour
// per accepted connection on a thread of its own, a fake gpsd behaviour (version banner, device
// list, the watch answer, then raw bytes between JSON objects), and a collecting port log.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/CoreServices.h"
#include "protocol/CData.h"

#include "SentenceText.h"

namespace vrn::test
{
using testing_support::Sentence;
// One accepted connection as a behaviour sees it. Sends and receives give up when the server
// stops, so no behaviour outlives its test.
class Peer
{
public:
    Peer(int fd, const std::atomic<bool>& stop) : m_fd(fd), m_stop(stop) {}
    [[nodiscard]] int Fd() const { return m_fd; }
    [[nodiscard]] bool Stopping() const { return m_stop.load(); }

    bool Send(std::string_view bytes) { return Send(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())); }
    bool Send(std::span<const std::uint8_t> bytes)
    {
        while (!bytes.empty())
        {
            if (m_stop.load())
                return false;
            const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0)
                bytes = bytes.subspan(static_cast<std::size_t>(n));
            else if (n < 0 && (errno == EAGAIN || errno == EINTR))
            {
                pollfd wait{m_fd, POLLOUT, 0};
                ::poll(&wait, 1, 20);
            }
            else
                return false;
        }
        return true;
    }
    // One line (up to its line feed, which is dropped); empty when the peer closed or the limit passed.
    std::string ReadLine(std::chrono::milliseconds limit = std::chrono::milliseconds(3000))
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!m_stop.load() && std::chrono::steady_clock::now() < end)
        {
            if (const std::size_t lf = m_input.find('\n'); lf != std::string::npos)
            {
                std::string line = m_input.substr(0, lf);
                m_input.erase(0, lf + 1);
                return line;
            }
            pollfd wait{m_fd, POLLIN, 0};
            if (::poll(&wait, 1, 20) <= 0)
                continue;
            char buffer[512];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n <= 0)
                return {};
            m_input.append(buffer, static_cast<std::size_t>(n));
        }
        return {};
    }
    // Everything received until the peer closes, the server stops or `limit` passes.
    std::vector<std::uint8_t> ReadAll(std::size_t count, std::chrono::milliseconds limit)
    {
        std::vector<std::uint8_t> out(m_input.begin(), m_input.end());
        m_input.clear();
        const auto end = std::chrono::steady_clock::now() + limit;
        while (out.size() < count && !m_stop.load() && std::chrono::steady_clock::now() < end)
        {
            pollfd wait{m_fd, POLLIN, 0};
            if (::poll(&wait, 1, 20) <= 0)
                continue;
            std::uint8_t buffer[4096];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n <= 0)
                break;
            out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }
    // Waits (bounded) while the connection stays open and the server runs.
    void Hold(std::chrono::milliseconds limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!m_stop.load() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // Ends the connection with a reset instead of an orderly close.
    void Reset()
    {
        linger hard{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }

private:
    int m_fd;
    const std::atomic<bool>& m_stop;
    std::string m_input;
};

// A listener on 127.0.0.1. Each accepted connection runs `behaviour` on its own thread; the
// connection closes when the behaviour returns. The destructor stops everything and joins.
class LoopbackServer
{
public:
    using Behaviour = std::function<void(Peer&)>;

    // `port` 0 picks a free one.
    explicit LoopbackServer(Behaviour behaviour, std::uint16_t port = 0, int backlog = 16)
        : m_behaviour(std::move(behaviour))
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listen, backlog) != 0)
        {
            ::close(m_listen);
            m_listen = -1;
            return;
        }
        socklen_t length = sizeof address;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_behaviour)
            m_acceptor = std::thread([this] { AcceptLoop(); });
    }
    ~LoopbackServer() { Stop(); }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    [[nodiscard]] bool Ok() const { return m_listen >= 0; }
    [[nodiscard]] std::uint16_t Port() const { return m_port; }
    [[nodiscard]] std::string Url(std::string_view scheme = "tcp") const
    {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(m_port);
    }
    [[nodiscard]] int Accepted() const { return m_accepted.load(); }
    [[nodiscard]] int Listener() const { return m_listen; }

    void Stop()
    {
        if (m_stop.exchange(true))
            return;
        if (m_wake >= 0)
        {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(m_wake, &one, sizeof one);
        }
        if (m_acceptor.joinable())
            m_acceptor.join();
        for (auto& t : m_connections)
            t.join();
        if (m_listen >= 0)
            ::close(m_listen);
        if (m_wake >= 0)
            ::close(m_wake);
        m_listen = m_wake = -1;
    }

private:
    void AcceptLoop()
    {
        while (!m_stop.load())
        {
            pollfd fds[2]{{m_listen, POLLIN, 0}, {m_wake, POLLIN, 0}};
            if (::poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN) != 0)
                continue;
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            m_accepted.fetch_add(1);
            m_connections.emplace_back([this, fd] {
                Peer peer(fd, m_stop);
                m_behaviour(peer);
                ::close(fd);
            });
        }
    }

    Behaviour m_behaviour;
    int m_listen = -1;
    int m_wake = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_accepted{0};
    std::thread m_acceptor;
    std::vector<std::thread> m_connections;  // touched by the acceptor only until Stop joins it
};

// A fake gpsd: the version banner, then answers to ?DEVICES; and ?WATCH=...; (the request lines
// it got are kept), then `stream` with a JSON object before, between and after its pieces.
struct FakeGpsd
{
    std::vector<std::string> devices{"/dev/ttyGPS0"};
    bool refuseWatch = false;
    std::vector<std::uint8_t> stream;
    std::size_t piece = 100;  // raw bytes between two JSON objects
    std::mutex mutex;
    std::vector<std::string> requests;

    void Serve(Peer& peer)
    {
        peer.Send(R"({"class":"VERSION","release":"3.25","rev":"3.25","proto_major":3,"proto_minor":15})"
                  "\r\n");
        std::string devicesJson = R"({"class":"DEVICES","devices":[)";
        for (std::size_t i = 0; i < devices.size(); ++i)
            devicesJson += (i ? "," : "") + std::string(R"({"class":"DEVICE","path":")") + devices[i] +
                           R"(","driver":"NMEA0183","activated":"2024-01-01T00:00:00.000Z"})";
        devicesJson += "]}\r\n";
        for (;;)
        {
            const std::string line = peer.ReadLine();
            if (line.empty())
                return;
            {
                std::lock_guard lock(mutex);
                requests.push_back(line);
            }
            if (line.starts_with("?DEVICES"))
                peer.Send(devicesJson);
            else if (line.starts_with("?WATCH="))
            {
                if (refuseWatch)
                {
                    peer.Send(R"({"class":"ERROR","message":"Can't open /dev/nothing."})"
                              "\r\n");
                    peer.Hold(std::chrono::milliseconds(3000));
                    return;
                }
                peer.Send(devicesJson);
                peer.Send(R"({"class":"WATCH","enable":true,"json":false,"nmea":false,"raw":2,"scaled":false})"
                          "\r\n");
                break;
            }
        }
        const std::string_view note = R"({"class":"DEVICE","path":"/dev/ttyGPS0","activated":"2024-01-01T00:00:01.000Z","flags":1,"driver":"NMEA0183","subtype":"","bps":4800,"parity":"N","stopbits":1,"cycle":1.00})"
                                      "\r\n";
        for (std::size_t at = 0; at < stream.size(); at += piece)
        {
            peer.Send(note);
            if (!peer.Send(std::span(stream).subspan(at, std::min(piece, stream.size() - at))))
                return;
        }
        peer.Send(note);
        peer.Hold(std::chrono::milliseconds(200));
    }
    [[nodiscard]] std::vector<std::string> Requests()
    {
        std::lock_guard lock(mutex);
        return requests;
    }
};

// The port log of a test: every sentence and binary record line of either port, in order.
class CollectingLog final : public IPortLog
{
public:
    void WriteRecord(const CData& set, int /*port*/) override
    {
        std::string line;
        if (set.FormatRecordText(line, 1, 1, 1, 1) != 0)
            Add(line + "\n");
    }
    int WriteSentence(int kind, std::string& text, int /*port*/) override
    {
        if (kind < 1 || kind > 6)
            return 0;
        text += '\n';
        Add(text);
        return 1;
    }
    [[nodiscard]] std::vector<std::string> Lines() const
    {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    [[nodiscard]] std::size_t Count() const
    {
        std::lock_guard lock(m_mutex);
        return m_lines.size();
    }

private:
    void Add(std::string line)
    {
        std::lock_guard lock(m_mutex);
        m_lines.push_back(std::move(line));
    }
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

// Installs `log` as the process's port log while it lives.
struct PortLogScope
{
    explicit PortLogScope(IPortLog& log) { SetPortLog(&log); }
    ~PortLogScope() { SetPortLog(nullptr); }
    PortLogScope(const PortLogScope&) = delete;
    PortLogScope& operator=(const PortLogScope&) = delete;
};


// NMEA sentences with valid checksums: GGA and RMC per second, `seconds` of them.
inline std::string NmeaStream(int seconds)
{
    const auto sentence = Sentence;
    std::string out;
    for (int s = 0; s < seconds; ++s)
    {
        char time[16];
        std::snprintf(time, sizeof time, "12%02d%02d.00", (s / 60) % 60, s % 60);
        out += sentence(std::string("GPGGA,") + time + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
        out += sentence(std::string("GPRMC,") + time + ",A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
    }
    return out;
}
}  // namespace vrn::test
