// Error geometry, the running statistics and their text forms; see the header.
#include "analysis/AccuracyStatistics.h"

#include <charconv>
#include <cmath>
#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>
#include <limits>

namespace vrn::analysis
{
namespace
{
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Fixed-point text without locale; a value that rounds to zero prints without a minus sign.
std::string Fixed(double value, int decimals)
{
    if (!std::isfinite(value))
        return {};
    std::array<char, 64> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed,
                                      decimals);
    std::string out(text.data(), result.ptr);
    if (out.starts_with('-') && out.find_first_not_of("-0.") == std::string::npos)
        out.erase(0, 1);
    return out;
}

// 1-based nearest rank ceil(percent·n/100), in integers so no rounding of p·n can move it.
std::uint64_t NearestRank(int percent, std::uint64_t n)
{
    const auto p = static_cast<std::uint64_t>(percent);
    const std::uint64_t rank = (p * n + 99) / 100;
    return rank < 1 ? 1 : rank;
}
}  // namespace

double EnuError::Horizontal() const
{
    return std::sqrt(e * e + n * n);
}

ReferencePoint::ReferencePoint(double latitudeDeg, double longitudeDeg, double heightM)
    : m_latitudeDeg(latitudeDeg),
      m_longitudeDeg(longitudeDeg),
      m_heightM(heightM),
      m_ecef(GeodeticToEcef(latitudeDeg * kRadiansPerDegree, longitudeDeg * kRadiansPerDegree, heightM)),
      m_enu(LocalFrameMatrix(latitudeDeg * kRadiansPerDegree, longitudeDeg * kRadiansPerDegree))
{
}

EnuError ReferencePoint::ErrorOf(double latitudeDeg, double longitudeDeg, double heightM) const
{
    const Triple p = GeodeticToEcef(latitudeDeg * kRadiansPerDegree, longitudeDeg * kRadiansPerDegree, heightM);
    const Triple d{p[0] - m_ecef[0], p[1] - m_ecef[1], p[2] - m_ecef[2]};
    return {ApplyRow(m_enu, 0, d), ApplyRow(m_enu, 1, d), ApplyRow(m_enu, 2, d)};
}

// ---- the running statistics ----

struct CErrorStatistics::OrderTree
{
    using Key = std::pair<double, std::uint64_t>;  // h, then the epoch key
    __gnu_pbds::tree<Key, __gnu_pbds::null_type, std::less<Key>, __gnu_pbds::rb_tree_tag,
                     __gnu_pbds::tree_order_statistics_node_update>
        tree;
};

CErrorStatistics::CErrorStatistics() : m_tree(std::make_unique<OrderTree>()) {}
CErrorStatistics::~CErrorStatistics() = default;
CErrorStatistics::CErrorStatistics(CErrorStatistics&&) noexcept = default;
CErrorStatistics& CErrorStatistics::operator=(CErrorStatistics&&) noexcept = default;

void CErrorStatistics::RemoveEpoch()
{
    if (m_epochs > 0)
        --m_epochs;
}

void CErrorStatistics::Account(const EnuError& error, double sign)
{
    m_sums[0].Add(sign * error.e);
    m_sums[1].Add(sign * error.n);
    m_sums[2].Add(sign * error.u);
    m_sums[3].Add(sign * error.e * error.e);
    m_sums[4].Add(sign * error.n * error.n);
    m_sums[5].Add(sign * error.u * error.u);
}

void CErrorStatistics::AddFix(const EnuError& error, std::uint64_t key)
{
    ++m_epochs;
    m_tree->tree.insert({error.Horizontal(), key});
    Account(error, 1.0);
}

void CErrorStatistics::RemoveFix(const EnuError& error, std::uint64_t key)
{
    if (m_tree->tree.erase({error.Horizontal(), key}) == 0)
        return;  // not there: nothing to take away
    RemoveEpoch();
    Account(error, -1.0);
    if (m_tree->tree.empty())
        m_sums = {};  // start the sums afresh, without whatever rounding is left
}

void CErrorStatistics::Clear()
{
    m_tree->tree.clear();
    m_epochs = 0;
    m_sums = {};
}

std::uint64_t CErrorStatistics::Fixed() const
{
    return m_tree->tree.size();
}

double CErrorStatistics::HorizontalPercentile(int percent) const
{
    const std::uint64_t n = Fixed();
    if (n == 0)
        return kNaN;
    return m_tree->tree.find_by_order(NearestRank(percent, n) - 1)->first;
}

