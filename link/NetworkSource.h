// Network byte sources: a TCP client ("tcp://HOST:PORT") whose received bytes are the receiver's
// stream, and a gpsd client ("gpsd://HOST[:PORT][/DEVICE]") that asks the daemon for the raw bytes
// of one device and passes them on without gpsd's own JSON. Both connect without blocking, resolve
// names off the calling thread, and, in a port, reconnect by themselves with a growing back-off.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/ByteSource.h"
#include "link/GpsdStream.h"

namespace vrn
{
struct NetworkOptions
{
    // A port reconnects after every fault; a tool gives up at the first (Read then reports Ended
    // and FailureText says why).
    bool reconnect = true;
    std::chrono::milliseconds firstRetry{1000};  // back-off after the first fault, doubled up to maxRetry
    std::chrono::milliseconds maxRetry{30000};
    // A connection that brings no byte for this long counts as lost (a half-open connection: the
    // peer vanished without a word). Receivers talk at least once a second.
    std::chrono::milliseconds idleLimit{10000};
    // Resolving, connecting and gpsd's answers each get this long.
    std::chrono::milliseconds answerLimit{10000};
};

class CNetworkSource final : public IByteSource
{
public:
    CNetworkSource(NetworkAddress address, std::string name, NetworkOptions options = {});
    ~CNetworkSource() override;
    CNetworkSource(const CNetworkSource&) = delete;
    CNetworkSource& operator=(const CNetworkSource&) = delete;

    [[nodiscard]] bool Usable() const override { return m_controlFd >= 0; }
    SourceWait Wait(int wakeFd, bool watch) override;
    SourceRead Read(std::span<std::uint8_t> buffer) override;
    [[nodiscard]] std::size_t BytesWaiting() const override { return m_raw.size() - m_rawHead; }

    // Queued for the reader, which sends it when the socket takes it; dropped while no connection
    // is up, and always for gpsd (the daemon owns the device). Returns at once. Result 1.
    int Write(std::span<const std::uint8_t> bytes) override;
    [[nodiscard]] std::string CommandRefusal() const override
    {
        return IsGpsd() ? "commands are not sent through gpsd" : std::string{};
    }
    [[nodiscard]] std::string Describe() const override { return m_name; }
    [[nodiscard]] std::string StateText() const override;

    // True while a connection delivers (gpsd: after its watch was accepted).
    [[nodiscard]] bool Connected() const { return m_connected.load(std::memory_order_acquire); }
    // Without reconnect: why the source ended ("" when the peer closed a working connection).
    [[nodiscard]] std::string FailureText() const;
    // True once a connection delivered (gpsd: its watch was accepted); a tool that ends before
    // that failed to open its source.
    [[nodiscard]] bool EverStreamed() const { return m_everStreamed.load(std::memory_order_acquire); }
    // Connections made so far (for tests and the status).
    [[nodiscard]] int Connections() const { return m_connections.load(std::memory_order_acquire); }

private:
    enum class State : std::uint8_t
    {
        Start,
        Resolving,
        Connecting,
        Handshake,  // gpsd: banner, device list, watch answer
        Streaming,
        BackOff,
        Ended
    };
    enum class Handshake : std::uint8_t
    {
        Banner,
        Devices,
        Watch
    };
    struct Resolution;
    using Clock = std::chrono::steady_clock;

    void BeginResolve();
    void TakeResolution();
    void ConnectNext();
    void ConnectFinished();
    void Established();
    void OnHandshakeInput();
    bool HandleAnswer(const std::string& object);
    void SendText(const std::string& text);
    void FlushOutput();
    void Lost(const std::string& reason);
    void CloseSocket();
    void SetState(State state, const std::string& text);
    [[nodiscard]] int TimeoutMs() const;
    [[nodiscard]] bool IsGpsd() const { return m_address.kind == NetworkAddress::Kind::Gpsd; }
    bool ReceiveForGpsd();

    NetworkAddress m_address;
    std::string m_name;
    NetworkOptions m_options;
    int m_controlFd = -1;  // written by Write: output waits

    // Reader thread.
    State m_state = State::Start;
    Handshake m_handshake = Handshake::Banner;
    int m_socket = -1;
    std::shared_ptr<Resolution> m_resolution;
    std::vector<std::vector<std::uint8_t>> m_addresses;  // sockaddr bytes, in getaddrinfo's order
    std::size_t m_nextAddress = 0;
    std::string m_lastError;
    Clock::time_point m_deadline{};  // back-off end, connect or answer limit
    Clock::time_point m_lastByte{};
    std::chrono::milliseconds m_retry{0};
    bool m_receivedOnConnection = false;
    bool m_broken = false;  // bytes were delivered before the last fault: Wait reports a discontinuity
    CGpsdSplitter m_splitter;
    std::vector<std::uint8_t> m_raw;  // gpsd: device bytes not yet read
    std::size_t m_rawHead = 0;
    std::vector<std::string> m_objects;

    // Shared with the UI thread.
    mutable std::mutex m_mutex;
    std::vector<std::uint8_t> m_output;
    std::string m_stateText;
    std::string m_failure;
    std::atomic<bool> m_connected{false};
    std::atomic<int> m_connections{0};
    std::atomic<bool> m_everStreamed{false};
};
}  // namespace vrn
