// Where a port's bytes come from. A reader thread waits on one IByteSource, reads at most 80 bytes
// at a time from it and runs them through the chunk loop, whatever is behind it: a serial device,
// a TCP connection, a gpsd daemon in raw mode or a recording played back. Also the parsing of the
// port names that select the network sources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocol/Framing.h"

namespace vrn
{
// What a wait found. Several flags may be set at once.
struct SourceWait
{
    bool woken = false;     // the wake descriptor was signalled (the caller drains it)
    bool readable = false;  // a Read may find bytes
    bool hangUp = false;    // the device reported a hang-up or an error (bytes may still be queued)
    bool restart = false;   // the source starts over at its first byte: parse state and engine restart
    // The stream broke (a network connection was lost and made again): what the parsers hold of a
    // cut sentence or frame must not be joined to the new bytes.
    bool discontinuity = false;
};

enum class ReadStatus : std::uint8_t
{
    Data,     // `count` bytes were read
    Nothing,  // nothing there now
    Ended     // the device went away or the stream ended for good
};

struct SourceRead
{
    std::size_t count = 0;
    ReadStatus status = ReadStatus::Nothing;
};

// One port's byte source. Wait, Read and ChunkParsed belong to the port's reader thread; Write and
// the line controls to the UI thread (a network source queues writes to its reader, so no call on
// the UI thread blocks); Describe and StateText may be called from any thread.
class IByteSource : public IByteSink
{
public:
    ~IByteSource() override = default;

    // Reader thread, once before its loop: false when the source cannot be waited on.
    [[nodiscard]] virtual bool Usable() const = 0;
    // Reader thread. Blocks until Read may find bytes, the source has something else to report,
    // or `wakeFd` becomes readable (a stop, the end of a pause). With `watch` false the caller
    // takes no bytes now: only the wake descriptor and the source's own timers end the wait.
    // Never returns at once without a reason, so a loop around it cannot spin.
    virtual SourceWait Wait(int wakeFd, bool watch) = 0;
    // Reader thread, while its pause queue is full: as Wait with `watch` false, but a source that
    // can tell a hang-up without a read (a device) ends the wait with `hangUp` set, so a vanished
    // device is reported while the port is paused. The default watches the wake descriptor only.
    virtual SourceWait WaitForHangUp(int wakeFd) { return Wait(wakeFd, false); }
    // Reader thread. Reads at most `buffer.size()` bytes without blocking.
    virtual SourceRead Read(std::span<std::uint8_t> buffer) = 0;
    // Bytes known to be waiting; 0 when the source cannot tell.
    [[nodiscard]] virtual std::size_t BytesWaiting() const { return 0; }
    // Reader thread, after each parsed chunk: whether that chunk completed a navigation epoch (an
    // own fix, a NAV record or a GGA sentence). A recording stops there for a single step.
    virtual void ChunkParsed(bool /*epochEnded*/) {}
    // True when the views set the pace (a recording played faster than it was made): the reader
    // then keeps only a few view updates undelivered instead of flooding the UI thread.
    [[nodiscard]] virtual bool PacedByViews() const { return false; }

    // UI thread. Commands for the receiver; result 1 (errors are absorbed).
    int Write(std::span<const std::uint8_t> bytes) override = 0;
    // Why what Write takes never reaches a receiver ("commands are not sent through gpsd"), for
    // commands that wait for an answer; empty when it does.
    [[nodiscard]] virtual std::string CommandRefusal() const { return {}; }
    virtual void SetDtr(bool /*on*/) {}
    virtual void Purge() {}
    virtual void DiscardInput() {}

    // What the port reads, as the user named it: a device path, "tcp://host:port", ...
    [[nodiscard]] virtual std::string Describe() const = 0;
    // Connection state for the status bar ("connecting", "reconnecting in 4 s: connection
    // refused"); empty while the source simply delivers.
    [[nodiscard]] virtual std::string StateText() const { return {}; }
};

// A port name that selects a network source.
struct NetworkAddress
{
    enum class Kind : std::uint8_t
    {
        Tcp,  // tcp://HOST:PORT
        Gpsd  // gpsd://HOST[:PORT][/DEVICE]
    };
    Kind kind = Kind::Tcp;
    std::string host;    // without the brackets of an IPv6 literal
    std::string port;    // decimal text; "2947" when a gpsd name gives none
    std::string device;  // gpsd: the device path to watch; empty = its first device
};

inline constexpr std::string_view kGpsdDefaultPort = "2947";

// True when `name` starts with "tcp://" or "gpsd://" (letter case ignored).
[[nodiscard]] bool IsNetworkSourceName(std::string_view name);
// Splits a network port name. Empty result and a one-line reason in `error` for a name without
// a host, without a port (tcp), or with a port that is not 1..65535.
[[nodiscard]] std::optional<NetworkAddress> ParseNetworkAddress(std::string_view name, std::string& error);
}  // namespace vrn
