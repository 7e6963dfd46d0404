// How the classic NMEA records read a number from a sentence field: the C library's decimal
// conversion (leading white space, an optional sign, the digits up to the first other character),
// clamped to int instead of overflowing; no digits gives 0. Shared by the record decoders and the
// satellite-table import, which fills the classic GSV records from the fields it reads anyway.
#pragma once

#include <algorithm>
#include <climits>
#include <string_view>

inline int ClassicFieldToInt(std::string_view field)
{
    std::size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || (field[i] >= '\t' && field[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-'))
        negative = field[i++] == '-';
    long long value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i)
    {
        value = value * 10 + (field[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}
