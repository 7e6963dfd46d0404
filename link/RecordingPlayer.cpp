// Playback of raw recordings; see the header.
//
// Time model: every byte has a recording time. With an index, the bytes of one read carry that
// read's time; bytes past the last entry's read (an index cut short) follow at the line speed of
// `baud` (10 bits a byte), as do all bytes of a recording without index. The reader's clock runs
// from an anchor (a recording time and the wall time it was set) at the chosen speed; what is due
// is every byte whose time has come. As fast as possible, a step and a seek make everything up to
// their target due at once and leave the pace to the views (PacedByViews).
#include "link/RecordingPlayer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <limits>
#include <utility>

#include "link/PortLink.h"
#include "link/RawRecorder.h"

namespace vrn
{
namespace
{
constexpr std::uint64_t kMicrosPerSecond = 1'000'000;
constexpr std::uint64_t kBitsPerByte = 10;  // start bit, 8 data bits, stop bit

// Bytes at line speed: `count` bytes take this many microseconds.
std::uint64_t LineMicros(std::uint64_t count, int baud)
{
    const auto rate = static_cast<std::uint64_t>(baud);
    return count / rate * kBitsPerByte * kMicrosPerSecond + count % rate * kBitsPerByte * kMicrosPerSecond / rate;
}

// Bytes that fit into `micros` at line speed.
std::uint64_t LineBytes(std::uint64_t micros, int baud)
{
    const auto rate = static_cast<std::uint64_t>(baud);
    const std::uint64_t whole = micros / kMicrosPerSecond;
    const std::uint64_t part = micros % kMicrosPerSecond;
    return (whole * rate + part * rate / kMicrosPerSecond) / kBitsPerByte;
}

bool ParseNumber(std::string_view text, std::uint64_t& value)
{
    const auto* end = text.data() + text.size();
    const auto [last, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc{} && last == end;
}
}  // namespace

std::vector<RecordingIndexEntry> ReadRecordingIndex(const std::string& indexPath, std::uint64_t fileSize,
                                                    std::string& note)
{
    note.clear();
    std::vector<RecordingIndexEntry> entries;
    std::ifstream in(indexPath, std::ios::binary);
    if (!in)
        return entries;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t skipped = 0;
    std::size_t start = 0;
    while (start < text.size())
    {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
        {
            ++skipped;  // a last line without its line feed was cut while being written
            break;
        }
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t space = line.find(' ');
        RecordingIndexEntry entry;
        if (space == std::string_view::npos || !ParseNumber(line.substr(0, space), entry.offset) ||
            !ParseNumber(line.substr(space + 1), entry.micros) || entry.offset >= fileSize ||
            (!entries.empty() && entry.offset <= entries.back().offset))
        {
            ++skipped;
            continue;
        }
        if (!entries.empty())
            entry.micros = std::max(entry.micros, entries.back().micros);
        entries.push_back(entry);
    }
    if (skipped > 0)
        note = std::to_string(skipped) + " index line(s) left out";
    if (entries.empty() && note.empty() && !text.empty())
        note = "the index holds no entry";
    return entries;
}

std::unique_ptr<CRecordingPlayer> CRecordingPlayer::Open(const std::string& path, int baud, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
    {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        error = path + " is not a recording file";
        ::close(fd);
        return nullptr;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const std::uint8_t* data = nullptr;
    if (size > 0)
    {
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map == MAP_FAILED)
        {
            error = "cannot read " + path + ": " + std::strerror(errno);
            ::close(fd);
            return nullptr;
        }
        ::madvise(map, size, MADV_SEQUENTIAL);
        data = static_cast<const std::uint8_t*>(map);
    }
    ::close(fd);
    std::unique_ptr<CRecordingPlayer> player(new CRecordingPlayer(path, data, size, baud > 0 ? baud : 4800));
    if (!player->Usable())
    {
        error = "cannot play " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return player;
}

CRecordingPlayer::CRecordingPlayer(std::string path, const std::uint8_t* data, std::uint64_t size, int baud)
    : m_path(std::move(path)), m_data(data), m_size(size), m_baud(baud)
{
    m_index = ReadRecordingIndex(m_path + std::string(kRecordingIndexSuffix), m_size, m_indexNote);
    m_durationUs = m_size > 0 ? TimeOf(m_size - 1) : 0;
    m_controlFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_anchorWall = Clock::now();
}

CRecordingPlayer::~CRecordingPlayer()
{
    if (m_data != nullptr)
        ::munmap(const_cast<std::uint8_t*>(m_data), m_size);
    if (m_controlFd >= 0)
        ::close(m_controlFd);
}

std::uint64_t CRecordingPlayer::TimeOf(std::uint64_t position) const
{
    if (m_index.empty())
        return LineMicros(position, m_baud);
    const auto next = std::upper_bound(m_index.begin(), m_index.end(), position,
                                       [](std::uint64_t p, const RecordingIndexEntry& e) { return p < e.offset; });
    if (next == m_index.begin())
        return 0;  // before the first indexed read
    const RecordingIndexEntry& entry = *(next - 1);
    if (next != m_index.end())
        return entry.micros;
    // The last read: a complete index ends with a short one; what lies further than a paused
    // reader could have read at once was never indexed and follows at line speed.
    const std::uint64_t readEnd = entry.offset + kPausedQueueSize;
    if (position < readEnd)
        return entry.micros;
    return entry.micros + LineMicros(position - readEnd + 1, m_baud);
}

std::uint64_t CRecordingPlayer::DueEnd(std::uint64_t micros) const
{
    if (m_index.empty())
        return std::min(m_size, LineBytes(micros, m_baud) + 1);
    const auto later = std::upper_bound(m_index.begin(), m_index.end(), micros,
                                        [](std::uint64_t m, const RecordingIndexEntry& e) { return m < e.micros; });
    if (later != m_index.end())
        return later->offset;
    const RecordingIndexEntry& last = m_index.back();
    const std::uint64_t readEnd = last.offset + kPausedQueueSize;
    if (readEnd >= m_size)
        return m_size;
    return std::min(m_size, readEnd + LineBytes(micros - last.micros, m_baud));
}

std::uint64_t CRecordingPlayer::MediaNow(Clock::time_point now) const
{
    if (!m_playing || m_speed == 0)
        return m_anchorMicros;
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - m_anchorWall).count();
    return m_anchorMicros + static_cast<std::uint64_t>(std::max<std::int64_t>(elapsed, 0)) *
                                static_cast<std::uint64_t>(m_speed);
}

void CRecordingPlayer::Anchor(std::uint64_t micros)
{
    m_anchorMicros = micros;
    m_anchorWall = Clock::now();
}

void CRecordingPlayer::Publish()
{
    const std::uint64_t delivered = m_position > 0 ? TimeOf(m_position - 1) : 0;
    std::uint64_t shown = delivered;
    if (!m_target && (!m_playing || m_speed != 0))
        shown = std::max(shown, m_anchorMicros);
    m_positionUs.store(std::min(shown, m_durationUs), std::memory_order_release);
    m_bytePosition.store(m_position, std::memory_order_release);
    m_parsed = std::min(m_parsed, m_position);  // a seek backwards
    m_parsedPosition.store(m_parsed, std::memory_order_release);
    m_playingState.store(m_playing, std::memory_order_release);
    m_speedState.store(m_speed, std::memory_order_release);
    m_busy.store(m_target.has_value() || m_stepping, std::memory_order_release);
}

void CRecordingPlayer::SetSpeed(int factor)
{
    if (std::find(kPlaybackSpeeds.begin(), kPlaybackSpeeds.end(), factor) == kPlaybackSpeeds.end())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_commands.speed = factor;
    }
    m_commandsPending.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_controlFd, &one, sizeof one);
}

