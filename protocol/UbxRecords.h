// The records of a u-blox receiver's binary messages as the record set keeps them: the latest of
// each navigation message in its wire units, the receiver's version, the latest acknowledgement,
// and the small state the decoders carry from one message to the next (leap seconds, week, which
// position messages the stream has). Plain fixed-size values, copied with the record set.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "protocol/GpsTypes.h"

// Fields in wire units; names as the messages name them.
struct UbxPvtRecord  // NAV-PVT
{
    std::uint32_t iTow = 0;  // ms, GPS time of week of the navigation epoch
    std::uint16_t year = 0;
    std::uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::uint8_t valid = 0;   // bit 0 date valid, bit 1 time valid, bit 2 fully resolved
    std::uint32_t tAcc = 0;   // ns
    std::int32_t nano = 0;    // ns, -1e9 .. 1e9, added to the UTC second
    std::uint8_t fixType = 0; // 0 none, 1 dead reckoning, 2 2D, 3 3D, 4 GNSS + DR, 5 time only
    std::uint8_t flags = 0;   // bit 0 gnssFixOK, bit 1 diffSoln, bits 6-7 carrSoln (1 float, 2 fixed)
    std::uint8_t flags2 = 0;
    std::uint8_t numSv = 0;
    std::int32_t lon = 0, lat = 0;      // 1e-7 degree
    std::int32_t height = 0, hMsl = 0;  // mm above the ellipsoid / mean sea level
    std::uint32_t hAcc = 0, vAcc = 0;   // mm
    std::int32_t velN = 0, velE = 0, velD = 0, gSpeed = 0;  // mm/s
    std::int32_t headMot = 0;  // 1e-5 degree
    std::uint32_t sAcc = 0;    // mm/s
    std::uint32_t headAcc = 0; // 1e-5 degree
    std::uint16_t pDop = 0;    // 0.01
    std::uint8_t flags3 = 0;   // bit 0 invalidLlh (newer firmware)
    std::int32_t headVeh = 0;  // 1e-5 degree
};

struct UbxDopRecord  // NAV-DOP, all 0.01
{
    std::uint32_t iTow = 0;
    std::uint16_t gDop = 0, pDop = 0, tDop = 0, vDop = 0, hDop = 0, nDop = 0, eDop = 0;
};

struct UbxStatusRecord  // NAV-STATUS
{
    std::uint32_t iTow = 0;
    std::uint8_t gpsFix = 0;
    std::uint8_t flags = 0;  // bit 0 gpsFixOk, bit 1 diffSoln, bit 2 week set, bit 3 time of week set
    std::uint8_t fixStat = 0, flags2 = 0;
    std::uint32_t ttff = 0;  // ms, time to first fix
    std::uint32_t msss = 0;  // ms since start-up or reset
};

struct UbxTimeGpsRecord  // NAV-TIMEGPS
{
    std::uint32_t iTow = 0;
    std::int32_t fTow = 0;  // ns
    std::int16_t week = 0;
    std::int8_t leapS = 0;
    std::uint8_t valid = 0;  // bit 0 time of week, bit 1 week, bit 2 leap seconds valid
    std::uint32_t tAcc = 0;
};

struct UbxTimeUtcRecord  // NAV-TIMEUTC
{
    std::uint32_t iTow = 0;
    std::uint32_t tAcc = 0;
    std::int32_t nano = 0;
    std::uint16_t year = 0;
    std::uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::uint8_t valid = 0;  // bit 0 time of week, bit 1 week, bit 2 UTC valid
};

// Receiver generations, as far as the commands care: which configuration messages they take.
enum class UbxGeneration : std::uint8_t
{
    Unknown,
    M8,  // u-blox 8/M8 and older: CFG-PRT, CFG-MSG
    F9   // protocol 27 and later (F9, M9, M10, X20): CFG-VALSET
};

