// CData: the binary frame extractor, the packet check and the binary message decoders.
//
// The extractor. A serial read hands over an arbitrary slice of the byte stream, so a frame may start
// in one chunk and end several chunks later; everything the extractor knows between calls lives in
// the set (state, assembly buffer, 8-bit content counter). One call scans from the read position
// until a frame completes, a framing error occurs or the chunk ends, and reports how far it got
// through the chunk reference, so the caller calls again for the rest of the chunk. Runs of content
// bytes and the hunt for the next DLE go through memchr, which keeps the per-byte cost low.
//
// Bad data. Bytes outside a frame are skipped. DLE STX inside a frame drops the partial frame and
// starts a new one; DLE followed by anything other than STX, ETX or DLE is a framing error that drops
// the frame. A completed frame must carry its own length in its first byte and the 8-bit sum of id
// and data in its last; otherwise it is rejected (the records are cleared all the same). Content
// past 255 bytes cannot be described by the length byte: the counter wraps, the overflow latch is set,
// nothing more is stored and the frame is rejected when it completes, so no crafted frame can pass
// the checks by wrapping onto its own length byte.
#include "protocol/CData.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "app/CTraceFile.h"
#include "app/CoreServices.h"
#include "protocol/WireBytes.h"

std::atomic<std::uint32_t> g_packetCounter{0};

namespace
{
constexpr std::uint8_t kDle = 0x10;
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;

// Extractor states (shared with the NMEA collector).
constexpr int kHunting = 0;
constexpr int kAfterLeadingDle = 1;
constexpr int kAfterInnerDle = 2;
constexpr int kCollecting = 3;

// Wire sizes of the headers and entries.
constexpr std::size_t kSvHeader = 8, kSvEntry = 7;
constexpr std::size_t kMeasHeader = 10, kMeasEntry = 14;
constexpr std::size_t kSatDataHeader = 12, kSatDataEntry = 18;

// Stored signal level: trunc(8 + 20 log10(raw + 1)) in 8 bits, for every raw byte.
struct SignalTable
{
    std::array<std::uint8_t, 256> stored{};
    SignalTable()
    {
        for (std::size_t raw = 0; raw < stored.size(); ++raw)
            stored[raw] = static_cast<std::uint8_t>(
                static_cast<int>(std::trunc(8.0 + 20.0 * std::log10(static_cast<double>(raw) + 1.0))));
    }
};
const SignalTable kSignal;
}  // namespace

CData::CData() = default;

void CData::ClearRecords()
{
    // A binary link never fills the NMEA records; zeroing them for every packet would cost more than
    // the rest of the import.
    if (m_nmeaWritten)
    {
        gga = {};
        gll = {};
        gsa = {};
        gsv = {};
        rmc = {};
        vtg = {};
        m_nmeaWritten = false;
    }
    nav = {};
    dop = {};
    sv = {};
    meas = {};
    status = {};
    initCommand = {};
    currentId = 0;
    m_timeSelection = TimeSelection::None;
}

void CData::ClearPacketBuffer()
{
    // Only the front that was written can be nonzero; the rest of the buffer stays zero.
    std::fill_n(m_buffer.begin(), m_dirty, std::uint8_t{0});
    m_dirty = 0;
    m_counter = 0;
    m_overflow = false;
    m_scan.count = 0;
    m_scan.truncated = false;
    m_scan.blanks = false;
    m_scan.sum = 0;
}

void CData::AppendContent(std::uint8_t byte)
{
    if (m_overflow)
        return;
    m_buffer[m_counter] = byte;
    m_dirty = std::max<std::size_t>(m_dirty, std::size_t{m_counter} + 1);
    ++m_counter;
    m_overflow = m_counter == 0;
}

void CData::AppendContent(const std::uint8_t* bytes, std::size_t n)
{
    if (m_overflow || n == 0)
        return;
    const std::size_t room = kContentLimit - m_counter;
    const std::size_t take = std::min(n, room);
    // A plain loop: the runs are short, and an inlined block move starts too slowly for them.
    std::uint8_t* const to = m_buffer.data() + m_counter;
    for (std::size_t k = 0; k < take; ++k)
        to[k] = bytes[k];
    m_dirty = std::max<std::size_t>(m_dirty, std::size_t{m_counter} + take);
    m_counter = static_cast<std::uint8_t>(m_counter + take);
    m_overflow = take == room;
}

