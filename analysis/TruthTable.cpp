// Truth file reading and lookup; see the header.
#include "analysis/TruthTable.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "analysis/PositionSeries.h"

namespace vrn::analysis
{
namespace
{
std::vector<std::string_view> SplitCommas(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t from = 0;
    for (;;)
    {
        const std::size_t comma = line.find(',', from);
        fields.push_back(line.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from));
        if (comma == std::string_view::npos)
            return fields;
        from = comma + 1;
    }
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool ReadNumber(std::string_view text, double& value)
{
    text = Trim(text);
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc{} && result.ptr == text.data() + text.size() && std::isfinite(value);
}
}  // namespace

std::optional<CTruthTable> CTruthTable::Parse(std::string_view text, std::string& error)
{
    constexpr std::array<std::string_view, 5> kNeeded{"week", "tow", "lat", "lon", "height"};
    std::array<std::size_t, kNeeded.size()> column{};
    CTruthTable table;
    bool haveHeader = false;
    std::size_t lineNumber = 0;
    std::size_t from = 0;
    while (from < text.size())
    {
        std::size_t end = text.find('\n', from);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = Trim(text.substr(from, end - from));
        from = end + 1;
        ++lineNumber;
        if (line.empty())
            continue;
        const auto fields = SplitCommas(line);
        if (!haveHeader)
        {
            for (std::size_t k = 0; k < kNeeded.size(); ++k)
            {
                const auto it = std::find_if(fields.begin(), fields.end(),
                                             [&](std::string_view f) { return Trim(f) == kNeeded[k]; });
                if (it == fields.end())
                {
                    error = "line " + std::to_string(lineNumber) + ": the header has no column '" +
                            std::string(kNeeded[k]) + "'";
                    return std::nullopt;
                }
                column[k] = static_cast<std::size_t>(it - fields.begin());
            }
            haveHeader = true;
            continue;
        }
        std::array<double, kNeeded.size()> v{};
        for (std::size_t k = 0; k < kNeeded.size(); ++k)
        {
            if (column[k] >= fields.size() || !ReadNumber(fields[column[k]], v[k]))
            {
                error = "line " + std::to_string(lineNumber) + ": no valid number in column '" +
                        std::string(kNeeded[k]) + "'";
                return std::nullopt;
            }
        }
        table.m_rows.push_back({v[0] * kSecondsPerWeek + v[1], v[2], v[3], v[4]});
    }
    if (!haveHeader)
    {
        error = "no header row (week,tow,lat,lon,height,...)";
        return std::nullopt;
    }
    std::stable_sort(table.m_rows.begin(), table.m_rows.end(),
                     [](const TruthRow& a, const TruthRow& b) { return a.gpsSeconds < b.gpsSeconds; });
    return table;
}

std::optional<CTruthTable> CTruthTable::Load(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
    {
        error = "cannot read '" + path + "'";
        return std::nullopt;
    }
    auto table = Parse(text.str(), error);
    if (!table)
        error = "'" + path + "': " + error;
    return table;
}

const TruthRow* CTruthTable::Nearest(double gpsSeconds) const
{
    if (!std::isfinite(gpsSeconds) || m_rows.empty())
        return nullptr;
    const auto it = std::lower_bound(m_rows.begin(), m_rows.end(), gpsSeconds,
                                     [](const TruthRow& row, double t) { return row.gpsSeconds < t; });
    const TruthRow* best = nullptr;
    double bestGap = kTruthMatchS;
    if (it != m_rows.begin())
    {
        const TruthRow& before = *(it - 1);
        if (gpsSeconds - before.gpsSeconds <= bestGap)
        {
            best = &before;
            bestGap = gpsSeconds - before.gpsSeconds;
        }
    }
    if (it != m_rows.end())
    {
        const double gap = it->gpsSeconds - gpsSeconds;
        if (best == nullptr ? gap <= kTruthMatchS : gap < bestGap)
            best = &*it;
    }
    return best;
}
}  // namespace vrn::analysis
