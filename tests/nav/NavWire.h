// Test-side wire encoders for the raw-measurement messages (ids 8, 10, 12), little-endian, framed
// as the receiver sends them.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

#include "protocol/Framing.h"
#include "protocol/Records.h"

namespace navtest
{
class WireWriter
{
public:
    void U8(std::uint32_t v) { m_bytes.push_back(static_cast<std::uint8_t>(v & 0xFFU)); }
    void U16(std::uint32_t v)
    {
        U8(v);
        U8(v >> 8);
    }
    void U32(std::uint32_t v)
    {
        U16(v);
        U16(v >> 16);
    }
    void F64(double d)
    {
        const auto bits = std::bit_cast<std::uint64_t>(d);
        U32(static_cast<std::uint32_t>(bits));
        U32(static_cast<std::uint32_t>(bits >> 32));
    }
    [[nodiscard]] std::vector<std::uint8_t> Framed() const { return FramePacket(m_bytes); }
    [[nodiscard]] const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

inline std::vector<std::uint8_t> SubframeFrame(const SubframeRecord& r)
{
    WireWriter w;
    w.U8(kIdSubframe);
    w.U8(r.prn);
    for (std::uint32_t word : r.words)
        w.U32(word);
    return w.Framed();
}

inline std::vector<std::uint8_t> SatDataFrame(const SatDataRecord& r, std::size_t entries)
{
    WireWriter w;
    w.U8(kIdSatData);
    w.U8(r.count);
    w.U16(static_cast<std::uint16_t>(r.week));
    w.F64(r.time);
    for (std::size_t k = 0; k < entries && k < r.entries.size(); ++k)
    {
        w.U8(r.entries[k].channel);
        w.U8(r.entries[k].prn);
        w.F64(r.entries[k].pseudorange);
        w.F64(r.entries[k].rangeRate);
    }
    return w.Framed();
}

inline std::vector<std::uint8_t> MeasFrame(const MeasRecord& r, std::size_t entries)
{
    WireWriter w;
    w.U8(kIdMeas);
    w.U16(r.week);
    w.U32(static_cast<std::uint32_t>(r.timeOfWeek));
    w.U16(r.measWord);
    w.U8(r.measByte);
    for (std::size_t k = 0; k < entries && k < r.entries.size(); ++k)
    {
        const MeasEntry& e = r.entries[k];
        w.U16(e.chanPrn);
        w.U8(e.signal);
        w.U8(e.flags);
        w.U32(static_cast<std::uint32_t>(e.meas1));
        w.U32(static_cast<std::uint32_t>(e.meas2));
        w.U16(static_cast<std::uint16_t>(e.aux));
    }
    return w.Framed();
}
}  // namespace navtest
