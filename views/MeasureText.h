// The measure view's texts: what a measurement message writes into the channel table of its
// link's bar (template 144), and the version kept from navigation messages. Free of Qt.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/Records.h"
#include "views/StatusPanelText.h"

namespace measure
{
inline constexpr int kPortName = 1220;
inline constexpr int kWeek = 1120;
inline constexpr int kTimeOfWeek = 1121;
inline constexpr int kClockOffset = 1149;
inline constexpr int kVersionLabel = 1173;
inline constexpr int kVersion = 1165;
inline constexpr int kFirstRow = 1123;  // SV ID of row 1; each row takes eight ids
// Value cells of row r (1..12): SV ID, Status, Elevation, Pseudorange, Delta Range, Doppler, Data.
std::array<int, 7> RowIds(int row);
}  // namespace measure

// The texts of one bar for a measurement record.
FieldTexts MeasureBarTexts(const MeasRecord& meas, float version, int leapSeconds);

// The measure view's state between updates; UI thread only.
class CMeasureModel
{
public:
    explicit CMeasureModel(int leapSeconds = 12) : m_leapSeconds(leapSeconds) {}
    void SetLeapSeconds(int leapSeconds) { m_leapSeconds = leapSeconds; }

    struct BarUpdate
    {
        int bar = 0;  // 0 top (first link), 1 bottom
        FieldTexts texts;
    };
    // One update of hint 1 or 2 with the set's current message id and its records; a bar's new
    // texts when a measurement message fills one. The first measurement update only arms the view.
    std::optional<BarUpdate> Update(int hint, std::uint8_t currentId, const NavRecord& nav,
                                    const MeasRecord& meas);

    [[nodiscard]] float Version(int link) const { return m_version.at(static_cast<std::size_t>(link)); }

private:
    int m_leapSeconds;
    int m_skip = 0;
    std::array<float, 2> m_version{};
    std::array<std::uint16_t, 2> m_info{};
};

// Port names of the two bars: the first port's twice when both measurements come from it.
std::array<std::string, 2> MeasurePortNames(int measSource, const std::string& port1,
                                            const std::string& port2);
