// Decoding of the broadcast navigation message (subframes 1-5) into the engine's ephemeris,
// almanac, ionospheric/UTC and special-message tables. Words arrive parity-checked by the
// receiver; every field is taken from fixed bit positions and scaled by the broadcast LSB values.
#include <cmath>
#include <cstdint>

#include "nav/NavEngine.h"

namespace
{
constexpr std::uint32_t Field(std::uint32_t word, int shift, std::uint32_t mask)
{
    return (word >> shift) & mask;
}

// The low `width` bits of `value` as a two's-complement number.
constexpr std::int32_t Signed(std::uint32_t value, int width)
{
    const std::uint32_t mask = width >= 32 ? 0xFFFFFFFFU : ((1U << width) - 1U);
    const std::uint32_t v = value & mask;
    const std::uint32_t sign = 1U << (width - 1);
    return static_cast<std::int32_t>(static_cast<std::int64_t>(v ^ sign) - static_cast<std::int64_t>(sign));
}

// 8 bits of `high` above the 24 bits of `low`, as an unsigned 32-bit number.
constexpr double Unsigned32(std::uint32_t high, std::uint32_t low)
{
    return static_cast<double>(((high & 0xFFU) << 24) | (low & 0xFFFFFFU));
}

constexpr double kTwoPow11 = 2048.0;
constexpr double kTwoPow14 = 16384.0;
constexpr double kTwoPow16 = 65536.0;
constexpr double kTwoPowM24 = 5.9604644775390625e-08;
constexpr double kTwoPowM27 = 7.450580596923828e-09;
constexpr double kTwoPowM30 = 9.313225746154785e-10;

// SV IDs carried by pages 1..25 of subframes 4 and 5.
constexpr std::array<int, 25> kSubframe4Schedule{57, 25, 26, 27, 28, 57, 29, 30, 31, 32, 57, 62, 52,
                                                 53, 54, 57, 55, 56, 58, 59, 57, 60, 61, 62, 63};
constexpr std::array<int, 25> kSubframe5Schedule{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                                                 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 51};

constexpr std::uint32_t kTowCountsPerWeek = 100800;

// Page index 0..24 from the TOW count; the difference is taken modulo the week first so that the
// last subframes of a week (count 0..4) land on their real pages instead of index -1.
std::size_t PageIndex(std::uint32_t towCount, std::uint32_t k)
{
    const std::uint32_t diff = (towCount + kTowCountsPerWeek - k % kTowCountsPerWeek) % kTowCountsPerWeek;
    return static_cast<std::size_t>((diff / 5) % 25);
}

// Whole seconds of (reference - t), turned into a week correction of -1, 0 or +1.
int WeekCorrection(double reference, double t)
{
    const auto d = ClampToInt<std::int64_t>(reference - t);
    if (d > 302400)
        return -1;
    if (d < -302400)
        return 1;
    return 0;
}

IonoUtcParameters DecodeIonoUtc(const SubframeWords& w)
{
    IonoUtcParameters p;
    p.alpha0 = Signed(w[2] >> 14, 8) * kTwoPowM30;
    p.alpha1 = Signed(w[2] >> 6, 8) * kTwoPowM27;
    p.alpha2 = Signed(w[3] >> 22, 8) * kTwoPowM24;
    p.alpha3 = Signed(w[3] >> 14, 8) * kTwoPowM24;
    p.beta0 = Signed(w[3] >> 6, 8) * kTwoPow11;
    p.beta1 = Signed(w[4] >> 22, 8) * kTwoPow14;
    p.beta2 = Signed(w[4] >> 14, 8) * kTwoPow16;
    p.beta3 = Signed(w[4] >> 6, 8) * kTwoPow16;
    const std::uint32_t a0Bits = (Field(w[6], 6, 0xFFFFFF) << 8) | Field(w[7], 22, 0xFF);
    p.a0 = Signed(a0Bits, 32) * 9.313225746e-10;
    p.a1 = Signed(w[5] >> 6, 24) * 8.881784197e-16;
    p.tot = static_cast<int>(Field(w[7], 14, 0xFF) << 12);
    p.deltaTLs = Signed(w[8] >> 22, 8);
    p.wnT = static_cast<int>(Field(w[7], 6, 0xFF));
    p.wnLsf = static_cast<int>(Field(w[8], 14, 0xFF));
    p.dn = static_cast<int>(Field(w[8], 6, 0xFF));
    p.deltaTLsf = Signed(w[9] >> 22, 8);
    return p;
}

SpecialMessageText DecodeSpecialMessage(const SubframeWords& w)
{
    SpecialMessageText text{};
    std::size_t n = 0;
    auto put = [&](std::uint32_t word, int shift)
    { text[n++] = static_cast<char>(Field(word, shift, 0xFF)); };
    put(w[2], 14);
    put(w[2], 6);
    for (std::size_t k = 3; k <= 8; ++k)
    {
        put(w[k], 22);
        put(w[k], 14);
        put(w[k], 6);
    }
    put(w[9], 22);
    put(w[9], 14);
    text[n] = '\0';
    return text;
}
}  // namespace

