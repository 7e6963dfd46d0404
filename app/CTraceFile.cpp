// The trace file and its optional sink. One mutex guards the path, the sink and each line written;
// the indentation belongs to the thread that traces, so two threads' scopes never mix.
#include "app/CTraceFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "app/CoreServices.h"

namespace
{
std::mutex g_traceMutex;
std::string g_tracePath;      // set by Initialise with the trace on
std::string g_traceLocation;  // replaces the default location when not empty
vrn::ITraceSink* g_sink = nullptr;
thread_local std::string t_indentation;

constexpr std::string_view kIndentStep = "| ";

// Opens, writes and closes the file; a line the file cannot take is dropped.
void WriteToFile(const std::string& path, const std::string& line, bool create)
{
    if (path.empty())
        return;
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (create ? O_TRUNC : O_APPEND);
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0 && errno == ENOENT)
    {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
        fd = ::open(path.c_str(), flags, 0644);
    }
    if (fd < 0)
        return;
    std::size_t done = 0;
    while (done < line.size())
    {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

// Hands the line to the sink, or to the file when there is none. Caller holds g_traceMutex.
void WriteLocked(std::string_view text, bool create)
{
    std::string line;
    line.reserve(t_indentation.size() + text.size() + 1);
    line += t_indentation;
    line += text;
    line += '\n';
    if (g_sink)
        g_sink->AddText(line);
    else
        WriteToFile(g_tracePath, line, create);
}
}  // namespace

CTraceFile::CTraceFile(std::string_view name)
{
    Enter(name);
}

CTraceFile::~CTraceFile()
{
    Exit();
}

void CTraceFile::Initialise()
{
    t_indentation.clear();
    if (!vrn::TraceSwitch())
        return;
    std::lock_guard lock(g_traceMutex);
    g_tracePath = g_traceLocation.empty() ? DefaultTracePath() : g_traceLocation;
    WriteLocked("[Initializing Trace File]", true);
}

void CTraceFile::Enter(std::string_view name)
{
    if (m_entered || !vrn::TraceSwitch())
        return;
    std::lock_guard lock(g_traceMutex);
    m_name = name;
    m_entered = true;
    WriteLocked("Entering " + m_name, false);
    t_indentation += kIndentStep;
}

void CTraceFile::Exit()
{
    if (!m_entered)
        return;
    m_entered = false;
    // The indentation is restored even when the trace was switched off in between.
    t_indentation.resize(
        t_indentation.size() < kIndentStep.size() ? 0 : t_indentation.size() - kIndentStep.size());
    if (!vrn::TraceSwitch())
        return;
    std::lock_guard lock(g_traceMutex);
    WriteLocked("Exiting " + m_name, false);
}

void CTraceFile::Write(std::string_view text, std::string_view mode)
{
    if (!vrn::TraceSwitch())
        return;
    std::lock_guard lock(g_traceMutex);
    WriteLocked(text, mode == "w");
}

void CTraceFile::SwitchToMessagingView(vrn::ITraceSink* sink)
{
    std::lock_guard lock(g_traceMutex);
    if (vrn::TraceSwitch())
        WriteLocked("Switching to a messaging view", false);
    g_sink = sink;
}

void CTraceFile::UnregisterMessagingView(vrn::ITraceSink* sink)
{
    std::lock_guard lock(g_traceMutex);
    if (g_sink == sink)
        g_sink = nullptr;
}

std::string CTraceFile::TracePath()
{
    std::lock_guard lock(g_traceMutex);
    return g_tracePath;
}

void CTraceFile::SetTraceFileLocation(std::string path)
{
    std::lock_guard lock(g_traceMutex);
    g_traceLocation = std::move(path);
}

std::string CTraceFile::DefaultTracePath()
{
    std::string base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/')
        base = state;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        base = std::string(home) + "/.local/state";
    else
        base = "/tmp";
    return base + "/vrnrcvr/glimsat.log";
}
