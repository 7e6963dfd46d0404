// Reading wire fields out of a received message: explicit little-endian assembly (or byte-reversed
// with the byte-order flag), never a cast into the buffer, and nothing read past the bytes given.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

// A read-only view of one message starting at its id byte. Offsets past the end read as zero, which
// matches the zero-filled assembly buffer the decoders work on.
class WireBytes
{
public:
    WireBytes(std::span<const std::uint8_t> bytes, bool reversed) : m_bytes(bytes), m_reversed(reversed) {}

    [[nodiscard]] std::uint8_t U8(std::size_t offset) const
    {
        return offset < m_bytes.size() ? m_bytes[offset] : std::uint8_t{0};
    }
    [[nodiscard]] std::uint16_t U16(std::size_t offset) const
    {
        std::uint16_t value = 0;
        if (offset + 2 <= m_bytes.size())
            std::memcpy(&value, m_bytes.data() + offset, 2);
        else
            value = static_cast<std::uint16_t>(U8(offset) | (U8(offset + 1) << 8));
        return Order(value);
    }
    [[nodiscard]] std::int16_t I16(std::size_t offset) const
    {
        return static_cast<std::int16_t>(U16(offset));
    }
    [[nodiscard]] std::uint32_t U32(std::size_t offset) const
    {
        std::uint32_t value = 0;
        if (offset + 4 <= m_bytes.size())
            std::memcpy(&value, m_bytes.data() + offset, 4);
        else
            for (std::size_t i = 0; i < 4; ++i)
                value |= static_cast<std::uint32_t>(U8(offset + i)) << (8 * i);
        return Order(value);
    }
    [[nodiscard]] std::int32_t I32(std::size_t offset) const
    {
        return static_cast<std::int32_t>(U32(offset));
    }
    [[nodiscard]] std::int8_t I8(std::size_t offset) const { return static_cast<std::int8_t>(U8(offset)); }
    // An IEEE 754 single sent little-endian; the byte-order flag never applies to it.
    [[nodiscard]] float F32(std::size_t offset) const
    {
        std::uint32_t bits = 0;
        if (offset + 4 <= m_bytes.size())
            std::memcpy(&bits, m_bytes.data() + offset, 4);
        else
            for (std::size_t i = 0; i < 4; ++i)
                bits |= static_cast<std::uint32_t>(U8(offset + i)) << (8 * i);
        return std::bit_cast<float>(FromLittle(bits));
    }
    // An IEEE 754 double sent little-endian; the byte-order flag never applies to it.
    [[nodiscard]] double F64(std::size_t offset) const
    {
        std::uint64_t bits = 0;
        if (offset + 8 <= m_bytes.size())
            std::memcpy(&bits, m_bytes.data() + offset, 8);
        else
            for (std::size_t i = 0; i < 8; ++i)
                bits |= static_cast<std::uint64_t>(U8(offset + i)) << (8 * i);
        return std::bit_cast<double>(FromLittle(bits));
    }
    void CopyBytes(std::size_t offset, std::span<std::uint8_t> out) const
    {
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = U8(offset + i);
    }

private:
    // A value assembled in memory order becomes the wire's little-endian value, byte-reversed when
    // the byte-order flag is set.
    template <typename T>
    static T Swap(T value)
    {
        T out = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            out = static_cast<T>((static_cast<std::uint64_t>(out) << 8) |
                                 ((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFFU));
        return out;
    }
    template <typename T>
    static T FromLittle(T value)
    {
        if constexpr (std::endian::native == std::endian::big)
            return Swap(value);
        else
            return value;
    }
    template <typename T>
    T Order(T value) const
    {
        value = FromLittle(value);
        return m_reversed ? Swap(value) : value;
    }

    std::span<const std::uint8_t> m_bytes;
    bool m_reversed;
};
