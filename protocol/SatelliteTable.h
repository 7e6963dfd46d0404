// The satellites a receiver reports, of every constellation: one table per record set, filled by
// the NMEA import (GSV sets of any talker, used flags from GSA), by the binary satellite records
// and by other receiver protocols. Views, tools and the analysis read it; the classic GSV records
// stay beside it for the classic log and views.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

enum class Constellation : std::uint8_t
{
    Gps,
    Glonass,
    Galileo,
    BeiDou,
    Qzss,
    NavIC,
    Sbas,
    Other
};
inline constexpr std::size_t kConstellationCount = 8;

// The one letter the views and tools print for a constellation: G R E C J I S, and '?' for Other.
[[nodiscard]] char ConstellationLetter(Constellation system);
// The constellation of a letter of ConstellationLetter; empty for any other character.
[[nodiscard]] std::optional<Constellation> ConstellationFromLetter(char letter);
// Index 0..kConstellationCount-1 of a constellation, for per-constellation arrays.
[[nodiscard]] constexpr std::size_t ConstellationIndex(Constellation system)
{
    return static_cast<std::size_t>(system) < kConstellationCount ? static_cast<std::size_t>(system)
                                                                   : kConstellationCount - 1;
}

// NMEA 4.10 signal ids are 0..15 (0: not given); a mask bit per id.
inline constexpr std::size_t kSignalIdCount = 16;

inline constexpr std::int16_t kNoAngle = -999;  // elevation or azimuth not sent
inline constexpr std::int16_t kNoSnr = -1;      // not tracked (no C/N0 sent)

struct SatelliteEntry
{
    Constellation system = Constellation::Other;
    std::uint16_t svid = 0;                // number within its constellation (GPS PRN, GLONASS slot, ...)
    std::int16_t elevationDeg = kNoAngle;  // -90..90 as received, kNoAngle when not sent
    std::int16_t azimuthDeg = kNoAngle;    // 0..359 as received, kNoAngle when not sent
    std::int16_t snrDbHz = kNoSnr;         // C/N0 in dB-Hz, the strongest over its signals; kNoSnr untracked
    bool used = false;                     // used in the receiver's fix
    std::uint16_t signalMask = 0;          // bit s: reported on signal id s (bit 0 when no id was sent)
    std::array<std::int16_t, kSignalIdCount> snrBySignal{};  // per signal id; kNoSnr when untracked
    std::int64_t lastSeenMs = 0;           // receiver time of the last report, ms (drives the expiry)
    std::uint8_t health = 0;               // 0 unknown, 1 healthy, 2 unhealthy (where the protocol says)
};

// A fixed-capacity table, at most one entry per (constellation, svid). Plain value: copying it is
// safe. Entries are kept in no particular order; readers sort if they must.
class SatelliteTable
{
public:
    static constexpr std::size_t kCapacity = 128;

    [[nodiscard]] std::span<const SatelliteEntry> Entries() const { return {m_entries.data(), m_count}; }
    [[nodiscard]] std::size_t Size() const { return m_count; }
    [[nodiscard]] const SatelliteEntry* Find(Constellation system, int svid) const;
    // Satellites in the table, and those used in the fix, of one constellation or of all.
    [[nodiscard]] std::size_t CountInView(std::optional<Constellation> system = std::nullopt) const;
    [[nodiscard]] std::size_t CountUsed(std::optional<Constellation> system = std::nullopt) const;
    // Satellites refused because the table was full (never written past it).
    [[nodiscard]] std::uint64_t Dropped() const { return m_dropped; }

    // ---- writers (the record set's decoders) ----
    // The entry of (system, svid), created when missing; null (and counted) when the table is full
    // or svid is outside 1..65535. A new entry has no angles, no SNR and is not used.
    SatelliteEntry* Upsert(Constellation system, int svid);
    // Removes one entry; entries after it move up.
    void Remove(const SatelliteEntry* entry);
    // Removes every entry for which `drop(entry)` is true.
    template <typename Predicate>
    void RemoveIf(Predicate drop)
    {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < m_count; ++i)
            if (!drop(m_entries[i]))
                m_entries[kept++] = m_entries[i];
        for (std::size_t i = kept; i < m_count; ++i)
            m_entries[i] = {};
        m_count = kept;
    }
    // Removes the satellites not reported since `nowMs - maxAgeMs` (receiver time).
    void Expire(std::int64_t nowMs, std::int64_t maxAgeMs);
    void Clear();

private:
    std::array<SatelliteEntry, kCapacity> m_entries{};
    std::size_t m_count = 0;
    std::uint64_t m_dropped = 0;
};
