// The simulator's truth file (`vrnrcvr-sim --truth`): one row per simulated epoch with the true GPS
// time and position. Loaded once, then looked up by time.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vrn::analysis
{
struct TruthRow
{
    double gpsSeconds = 0.0;  // week × 604800 + time of week
    double latitudeDeg = 0.0, longitudeDeg = 0.0, heightM = 0.0;
};

// An epoch takes the truth row nearest to its GPS time, no farther than this.
inline constexpr double kTruthMatchS = 0.5;

class CTruthTable
{
public:
    // Reads CSV text with a header row naming at least the columns week, tow, lat, lon and height (in
    // any order; others are ignored). Rows are kept in time order. Empty, with the reason and the
    // line number in `error`, when the header lacks a column or a row has a malformed number.
    [[nodiscard]] static std::optional<CTruthTable> Parse(std::string_view text, std::string& error);
    // The same from a file; the reason names the file.
    [[nodiscard]] static std::optional<CTruthTable> Load(const std::string& path, std::string& error);

    // The row nearest to `gpsSeconds` within kTruthMatchS (the earlier one on a tie); null when none.
    [[nodiscard]] const TruthRow* Nearest(double gpsSeconds) const;
    [[nodiscard]] std::size_t Size() const { return m_rows.size(); }
    [[nodiscard]] const std::vector<TruthRow>& Rows() const { return m_rows; }

private:
    std::vector<TruthRow> m_rows;
};
}  // namespace vrn::analysis
