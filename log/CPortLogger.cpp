// Port logs. Each line goes to the file in one append-mode write, so two ports logging to the same
// file interleave whole lines and never overwrite each other.
#include "log/CPortLogger.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "protocol/CData.h"

namespace
{
bool ValidPort(int port)
{
    return port == 0 || port == 1;
}
auto Index(int port)
{
    return static_cast<std::size_t>(port);
}
}  // namespace

CPortLogger::~CPortLogger()
{
    StopLogging(0);
    StopLogging(1);
}

void CPortLogger::SetSettingsDialog(SettingsDialog dialog)
{
    std::lock_guard lock(m_dialogMutex);
    m_dialog = std::move(dialog);
}

bool CPortLogger::ConfigureLogging(int port)
{
    if (!ValidPort(port))
        return false;
    StopLogging(port);
    SettingsDialog dialog;
    {
        std::lock_guard lock(m_dialogMutex);
        dialog = m_dialog;
    }
    // The dialog runs without the port's lock: the readers go on (writing nothing) meanwhile.
    if (dialog && !dialog(port))
        return false;
    // The profile is read outside the port's lock; only the copy into the logger's settings is
    // made under it.
    CAppSettings loaded;
    loaded.LoadLogging(port);
    const std::size_t column = Index(port);
    PortState& state = m_ports[column];
    std::lock_guard lock(state.mutex);
    m_settings.LogFileName[column] = loaded.LogFileName[column];
    for (std::size_t message = 0; message < CAppSettings::kLogMessageCount; ++message)
        m_settings.LogEnable[message][column] = loaded.LogEnable[message][column];
    return true;
}

bool CPortLogger::StartLogging(int port)
{
    if (!ValidPort(port))
        return false;
    PortState& state = m_ports[Index(port)];
    std::string name;
    {
        std::lock_guard lock(state.mutex);
        CloseLocked(state);
        name = m_settings.LogFileName[Index(port)];
    }
    if (name.empty())
        return false;
    // Only a regular file: a write to a pipe nobody drains, a device or a terminal can block the
    // reader while it holds this port's lock, and then Stop Port, Stop Logging and Exit wait for
    // it. The name is checked first, so no device is even opened; the open descriptor is checked
    // again, so a name swapped in between cannot slip through. No O_CREAT: the file must exist.
    // O_NONBLOCK keeps the open itself from waiting (a FIFO without reader, a modem line). All of
    // it runs without the lock, so a slow file system holds up only this call, not the reader.
    struct stat info = {};
    if (::stat(name.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    const int fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        ::close(fd);
        return false;
    }
    std::lock_guard lock(state.mutex);
    CloseLocked(state);  // the UI thread alone starts logs; this only keeps the rule "one file"
    state.fd = fd;
    state.logging = true;
    return true;
}

void CPortLogger::StopLogging(int port)
{
    if (!ValidPort(port))
        return;
    PortState& state = m_ports[Index(port)];
    std::lock_guard lock(state.mutex);
    CloseLocked(state);
}

int CPortLogger::IsLogging(int port) const
{
    if (!ValidPort(port))
        return 0;
    const PortState& state = m_ports[Index(port)];
    std::lock_guard lock(state.mutex);
    return state.logging ? 1 : 0;
}

void CPortLogger::WriteRecord(const CData& set, int port)
{
    if (!ValidPort(port))
        return;
    PortState& state = m_ports[Index(port)];
    const std::size_t column = Index(port);
    std::lock_guard lock(state.mutex);
    if (!state.logging)
        return;
    const auto& enable = m_settings.LogEnable;
    state.line.clear();
    if (set.FormatRecordText(state.line, enable[CAppSettings::kLogNav][column],
                             enable[CAppSettings::kLogDop][column], enable[CAppSettings::kLogSv][column],
                             enable[CAppSettings::kLogMeas][column]) == 0)
        return;
    state.line += '\n';
    WriteLocked(state, state.line);
}

int CPortLogger::WriteSentence(int kind, std::string& text, int port)
{
    if (!ValidPort(port) || kind < 1 || kind > 6)
        return 0;
    PortState& state = m_ports[Index(port)];
    const std::size_t message = CAppSettings::kLogGga + static_cast<std::size_t>(kind - 1);
    std::lock_guard lock(state.mutex);
    if (!state.logging || m_settings.LogEnable[message][Index(port)] == 0)
        return 0;
    text += '\n';
    WriteLocked(state, text);
    return 1;
}

void CPortLogger::CloseLocked(PortState& state)
{
    if (state.fd >= 0)
        ::close(state.fd);
    state.fd = -1;
    state.logging = false;
}

void CPortLogger::WriteLocked(PortState& state, const std::string& text)
{
    // Write errors are not reported; a short write goes on with the rest of the line.
    std::size_t done = 0;
    while (done < text.size())
    {
        const ssize_t n = ::write(state.fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}