int CData::BuildBinaryDataPacket(ChunkRef& chunk, std::string& diagnostic, int byteOrder, int importMode)
{
    diagnostic.clear();
    // The whole extraction is a trace scope; with the trace off nothing is built at all.
    const bool tracing = vrn::TraceSwitch();
    std::optional<CTraceFile> scope;
    if (tracing)
        scope.emplace("[CData::BuildBinaryDataPacket]\n");

    const std::uint8_t* const data = chunk.position;
    const std::size_t n = data != nullptr ? chunk.count : 0;
    std::size_t i = 0;
    bool complete = false;
    bool framingError = false;
    while (i < n && !complete && !framingError)
    {
        switch (m_state)
        {
            case kCollecting:
            {
                const auto* dle = static_cast<const std::uint8_t*>(std::memchr(data + i, kDle, n - i));
                const std::size_t end = dle != nullptr ? static_cast<std::size_t>(dle - data) : n;
                AppendContent(data + i, end - i);
                i = end;
                if (dle != nullptr)
                {
                    ++i;
                    m_state = kAfterInnerDle;
                }
                break;
            }
            case kAfterInnerDle:
            {
                const std::uint8_t byte = data[i++];
                if (byte == kStx)
                {
                    ClearPacketBuffer();
                    m_state = kCollecting;
                }
                else if (byte == kEtx)
                    complete = true;
                else if (byte == kDle)
                {
                    AppendContent(kDle);
                    m_state = kCollecting;
                }
                else
                {
                    framingError = true;
                    if (vrn::DebugSwitch())
                        diagnostic = "Single DLE encountered in message.";
                }
                break;
            }
            case kAfterLeadingDle:
            {
                const std::uint8_t byte = data[i++];
                if (byte == kStx)
                {
                    ClearPacketBuffer();
                    m_state = kCollecting;
                }
                else
                    m_state = kHunting;
                break;
            }
            default:
            {
                // Hunting (and any state the NMEA collector left behind): skip to the next DLE.
                const auto* dle = static_cast<const std::uint8_t*>(std::memchr(data + i, kDle, n - i));
                if (dle == nullptr)
                {
                    i = n;
                    m_state = kHunting;
                }
                else
                {
                    i = static_cast<std::size_t>(dle - data) + 1;
                    m_state = kAfterLeadingDle;
                }
                break;
            }
        }
    }

    chunk.count = n - i;
    chunk.position = i < n ? data + i : nullptr;

    if (framingError || !diagnostic.empty())
    {
        ++m_counters.framingErrors;
        ClearPacketBuffer();
        m_state = kHunting;
        return kImportRejected;
    }
    if (!complete)
    {
        if (tracing)
            CTraceFile::Write(
                "\nComplete packet not found in current packet.  Import not performed.  Data packet not "
                "cleared.\n");
        return kImportRejected;
    }

    ++m_counters.framesCompleted;
    if (tracing)
        CTraceFile::Write("\nComplete packet found.  Beginning import.\n");
    int result = kImportRejected;
    if (m_overflow)
    {
        // More content than the length byte can describe: never imported.
        ClearRecords();
        ++m_counters.rejectedLength;
        if (vrn::DebugSwitch())
        {
            std::array<char, 64> text{};
            std::snprintf(text.data(), text.size(), "Bad byte count: actual=%d specified=%d", int{m_counter},
                          int{m_buffer[0]});
            diagnostic = text.data();
        }
    }
    else
        result = ImportContent(m_buffer, m_counter, diagnostic, byteOrder, importMode);
    if (tracing)
    {
        std::array<char, 80> text{};
        std::snprintf(text.data(), text.size(), "\nImport completed.  Return code: %d (%s).\n", result,
                      result != kImportRejected ? "good" : "bad");
        CTraceFile::Write(text.data());
    }
    sequence = g_packetCounter.fetch_add(1);
    ClearPacketBuffer();
    m_state = kHunting;
    return result;
}