void CRecordingPlayer::SetPlaying(bool playing)
{
    {
        std::lock_guard lock(m_mutex);
        m_commands.playing = playing;
    }
    m_commandsPending.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_controlFd, &one, sizeof one);
}

void CRecordingPlayer::Step()
{
    {
        std::lock_guard lock(m_mutex);
        m_commands.step = true;
    }
    m_busy.store(true, std::memory_order_release);
    m_commandsPending.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_controlFd, &one, sizeof one);
}

void CRecordingPlayer::Seek(std::uint64_t micros)
{
    {
        std::lock_guard lock(m_mutex);
        m_commands.seek = micros;
    }
    m_busy.store(true, std::memory_order_release);
    m_commandsPending.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_controlFd, &one, sizeof one);
}

bool CRecordingPlayer::ApplyCommands()
{
    if (!m_commandsPending.exchange(false, std::memory_order_acq_rel))
        return false;
    Commands commands;
    {
        std::lock_guard lock(m_mutex);
        commands = std::exchange(m_commands, Commands{});
    }
    const auto now = Clock::now();
    // Where the clock stands now, in recording time.
    auto current = [this, now] {
        if (m_playing && m_speed == 0)
            return m_position > 0 ? TimeOf(m_position - 1) : std::uint64_t{0};
        return MediaNow(now);
    };
    bool restart = false;
    if (commands.speed && *commands.speed != m_speed)
    {
        Anchor(current());
        m_speed = *commands.speed;
    }
    if (commands.playing && *commands.playing != m_playing)
    {
        Anchor(current());
        m_playing = *commands.playing;
        if (!m_playing)
            m_stepping = false;
    }
    if (commands.seek)
    {
        const std::uint64_t target = std::min(*commands.seek, m_durationUs);
        m_stepping = false;
        if (m_position > 0 && target < TimeOf(m_position - 1))
        {
            m_position = 0;  // what was parsed lies past the target: start over
            m_parsed = 0;
            m_parsedPosition.store(0, std::memory_order_release);
            restart = true;
            m_restarts.fetch_add(1, std::memory_order_acq_rel);
        }
        if (m_position >= DueEnd(target))
        {
            m_target.reset();
            Anchor(target);
        }
        else
            m_target = target;
    }
    if (commands.step && !m_target && m_position < m_size)
        m_stepping = true;
    Publish();
    return restart;
}

