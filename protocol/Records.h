// The message records of a receiver link, each a plain fixed-layout value. Binary records keep the
// wire fields in wire order (the decoders in CData fill them); NMEA records keep sentence fields as
// text slots (GSV as integers).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "protocol/GpsTypes.h"

// Message ids of the binary protocol.
inline constexpr std::uint8_t kIdNavA = 1, kIdNav = 2;
inline constexpr std::uint8_t kIdDopA = 3, kIdDop = 4;
inline constexpr std::uint8_t kIdSvA = 5, kIdSv = 6;
inline constexpr std::uint8_t kIdStatus = 7;
inline constexpr std::uint8_t kIdMeas = 8;
inline constexpr std::uint8_t kIdSubframe = 10;
inline constexpr std::uint8_t kIdSatData = 12;
inline constexpr std::uint8_t kIdInitCommand = 128;

// Ids 1, 2: position and velocity report (28 bytes on the wire).
struct NavRecord
{
    std::uint8_t id = 0;
    std::uint16_t week = 0;
    std::int32_t timeOfWeek = 0;  // 0.01 s
    std::int32_t x = 0, y = 0, z = 0;     // ECEF, metres
    std::int16_t vx = 0, vy = 0, vz = 0;  // ECEF, 0.1 m/s
    std::uint8_t infoByte = 0;  // high nibble: satellites visible; low nibble: satellites in the fix
    std::int16_t infoWord = 0;  // receiver version in hundredths
};

// Ids 3, 4: dilution of precision and fix mode (13 bytes).
struct DopRecord
{
    std::uint8_t id = 0;
    std::uint16_t week = 0;
    std::int32_t timeOfWeek = 0;  // 0.01 s
    std::uint8_t gdop = 0, pdop = 0, hdop = 0, vdop = 0, tdop = 0;  // 0.1
    std::uint8_t mode = 0;  // low 7 bits: 0 none, 1 1D, 2 2D, 3 3D, 4 3D DGPS, else a satellite count
};

struct SvEntry
{
    std::uint8_t channel = 0;
    std::uint8_t prn = 0;
    std::uint16_t azimuth = 0;  // degrees
    std::uint8_t elevation = 0;  // degrees
    std::uint8_t signal = 0;     // stored as trunc(8 + 20 log10(raw + 1))
    std::uint8_t state = 0;      // channel state as sent
    std::uint8_t pad = 0;
};

// Ids 5, 6: per-channel satellite status (8 + 7 n bytes).
struct SvRecord
{
    std::uint8_t id = 0;
    std::uint16_t week = 0;
    std::int32_t timeOfWeek = 0;  // 0.01 s
    std::uint8_t count = 0;       // as announced; may exceed the entries stored
    std::array<SvEntry, kChannelCount> entries{};
};

// Id 7: a 44-byte block that is only stored and copied.
struct StatusRecord
{
    std::uint8_t id = 0;
    std::int32_t status1 = 0;
    std::int16_t status2 = 0, status3 = 0;
    std::int32_t status4 = 0;
    std::int16_t status5 = 0, status6 = 0;
    std::int32_t status7 = 0, status8 = 0, status9 = 0, status10 = 0;
    std::int16_t status11 = 0;
    std::array<std::uint8_t, 10> statusText{};
};

struct MeasEntry
{
    std::uint16_t chanPrn = 0;  // bits 0-3 channel, 4-8 PRN (0 = empty), 9-15 elevation degrees
    std::uint8_t signal = 0;    // locked at 63 or more
    std::uint8_t flags = 0;
    std::int32_t meas1 = 0;  // pseudorange, m
    std::int32_t meas2 = 0;  // delta range, mm/s
    std::int16_t aux = 0;    // Doppler, Hz
    std::array<std::uint8_t, 2> pad{};
};

// Id 8: per-channel raw measurements (10 + 14 n bytes).
struct MeasRecord
{
    std::uint8_t id = 0;
    std::uint16_t week = 0;
    std::int32_t timeOfWeek = 0;  // 0.01 s
    std::uint16_t measWord = 0;   // receiver clock offset, Hz
    std::uint8_t measByte = 0;
    std::array<MeasEntry, kChannelCount> entries{};
};

// Id 10: one broadcast subframe, ten 30-bit words right-aligned.
struct SubframeRecord
{
    std::uint8_t id = 0;
    std::uint8_t prn = 0;
    std::array<std::uint32_t, 10> words{};
};