int CData::ImportBinaryPacket(std::span<const std::uint8_t> content, std::string& diagnostic, int byteOrder,
                              int importMode)
{
    if (content.data() == m_buffer.data())
        return ImportContent(m_buffer, content.size(), diagnostic, byteOrder, importMode);
    // Content from elsewhere is checked on a zero-filled copy, as the decoders expect.
    std::array<std::uint8_t, kContentLimit> padded{};
    std::copy_n(content.begin(), std::min(content.size(), padded.size()), padded.begin());
    return ImportContent(padded, content.size(), diagnostic, byteOrder, importMode);
}

int CData::ImportContent(std::span<const std::uint8_t> padded, std::size_t count, std::string& diagnostic,
                         int byteOrder, int importMode)
{
    ClearRecords();
    // No content at all has neither a length byte nor a checksum; more than 255 bytes cannot match
    // the length byte.
    if (count == 0 || count >= kContentLimit || padded[0] != count)
    {
        ++m_counters.rejectedLength;
        if (vrn::DebugSwitch())
        {
            std::array<char, 64> text{};
            std::snprintf(text.data(), text.size(), "Bad byte count: actual=%d specified=%d",
                          static_cast<int>(count & 0xFFU), int{padded[0]});
            diagnostic = text.data();
        }
        return kImportRejected;
    }
    std::uint8_t sum = 0;
    for (std::size_t k = 1; k + 1 < count; ++k)
        sum = static_cast<std::uint8_t>(sum + padded[k]);
    if (sum != padded[count - 1])
    {
        ++m_counters.rejectedChecksum;
        return kImportRejected;
    }

    currentId = padded[1];
    SelectTimeFields();
    const auto message = padded.subspan(1, kContentLimit - 1);
    const std::size_t length = count >= 2 ? count - 2 : 0;
    int result = kImportAccepted;
    if (importMode == kImportNavigation)
    {
        if (currentId == kIdMeas || currentId == kIdSubframe || currentId == kIdSatData)
            result = ImportNavigationInput(message, length, byteOrder);
    }
    else
    {
        switch (currentId)
        {
            case kIdNavA:
            case kIdNav:
                DecodeNav(message, byteOrder);
                break;
            case kIdDopA:
            case kIdDop:
                DecodeDop(message, byteOrder);
                break;
            case kIdSvA:
            case kIdSv:
                DecodeSv(message, length, byteOrder);
                break;
            case kIdStatus:
                DecodeStatus(message, byteOrder);
                break;
            case kIdMeas:
                DecodeMeas(message, length, byteOrder);
                break;
            case kIdSubframe:
                DecodeSubframe(message, byteOrder);
                break;
            case kIdSatData:
                DecodeSatData(message, length, byteOrder);
                break;
            default:
                break;  // an id that names no record: accepted, nothing decoded
        }
    }
    if (result != kImportRejected)
        ++m_counters.packetsImported;
    return result;
}

// ---- decoders: offsets count from the id byte ----

void CData::DecodeNav(std::span<const std::uint8_t> message, int byteOrder)
{
    const WireBytes w(message, byteOrder != 0);
    nav.id = w.U8(0);
    nav.week = w.U16(1);
    nav.timeOfWeek = w.I32(3);
    nav.x = w.I32(7);
    nav.y = w.I32(11);
    nav.z = w.I32(15);
    nav.vx = w.I16(19);
    nav.vy = w.I16(21);
    nav.vz = w.I16(23);
    nav.infoByte = w.U8(25);
    nav.infoWord = w.I16(26);
    UpdateFixFromNav();
    if (vrn::IFixSink* sink = vrn::FixSink())
        sink->FixReported(*this);
}

void CData::DecodeDop(std::span<const std::uint8_t> message, int byteOrder)
{
    const WireBytes w(message, byteOrder != 0);
    dop.id = w.U8(0);
    dop.week = w.U16(1);
    dop.timeOfWeek = w.I32(3);
    dop.gdop = w.U8(7);
    dop.pdop = w.U8(8);
    dop.hdop = w.U8(9);
    dop.vdop = w.U8(10);
    dop.tdop = w.U8(11);
    dop.mode = w.U8(12);
    UpdateFixFromDop();
}

