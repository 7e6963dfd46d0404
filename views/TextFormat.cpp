// Locale-independent number texts.
#include "views/TextFormat.h"

#include <array>
#include <charconv>
#include <cmath>

namespace text
{
std::string Pad(std::string s, int width, bool leftAlign)
{
    const auto w = static_cast<std::size_t>(width > 0 ? width : 0);
    if (s.size() >= w)
        return s;
    if (leftAlign)
        return s + std::string(w - s.size(), ' ');
    return std::string(w - s.size(), ' ') + s;
}

std::string Int(long long value, int width, bool leftAlign, bool zeroPad)
{
    std::array<char, 32> buffer{};
    const auto magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude);
    std::string digits(buffer.data(), result.ptr);
    const std::string sign = value < 0 ? "-" : "";
    if (zeroPad && !leftAlign)
    {
        const auto total = static_cast<std::size_t>(width > 0 ? width : 0);
        if (sign.size() + digits.size() < total)
            digits.insert(0, total - sign.size() - digits.size(), '0');
    }
    return Pad(sign + digits, width, leftAlign);
}

std::string Hex(unsigned long long value, int width, bool zeroPad, bool upper)
{
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, 16);
    std::string digits(buffer.data(), result.ptr);
    if (upper)
        for (char& ch : digits)
            if (ch >= 'a' && ch <= 'f')
                ch = static_cast<char>(ch - 'a' + 'A');
    if (zeroPad && width > 0 && digits.size() < static_cast<std::size_t>(width))
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return Pad(digits, width, false);
}

std::string Fixed(double value, int precision, int width, bool leftAlign)
{
    if (std::isnan(value))
        return Pad(std::signbit(value) ? "-nan" : "nan", width, leftAlign);
    if (std::isinf(value))
        return Pad(value < 0 ? "-inf" : "inf", width, leftAlign);
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, precision);
    return Pad(std::string(buffer.data(), result.ptr), width, leftAlign);
}

double LeadingNumber(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
    {
        negative = s[i] == '-';
        ++i;
    }
    if (i < s.size() && s[i] == '-')
        return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(s.data() + i, s.data() + s.size(), value, std::chars_format::fixed);
    if (result.ec != std::errc{})
        return 0.0;
    return negative ? -value : value;
}
}  // namespace text
