// The NMEA output of a multi-constellation receiver, in the three dialects receivers speak:
//
// - 2.3: GN talker for GGA, GLL, GSA, RMC and VTG once more than one system is on; one GSA per
//   system (no system id field); GSV sets per system talker without signal ids. Satellite numbers
//   in the extended ranges: GPS 1-32 and QZSS 193-202 under GP, GLONASS 65-96 under GL, Galileo
//   301-336 under GA, BeiDou 401-463 under GB. Mode indicators in GLL, RMC and VTG.
// - 4.10: as 2.3 plus GNS, the system id as the last GSA field (1 GPS, 2 GLONASS, 3 Galileo,
//   4 BeiDou), one GSV set per system and signal with the signal id as the last field, the
//   navigational status in RMC and GNS. Galileo 1-36 under GA, BeiDou 1-63 under GB; QZSS has no
//   system of its own yet and stays with GPS (193-202 under GP, system id 1).
// - 4.11: as 4.10, with QZSS as its own system: 1-10 under GQ, system id 5.
// GSA lists at most twelve satellites; a system with more in the fix continues in another GSA with
// the same system id. GGA and GNS count every satellite in the fix, also above twelve.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/GnssTracking.h"

namespace vrnsim
{

enum class NmeaVersion : std::uint8_t
{
    V23,
    V410,
    V411
};
// "2.3", "4.10", "4.11"; empty for anything else.
std::optional<NmeaVersion> ParseNmeaVersion(std::string_view text);
std::string_view NmeaVersionName(NmeaVersion v);

// The system whose talker and GSA carry `system`'s satellites under `v` (QZSS goes with GPS before
// 4.11), its two-letter talker, and the number a satellite is reported with.
GnssSystem ReportingSystem(GnssSystem system, NmeaVersion v);
std::string_view Talker(GnssSystem system, NmeaVersion v);
int NmeaNumber(GnssSystem system, int number, NmeaVersion v);
// GSA system id (4.10 and later) of a reporting system: 1 GPS, 2 GLONASS, 3 Galileo, 4 BeiDou,
// 5 QZSS.
int SystemId(GnssSystem reporting);

// The sentences of one epoch in the order GGA, GNS, GLL, GSA..., GSV..., RMC, VTG, as `selection`
// picks them (the bits of kNmeaAllSentences; GNS goes with GGA; bit 6 checksums).
std::string MakeGnssNmeaEpoch(const Epoch& e, const GnssEpoch& g, GnssSet systems, NmeaVersion v,
                              std::uint8_t selection);

}  // namespace vrnsim