void CData::DecodeSv(std::span<const std::uint8_t> message, std::size_t length, int byteOrder)
{
    const WireBytes w(message, byteOrder != 0);
    sv.id = w.U8(0);
    sv.week = w.U16(1);
    sv.timeOfWeek = w.I32(3);
    sv.count = w.U8(7);
    // The announced count does not limit the loop: every entry that starts inside the message is read.
    std::size_t offset = kSvHeader;
    for (std::size_t k = 0; k < kChannelCount && offset < length; ++k, offset += kSvEntry)
    {
        SvEntry& e = sv.entries[k];
        e.channel = w.U8(offset);
        e.prn = w.U8(offset + 1);
        e.azimuth = w.U16(offset + 2);
        e.elevation = w.U8(offset + 4);
        e.signal = kSignal.stored[w.U8(offset + 5)];
        e.state = w.U8(offset + 6);
    }
    UpdateTableFromSv(10LL * sv.timeOfWeek);
}

// ---- the fix and the satellite table from the binary records ----

void CData::UpdateFixFromNav()
{
    ++fix.sequence;
    fix.carried = kFixCarriesSatsUsed;
    std::snprintf(fix.source.data(), fix.source.size(), "NAV");
    const double tow = nav.timeOfWeek / 100.0;
    fix.gpsWeek = nav.week;
    fix.gpsTimeOfWeekS = tow;
    int day = -1;
    UtcOfGpsTime(nav.week, tow, kDefaultLeapSeconds, fix.utcText, fix.utcSecondsOfDay, day);
    fix.date = day >= 0 ? DateTextOfGpsDay(day) : std::array<char, 8>{};
    // All zero: the receiver has no position yet.
    const bool position = nav.x != 0 || nav.y != 0 || nav.z != 0;
    const GeodeticPosition p = position ? GeodeticFromEcef(nav.x, nav.y, nav.z) : GeodeticPosition{};
    fix.latitudeDeg = p.latitudeDeg;
    fix.longitudeDeg = p.longitudeDeg;
    fix.heightEllipsoidM = p.heightM;
    fix.altitudeMslM = kNoValue;  // the record gives no geoid
    fix.geoidSeparationM = kNoValue;
    fix.satsUsed = nav.infoByte & 0x0F;
    fix.speedMps = kNoValue;
    fix.courseDeg = kNoValue;
    if (position)
        GroundVelocityFromEcef(p.latitudeDeg, p.longitudeDeg, nav.vx / 10.0, nav.vy / 10.0, nav.vz / 10.0,
                               fix.speedMps, fix.courseDeg);
}

void CData::UpdateFixFromDop()
{
    fix.pdop = dop.pdop / 10.0;
    fix.hdop = dop.hdop / 10.0;
    fix.vdop = dop.vdop / 10.0;
    // Mode 0 none, 1 1D, 2 2D, 3 3D, 4 3D DGPS; larger values are a satellite count, not a mode.
    switch (dop.mode & 0x7F)
    {
        case 0: fix.fixMode = 1; break;
        case 1:
        case 2: fix.fixMode = 2; break;
        case 3:
        case 4: fix.fixMode = 3; break;
        default: break;
    }
}

void CData::UpdateTableFromSv(std::int64_t nowMs)
{
    // The record lists every channel: it replaces the GPS satellites an earlier record reported.
    constexpr std::uint16_t kBit = 1;
    constexpr std::uint8_t kNoSignal = 8;  // the stored level of a raw 0
    constexpr std::uint8_t kUsedState = 0x7F;
    std::array<int, kChannelCount> listed{};
    std::size_t count = 0;
    for (const SvEntry& entry : sv.entries)
    {
        if (!PrnIndex(entry.prn))
            continue;
        SatelliteEntry* e = satellites.Upsert(Constellation::Gps, entry.prn);
        if (e == nullptr)
            continue;
        listed[count++] = entry.prn;
        e->elevationDeg = static_cast<std::int16_t>(entry.elevation <= 90 ? entry.elevation : kNoAngle);
        e->azimuthDeg = static_cast<std::int16_t>(entry.azimuth <= 360 ? entry.azimuth : kNoAngle);
        e->snrBySignal[0] = entry.signal > kNoSignal ? entry.signal : kNoSnr;
        e->snrDbHz = e->snrBySignal[0];
        e->signalMask = kBit;
        e->used = (entry.state & kUsedState) == kUsedState;
        e->talker = {};
        e->lastSeenMs = nowMs;
    }
    const auto seen = std::span(listed).first(count);
    satellites.RemoveIf([&](const SatelliteEntry& e) {
        return e.system == Constellation::Gps && e.talker == std::array<char, 2>{} &&
               std::find(seen.begin(), seen.end(), e.svid) == seen.end();
    });
}