struct UbxVersionRecord  // MON-VER
{
    std::array<char, 31> software{};    // NUL-terminated
    std::array<char, 11> hardware{};
    std::array<char, 160> extensions{}; // the extension strings joined by "; ", cut to fit
    int protocolMajor = -1;             // from "PROTVER=xx.yy" or "PROTVER xx.yy"; -1 not given
    int protocolMinor = 0;
    UbxGeneration generation = UbxGeneration::Unknown;
    std::uint32_t count = 0;  // MON-VER messages decoded
};

struct UbxAckRecord  // ACK-ACK / ACK-NAK
{
    std::uint8_t cls = 0, id = 0;  // the message acknowledged
    bool acknowledged = false;     // ACK-ACK; false for ACK-NAK
    std::uint32_t count = 0;       // answers decoded
};

// The twelve channels of the navigation engine as the RXM-RAWX/RAW input assigns them: a GPS
// satellite keeps its channel while every epoch reports it; a channel left empty by a satellite
// that went away is given to a new one only one epoch later, so no track carries over.
struct UbxChannelMap
{
    std::array<std::uint8_t, kChannelCount> prn{};       // 0 = free
    std::array<std::uint8_t, kChannelCount> freeEpochs{}; // epochs the channel has been free (saturates)
};

inline constexpr int kUnknownLeapSeconds = -128;

struct UbxRecords
{
    UbxPvtRecord pvt{};
    UbxDopRecord dop{};
    UbxStatusRecord status{};
    UbxTimeGpsRecord timeGps{};
    UbxTimeUtcRecord timeUtc{};
    UbxVersionRecord version{};
    UbxAckRecord ack{};

    std::uint16_t lastKey = 0;  // class << 8 | id of the latest message decoded

    // Carried between messages.
    int leapSeconds = kUnknownLeapSeconds;  // GPS - UTC as the receiver last reported it
    int week = -1;                          // the latest GPS week the receiver reported
    bool pvtSeen = false;                   // the stream has NAV-PVT: other position messages give no fix
    bool posLlhSeen = false;                // the stream has NAV-POSLLH: NAV-SOL gives no fix
    bool velNedSeen = false;                // the stream has NAV-VELNED: its speed and course count
    int fixTypeHint = -1;                   // gpsFix of the latest NAV-STATUS or NAV-SOL; -1 none yet
    std::uint8_t fixFlagsHint = 0;          // and its flags
    bool dopSeen = false;                   // the stream has NAV-DOP: it, not the fix, updates the DOPs
    bool satellitesSeen = false;            // the stream has NAV-SAT or NAV-SVINFO
    std::uint32_t satelliteTow = 0;         // iTOW of the latest NAV-SAT/NAV-SVINFO
    std::array<char, 16> satelliteUtc{};    // its UTC time of day "hhmmss.ss"
    // Velocity of the latest NAV-VELNED (or NAV-SOL), for fixes that do not carry their own.
    double speedMps = -1.0;  // negative: none
    double courseDeg = 0.0;

    // Raw measurement input (own fix).
    UbxChannelMap channels{};
    double lastRawTow = -1.0;  // s, receiver time of the previous measurement epoch
    double rawIntervalS = 0.0; // s between the previous two measurement epochs (0 before two)
    std::uint64_t rawEpochs = 0;
    std::uint64_t rawMeasurements = 0;  // GPS L1 C/A measurements handed to the engine
    std::uint64_t subframes = 0;        // GPS L1 C/A subframes handed to the engine
};

// What one UBX message changed in the record set (bits of ImportUbxMessage's result).
inline constexpr unsigned kUbxNothing = 0;
inline constexpr unsigned kUbxFix = 1U << 0;         // a new position report: fix, NAV and DOP records
inline constexpr unsigned kUbxDop = 1U << 1;         // DOP record
inline constexpr unsigned kUbxSatellites = 1U << 2;  // satellite table and SV record
inline constexpr unsigned kUbxAck = 1U << 3;         // ubx.ack
inline constexpr unsigned kUbxVersion = 1U << 4;     // ubx.version
inline constexpr unsigned kUbxText = 1U << 5;        // an INF message (traced)
inline constexpr unsigned kUbxTime = 1U << 6;        // week, time or leap seconds
inline constexpr unsigned kUbxIgnored = 1U << 7;     // not decoded: unknown, or shorter than its layout
