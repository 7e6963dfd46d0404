// Binary message encoders and NMEA sentence builders of the simulated receiver.
#include "sim/Messages.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>

#include "sim/NmeaText.h"

namespace vrnsim
{
namespace
{
class Writer
{
public:
    explicit Writer(std::size_t reserve) { m_bytes.reserve(reserve); }
    Writer& U8(std::uint32_t v)
    {
        m_bytes.push_back(static_cast<std::uint8_t>(v & 0xFFU));
        return *this;
    }
    Writer& U16(std::uint32_t v) { return U8(v).U8(v >> 8); }
    Writer& U32(std::uint32_t v) { return U16(v & 0xFFFFU).U16(v >> 16); }
    Writer& I16(std::int32_t v) { return U16(static_cast<std::uint32_t>(v)); }
    Writer& I32(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)); }
    Writer& F64(double v)
    {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        return U32(static_cast<std::uint32_t>(bits & 0xFFFFFFFFULL))
            .U32(static_cast<std::uint32_t>(bits >> 32));
    }
    std::vector<std::uint8_t> Take() { return std::move(m_bytes); }

private:
    std::vector<std::uint8_t> m_bytes;
};

std::int32_t Centiseconds(GpsTime t)
{
    return std::min(ClampToInt<std::int32_t>(std::floor(t.tow * 100.0 + 0.5)), 60479999);
}
std::uint16_t Week(GpsTime t)
{
    return static_cast<std::uint16_t>(t.week & 0xFFFF);
}
std::uint8_t Tenths(double dop)
{
    return ClampToInt<std::uint8_t>(std::floor(dop * 10.0 + 0.5));
}
// Civil date from days since 1970-01-01 (proleptic Gregorian).
void CivilFromDays(long long z, int& y, int& m, int& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}
}  // namespace

UtcTime ToUtc(GpsTime t)
{
    // In hundredths of a second, rounded, so that a time a few microseconds short of a whole second
    // reads as that second.
    const long long centis = static_cast<long long>(t.week) * 60480000LL + std::llround(t.tow * 100.0) +
                             (315964800LL - kLeapSeconds) * 100;
    long long days = centis / 8640000;
    long long rest = centis % 8640000;
    if (rest < 0)
    {
        rest += 8640000;
        --days;
    }
    UtcTime u;
    CivilFromDays(days, u.year, u.month, u.day);
    u.hour = static_cast<int>(rest / 360000);
    u.minute = static_cast<int>(rest % 360000 / 6000);
    u.second = static_cast<double>(rest % 6000) / 100.0;
    return u;
}

std::uint8_t RawSignalLevel(double cn0)
{
    return ClampToInt<std::uint8_t>(std::ceil(std::pow(10.0, (cn0 - 8.0) / 20.0) - 1.0));
}

NavRecord MakeNavRecord(const Epoch& e)
{
    NavRecord r;
    r.id = kIdNav;
    r.week = Week(e.trueTime);
    r.timeOfWeek = Centiseconds(e.trueTime);
    r.x = ClampToInt<std::int32_t>(std::round(e.fix.position.x));
    r.y = ClampToInt<std::int32_t>(std::round(e.fix.position.y));
    r.z = ClampToInt<std::int32_t>(std::round(e.fix.position.z));
    r.vx = ClampToInt<std::int16_t>(std::round(e.fix.velocity.x * 10.0));
    r.vy = ClampToInt<std::int16_t>(std::round(e.fix.velocity.y * 10.0));
    r.vz = ClampToInt<std::int16_t>(std::round(e.fix.velocity.z * 10.0));
    const int visible = std::min<int>(15, static_cast<int>(e.inView.size()));
    const int used = std::min(15, e.fix.used);
    r.infoByte = static_cast<std::uint8_t>(visible << 4 | used);
    r.infoWord = kReceiverVersion;
    return r;
}

