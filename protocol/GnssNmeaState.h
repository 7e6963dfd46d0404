// What a record set remembers between NMEA sentences to keep its satellite table and receiver fix:
// the GSV sets in progress, the used flags of the latest GSA sentences, the receiver's clock and
// date, and the counts behind the view notifications. Plain values only (the set is copied as is).
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>

#include "protocol/ReceiverFix.h"
#include "protocol/SatelliteTable.h"

// The sentence types the NMEA import knows.
enum class NmeaType : std::uint8_t
{
    None,
    Gga,
    Gll,
    Gsa,
    Gsv,
    Rmc,
    Vtg,
    Gns,
    Zda,
    Txt
};

// The collector's notes on the sentence it stores: where its commas are and the XOR of the bytes
// received after the '$', so that the import need not read the text twice.
struct NmeaScan
{
    static constexpr std::size_t kMaxCommas = 64;
    std::array<std::uint8_t, kMaxCommas> commas;  // stored positions; the first `count` are set
    std::uint8_t count = 0;
    bool truncated = false;  // more commas than kMaxCommas
    bool blanks = false;     // bytes up to ' ' were received (fields may need trimming)
    std::uint8_t sum = 0;
};

// One GSV set (talker and signal) whose messages have come in order so far.
struct GsvSetProgress
{
    static constexpr std::size_t kMaxSatellites = 48;  // nine messages of four, with room for more groups

    bool active = false;
    std::array<char, 2> talker{};
    std::uint8_t signal = 0;
    std::uint8_t total = 0;  // messages the set announced
    std::uint8_t next = 0;   // the message number that continues it
    std::uint8_t count = 0;  // satellites reported so far (packed keys below)
    std::uint32_t lastUse = 0;
    std::array<std::uint32_t, kMaxSatellites> reported{};
};

struct GnssNmeaState
{
    // Sets in progress: interleaved talkers and signals each keep their own; the least recently
    // used one makes room for a new one.
    static constexpr std::size_t kSetSlots = 8;
    std::array<GsvSetProgress, kSetSlots> sets{};
    std::uint32_t setClock = 0;

    // Satellites the latest GSA sentences name as used, by constellation and number (numbers above
    // 255, only seen for unknown constellations, are never flagged).
    std::array<std::bitset<256>, kConstellationCount> used{};
    bool inGsaBurst = false;         // the sentence before was a GSA
    std::uint8_t burstReset = 0;     // constellations (bit per index) this burst has reset
    bool classicGsaFromGps = false;  // this burst filled the classic GSA record from GPS satellites
    int gsaNamesGps = -1;            // the GSA just read names GPS satellites (1) or not (0); -1 not read
    bool classicGsvDone = false;     // the GSV just read filled the classic GSV record already

    // Receiver time: advanced by the UTC of the position sentences, folded across midnight, never
    // backwards; drives the satellites' expiry.
    std::int64_t receiverMs = 0;
    std::int64_t lastUtcMs = -1;  // -1 until a time was seen

    // The date of the latest RMC or ZDA as a GPS day number, and the UTC time it came with.
    int dateDay = -1;
    double dateUtcS = kNoValue;

    // View notifications of streams without GGA: GNS, or RMC, tells the views when no GGA (or GNS)
    // came since the last one.
    std::uint32_t ggaCount = 0;
    std::uint32_t gnsCount = 0;
    std::uint32_t ggaAtLastGns = 0;
    std::uint32_t fixesAtLastRmc = 0;
    bool rmcSeen = false;
};
