// A raw recording played back as a port's byte source: the bytes of FILE fed to the reader at the
// pace they were recorded (from FILE.idx; without it at the line speed of the port's baud rate),
// faster, or as fast as the views take them; with pause, single step to the end of the next
// navigation epoch, and seek. A seek backwards starts the file over and runs fast to the target,
// so what the port has parsed afterwards equals an uninterrupted play.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/ByteSource.h"

namespace vrn
{
struct RecordingIndexEntry
{
    std::uint64_t offset = 0;  // first byte of a read in the data file
    std::uint64_t micros = 0;  // when it was read, since the start of the recording
};

// Reads FILE.idx for a data file of `fileSize` bytes. Lines that do not parse, offsets that do not
// increase or lie past the end of the data, and a cut last line are left out; a time that goes
// backwards is raised to the one before. `note` says what was left out ("" when nothing).
// Empty when there is no index or nothing in it is usable.
[[nodiscard]] std::vector<RecordingIndexEntry> ReadRecordingIndex(const std::string& indexPath,
                                                                  std::uint64_t fileSize, std::string& note);

// Playback speeds the controls offer; 0 is "as fast as possible".
inline constexpr std::array<int, 6> kPlaybackSpeeds{1, 2, 5, 10, 100, 0};

class CRecordingPlayer final : public IByteSource
{
public:
    // Maps `path` and reads its index. `baud` paces a recording without index (10 bits a byte).
    // Empty result and a one-line reason in `error` when the file cannot be read.
    static std::unique_ptr<CRecordingPlayer> Open(const std::string& path, int baud, std::string& error);
    ~CRecordingPlayer() override;
    CRecordingPlayer(const CRecordingPlayer&) = delete;
    CRecordingPlayer& operator=(const CRecordingPlayer&) = delete;

    // ---- controls: any thread; the reader takes them up at its next turn ----
    void SetSpeed(int factor);  // one of kPlaybackSpeeds; 0 = as fast as possible
    void SetPlaying(bool playing);
    // Plays on to the end of the next navigation epoch (own fix, NAV record or GGA), then pauses.
    void Step();
    // Goes to `micros` into the recording (clamped to its length), keeping the play or pause state.
    void Seek(std::uint64_t micros);

    // ---- state: any thread ----
    [[nodiscard]] std::uint64_t DurationUs() const { return m_durationUs; }
    // Recording time of the last byte handed out (0 before the first).
    [[nodiscard]] std::uint64_t PositionUs() const { return m_positionUs.load(std::memory_order_acquire); }
    [[nodiscard]] std::uint64_t BytesPlayed() const { return m_bytePosition.load(std::memory_order_acquire); }
    [[nodiscard]] std::uint64_t Size() const { return m_size; }
    // The reader has parsed the recording's last byte.
    [[nodiscard]] bool AtEnd() const { return m_parsedPosition.load(std::memory_order_acquire) >= m_size; }
    [[nodiscard]] bool Playing() const { return m_playingState.load(std::memory_order_acquire); }
    // True while a seek or a step is still running fast to its target.
    [[nodiscard]] bool Busy() const { return m_busy.load(std::memory_order_acquire); }
    [[nodiscard]] int Speed() const { return m_speedState.load(std::memory_order_acquire); }
    [[nodiscard]] bool HasIndex() const { return !m_index.empty(); }
    // What was wrong with the index ("" when nothing).
    [[nodiscard]] const std::string& IndexNote() const { return m_indexNote; }
    // Times the recording started over (seeks backwards).
    [[nodiscard]] int Restarts() const { return m_restarts.load(std::memory_order_acquire); }

    // ---- IByteSource ----
    [[nodiscard]] bool Usable() const override { return m_controlFd >= 0; }
    SourceWait Wait(int wakeFd, bool watch) override;
    SourceRead Read(std::span<std::uint8_t> buffer) override;
    [[nodiscard]] std::size_t BytesWaiting() const override;
    void ChunkParsed(bool epochEnded) override;
    [[nodiscard]] bool PacedByViews() const override { return true; }
    int Write(std::span<const std::uint8_t> /*bytes*/) override { return 1; }  // nobody listens
    [[nodiscard]] std::string CommandRefusal() const override { return "a recording takes no commands"; }
    [[nodiscard]] std::string Describe() const override { return "recording " + m_path; }
    [[nodiscard]] std::string StateText() const override;

private:
    struct Commands
    {
        std::optional<int> speed;
        std::optional<bool> playing;
        bool step = false;
        std::optional<std::uint64_t> seek;
    };
    using Clock = std::chrono::steady_clock;

    CRecordingPlayer(std::string path, const std::uint8_t* data, std::uint64_t size, int baud);
    // Recording time of byte `position`.
    [[nodiscard]] std::uint64_t TimeOf(std::uint64_t position) const;
    // Where the bytes due at recording time `micros` end.
    [[nodiscard]] std::uint64_t DueEnd(std::uint64_t micros) const;
    [[nodiscard]] std::uint64_t MediaNow(Clock::time_point now) const;
    // Reader side: takes up queued commands; true when the file starts over.
    bool ApplyCommands();
    void Anchor(std::uint64_t micros);
    void Publish();

    std::string m_path;
    const std::uint8_t* m_data = nullptr;  // the mapped file (null when empty)
    std::uint64_t m_size = 0;
    int m_baud = 4800;
    std::vector<RecordingIndexEntry> m_index;
    std::string m_indexNote;
    std::uint64_t m_durationUs = 0;
    int m_controlFd = -1;

    // Reader thread.
    std::uint64_t m_position = 0;
    std::uint64_t m_parsed = 0;  // bytes handed out and parsed
    int m_speed = 1;
    bool m_playing = true;
    bool m_stepping = false;
    std::optional<std::uint64_t> m_target;  // a seek running fast to this time
    std::uint64_t m_anchorMicros = 0;
    Clock::time_point m_anchorWall{};

    // Shared.
    std::mutex m_mutex;
    Commands m_commands;
    std::atomic<bool> m_commandsPending{false};
    std::atomic<std::uint64_t> m_positionUs{0};
    std::atomic<std::uint64_t> m_bytePosition{0};
    std::atomic<std::uint64_t> m_parsedPosition{0};
    std::atomic<bool> m_playingState{true};
    std::atomic<bool> m_busy{false};
    std::atomic<int> m_speedState{1};
    std::atomic<int> m_restarts{0};
};
}  // namespace vrn
