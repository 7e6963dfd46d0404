// Helpers shared by the protocol tests: feeding byte streams through a set the way the reader does,
// building frames, and a port log that keeps the lines it is given.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/CoreServices.h"
#include "protocol/CData.h"
#include "protocol/Framing.h"

namespace testing_support
{
inline std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

inline std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts)
{
    std::vector<std::uint8_t> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Runs the binary extractor over `bytes` until it is consumed, appending every nonzero result.
inline void FeedAll(CData& set, std::span<const std::uint8_t> bytes, std::vector<int>& results,
                    int importMode = kImportReceiver, int byteOrder = 0)
{
    ChunkRef chunk{bytes.empty() ? nullptr : bytes.data(), bytes.size()};
    std::string diagnostic;
    while (chunk.position != nullptr)
    {
        const int r = set.BuildBinaryDataPacket(chunk, diagnostic, byteOrder, importMode);
        if (r != 0)
            results.push_back(r);
    }
}

// Content of a frame (length byte, message, checksum) for a message of id plus data.
inline std::vector<std::uint8_t> Content(std::span<const std::uint8_t> message)
{
    std::vector<std::uint8_t> c;
    c.push_back(static_cast<std::uint8_t>(message.size() + 2));
    std::uint8_t sum = 0;
    for (auto b : message)
    {
        c.push_back(b);
        sum = static_cast<std::uint8_t>(sum + b);
    }
    c.push_back(sum);
    return c;
}

// Little-endian field writers for building messages.
inline void Put16(std::vector<std::uint8_t>& m, std::uint32_t v)
{
    m.push_back(static_cast<std::uint8_t>(v));
    m.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(std::vector<std::uint8_t>& m, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        m.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A port log that keeps every line, with all kinds enabled; installed for its lifetime.
class CapturingLog : public vrn::IPortLog
{
public:
    CapturingLog() { vrn::SetPortLog(this); }
    ~CapturingLog() override { vrn::SetPortLog(nullptr); }
    CapturingLog(const CapturingLog&) = delete;
    CapturingLog& operator=(const CapturingLog&) = delete;

    void WriteRecord(const CData& set, int port) override
    {
        std::string line;
        if (set.FormatRecordText(line, 1, 1, 1, 1) != 0)
            lines.push_back(line + "\n");
        ports.push_back(port);
    }
    int WriteSentence(int kind, std::string& text, int port) override
    {
        text += '\n';
        lines.push_back(text);
        kinds.push_back(kind);
        ports.push_back(port);
        return 1;
    }

    std::vector<std::string> lines;
    std::vector<int> kinds;
    std::vector<int> ports;
};
}  // namespace testing_support