std::size_t CRecordingPlayer::BytesWaiting() const
{
    if (m_commandsPending.load(std::memory_order_acquire) || m_position >= m_size)
        return 0;
    std::uint64_t end = m_position;
    if (m_target)
        end = DueEnd(*m_target);
    else if (m_stepping || (m_playing && m_speed == 0))
        end = m_size;
    else if (m_playing)
        end = DueEnd(MediaNow(Clock::now()));
    return static_cast<std::size_t>(std::min<std::uint64_t>(end > m_position ? end - m_position : 0, kChunkSize));
}

SourceRead CRecordingPlayer::Read(std::span<std::uint8_t> buffer)
{
    const std::size_t n = std::min(buffer.size(), BytesWaiting());
    if (n == 0)
        return {};
    std::memcpy(buffer.data(), m_data + m_position, n);
    m_position += n;
    if (m_target && m_position >= DueEnd(*m_target))
    {
        Anchor(*m_target);  // the seek is done: the clock goes on from its target
        m_target.reset();
    }
    if (m_position >= m_size)
        m_stepping = false;
    Publish();
    return {n, ReadStatus::Data};
}

void CRecordingPlayer::ChunkParsed(bool epochEnded)
{
    // Chunks are parsed in the order they were read, a read before the next one is made (a paused
    // display's queue aside, which this runs ahead of until it is parsed): what was handed out is
    // parsed now.
    if (m_parsed != m_position)
    {
        m_parsed = m_position;
        m_parsedPosition.store(m_parsed, std::memory_order_release);
    }
    if (!m_stepping || !epochEnded)
        return;
    m_stepping = false;
    m_playing = false;
    Anchor(m_position > 0 ? TimeOf(m_position - 1) : 0);
    Publish();
}

SourceWait CRecordingPlayer::Wait(int wakeFd, bool watch)
{
    SourceWait result;
    for (;;)
    {
        result.restart = ApplyCommands() || result.restart;
        if (watch && BytesWaiting() > 0)
        {
            result.readable = true;
            return result;
        }
        if (result.restart)
            return result;
        int timeout = -1;
        if (watch && m_playing && m_speed != 0 && !m_target && !m_stepping && m_position < m_size)
        {
            // Until the next byte is due at this speed.
            const std::uint64_t next = TimeOf(m_position);
            const std::uint64_t media = MediaNow(Clock::now());
            const std::uint64_t wallMicros = next > media ? (next - media) / static_cast<std::uint64_t>(m_speed) : 0;
            timeout = static_cast<int>(std::min<std::uint64_t>(wallMicros / 1000 + 1, 3'600'000));
        }
        std::array<pollfd, 2> fds{pollfd{wakeFd, POLLIN, 0}, pollfd{m_controlFd, POLLIN, 0}};
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno != EINTR)
        {
            result.woken = true;
            return result;
        }
        if ((fds[1].revents & POLLIN) != 0)
        {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(m_controlFd, &count, sizeof count);
        }
        if ((fds[0].revents & POLLIN) != 0)
        {
            result.woken = true;
            return result;
        }
        if (m_playing && m_speed != 0)
            Publish();
    }
}

std::string CRecordingPlayer::StateText() const
{
    if (AtEnd())
        return "end of recording";
    if (Busy())
        return "seeking";
    if (!Playing())
        return "paused";
    const int speed = Speed();
    return speed == 0 ? "as fast as possible" : "x" + std::to_string(speed);
}
}  // namespace vrn
