// Error statistics of one source against a reference: the east/north/up error of an epoch, and the
// table of figures over a set of epochs that grows at one end and shrinks at the other.
//
// Definitions (the view's tooltip states the same):
// - E/N/U: the epoch's position minus the reference, both on the WGS-84 ellipsoid, in the local
//   east-north-up frame at the reference point.
// - `epochs` counts every epoch that has a reference; every other figure is over the fixed epochs
//   (fix mode above 0, finite position) only.
// - means and standard deviations are population ones (divided by n); h = sqrt(e² + n²).
// - rmsH = sqrt(mean(e² + n²)), rmsV = sqrt(mean(u²)), rms3D = sqrt(mean(e² + n² + u²)).
// - CEP50 and CEP95: nearest-rank percentiles of h, the value at rank ceil(p·n) (1-based) of the
//   ascending h; 2DRMS = 2 × rmsH; maxH the largest h; "within R" the fraction of fixed epochs with
//   h ≤ R.
//
// Adding or removing an epoch costs O(log n): sums with a running compensation for the moments, and
// an order-statistics tree of h for the percentiles, the maximum and the shares.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/CompensatedSum.h"
#include "nav/Coordinates.h"

namespace vrn::analysis
{
struct EnuError
{
    double e = 0.0, n = 0.0, u = 0.0;  // m
    [[nodiscard]] double Horizontal() const;
};

// A reference position with its earth-centred coordinates and local frame, ready for many epochs.
class ReferencePoint
{
public:
    ReferencePoint() = default;
    ReferencePoint(double latitudeDeg, double longitudeDeg, double heightM);
    [[nodiscard]] double LatitudeDeg() const { return m_latitudeDeg; }
    [[nodiscard]] double LongitudeDeg() const { return m_longitudeDeg; }
    [[nodiscard]] double HeightM() const { return m_heightM; }
    // E/N/U of a position (degrees, metres) in this point's frame.
    [[nodiscard]] EnuError ErrorOf(double latitudeDeg, double longitudeDeg, double heightM) const;

private:
    double m_latitudeDeg = 0.0, m_longitudeDeg = 0.0, m_heightM = 0.0;
    Triple m_ecef{};
    Matrix3 m_enu{};
};

inline constexpr std::array<double, 4> kWithinRadiiM{1.0, 2.0, 5.0, 10.0};

// The figures of the view's table and of `vrnrcvr-replay --accuracy`. Metres; NaN when there is no
// fixed epoch (the shares too).
struct AccuracyTable
{
    std::uint64_t epochs = 0;
    std::uint64_t fixed = 0;
    double meanE, meanN, meanU;
    double sdE, sdN, sdU;
    double rmsH, rmsV, rms3D;
    double cep50, cep95, drms2, maxH;
    std::array<double, kWithinRadiiM.size()> within;  // fractions of the fixed epochs
};

inline constexpr std::size_t kTableColumnCount = 19;

// The tool's line for one source: "source=NAME epochs=N fixed=N meanE=... within10m=..." with metres
// to 3 decimals and shares to 4; the figures stay empty ("meanE=") when there is no fixed epoch.
[[nodiscard]] std::string FormatTableLine(std::string_view source, const AccuracyTable& table);
// The table as tab-separated text, one row per source: a header row and then `rows`.
[[nodiscard]] std::string FormatTableTsv(const std::vector<std::pair<std::string, AccuracyTable>>& rows);
// Column names of the table, in the order of the line and the TSV ("epochs" .. "within10m").
[[nodiscard]] const std::array<std::string_view, kTableColumnCount>& TableColumns();
// Figure `column` (an index into TableColumns) as the text the line and the TSV print.
[[nodiscard]] std::string FormatFigure(const AccuracyTable& table, std::size_t column);

// The running set of epochs behind one table.
class CErrorStatistics
{
public:
    CErrorStatistics();
    ~CErrorStatistics();
    CErrorStatistics(CErrorStatistics&&) noexcept;
    CErrorStatistics& operator=(CErrorStatistics&&) noexcept;
    CErrorStatistics(const CErrorStatistics&) = delete;
    CErrorStatistics& operator=(const CErrorStatistics&) = delete;

    // An epoch that counts only in `epochs` (no fix, or a fix without a reference).
    void AddEpoch() { ++m_epochs; }
    void RemoveEpoch();
    // A fixed epoch with its error; `key` tells epochs with the same horizontal error apart and must
    // be given again to remove it (with the same error).
    void AddFix(const EnuError& error, std::uint64_t key);
    void RemoveFix(const EnuError& error, std::uint64_t key);
    void Clear();

    [[nodiscard]] AccuracyTable Table() const;
    [[nodiscard]] std::uint64_t Epochs() const { return m_epochs; }
    [[nodiscard]] std::uint64_t Fixed() const;
    // The value at 1-based rank ceil(percent·n/100) of the ascending horizontal errors; NaN when empty.
    [[nodiscard]] double HorizontalPercentile(int percent) const;
    // Fixed epochs with h ≤ radius.
    [[nodiscard]] std::uint64_t CountWithin(double radiusM) const;
    // sqrt(mean(e² + n²)); NaN when empty.
    [[nodiscard]] double HorizontalRms() const;

private:
    void Account(const EnuError& error, double sign);

    struct OrderTree;
    std::unique_ptr<OrderTree> m_tree;
    std::uint64_t m_epochs = 0;
    // e, n, u, e², n², u²
    std::array<CompensatedSum, 6> m_sums{};
};
}  // namespace vrn::analysis
