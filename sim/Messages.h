// What the simulated receiver sends: its binary messages (id plus data, little-endian, before
// framing) built from an epoch, and its NMEA 0183 sentences.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "protocol/Records.h"
#include "sim/ReceiverModel.h"

namespace vrnsim
{

inline constexpr std::int16_t kReceiverVersion = 205;  // 2.05, in hundredths

// Records of one epoch. Times are GPS time of week in 0.01 s: the fix time for NAV, DOP and SV,
// the receiver's measurement tag for MEAS.
NavRecord MakeNavRecord(const Epoch& e);
DopRecord MakeDopRecord(const Epoch& e);
SvRecord MakeSvRecord(const Epoch& e);
StatusRecord MakeStatusRecord(const Epoch& e, double secondsSinceStart);
MeasRecord MakeMeasRecord(const Epoch& e);
SatDataRecord MakeSatDataRecord(const Epoch& e);
SubframeRecord MakeSubframeRecord(int prn, const SubframeWords& words);
// Entries actually present in the SV, MEAS and channel-measurement messages.
int SvEntryCount(const Epoch& e);
int MeasEntryCount(const Epoch& e);

// Raw signal level on the wire for a carrier-to-noise density: the receiver's decoder stores
// trunc(8 + 20 log10(raw + 1)), which gives back about the dB-Hz value.
std::uint8_t RawSignalLevel(double cn0);

// Message id plus data, little-endian.
std::vector<std::uint8_t> Encode(const NavRecord& r);
std::vector<std::uint8_t> Encode(const DopRecord& r);
std::vector<std::uint8_t> Encode(const SvRecord& r, int entries);
std::vector<std::uint8_t> Encode(const StatusRecord& r);
std::vector<std::uint8_t> Encode(const MeasRecord& r, int entries);
std::vector<std::uint8_t> Encode(const SatDataRecord& r);
std::vector<std::uint8_t> Encode(const SubframeRecord& r);

// NMEA sentence selection: bits 0-5 GGA GLL GSA GSV RMC VTG, bit 6 checksums (the layout of the
// initialisation command's output flags).
inline constexpr std::uint8_t kNmeaAllSentences = 0x3F;
inline constexpr std::uint8_t kNmeaChecksums = 0x40;

// "$" + body + ("*hh" when `checksum`) + CR LF.
std::string Sentence(std::string_view body, bool checksum);
// The sentences of one epoch in the order GGA, GLL, GSA, GSV..., RMC, VTG, as selected.
std::string MakeNmeaEpoch(const Epoch& e, std::uint8_t selection);

// UTC calendar fields of a GPS time (leap seconds applied).
struct UtcTime
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double second = 0.0;
};
UtcTime ToUtc(GpsTime t);

}  // namespace vrnsim
