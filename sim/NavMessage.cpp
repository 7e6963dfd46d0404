// Subframe assembly and the (32,26) Hamming parity of the LNAV message.
#include "sim/NavMessage.h"

#include <bit>
#include <cmath>
#include <initializer_list>
#include <string_view>

namespace vrnsim
{
namespace
{
constexpr std::uint32_t Mask(std::initializer_list<int> bits)
{
    std::uint32_t m = 0;
    for (const int b : bits)
        m |= 1U << (24 - b);  // data bit 1 is the most significant of the 24
    return m;
}
// Data bits entering parity bits 25..30, and which of D29*/D30* each one takes.
constexpr std::array<std::uint32_t, 6> kParityMasks = {
    Mask({1, 2, 3, 5, 6, 10, 11, 12, 13, 14, 17, 18, 20, 23}),
    Mask({2, 3, 4, 6, 7, 11, 12, 13, 14, 15, 18, 19, 21, 24}),
    Mask({1, 3, 4, 5, 7, 8, 12, 13, 14, 15, 16, 19, 20, 22}),
    Mask({2, 4, 5, 6, 8, 9, 13, 14, 15, 16, 17, 20, 21, 23}),
    Mask({1, 3, 5, 6, 7, 9, 10, 14, 15, 16, 17, 18, 21, 22, 24}),
    Mask({3, 5, 6, 8, 9, 10, 11, 13, 15, 19, 22, 23, 24}),
};
constexpr std::array<bool, 6> kUsesD30 = {false, true, false, true, true, false};

// Fills the 24 data bits of one word from its most significant bit on.
class WordBits
{
public:
    WordBits& Put(std::uint32_t value, int width)
    {
        m_bits = (m_bits << width) | (value & ((1U << width) - 1U));
        m_used += width;
        return *this;
    }
    WordBits& PutSigned(std::int32_t value, int width)
    {
        return Put(static_cast<std::uint32_t>(value), width);
    }
    int Used() const { return m_used; }
    std::uint32_t Bits() const { return m_bits; }

private:
    std::uint32_t m_bits = 0;
    int m_used = 0;
};

// Collects the ten words of a subframe, chaining the parity.
class SubframeBuilder
{
public:
    void Add(const WordBits& w)
    {
        const std::uint32_t previous = m_count == 0 ? 0U : m_words[m_count - 1];
        std::uint32_t data = w.Bits();
        if (w.Used() == 22)  // words 2 and 10: choose the last two bits so that D29 = D30 = 0
        {
            for (std::uint32_t t = 0; t < 4; ++t)
                if ((ParityBits((data << 2) | t, previous) & 3U) == 0)
                {
                    data = (data << 2) | t;
                    break;
                }
        }
        m_words[m_count] = (data << 6) | ParityBits(data, previous);
        ++m_count;
    }
    SubframeWords Words() const { return m_words; }

private:
    SubframeWords m_words{};
    std::size_t m_count = 0;
};

std::uint32_t Upper8(std::uint32_t v)
{
    return v >> 24;
}
std::uint32_t Lower24(std::uint32_t v)
{
    return v & 0xFFFFFFU;
}
std::uint32_t Upper8(std::int32_t v)
{
    return static_cast<std::uint32_t>(v) >> 24;
}
std::uint32_t Lower24(std::int32_t v)
{
    return static_cast<std::uint32_t>(v) & 0xFFFFFFU;
}

void AddHeader(SubframeBuilder& b, GpsTime start)
{
    b.Add(WordBits().Put(0x8B, 8).Put(0, 14).Put(0, 1).Put(0, 1));  // preamble, TLM message, flags
    b.Add(WordBits()
              .Put(HowTowCount(start), 17)
              .Put(0, 1)  // alert
              .Put(1, 1)  // anti-spoof on
              .Put(static_cast<std::uint32_t>(SubframeIdAt(start)), 3));
}

void AddSubframe1(SubframeBuilder& b, const LnavEphemeris& e, int week)
{
    b.Add(WordBits()
              .Put(static_cast<std::uint32_t>(week) & 0x3FFU, 10)
              .Put(static_cast<std::uint32_t>(e.codeOnL2), 2)
              .Put(static_cast<std::uint32_t>(e.ura), 4)
              .Put(static_cast<std::uint32_t>(e.health), 6)
              .Put(static_cast<std::uint32_t>(e.iodc) >> 8, 2));
    b.Add(WordBits().Put(static_cast<std::uint32_t>(e.l2pFlag), 1).Put(0, 23));
    b.Add(WordBits().Put(0, 24));
    b.Add(WordBits().Put(0, 24));
    b.Add(WordBits().Put(0, 16).PutSigned(e.tgd, 8));
    b.Add(WordBits().Put(static_cast<std::uint32_t>(e.iodc), 8).Put(e.toc, 16));
    b.Add(WordBits().PutSigned(e.af2, 8).PutSigned(e.af1, 16));
    b.Add(WordBits().PutSigned(e.af0, 22));
}

void AddSubframe2(SubframeBuilder& b, const LnavEphemeris& e)
{
    b.Add(WordBits().Put(static_cast<std::uint32_t>(e.iode), 8).PutSigned(e.crs, 16));
    b.Add(WordBits().PutSigned(e.deltaN, 16).Put(Upper8(e.m0), 8));
    b.Add(WordBits().Put(Lower24(e.m0), 24));
    b.Add(WordBits().PutSigned(e.cuc, 16).Put(Upper8(e.e), 8));
    b.Add(WordBits().Put(Lower24(e.e), 24));
    b.Add(WordBits().PutSigned(e.cus, 16).Put(Upper8(e.sqrtA), 8));
    b.Add(WordBits().Put(Lower24(e.sqrtA), 24));
    b.Add(WordBits()
              .Put(e.toe, 16)
              .Put(static_cast<std::uint32_t>(e.fitFlag), 1)
              .Put(static_cast<std::uint32_t>(e.aodo), 5));
}

void AddSubframe3(SubframeBuilder& b, const LnavEphemeris& e)
{
    b.Add(WordBits().PutSigned(e.cic, 16).Put(Upper8(e.omega0), 8));
    b.Add(WordBits().Put(Lower24(e.omega0), 24));
    b.Add(WordBits().PutSigned(e.cis, 16).Put(Upper8(e.i0), 8));
    b.Add(WordBits().Put(Lower24(e.i0), 24));
    b.Add(WordBits().PutSigned(e.crc, 16).Put(Upper8(e.omega), 8));
    b.Add(WordBits().Put(Lower24(e.omega), 24));
    b.Add(WordBits().PutSigned(e.omegaDot, 24));
    b.Add(WordBits().Put(static_cast<std::uint32_t>(e.iode), 8).PutSigned(e.idot, 14));
}

void AddAlmanacPage(SubframeBuilder& b, const LnavAlmanac& a)
{
    b.Add(WordBits().Put(1, 2).Put(static_cast<std::uint32_t>(a.prn), 6).Put(a.e, 16));
    b.Add(WordBits().Put(a.toa, 8).PutSigned(a.deltaI, 16));
    b.Add(WordBits().PutSigned(a.omegaDot, 16).Put(static_cast<std::uint32_t>(a.health), 8));
    b.Add(WordBits().Put(a.sqrtA, 24));
    b.Add(WordBits().PutSigned(a.omega0, 24));
    b.Add(WordBits().PutSigned(a.omega, 24));
    b.Add(WordBits().PutSigned(a.m0, 24));
    const auto af0 = static_cast<std::uint32_t>(a.af0) & 0x7FFU;
    b.Add(WordBits().Put(af0 >> 3, 8).PutSigned(a.af1, 11).Put(af0, 3));
}

void AddIonoUtcPage(SubframeBuilder& b, const LnavIonoUtc& p)
{
    b.Add(WordBits().Put(1, 2).Put(56, 6).PutSigned(p.alpha0, 8).PutSigned(p.alpha1, 8));
    b.Add(WordBits().PutSigned(p.alpha2, 8).PutSigned(p.alpha3, 8).PutSigned(p.beta0, 8));
    b.Add(WordBits().PutSigned(p.beta1, 8).PutSigned(p.beta2, 8).PutSigned(p.beta3, 8));
    b.Add(WordBits().PutSigned(p.a1, 24));
    b.Add(WordBits().Put(static_cast<std::uint32_t>(p.a0) >> 8, 24));
    b.Add(WordBits().Put(static_cast<std::uint32_t>(p.a0), 8).Put(p.tot, 8).Put(p.wnT, 8));
    b.Add(WordBits().PutSigned(p.deltaTLs, 8).Put(p.wnLsf, 8).Put(p.dn, 8));
    b.Add(WordBits().PutSigned(p.deltaTLsf, 8).Put(0, 14));
}

void AddTextPage(SubframeBuilder& b, std::string_view text)
{
    auto ch = [&](std::size_t i) { return i < text.size() ? static_cast<std::uint32_t>(text[i]) : 0x20U; };
    b.Add(WordBits().Put(1, 2).Put(55, 6).Put(ch(0), 8).Put(ch(1), 8));
    for (std::size_t w = 0; w < 6; ++w)
        b.Add(WordBits().Put(ch(2 + 3 * w), 8).Put(ch(3 + 3 * w), 8).Put(ch(4 + 3 * w), 8));
    b.Add(WordBits().Put(ch(20), 8).Put(ch(21), 8).Put(0, 6));
}

// Subframe 5 page 25: almanac reference time and week, health of SVs 1-24.
void AddHealthPage5(SubframeBuilder& b, const CConstellation& c)
{
    b.Add(WordBits()
              .Put(1, 2)
              .Put(51, 6)
              .Put(c.Almanac(1).toa, 8)
              .Put(static_cast<std::uint32_t>(c.AlmanacWeek()) & 0xFFU, 8));
    for (int w = 0; w < 6; ++w)
    {
        WordBits bits;
        for (int k = 0; k < 4; ++k)
            bits.Put(c.Exists(1 + 4 * w + k) ? 0U : 0x3FU, 6);
        b.Add(bits);
    }
    b.Add(WordBits().Put(0, 22));
}

// Subframe 4 page 25: anti-spoofing flags and configurations of SVs 1-32, health of SVs 25-32.
void AddHealthPage4(SubframeBuilder& b, const CConstellation& c)
{
    auto config = [&](int prn) { return c.Exists(prn) ? 0x9U : 0x0U; };
    auto health = [&](int prn) { return c.Exists(prn) ? 0x0U : 0x3FU; };
    WordBits w3;
    w3.Put(1, 2).Put(63, 6);
    for (int prn = 1; prn <= 4; ++prn)
        w3.Put(config(prn), 4);
    b.Add(w3);
    for (int w = 0; w < 4; ++w)
    {
        WordBits bits;
        for (int k = 0; k < 6; ++k)
            bits.Put(config(5 + 6 * w + k), 4);
        b.Add(bits);
    }
    WordBits w8;
    for (int prn = 29; prn <= 32; ++prn)
        w8.Put(config(prn), 4);
    b.Add(w8.Put(0, 2).Put(health(25), 6));
    b.Add(WordBits().Put(health(26), 6).Put(health(27), 6).Put(health(28), 6).Put(health(29), 6));
    b.Add(WordBits().Put(health(30), 6).Put(health(31), 6).Put(health(32), 6).Put(0, 4));
}

void AddEmptyPage(SubframeBuilder& b, int svId)
{
    b.Add(WordBits().Put(1, 2).Put(static_cast<std::uint32_t>(svId), 6).Put(0, 16));
    for (int w = 0; w < 6; ++w)
        b.Add(WordBits().Put(0, 24));
    b.Add(WordBits().Put(0, 22));
}
}  // namespace

std::uint32_t ParityBits(std::uint32_t data24, std::uint32_t previousWord)
{
    const std::uint32_t d29 = (previousWord >> 1) & 1U;
    const std::uint32_t d30 = previousWord & 1U;
    std::uint32_t parity = 0;
    for (std::size_t i = 0; i < kParityMasks.size(); ++i)
    {
        const std::uint32_t p = (static_cast<std::uint32_t>(std::popcount(data24 & kParityMasks[i])) & 1U) ^
                                (kUsesD30[i] ? d30 : d29);
        parity = (parity << 1) | p;
    }
    return parity;
}

bool ParityOk(std::uint32_t word, std::uint32_t previousWord)
{
    return (word >> 30) == 0 && ParityBits((word >> 6) & 0xFFFFFFU, previousWord) == (word & 0x3FU);
}

int SubframeIdAt(GpsTime start)
{
    return static_cast<int>(static_cast<long>(std::floor(start.tow / 6.0 + 1e-9)) % 5) + 1;
}

std::uint32_t HowTowCount(GpsTime start)
{
    return static_cast<std::uint32_t>(static_cast<long>(std::floor(start.tow / 6.0 + 1e-9)) + 1) % 100800U;
}

int PageAt(GpsTime start)
{
    return static_cast<int>(static_cast<long>(std::floor(start.tow / 30.0 + 1e-9)) % 25) + 1;
}

SubframeWords BuildSubframe(CConstellation& constellation, int prn, GpsTime start)
{
    SubframeBuilder b;
    AddHeader(b, start);
    const int id = SubframeIdAt(start);
    const int page = PageAt(start);
    switch (id)
    {
        case 1:
            AddSubframe1(b, constellation.Ephemeris(prn, start), start.week);
            break;
        case 2:
            AddSubframe2(b, constellation.Ephemeris(prn, start));
            break;
        case 3:
            AddSubframe3(b, constellation.Ephemeris(prn, start));
            break;
        case 4:
        {
            const int svId = kSubframe4SvIds[static_cast<std::size_t>(page - 1)];
            if (svId >= 25 && svId <= 32)
            {
                if (constellation.Exists(svId))
                    AddAlmanacPage(b, constellation.Almanac(svId));
                else
                    AddEmptyPage(b, 0);
            }
            else if (svId == 56)
                AddIonoUtcPage(b, constellation.IonoUtc());
            else if (svId == 55)
                AddTextPage(b, "VRNSIM SIMULATED GPS  ");
            else if (svId == 63)
                AddHealthPage4(b, constellation);
            else
                AddEmptyPage(b, svId);
            break;
        }
        default:
            if (page == 25)
                AddHealthPage5(b, constellation);
            else if (constellation.Exists(page))
                AddAlmanacPage(b, constellation.Almanac(page));
            else
                AddEmptyPage(b, 0);
            break;
    }
    return b.Words();
}

}  // namespace vrnsim
