// Epoch assembly of the three output protocols, the truth rows, and the command side.
#include "sim/SimStream.h"

#include <array>
#include <charconv>
#include <cmath>
#include <ctime>

#include "protocol/Framing.h"

namespace vrnsim
{
namespace
{
constexpr std::uint8_t kDle = 0x10, kStx = 0x02, kEtx = 0x03;

ReceiverOptions ModelOptions(const StreamOptions& o, GpsTime start)
{
    ReceiverOptions r;
    r.start = start;
    r.position = o.position;
    r.velocityEnu = o.velocityEnu;
    r.noiseM = o.noiseM;
    r.seed = o.seed;
    return r;
}

GpsTime StartTime(const StreamOptions& o)
{
    return o.start ? *o.start : GpsTimeFromUnix(static_cast<std::int64_t>(std::time(nullptr)));
}

void AppendFramed(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& message)
{
    const std::vector<std::uint8_t> frame = FramePacket(message);
    out.insert(out.end(), frame.begin(), frame.end());
}

void AppendNumber(std::string& s, double v)
{
    std::array<char, 40> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    s.append(buf.data(), r.ptr);
}
void AppendNumber(std::string& s, long v)
{
    std::array<char, 24> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    s.append(buf.data(), r.ptr);
}

std::uint16_t U16(std::span<const std::uint8_t> m, std::size_t at)
{
    return static_cast<std::uint16_t>(m[at] | m[at + 1] << 8);
}
}  // namespace

std::optional<SimProtocol> ParseProtocol(std::string_view name)
{
    if (name == "nmea")
        return SimProtocol::Nmea;
    if (name == "binary")
        return SimProtocol::Binary;
    if (name == "test")
        return SimProtocol::Test;
    if (name == "ubx")
        return SimProtocol::Ubx;
    return std::nullopt;
}

std::string_view ProtocolName(SimProtocol p)
{
    switch (p)
    {
        case SimProtocol::Nmea:
            return "nmea";
        case SimProtocol::Binary:
            return "binary";
        case SimProtocol::Test:
            return "test";
        case SimProtocol::Ubx:
            return "ubx";
    }
    return "nmea";
}

int TypicalBytesPerSecond(SimProtocol p)
{
    switch (p)
    {
        case SimProtocol::Nmea:
            return 470;  // GGA, GLL, GSA, three GSV, RMC, VTG
        case SimProtocol::Binary:
            return 330;  // NAV, DOP, SV, MEAS with 10-12 channels, STATUS / 10
        case SimProtocol::Test:
            return 640;  // plus id 12 and a subframe per channel every 6 s
        case SimProtocol::Ubx:
            return 420;  // NAV-PVT, NAV-SAT with about 15 satellites, NAV-DOP, NAV-TIMEGPS
    }
    return 0;
}

int TypicalBytesPerSecond(const StreamOptions& o)
{
    if (o.protocol == SimProtocol::Ubx)
    {
        // RXM-RAWX with twelve channels and two subframes a second; NMEA as the NMEA receiver's.
        StreamOptions nmea = o;
        nmea.protocol = SimProtocol::Nmea;
        return TypicalBytesPerSecond(SimProtocol::Ubx) + (o.ubxRaw ? 520 : 0) +
               (o.nmeaToo ? TypicalBytesPerSecond(nmea) : 0);
    }
    if (o.protocol != SimProtocol::Nmea || !o.Modern())
        return TypicalBytesPerSecond(o.protocol);
    // GGA, GNS, GLL, RMC, VTG; per system a GSA and per signal a GSV set for the satellites
    // typically in view (about 70 bytes a sentence).
    constexpr std::array<int, kGnssSystemCount> kTypicalInView = {11, 8, 9, 14, 4};
    int bytes = 380;
    for (std::size_t i = 0; i < kGnssSystemCount; ++i)
    {
        const auto system = static_cast<GnssSystem>(i);
        if (!Has(o.systems, system))
            continue;
        const auto signals =
            static_cast<int>(o.nmeaVersion == NmeaVersion::V23 ? 1 : SignalsOf(system).count);
        bytes += 65 + signals * 70 * ((kTypicalInView[i] + 3) / 4);
    }
    return bytes;
}

std::string FormatTruthRow(const Epoch& e)
{
    std::string s;
    s.reserve(256);
    AppendNumber(s, static_cast<long>(e.trueTime.week));
    for (const double v : {e.trueTime.tow, e.position.x, e.position.y, e.position.z,
                           e.geodetic.latitude / kDegree, e.geodetic.longitude / kDegree, e.geodetic.height,
                           e.velocity.x, e.velocity.y, e.velocity.z, e.clockBiasM, e.clockDriftMps})
    {
        s += ',';
        AppendNumber(s, v);
    }
    s += ',';
    AppendNumber(s, static_cast<long>(e.inView.size()));
    s += ',';
    AppendNumber(s, static_cast<long>(e.Measured()));
    return s;
}

int BaudFromCode(int code)
{
    switch (code)
    {
        case 0:
            return 4800;
        case 1:
            return 9600;
        case 2:
            return 19200;
        case 3:
            return 38400;
        default:
            return 0;
    }
}

std::optional<InitCommandRecord> DecodeInitCommand(std::span<const std::uint8_t> m)
{
    if (m.size() != kInitCommandSize || m[0] != kIdInitCommand)
        return std::nullopt;
    InitCommandRecord r;
    r.id = m[0];
    r.week = U16(m, 1);
    r.timeOfWeek = static_cast<std::uint32_t>(U16(m, 3)) | static_cast<std::uint32_t>(U16(m, 5)) << 16;
    r.x = static_cast<std::int16_t>(U16(m, 7));
    r.y = static_cast<std::int16_t>(U16(m, 9));
    r.z = static_cast<std::int16_t>(U16(m, 11));
    r.clock = static_cast<std::int16_t>(U16(m, 13));
    r.startMode = m[15];
    r.outputFlags = m[16];
    r.baudCode = m[17];
    return r;
}

std::vector<std::vector<std::uint8_t>> CCommandReader::Feed(std::span<const std::uint8_t> bytes)
{
    std::vector<std::vector<std::uint8_t>> messages;
    for (const std::uint8_t b : bytes)
    {
        switch (m_state)
        {
            case State::Hunting:
                if (b == kDle)
                    m_state = State::AfterLeadingDle;
                else
                    ++m_ignored;
                break;
            case State::AfterLeadingDle:
                if (b == kStx)
                {
                    m_content.clear();
                    m_state = State::Collecting;
                }
                else
                {
                    m_ignored += 2;
                    m_state = b == kDle ? State::AfterLeadingDle : State::Hunting;
                    if (b == kDle)
                        --m_ignored;
                }
                break;
            case State::Collecting:
                if (b == kDle)
                    m_state = State::AfterInnerDle;
                else if (m_content.size() < 256)
                    m_content.push_back(b);
                else
                {
                    ++m_badFrames;
                    m_ignored += m_content.size() + 2;
                    m_state = State::Hunting;
                }
                break;
            case State::AfterInnerDle:
                if (b == kDle)
                {
                    m_content.push_back(b);
                    m_state = State::Collecting;
                }
                else if (b == kStx)
                {
                    ++m_badFrames;
                    m_ignored += m_content.size() + 2;
                    m_content.clear();
                    m_state = State::Collecting;
                }
                else if (b == kEtx)
                {
                    m_state = State::Hunting;
                    // length byte, id, data, checksum over id and data
                    const std::size_t n = m_content.size();
                    std::uint8_t sum = 0;
                    for (std::size_t i = 1; i + 1 < n; ++i)
                        sum = static_cast<std::uint8_t>(sum + m_content[i]);
                    if (n >= 3 && m_content[0] == n && m_content[n - 1] == sum)
                        messages.emplace_back(m_content.begin() + 1, m_content.end() - 1);
                    else
                    {
                        ++m_badFrames;
                        m_ignored += n + 4;
                    }
                }
                else
                {
                    ++m_badFrames;
                    m_ignored += m_content.size() + 4;
                    m_state = State::Hunting;
                }
                break;
        }
    }
    return messages;
}

CSimStream::CSimStream(const StreamOptions& options)
    : m_start(StartTime(options)),
      m_model(ModelOptions(options, m_start)),
      m_tracker(options.Modern() ? std::make_unique<CGnssTracker>(options.systems, options.seed) : nullptr),
      m_nmeaVersion(options.nmeaVersion),
      m_protocol(options.protocol),
      m_binaryProtocol(options.protocol == SimProtocol::Nmea ? SimProtocol::Binary : options.protocol),
      m_nmeaToo(options.nmeaToo)
{
    m_ubxOutputs.rawx = m_ubxOutputs.sfrbx = options.ubxRaw;
}

double CSimStream::Next(std::vector<std::uint8_t>& out)
{
    if (m_epochs > 0)
        m_elapsed += m_interval;
    m_interval = m_protocol == SimProtocol::Test ? kTestInterval : kSecondInterval;
    const Epoch& e = m_model.Step(m_epochs == 0 ? 0.0 : m_interval);
    if (m_tracker)
        m_tracker->Step(m_model);
    const bool status = m_epochs % kStatusEvery == 0;
    ++m_epochs;

    if (m_protocol == SimProtocol::Ubx)
    {
        AppendUbxEpoch(out, e, m_tracker ? &m_tracker->Last() : nullptr, m_ubxOutputs);
        if (m_nmeaToo)
        {
            const std::string text = m_tracker ? MakeGnssNmeaEpoch(e, m_tracker->Last(), m_tracker->Systems(),
                                                                   m_nmeaVersion, m_nmeaSelection)
                                               : MakeNmeaEpoch(e, m_nmeaSelection);
            out.insert(out.end(), text.begin(), text.end());
        }
        return m_elapsed;
    }
    if (m_protocol == SimProtocol::Nmea)
    {
        const std::string text = m_tracker ? MakeGnssNmeaEpoch(e, m_tracker->Last(), m_tracker->Systems(),
                                                               m_nmeaVersion, m_nmeaSelection)
                                           : MakeNmeaEpoch(e, m_nmeaSelection);
        out.insert(out.end(), text.begin(), text.end());
        return m_elapsed;
    }
    if (e.fix.valid)
        AppendFramed(out, Encode(MakeNavRecord(e)));
    AppendFramed(out, Encode(MakeDopRecord(e)));
    AppendFramed(out, Encode(MakeSvRecord(e), SvEntryCount(e)));
    if (status)
        AppendFramed(out, Encode(MakeStatusRecord(e, m_elapsed)));
    if (m_protocol == SimProtocol::Test)
    {
        for (const auto& [prn, words] : e.subframes)
            AppendFramed(out, Encode(MakeSubframeRecord(prn, words)));
        AppendFramed(out, Encode(MakeSatDataRecord(e)));
    }
    AppendFramed(out, Encode(MakeMeasRecord(e), MeasEntryCount(e)));
    return m_elapsed;
}

CommandEffect CSimStream::ApplyUbx(std::uint8_t cls, std::uint8_t id, std::span<const std::uint8_t> payload)
{
    UbxCommandEffect ubxEffect = ApplyUbxCommand(cls, id, payload, m_ubxOutputs);
    if (ubxEffect.restart)
    {
        m_model.Restart(*ubxEffect.restart);
        if (m_tracker)
            m_tracker->Restart(*ubxEffect.restart);
    }
    CommandEffect effect;
    effect.text = std::move(ubxEffect.text);
    effect.reply = std::move(ubxEffect.reply);
    effect.baud = ubxEffect.baud;
    return effect;
}

CommandEffect CSimStream::Apply(std::span<const std::uint8_t> message)
{
    CommandEffect effect;
    const std::optional<InitCommandRecord> cmd = DecodeInitCommand(message);
    if (!cmd)
    {
        effect.text = "command id ";
        AppendNumber(effect.text, static_cast<long>(message.empty() ? 0 : message[0]));
        effect.text += ", ";
        AppendNumber(effect.text, static_cast<long>(message.size()));
        effect.text += " bytes: not understood, ignored";
        return effect;
    }
    std::string& t = effect.text;
    t = "init command: start ";
    auto restart = [this](StartMode mode)
    {
        m_model.Restart(mode);
        if (m_tracker)
            m_tracker->Restart(mode);
    };
    switch (cmd->startMode)
    {
        case 1:
            t += "hot";
            restart(StartMode::Hot);
            break;
        case 2:
            t += "warm";
            restart(StartMode::Warm);
            break;
        case 3:
            t += "cold";
            restart(StartMode::Cold);
            break;
        case 4:
            t += "test (as cold)";
            restart(StartMode::Cold);
            break;
        default:
            t += "none (tracking kept)";
            break;
    }
    t += ", week ";
    AppendNumber(t, static_cast<long>(cmd->week));
    t += ", tow ";
    AppendNumber(t, cmd->timeOfWeek * 0.01);
    t += " s, position ";
    AppendNumber(t, cmd->x * 0.1);
    t += ' ';
    AppendNumber(t, cmd->y * 0.1);
    t += " deg ";
    AppendNumber(t, static_cast<long>(cmd->z));
    t += " m, clock ";
    AppendNumber(t, static_cast<long>(cmd->clock));
    t += ", output ";
    if (cmd->outputFlags & 0x80)
    {
        m_protocol = m_binaryProtocol;
        t += ProtocolName(m_protocol);
    }
    else
    {
        m_protocol = SimProtocol::Nmea;
        t += "nmea";
        static constexpr std::array<std::string_view, 6> kNames = {"GGA", "GLL", "GSA", "GSV", "RMC", "VTG"};
        for (std::size_t i = 0; i < kNames.size(); ++i)
            if (cmd->outputFlags & (1U << i))
            {
                t += ' ';
                t += kNames[i];
            }
        t += (cmd->outputFlags & kNmeaChecksums) ? " with checksums" : " without checksums";
    }
    m_nmeaSelection = cmd->outputFlags & 0x7F;
    effect.baud = BaudFromCode(cmd->baudCode);
    t += ", baud ";
    if (effect.baud != 0)
        AppendNumber(t, static_cast<long>(effect.baud));
    else
    {
        t += "code ";
        AppendNumber(t, static_cast<long>(cmd->baudCode));
        t += " unknown, kept";
    }
    return effect;
}

}  // namespace vrnsim