struct SatDataEntry
{
    std::uint8_t channel = 0;
    std::uint8_t prn = 0;
    std::array<std::uint8_t, 6> pad{};
    double pseudorange = 0.0;  // m
    double rangeRate = 0.0;    // m/s
};

// Id 12: channel measurements (12 + 18 n bytes); the doubles are never byte-reversed.
struct SatDataRecord
{
    std::uint8_t id = 0;
    std::uint8_t count = 0;
    std::int16_t week = 0;
    double time = 0.0;  // time of week of the measurement, s
    std::array<SatDataEntry, kChannelCount> entries{};
};

// Id 128: the initialisation command, sent only (18 bytes).
struct InitCommandRecord
{
    std::uint8_t id = 0;
    std::uint16_t week = 0;
    std::uint32_t timeOfWeek = 0;  // 0.01 s
    std::int16_t x = 0;  // approximate latitude, 0.1 degree
    std::int16_t y = 0;  // approximate longitude, 0.1 degree
    std::int16_t z = 0;  // approximate altitude, m
    std::int16_t clock = 0;
    std::uint8_t startMode = 0;    // 1 hot, 2 warm, 3 cold, 4 test start
    std::uint8_t outputFlags = 0;  // bits 0-5 GGA GLL GSA GSV RMC VTG, 6 checksums, 7 binary
    std::uint8_t baudCode = 0;     // 0 4800, 1 9600, 2 19200, 3 38400
};
inline constexpr std::size_t kInitCommandSize = 18;

// ---- NMEA records ----

// A text slot holds one sentence field, NUL-terminated. Receivers send coordinates and times of
// up to 12 characters ("12100.14880", "123519.000"); longer fields are cut to 15.
inline constexpr std::size_t kNmeaSlotSize = 16;
using NmeaSlot = std::array<char, kNmeaSlotSize>;

// Slot indexes count from 0 = the first field after the sentence type.
struct GgaRecord
{
    // utc, lat, N/S, lon, E/W, quality, used, hdop, alt, altUnit, geoid, geoidUnit, age, station
    std::array<NmeaSlot, 14> fields{};
    float latitude = 0.0F;   // ddmm.mmmm × 0.01 (degrees with minutes as a decimal fraction)
    float longitude = 0.0F;  // dddmm.mmmm × 0.01
};
struct GllRecord
{
    std::array<NmeaSlot, 6> fields{};  // lat, N/S, lon, E/W, utc, status
};
struct GsaRecord
{
    std::array<NmeaSlot, 17> fields{};  // selection, fix mode, 12 PRNs, PDOP, HDOP, VDOP
};
struct GsvSatellite
{
    int prn = 0, elevation = 0, azimuth = 0, snr = 0;
};
struct GsvRecord
{
    int totalMessages = 0;
    int messageNumber = 0;
    int satellitesInView = 0;
    std::array<GsvSatellite, 4> satellites{};
};
struct RmcRecord
{
    // utc, status, lat, N/S, lon, E/W, speed knots, course, date ddmmyy, magvar, magvar dir
    std::array<NmeaSlot, 11> fields{};
};
struct VtgRecord
{
    std::array<NmeaSlot, 8> fields{};  // true course, T, magnetic course, M, knots, N, km/h, K
};

namespace nmea
{
inline constexpr std::size_t kGgaUtc = 0, kGgaLatitude = 1, kGgaNorthSouth = 2, kGgaLongitude = 3,
                             kGgaEastWest = 4, kGgaQuality = 5, kGgaSatellites = 6, kGgaHdop = 7,
                             kGgaAltitude = 8;
inline constexpr std::size_t kGsaSelection = 0, kGsaFixMode = 1, kGsaFirstPrn = 2, kGsaPdop = 14,
                             kGsaHdop = 15, kGsaVdop = 16;
inline constexpr std::size_t kRmcUtc = 0, kRmcStatus = 1, kRmcLatitude = 2, kRmcNorthSouth = 3,
                             kRmcLongitude = 4, kRmcEastWest = 5, kRmcSpeedKnots = 6, kRmcCourse = 7,
                             kRmcDate = 8;
inline constexpr std::size_t kVtgTrueCourse = 0, kVtgSpeedKnots = 4, kVtgSpeedKmh = 6;
// Log kinds of the six sentence types.
inline constexpr int kKindGga = 1, kKindGll = 2, kKindGsa = 3, kKindGsv = 4, kKindRmc = 5, kKindVtg = 6;
}  // namespace nmea
