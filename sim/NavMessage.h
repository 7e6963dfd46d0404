// The LNAV navigation message of the simulated satellites: ten 30-bit words per subframe, data bits
// 1-24 in bits 29..6 and the six parity bits in bits 5..0 (bits 31..30 zero), as the receiver hands
// them over in its subframe message once they passed its parity check. Words 2 and 10 end in the
// two bits that make parity bits 29 and 30 zero, so the next word never goes out inverted.
#pragma once

#include <array>
#include <cstdint>

#include "sim/Constellation.h"

namespace vrnsim
{

using SubframeWords = std::array<std::uint32_t, 10>;

// The six parity bits of a word with source data bits `data24` (bit 23 = data bit 1), given the
// previous word (its bits 1..0 are D29* and D30*).
std::uint32_t ParityBits(std::uint32_t data24, std::uint32_t previousWord);
// True when the parity bits of `word` are those of its data after `previousWord`.
bool ParityOk(std::uint32_t word, std::uint32_t previousWord);

// Subframe id 1..5 of the subframe transmitted from `start` (a multiple of 6 s).
int SubframeIdAt(GpsTime start);
// The 17-bit HOW time-of-week count of that subframe: the start of the next subframe in 6-s units.
std::uint32_t HowTowCount(GpsTime start);
// Page number 1..25 of a subframe 4 or 5 transmitted from `start`.
int PageAt(GpsTime start);
// The data/SV ID carried by each page (index page - 1) of subframes 4 and 5.
inline constexpr std::array<int, 25> kSubframe4SvIds = {57, 25, 26, 27, 28, 57, 29, 30, 31, 32, 57, 62, 52,
                                                        53, 54, 57, 55, 56, 58, 59, 57, 60, 61, 62, 63};

// The subframe that `prn` transmits from `start` (a multiple of 6 s of GPS time).
SubframeWords BuildSubframe(CConstellation& constellation, int prn, GpsTime start);

}  // namespace vrnsim