DopRecord MakeDopRecord(const Epoch& e)
{
    DopRecord r;
    r.id = kIdDop;
    r.week = Week(e.trueTime);
    r.timeOfWeek = Centiseconds(e.trueTime);
    if (e.fix.valid)
    {
        r.gdop = Tenths(e.fix.gdop);
        r.pdop = Tenths(e.fix.pdop);
        r.hdop = Tenths(e.fix.hdop);
        r.vdop = Tenths(e.fix.vdop);
        r.tdop = Tenths(e.fix.tdop);
        r.mode = 3;  // 3D
    }
    return r;
}

int SvEntryCount(const Epoch& e)
{
    return static_cast<int>(std::count_if(e.channels.begin(), e.channels.end(),
                                          [](const ChannelOutput& c) { return c.prn != 0; }));
}
int MeasEntryCount(const Epoch& e)
{
    return SvEntryCount(e);
}

SvRecord MakeSvRecord(const Epoch& e)
{
    SvRecord r;
    r.id = kIdSv;
    r.week = Week(e.trueTime);
    r.timeOfWeek = Centiseconds(e.trueTime);
    std::size_t n = 0;
    for (std::size_t k = 0; k < e.channels.size(); ++k)
    {
        const ChannelOutput& c = e.channels[k];
        if (c.prn == 0)
            continue;
        SvEntry& s = r.entries[n++];
        s.channel = static_cast<std::uint8_t>(k);
        s.prn = static_cast<std::uint8_t>(c.prn);
        s.azimuth = static_cast<std::uint16_t>(std::clamp(RoundedDegrees(c.azimuth), 0, 359));
        s.elevation = static_cast<std::uint8_t>(std::clamp(RoundedDegrees(c.elevation), 0, 90));
        s.signal = c.state >= kStateCodeLock ? RawSignalLevel(c.cn0) : 0;
        s.state = c.state;
    }
    r.count = static_cast<std::uint8_t>(n);
    return r;
}

StatusRecord MakeStatusRecord(const Epoch& e, double secondsSinceStart)
{
    StatusRecord r;
    r.id = kIdStatus;
    r.status1 = ClampToInt<std::int32_t>(secondsSinceStart);                       // seconds since power-up
    r.status2 = static_cast<std::int16_t>(e.Measured());                           // channels measuring
    r.status3 = static_cast<std::int16_t>(e.inView.size());                        // satellites in view
    r.status4 = ClampToInt<std::int32_t>(e.clockBiasM / kSpeedOfLight * 1e9);      // clock bias, ns
    r.status5 = ClampToInt<std::int16_t>(e.clockDriftMps / kSpeedOfLight * 1e12);  // drift, ps/s
    r.status6 = static_cast<std::int16_t>(e.fix.valid ? 3 : 0);
    r.status7 = Centiseconds(e.trueTime);
    r.status8 = e.trueTime.week;
    r.status9 = 0;
    r.status10 = 0;
    r.status11 = kReceiverVersion;
    constexpr std::string_view kText = "VRNSIM205 ";
    std::copy(kText.begin(), kText.end(), r.statusText.begin());
    return r;
}

MeasRecord MakeMeasRecord(const Epoch& e)
{
    MeasRecord r;
    r.id = kIdMeas;
    r.week = Week(e.receiverTime);
    r.timeOfWeek = Centiseconds(e.receiverTime);
    // The oscillator's offset from its nominal intermediate frequency.
    r.measWord = ClampToInt<std::uint16_t>(std::floor(32051.25 - e.clockDriftMps / kL1Wavelength + 0.5));
    std::size_t n = 0;
    for (std::size_t k = 0; k < e.channels.size(); ++k)
    {
        const ChannelOutput& c = e.channels[k];
        if (c.prn == 0)
            continue;
        MeasEntry& m = r.entries[n++];
        const auto elevation = static_cast<std::uint16_t>(std::clamp(RoundedDegrees(c.elevation), 0, 90));
        m.chanPrn = static_cast<std::uint16_t>(k | (static_cast<std::size_t>(c.prn) & 0x1FU) << 4 |
                                               static_cast<std::size_t>(elevation) << 9);
        m.signal = c.state;
        m.flags = c.measured ? 1 : 0;
        if (c.measured)
        {
            m.meas1 = ClampToInt<std::int32_t>(std::round(c.pseudorangeM));
            m.meas2 = ClampToInt<std::int32_t>(std::round(c.rangeRateMps * 1000.0));
            m.aux = ClampToInt<std::int16_t>(std::round(-c.rangeRateMps / kL1Wavelength));
        }
    }
    r.measByte = static_cast<std::uint8_t>(n);
    return r;
}