void CData::DecodeStatus(std::span<const std::uint8_t> message, int byteOrder)
{
    const WireBytes w(message, byteOrder != 0);
    status.id = w.U8(0);
    status.status1 = w.I32(1);
    status.status2 = w.I16(5);
    status.status3 = w.I16(7);
    status.status4 = w.I32(9);
    status.status5 = w.I16(13);
    status.status6 = w.I16(15);
    status.status7 = w.I32(17);
    status.status8 = w.I32(21);
    status.status9 = w.I32(25);
    status.status10 = w.I32(29);
    status.status11 = w.I16(33);
    w.CopyBytes(35, status.statusText);
}

void CData::DecodeMeas(std::span<const std::uint8_t> message, std::size_t length, int byteOrder)
{
    const WireBytes w(message, byteOrder != 0);
    meas.id = w.U8(0);
    meas.week = w.U16(1);
    meas.timeOfWeek = w.I32(3);
    meas.measWord = w.U16(7);
    meas.measByte = w.U8(9);
    std::size_t offset = kMeasHeader;
    for (std::size_t k = 0; k < kChannelCount && offset < length; ++k, offset += kMeasEntry)
    {
        MeasEntry& e = meas.entries[k];
        e.chanPrn = w.U16(offset);
        e.signal = w.U8(offset + 2);
        e.flags = w.U8(offset + 3);
        e.meas1 = w.I32(offset + 4);
        e.meas2 = w.I32(offset + 8);
        e.aux = w.I16(offset + 12);
    }
}

void CData::DecodeSubframe(std::span<const std::uint8_t> message, int byteOrder)
{
    const WireBytes w(message, byteOrder != 0);
    subframe.id = w.U8(0);
    subframe.prn = w.U8(1);
    for (std::size_t k = 0; k < subframe.words.size(); ++k)
        subframe.words[k] = w.U32(2 + 4 * k);
}

void CData::DecodeSatData(std::span<const std::uint8_t> message, std::size_t length, int byteOrder)
{
    const WireBytes w(message, byteOrder != 0);
    satData.id = w.U8(0);
    satData.count = w.U8(1);
    satData.week = w.I16(2);
    satData.time = w.F64(4);
    // Whole entries only: a partial entry at the end counts as absent. Entries beyond the announced
    // count that are present are zeroed; the rest of the table keeps what it held.
    std::size_t offset = kSatDataHeader;
    std::size_t k = 0;
    for (; k < satData.count && k < kChannelCount && offset + kSatDataEntry <= length;
         ++k, offset += kSatDataEntry)
    {
        SatDataEntry& e = satData.entries[k];
        e.channel = w.U8(offset);
        e.prn = w.U8(offset + 1);
        e.pad = {};
        e.pseudorange = w.F64(offset + 2);
        e.rangeRate = w.F64(offset + 10);
    }
    for (; k < kChannelCount && offset + kSatDataEntry <= length; ++k, offset += kSatDataEntry)
        satData.entries[k] = {};
}

// ---- time fields and copies ----

void CData::SelectTimeFields()
{
    switch (currentId)
    {
        case kIdNavA:
        case kIdNav:
            m_timeSelection = TimeSelection::Nav;
            break;
        case kIdDopA:
        case kIdDop:
            m_timeSelection = TimeSelection::Dop;
            break;
        case kIdSvA:
        case kIdSv:
            m_timeSelection = TimeSelection::Sv;
            break;
        case kIdMeas:
            m_timeSelection = TimeSelection::Meas;
            break;
        default:
            break;  // other ids keep the selection
    }
}

std::uint16_t CData::SelectedWeek() const
{
    switch (m_timeSelection)
    {
        case TimeSelection::Nav:
            return nav.week;
        case TimeSelection::Dop:
            return dop.week;
        case TimeSelection::Sv:
            return sv.week;
        case TimeSelection::Meas:
            return meas.week;
        case TimeSelection::None:
            break;
    }
    return 0;
}

