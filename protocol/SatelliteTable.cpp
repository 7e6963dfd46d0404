// The constellation-aware satellite table and the NMEA satellite numbering; see the header.
#include "protocol/SatelliteTable.h"

#include <algorithm>

namespace
{
constexpr std::array<char, kConstellationCount> kLetters{'G', 'R', 'E', 'C', 'J', 'I', 'S', '?'};

constexpr std::uint32_t PackKey(Constellation system, int svid)
{
    return (static_cast<std::uint32_t>(system) + 1U) << 16 | static_cast<std::uint32_t>(svid);
}

// The ranges every receiver uses the same way, whatever its talker.
std::optional<SatelliteId> FromNumberRanges(int n)
{
    if (n >= 1 && n <= 32)
        return SatelliteId{Constellation::Gps, n};
    if (n >= 33 && n <= 64)
        return SatelliteId{Constellation::Sbas, n + 87};
    if (n >= 65 && n <= 96)
        return SatelliteId{Constellation::Glonass, n - 64};
    if (n >= 120 && n <= 158)
        return SatelliteId{Constellation::Sbas, n};
    if (n >= 193 && n <= 202)
        return SatelliteId{Constellation::Qzss, n - 192};
    if (n >= 203 && n <= 263)
        return SatelliteId{Constellation::BeiDou, n - 200};
    if (n >= 301 && n <= 336)
        return SatelliteId{Constellation::Galileo, n - 300};
    if (n >= 401 && n <= 463)
        return SatelliteId{Constellation::BeiDou, n - 400};
    if (n >= 1 && n <= 0xFFFF)
        return SatelliteId{Constellation::Other, n};
    return std::nullopt;
}
}  // namespace

char ConstellationLetter(Constellation system)
{
    return kLetters[ConstellationIndex(system)];
}

std::optional<Constellation> ConstellationFromLetter(char letter)
{
    const auto* const found = std::find(kLetters.begin(), kLetters.end(), letter);
    if (found == kLetters.end())
        return std::nullopt;
    return static_cast<Constellation>(found - kLetters.begin());
}

std::optional<Constellation> ConstellationOfTalker(std::string_view talker)
{
    if (talker == "GP")
        return Constellation::Gps;
    if (talker == "GL")
        return Constellation::Glonass;
    if (talker == "GA")
        return Constellation::Galileo;
    if (talker == "GB" || talker == "BD")
        return Constellation::BeiDou;
    if (talker == "GQ" || talker == "QZ")
        return Constellation::Qzss;
    if (talker == "GI")
        return Constellation::NavIC;
    return std::nullopt;
}

std::optional<Constellation> ConstellationOfSystemId(int systemId)
{
    switch (systemId)
    {
        case 1:
            return Constellation::Gps;
        case 2:
            return Constellation::Glonass;
        case 3:
            return Constellation::Galileo;
        case 4:
            return Constellation::BeiDou;
        case 5:
            return Constellation::Qzss;
        case 6:
            return Constellation::NavIC;
        default:
            return std::nullopt;
    }
}

std::optional<SatelliteId> SatelliteFromNmea(std::optional<Constellation> hint, int n)
{
    if (n < 1 || n > 0xFFFF)
        return std::nullopt;
    switch (hint.value_or(Constellation::Gps))
    {
        case Constellation::Glonass:
            if (n <= 64)
                return SatelliteId{Constellation::Glonass, n};
            break;
        case Constellation::Galileo:
            if (n <= 300)
                return SatelliteId{Constellation::Galileo, n};
            break;
        case Constellation::BeiDou:
            if (n <= 200)
                return SatelliteId{Constellation::BeiDou, n};
            if (n <= 263)
                return SatelliteId{Constellation::BeiDou, n - 200};
            break;
        case Constellation::Qzss:
            if (n <= 192)
                return SatelliteId{Constellation::Qzss, n};
            break;
        case Constellation::NavIC:
            return SatelliteId{Constellation::NavIC, n};
        default:
            break;
    }
    return FromNumberRanges(n);
}

std::size_t SatelliteTable::SearchKeys(Constellation system, int svid) const
{
    if (svid < 1 || svid > 0xFFFF)
        return m_count;
    const std::uint32_t key = PackKey(system, svid);
    std::size_t i = 0;
    while (i < m_count && m_keys[i] != key)
        ++i;
    return i;
}

const SatelliteEntry* SatelliteTable::Find(Constellation system, int svid) const
{
    const std::size_t i = IndexOf(system, svid);
    return i < m_count ? &m_entries[i] : nullptr;
}

std::size_t SatelliteTable::CountInView(std::optional<Constellation> system) const
{
    const auto entries = Entries();
    return static_cast<std::size_t>(std::count_if(entries.begin(), entries.end(),
                                                  [&](const SatelliteEntry& e)
                                                  { return !system || e.system == *system; }));
}

std::size_t SatelliteTable::CountUsed(std::optional<Constellation> system) const
{
    const auto entries = Entries();
    return static_cast<std::size_t>(std::count_if(entries.begin(), entries.end(),
                                                  [&](const SatelliteEntry& e)
                                                  { return e.used && (!system || e.system == *system); }));
}

SatelliteEntry* SatelliteTable::Upsert(Constellation system, int svid)
{
    if (svid < 1 || svid > 0xFFFF)
    {
        ++m_dropped;
        return nullptr;
    }
    const std::size_t found = IndexOf(system, svid);
    if (found < m_count)
        return &m_entries[found];
    if (m_count == kCapacity)
    {
        ++m_dropped;
        return nullptr;
    }
    m_keys[m_count] = PackKey(system, svid);
    SatelliteEntry& entry = m_entries[m_count++];
    entry = {};
    entry.system = system;
    entry.svid = static_cast<std::uint16_t>(svid);
    entry.snrBySignal.fill(kNoSnr);
    SetIndex(entry, m_count);
    return &entry;
}

void SatelliteTable::Remove(const SatelliteEntry* entry)
{
    RemoveIf([entry](const SatelliteEntry& e) { return &e == entry; });
}

void SatelliteTable::Expire(std::int64_t nowMs, std::int64_t maxAgeMs)
{
    RemoveIf([&](const SatelliteEntry& e) { return nowMs - e.lastSeenMs > maxAgeMs; });
}

void SatelliteTable::Clear()
{
    for (std::size_t i = 0; i < m_count; ++i)
        SetIndex(m_entries[i], 0);
    std::fill_n(m_entries.begin(), m_count, SatelliteEntry{});
    std::fill_n(m_keys.begin(), m_count, 0U);
    m_count = 0;
}
