// One open serial device on termios: raw 8N1 at a standard rate, exclusive, non-blocking; the writes
// of the command writer, DTR, purge and the count of queued input bytes. Also the mapping from the
// port names the program shows ("COM1".."COM4") to device paths.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocol/Framing.h"

namespace vrn
{
// Why a port did not open; the text that goes with it names the device and what to do.
enum class PortOpenFailure : std::uint8_t
{
    None,
    UnsupportedBaud,   // empty, zero, malformed or non-standard baud text
    Missing,           // no such device
    PermissionDenied,  // the user is not in the device's group
    Busy,              // another program holds the device
    NotATerminal,      // a regular file, a directory or a device that is not a tty
    SetupFailed,       // the tty refused its settings
    HungUp             // the open device went away (adapter unplugged): the port was stopped
};

// Baud rate from its profile text ("4800", "9600", "19200", "38400" and the other standard rates);
// empty when the text is empty, zero, not a plain decimal number or not a rate a tty supports.
[[nodiscard]] std::optional<int> ParseBaudText(std::string_view text);

// Device path of a port name: a name starting with '/' is used as is; an entry of `overrides`
// (keys "COM1".., letter case ignored) wins over the rule "COMn" -> /dev/ttyS(n-1); any other bare
// name is looked up under /dev.
[[nodiscard]] std::string ResolvePortDevice(std::string_view name,
                                            const std::map<std::string, std::string>& overrides = {});

// Owns one open tty; the destructor closes it (dropping its exclusive claim first). Movable, not
// copyable. Reads belong to the port's reader thread; writes, DTR and purge to the UI thread.
class CSerialPort : public IByteSink
{
public:
    // Opens `device` read/write, non-blocking, without making it the controlling terminal; refuses
    // what is not a tty; claims it exclusively (TIOCEXCL and a non-blocking flock); sets raw mode,
    // 8 data bits, no parity, one stop bit, CLOCAL | CREAD, no flow control and `baud` both ways.
    // Empty result with `failure` and a one-line reason in `error` when any step fails.
    static std::optional<CSerialPort> Open(const std::string& device, int baud, PortOpenFailure& failure,
                                           std::string& error);

    CSerialPort(CSerialPort&& other) noexcept;
    CSerialPort& operator=(CSerialPort&& other) noexcept;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;
    ~CSerialPort() override;

    [[nodiscard]] int Descriptor() const { return m_fd; }
    [[nodiscard]] const std::string& Device() const { return m_device; }

    // Writes all of `bytes`, going round partial writes, EAGAIN and EINTR, then waits until the
    // output has left the driver's queue and the transmitter. The whole call takes at most two
    // seconds more than the bytes' time on the line (a device that takes nothing, or drains
    // nothing); after a hang-up it returns at once. Errors are absorbed. Result 1.
    int Write(std::span<const std::uint8_t> bytes) override;

    void SetDtr(bool on);
    void Purge();         // discards both directions' queued bytes
    void DiscardInput();  // discards received bytes not yet read
    // Bytes waiting in the input queue; 0 when the query fails.
    [[nodiscard]] std::size_t BytesWaiting() const;

private:
    CSerialPort(int fd, std::string device) : m_fd(fd), m_device(std::move(device)) {}
    void Close();

    int m_fd = -1;
    std::string m_device;
};

// Bytes waiting in the input queue of a tty descriptor (ioctl FIONREAD); 0 when the query fails.
[[nodiscard]] std::size_t BytesWaiting(int fd);
}  // namespace vrn
