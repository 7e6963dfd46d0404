// Sizes of the receiver's tables and the one place a wire number becomes a table index.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

inline constexpr std::size_t kChannelCount = 12;  // receiver channels 0..11
inline constexpr std::size_t kPrnCount = 32;      // PRN 1..32, stored at index prn - 1
inline constexpr std::size_t kPortCount = 2;      // port index 0 = port 1, 1 = port 2

// The one place a PRN becomes an index; empty if not 1..32.
inline std::optional<std::size_t> PrnIndex(int prn)
{
    if (prn < 1 || prn > static_cast<int>(kPrnCount))
        return std::nullopt;
    return static_cast<std::size_t>(prn - 1);
}

// Empty if `channel` is not 0..11.
inline std::optional<std::size_t> ChannelIndex(int channel)
{
    if (channel < 0 || channel >= static_cast<int>(kChannelCount))
        return std::nullopt;
    return static_cast<std::size_t>(channel);
}

// Every double-to-integer conversion goes through here: non-finite gives 0, anything else is
// truncated toward zero after clamping to the target type's range.
template <typename Int>
constexpr Int ClampToInt(double value)
{
    if (!std::isfinite(value))
        return 0;
    constexpr double lo = static_cast<double>(std::numeric_limits<Int>::min());
    constexpr double hi = static_cast<double>(std::numeric_limits<Int>::max());
    if (value <= lo)
        return std::numeric_limits<Int>::min();
    if (value >= hi)
        return std::numeric_limits<Int>::max();
    return static_cast<Int>(value);
}
