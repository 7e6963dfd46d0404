// The chunk loop shared by the live reader threads and vrnrcvr-replay: one chunk of at most 80
// bytes goes through the port's record sets, imported records go to the port log, and the views
// are told through a sink. One code path, so a replay prints exactly what a live port would log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "protocol/CData.h"
#include "protocol/UbxFrame.h"

namespace vrn
{
inline constexpr std::size_t kChunkSize = 80;  // at most this many bytes per read

// Protocol modes of a port (the receiver's Protocol setting).
inline constexpr int kModeNmea = 0;
inline constexpr int kModeBinary = 1;
inline constexpr int kModeTest = 2;  // binary plus the program's own navigation (port 1 only)
inline constexpr int kModeUbx = 3;   // u-blox binary protocol (UBX) with NMEA sentences in between
// UBX plus the program's own navigation from the receiver's raw measurements (port 1 only); on
// port 2 it reads as kModeUbx.
inline constexpr int kModeUbxOwnFix = 4;

// Whether a protocol mode is one of the two UBX modes.
[[nodiscard]] constexpr bool IsUbxMode(int mode)
{
    return mode == kModeUbx || mode == kModeUbxOwnFix;
}
// Whether a protocol mode runs the program's own navigation (on port 1).
[[nodiscard]] constexpr bool RunsOwnFix(int mode)
{
    return mode == kModeTest || mode == kModeUbxOwnFix;
}
// The mode a port reads in when it is set to `mode`: port 2 never runs the own navigation (Test
// reads as binary, UBX with the own fix as plain UBX), and a mode outside 0..4 (a hand-edited
// profile) reads as binary on either port.
[[nodiscard]] constexpr int EffectivePortMode(int port, int mode)
{
    if (mode < kModeNmea || mode > kModeUbxOwnFix)
        return kModeBinary;
    if (port != 0 && mode == kModeTest)
        return kModeBinary;
    if (port != 0 && mode == kModeUbxOwnFix)
        return kModeUbx;
    return mode;
}

// One per reader thread (or replay run): the receiver set and the own-solution set, each with
// its own extractor state.
struct ParseContext
{
    CData receiver;
    CData own;
    std::string diagnostic;
    ubx::CUbxExtractor ubx;  // UBX modes: the frame extractor (its 8 KiB buffer stays out of the sets)
};

// What a receiver sent in answer to commands (UBX modes), for the feed document's command queue.
// Fixes reach the fix sink (app/CoreServices.h) and satellites the views, as in the other modes.
enum class ReceiverReport : std::uint8_t
{
    Acknowledgement,  // ACK-ACK or ACK-NAK (set.ublox.ack)
    Version           // MON-VER (set.ublox.version)
};

// What the chunk loop emits. Implemented by the feed document's reader side and by the replay tool.
class IChunkSink
{
public:
    virtual ~IChunkSink() = default;
    // Once per chunk: kMsgActivity1 / kMsgActivity2.
    virtual void Activity(unsigned code) = 0;
    // A record message for the port's views: kMsgBinaryData or kMsgNmeaData with its wParam. `set`
    // is only valid during the call; a sink that hands it on takes a snapshot.
    virtual void NotifyViews(unsigned message, unsigned wParam, const CData& set) = 0;
    // A command answer of port `port` (0 or 1); `set` is only valid during the call. Nothing by
    // default.
    virtual void Report(ReceiverReport /*what*/, const CData& /*set*/, int /*port*/) {}
};

// Runs one chunk through the extractors of `context` for port index `port` (0 or 1) in protocol
// mode `mode`; logs through vrn::PortLog() and reports decoder errors through vrn::ShowErrorOnce.
void ParseChunk(ParseContext& context, std::span<const std::uint8_t> chunk, int port, int mode,
                IChunkSink& sink);
}  // namespace vrn
