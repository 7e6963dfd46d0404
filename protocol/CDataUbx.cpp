// CData: the decoders of a u-blox receiver's binary messages. Each message lands in its UBX record
// (wire units), and what the views and tools read is derived from it: the full-precision fix
// (NAV-PVT; NAV-POSLLH or NAV-SOL for firmware without it), the satellite table (NAV-SAT, or
// NAV-SVINFO of older firmware, replacing the table per message), and the classic NAV, DOP and SV
// records the existing views draw (position in ECEF metres, DOPs in tenths, GPS satellites in the
// twelve channel entries). MON-VER and INF texts go to the trace.
//
// Bad data: a message shorter than its layout is not decoded (counted as ignored); numbers outside
// their documented ranges (an elevation beyond ±90, a month 13) are treated as not sent; counts in
// a message never index past its payload.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "app/CoreServices.h"
#include "app/CTraceFile.h"
#include "nav/Coordinates.h"
#include "protocol/CData.h"
#include "protocol/UbxFrame.h"
#include "protocol/WireBytes.h"

namespace
{
constexpr double kDegToRad = 0.017453292519943295;
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kSecondsPerWeek = 604800;

// Layout sizes.
constexpr std::size_t kPvtMinimum = 84;  // u-blox 7 sends 84 bytes, later generations 92
constexpr std::size_t kPvtFull = 92;
constexpr std::size_t kSatHeader = 8, kSatEntry = 12;
constexpr std::size_t kSvInfoHeader = 8, kSvInfoEntry = 12;

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(int year, int month, int day)
{
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}
const std::int64_t kGpsEpochDays = DaysFromCivil(1980, 1, 6);

// The proleptic Gregorian date of a count of days since 1970-01-01.
void CivilFromDays(std::int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool PlausibleDate(int year, int month, int day)
{
    return year >= 1980 && year < 2200 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}
bool PlausibleTime(int hour, int minute, int second)
{
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second <= 60;
}

template <std::size_t N>
void CopyText(std::array<char, N>& to, std::string_view text)
{
    const std::size_t n = std::min(text.size(), N - 1);
    std::memcpy(to.data(), text.data(), n);
    to[n] = '\0';
    std::fill(to.begin() + static_cast<std::ptrdiff_t>(n) + 1, to.end(), '\0');
}

// "hhmmss.ss" of a time of day in seconds, rounded to hundredths (23:59:59.996 reads 00:00:00.00).
void FormatUtc(std::array<char, 16>& out, double secondsOfDay)
{
    auto centis = static_cast<std::int64_t>(std::llround(secondsOfDay * 100.0));
    centis %= kSecondsPerDay * 100;
    if (centis < 0)
        centis += kSecondsPerDay * 100;
    std::snprintf(out.data(), out.size(), "%02d%02d%02d.%02d", static_cast<int>(centis / 360000),
                  static_cast<int>(centis / 6000 % 60), static_cast<int>(centis / 100 % 60),
                  static_cast<int>(centis % 100));
}

void FormatDate(std::array<char, 8>& out, int year, int month, int day)
{
    const auto two = [](int v) { return static_cast<unsigned>(std::abs(v) % 100); };
    std::snprintf(out.data(), out.size(), "%02u%02u%02u", two(day), two(month), two(year));
}

// A value sent in hundredths, as the nearest double to its decimal text (so "1.23", not
// 1.2300000000000002, when printed shortest).
double Hundredths(double count)
{
    return count / 100.0;
}

// The receiver's leap seconds, or the current value when it has not reported them.
int LeapSecondsOf(const UbxRecords& u)
{
    return u.leapSeconds != kUnknownLeapSeconds ? u.leapSeconds : kDefaultLeapSeconds;
}

// UTC time of day of a GPS time of week (ms).
double UtcSecondsOfDay(const UbxRecords& u, std::uint32_t iTowMs)
{
    const double t = static_cast<double>(iTowMs) * 0.001 - LeapSecondsOf(u);
    double sod = std::fmod(t, static_cast<double>(kSecondsPerDay));
    if (sod < 0.0)
        sod += static_cast<double>(kSecondsPerDay);
    return sod;
}

// Printable text of an INF or version string: up to the first NUL, control bytes as '?'.
std::string Printable(std::span<const std::uint8_t> bytes)
{
    std::string text;
    for (const std::uint8_t b : bytes)
    {
        if (b == 0)
            break;
        text += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '?';
    }
    return text;
}

// Geodetic (degrees, metres) to the classic NAV record's ECEF metres and 0.1 m/s.
void FillClassicNav(CData& set, double latDeg, double lonDeg, double heightM, double vn, double ve, double vd)
{
    NavRecord& nav = set.nav;
    nav = {};
    nav.id = kIdNav;
    nav.week = static_cast<std::uint16_t>(std::max(0, set.fix.gpsWeek) & 0xFFFF);
    nav.timeOfWeek = ClampToInt<std::int32_t>(std::round(set.fix.gpsTimeOfWeekS * 100.0));
    const double lat = latDeg * kDegToRad, lon = lonDeg * kDegToRad;
    const Triple xyz = GeodeticToEcef(lat, lon, heightM);
    nav.x = ClampToInt<std::int32_t>(std::round(xyz[0]));
    nav.y = ClampToInt<std::int32_t>(std::round(xyz[1]));
    nav.z = ClampToInt<std::int32_t>(std::round(xyz[2]));
    if (std::isfinite(vn) && std::isfinite(ve) && std::isfinite(vd))
    {
        const Matrix3 ned = NorthEastDownMatrix(lat, lon);
        for (int axis = 0; axis < 3; ++axis)
        {
            const auto a = static_cast<std::size_t>(axis);
            const double v = ned[a] * vn + ned[3 + a] * ve + ned[6 + a] * vd;
            const std::int16_t tenths = ClampToInt<std::int16_t>(std::round(v * 10.0));
            (axis == 0 ? nav.vx : axis == 1 ? nav.vy : nav.vz) = tenths;
        }
    }
    const int visible = static_cast<int>(std::min<std::size_t>(15, set.satellites.CountInView()));
    const int used = std::clamp(set.fix.satsUsed, 0, 15);
    nav.infoByte = static_cast<std::uint8_t>(visible << 4 | used);
}

// The classic DOP record from the latest NAV-DOP (0.01 -> 0.1, saturated) and the fix mode.
void FillClassicDop(CData& set)
{
    const UbxRecords& u = set.ublox;
    DopRecord& dop = set.dop;
    dop.id = kIdDop;
    dop.week = static_cast<std::uint16_t>(std::max(0, set.fix.gpsWeek) & 0xFFFF);
    dop.timeOfWeek = ClampToInt<std::int32_t>(std::round(set.fix.gpsTimeOfWeekS * 100.0));
    auto tenths = [](std::uint16_t hundredths) {
        return static_cast<std::uint8_t>(std::min<unsigned>(255U, (hundredths + 5U) / 10U));
    };
    dop.gdop = tenths(u.dop.gDop);
    dop.pdop = u.dop.pDop != 0 ? tenths(u.dop.pDop) : tenths(u.pvt.pDop);
    dop.hdop = tenths(u.dop.hDop);
    dop.vdop = tenths(u.dop.vDop);
    dop.tdop = tenths(u.dop.tDop);
    // The classic modes: 0 none, 2 2D, 3 3D, 4 3D with differential corrections.
    switch (set.fix.fixMode)
    {
        case 2:
            dop.mode = 2;
            break;
        case 3:
            dop.mode = set.fix.quality == 2 || set.fix.quality == 4 || set.fix.quality == 5 ? 4 : 3;
            break;
        default:
            dop.mode = 0;
            break;
    }
}

// GGA-style quality and the 1..3 fix mode of a u-blox fix type and its flags.
void ClassifyFix(ReceiverFix& fix, int fixType, bool fixOk, bool differential, int carrier)
{
    switch (fixType)
    {
        case 1:  // dead reckoning only
            fix.fixMode = 2;
            fix.quality = 6;
            return;
        case 2:
        case 3:
        case 4:
            fix.fixMode = fixType == 2 ? 2 : 3;
            if (!fixOk)
                fix.quality = 0;
            else if (carrier == 2)
                fix.quality = 4;
            else if (carrier == 1)
                fix.quality = 5;
            else if (differential)
                fix.quality = 2;
            else
                fix.quality = fixType == 4 ? 6 : 1;
            return;
        default:  // no fix, time only
            fix.fixMode = 1;
            fix.quality = 0;
            return;
    }
}

// Week and time of week of a report: the receiver's week when it gave one, otherwise the week
// that puts the UTC date and time (plus leap seconds) next to the time of week.
void SetGpsTime(CData& set, std::uint32_t iTowMs, std::optional<std::int64_t> utcSecondsSinceGpsEpoch)
{
    UbxRecords& u = set.ublox;
    set.fix.gpsTimeOfWeekS = static_cast<double>(iTowMs) * 0.001;
    if (u.week < 0 && utcSecondsSinceGpsEpoch)
    {
        const double gps = static_cast<double>(*utcSecondsSinceGpsEpoch + LeapSecondsOf(u));
        const double week = std::round((gps - set.fix.gpsTimeOfWeekS) / static_cast<double>(kSecondsPerWeek));
        if (week >= 0.0 && week < 65536.0)
            u.week = static_cast<int>(week);
    }
    set.fix.gpsWeek = u.week;
}

// ---- navigation messages ----

unsigned DecodeUbxPvt(CData& set, const WireBytes& w, std::size_t size)
{
    if (size < kPvtMinimum)
        return kUbxIgnored;
    UbxRecords& u = set.ublox;
    UbxPvtRecord& p = u.pvt;
    p = {};
    p.iTow = w.U32(0);
    p.year = w.U16(4);
    p.month = w.U8(6);
    p.day = w.U8(7);
    p.hour = w.U8(8);
    p.minute = w.U8(9);
    p.second = w.U8(10);
    p.valid = w.U8(11);
    p.tAcc = w.U32(12);
    p.nano = w.I32(16);
    p.fixType = w.U8(20);
    p.flags = w.U8(21);
    p.flags2 = w.U8(22);
    p.numSv = w.U8(23);
    p.lon = w.I32(24);
    p.lat = w.I32(28);
    p.height = w.I32(32);
    p.hMsl = w.I32(36);
    p.hAcc = w.U32(40);
    p.vAcc = w.U32(44);
    p.velN = w.I32(48);
    p.velE = w.I32(52);
    p.velD = w.I32(56);
    p.gSpeed = w.I32(60);
    p.headMot = w.I32(64);
    p.sAcc = w.U32(68);
    p.headAcc = w.U32(72);
    p.pDop = w.U16(76);
    if (size >= kPvtFull)
    {
        p.flags3 = w.U8(78);
        p.headVeh = w.I32(84);
    }
    u.pvtSeen = true;

    ReceiverFix& f = set.fix;
    const std::uint32_t sequence = f.sequence;
    const char modeIndicator = f.modeIndicator, navStatus = f.navStatus;
    f = ReceiverFix{};
    f.sequence = sequence + 1;
    f.modeIndicator = modeIndicator;
    f.navStatus = navStatus;
    CopyText(f.source, "NAV-PVT");

    std::optional<std::int64_t> utcSinceGpsEpoch;
    if (PlausibleTime(p.hour, p.minute, p.second) && p.nano > -1000000000 && p.nano < 1000000000)
    {
        const double sod = p.hour * 3600.0 + p.minute * 60.0 + p.second + p.nano * 1e-9;
        FormatUtc(f.utcText, sod);
        f.utcSecondsOfDay = std::fmod(std::round(sod * 100.0) / 100.0 + 86400.0, 86400.0);
        // A resolved time also tells the leap seconds, when the receiver gave them nowhere else.
        if ((p.valid & 0x06) == 0x06 && u.leapSeconds == kUnknownLeapSeconds)
        {
            double leap = std::fmod(p.iTow * 0.001 - sod, static_cast<double>(kSecondsPerDay));
            if (leap < -43200.0)
                leap += static_cast<double>(kSecondsPerDay);
            else if (leap > 43200.0)
                leap -= static_cast<double>(kSecondsPerDay);
            if (leap >= 0.0 && leap < 100.0)
                u.leapSeconds = static_cast<int>(std::lround(leap));
        }
        if (PlausibleDate(p.year, p.month, p.day))
        {
            FormatDate(f.date, p.year, p.month, p.day);
            utcSinceGpsEpoch = (DaysFromCivil(p.year, p.month, p.day) - kGpsEpochDays) * kSecondsPerDay +
                               p.hour * 3600 + p.minute * 60 + p.second;
        }
    }
    SetGpsTime(set, p.iTow, utcSinceGpsEpoch);

    const bool fixOk = (p.flags & 0x01) != 0;
    ClassifyFix(f, p.fixType, fixOk, (p.flags & 0x02) != 0, (p.flags >> 6) & 0x03);
    f.carried = kFixCarriesQuality | kFixCarriesSatsUsed;
    f.satsUsed = p.numSv;
    f.pdop = Hundredths(p.pDop);
    if (set.ublox.dop.iTow == p.iTow && set.ublox.dop.hDop != 0)
    {
        f.hdop = Hundredths(u.dop.hDop);
        f.vdop = Hundredths(u.dop.vDop);
    }
    const bool position = p.fixType >= 1 && p.fixType <= 4 && (p.flags3 & 0x01) == 0;
    if (position)
    {
        f.carried |= kFixCarriesAltitude;
        f.latitudeDeg = p.lat * 1e-7;
        f.longitudeDeg = p.lon * 1e-7;
        f.heightEllipsoidM = p.height / 1000.0;
        f.altitudeMslM = p.hMsl / 1000.0;
        f.geoidSeparationM = (static_cast<double>(p.height) - p.hMsl) / 1000.0;
        f.speedMps = p.gSpeed / 1000.0;
        f.courseDeg = p.headMot / 1e5;
        FillClassicNav(set, f.latitudeDeg, f.longitudeDeg, f.heightEllipsoidM, p.velN * 0.001, p.velE * 0.001,
                       p.velD * 0.001);
    }
    FillClassicDop(set);
    return kUbxFix | kUbxTime | (u.dopSeen ? kUbxNothing : kUbxDop);
}

// NAV-POSLLH and NAV-SOL: position reports of firmware without NAV-PVT. `fixType` and the flags
// come with NAV-SOL, or from the latest NAV-STATUS for NAV-POSLLH.
unsigned ReportOlderFix(CData& set, const char* source, std::uint32_t iTow, double latDeg, double lonDeg,
                        double heightM, double mslM, int fixType, std::uint8_t flags, int numSv, double pdop)
{
    UbxRecords& u = set.ublox;
    ReceiverFix& f = set.fix;
    const std::uint32_t sequence = f.sequence;
    const char modeIndicator = f.modeIndicator, navStatus = f.navStatus;
    const int satsUsed = f.satsUsed;
    f = ReceiverFix{};
    f.sequence = sequence + 1;
    f.modeIndicator = modeIndicator;
    f.navStatus = navStatus;
    f.satsUsed = numSv >= 0 ? numSv : satsUsed;
    CopyText(f.source, source);
    // UTC from NAV-TIMEUTC of the same epoch when it came first, else from GPS time and leap seconds.
    double sod = UtcSecondsOfDay(u, iTow);
    const UbxTimeUtcRecord& t = u.timeUtc;
    if (t.iTow == iTow && (t.valid & 0x04) != 0 && PlausibleTime(t.hour, t.minute, t.second))
        sod = t.hour * 3600.0 + t.minute * 60.0 + t.second + t.nano * 1e-9;
    FormatUtc(f.utcText, sod);
    f.utcSecondsOfDay = std::fmod(std::round(sod * 100.0) / 100.0 + 86400.0, 86400.0);
    SetGpsTime(set, iTow, std::nullopt);
    if ((t.valid & 0x04) != 0 && PlausibleDate(t.year, t.month, t.day))
        FormatDate(f.date, t.year, t.month, t.day);
    else if (u.week >= 0)
    {
        // The UTC date of the GPS week and time of week.
        const double utc = static_cast<double>(u.week) * static_cast<double>(kSecondsPerWeek) + iTow * 0.001 -
                           LeapSecondsOf(u);
        const auto days = static_cast<std::int64_t>(std::floor(utc / static_cast<double>(kSecondsPerDay)));
        int year = 0, month = 0, day = 0;
        CivilFromDays(days + kGpsEpochDays, year, month, day);
        FormatDate(f.date, year, month, day);
    }
    ClassifyFix(f, fixType, (flags & 0x01) != 0, (flags & 0x02) != 0, 0);
    f.carried = kFixCarriesQuality | (numSv >= 0 ? kFixCarriesSatsUsed : 0);
    f.pdop = pdop;
    if (u.dop.iTow == iTow && u.dop.hDop != 0)
    {
        f.hdop = Hundredths(u.dop.hDop);
        f.vdop = Hundredths(u.dop.vDop);
        if (!std::isfinite(f.pdop))
            f.pdop = Hundredths(u.dop.pDop);
    }
    const bool position = fixType >= 1 && fixType <= 4;
    if (position)
    {
        if (std::isfinite(mslM))
            f.carried |= kFixCarriesAltitude;
        f.latitudeDeg = latDeg;
        f.longitudeDeg = lonDeg;
        f.heightEllipsoidM = heightM;
        f.altitudeMslM = mslM;
        if (std::isfinite(mslM))
            f.geoidSeparationM = heightM - mslM;
        if (u.speedMps >= 0.0)
        {
            f.speedMps = u.speedMps;
            f.courseDeg = u.courseDeg;
        }
        FillClassicNav(set, latDeg, lonDeg, heightM, kNoValue, kNoValue, kNoValue);
    }
    FillClassicDop(set);
    return kUbxFix | (u.dopSeen ? kUbxNothing : kUbxDop);
}

unsigned DecodeUbxPosLlh(CData& set, const WireBytes& w, std::size_t size)
{
    if (size < 28)
        return kUbxIgnored;
    UbxRecords& u = set.ublox;
    u.posLlhSeen = true;
    if (u.pvtSeen)
        return kUbxNothing;
    // The fix type and flags come from the latest NAV-STATUS or NAV-SOL; a 3D fix when neither came.
    const int fixType = u.fixTypeHint >= 0 ? u.fixTypeHint : 3;
    const std::uint8_t flags = u.fixTypeHint >= 0 ? u.fixFlagsHint : std::uint8_t{0x01};
    return ReportOlderFix(set, "NAV-POSLLH", w.U32(0), w.I32(8) * 1e-7, w.I32(4) * 1e-7, w.I32(12) / 1000.0,
                          w.I32(16) / 1000.0, fixType, flags, -1, kNoValue);
}

unsigned DecodeUbxSol(CData& set, const WireBytes& w, std::size_t size)
{
    if (size < 52)
        return kUbxIgnored;
    UbxRecords& u = set.ublox;
    const std::uint32_t iTow = w.U32(0);
    const std::uint8_t flags = w.U8(11);
    if ((flags & 0x04) != 0 && w.I16(8) >= 0)  // week valid
        u.week = w.I16(8);
    u.fixTypeHint = w.U8(10);
    u.fixFlagsHint = flags;
    const double vx = w.I32(28) * 0.01, vy = w.I32(32) * 0.01, vz = w.I32(36) * 0.01;
    const Triple geo = EcefToGeodeticIterative(w.I32(12) * 0.01, w.I32(16) * 0.01, w.I32(20) * 0.01);
    if (!u.velNedSeen)
    {
        const Matrix3 enu = LocalFrameMatrix(geo[0], geo[1]);
        const Triple v{vx, vy, vz};
        const double e = ApplyRow(enu, 0, v), n = ApplyRow(enu, 1, v);
        u.speedMps = std::hypot(e, n);
        u.courseDeg = std::fmod(std::atan2(e, n) / kDegToRad + 360.0, 360.0);
    }
    if (u.pvtSeen || u.posLlhSeen)
        return kUbxTime;
    return ReportOlderFix(set, "NAV-SOL", iTow, geo[0] / kDegToRad, geo[1] / kDegToRad, geo[2], kNoValue,
                          w.U8(10), flags, w.U8(47), Hundredths(w.U16(44))) |
           kUbxTime;
}

unsigned DecodeUbxVelNed(CData& set, const WireBytes& w, std::size_t size)
{
    if (size < 36)
        return kUbxIgnored;
    set.ublox.velNedSeen = true;
    set.ublox.speedMps = w.U32(20) / 100.0;
    set.ublox.courseDeg = w.I32(24) / 1e5;
    return kUbxNothing;
}

unsigned DecodeUbxDop(CData& set, const WireBytes& w, std::size_t size)
{
    if (size < 18)
        return kUbxIgnored;
    set.ublox.dopSeen = true;
    UbxDopRecord& d = set.ublox.dop;
    d.iTow = w.U32(0);
    d.gDop = w.U16(4);
    d.pDop = w.U16(6);
    d.tDop = w.U16(8);
    d.vDop = w.U16(10);
    d.hDop = w.U16(12);
    d.nDop = w.U16(14);
    d.eDop = w.U16(16);
    // The fix of the same epoch takes the DOPs it did not carry.
    if (std::abs(set.fix.gpsTimeOfWeekS - d.iTow * 0.001) < 0.0005)
    {
        set.fix.hdop = Hundredths(d.hDop);
        set.fix.vdop = Hundredths(d.vDop);
        if (!std::isfinite(set.fix.pdop))
            set.fix.pdop = Hundredths(d.pDop);
    }
    FillClassicDop(set);
    return kUbxDop;
}

unsigned DecodeUbxStatus(CData& set, const WireBytes& w, std::size_t size)
{
    if (size < 16)
        return kUbxIgnored;
    UbxStatusRecord& s = set.ublox.status;
    s.iTow = w.U32(0);
    s.gpsFix = w.U8(4);
    s.flags = w.U8(5);
    s.fixStat = w.U8(6);
    s.flags2 = w.U8(7);
    s.ttff = w.U32(8);
    s.msss = w.U32(12);
    set.ublox.fixTypeHint = s.gpsFix;
    set.ublox.fixFlagsHint = s.flags;
    return kUbxNothing;
}

unsigned DecodeUbxTimeGps(CData& set, const WireBytes& w, std::size_t size)
{
    if (size < 16)
        return kUbxIgnored;
    UbxRecords& u = set.ublox;
    UbxTimeGpsRecord& t = u.timeGps;
    t.iTow = w.U32(0);
    t.fTow = w.I32(4);
    t.week = w.I16(8);
    t.leapS = w.I8(10);
    t.valid = w.U8(11);
    t.tAcc = w.U32(12);
    if ((t.valid & 0x02) != 0 && t.week >= 0)
    {
        u.week = t.week;
        if (set.fix.gpsWeek < 0 && std::isfinite(set.fix.gpsTimeOfWeekS))
            set.fix.gpsWeek = u.week;
    }
    if ((t.valid & 0x04) != 0)
        u.leapSeconds = t.leapS;
    return kUbxTime;
}

unsigned DecodeUbxTimeUtc(CData& set, const WireBytes& w, std::size_t size)
{
    if (size < 20)
        return kUbxIgnored;
    UbxRecords& u = set.ublox;
    UbxTimeUtcRecord& t = u.timeUtc;
    t.iTow = w.U32(0);
    t.tAcc = w.U32(4);
    t.nano = w.I32(8);
    t.year = w.U16(12);
    t.month = w.U8(14);
    t.day = w.U8(15);
    t.hour = w.U8(16);
    t.minute = w.U8(17);
    t.second = w.U8(18);
    t.valid = w.U8(19);
    // GPS minus UTC from the two times of day, when the receiver gave no leap seconds of its own.
    if ((t.valid & 0x04) != 0 && PlausibleTime(t.hour, t.minute, t.second) && u.timeGps.valid == 0)
    {
        const double sod = t.hour * 3600.0 + t.minute * 60.0 + t.second + t.nano * 1e-9;
        double leap = std::fmod(t.iTow * 0.001 - sod, static_cast<double>(kSecondsPerDay));
        if (leap < -43200.0)
            leap += static_cast<double>(kSecondsPerDay);
        else if (leap > 43200.0)
            leap -= static_cast<double>(kSecondsPerDay);
        if (leap >= 0.0 && leap < 100.0)
            u.leapSeconds = static_cast<int>(std::lround(leap));
        if (u.week < 0 && PlausibleDate(t.year, t.month, t.day))
        {
            const std::int64_t utc = (DaysFromCivil(t.year, t.month, t.day) - kGpsEpochDays) * kSecondsPerDay +
                                     t.hour * 3600 + t.minute * 60 + t.second;
            const double week = std::round((static_cast<double>(utc + LeapSecondsOf(u)) - t.iTow * 0.001) /
                                           static_cast<double>(kSecondsPerWeek));
            if (week >= 0.0 && week < 65536.0)
                u.week = static_cast<int>(week);
        }
    }
    return kUbxTime;
}

// ---- satellites ----

std::optional<Constellation> SystemOfGnssId(int gnssId)
{
    switch (gnssId)
    {
        case 0:
            return Constellation::Gps;
        case 1:
            return Constellation::Sbas;
        case 2:
            return Constellation::Galileo;
        case 3:
            return Constellation::BeiDou;
        case 5:
            return Constellation::Qzss;
        case 6:
            return Constellation::Glonass;
        case 7:
            return Constellation::NavIC;
        default:
            return std::nullopt;  // 4 IMES and anything newer
    }
}

// NAV-SVINFO's one-number satellite ids: GPS 1-32, BeiDou 159-163 (B1-B5) and 33-64 (B6-B37),
// GLONASS 65-96 (slot + 64) and 255 (slot unknown), SBAS 120-158, Galileo 211-246, QZSS 193-197;
// IMES 173-182 and the rest are none of the table's constellations.
std::optional<std::pair<Constellation, int>> SystemOfSvInfoId(int svid)
{
    if (svid >= 1 && svid <= 32)
        return std::pair{Constellation::Gps, svid};
    if (svid >= 33 && svid <= 64)
        return std::pair{Constellation::BeiDou, svid - 27};
    if (svid >= 65 && svid <= 96)
        return std::pair{Constellation::Glonass, svid - 64};
    if (svid >= 120 && svid <= 158)
        return std::pair{Constellation::Sbas, svid};
    if (svid >= 159 && svid <= 163)
        return std::pair{Constellation::BeiDou, svid - 158};
    if (svid >= 193 && svid <= 197)
        return std::pair{Constellation::Qzss, svid - 192};
    if (svid >= 211 && svid <= 246)
        return std::pair{Constellation::Galileo, svid - 210};
    if (svid == 255)
        return std::pair{Constellation::Glonass, svid};
    return std::nullopt;
}

// One satellite as both satellite messages report it.
struct ReportedSatellite
{
    Constellation system = Constellation::Other;
    int svid = 0;
    int cno = 0;
    int elevation = 0, azimuth = 0;
    bool used = false;
    std::uint8_t health = 0;       // 0 unknown, 1 healthy, 2 unhealthy
    std::uint8_t channelState = 0; // the classic channel status byte (colour classes of the views)
};

// The classic channel status byte of a satellite: used, ephemeris, frame sync, code lock, searching.
std::uint8_t ChannelState(bool used, bool ephemeris, int quality)
{
    if (used)
        return 0x7F;
    if (ephemeris && quality >= 4)
        return 0x3F;
    if (quality >= 5)
        return 0x1F;
    if (quality >= 4)
        return 0x0F;
    if (quality >= 1)
        return 0x01;
    return 0x00;
}

void StartSatelliteReport(CData& set, std::uint32_t iTow)
{
    set.satellites.Clear();
    UbxRecords& u = set.ublox;
    u.satellitesSeen = true;
    u.satelliteTow = iTow;
    // The fix of the same epoch has the receiver's own UTC text; otherwise GPS time less leap seconds.
    const double fixTow = set.fix.gpsTimeOfWeekS;
    if (std::isfinite(fixTow) && std::llround(fixTow * 1000.0) == static_cast<long long>(iTow) &&
        set.fix.utcText[0] != '\0')
        u.satelliteUtc = set.fix.utcText;
    else
        FormatUtc(u.satelliteUtc, UtcSecondsOfDay(u, iTow));
    SvRecord& sv = set.sv;
    sv = {};
    sv.id = kIdSv;
    const int week = set.ublox.week;
    sv.week = static_cast<std::uint16_t>(std::max(0, week) & 0xFFFF);
    sv.timeOfWeek = static_cast<std::int32_t>(iTow / 10U);
}

std::int64_t ReceiverMs(const CData& set, std::uint32_t iTow)
{
    return static_cast<std::int64_t>(std::max(0, set.ublox.week)) * kSecondsPerWeek * 1000 + iTow;
}

void AddSatellite(CData& set, const ReportedSatellite& s, std::uint32_t iTow)
{
    SatelliteEntry* e = set.satellites.Upsert(s.system, s.svid);
    if (e == nullptr)
        return;
    const bool angles = s.elevation >= -90 && s.elevation <= 90;
    e->elevationDeg = angles ? static_cast<std::int16_t>(s.elevation) : kNoAngle;
    e->azimuthDeg = angles && s.azimuth >= 0 && s.azimuth <= 360 ? static_cast<std::int16_t>(s.azimuth) : kNoAngle;
    e->snrDbHz = s.cno > 0 ? static_cast<std::int16_t>(std::min(s.cno, 255)) : kNoSnr;
    e->used = s.used;
    e->health = s.health;
    e->signalMask = 1;
    e->snrBySignal[0] = e->snrDbHz;
    e->lastSeenMs = ReceiverMs(set, iTow);
}

// The twelve classic channel entries: GPS satellites, those used first, then the strongest.
void FillClassicSv(CData& set, std::span<const ReportedSatellite> reported)
{
    // One entry per PRN, from its last report in the message.
    std::array<const ReportedSatellite*, kPrnCount> gps{};
    std::size_t n = 0;
    std::array<bool, kPrnCount> taken{};
    for (auto it = reported.rbegin(); it != reported.rend(); ++it)
    {
        const auto index = it->system == Constellation::Gps ? PrnIndex(it->svid) : std::nullopt;
        if (index && !taken[*index])
        {
            taken[*index] = true;
            gps[n++] = &*it;
        }
    }
    std::stable_sort(gps.begin(), gps.begin() + static_cast<std::ptrdiff_t>(n),
                     [](const ReportedSatellite* a, const ReportedSatellite* b) {
                         if (a->used != b->used)
                             return a->used;
                         return a->cno > b->cno;
                     });
    SvRecord& sv = set.sv;
    const std::size_t count = std::min(n, kChannelCount);
    sv.count = static_cast<std::uint8_t>(count);
    for (std::size_t k = 0; k < count; ++k)
    {
        const ReportedSatellite& s = *gps[k];
        SvEntry& e = sv.entries[k];
        e.channel = static_cast<std::uint8_t>(k);
        e.prn = static_cast<std::uint8_t>(s.svid);
        const bool angles = s.elevation >= 0 && s.elevation <= 90;
        e.elevation = angles ? static_cast<std::uint8_t>(s.elevation) : 0;
        e.azimuth = angles && s.azimuth >= 0 && s.azimuth < 360 ? static_cast<std::uint16_t>(s.azimuth) : 0;
        e.signal = static_cast<std::uint8_t>(std::clamp(s.cno, 0, 255));
        e.state = s.channelState;
    }
}

unsigned DecodeUbxSat(CData& set, const WireBytes& w, std::size_t size)
{
    if (size < kSatHeader)
        return kUbxIgnored;
    const std::uint32_t iTow = w.U32(0);
    const std::size_t announced = w.U8(5);
    const std::size_t present = (size - kSatHeader) / kSatEntry;
    const std::size_t count = std::min(announced, present);
    StartSatelliteReport(set, iTow);
    std::array<ReportedSatellite, 256> reported{};
    std::size_t n = 0;
    for (std::size_t k = 0; k < count; ++k)
    {
        const std::size_t at = kSatHeader + k * kSatEntry;
        const auto system = SystemOfGnssId(w.U8(at));
        if (!system)
            continue;
        ReportedSatellite& s = reported[n++];
        const std::uint32_t flags = w.U32(at + 8);
        s.system = *system;
        s.svid = w.U8(at + 1);
        s.cno = w.U8(at + 2);
        s.elevation = w.I8(at + 3);
        s.azimuth = w.I16(at + 4);
        s.used = (flags & 0x08U) != 0;
        s.health = static_cast<std::uint8_t>(flags >> 4 & 0x03U);
        s.channelState = ChannelState(s.used, (flags & 0x800U) != 0, static_cast<int>(flags & 0x07U));
        AddSatellite(set, s, iTow);
    }
    FillClassicSv(set, std::span(reported).first(n));
    return kUbxSatellites;
}

unsigned DecodeUbxSvInfo(CData& set, const WireBytes& w, std::size_t size)
{
    if (size < kSvInfoHeader)
        return kUbxIgnored;
    const std::uint32_t iTow = w.U32(0);
    const std::size_t announced = w.U8(4);
    const std::size_t present = (size - kSvInfoHeader) / kSvInfoEntry;
    const std::size_t count = std::min(announced, present);
    StartSatelliteReport(set, iTow);
    std::array<ReportedSatellite, 256> reported{};
    std::size_t n = 0;
    for (std::size_t k = 0; k < count; ++k)
    {
        const std::size_t at = kSvInfoHeader + k * kSvInfoEntry;
        const auto id = SystemOfSvInfoId(w.U8(at + 1));
        if (!id)
            continue;
        ReportedSatellite& s = reported[n++];
        const std::uint8_t flags = w.U8(at + 2);
        s.system = id->first;
        s.svid = id->second;
        s.cno = w.U8(at + 4);
        s.elevation = w.I8(at + 5);
        s.azimuth = w.I16(at + 6);
        s.used = (flags & 0x01U) != 0;
        s.health = (flags & 0x10U) != 0 ? 2 : 1;
        s.channelState = ChannelState(s.used, (flags & 0x08U) != 0, w.U8(at + 3) & 0x0F);
        // A satellite the receiver only knows from its almanac, without a signal, has no angles it
        // measured; it stays in the table as reported.
        AddSatellite(set, s, iTow);
    }
    FillClassicSv(set, std::span(reported).first(n));
    return kUbxSatellites;
}

// ---- receiver and text messages ----

unsigned DecodeUbxVersion(CData& set, std::span<const std::uint8_t> p)
{
    if (p.size() < 40)
        return kUbxIgnored;
    UbxVersionRecord& v = set.ublox.version;
    const std::uint32_t count = v.count;
    v = {};
    v.count = count + 1;
    CopyText(v.software, Printable(p.first(30)));
    CopyText(v.hardware, Printable(p.subspan(30, 10)));
    std::string extensions;
    for (std::size_t at = 40; at + 30 <= p.size(); at += 30)
    {
        const std::string text = Printable(p.subspan(at, 30));
        if (text.empty())
            continue;
        if (!extensions.empty())
            extensions += "; ";
        extensions += text;
        // "PROTVER=18.00" (u-blox 8 on) or "PROTVER 14.00" (u-blox 7).
        if (text.starts_with("PROTVER") && text.size() > 8 && (text[7] == '=' || text[7] == ' '))
        {
            int major = 0, minor = 0;
            if (std::sscanf(text.c_str() + 8, "%d.%d", &major, &minor) >= 1)
            {
                v.protocolMajor = major;
                v.protocolMinor = minor;
            }
        }
    }
    CopyText(v.extensions, extensions);
    if (v.protocolMajor >= 27)
        v.generation = UbxGeneration::F9;
    else if (v.protocolMajor >= 0)
        v.generation = UbxGeneration::M8;
    else
    {
        // No protocol version: the hardware generation ("00080000" is u-blox 8, "00190000" F9/M9).
        unsigned long hw = 0;
        std::sscanf(v.hardware.data(), "%lx", &hw);
        v.generation = hw >= 0x00190000UL ? UbxGeneration::F9 : UbxGeneration::M8;
    }
    CTraceFile::Write("MON-VER: SW " + std::string(v.software.data()) + ", HW " + v.hardware.data() +
                      (extensions.empty() ? "" : ", " + extensions));
    return kUbxVersion;
}

unsigned DecodeUbxInf(std::uint8_t id, std::span<const std::uint8_t> p)
{
    CTraceFile::Write(ubx::MessageLabel(ubx::MessageKey(ubx::kClassInf, id)) + ": " +
                      Printable(p.first(std::min<std::size_t>(p.size(), 256))));
    return kUbxText;
}

unsigned DecodeUbxAck(CData& set, std::uint8_t id, const WireBytes& w, std::size_t size)
{
    if (size < 2)
        return kUbxIgnored;
    UbxAckRecord& a = set.ublox.ack;
    a.cls = w.U8(0);
    a.id = w.U8(1);
    a.acknowledged = id == 0x01;
    ++a.count;
    return kUbxAck;
}
}  // namespace

unsigned CData::ImportUbxMessage(std::uint8_t cls, std::uint8_t id, std::span<const std::uint8_t> payload)
{
    // The sentence just imported is no longer the latest thing the set took in.
    ggaSeen = 0;
    const unsigned what = DecodeUbxMessage(cls, id, payload);
    if ((what & kUbxFix) != 0)
        if (vrn::IFixSink* sink = vrn::FixSink())
            sink->FixReported(*this);
    return what;
}

unsigned CData::DecodeUbxMessage(std::uint8_t cls, std::uint8_t id, std::span<const std::uint8_t> payload)
{
    const std::uint16_t key = ubx::MessageKey(cls, id);
    ublox.lastKey = key;
    const WireBytes w(payload, false);
    const std::size_t size = payload.size();
    if (cls == ubx::kClassInf)
        return DecodeUbxInf(id, payload);
    switch (key)
    {
        case ubx::kNavPvt:
            return DecodeUbxPvt(*this, w, size);
        case ubx::kNavPosLlh:
            return DecodeUbxPosLlh(*this, w, size);
        case ubx::kNavSol:
            return DecodeUbxSol(*this, w, size);
        case ubx::kNavVelNed:
            return DecodeUbxVelNed(*this, w, size);
        case ubx::kNavDop:
            return DecodeUbxDop(*this, w, size);
        case ubx::kNavStatus:
            return DecodeUbxStatus(*this, w, size);
        case ubx::kNavTimeGps:
            return DecodeUbxTimeGps(*this, w, size);
        case ubx::kNavTimeUtc:
            return DecodeUbxTimeUtc(*this, w, size);
        case ubx::kNavSat:
            return DecodeUbxSat(*this, w, size);
        case ubx::kNavSvInfo:
            return DecodeUbxSvInfo(*this, w, size);
        case ubx::kMonVer:
            return DecodeUbxVersion(*this, payload);
        case ubx::kAckAck:
        case ubx::kAckNak:
            return DecodeUbxAck(*this, id, w, size);
        case ubx::kRxmRawx:
            // The receiver's own leap seconds come with its raw measurements too.
            if (size >= 16 && (w.U8(12) & 0x01) != 0)
                ublox.leapSeconds = w.I8(10);
            return kUbxNothing;
        default:
            return kUbxIgnored;
    }
}
