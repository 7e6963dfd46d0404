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
    std::int64_t lastSeenMs = 0;  // receiver time of the last report, ms (drives the expiry)
    // Talker of the GSV sentence that last reported it ("GP", "GL", ...); NUL for binary records.
    std::array<char, 2> talker{};
    // 0 unknown, 1 healthy, 2 unhealthy, as the receiver's binary satellite messages say (UBX
    // NAV-SAT, NAV-SVINFO); NMEA sentences carry no health and leave 0.
    std::uint8_t health = 0;
};

// A satellite's identity: its constellation and its number within it.
struct SatelliteId
{
    Constellation system = Constellation::Other;
    int svid = 0;
    friend bool operator==(const SatelliteId&, const SatelliteId&) = default;
};

// The constellation a talker speaks for: GP GPS, GL GLONASS, GA Galileo, GB and BD BeiDou, GQ and QZ
// QZSS, GI NavIC. Empty for GN (the combined talker) and every other talker: the numbers decide.
[[nodiscard]] std::optional<Constellation> ConstellationOfTalker(std::string_view talker);
// NMEA 4.11 system ids: 1 GPS, 2 GLONASS, 3 Galileo, 4 BeiDou, 5 QZSS, 6 NavIC; empty otherwise.
[[nodiscard]] std::optional<Constellation> ConstellationOfSystemId(int systemId);

// A satellite number as NMEA sentences send it, read in the context of the constellation the talker
// or system id names (`hint`; empty for GN and unknown talkers). Without a hint, and under GPS (whose
// talker also carries SBAS and QZSS numbers), the number ranges decide:
//   1-32 GPS; 33-64 SBAS (number + 87); 65-96 GLONASS (number - 64); 120-158 SBAS;
//   193-202 QZSS (number - 192); 203-263 BeiDou (number - 200, older chips); 301-336 Galileo
//   (number - 300); 401-463 BeiDou (number - 400).
// Under GLONASS 1-64 are slots as sent and 65-96 are read as above; under Galileo 1-300 are as sent;
// under BeiDou 1-200 are as sent and 201-263 and 401-463 are read as above (so 201 and 202 are
// BeiDou there and QZSS elsewhere); under QZSS 1-192 are as sent; NavIC numbers are as sent.
// Any other number 1..65535 is kept as constellation Other with the number as sent; 0, negative
// and larger numbers give an empty result.
[[nodiscard]] std::optional<SatelliteId> SatelliteFromNmea(std::optional<Constellation> hint, int number);

// A fixed-capacity table, at most one entry per (constellation, svid). Plain value: copying it is
// safe. Entries are kept in no particular order (a removal moves the later ones up); readers sort if
// they must. Lookups of numbers below 256 go through an index; larger numbers compare one packed
// key per entry.
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
    // Satellites refused: the table was full (it is never written past) or the number was outside
    // 1..65535.
    [[nodiscard]] std::uint64_t Dropped() const { return m_dropped; }

    // ---- writers (the record set's decoders) ----
    // The entry of (system, svid), created when missing; null (and counted) when the table is full
    // or svid is outside 1..65535. A new entry has no angles, no SNR and is not used.
    SatelliteEntry* Upsert(Constellation system, int svid);
    // Find for writing: the entry of (system, svid), or null.
    SatelliteEntry* FindEntry(Constellation system, int svid)
    {
        return const_cast<SatelliteEntry*>(static_cast<const SatelliteTable*>(this)->Find(system, svid));
    }
    // Removes one entry; entries after it move up.
    void Remove(const SatelliteEntry* entry);
    // Removes every entry for which `drop(entry)` is true. The predicate may change the entries it
    // keeps (but not their constellation or number).
    template <typename Predicate>
    void RemoveIf(Predicate drop)
    {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < m_count; ++i)
        {
            if (drop(m_entries[i]))
            {
                SetIndex(m_entries[i], 0);
                continue;
            }
            if (kept != i)
            {
                m_entries[kept] = m_entries[i];
                m_keys[kept] = m_keys[i];
                SetIndex(m_entries[kept], kept + 1);
            }
            ++kept;
        }
        for (std::size_t i = kept; i < m_count; ++i)
        {
            m_entries[i] = {};
            m_keys[i] = 0;
        }
        m_count = kept;
    }
    // Removes the satellites not reported since `nowMs - maxAgeMs` (receiver time).
    void Expire(std::int64_t nowMs, std::int64_t maxAgeMs);
    void Clear();

private:
    // Numbers below this are found through m_index; larger ones (only seen for Other) by a search.
    static constexpr std::size_t kIndexedNumbers = 256;

    [[nodiscard]] std::size_t IndexOf(Constellation system, int svid) const
    {
        if (svid >= 1 && static_cast<std::size_t>(svid) < kIndexedNumbers)
        {
            const std::uint8_t at =
                m_index[ConstellationIndex(system) * kIndexedNumbers + static_cast<std::size_t>(svid)];
            return at != 0 ? at - 1U : m_count;
        }
        return SearchKeys(system, svid);
    }
    [[nodiscard]] std::size_t SearchKeys(Constellation system, int svid) const;
    // Records where an entry lives (position + 1; 0 when it left).
    void SetIndex(const SatelliteEntry& e, std::size_t positionPlusOne)
    {
        if (e.svid < kIndexedNumbers)
            m_index[ConstellationIndex(e.system) * kIndexedNumbers + e.svid] =
                static_cast<std::uint8_t>(positionPlusOne);
    }

    std::array<SatelliteEntry, kCapacity> m_entries{};
    std::array<std::uint32_t, kCapacity> m_keys{};  // constellation and number of each entry, packed
    std::array<std::uint8_t, kConstellationCount * kIndexedNumbers>
        m_index{};  // position + 1 by (system, svid)
    std::size_t m_count = 0;
    std::uint64_t m_dropped = 0;
};
