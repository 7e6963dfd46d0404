// Shared pieces of the fuzz targets: chunk sizes drawn from the input itself, and a port log that
// renders every line it is given (so the text paths run too) without keeping them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "app/CoreServices.h"
#include "protocol/CData.h"

namespace fuzz
{
// A small deterministic generator, seeded from the input, for chunk sizes of 1..80 bytes.
class ChunkSizes
{
public:
    explicit ChunkSizes(std::span<const std::uint8_t> data)
    {
        for (const std::uint8_t b : data.first(std::min<std::size_t>(data.size(), 16)))
            m_state = (m_state ^ b) * 0x100000001B3ULL;
    }
    std::size_t Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return 1 + static_cast<std::size_t>(m_state % 80);
    }

private:
    std::uint64_t m_state = 0xCBF29CE484222325ULL;
};

class RenderingLog : public vrn::IPortLog
{
public:
    void WriteRecord(const CData& set, int /*port*/) override
    {
        if (set.FormatRecordText(m_line, 1, 1, 1, 1) != 0 && m_line.size() > 2047)
            __builtin_trap();  // a log line must fit the logger's line buffer
    }
    int WriteSentence(int /*kind*/, std::string& text, int /*port*/) override
    {
        text += '\n';
        if (text.size() > 256)
            __builtin_trap();  // a stored sentence never exceeds 255 characters
        return 1;
    }

private:
    std::string m_line;
};

inline void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}
}  // namespace fuzz
