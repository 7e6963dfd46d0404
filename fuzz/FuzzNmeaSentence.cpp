// Fuzzes the NMEA sentence collector and import: the input is a received text stream. It goes
// through a fresh record set one byte per read, then through another in reads of 1..80 bytes, with
// the decoder error texts on for inputs whose first byte is odd. Every read must be consumed whole,
// every logged sentence stays within 255 characters, and every text slot stays terminated. The same
// input also drives a generator of well-formed sentences (checksums right, so they reach the
// satellite table and the fix) with random talkers, GSV sets, GSA lists and positions; the table
// must stay within its capacity with one consistent entry per satellite.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "FuzzSupport.h"

namespace
{
void Feed(CData& set, std::span<const std::uint8_t> chunk, int port)
{
    ChunkRef ref{chunk.data(), chunk.size()};
    std::string diagnostic;
    const int result = set.BuildNmeaSentence(ref, diagnostic, port);
    fuzz::Require(ref.position == nullptr && ref.count == 0);
    fuzz::Require(result == 0 || result == 1);
    fuzz::Require(diagnostic.empty() || vrn::DebugSwitch());
}

template <std::size_t N>
void CheckSlots(const std::array<NmeaSlot, N>& slots)
{
    for (const NmeaSlot& slot : slots)
        fuzz::Require(std::memchr(slot.data(), '\0', slot.size()) != nullptr);
}

void CheckRecords(const CData& set)
{
    CheckSlots(set.gga.fields);
    CheckSlots(set.gll.fields);
    CheckSlots(set.gsa.fields);
    CheckSlots(set.rmc.fields);
    CheckSlots(set.vtg.fields);
}
// Reads the fuzz input as a stream of small choices.
class Choices
{
public:
    explicit Choices(std::span<const std::uint8_t> data) : m_data(data) {}
    [[nodiscard]] bool Done() const { return m_at >= m_data.size(); }
    unsigned Byte() { return m_at < m_data.size() ? m_data[m_at++] : 0U; }
    unsigned Below(unsigned n) { return n == 0 ? 0 : Byte() % n; }
    // A number as receivers write it, or an odd one.
    std::string Number()
    {
        switch (Below(8))
        {
            case 0:
                return {};
            case 1:
                return std::to_string(Byte() * 256 + Byte());
            case 2:
                return "-" + std::to_string(Byte());
            case 3:
                return std::to_string(Byte()) + "." + std::to_string(Byte());
            case 4:
                return std::string(1 + Below(20), static_cast<char>('0' + Below(10)));
            default:
                return std::to_string(Byte());
        }
    }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_at = 0;
};

std::string WithChecksum(const std::string& body)
{
    unsigned sum = 0;
    for (const char c : body)
        sum ^= static_cast<unsigned char>(c);
    static const char* const kHex = "0123456789ABCDEF";
    return "$" + body + "*" + kHex[(sum >> 4) & 15U] + kHex[sum & 15U] + "\r\n";
}

std::string GeneratedStream(std::span<const std::uint8_t> data)
{
    static const char* const kTalkers[] = {"GP", "GN", "GL", "GA", "GB", "BD", "GQ", "QZ", "GI"};
    Choices c(data);
    std::string stream;
    while (!c.Done() && stream.size() < 16 * 1024)
    {
        std::string talker = c.Below(4) == 0 ? std::string{static_cast<char>('A' + c.Below(26)),
                                                           static_cast<char>('A' + c.Below(26))}
                                             : kTalkers[c.Below(9)];
        std::string body;
        switch (c.Below(6))
        {
            case 0:  // a GSV set, whole or in part, with or without a signal id
            {
                const unsigned total = c.Below(11);
                const unsigned groups = c.Below(7);
                for (unsigned m = 1; m <= total + 1 && !c.Done(); m += 1 + c.Below(2))
                {
                    body =
                        talker + "GSV," + std::to_string(total) + "," + std::to_string(m) + "," + c.Number();
                    for (unsigned g = 0; g < groups; ++g)
                        body += "," + c.Number() + "," + c.Number() + "," + c.Number() + "," + c.Number();
                    if (c.Below(2) != 0)
                        body += "," + std::string(1, "0123456789ABCDEFG"[c.Below(17)]);
                    stream += WithChecksum(body);
                }
                continue;
            }
            case 1:  // GSA with or without a system id
                body = talker + "GSA,A," + std::to_string(c.Below(4));
                for (unsigned k = 0, n = 10 + c.Below(6); k < n; ++k)
                    body += "," + c.Number();
                body += ",1.5,0.9,1.2";
                if (c.Below(2) != 0)
                    body += "," + std::to_string(c.Below(16));
                break;
            case 2:
                body = talker + "GGA," + c.Number() + "," + c.Number() + "," + (c.Below(2) ? "N" : "S") +
                       "," + c.Number() + "," + (c.Below(2) ? "E" : "W") + "," + c.Number() + "," +
                       c.Number() + ",0.9," + c.Number() + ",M," + c.Number() + ",M,,";
                break;
            case 3:
                body = talker + "RMC," + std::to_string(c.Byte() * 100 + c.Below(100)) +
                       ".00,A,4404.14063,N,12118.85478,W," + c.Number() + "," + c.Number() + "," +
                       c.Number() + ",,,A,V";
                break;
            case 4:
                body = talker + "GNS," + c.Number() + ",4404.1406,N,12118.8547,W,ANDD," + c.Number() +
                       ",0.9," + c.Number() + "," + c.Number() + ",,,V";
                break;
            default:
                body = talker + "ZDA," + c.Number() + "," + c.Number() + "," + c.Number() + "," + c.Number() +
                       ",00,00";
                break;
        }
        stream += WithChecksum(body);
    }
    return stream;
}

void CheckTable(const CData& set)
{
    const auto entries = set.satellites.Entries();
    fuzz::Require(entries.size() <= SatelliteTable::kCapacity);
    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        const SatelliteEntry& e = entries[i];
        fuzz::Require(e.svid >= 1);
        fuzz::Require(set.satellites.Find(e.system, e.svid) == &e);  // one entry per satellite
        fuzz::Require(e.elevationDeg == kNoAngle || (e.elevationDeg >= -90 && e.elevationDeg <= 90));
        fuzz::Require(e.azimuthDeg == kNoAngle || (e.azimuthDeg >= 0 && e.azimuthDeg <= 360));
        fuzz::Require(e.snrDbHz == kNoSnr || (e.snrDbHz >= 0 && e.snrDbHz <= 255));
        std::int16_t best = kNoSnr;
        for (std::size_t s = 0; s < kSignalIdCount; ++s)
            if ((e.signalMask & (1U << s)) != 0)
                best = std::max(best, e.snrBySignal[s]);
        fuzz::Require(e.signalMask == 0 || best == e.snrDbHz);
    }
    const ReceiverFix& f = set.fix;
    fuzz::Require(!(std::abs(f.latitudeDeg) > 90.0) && !(std::abs(f.longitudeDeg) > 180.0));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::RenderingLog log;
    vrn::SetPortLog(&log);
    const std::span<const std::uint8_t> input(data, size);
    vrn::SetDebugSwitch(size > 0 && (data[0] & 1) != 0);