void NavEngine::DecodeSubframe(int prn, const SubframeWords& w)
{
    const auto index = PrnIndex(prn);
    if (!index)
        return;
    const std::size_t i = *index;
    const std::uint32_t towCount = Field(w[1], 13, 0x1FFFF);
    const std::uint32_t subframeId = Field(w[1], 8, 7);
    const bool accepted = ephemeris[i].valid != 0 && (ephemeris[i].health & 0x20) == 0;
    SubframeSet& set = subframeSets[i];

    switch (subframeId)
    {
        case 1:
        {
            set.iodc = static_cast<int>(Field(w[7], 22, 0xFF) | ((w[2] & 0xC0U) << 2));
            set.words1 = w;
            set.have1 = 1;
            const bool unhealthy = (w[2] & 0x2000U) != 0;
            if (unhealthy)
                ephemeris[i].health = static_cast<int>(Field(w[2], 8, 0x3F));
            int wk = static_cast<int>(Field(w[2], 20, 0x3FF));
            while (wk - solution.week < -512)
                wk += 1024;
            if (!unhealthy && solution.timeKnown == 0)
            {
                solution.timeKnown = 1;
                solution.firstWeek = wk;
                solution.week = wk;
                solution.timeOfWeek = static_cast<double>(towCount) * 6.0;
            }
            break;
        }
        case 2:
            set.iode2 = static_cast<int>(Field(w[2], 22, 0xFF));
            set.words2 = w;
            set.have2 = 1;
            break;
        case 3:
            set.iode3 = static_cast<int>(Field(w[9], 22, 0xFF));
            set.words3 = w;
            set.have3 = 1;
            break;
        case 4:
        case 5:
        {
            if (!accepted)
                break;
            const auto svId = static_cast<int>(Field(w[2], 22, 0x3F));
            const bool four = subframeId == 4;
            bool dropped = false;
            if (four && svId >= 25 && svId <= 32)
            {
                DecodeAlmanacPage(static_cast<std::size_t>(svId - 1), w, dropped);
            }
            else if (!four && svId >= 1 && svId <= 24)
            {
                DecodeAlmanacPage(static_cast<std::size_t>(svId - 1), w, dropped);
            }
            else if (four && svId == 55)
            {
                specialMessage = DecodeSpecialMessage(w);
            }
            else if (four && svId == 56)
            {
                const IonoUtcParameters p = DecodeIonoUtc(w);
                if (ionoValid == 0 || !(p == iono))
                {
                    iono = p;
                    ionoValid = 1;
                }
            }
            else if (svId == 0)
            {
                const std::size_t page = PageIndex(towCount, four ? 4U : 5U);
                const int scheduled = four ? kSubframe4Schedule[page] : kSubframe5Schedule[page];
                if (const auto target = PrnIndex(scheduled))
                    almanac[*target].state = kAlmanacAbsent;
            }
            if (dropped)
                return;
            break;
        }
        default:
            break;
    }
    CompleteEphemeris(i, towCount);
}

void NavEngine::DecodeAlmanacPage(std::size_t prnIndex, const SubframeWords& w, bool& dropped)
{
    AlmanacRecord a;
    a.health = static_cast<int>(Field(w[4], 6, 0xFF));
    a.e = Field(w[2], 6, 0xFFFF) * 4.768371582e-7;
    a.toa = Field(w[3], 22, 0xFF) * 4096.0;
    a.i = (0.3 + Signed(w[3] >> 6, 16) * 1.907348633e-6) * 3.1415926535898;
    a.omegaDot = Signed(w[4] >> 14, 16) * 1.1429047493986587e-11;
    a.sqrtA = Field(w[5], 6, 0xFFFFFF) * 0.00048828125;
    a.omega0 = Signed(w[6] >> 6, 24) * 3.74507028447019e-7;
    a.omega = Signed(w[7] >> 6, 24) * 3.74507028447019e-7;
    a.m0 = Signed(w[8] >> 6, 24) * 3.74507028447019e-7;
    a.af0 = Signed(((w[9] >> 19) & 0x7F8U) | ((w[9] >> 8) & 7U), 11) * 9.536743164e-7;
    a.af1 = Signed(w[9] >> 11, 11) * 3.637978807e-12;
    if (a.sqrtA == 0.0)
    {
        dropped = true;
        return;
    }
    // Reference week: the measurement week, moved by one when toa lies more than half a week away.
    const double dt = inputs.timeOfWeek - a.toa;
    a.week = inputs.week;
    if (dt > 302400.0)
        a.week = inputs.week + 1;
    else if (dt < -302400.0)
        a.week = inputs.week - 1;
    a.state = kAlmanacHeld;
    almanac[prnIndex] = a;
}

