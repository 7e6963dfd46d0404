// NMEA sentences as a receiver sends them, for the tests: "$BODY*hh\r\n" with the body's checksum.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace testing_support
{
inline std::string Sentence(std::string_view body)
{
    std::uint8_t sum = 0;
    for (const char c : body)
        sum ^= static_cast<std::uint8_t>(c);
    std::array<char, 8> tail{};
    std::snprintf(tail.data(), tail.size(), "*%02X\r\n", sum);
    return "$" + std::string(body) + tail.data();
}
}  // namespace testing_support
