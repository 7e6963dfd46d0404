// Raw recordings; see the header. The buffers are written out when they fill and at least once a
// second, so a crash loses little; a short write (disk full, file size limit, I/O error) fails the
// recording at once and the files keep what reached them.
#include "link/RawRecorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "app/CoreServices.h"

namespace vrn
{
namespace
{
constexpr std::size_t kBufferSize = 64 * 1024;
constexpr auto kFlushInterval = std::chrono::seconds(1);

int CreateFile(const std::string& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}
}  // namespace

std::unique_ptr<CRawRecorder> CRawRecorder::Create(const std::string& path, std::string& error)
{
    if (path.empty())
    {
        error = "no file name given";
        return nullptr;
    }
    const int data = CreateFile(path);
    if (data < 0)
    {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    const std::string indexPath = path + std::string(kRecordingIndexSuffix);
    const int index = CreateFile(indexPath);
    if (index < 0)
    {
        error = "cannot create " + indexPath + ": " + std::strerror(errno);
        ::close(data);
        return nullptr;
    }
    std::unique_ptr<CRawRecorder> recorder(new CRawRecorder(path, data, index));
    std::string header(kRecordingIndexHeader);
    header += '\n';
    if (!recorder->Put(recorder->m_index, std::span(reinterpret_cast<const std::uint8_t*>(header.data()), header.size()),
                       indexPath) ||
        !recorder->Flush(recorder->m_index, indexPath))
    {
        error = recorder->m_error;
        return nullptr;
    }
    return recorder;
}

CRawRecorder::CRawRecorder(std::string path, int data, int index)
    : m_path(std::move(path)), m_start(std::chrono::steady_clock::now()), m_lastFlush(m_start)
{
    m_data.fd = data;
    m_index.fd = index;
    m_data.buffer.reserve(kBufferSize);
    m_index.buffer.reserve(kBufferSize);
}

CRawRecorder::~CRawRecorder()
{
    Finish();
}

bool CRawRecorder::Append(std::span<const std::uint8_t> bytes)
{
    if (m_failed || m_data.fd < 0)
        return false;
    if (bytes.empty())
        return true;
    const auto now = std::chrono::steady_clock::now();
    auto micros = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(now - m_start).count());
    micros = std::max(micros, m_lastMicros);  // the clock is monotonic; this keeps the file so too
    m_lastMicros = micros;
    const std::string line = std::to_string(m_offset) + ' ' + std::to_string(micros) + '\n';
    const std::string indexPath = m_path + std::string(kRecordingIndexSuffix);
    if (!Put(m_data, bytes, m_path) ||
        !Put(m_index, std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()), indexPath))
        return false;
    m_offset += bytes.size();
    if (now - m_lastFlush >= kFlushInterval)
    {
        m_lastFlush = now;
        // The data first: an index line never points past the bytes on disk.
        if (!Flush(m_data, m_path) || !Flush(m_index, indexPath))
            return false;
    }
    return true;
}

bool CRawRecorder::Put(Output& out, std::span<const std::uint8_t> bytes, const std::string& name)
{
    if (out.buffer.size() + bytes.size() > kBufferSize && !Flush(out, name))
        return false;
    out.buffer.insert(out.buffer.end(), bytes.begin(), bytes.end());
    return true;
}

bool CRawRecorder::Flush(Output& out, const std::string& name)
{
    std::size_t done = 0;
    while (done < out.buffer.size())
    {
        const ssize_t n = ::write(out.fd, out.buffer.data() + done, out.buffer.size() - done);
        if (n > 0)
        {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const int code = n < 0 ? errno : ENOSPC;
        m_failed = true;
        m_error = "cannot write " + name + ": " + std::strerror(code);
        out.buffer.clear();
        return false;
    }
    out.buffer.clear();
    return true;
}

bool CRawRecorder::Finish()
{
    if (m_data.fd < 0)
        return !m_failed;
    const std::string indexPath = m_path + std::string(kRecordingIndexSuffix);
    if (!m_failed)
    {
        Flush(m_data, m_path);
        if (!m_failed)
            Flush(m_index, indexPath);
    }
    for (Output* out : {&m_data, &m_index})
    {
        if (::close(out->fd) != 0 && !m_failed)
        {
            m_failed = true;
            m_error = "cannot write " + (out == &m_data ? m_path : indexPath) + ": " + std::strerror(errno);
        }
        out->fd = -1;
    }
    return !m_failed;
}

bool RecordTap::Start(const std::string& path, std::string& error)
{
    auto recorder = CRawRecorder::Create(path, error);
    if (!recorder)
        return false;
    std::unique_ptr<CRawRecorder> old;
    {
        std::lock_guard lock(m_mutex);
        old = std::exchange(m_recorder, std::move(recorder));
        m_active.store(true, std::memory_order_release);
    }
    std::lock_guard lock(m_pathMutex);
    m_path = path;
    return true;  // `old` finishes outside the lock
}

bool RecordTap::Stop(std::string* error)
{
    std::unique_ptr<CRawRecorder> recorder;
    {
        std::lock_guard lock(m_mutex);
        recorder = std::move(m_recorder);
        m_active.store(false, std::memory_order_release);
    }
    if (!recorder)
        return true;
    const bool ok = recorder->Finish();
    if (!ok && error != nullptr)
        *error = recorder->Error();
    return ok;
}

std::string RecordTap::Path() const
{
    std::lock_guard lock(m_pathMutex);
    return Active() ? m_path : std::string{};
}

void RecordTap::Append(std::span<const std::uint8_t> bytes)
{
    std::unique_ptr<CRawRecorder> failed;
    {
        std::lock_guard lock(m_mutex);
        if (!m_recorder || m_recorder->Append(bytes))
            return;
        failed = std::move(m_recorder);
        m_active.store(false, std::memory_order_release);
    }
    failed->Finish();
    ShowMessage("Raw recording of port " + std::to_string(m_port + 1) + " stopped: " + failed->Error() +
                ". The port keeps running.");
}
}  // namespace vrn
