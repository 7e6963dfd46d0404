// What the sky charts and the signal views make of a receiver's satellite table: whether the
// classic records still show all of it, which constellations the user has hidden, the label of a
// satellite ("G05", "R12", "S133") and which signal view row shows which satellite. Free of Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/SatelliteTable.h"

// True when the classic records show everything the table holds: at most twelve satellites, each
// reported by a $GP sentence or by the binary satellite record (GPS without a talker). The views
// then draw those records as they always have; otherwise they draw the table.
[[nodiscard]] bool IsClassicTable(const SatelliteTable& table);

// "GPS", "GLONASS", "Galileo", "BeiDou", "QZSS", "NavIC", "SBAS", "Other".
[[nodiscard]] std::string_view ConstellationName(Constellation system);

// The label of a satellite: its constellation letter and its number, at least two digits ("G05").
[[nodiscard]] std::string SatelliteLabel(Constellation system, int svid);

// The constellations a view leaves out. Kept in the profile as the letters of the hidden ones
// (ConstellationLetter), so "RS" hides GLONASS and SBAS; an empty text shows everything.
class ConstellationFilter
{
public:
    [[nodiscard]] bool Shows(Constellation system) const { return (m_hidden & Bit(system)) == 0; }
    void Show(Constellation system, bool shown);
    [[nodiscard]] bool ShowsAll() const { return m_hidden == 0; }
    // The letters of the hidden constellations in table order; characters that name no
    // constellation are ignored when read.
    [[nodiscard]] std::string HiddenLetters() const;
    static ConstellationFilter FromHiddenLetters(std::string_view letters);
    bool operator==(const ConstellationFilter&) const = default;

private:
    static std::uint8_t Bit(Constellation system)
    {
        return static_cast<std::uint8_t>(1U << ConstellationIndex(system));
    }
    std::uint8_t m_hidden = 0;
};

// Which row of a signal view shows which satellite. A satellite keeps its row for as long as the
// table holds it; a row it leaves becomes free; satellites that arrive take the lowest free rows, in
// constellation and number order, and new rows are added below when none is free.
class SatelliteRows
{
public:
    // Rows for the satellites of `table`; true when rows were added.
    bool Update(const SatelliteTable& table);
    // One entry per row: the satellite it shows, or empty for a free row.
    [[nodiscard]] const std::vector<std::optional<SatelliteId>>& Rows() const { return m_rows; }
    [[nodiscard]] std::size_t Count() const { return m_rows.size(); }
    // Drops the free rows at the end.
    void TrimFreeRows();
    void Clear() { m_rows.clear(); }

private:
    std::vector<std::optional<SatelliteId>> m_rows;
};
