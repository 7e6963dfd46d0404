// Raw recording of a port: every byte the reader read, before parsing, appended to a file, and a
// timing index beside it. FILE is the plain byte stream; FILE.idx is text: a first line
// "# vrnrcvr raw index 1: byte offset, microseconds since the start", then one line per read,
// "OFFSET MICROS" (decimal, single space, line feed): where in FILE that read's bytes begin and when
// they were read on the monotonic clock, counted from the start of the recording. Offsets and
// times never decrease.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vrn
{
inline constexpr std::string_view kRecordingIndexSuffix = ".idx";
inline constexpr std::string_view kRecordingIndexHeader = "# vrnrcvr raw index 1: byte offset, microseconds since the start";

// One recording: the data file and its index, written through buffers of their own. Not shared;
// RecordTap hands it between the UI thread and the reader.
class CRawRecorder
{
public:
    // Creates (or truncates) `path` and `path`.idx. Empty result and a one-line reason in `error`.
    static std::unique_ptr<CRawRecorder> Create(const std::string& path, std::string& error);
    ~CRawRecorder();
    CRawRecorder(const CRawRecorder&) = delete;
    CRawRecorder& operator=(const CRawRecorder&) = delete;

    // Appends one read. False once a write has failed (the reason in Error()); nothing is written
    // after that.
    bool Append(std::span<const std::uint8_t> bytes);
    // Writes out what is buffered and closes both files; false on a write or close error.
    bool Finish();

    [[nodiscard]] const std::string& Path() const { return m_path; }
    [[nodiscard]] const std::string& Error() const { return m_error; }
    [[nodiscard]] std::uint64_t Bytes() const { return m_offset; }

private:
    struct Output
    {
        int fd = -1;
        std::vector<std::uint8_t> buffer;
    };
    CRawRecorder(std::string path, int data, int index);
    bool Flush(Output& out, const std::string& name);
    bool Put(Output& out, std::span<const std::uint8_t> bytes, const std::string& name);

    std::string m_path;
    std::string m_error;
    Output m_data;
    Output m_index;
    std::uint64_t m_offset = 0;
    std::uint64_t m_lastMicros = 0;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastFlush;
    bool m_failed = false;
};

// The recording slot of one port: started and stopped on the UI thread, fed by the reader right
// after each read. A write failure ends the recording there and tells the user; the port runs on.
class RecordTap
{
public:
    explicit RecordTap(int port) : m_port(port) {}

    // UI thread. Starts a recording to `path` (ending one that runs). False and a reason on failure.
    bool Start(const std::string& path, std::string& error);
    // UI thread. Ends the recording; false when its last writes failed (reason in `error`).
    bool Stop(std::string* error = nullptr);
    // Any thread, without waiting for a write in progress.
    [[nodiscard]] bool Active() const { return m_active.load(std::memory_order_acquire); }
    [[nodiscard]] std::string Path() const;

    // Reader thread.
    void Append(std::span<const std::uint8_t> bytes);

private:
    int m_port;
    std::mutex m_mutex;  // held by the reader while it writes
    std::unique_ptr<CRawRecorder> m_recorder;
    std::atomic<bool> m_active{false};
    mutable std::mutex m_pathMutex;
    std::string m_path;
};
}  // namespace vrn
