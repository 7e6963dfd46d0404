// Measure view texts.
#include "views/MeasureText.h"

#include "views/TextFormat.h"

namespace measure
{
std::array<int, 7> RowIds(int row)
{
    const int b = kFirstRow + 8 * (row - 1);
    return {b, b + 1, b + 3, b + 4, b + 5, b + 6, b + 7};
}
}  // namespace measure

FieldTexts MeasureBarTexts(const MeasRecord& meas, float version, int leapSeconds)
{
    FieldTexts texts{
        {measure::kVersion, text::Fixed(static_cast<double>(version), 2)},
        {measure::kWeek, text::Int(meas.week)},
        {measure::kTimeOfWeek,
         text::Fixed(static_cast<std::uint32_t>(meas.timeOfWeek) * 0.01 - leapSeconds, 2)},
        {measure::kClockOffset, text::Int(meas.measWord)},
    };
    for (std::size_t k = 0; k < meas.entries.size(); ++k)
    {
        const MeasEntry& e = meas.entries[k];
        const std::array<int, 7> ids = measure::RowIds(static_cast<int>(k) + 1);
        const unsigned w = e.chanPrn;
        if ((w & 0x1F0U) == 0)
        {
            for (std::size_t c = 0; c < 6; ++c)
                texts.push_back({ids[c], " "});
            continue;
        }
        texts.push_back({ids[0], text::Int((w >> 4) & 0x1FU)});
        texts.push_back({ids[1], text::Hex(e.signal)});
        texts.push_back({ids[2], text::Int(w >> 9)});
        texts.push_back({ids[3], text::Int(e.meas1)});
        texts.push_back({ids[4], text::Fixed(e.meas2 * 0.001, 3)});
        texts.push_back({ids[5], text::Int(e.aux)});
    }
    return texts;
}

std::optional<CMeasureModel::BarUpdate> CMeasureModel::Update(int hint, std::uint8_t currentId,
                                                              const NavRecord& nav, const MeasRecord& meas)
{
    if (hint != 1 && hint != 2)
        return std::nullopt;
    const std::size_t link = hint == 1 ? 0 : 1;
    if (currentId == kIdNav)
    {
        m_version[link] = static_cast<float>(nav.infoWord * 0.01);
        m_info[link] = static_cast<std::uint16_t>(nav.infoByte >> 4);
        return std::nullopt;
    }
    if (currentId != kIdMeas)
        return std::nullopt;
    if (m_skip < 1)
    {
        m_skip = 1;
        return std::nullopt;
    }
    return BarUpdate{static_cast<int>(link), MeasureBarTexts(meas, m_version[link], m_leapSeconds)};
}

std::array<std::string, 2> MeasurePortNames(int measSource, const std::string& port1,
                                            const std::string& port2)
{
    return {port1, measSource == 1 ? port1 : port2};
}
