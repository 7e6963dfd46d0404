// Serial ports on termios; see the header.
#include "link/CSerialPort.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <system_error>
#include <utility>

namespace vrn
{
namespace
{
struct BaudEntry
{
    int rate;
    speed_t speed;
};

// The rates a tty takes by constant; anything else (including 0, which would hang the line up) is
// refused.
constexpr std::array kBaudTable{
    BaudEntry{50, B50},           BaudEntry{75, B75},           BaudEntry{110, B110},
    BaudEntry{134, B134},         BaudEntry{150, B150},         BaudEntry{200, B200},
    BaudEntry{300, B300},         BaudEntry{600, B600},         BaudEntry{1200, B1200},
    BaudEntry{1800, B1800},       BaudEntry{2400, B2400},       BaudEntry{4800, B4800},
    BaudEntry{9600, B9600},       BaudEntry{19200, B19200},     BaudEntry{38400, B38400},
    BaudEntry{57600, B57600},     BaudEntry{115200, B115200},   BaudEntry{230400, B230400},
    BaudEntry{460800, B460800},   BaudEntry{500000, B500000},   BaudEntry{576000, B576000},
    BaudEntry{921600, B921600},   BaudEntry{1000000, B1000000}, BaudEntry{1152000, B1152000},
    BaudEntry{1500000, B1500000}, BaudEntry{2000000, B2000000}, BaudEntry{2500000, B2500000},
    BaudEntry{3000000, B3000000}, BaudEntry{3500000, B3500000}, BaudEntry{4000000, B4000000},
};

std::optional<speed_t> SpeedOf(int rate)
{
    for (const auto& entry : kBaudTable)
        if (entry.rate == rate)
            return entry.speed;
    return std::nullopt;
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Names the group that owns the device, so the user knows which group to join.
std::string PermissionText(const std::string& device)
{
    std::string text = "permission denied on " + device;
    struct stat info
    {
    };
    if (::stat(device.c_str(), &info) == 0)
    {
        std::string group = std::to_string(info.st_gid);
        std::array<char, 1024> buffer{};
        struct group entry
        {
        };
        struct group* found = nullptr;
        if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
            group = found->gr_name;
        text += " (owned by group " + group + "; add your user to it, e.g. sudo usermod -aG " + group +
                " $USER, and log in again)";
    }
    return text;
}

// How long `count` bytes take on the line at the tty's output rate (10 bits a byte for 8N1); zero
// when the rate cannot be read.
std::chrono::milliseconds LineTime(int fd, std::size_t count)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return std::chrono::milliseconds(0);
    const speed_t speed = ::cfgetospeed(&settings);
    for (const auto& entry : kBaudTable)
        if (entry.speed == speed)
            return std::chrono::milliseconds(static_cast<std::int64_t>(count) * 10 * 1000 / entry.rate);
    return std::chrono::milliseconds(0);
}

void Fail(PortOpenFailure kind, std::string text, PortOpenFailure& failure, std::string& error)
{
    failure = kind;
    error = std::move(text);
}
}  // namespace

std::optional<int> ParseBaudText(std::string_view text)
{
    text = Trim(text);
    int rate = 0;
    const auto* end = text.data() + text.size();
    const auto [last, ec] = std::from_chars(text.data(), end, rate);
    if (text.empty() || ec != std::errc{} || last != end || !SpeedOf(rate))
        return std::nullopt;
    return rate;
}

std::string ResolvePortDevice(std::string_view name, const std::map<std::string, std::string>& overrides)
{
    name = Trim(name);
    if (name.empty())
        return {};
    if (name.front() == '/')
        return std::string(name);
    const std::string key = Lower(name);
    for (const auto& [entry, path] : overrides)
        if (Lower(entry) == key && !Trim(path).empty())
            return std::string(Trim(path));
    if (key.size() > 3 && key.starts_with("com"))
    {
        int number = 0;
        const auto* end = key.data() + key.size();
        const auto [last, ec] = std::from_chars(key.data() + 3, end, number);
        if (ec == std::errc{} && last == end && number >= 1)
            return "/dev/ttyS" + std::to_string(number - 1);
    }
    return "/dev/" + std::string(name);
}

std::optional<CSerialPort> CSerialPort::Open(const std::string& device, int baud, PortOpenFailure& failure,
                                             std::string& error)
{
    failure = PortOpenFailure::None;
    error.clear();
    if (device.empty())
    {
        Fail(PortOpenFailure::Missing, "no serial device is configured", failure, error);
        return std::nullopt;
    }
    const auto speed = SpeedOf(baud);
    if (!speed)
    {
        Fail(PortOpenFailure::UnsupportedBaud, "unsupported baud rate " + std::to_string(baud), failure,
             error);
        return std::nullopt;
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
    {
        const int code = errno;
        switch (code)
        {
            case ENOENT:
            case ENODEV:
            case ENXIO:
                Fail(PortOpenFailure::Missing, device + " is not present", failure, error);
                break;
            case EACCES:
            case EPERM:
                Fail(PortOpenFailure::PermissionDenied, PermissionText(device), failure, error);
                break;
            case EBUSY:
                Fail(PortOpenFailure::Busy, device + " is in use by another program", failure, error);
                break;
            case EISDIR:
                Fail(PortOpenFailure::NotATerminal, device + " is not a serial device", failure, error);
                break;
            default:
                Fail(PortOpenFailure::SetupFailed, device + ": " + std::generic_category().message(code),
                     failure, error);
                break;
        }
        return std::nullopt;
    }
    CSerialPort port(fd, device);  // closes the descriptor on every early return below
    if (::isatty(fd) == 0)
    {
        Fail(PortOpenFailure::NotATerminal, device + " is not a serial device", failure, error);
        return std::nullopt;
    }
    // The lock first: TIOCEXCL set by a loser of the race would lock the holder out of a reopen.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
    {
        Fail(PortOpenFailure::Busy, device + " is in use by another program", failure, error);
        return std::nullopt;
    }
    ::ioctl(fd, TIOCEXCL);

    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
    {
        Fail(PortOpenFailure::SetupFailed, device + ": cannot read the line settings", failure, error);
        return std::nullopt;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    ::cfsetispeed(&settings, *speed);
    ::cfsetospeed(&settings, *speed);
    termios check{};
    if (::tcsetattr(fd, TCSANOW, &settings) != 0 || ::tcgetattr(fd, &check) != 0 ||
        ::cfgetospeed(&check) != *speed || (check.c_cflag & CSIZE) != CS8 || (check.c_cflag & PARENB) != 0)
    {
        Fail(PortOpenFailure::SetupFailed, device + " does not accept " + std::to_string(baud) + " baud 8N1",
             failure, error);
        return std::nullopt;
    }
    return port;
}

CSerialPort::CSerialPort(CSerialPort&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_device(std::move(other.m_device))
{
}

CSerialPort& CSerialPort::operator=(CSerialPort&& other) noexcept
{
    if (this != &other)
    {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        m_device = std::move(other.m_device);
    }
    return *this;
}

CSerialPort::~CSerialPort()
{
    Close();
}

void CSerialPort::Close()
{
    if (m_fd < 0)
        return;
    // The exclusive flag belongs to the tty, not to this descriptor: left set, it would refuse the
    // next open while anyone else (a pseudo-terminal's other end) keeps the tty alive.
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
}

int CSerialPort::Write(std::span<const std::uint8_t> bytes)
{
    if (m_fd < 0)
        return 1;
    // The whole call, the wait for the line included, ends within two seconds plus the time the
    // bytes take on the line: a device that takes nothing (an adapter that stalls, a peer that
    // never reads) holds the UI thread no longer than that. tcdrain has no limit of its own, so it
    // is only called once the driver's queue is empty and nothing but the transmitter is left.
    using Clock = std::chrono::steady_clock;
    constexpr auto kSlack = std::chrono::seconds(2);
    const auto deadline = Clock::now() + kSlack + LineTime(m_fd, bytes.size());
    auto millisecondsLeft = [&deadline]
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 100));
    };
    while (!bytes.empty())
    {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n > 0)
        {
            bytes = bytes.subspan(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return 1;  // the device is gone (a hang-up gives EIO at once) or refuses: absorbed
        const int wait = millisecondsLeft();
        if (wait == 0)
            return 1;
        pollfd ready{m_fd, POLLOUT, 0};
        ::poll(&ready, 1, wait);
    }
    for (;;)
    {
        int queued = 0;
        if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0 || queued <= 0)
            break;
        const int wait = millisecondsLeft();
        if (wait == 0)
            return 1;
        ::poll(nullptr, 0, std::min(wait, 2));
    }
    ::tcdrain(m_fd);
    return 1;
}

void CSerialPort::SetDtr(bool on)
{
    if (m_fd < 0)
        return;
    int bits = TIOCM_DTR;
    ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits);  // pseudo-terminals have no modem lines: ignored
}

void CSerialPort::Purge()
{
    if (m_fd >= 0)
        ::tcflush(m_fd, TCIOFLUSH);
}

void CSerialPort::DiscardInput()
{
    if (m_fd >= 0)
        ::tcflush(m_fd, TCIFLUSH);
}

std::size_t CSerialPort::BytesWaiting() const
{
    return vrn::BytesWaiting(m_fd);
}

std::size_t BytesWaiting(int fd)
{
    int count = 0;
    if (fd < 0 || ::ioctl(fd, FIONREAD, &count) != 0 || count < 0)
        return 0;
    return static_cast<std::size_t>(count);
}
}  // namespace vrn
