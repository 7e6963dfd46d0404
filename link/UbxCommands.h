// Commands to a u-blox receiver in its binary protocol: the frames of a hot, warm or cold start
// (CFG-RST), of a baud change (CFG-PRT up to the u-blox 8 generation, CFG-VALSET from protocol 27
// on), of switching RXM-RAWX, RXM-SFRBX, NAV-PVT and NAV-SAT output (CFG-MSG or CFG-VALSET), and of
// the MON-VER poll; and the queue that sends them one at a time, each waiting for its answer.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/UbxRecords.h"

namespace vrn
{
enum class UbxStart : std::uint8_t
{
    Hot,
    Warm,
    Cold
};

// The messages whose output the commands switch, in the order of the settings.
enum class UbxOutput : std::uint8_t
{
    Rawx,
    Sfrbx,
    NavPvt,
    NavSat
};
inline constexpr std::size_t kUbxOutputCount = 4;

// One command frame and the answer it waits for.
struct UbxCommand
{
    std::string label;                // "CFG-RST (cold start)", for the status bar
    std::vector<std::uint8_t> frame;  // sync to checksum
    std::uint16_t answer = 0;         // the class << 8 | id acknowledged, or MON-VER for the poll
};

// CFG-RST with the clear mask of the start (hot nothing, warm the ephemerides, cold everything) and
// a controlled restart of the GNSS part only, so a USB link stays up.
[[nodiscard]] UbxCommand UbxStartCommand(UbxStart start);
// The UART1 line speed: CFG-PRT (8 data bits, no parity, one stop bit; UBX and NMEA in and out) for
// the u-blox 8 generation and older (and Unknown), CFG-VALSET of the UART1 baud key (in RAM) later.
[[nodiscard]] UbxCommand UbxBaudCommand(UbxGeneration generation, std::uint32_t baud);
// Output on (rate 1, every epoch) or off: one CFG-MSG per message on the port the command arrives
// on, or one CFG-VALSET setting the UART1 and USB rate keys of all of them.
[[nodiscard]] std::vector<UbxCommand> UbxOutputCommands(UbxGeneration generation,
                                                        std::span<const std::pair<UbxOutput, bool>> outputs);
// The MON-VER poll (an empty MON-VER), answered by MON-VER.
[[nodiscard]] UbxCommand UbxVersionPoll();

// What a port's reader saw in answer to commands: ACK-ACK, ACK-NAK or MON-VER.
struct UbxAnswer
{
    std::uint16_t key = 0;     // class << 8 | id answered (for MON-VER: MON-VER itself)
    bool acknowledged = false; // ACK-ACK, and MON-VER
    UbxGeneration generation = UbxGeneration::Unknown;  // from MON-VER
    std::string version;       // MON-VER: "SW ..., HW ..., PROTVER=..."
};

// The answers of one port, from its reader thread to the UI thread; a few lines under its mutex.
class UbxAnswerBox
{
public:
    void Post(UbxAnswer answer);
    [[nodiscard]] std::vector<UbxAnswer> Take();
    // The latest MON-VER text and generation the port's receiver reported; empty before one came.
    [[nodiscard]] std::string Version() const;
    [[nodiscard]] UbxGeneration Generation() const;
    void Clear();

private:
    static constexpr std::size_t kKept = 32;  // answers beyond are dropped, oldest first
    mutable std::mutex m_mutex;
    std::deque<UbxAnswer> m_answers;
    std::string m_version;
    UbxGeneration m_generation = UbxGeneration::Unknown;
};

// A command the user asked for; its frames are made when it is sent, once the receiver's generation
// is settled.
struct UbxRequest
{
    enum class Kind : std::uint8_t
    {
        Start,
        Baud,
        Outputs
    };
    Kind kind = Kind::Start;
    UbxStart start = UbxStart::Hot;
    std::uint32_t baud = 0;
    std::array<bool, kUbxOutputCount> outputs{};  // on/off per UbxOutput
    int generationSetting = -1;  // 0 detect, 1 M8 and older, 2 F9 and later; -1 the port's setting
};

// The commands of one port, UI thread only, driven by Pump with the time and the answers: one
// command in flight at a time; its answer or 2 s without one ends it and the next goes out. With the
// generation to be detected and no MON-VER seen yet, a MON-VER poll goes first; without an answer
// the older messages are used (which later generations still take, up to the F9).
class CUbxCommandQueue
{
public:
    static constexpr std::int64_t kAnswerTimeoutMs = 2000;

    // `receiver` 1 or 2, for the texts; `generation` the setting: Unknown detects from MON-VER.
    void Configure(int receiver, UbxGeneration generation);
    void Enqueue(const UbxRequest& request);
    [[nodiscard]] bool Busy() const { return m_inFlight.has_value() || !m_requests.empty() || !m_commands.empty(); }

    struct Step
    {
        std::vector<std::uint8_t> write;   // bytes to send to the receiver now
        std::vector<std::string> status;   // texts for the status bar, oldest first
    };
    // `answers` are what the reader saw since the last call; `known` is the generation from a MON-VER
    // the port's receiver sent unasked (Unknown when none).
    [[nodiscard]] Step Pump(std::int64_t nowMs, std::span<const UbxAnswer> answers, UbxGeneration known);

private:
    void Expand(const UbxRequest& request, UbxGeneration generation);
    [[nodiscard]] std::string Receiver() const;

    int m_receiver = 1;
    UbxGeneration m_setting = UbxGeneration::Unknown;
    UbxGeneration m_detected = UbxGeneration::Unknown;
    bool m_polled = false;  // a MON-VER poll went out in this run of the queue
    std::deque<UbxRequest> m_requests;
    std::deque<UbxCommand> m_commands;
    std::optional<UbxCommand> m_inFlight;
    std::int64_t m_deadlineMs = 0;
};
}  // namespace vrn