    CData byByte;
    for (std::size_t i = 0; i < size; ++i)
        Feed(byByte, input.subspan(i, 1), 0);
    CheckRecords(byByte);

    CData byChunk;
    fuzz::ChunkSizes sizes(input);
    for (std::size_t at = 0; at < size;)
    {
        const std::size_t n = std::min(sizes.Next(), size - at);
        Feed(byChunk, input.subspan(at, n), 1);
        at += n;
    }
    CheckRecords(byChunk);

    // The import on its own takes any text the collector could hand it (up to 255 characters),
    // including bytes the collector would never store.
    CData direct;
    (void)direct.ImportNmeaSentence(
        std::string_view(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 255)), 0);
    CheckRecords(direct);
    CheckTable(byChunk);

    // Well-formed sentences of every talker, in reads of 1..80 bytes.
    const std::string generated = GeneratedStream(input);
    CData gnss;
    fuzz::ChunkSizes generatedSizes(input);
    for (std::size_t at = 0; at < generated.size();)
    {
        const std::size_t n = std::min(generatedSizes.Next(), generated.size() - at);
        Feed(gnss, std::span(reinterpret_cast<const std::uint8_t*>(generated.data()) + at, n), 0);
        at += n;
    }
    CheckRecords(gnss);
    CheckTable(gnss);
    vrn::SetDebugSwitch(false);
    return 0;
}
