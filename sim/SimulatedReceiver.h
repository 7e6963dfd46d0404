// A simulated receiver on a pseudo-terminal, for the demo mode, the tools and the tests: it streams
// its protocol in real time on its own thread, paced at the line's baud rate, and reads and obeys
// what the program writes to it (the initialisation command). The program opens DevicePath() as if
// it were a serial port.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "protocol/UbxFrame.h"
#include "sim/SimStream.h"

namespace vrnsim
{

struct SimulatedReceiverOptions
{
    StreamOptions stream;
    int baud = 4800;
    double durationS = 0.0;  // stream time after which the receiver stops by itself; 0 = never
    std::string linkPath;    // when set, a symbolic link to the device is made here (and removed)
};

// Owned by one thread (start, stop, destruction); streams on a thread of its own.
class CSimulatedReceiver
{
public:
    explicit CSimulatedReceiver(SimulatedReceiverOptions options);
    ~CSimulatedReceiver();  // stops and joins
    CSimulatedReceiver(const CSimulatedReceiver&) = delete;
    CSimulatedReceiver& operator=(const CSimulatedReceiver&) = delete;

    // Receives one line per command the program sent and per notice (falling behind the baud
    // rate). Called on the streaming thread; set it before Start.
    void SetLog(std::function<void(const std::string&)> log) { m_log = std::move(log); }
    // Sees every epoch as it is generated (for truth files). Called on the streaming thread; set it
    // before Start.
    void SetEpochObserver(std::function<void(const Epoch&)> observer) { m_observer = std::move(observer); }

    // Opens the pseudo-terminal and starts streaming. False, with the reason in `error`, when the
    // device cannot be made or the thread cannot start.
    [[nodiscard]] bool Start(std::string& error);
    // Stops streaming, joins the thread, closes the device and removes the link. Idempotent.
    void Stop();

    // Slave side of the pseudo-terminal, such as /dev/pts/7; empty before Start.
    const std::string& DevicePath() const { return m_devicePath; }
    // True once the duration has run out (or streaming failed); Stop still has to be called.
    bool Finished() const { return m_finished.load(); }
    int Baud() const { return m_baud.load(); }

    std::uint64_t BytesWritten() const { return m_bytesWritten.load(); }
    std::uint64_t BytesDropped() const { return m_bytesDropped.load(); }    // no room in the line
    std::uint64_t EpochsSkipped() const { return m_epochsSkipped.load(); }  // behind the baud rate
    std::uint64_t Commands() const { return m_commands.load(); }
    std::uint64_t IgnoredBytes() const { return m_ignoredBytes.load(); }  // garbage from the program

private:
    void Run();
    bool WaitUntil(double seconds);  // false when asked to stop
    void ReadCommands();
    // Obeys one command; its reply (and then its new line speed) goes out now between epochs, or
    // after the epoch being sent, so it never lands inside another message.
    void Obey(const CommandEffect& effect);
    void FlushReplies();
    void WriteAll(const std::uint8_t* data, std::size_t n);
    void SetLineSpeed(int baud);
    void Log(const std::string& line);

    SimulatedReceiverOptions m_options;
    CSimStream m_stream;
    CCommandReader m_reader;
    ubx::CUbxExtractor m_ubxReader;     // the UBX protocol's commands
    std::vector<std::uint8_t> m_replies;  // waiting for the epoch being sent to end
    int m_pendingBaud = 0;
    bool m_inBlock = false;
    std::function<void(const std::string&)> m_log;
    std::function<void(const Epoch&)> m_observer;
    std::string m_devicePath;
    int m_master = -1;
    int m_slave = -1;  // kept open so the line exists while no program has it open
    int m_wake = -1;   // eventfd that interrupts the thread's waits
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::atomic<int> m_baud{4800};
    std::atomic<std::uint64_t> m_bytesWritten{0}, m_bytesDropped{0}, m_epochsSkipped{0}, m_commands{0},
        m_ignoredBytes{0};
    std::int64_t m_startNs = 0;
};

}  // namespace vrnsim