std::uint64_t CErrorStatistics::CountWithin(double radiusM) const
{
    return m_tree->tree.order_of_key({radiusM, std::numeric_limits<std::uint64_t>::max()});
}

double CErrorStatistics::HorizontalRms() const
{
    const std::uint64_t n = Fixed();
    if (n == 0)
        return kNaN;
    return std::sqrt(std::max(0.0, (m_sums[3].Value() + m_sums[4].Value()) / static_cast<double>(n)));
}

AccuracyTable CErrorStatistics::Table() const
{
    AccuracyTable t{};
    t.epochs = m_epochs;
    t.fixed = Fixed();
    const auto nan = kNaN;
    t.meanE = t.meanN = t.meanU = t.sdE = t.sdN = t.sdU = nan;
    t.rmsH = t.rmsV = t.rms3D = t.cep50 = t.cep95 = t.drms2 = t.maxH = nan;
    t.within.fill(nan);
    if (t.fixed == 0)
        return t;
    const auto n = static_cast<double>(t.fixed);
    const double meanE = m_sums[0].Value() / n, meanN = m_sums[1].Value() / n, meanU = m_sums[2].Value() / n;
    // Mean squares can come out a hair below zero when all errors are equal; clamp before the root.
    const double ee = std::max(0.0, m_sums[3].Value() / n);
    const double nn = std::max(0.0, m_sums[4].Value() / n);
    const double uu = std::max(0.0, m_sums[5].Value() / n);
    t.meanE = meanE;
    t.meanN = meanN;
    t.meanU = meanU;
    t.sdE = std::sqrt(std::max(0.0, ee - meanE * meanE));
    t.sdN = std::sqrt(std::max(0.0, nn - meanN * meanN));
    t.sdU = std::sqrt(std::max(0.0, uu - meanU * meanU));
    t.rmsH = std::sqrt(ee + nn);
    t.rmsV = std::sqrt(uu);
    t.rms3D = std::sqrt(ee + nn + uu);
    t.cep50 = HorizontalPercentile(50);
    t.cep95 = HorizontalPercentile(95);
    t.drms2 = 2.0 * t.rmsH;
    t.maxH = m_tree->tree.rbegin()->first;
    for (std::size_t i = 0; i < kWithinRadiiM.size(); ++i)
        t.within[i] = static_cast<double>(CountWithin(kWithinRadiiM[i])) / n;
    return t;
}

// ---- text forms ----

const std::array<std::string_view, kTableColumnCount>& TableColumns()
{
    static constexpr std::array<std::string_view, kTableColumnCount> kColumns{
        "epochs", "fixed", "meanE", "meanN", "meanU", "sdE", "sdN", "sdU", "rmsH", "rmsV",
        "rms3D", "cep50", "cep95", "drms2", "maxH", "within1m", "within2m", "within5m", "within10m"};
    return kColumns;
}

std::string FormatFigure(const AccuracyTable& table, std::size_t column)
{
    const std::array<double, 13> metres{table.meanE, table.meanN, table.meanU, table.sdE,   table.sdN,
                                        table.sdU,   table.rmsH,  table.rmsV,  table.rms3D, table.cep50,
                                        table.cep95, table.drms2, table.maxH};
    if (column == 0)
        return std::to_string(table.epochs);
    if (column == 1)
        return std::to_string(table.fixed);
    if (column < 2 + metres.size())
        return Fixed(metres[column - 2], 3);
    const std::size_t share = column - 2 - metres.size();
    if (share < table.within.size())
        return Fixed(table.within[share], 4);
    return {};
}

std::string FormatTableLine(std::string_view source, const AccuracyTable& table)
{
    std::string line = "source=";
    line += source;
    const auto& columns = TableColumns();
    for (std::size_t c = 0; c < columns.size(); ++c)
    {
        line += ' ';
        line += columns[c];
        line += '=';
        line += FormatFigure(table, c);
    }
    return line;
}

std::string FormatTableTsv(const std::vector<std::pair<std::string, AccuracyTable>>& rows)
{
    std::string text = "source";
    for (const std::string_view column : TableColumns())
    {
        text += '\t';
        text += column;
    }
    text += '\n';
    for (const auto& [name, table] : rows)
    {
        text += name;
        for (std::size_t c = 0; c < TableColumns().size(); ++c)
        {
            text += '\t';
            text += FormatFigure(table, c);
        }
        text += '\n';
    }
    return text;
}
}  // namespace vrn::analysis