void NavEngine::CompleteEphemeris(std::size_t i, std::uint32_t towCount)
{
    SubframeSet& set = subframeSets[i];
    if (set.have1 == 0 || set.have2 == 0 || set.have3 == 0 || set.iode2 != set.iode3 ||
        set.iode2 != (set.iodc & 0xFF))
        return;
    EphemerisRecord& eph = ephemeris[i];
    if (eph.valid != 0 && eph.iode == set.iode2 && eph.iodc == set.iodc)
        return;

    previousEphemeris[i] = eph;
    const SubframeWords& w1 = set.words1;
    const SubframeWords& w2 = set.words2;
    const SubframeWords& w3 = set.words3;
    const double t = static_cast<double>(towCount) * 6.0;

    eph.tSubframe1 = static_cast<int>(Field(w1[1], 13, 0x1FFFF)) * 6 - 6;
    eph.week10 = static_cast<int>(Field(w1[2], 20, 0x3FF));
    eph.l2PFlag = static_cast<int>(Field(w1[3], 29, 1));
    eph.ura = static_cast<int>(Field(w1[2], 14, 0xF));
    eph.health = static_cast<int>(Field(w1[2], 8, 0x3F));
    eph.tgd = Signed(w1[6] >> 6, 8) * 4.656612873e-10;
    eph.iodc = static_cast<int>(Field(w1[7], 22, 0xFF) | ((w1[2] & 0xC0U) << 2));
    eph.toc = Field(w1[7], 6, 0xFFFF) * 16.0;
    eph.tocWeek = eph.week10 + WeekCorrection(eph.toc, t);
    eph.af2 = Signed(w1[8] >> 22, 8) * 2.775557562e-17;
    eph.af1 = Signed(w1[8] >> 6, 16) * 1.136868377e-13;
    eph.af0 = Signed(w1[9] >> 8, 22) * 4.656612873e-10;
    eph.iode = set.iode2;
    eph.crs = Signed(w2[2] >> 6, 16) * 0.03125;
    eph.deltaN = Signed(w2[3] >> 14, 16) * 3.5715773412817597e-13;
    eph.m0 = Unsigned32(w2[3] >> 6, w2[4] >> 6) * 1.4629180792428494e-9;
    eph.cuc = Signed(w2[5] >> 14, 16) * 1.862645149e-9;
    eph.e = Unsigned32(w2[5] >> 6, w2[6] >> 6) * 1.164153218e-10;
    eph.cus = Signed(w2[7] >> 14, 16) * 1.862645149e-9;
    eph.sqrtA = Unsigned32(w2[7] >> 6, w2[8] >> 6) * 1.907348633e-6;
    if (eph.sqrtA == 0.0)
        return;
    eph.toe = Field(w2[9], 14, 0xFFFF) * 16.0;
    eph.toeWeek = eph.week10 + WeekCorrection(eph.toe, t);
    eph.fitFlag = static_cast<int>(Field(w2[9], 13, 1));
    eph.cic = Signed(w3[2] >> 14, 16) * 1.862645149e-9;
    eph.omega0 = Unsigned32(w3[2] >> 6, w3[3] >> 6) * 1.4629180792428494e-9;
    eph.cis = Signed(w3[4] >> 14, 16) * 1.862645149e-9;
    eph.i0 = Unsigned32(w3[4] >> 6, w3[5] >> 6) * 1.4629180792428494e-9;
    eph.crc = Signed(w3[6] >> 14, 16) * 0.03125;
    eph.omega = Unsigned32(w3[6] >> 6, w3[7] >> 6) * 1.4629180792428494e-9;
    eph.omegaDot = Signed(w3[8] >> 6, 24) * 3.5715773412817597e-13;
    eph.idot = Signed(w3[9] >> 8, 14) * 3.5715773412817597e-13;
    eph.a = eph.sqrtA * eph.sqrtA;
    eph.valid = 1;
    eph.n0 = std::sqrt(3.986005e14 / (eph.a * eph.a * eph.a));
    set.have1 = set.have2 = set.have3 = 0;

    // A new or replaced ephemeris moves the satellite at once: its look-table row (Sagnac and
    // delay terms) must not stay on the almanac or the old issue until the next periodic refresh.
    RefreshLookRow(i, inputs.week, inputs.timeOfWeek);
    refreshStamps[i] = ClampToInt<std::int32_t>(inputs.timeOfWeek);
}
