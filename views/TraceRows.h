// The rows of the debug data view: trace text split at line feeds, the newest 300 rows kept.
// Free of Qt; the view mirrors these rows in its list.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

// The rows a text adds: one per line, an empty line as one blank, no row after a final line feed.
std::vector<std::string> SplitTraceText(std::string_view text);

class TraceRows
{
public:
    static constexpr std::size_t kMaxRows = 300;

    // Adds the rows of `text`, dropping the oldest beyond 300.
    void Add(std::string_view text);
    [[nodiscard]] const std::deque<std::string>& Rows() const { return m_rows; }

private:
    std::deque<std::string> m_rows;
};