std::int32_t CData::SelectedTimeOfWeek() const
{
    switch (m_timeSelection)
    {
        case TimeSelection::Nav:
            return nav.timeOfWeek;
        case TimeSelection::Dop:
            return dop.timeOfWeek;
        case TimeSelection::Sv:
            return sv.timeOfWeek;
        case TimeSelection::Meas:
            return meas.timeOfWeek;
        case TimeSelection::None:
            break;
    }
    return 0;
}

std::uint32_t CData::SecondsBetween(const CData& other) const
{
    if (m_timeSelection == TimeSelection::None || other.m_timeSelection == TimeSelection::None)
        return 0xFFFFFFFFU;
    // Unsigned 32-bit throughout: an earlier other time comes out very large (stale), as callers expect.
    constexpr std::uint32_t kWeekHundredths = 604800U * 100U;
    const std::uint32_t weeks = static_cast<std::uint32_t>(other.SelectedWeek()) - SelectedWeek();
    const std::uint32_t hundredths = static_cast<std::uint32_t>(other.SelectedTimeOfWeek()) -
                                     static_cast<std::uint32_t>(SelectedTimeOfWeek());
    return (weeks * kWeekHundredths + hundredths) / 100U;
}

void CData::CopyFrom(const CData& other)
{
    if (&other == this)
        return;
    currentId = other.currentId;
    m_buffer = other.m_buffer;
    m_dirty = other.m_dirty;
    m_counter = other.m_counter;
    sequence = other.sequence;
    satellites = other.satellites;
    fix = other.fix;
    SelectTimeFields();
    nav = other.nav;
    dop = other.dop;
    sv = other.sv;
    meas = other.meas;
    status = other.status;
    initCommand = other.initCommand;
}

// ---- text lines ----

int CData::FormatRecordText(std::string& line, int navEnable, int dopEnable, int svEnable,
                            int measEnable) const
{
    line.clear();
    const int kind = currentId >> 1;
    std::array<char, 128> text{};
    switch (currentId)
    {
        case kIdNavA:
        case kIdNav:
            if (navEnable == 0)
                return 0;
            std::snprintf(text.data(), text.size(),
                          "%d,%d,%" PRId32 ",%" PRId32 ",%" PRId32 ",%" PRId32 ",%d,%d,%d,%d", kind,
                          int{nav.week}, nav.timeOfWeek, nav.x, nav.y, nav.z, int{nav.vx}, int{nav.vy},
                          int{nav.vz}, int{nav.infoByte});
            line = text.data();
            return 1;
        case kIdDopA:
        case kIdDop:
            if (dopEnable == 0)
                return 0;
            std::snprintf(text.data(), text.size(), "%d,%d,%" PRId32 ",%d,%d,%d,%d,%d,%d", kind,
                          int{dop.week}, dop.timeOfWeek, int{dop.gdop}, int{dop.pdop}, int{dop.hdop},
                          int{dop.vdop}, int{dop.tdop}, int{dop.mode});
            line = text.data();
            return 1;
        case kIdSvA:
        case kIdSv:
            if (svEnable == 0)
                return 0;
            std::snprintf(text.data(), text.size(), "%d,%d,%" PRId32 ",%d", kind, int{sv.week}, sv.timeOfWeek,
                          int{sv.count});
            line = text.data();
            for (const SvEntry& e : sv.entries)
            {
                std::snprintf(text.data(), text.size(), ",%d,%d,%d,%d,%d,%d", int{e.channel}, int{e.prn},
                              int{e.azimuth}, int{e.elevation}, int{e.signal}, int{e.state});
                line += text.data();
            }
            return 1;
        case kIdMeas:
            if (measEnable == 0)
                return 0;
            std::snprintf(text.data(), text.size(), "%d,%d,%" PRId32 ",%u,%d", kind, int{meas.week},
                          meas.timeOfWeek, unsigned{meas.measWord}, int{meas.measByte});
            line = text.data();
            for (const MeasEntry& e : meas.entries)
            {
                std::snprintf(text.data(), text.size(), ",%d,%d,%d,%" PRId32 ",%" PRId32 ",%d",
                              int{e.chanPrn}, int{e.signal}, int{e.flags}, e.meas1, e.meas2, int{e.aux});
                line += text.data();
            }
            return 1;
        default:
            return 0;
    }
}
