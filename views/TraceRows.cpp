// Debug data view rows.
#include "views/TraceRows.h"

std::vector<std::string> SplitTraceText(std::string_view text)
{
    std::vector<std::string> rows;
    std::size_t start = 0;
    while (start < text.size())
    {
        const std::size_t end = text.find('\n', start);
        const std::string_view piece =
            text.substr(start, end == std::string_view::npos ? text.npos : end - start);
        rows.emplace_back(piece.empty() ? std::string_view(" ") : piece);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return rows;
}

void TraceRows::Add(std::string_view text)
{
    for (std::string& row : SplitTraceText(text))
    {
        if (m_rows.size() >= kMaxRows)
            m_rows.pop_front();
        m_rows.push_back(std::move(row));
    }
}
