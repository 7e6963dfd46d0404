// Fuzzes the UBX frame extractor, the chunk loop of the UBX modes and the UBX decoders. The input
// is a received byte stream (UBX frames, NMEA sentences, noise). It goes through the chunk loop of
// port 1 with the own fix one byte per read, and through a fresh context in reads of 1..80 bytes:
// both must report the same records, the counters must add up, and the fix and the engine's state
// stay sane. Then the input, read as class, id and payload, goes to every decoder directly, so
// payloads of every length reach them without needing a checksum.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "FuzzSupport.h"
#include "link/ChunkParser.h"
#include "link/Notifications.h"
#include "nav/NavEngine.h"
#include "protocol/UbxFrame.h"

namespace
{
struct Seen
{
    unsigned message, wParam;
    std::uint8_t id;
    std::uint32_t fixSequence;
    std::size_t satellites;
    bool operator==(const Seen&) const = default;
};

class Recording : public vrn::IChunkSink
{
public:
    void Activity(unsigned /*code*/) override {}
    void NotifyViews(unsigned message, unsigned wParam, const CData& set) override
    {
        // NMEA notifications follow the chunks (a run of sentences ending with GGA) by design.
        if (message == vrn::kMsgBinaryData)
            seen.push_back({message, wParam, set.currentId, set.fix.sequence, set.satellites.Size()});
        // What the views read must be sane.
        fuzz::Require(set.satellites.Size() <= SatelliteTable::kCapacity);
        fuzz::Require(set.sv.count <= kChannelCount);
        fuzz::Require(std::memchr(set.fix.utcText.data(), 0, set.fix.utcText.size()) != nullptr);
        fuzz::Require(std::memchr(set.ublox.version.extensions.data(), 0, set.ublox.version.extensions.size()) !=
                      nullptr);
        if (std::isfinite(set.fix.latitudeDeg))
            fuzz::Require(std::fabs(set.fix.latitudeDeg) <= 215.0 && std::fabs(set.fix.longitudeDeg) <= 215.0);
    }
    void Report(vrn::ReceiverReport what, const CData& /*set*/, int /*port*/) override
    {
        reports.push_back(static_cast<int>(what));
    }
    std::vector<Seen> seen;
    std::vector<int> reports;
};

void CheckCounters(const vrn::ParseContext& context)
{
    const ubx::ExtractorCounters& c = context.ubx.Counters();
    std::uint64_t sum = 0;
    for (const auto& [key, count] : c.perMessage)
        sum += count;
    fuzz::Require(sum == c.frames);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::RenderingLog log;
    vrn::SetPortLog(&log);
    const std::span<const std::uint8_t> input(data, size);

    ProcessNavEngine() = NavEngine{};
    auto byByte = std::make_unique<vrn::ParseContext>();
    Recording first;
    for (std::size_t i = 0; i < size; ++i)
        vrn::ParseChunk(*byByte, input.subspan(i, 1), 0, vrn::kModeUbxOwnFix, first);
    CheckCounters(*byByte);

    ProcessNavEngine() = NavEngine{};
    auto byChunk = std::make_unique<vrn::ParseContext>();
    Recording second;
    fuzz::ChunkSizes sizes(input);
    for (std::size_t at = 0; at < size;)
    {
        const std::size_t n = std::min(sizes.Next(), size - at);
        vrn::ParseChunk(*byChunk, input.subspan(at, n), 0, vrn::kModeUbxOwnFix, second);
        at += n;
    }
    // A CR followed by a stray byte makes the NMEA collector drop the rest of its call, and a call
    // here is a run of text between frames, which the reads cut differently: the sentences' fix
    // reports and satellites then differ by design. The records the frames gave must still agree.
    bool strayAfterCr = false;
    for (std::size_t i = 0; i + 1 < size && !strayAfterCr; ++i)
        strayAfterCr = data[i] == '\r' && data[i + 1] != '\n' && data[i + 1] != '\r';
    if (strayAfterCr)
    {
        for (auto* seen : {&first.seen, &second.seen})
            for (Seen& s : *seen)
            {
                s.fixSequence = 0;
                s.satellites = 0;
            }
    }
    fuzz::Require(first.seen == second.seen);
    fuzz::Require(first.reports == second.reports);
    fuzz::Require(byByte->ubx.Counters().frames == byChunk->ubx.Counters().frames);
    const NavSolution& s = ProcessNavEngine().solution;
    fuzz::Require(std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z) && std::isfinite(s.timeOfWeek));

    // The decoders on their own: class, id, then the payload.
    if (size >= 2)
    {
        auto set = std::make_unique<CData>();
        const auto payload = input.subspan(2, std::min<std::size_t>(size - 2, ubx::kMaxPayload));
        (void)set->ImportUbxMessage(data[0], data[1], payload);
        (void)set->ImportUbxMessage(data[0], data[1], payload);  // with the carried state
        for (const std::uint8_t id : std::array<std::uint8_t, 5>{0x07, 0x35, 0x30, 0x06, 0x02})
            (void)set->ImportUbxMessage(0x01, id, payload);
        for (const std::uint8_t id : std::array<std::uint8_t, 4>{0x15, 0x13, 0x10, 0x11})
            (void)set->ImportUbxNavigationInput(0x02, id, payload);
        fuzz::Require(set->satellites.Size() <= SatelliteTable::kCapacity);
    }
    ProcessNavEngine() = NavEngine{};
    vrn::SetPortLog(nullptr);
    return 0;
}
