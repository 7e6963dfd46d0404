// printf-style number texts for the views' fields, independent of the C locale: the views show
// "." as the decimal separator whatever the user's locale is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace text
{
// "%d" with a minimum width: left-aligned ("%-9d"), zero-padded ("%02d") or right-aligned ("%3d").
std::string Int(long long value, int width = 0, bool leftAlign = false, bool zeroPad = false);
// "%x" / "%02X".
std::string Hex(unsigned long long value, int width = 0, bool zeroPad = false, bool upper = false);
// "%.Nf" with a minimum width, right-aligned unless `leftAlign` ("%-4.2f").
std::string Fixed(double value, int precision, int width = 0, bool leftAlign = false);
// Pads `s` with blanks to `width` on the right (leftAlign) or left.
std::string Pad(std::string s, int width, bool leftAlign);
// A NUL-terminated text slot as a string (up to the first NUL or the slot's end).
template <typename Slot>
std::string_view SlotText(const Slot& slot)
{
    std::size_t n = 0;
    while (n < slot.size() && slot[n] != '\0')
        ++n;
    return {slot.data(), n};
}
// The leading number of a text, as the C conversion reads it (blanks first, optional sign);
// 0 when the text does not start with a number.
double LeadingNumber(std::string_view s);
}  // namespace text
