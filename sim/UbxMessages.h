// The simulated receiver as a u-blox receiver: its UBX messages of one epoch (NAV-PVT, NAV-SAT,
// NAV-DOP, NAV-TIMEGPS and the raw RXM-RAWX and RXM-SFRBX), its MON-VER, and its side of the
// command link: which configuration messages it takes (CFG-RST, CFG-PRT, CFG-MSG, CFG-VALSET, the
// MON-VER poll) and the acknowledgements it sends back.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/GnssTracking.h"
#include "sim/ReceiverModel.h"

namespace vrnsim
{
// Which messages the receiver sends each epoch; the commands switch them.
struct UbxOutputs
{
    bool pvt = true, sat = true, dop = true, timeGps = true;
    bool rawx = false, sfrbx = false;  // on with --raw
};

// Frames (sync to checksum) of one epoch, appended to `out` in the order a u-blox receiver sends
// them: subframes and raw measurements first, then the navigation messages. `gnss` is the epoch of
// the multi-system tracker when one runs (its satellites go into NAV-SAT), null for GPS alone.
void AppendUbxEpoch(std::vector<std::uint8_t>& out, const Epoch& e, const GnssEpoch* gnss,
                    const UbxOutputs& outputs);
// The MON-VER frame of the simulated receiver (u-blox 8 generation: it takes CFG-PRT and CFG-MSG,
// and CFG-VALSET too).
std::vector<std::uint8_t> UbxVersionFrame();

// What a UBX command does to the receiver.
struct UbxCommandEffect
{
    std::string text;                 // one line describing the command
    std::vector<std::uint8_t> reply;  // frames to send back (ACK-ACK, ACK-NAK, MON-VER)
    int baud = 0;                     // new line speed once the reply is out; 0 unchanged
    std::optional<StartMode> restart; // a start to perform
};

// Obeys one UBX message from the program (class, id, payload); `outputs` is switched by CFG-MSG and
// CFG-VALSET.
UbxCommandEffect ApplyUbxCommand(std::uint8_t cls, std::uint8_t id, std::span<const std::uint8_t> payload,
                                 UbxOutputs& outputs);
}  // namespace vrnsim
