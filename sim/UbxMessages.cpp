// The simulated receiver's UBX messages and commands; see the header.
#include "sim/UbxMessages.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "protocol/UbxFrame.h"
#include "sim/Messages.h"
#include "sim/NmeaText.h"

namespace vrnsim
{
namespace
{
constexpr int kReportedLeapSeconds = kLeapSeconds;

// Configuration keys the receiver knows (CFG-VALSET): the UART1 line speed and the output rates of
// its messages on UART1 and USB.
constexpr std::uint32_t kKeyUart1Baud = 0x40520001;
struct OutputKey
{
    std::uint32_t uart1, usb;
    bool UbxOutputs::*flag;
};
constexpr std::array kOutputKeys{
    OutputKey{0x20910007, 0x20910009, &UbxOutputs::pvt},   OutputKey{0x20910016, 0x20910018, &UbxOutputs::sat},
    OutputKey{0x20910039, 0x2091003B, &UbxOutputs::dop},   OutputKey{0x20910048, 0x2091004A, &UbxOutputs::timeGps},
    OutputKey{0x209102A5, 0x209102A7, &UbxOutputs::rawx},  OutputKey{0x20910232, 0x20910234, &UbxOutputs::sfrbx},
};
struct OutputMessage
{
    std::uint16_t key;
    bool UbxOutputs::*flag;
};
constexpr std::array kOutputMessages{
    OutputMessage{ubx::kNavPvt, &UbxOutputs::pvt},   OutputMessage{ubx::kNavSat, &UbxOutputs::sat},
    OutputMessage{ubx::kNavDop, &UbxOutputs::dop},   OutputMessage{ubx::kNavTimeGps, &UbxOutputs::timeGps},
    OutputMessage{ubx::kRxmRawx, &UbxOutputs::rawx}, OutputMessage{ubx::kRxmSfrbx, &UbxOutputs::sfrbx},
};

class Payload
{
public:
    explicit Payload(std::size_t reserve) { m_bytes.reserve(reserve); }
    Payload& U8(std::uint32_t v)
    {
        m_bytes.push_back(static_cast<std::uint8_t>(v & 0xFFU));
        return *this;
    }
    Payload& U16(std::uint32_t v) { return U8(v).U8(v >> 8); }
    Payload& U32(std::uint32_t v) { return U16(v & 0xFFFFU).U16(v >> 16); }
    Payload& I8(std::int32_t v) { return U8(static_cast<std::uint32_t>(v)); }
    Payload& I16(std::int32_t v) { return U16(static_cast<std::uint32_t>(v)); }
    Payload& I32(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)); }
    Payload& F32(float v) { return U32(std::bit_cast<std::uint32_t>(v)); }
    Payload& F64(double v)
    {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        return U32(static_cast<std::uint32_t>(bits & 0xFFFFFFFFULL)).U32(static_cast<std::uint32_t>(bits >> 32));
    }
    Payload& Text(std::string_view text, std::size_t width)
    {
        for (std::size_t i = 0; i < width; ++i)
            U8(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0U);
        return *this;
    }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

void AppendFrame(std::vector<std::uint8_t>& out, std::uint16_t key, const Payload& p)
{
    const auto frame = ubx::BuildFrame(static_cast<std::uint8_t>(key >> 8), static_cast<std::uint8_t>(key & 0xFF),
                                       p.Bytes());
    out.insert(out.end(), frame.begin(), frame.end());
}

std::int32_t Round(double v)
{
    return ClampToInt<std::int32_t>(std::round(v));
}
std::uint32_t RoundU(double v)
{
    return ClampToInt<std::uint32_t>(std::round(std::max(0.0, v)));
}

std::uint32_t TowMs(GpsTime t)
{
    return static_cast<std::uint32_t>(std::llround(t.tow * 1000.0)) % 604800000U;
}

// The fix a u-blox receiver reports: the multi-system fix when one runs, else the GPS one.
struct ReportedFix
{
    bool valid = false;
    int used = 0;
    Vec3 position, velocity;
    double gdop = 0.0, pdop = 0.0, hdop = 0.0, vdop = 0.0, tdop = 0.0;
};
ReportedFix FixOf(const Epoch& e, const GnssEpoch* gnss)
{
    ReportedFix f;
    if (gnss != nullptr)
    {
        f.valid = gnss->fix.valid;
        f.used = gnss->fix.used;
        f.position = gnss->fix.position;
        f.velocity = gnss->fix.velocity;
        f.pdop = gnss->fix.pdop;
        f.hdop = gnss->fix.hdop;
        f.vdop = gnss->fix.vdop;
        f.tdop = e.fix.tdop;
        f.gdop = std::hypot(f.pdop, f.tdop);
        return f;
    }
    f.valid = e.fix.valid;
    f.used = e.fix.used;
    f.position = e.fix.position;
    f.velocity = e.fix.velocity;
    f.gdop = e.fix.gdop;
    f.pdop = e.fix.pdop;
    f.hdop = e.fix.hdop;
    f.vdop = e.fix.vdop;
    f.tdop = e.fix.tdop;
    return f;
}

void AppendPvt(std::vector<std::uint8_t>& out, const Epoch& e, const ReportedFix& fix)
{
    const UtcTime u = ToUtc(e.trueTime);
    const double whole = std::floor(u.second);
    Payload p(92);
    p.U32(TowMs(e.trueTime)).U16(static_cast<std::uint32_t>(u.year)).U8(static_cast<std::uint32_t>(u.month));
    p.U8(static_cast<std::uint32_t>(u.day)).U8(static_cast<std::uint32_t>(u.hour));
    p.U8(static_cast<std::uint32_t>(u.minute)).U8(static_cast<std::uint32_t>(whole));
    p.U8(0x07);                                          // date, time valid, fully resolved
    p.U32(30).I32(Round((u.second - whole) * 1e9));      // tAcc ns, nano
    p.U8(fix.valid ? 3U : 0U).U8(fix.valid ? 0x01U : 0U).U8(0).U8(static_cast<std::uint32_t>(fix.used));
    if (fix.valid)
    {
        const Geodetic g = ToGeodetic(fix.position);
        const Vec3 v = ToEnu(EnuAxes(g), fix.velocity);
        const double speed = std::hypot(v.x, v.y);
        const double heading = std::fmod(std::atan2(v.x, v.y) / kDegree + 360.0, 360.0);
        p.I32(Round(g.longitude / kDegree * 1e7)).I32(Round(g.latitude / kDegree * 1e7));
        p.I32(Round(g.height * 1000.0)).I32(Round(g.height * 1000.0));  // the geoid is the ellipsoid here
        p.U32(2500).U32(3500);                                          // hAcc, vAcc mm
        p.I32(Round(v.y * 1000.0)).I32(Round(v.x * 1000.0)).I32(Round(-v.z * 1000.0)).I32(Round(speed * 1000.0));
        p.I32(Round(heading * 1e5)).U32(150).U32(speed > 0.5 ? 500000U : 18000000U);
    }
    else
    {
        for (int i = 0; i < 4; ++i)
            p.I32(0);
        p.U32(4294967U).U32(4294967U);
        for (int i = 0; i < 5; ++i)
            p.I32(0);
        p.U32(20000).U32(18000000U);
    }
    p.U16(RoundU(fix.pdop * 100.0)).U8(fix.valid ? 0U : 1U).U8(0).U32(0);  // pDOP, flags3, reserved
    p.I32(0).I16(0).U16(0);                                                 // headVeh, magDec, magAcc
    AppendFrame(out, ubx::kNavPvt, p);
}

std::uint8_t GnssIdOf(GnssSystem s)
{
    switch (s)
    {
        case GnssSystem::Gps:
            return 0;
        case GnssSystem::Glonass:
            return 6;
        case GnssSystem::Galileo:
            return 2;
        case GnssSystem::BeiDou:
            return 3;
        case GnssSystem::Qzss:
            return 5;
    }
    return 0;
}

struct SatReport
{
    std::uint8_t gnssId = 0, svId = 0, cno = 0;
    int elevation = 0, azimuth = 0;
    std::uint32_t flags = 0;
};

// NAV-SAT flags: quality (code and carrier locked 7, code lock 4, searching 1), used, healthy,
// ephemeris available.
std::uint32_t SatFlags(int quality, bool used, bool ephemeris)
{
    return static_cast<std::uint32_t>(quality) | (used ? 0x08U : 0U) | 0x10U | (ephemeris ? 0x800U : 0U);
}

void AppendSat(std::vector<std::uint8_t>& out, const Epoch& e, const GnssEpoch* gnss)
{
    std::vector<SatReport> sats;
    if (gnss != nullptr)
        for (const GnssSatelliteView& s : gnss->satellites)
        {
            const bool tracked = s.cn0[0] > 0.0;
            sats.push_back({GnssIdOf(s.system), static_cast<std::uint8_t>(s.number),
                            static_cast<std::uint8_t>(tracked ? std::lround(s.cn0[0]) : 0),
                            RoundedDegrees(s.elevation), RoundedDegrees(s.azimuth) % 360,
                            SatFlags(tracked ? 7 : 1, s.used, s.used)});
        }
    else
        for (const SatelliteInView& s : e.inView)
        {
            const ChannelOutput* channel = nullptr;
            for (const ChannelOutput& c : e.channels)
                if (c.prn == s.prn)
                    channel = &c;
            const std::uint8_t state = channel != nullptr ? channel->state : 0;
            const int quality = channel == nullptr ? 0 : channel->measured ? 7 : state >= kStateCodeLock ? 4 : 1;
            const bool tracked = channel != nullptr && state >= kStateCodeLock;
            sats.push_back({0, static_cast<std::uint8_t>(s.prn),
                            static_cast<std::uint8_t>(tracked ? std::lround(s.cn0) : 0), RoundedDegrees(s.elevation),
                            RoundedDegrees(s.azimuth) % 360,
                            SatFlags(quality, state == kStateUsed, state >= kStateEphemeris)});
        }
    Payload p(8 + 12 * sats.size());
    p.U32(TowMs(e.trueTime)).U8(1).U8(static_cast<std::uint32_t>(std::min<std::size_t>(sats.size(), 255))).U16(0);
    for (std::size_t k = 0; k < sats.size() && k < 255; ++k)
    {
        const SatReport& s = sats[k];
        p.U8(s.gnssId).U8(s.svId).U8(s.cno).I8(s.elevation).I16(s.azimuth).I16(0).U32(s.flags);
    }
    AppendFrame(out, ubx::kNavSat, p);
}

void AppendDop(std::vector<std::uint8_t>& out, const Epoch& e, const ReportedFix& fix)
{
    Payload p(18);
    auto dop = [&](double v) { return RoundU(fix.valid ? v * 100.0 : 9999.0); };
    p.U32(TowMs(e.trueTime)).U16(dop(fix.gdop)).U16(dop(fix.pdop)).U16(dop(fix.tdop)).U16(dop(fix.vdop));
    p.U16(dop(fix.hdop)).U16(dop(fix.hdop * 0.7)).U16(dop(fix.hdop * 0.7));
    AppendFrame(out, ubx::kNavDop, p);
}

void AppendTimeGps(std::vector<std::uint8_t>& out, const Epoch& e)
{
    const std::uint32_t iTow = TowMs(e.trueTime);
    Payload p(16);
    p.U32(iTow).I32(Round((e.trueTime.tow * 1000.0 - iTow) * 1e6)).I16(e.trueTime.week & 0x7FFF);
    p.I8(kReportedLeapSeconds).U8(0x07).U32(30);
    AppendFrame(out, ubx::kNavTimeGps, p);
}

void AppendRawx(std::vector<std::uint8_t>& out, const Epoch& e)
{
    std::size_t n = 0;
    for (const ChannelOutput& c : e.channels)
        n += c.prn != 0 ? 1 : 0;
    Payload p(16 + 32 * n);
    p.F64(e.receiverTime.tow).U16(static_cast<std::uint32_t>(e.receiverTime.week)).I8(kReportedLeapSeconds);
    p.U8(static_cast<std::uint32_t>(n)).U8(0x01).U8(1).U16(0);  // leap seconds known, version 1
    for (std::size_t k = 0; k < e.channels.size(); ++k)
    {
        const ChannelOutput& c = e.channels[k];
        if (c.prn == 0)
            continue;
        const double pr = c.measured ? c.pseudorangeM : 0.0;
        const double doppler = c.measured ? -c.rangeRateMps / kL1Wavelength : 0.0;
        p.F64(pr).F64(pr / kL1Wavelength).F32(static_cast<float>(doppler));
        p.U8(0).U8(static_cast<std::uint32_t>(c.prn)).U8(0).U8(0);  // GPS, L1 C/A
        p.U16(c.measured ? 64500U : 0U).U8(static_cast<std::uint32_t>(std::lround(std::max(0.0, c.cn0))));
        p.U8(5).U8(2).U8(3).U8(c.measured ? 0x07U : 0x00U).U8(0);  // deviations, tracking status
    }
    AppendFrame(out, ubx::kRxmRawx, p);
}

void AppendSubframes(std::vector<std::uint8_t>& out, const Epoch& e)
{
    for (const auto& [prn, words] : e.subframes)
    {
        std::uint32_t channel = 0;
        for (std::size_t k = 0; k < e.channels.size(); ++k)
            if (e.channels[k].prn == prn)
                channel = static_cast<std::uint32_t>(k);
        Payload p(8 + 40);
        p.U8(0).U8(static_cast<std::uint32_t>(prn)).U8(0).U8(0).U8(10).U8(channel).U8(2).U8(0);
        for (const std::uint32_t w : words)
            p.U32(w & 0x3FFFFFFFU);
        AppendFrame(out, ubx::kRxmSfrbx, p);
    }
}

std::vector<std::uint8_t> Ack(std::uint8_t cls, std::uint8_t id, bool acknowledged)
{
    const std::array<std::uint8_t, 2> payload{cls, id};
    return ubx::BuildFrame(ubx::kClassAck, acknowledged ? 0x01 : 0x00, payload);
}

std::uint32_t Le32(std::span<const std::uint8_t> p, std::size_t at)
{
    return static_cast<std::uint32_t>(p[at]) | static_cast<std::uint32_t>(p[at + 1]) << 8 |
           static_cast<std::uint32_t>(p[at + 2]) << 16 | static_cast<std::uint32_t>(p[at + 3]) << 24;
}

bool SupportedBaud(std::uint32_t baud)
{
    return baud == 4800 || baud == 9600 || baud == 19200 || baud == 38400;
}

// Size of a configuration value from bits 28-30 of its key: one bit (stored in a byte), 1, 2, 4, 8.
std::size_t ValueSize(std::uint32_t key)
{
    switch (key >> 28 & 0x07U)
    {
        case 1:
        case 2:
            return 1;
        case 3:
            return 2;
        case 4:
            return 4;
        case 5:
            return 8;
        default:
            return 0;
    }
}
}  // namespace

