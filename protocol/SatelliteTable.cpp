// The constellation-aware satellite table; see the header.
#include "protocol/SatelliteTable.h"

#include <algorithm>

namespace
{
constexpr std::array<char, kConstellationCount> kLetters{'G', 'R', 'E', 'C', 'J', 'I', 'S', '?'};
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

const SatelliteEntry* SatelliteTable::Find(Constellation system, int svid) const
{
    for (std::size_t i = 0; i < m_count; ++i)
        if (m_entries[i].system == system && m_entries[i].svid == svid)
            return &m_entries[i];
    return nullptr;
}

std::size_t SatelliteTable::CountInView(std::optional<Constellation> system) const
{
    const auto entries = Entries();
    return static_cast<std::size_t>(std::count_if(entries.begin(), entries.end(), [&](const SatelliteEntry& e) {
        return !system || e.system == *system;
    }));
}

std::size_t SatelliteTable::CountUsed(std::optional<Constellation> system) const
{
    const auto entries = Entries();
    return static_cast<std::size_t>(std::count_if(entries.begin(), entries.end(), [&](const SatelliteEntry& e) {
        return e.used && (!system || e.system == *system);
    }));
}

SatelliteEntry* SatelliteTable::Upsert(Constellation system, int svid)
{
    if (svid < 1 || svid > 0xFFFF)
    {
        ++m_dropped;
        return nullptr;
    }
    if (const SatelliteEntry* found = Find(system, svid))
        return &m_entries[static_cast<std::size_t>(found - m_entries.data())];
    if (m_count == kCapacity)
    {
        ++m_dropped;
        return nullptr;
    }
    SatelliteEntry& entry = m_entries[m_count++];
    entry = {};
    entry.system = system;
    entry.svid = static_cast<std::uint16_t>(svid);
    entry.snrBySignal.fill(kNoSnr);
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
    std::fill_n(m_entries.begin(), m_count, SatelliteEntry{});
    m_count = 0;
}
