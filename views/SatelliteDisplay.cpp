// The views' reading of the satellite table; see the header.
#include "views/SatelliteDisplay.h"

#include <algorithm>
#include <array>

#include "protocol/Records.h"
#include "views/TextFormat.h"

namespace
{
constexpr std::array<char, 2> kGpsTalker{'G', 'P'};
constexpr std::array<char, 2> kNoTalker{};
}  // namespace

bool IsClassicTable(const SatelliteTable& table)
{
    if (table.Size() > kChannelCount)
        return false;
    const auto entries = table.Entries();
    return std::all_of(
        entries.begin(), entries.end(),
        [](const SatelliteEntry& e)
        { return e.talker == kGpsTalker || (e.talker == kNoTalker && e.system == Constellation::Gps); });
}

std::string_view ConstellationName(Constellation system)
{
    static constexpr std::array<std::string_view, kConstellationCount> kNames{
        "GPS", "GLONASS", "Galileo", "BeiDou", "QZSS", "NavIC", "SBAS", "Other"};
    return kNames[ConstellationIndex(system)];
}

std::string SatelliteLabel(Constellation system, int svid)
{
    return ConstellationLetter(system) + text::Int(svid, 2, false, true);
}

void ConstellationFilter::Show(Constellation system, bool shown)
{
    if (shown)
        m_hidden = static_cast<std::uint8_t>(m_hidden & ~Bit(system));
    else
        m_hidden = static_cast<std::uint8_t>(m_hidden | Bit(system));
}

std::string ConstellationFilter::HiddenLetters() const
{
    std::string letters;
    for (std::size_t i = 0; i < kConstellationCount; ++i)
    {
        const auto system = static_cast<Constellation>(i);
        if (!Shows(system))
            letters += ConstellationLetter(system);
    }
    return letters;
}

ConstellationFilter ConstellationFilter::FromHiddenLetters(std::string_view letters)
{
    ConstellationFilter filter;
    for (const char c : letters)
        if (const auto system = ConstellationFromLetter(c))
            filter.Show(*system, false);
    return filter;
}

bool SatelliteRows::Update(const SatelliteTable& table)
{
    const auto entries = table.Entries();
    std::array<bool, SatelliteTable::kCapacity> placed{};
    for (auto& row : m_rows)
    {
        if (!row)
            continue;
        const SatelliteEntry* e = table.Find(row->system, row->svid);
        if (e == nullptr)
            row.reset();
        else
            placed[static_cast<std::size_t>(e - entries.data())] = true;
    }
    std::vector<SatelliteId> arriving;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!placed[i])
            arriving.push_back({entries[i].system, entries[i].svid});
    std::sort(arriving.begin(), arriving.end(),
              [](const SatelliteId& a, const SatelliteId& b)
              {
                  return ConstellationIndex(a.system) != ConstellationIndex(b.system)
                             ? ConstellationIndex(a.system) < ConstellationIndex(b.system)
                             : a.svid < b.svid;
              });
    const std::size_t before = m_rows.size();
    auto freeRow = m_rows.begin();
    for (const SatelliteId& id : arriving)
    {
        freeRow = std::find_if(freeRow, m_rows.end(), [](const auto& row) { return !row.has_value(); });
        if (freeRow == m_rows.end())
        {
            m_rows.emplace_back(id);
            freeRow = m_rows.end();
        }
        else
            *freeRow++ = id;
    }
    return m_rows.size() > before;
}

void SatelliteRows::TrimFreeRows()
{
    while (!m_rows.empty() && !m_rows.back())
        m_rows.pop_back();
}