void AppendUbxEpoch(std::vector<std::uint8_t>& out, const Epoch& e, const GnssEpoch* gnss, const UbxOutputs& outputs)
{
    const ReportedFix fix = FixOf(e, gnss);
    if (outputs.sfrbx)
        AppendSubframes(out, e);
    if (outputs.rawx)
        AppendRawx(out, e);
    if (outputs.pvt)
        AppendPvt(out, e, fix);
    if (outputs.sat)
        AppendSat(out, e, gnss);
    if (outputs.dop)
        AppendDop(out, e, fix);
    if (outputs.timeGps)
        AppendTimeGps(out, e);
}

std::vector<std::uint8_t> UbxVersionFrame()
{
    Payload p(40 + 30 * 3);
    p.Text("VRNRCVR-SIM 2.05", 30).Text("00080000", 10);
    p.Text("PROTVER=18.00", 30).Text("MOD=SIMULATED", 30).Text("GPS;GLO;GAL;BDS;QZSS", 30);
    return ubx::BuildFrame(ubx::kClassMon, 0x04, p.Bytes());
}

UbxCommandEffect ApplyUbxCommand(std::uint8_t cls, std::uint8_t id, std::span<const std::uint8_t> p,
                                 UbxOutputs& outputs)
{
    UbxCommandEffect effect;
    const std::uint16_t key = ubx::MessageKey(cls, id);
    const std::string name = ubx::MessageLabel(key);
    auto answer = [&](bool acknowledged, std::string text) {
        effect.reply = Ack(cls, id, acknowledged);
        effect.text = name + ": " + std::move(text) + (acknowledged ? "" : " (not acknowledged)");
    };
    if (key == ubx::kMonVer && p.empty())
    {
        effect.reply = UbxVersionFrame();
        effect.text = "MON-VER poll: version sent";
        return effect;
    }
    if (cls != ubx::kClassCfg)
    {
        effect.text = name + ": not a command, ignored";
        return effect;
    }
    switch (key)
    {
        case ubx::kCfgRst:
        {
            if (p.size() != 4)
                break;
            const unsigned mask = static_cast<unsigned>(p[0] | p[1] << 8);
            const StartMode mode = mask == 0 ? StartMode::Hot : (mask & 0x0002U) != 0 ? StartMode::Cold : StartMode::Warm;
            effect.restart = mode;
            answer(true, mode == StartMode::Hot ? "hot start" : mode == StartMode::Warm ? "warm start" : "cold start");
            return effect;
        }
        case ubx::kCfgPrt:
        {
            if (p.size() != 20 || p[0] != 1)
                break;
            const std::uint32_t baud = Le32(p, 8);
            if (!SupportedBaud(baud))
            {
                answer(false, "baud " + std::to_string(baud) + " not supported");
                return effect;
            }
            effect.baud = static_cast<int>(baud);
            answer(true, "UART1 at " + std::to_string(baud) + " baud");
            return effect;
        }
        case ubx::kCfgMsg:
        {
            if (p.size() != 3 && p.size() != 8)
                break;
            const std::uint16_t message = ubx::MessageKey(p[0], p[1]);
            const bool on = (p.size() == 3 ? p[2] : p[3]) != 0;  // this port, or UART1 of the six
            for (const OutputMessage& m : kOutputMessages)
                if (m.key == message)
                    outputs.*m.flag = on;
            answer(true, ubx::MessageLabel(message) + (on ? " on" : " off"));
            return effect;
        }
        case ubx::kCfgValSet:
        {
            if (p.size() < 4)
                break;
            // All values must be known before any is applied, as the receiver does.
            UbxOutputs next = outputs;
            int baud = 0;
            std::string text;
            for (std::size_t at = 4; at < p.size();)
            {
                if (at + 4 > p.size())
                {
                    answer(false, "cut value");
                    return effect;
                }
                const std::uint32_t k = Le32(p, at);
                const std::size_t size = ValueSize(k);
                if (size == 0 || at + 4 + size > p.size())
                {
                    answer(false, "bad value");
                    return effect;
                }
                const std::uint32_t value = size >= 4 ? Le32(p, at + 4) : size == 2 ? (p[at + 4] | p[at + 5] << 8) : p[at + 4];
                at += 4 + size;
                const auto* output = std::find_if(kOutputKeys.begin(), kOutputKeys.end(),
                                                  [k](const OutputKey& o) { return o.uart1 == k || o.usb == k; });
                if (k == kKeyUart1Baud && SupportedBaud(value))
                {
                    baud = static_cast<int>(value);
                    text += " UART1 at " + std::to_string(value) + " baud";
                }
                else if (output != kOutputKeys.end())
                {
                    next.*output->flag = value != 0;
                    text += " output " + std::to_string(value);
                }
                else
                {
                    answer(false, "unknown key");
                    return effect;
                }
            }
            outputs = next;
            effect.baud = baud;
            answer(true, text.empty() ? "nothing" : text.substr(1));
            return effect;
        }
        default:
            break;
    }
    answer(false, "not understood");
    return effect;
}
}  // namespace vrnsim
