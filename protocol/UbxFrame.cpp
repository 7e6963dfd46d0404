// UBX framing: checksum, outgoing frames, message names and the frame extractor.
//
// The extractor. A u-blox receiver interleaves UBX frames (0xB5 0x62, class, id, a little-endian
// length, the payload and an 8-bit Fletcher checksum over class to payload) with NMEA sentences,
// and a reader hands the stream over in chunks of any size, so a frame may start in one chunk and
// end many chunks later. The extractor keeps what it has collected between calls. Outside a frame
// it hands on the bytes up to the next 0xB5 as text (memchr finds it, so an NMEA-only stream costs
// one scan); a sync pair starts a frame, whose header, payload and checksum are collected by block
// copies.
//
// Bad data. A length above 8 KiB cannot start a frame; a completed frame with a wrong checksum is
// dropped. Both are counted, and since a sync pair inside noise (or a frame cut short by a lost
// byte) may have swallowed good data behind it, the bytes after the false sync pair are scanned
// again before the rest of the input: the extractor resynchronises on the next sync pair and loses
// no frame and no sentence that followed the damage. Every drop gives up at least the two sync
// bytes, so the rescans end. A 0xB5 not followed by 0x62 is dropped; it is no text character.
#include "protocol/UbxFrame.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace ubx
{
namespace
{
struct NamedMessage
{
    std::uint16_t key;
    const char* name;
};
constexpr std::array kNames{
    NamedMessage{kNavPosEcef, "NAV-POSECEF"}, NamedMessage{kNavPosLlh, "NAV-POSLLH"},
    NamedMessage{kNavStatus, "NAV-STATUS"},   NamedMessage{kNavDop, "NAV-DOP"},
    NamedMessage{kNavSol, "NAV-SOL"},         NamedMessage{kNavPvt, "NAV-PVT"},
    NamedMessage{kNavVelEcef, "NAV-VELECEF"}, NamedMessage{kNavVelNed, "NAV-VELNED"},
    NamedMessage{kNavTimeGps, "NAV-TIMEGPS"}, NamedMessage{kNavTimeUtc, "NAV-TIMEUTC"},
    NamedMessage{kNavSvInfo, "NAV-SVINFO"},   NamedMessage{kNavSat, "NAV-SAT"},
    NamedMessage{kNavEoe, "NAV-EOE"},         NamedMessage{kRxmRaw, "RXM-RAW"},
    NamedMessage{kRxmSfrb, "RXM-SFRB"},       NamedMessage{kRxmSfrbx, "RXM-SFRBX"},
    NamedMessage{kRxmRawx, "RXM-RAWX"},       NamedMessage{kAckNak, "ACK-NAK"},
    NamedMessage{kAckAck, "ACK-ACK"},         NamedMessage{kCfgPrt, "CFG-PRT"},
    NamedMessage{kCfgMsg, "CFG-MSG"},         NamedMessage{kCfgRst, "CFG-RST"},
    NamedMessage{kCfgValSet, "CFG-VALSET"},   NamedMessage{kMonVer, "MON-VER"},
    NamedMessage{MessageKey(kClassInf, 0x00), "INF-ERROR"},
    NamedMessage{MessageKey(kClassInf, 0x01), "INF-WARNING"},
    NamedMessage{MessageKey(kClassInf, 0x02), "INF-NOTICE"},
    NamedMessage{MessageKey(kClassInf, 0x03), "INF-TEST"},
    NamedMessage{MessageKey(kClassInf, 0x04), "INF-DEBUG"},
};
}  // namespace

const char* MessageName(std::uint16_t key)
{
    for (const NamedMessage& m : kNames)
        if (m.key == key)
            return m.name;
    return "";
}

bool IsDecoded(std::uint16_t key)
{
    if (key >> 8 == kClassInf)
        return (key & 0xFFU) <= 0x04;
    constexpr std::array kDecoded{kNavPosLlh, kNavStatus, kNavDop,  kNavSol,  kNavPvt,   kNavVelNed,
                                  kNavTimeGps, kNavTimeUtc, kNavSvInfo, kNavSat, kRxmRaw,  kRxmSfrb,
                                  kRxmSfrbx,  kRxmRawx,  kAckNak,  kAckAck,  kMonVer};
    return std::find(kDecoded.begin(), kDecoded.end(), key) != kDecoded.end();
}

std::string MessageLabel(std::uint16_t key)
{
    const char* name = MessageName(key);
    if (*name != '\0')
        return name;
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "0x%02X-0x%02X", static_cast<unsigned>(key >> 8),
                  static_cast<unsigned>(key & 0xFFU));
    return text.data();
}

std::array<std::uint8_t, 2> Checksum(std::span<const std::uint8_t> bytes)
{
    unsigned a = 0, b = 0;
    for (const std::uint8_t byte : bytes)
    {
        a += byte;
        b += a;
    }
    return {static_cast<std::uint8_t>(a & 0xFFU), static_cast<std::uint8_t>(b & 0xFFU)};
}

