// The framing of the u-blox binary protocol (UBX): message classes and ids, the 8-bit Fletcher
// checksum, outgoing frames, and the extractor that pulls UBX frames and the text between them
// (NMEA sentences) out of the chunks a reader hands over.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "protocol/CData.h"

namespace ubx
{
inline constexpr std::uint8_t kSync1 = 0xB5;
inline constexpr std::uint8_t kSync2 = 0x62;
inline constexpr std::size_t kHeaderSize = 6;    // sync pair, class, id, 16-bit length
inline constexpr std::size_t kChecksumSize = 2;  // CK_A, CK_B
// The longest payload accepted; a length field above it cannot start a frame.
inline constexpr std::size_t kMaxPayload = 8192;

// Message classes.
inline constexpr std::uint8_t kClassNav = 0x01, kClassRxm = 0x02, kClassInf = 0x04, kClassAck = 0x05,
                              kClassCfg = 0x06, kClassMon = 0x0A;

// A message as class << 8 | id.
[[nodiscard]] constexpr std::uint16_t MessageKey(std::uint8_t cls, std::uint8_t id)
{
    return static_cast<std::uint16_t>(cls << 8 | id);
}
inline constexpr std::uint16_t kNavPosEcef = MessageKey(kClassNav, 0x01);
inline constexpr std::uint16_t kNavPosLlh = MessageKey(kClassNav, 0x02);
inline constexpr std::uint16_t kNavStatus = MessageKey(kClassNav, 0x03);
inline constexpr std::uint16_t kNavDop = MessageKey(kClassNav, 0x04);
inline constexpr std::uint16_t kNavSol = MessageKey(kClassNav, 0x06);
inline constexpr std::uint16_t kNavPvt = MessageKey(kClassNav, 0x07);
inline constexpr std::uint16_t kNavVelEcef = MessageKey(kClassNav, 0x11);
inline constexpr std::uint16_t kNavVelNed = MessageKey(kClassNav, 0x12);
inline constexpr std::uint16_t kNavTimeGps = MessageKey(kClassNav, 0x20);
inline constexpr std::uint16_t kNavTimeUtc = MessageKey(kClassNav, 0x21);
inline constexpr std::uint16_t kNavSvInfo = MessageKey(kClassNav, 0x30);
inline constexpr std::uint16_t kNavSat = MessageKey(kClassNav, 0x35);
inline constexpr std::uint16_t kNavEoe = MessageKey(kClassNav, 0x61);
inline constexpr std::uint16_t kRxmRaw = MessageKey(kClassRxm, 0x10);
inline constexpr std::uint16_t kRxmSfrb = MessageKey(kClassRxm, 0x11);
inline constexpr std::uint16_t kRxmSfrbx = MessageKey(kClassRxm, 0x13);
inline constexpr std::uint16_t kRxmRawx = MessageKey(kClassRxm, 0x15);
inline constexpr std::uint16_t kAckNak = MessageKey(kClassAck, 0x00);
inline constexpr std::uint16_t kAckAck = MessageKey(kClassAck, 0x01);
inline constexpr std::uint16_t kCfgPrt = MessageKey(kClassCfg, 0x00);
inline constexpr std::uint16_t kCfgMsg = MessageKey(kClassCfg, 0x01);
inline constexpr std::uint16_t kCfgRst = MessageKey(kClassCfg, 0x04);
inline constexpr std::uint16_t kCfgValSet = MessageKey(kClassCfg, 0x8A);
inline constexpr std::uint16_t kMonVer = MessageKey(kClassMon, 0x04);

// "NAV-PVT" for the messages this program knows, "" for others.
[[nodiscard]] const char* MessageName(std::uint16_t key);
// Whether the record set decodes the message (the raw measurement messages feed the own fix).
[[nodiscard]] bool IsDecoded(std::uint16_t key);
// "NAV-PVT", or "0x01-0x3C" for a message without a name.
[[nodiscard]] std::string MessageLabel(std::uint16_t key);

// The two checksum bytes (CK_A, CK_B) over class, id, length and payload.
[[nodiscard]] std::array<std::uint8_t, 2> Checksum(std::span<const std::uint8_t> classToPayloadEnd);
// A complete frame: sync pair, class, id, little-endian length, payload, checksum. Payloads longer
// than kMaxPayload are not framed (empty result): no receiver would take them.
[[nodiscard]] std::vector<std::uint8_t> BuildFrame(std::uint8_t cls, std::uint8_t id,
                                                   std::span<const std::uint8_t> payload);

// One thing the extractor found.
struct Event
{
    enum class Kind : std::uint8_t
    {
        None,   // the chunk (and everything held back) is used up
        Frame,  // a frame with a good checksum: `bytes` is its payload
        Text    // bytes outside any frame, in stream order (the NMEA sentences among them)
    };
    Kind kind = Kind::None;
    std::uint8_t cls = 0;
    std::uint8_t id = 0;
    std::span<const std::uint8_t> bytes;  // valid until the next call
    [[nodiscard]] std::uint16_t Key() const { return MessageKey(cls, id); }
};

// Frames and dropped frames of one extractor, for --stats and the tests.
struct ExtractorCounters
{
    std::uint64_t frames = 0;        // good checksums
    std::uint64_t badChecksum = 0;   // dropped: checksum wrong
    std::uint64_t tooLong = 0;       // dropped: length field above kMaxPayload
    std::uint64_t textBytes = 0;     // bytes handed on as text
    std::map<std::uint16_t, std::uint64_t> perMessage;  // good frames by class << 8 | id
};

// Pulls UBX frames out of a byte stream that also carries text. One per reader thread (it lives in
// the parse context, not in the record set the views copy); a frame may be split over any number
// of chunks. See the .cpp for how it resynchronises.
class CUbxExtractor
{
public:
    CUbxExtractor();

    // The next event from the bytes held back and then from `chunk`, whose position and count
    // advance over what was used (position null once all of it is). A Text event never spans a
    // possible frame start; a Frame's payload is at most kMaxPayload bytes.
    [[nodiscard]] Event Next(ChunkRef& chunk);
    [[nodiscard]] const ExtractorCounters& Counters() const { return m_counters; }
    // True while a frame is being collected (its sync pair has been seen).
    [[nodiscard]] bool InFrame() const { return m_state != State::Hunting; }

private:
    enum class State : std::uint8_t
    {
        Hunting,    // looking for the first sync byte
        AfterSync,  // 0xB5 seen
        Header,     // collecting class, id and length
        Body        // collecting payload and checksum
    };
    // Bytes of a failed frame from `from` on go back in front of the unread held bytes.
    void HoldBack(std::size_t from);
    // Scans `n` bytes at `data` until an event or their end; `used` receives the bytes consumed.
    Event Scan(const std::uint8_t* data, std::size_t n, std::size_t& used);

    State m_state = State::Hunting;
    std::vector<std::uint8_t> m_frame;    // sync pair to checksum of the frame being collected
    std::size_t m_need = 0;               // total bytes of the frame being collected
    std::vector<std::uint8_t> m_held;     // bytes to scan again before the chunk
    std::size_t m_heldAt = 0;             // first unread byte of m_held
    bool m_dropped = false;               // the frame just collected failed: hold it back
    ExtractorCounters m_counters;
};
}  // namespace ubx