SatDataRecord MakeSatDataRecord(const Epoch& e)
{
    SatDataRecord r;
    r.id = kIdSatData;
    r.week = static_cast<std::int16_t>(e.receiverTime.week);
    r.time = e.receiverTime.tow;
    std::size_t n = 0;
    for (std::size_t k = 0; k < e.channels.size(); ++k)
    {
        const ChannelOutput& c = e.channels[k];
        if (!c.measured)
            continue;
        SatDataEntry& s = r.entries[n++];
        s.channel = static_cast<std::uint8_t>(k);
        s.prn = static_cast<std::uint8_t>(c.prn);
        s.pseudorange = c.pseudorangeM;
        s.rangeRate = c.rangeRateMps;
    }
    r.count = static_cast<std::uint8_t>(n);
    return r;
}

SubframeRecord MakeSubframeRecord(int prn, const SubframeWords& words)
{
    SubframeRecord r;
    r.id = kIdSubframe;
    r.prn = static_cast<std::uint8_t>(prn);
    std::copy(words.begin(), words.end(), r.words.begin());
    return r;
}

std::vector<std::uint8_t> Encode(const NavRecord& r)
{
    Writer w(28);
    w.U8(r.id).U16(r.week).I32(r.timeOfWeek).I32(r.x).I32(r.y).I32(r.z).I16(r.vx).I16(r.vy).I16(r.vz);
    return w.U8(r.infoByte).I16(r.infoWord).Take();
}

std::vector<std::uint8_t> Encode(const DopRecord& r)
{
    Writer w(13);
    w.U8(r.id).U16(r.week).I32(r.timeOfWeek).U8(r.gdop).U8(r.pdop).U8(r.hdop).U8(r.vdop).U8(r.tdop);
    return w.U8(r.mode).Take();
}

std::vector<std::uint8_t> Encode(const SvRecord& r, int entries)
{
    Writer w(8 + 7 * kChannelCount);
    w.U8(r.id).U16(r.week).I32(r.timeOfWeek).U8(r.count);
    for (std::size_t k = 0; k < static_cast<std::size_t>(std::clamp(entries, 0, 12)); ++k)
    {
        const SvEntry& s = r.entries[k];
        w.U8(s.channel).U8(s.prn).U16(s.azimuth).U8(s.elevation).U8(s.signal).U8(s.state);
    }
    return w.Take();
}

std::vector<std::uint8_t> Encode(const StatusRecord& r)
{
    Writer w(45);
    w.U8(r.id).I32(r.status1).I16(r.status2).I16(r.status3).I32(r.status4).I16(r.status5).I16(r.status6);
    w.I32(r.status7).I32(r.status8).I32(r.status9).I32(r.status10).I16(r.status11);
    for (const std::uint8_t c : r.statusText)
        w.U8(c);
    return w.Take();
}

std::vector<std::uint8_t> Encode(const MeasRecord& r, int entries)
{
    Writer w(10 + 14 * kChannelCount);
    w.U8(r.id).U16(r.week).I32(r.timeOfWeek).U16(r.measWord).U8(r.measByte);
    for (std::size_t k = 0; k < static_cast<std::size_t>(std::clamp(entries, 0, 12)); ++k)
    {
        const MeasEntry& m = r.entries[k];
        w.U16(m.chanPrn).U8(m.signal).U8(m.flags).I32(m.meas1).I32(m.meas2).I16(m.aux);
    }
    return w.Take();
}

std::vector<std::uint8_t> Encode(const SatDataRecord& r)
{
    Writer w(12 + 18 * kChannelCount);
    w.U8(r.id).U8(r.count).I16(r.week).F64(r.time);
    for (std::size_t k = 0; k < std::min<std::size_t>(r.count, kChannelCount); ++k)
    {
        const SatDataEntry& s = r.entries[k];
        w.U8(s.channel).U8(s.prn).F64(s.pseudorange).F64(s.rangeRate);
    }
    return w.Take();
}