std::vector<std::uint8_t> BuildFrame(std::uint8_t cls, std::uint8_t id, std::span<const std::uint8_t> payload)
{
    if (payload.size() > kMaxPayload)
        return {};
    std::vector<std::uint8_t> frame;
    frame.reserve(kHeaderSize + payload.size() + kChecksumSize);
    frame.insert(frame.end(), {kSync1, kSync2, cls, id, static_cast<std::uint8_t>(payload.size() & 0xFFU),
                               static_cast<std::uint8_t>(payload.size() >> 8)});
    frame.insert(frame.end(), payload.begin(), payload.end());
    const auto sum = Checksum(std::span(frame).subspan(2));
    frame.insert(frame.end(), sum.begin(), sum.end());
    return frame;
}

CUbxExtractor::CUbxExtractor()
{
    m_frame.reserve(kHeaderSize + kMaxPayload + kChecksumSize);
}

void CUbxExtractor::HoldBack(std::size_t from)
{
    // What follows the failed frame's first bytes is read again, ahead of the unread rest.
    std::vector<std::uint8_t> again(m_frame.begin() + static_cast<std::ptrdiff_t>(from), m_frame.end());
    again.insert(again.end(), m_held.begin() + static_cast<std::ptrdiff_t>(m_heldAt), m_held.end());
    m_held = std::move(again);
    m_heldAt = 0;
    m_frame.clear();
    m_state = State::Hunting;
}

Event CUbxExtractor::Scan(const std::uint8_t* data, std::size_t n, std::size_t& used)
{
    std::size_t i = 0;
    Event event;
    while (i < n && event.kind == Event::Kind::None)
    {
        switch (m_state)
        {
            case State::Hunting:
            {
                const auto* sync = static_cast<const std::uint8_t*>(std::memchr(data + i, kSync1, n - i));
                const std::size_t end = sync != nullptr ? static_cast<std::size_t>(sync - data) : n;
                if (end > i)
                {
                    event.kind = Event::Kind::Text;
                    event.bytes = std::span(data + i, end - i);
                    m_counters.textBytes += end - i;
                    i = end;
                }
                else
                {
                    ++i;
                    m_state = State::AfterSync;
                }
                break;
            }
            case State::AfterSync:
                if (data[i] == kSync2)
                {
                    ++i;
                    m_frame.assign({kSync1, kSync2});
                    m_state = State::Header;
                }
                else
                    m_state = State::Hunting;  // a lone 0xB5; this byte is looked at again
                break;
            case State::Header:
            case State::Body:
            {
                const std::size_t want = m_state == State::Header ? kHeaderSize : m_need;
                const std::size_t take = std::min(want - m_frame.size(), n - i);
                m_frame.insert(m_frame.end(), data + i, data + i + take);
                i += take;
                if (m_frame.size() < want)
                    break;
                if (m_state == State::Header)
                {
                    const std::size_t length = m_frame[4] | static_cast<std::size_t>(m_frame[5]) << 8;
                    if (length > kMaxPayload)
                    {
                        ++m_counters.tooLong;
                        m_dropped = true;
                        used = i;
                        return event;
                    }
                    m_need = kHeaderSize + length + kChecksumSize;
                    m_state = State::Body;
                    break;
                }
                const std::size_t end = m_need - kChecksumSize;
                const auto sum = Checksum(std::span(m_frame).subspan(2, end - 2));
                if (sum[0] != m_frame[end] || sum[1] != m_frame[end + 1])
                {
                    ++m_counters.badChecksum;
                    m_dropped = true;
                    used = i;
                    return event;
                }
                ++m_counters.frames;
                ++m_counters.perMessage[MessageKey(m_frame[2], m_frame[3])];
                event.kind = Event::Kind::Frame;
                event.cls = m_frame[2];
                event.id = m_frame[3];
                event.bytes = std::span(m_frame).subspan(kHeaderSize, end - kHeaderSize);
                m_state = State::Hunting;
                break;
            }
        }
    }
    used = i;
    return event;
}

Event CUbxExtractor::Next(ChunkRef& chunk)
{
    for (;;)
    {
        std::size_t used = 0;
        Event event;
        if (m_heldAt < m_held.size())
        {
            event = Scan(m_held.data() + m_heldAt, m_held.size() - m_heldAt, used);
            m_heldAt += used;
        }
        else if (chunk.position != nullptr && chunk.count > 0)
        {
            event = Scan(chunk.position, chunk.count, used);
            chunk.count -= used;
            chunk.position = chunk.count > 0 ? chunk.position + used : nullptr;
        }
        else
        {
            chunk = {};
            return {};
        }
        if (m_dropped)
        {
            // The bytes after the false sync pair go in front of what is still unread.
            m_dropped = false;
            HoldBack(2);
            continue;
        }
        if (event.kind != Event::Kind::None)
            return event;
    }
}
}  // namespace ubx