std::vector<std::uint8_t> Encode(const SubframeRecord& r)
{
    Writer w(42);
    w.U8(r.id).U8(r.prn);
    for (const std::uint32_t word : r.words)
        w.U32(word);
    return w.Take();
}

std::string Sentence(std::string_view body, bool checksum)
{
    std::string s;
    s.reserve(body.size() + 6);
    s += '$';
    s += body;
    if (checksum)
    {
        std::uint8_t sum = 0;
        for (const char c : body)
            sum = static_cast<std::uint8_t>(sum ^ static_cast<std::uint8_t>(c));
        constexpr std::string_view kHex = "0123456789ABCDEF";
        s += '*';
        s += kHex[sum >> 4];
        s += kHex[sum & 0xF];
    }
    s += "\r\n";
    return s;
}

std::string MakeNmeaEpoch(const Epoch& e, std::uint8_t selection)
{
    const bool checksum = (selection & kNmeaChecksums) != 0;
    const bool fix = e.fix.valid;
    const UtcTime utc = ToUtc(e.trueTime);
    FixFields fields{fix, ToGeodetic(e.fix.position), e.fix.used, e.fix.hdop};
    if (fix)
        SpeedAndCourse(e.geodetic, e.fix.velocity, fields.speed, fields.course);
    std::string out;
    out.reserve(600);
    std::string b;

    if (selection & 0x01)  // GGA
    {
        b = "GPGGA,";
        AppendGgaFields(b, utc, fields);
        out += Sentence(b, checksum);
    }
    if (selection & 0x02)  // GLL
    {
        b = "GPGLL,";
        AppendGllFields(b, utc, fields);
        b += fix ? ",A" : ",V";
        out += Sentence(b, checksum);
    }
    if (selection & 0x04)  // GSA
    {
        b = fix ? "GPGSA,A,3" : "GPGSA,A,1";
        int listed = 0;
        for (const ChannelOutput& c : e.channels)
            if (fix && c.state == kStateUsed)
            {
                b += ',';
                AppendInt(b, c.prn, 2);
                ++listed;
            }
        for (; listed < 12; ++listed)
            b += ',';
        b += ',';
        if (fix)
        {
            AppendFixed(b, e.fix.pdop, 1);
            b += ',';
            AppendFixed(b, e.fix.hdop, 1);
            b += ',';
            AppendFixed(b, e.fix.vdop, 1);
        }
        else
            b += ",";
        out += Sentence(b, checksum);
    }
    if (selection & 0x08)  // GSV, four satellites per sentence
    {
        const std::size_t n = e.inView.size();
        const std::size_t messages = std::max<std::size_t>(1, (n + 3) / 4);
        for (std::size_t m = 0; m < messages; ++m)
        {
            b = "GPGSV,";
            AppendInt(b, static_cast<long>(messages));
            b += ',';
            AppendInt(b, static_cast<long>(m + 1));
            b += ',';
            AppendInt(b, static_cast<long>(n), 2);
            for (std::size_t k = 4 * m; k < std::min(n, 4 * m + 4); ++k)
            {
                const SatelliteInView& v = e.inView[k];
                b += ',';
                AppendInt(b, v.prn, 2);
                b += ',';
                AppendInt(b, std::clamp(RoundedDegrees(v.elevation), 0, 90), 2);
                b += ',';
                AppendInt(b, RoundedDegrees(v.azimuth) % 360, 3);
                b += ',';
                if (v.channel >= 0 && e.channels[static_cast<std::size_t>(v.channel)].state >= kStateCodeLock)
                    AppendInt(b, std::lround(v.cn0), 2);
            }
            out += Sentence(b, checksum);
        }
    }
    if (selection & 0x10)  // RMC
    {
        b = "GPRMC,";
        AppendRmcFields(b, utc, fields);
        b += ",,";
        out += Sentence(b, checksum);
    }
    if (selection & 0x20)  // VTG
    {
        b = "GPVTG,";
        AppendVtgFields(b, fields);
        out += Sentence(b, checksum);
    }
    return out;
}

}  // namespace vrnsim
