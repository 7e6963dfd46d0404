// CData: the multi-constellation side of the NMEA import. After the classic records, every
// sentence of any talker updates the satellite table (GSV, GSA) and the receiver fix (GGA, RMC,
// GLL, GNS, GSA, VTG, ZDA); TXT sentences become trace lines.
//
// Input. The stored sentence ("GNGGA,..." with a blank in every empty field, as the collector keeps
// it) is split into fields once; the *hh checksum, when present, must match (the blanks the
// collector inserted are left out of the sum), or the sentence is kept out of the table and the fix
// and counted. Numbers are read strictly: a field that is not a number is empty for the
// satellite values and makes a position sentence malformed. A malformed sentence changes nothing,
// so the last good position stays.
//
// GSV sets. Each talker and signal (NMEA 4.10 signal id, 0 when none is sent) keeps its own set in
// progress, so sets of several talkers may interleave. Every message updates the satellites it
// carries at once; a set whose messages 1..total came in order replaces, when it completes, the
// satellites of its talker and signal (a signal the set no longer reports leaves the entry; an entry
// without signals leaves the table). A set that stops short or skips a message never removes
// anything. Satellites not reported for 10 s of receiver time leave the table.
//
// GSA used flags. A burst of consecutive GSA sentences describes one fix. A GN-talker burst
// (one sentence per constellation, with or without the NMEA 4.11 system id) starts by clearing
// every used flag; a sentence of a constellation's own talker, or with a system id, clears the flags
// of its constellation once per burst. The numbers then set the flags, read in the context of the
// system id or the talker.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "app/CTraceFile.h"
#include "app/CoreServices.h"
#include "protocol/CData.h"
#include "protocol/NmeaNumbers.h"

namespace
{
constexpr std::int64_t kSatelliteMaxAgeMs = 10'000;
constexpr std::int64_t kDayMs = 86'400'000;
constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600.0;
constexpr std::uint8_t kAllConstellations = 0xFF;

// ---- fields ----

enum class Checksum : std::uint8_t
{
    Absent,
    Good,
    Bad
};

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Blanks and control characters, which a field may be padded with.
bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The fields of one sentence, taken from the places of its commas when asked for (most decoders
// read a few fields once). Field k lies between comma k and comma k + 1 (the first comma ends
// the address); a field of one blank is empty (the collector filled it in), blanks around a field
// are dropped. Sentences longer than 255 characters are read up to there.
struct Fields
{
    static constexpr std::size_t kMax = NmeaScan::kMaxCommas;
    const char* text = nullptr;
    const std::uint8_t* commas = nullptr;
    std::size_t n = 0;                   // fields
    std::size_t bodyEnd = 0;             // where the last field ends (before the checksum)
    bool truncated = false;              // more fields than kMax
    std::array<std::uint8_t, kMax> own;  // the commas when no collector noted them
    bool noted = false;                  // the commas are the collector's

    // Field i as stored, blanks and all.
    [[nodiscard]] std::string_view Raw(std::size_t i) const
    {
        if (i >= n)
            return {};
        const std::size_t start = std::size_t{commas[i]} + 1;
        const std::size_t end = i + 1 < n || truncated ? std::size_t{commas[i + 1]} : bodyEnd;
        return {text + start, end - start};
    }

    bool blanks = true;  // fields may hold blanks besides the collector's (false: no trimming)

    [[nodiscard]] std::string_view operator[](std::size_t i) const { return Clean(Raw(i)); }
    // A raw field as the decoders read it.
    [[nodiscard]] std::string_view Clean(std::string_view field) const
    {
        if (field.size() == 1 && field[0] == ' ')
            return field.substr(0, 0);
        if (blanks && !field.empty() && (IsBlank(field.front()) || IsBlank(field.back())))
            return Trim(field);
        return field;
    }
};

// Finds the end of the checksummed body and checks the *hh suffix against `sum`, the XOR of every
// byte of the sentence (as received: without the collector's blanks).
Checksum CheckSuffix(std::string_view sentence, unsigned sum, std::size_t& bodyEnd)
{
    std::size_t size = sentence.size();
    while (size > 0 && IsBlank(sentence[size - 1]))
        sum ^= static_cast<unsigned char>(sentence[--size]);
    bodyEnd = size;
    if (size >= 3 && sentence[size - 3] == '*' && HexValue(sentence[size - 2]) >= 0 &&
        HexValue(sentence[size - 1]) >= 0)
    {
        const int expected = HexValue(sentence[size - 2]) * 16 + HexValue(sentence[size - 1]);
        sum ^= static_cast<unsigned char>('*') ^ static_cast<unsigned char>(sentence[size - 2]) ^
               static_cast<unsigned char>(sentence[size - 1]);
        bodyEnd = size - 3;
        return sum == static_cast<unsigned>(expected) ? Checksum::Good : Checksum::Bad;
    }
    if (const std::size_t star = sentence.substr(0, size).rfind('*'); star != std::string_view::npos)
    {
        bodyEnd = star;  // a cut or garbled suffix
        return Checksum::Bad;
    }
    return Checksum::Absent;
}

// The fields from the collector's notes, or, for a sentence handed over directly, from one pass
// over its text; the checksum with them.
Checksum SplitSentence(std::string_view sentence, const NmeaScan* scan, Fields& out)
{
    out.text = sentence.data();
    unsigned sum = 0;
    std::size_t count = 0;
    if (scan != nullptr)
    {
        sum = scan->sum;
        count = scan->count;
        out.commas = scan->commas.data();
        out.truncated = scan->truncated;
        out.noted = true;
        out.blanks = scan->blanks;
    }
    else
    {
        sentence = sentence.substr(0, std::min<std::size_t>(sentence.size(), 255));
        for (std::size_t i = 0; i < sentence.size(); ++i)
        {
            const char c = sentence[i];
            if (c != ',')
                sum ^= static_cast<unsigned char>(c);
            else
            {
                sum ^= static_cast<unsigned char>(',');
                // The collector's blank between two commas was not received.
                if (i >= 2 && sentence[i - 1] == ' ' && sentence[i - 2] == ',')
                    sum ^= static_cast<unsigned char>(' ');
                if (count < Fields::kMax)
                    out.own[count++] = static_cast<std::uint8_t>(i);
                else
                    out.truncated = true;
            }
        }
        out.commas = out.own.data();
    }
    const Checksum checksum = CheckSuffix(sentence, sum, out.bodyEnd);
    while (count > 0 && out.commas[count - 1] >= out.bodyEnd)
        --count;  // commas after the '*'
    // A sentence with more commas than noted loses the field whose end is not known.
    out.n = out.truncated && count > 0 ? count - 1 : count;
    return checksum;
}

// A whole number, optionally signed, optionally with a fraction that is dropped ("45.0"); false for
// an empty field or any other character. Values beyond ±999999999 are clamped.
bool ToIntSlow(std::string_view s, int& value)
{
    const char* p = s.data();
    const char* const end = p + s.size();
    if (p == end)
        return false;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    const char* const digits = p;
    std::uint64_t v = 0;
    for (; p != end && static_cast<unsigned>(*p - '0') <= 9U; ++p)
        v = v < 1'000'000'000U ? v * 10 + static_cast<unsigned>(*p - '0') : v;
    if (p == digits)
        return false;
    if (p != end && *p == '.')
        for (++p; p != end && static_cast<unsigned>(*p - '0') <= 9U; ++p)
        {
        }
    if (p != end)
        return false;
    const auto clamped = static_cast<int>(std::min<std::uint64_t>(v, 999'999'999U));
    value = negative ? -clamped : clamped;
    return true;
}

// The same, with the one to three digits most fields hold read at once.
inline bool ToInt(std::string_view s, int& value)
{
    const std::size_t n = s.size();
    if (n >= 1 && n <= 3)
    {
        const auto d0 = static_cast<unsigned>(s[0] - '0');
        const auto d1 = n > 1 ? static_cast<unsigned>(s[1] - '0') : 0U;
        const auto d2 = n > 2 ? static_cast<unsigned>(s[2] - '0') : 0U;
        if (d0 <= 9U && d1 <= 9U && d2 <= 9U)
        {
            value = static_cast<int>(n == 1 ? d0 : n == 2 ? d0 * 10 + d1 : d0 * 100 + d1 * 10 + d2);
            return true;
        }
    }
    return ToIntSlow(s, value);
}

// A real number filling the whole field; false when empty, malformed or not finite.
bool ToDouble(std::string_view s, double& value)
{
    if (s.empty())
        return false;
    if (s.front() == '+')
        s.remove_prefix(1);
    // The usual NMEA number ("-21.3", "4.14063"): at most 15 digits make an exact integer, and a
    // division by an exact power of ten rounds once, as from_chars would.
    static constexpr std::array<double, 16> kPowers{1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = s.empty() || s[0] != '-' ? 0 : 1;
    std::uint64_t mantissa = 0;
    std::size_t digits = 0, decimals = 0;
    bool dot = false;
    for (; i < s.size(); ++i)
    {
        const char c = s[i];
        if (c >= '0' && c <= '9')
        {
            mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
            ++digits;
            decimals += dot ? 1 : 0;
        }
        else if (c == '.' && !dot)
            dot = true;
        else
            break;
    }
    if (i == s.size() && digits > 0 && digits <= 15)
    {
        const double v = static_cast<double>(mantissa) / kPowers[decimals];
        value = s[0] == '-' ? -v : v;
        return true;
    }
    double v = 0.0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (error != std::errc{} || end != s.data() + s.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

double DoubleOr(std::string_view s, double fallback)
{
    double v = 0.0;
    return ToDouble(s, v) ? v : fallback;
}

// An NMEA coordinate ("4404.14063" with "N"): exact decimal degrees from the text, degrees and
// minutes read separately, so no digit of the minutes is lost. Empty value and hemisphere: no
// position (`present` false). False when malformed.
bool ParseCoordinate(std::string_view text, std::string_view hemisphere, bool latitude, double& degrees,
                     bool& present)
{
    present = false;
    if (text.empty() && hemisphere.empty())
        return true;
    if (text.empty() || hemisphere.size() != 1)
        return false;
    const char h = static_cast<char>(hemisphere[0] & ~0x20);  // upper case
    const bool negative = latitude ? h == 'S' : h == 'W';
    if (latitude ? (h != 'N' && h != 'S') : (h != 'E' && h != 'W'))
        return false;
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    if (whole.size() < 3 || whole.size() > 7 ||
        !std::all_of(whole.begin(), whole.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        !std::all_of(fraction.begin(), fraction.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        fraction.size() > 15)
        return false;
    int wholeDegrees = 0;
    for (std::size_t i = 0; i + 2 < whole.size(); ++i)
        wholeDegrees = wholeDegrees * 10 + (whole[i] - '0');
    // The minutes as their own decimal text "mm.ffff", read with one correct rounding.
    std::array<char, 24> minutesText{};
    std::size_t k = 0;
    minutesText[k++] = whole[whole.size() - 2];
    minutesText[k++] = whole[whole.size() - 1];
    minutesText[k++] = '.';
    for (char c : fraction)
        minutesText[k++] = c;
    if (fraction.empty())
        minutesText[k++] = '0';
    double minutes = 0.0;
    (void)ToDouble(std::string_view(minutesText.data(), k), minutes);
    const int limit = latitude ? 90 : 180;
    if (minutes >= 60.0 || wholeDegrees > limit || (wholeDegrees == limit && minutes > 0.0))
        return false;
    degrees = wholeDegrees + minutes / 60.0;
    if (negative)
        degrees = -degrees;
    present = true;
    return true;
}

// "hhmmss" with an optional fraction: seconds since midnight. Empty: absent (`present` false).
bool ParseUtc(std::string_view text, double& seconds, bool& present)
{
    present = false;
    if (text.empty())
        return true;
    if (text.size() < 6 ||
        !std::all_of(text.begin(), text.begin() + 6, [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const int hh = (text[0] - '0') * 10 + (text[1] - '0');
    const int mm = (text[2] - '0') * 10 + (text[3] - '0');
    double ss = 0.0;
    if (!ToDouble(text.substr(4), ss) || hh > 23 || mm > 59 || ss >= 61.0 || ss < 0.0)
        return false;
    seconds = hh * 3600.0 + mm * 60.0 + ss;
    present = true;
    return true;
}

template <std::size_t N>
void CopyText(std::array<char, N>& to, std::string_view from)
{
    to = {};
    std::memcpy(to.data(), from.data(), std::min(from.size(), N - 1));
}

std::array<char, 2> TalkerOf(std::string_view sentence)
{
    return {sentence.size() > 0 ? sentence[0] : '\0', sentence.size() > 1 ? sentence[1] : '\0'};
}

constexpr std::uint32_t PackKey(Constellation system, int svid)
{
    return (static_cast<std::uint32_t>(system) + 1U) << 16 | static_cast<std::uint32_t>(svid);
}

std::uint8_t BitOf(Constellation system)
{
    return static_cast<std::uint8_t>(1U << ConstellationIndex(system));
}

void RecomputeSnr(SatelliteEntry& e)
{
    std::int16_t best = kNoSnr;
    for (std::size_t s = 0; s < kSignalIdCount; ++s)
        if ((e.signalMask & (1U << s)) != 0)
            best = std::max(best, e.snrBySignal[s]);
    e.snrDbHz = best;
}

bool IsUsed(const GnssNmeaState& state, const SatelliteEntry& e)
{
    return e.svid < 256 && state.used[ConstellationIndex(e.system)][e.svid];
}
}  // namespace

const NmeaScan* CData::CollectedScan(std::string_view sentence) const
{
    const bool collected = m_scanValid && sentence.data() == reinterpret_cast<const char*>(m_buffer.data()) &&
                           sentence.size() == m_counter;
    return collected ? &m_scan : nullptr;
}

bool CData::ImportGnss(NmeaType type, std::string_view sentence, bool firstGsaOfBurst)
{
    Fields f;
    const Checksum checksum = SplitSentence(sentence, CollectedScan(sentence), f);
    if (checksum == Checksum::Bad)
    {
        ++m_counters.checksumMismatches;
        return false;
    }
    const std::array<char, 2> talker = TalkerOf(sentence);
    const std::string_view talkerText(talker.data(), talker.size());
    GnssNmeaState& g = m_gnss;

    // Receiver time and expiry, from any position sentence's UTC.
    auto advanceClock = [&](double utcSeconds)
    {
        const auto utcMs = static_cast<std::int64_t>(std::llround(utcSeconds * 1000.0));
        if (g.lastUtcMs >= 0)
        {
            std::int64_t delta = utcMs - g.lastUtcMs;
            if (delta < -kDayMs / 2)
                delta += kDayMs;  // past midnight
            else if (delta > kDayMs / 2)
                delta -= kDayMs;
            if (delta > 0)
            {
                g.receiverMs += delta;
                satellites.Expire(g.receiverMs, kSatelliteMaxAgeMs);
            }
        }
        g.lastUtcMs = utcMs;
    };
    // GPS time of the report from the latest date and this UTC (a time just past midnight before
    // the new date arrives belongs to the next day).
    auto setGpsTime = [&](bool haveUtc, double utcSeconds)
    {
        fix.gpsWeek = -1;
        fix.gpsTimeOfWeekS = kNoValue;
        if (!haveUtc || g.dateDay < 0)
            return;
        int day = g.dateDay;
        if (std::isfinite(g.dateUtcS) && utcSeconds < g.dateUtcS - 43200.0)
            ++day;
        const double seconds = day * 86400.0 + utcSeconds + kDefaultLeapSeconds;
        fix.gpsWeek = static_cast<int>(seconds / 604800.0);
        fix.gpsTimeOfWeekS = seconds - fix.gpsWeek * 604800.0;
    };
    // A position report: the common part of GGA, RMC, GLL and GNS. False (nothing changed) when the
    // time or the coordinates are malformed.
    auto report = [&](std::string_view utc, std::string_view lat, std::string_view ns, std::string_view lon,
                      std::string_view ew) -> bool
    {
        double utcSeconds = 0.0, latitude = 0.0, longitude = 0.0;
        bool haveUtc = false, haveLat = false, haveLon = false;
        if (!ParseUtc(utc, utcSeconds, haveUtc) || !ParseCoordinate(lat, ns, true, latitude, haveLat) ||
            !ParseCoordinate(lon, ew, false, longitude, haveLon) || haveLat != haveLon)
        {
            ++m_counters.malformedSentences;
            return false;
        }
        ++fix.sequence;
        fix.carried = 0;
        std::array<char, 6> source{};
        std::memcpy(source.data(), sentence.data(), std::min<std::size_t>(5, sentence.size()));
        CopyText(fix.source, std::string_view(source.data()));
        CopyText(fix.utcText, utc);
        fix.utcSecondsOfDay = haveUtc ? utcSeconds : kNoValue;
        fix.latitudeDeg = haveLat ? latitude : kNoValue;
        fix.longitudeDeg = haveLon ? longitude : kNoValue;
        if (haveUtc)
            advanceClock(utcSeconds);
        setGpsTime(haveUtc, utcSeconds);
        return true;
    };
    auto setAltitude = [&](std::string_view altitude, std::string_view separation)
    {
        fix.carried |= kFixCarriesAltitude;
        fix.altitudeMslM = DoubleOr(altitude, kNoValue);
        fix.geoidSeparationM = DoubleOr(separation, kNoValue);
        fix.heightEllipsoidM = std::isfinite(fix.altitudeMslM) && std::isfinite(fix.geoidSeparationM)
                                   ? fix.altitudeMslM + fix.geoidSeparationM
                                   : kNoValue;
    };
    auto setSatsUsed = [&](std::string_view text)
    {
        int used = 0;
        if (ToInt(text, used) && used >= 0)
        {
            fix.satsUsed = used;
            fix.carried |= kFixCarriesSatsUsed;
        }
    };
    auto setDate = [&](int day, double utcSeconds, bool haveUtc)
    {
        g.dateDay = day;
        g.dateUtcS = haveUtc ? utcSeconds : kNoValue;
        fix.date = DateTextOfGpsDay(day);
    };
    auto modeLetter = [](std::string_view text) -> char { return text.size() == 1 ? text[0] : '\0'; };

    switch (type)
    {
        case NmeaType::Gga:
        {
            ++g.ggaCount;
            if (!report(f[0], f[1], f[2], f[3], f[4]))
                return false;
            int quality = 0;
            if (ToInt(f[5], quality))
            {
                fix.quality = quality >= 0 && quality <= 8 ? quality : -1;
                fix.carried |= kFixCarriesQuality;
            }
            setSatsUsed(f[6]);
            if (double hdop = 0.0; ToDouble(f[7], hdop))
                fix.hdop = hdop;
            setAltitude(f[8], f[10]);
            return true;
        }
        case NmeaType::Gns:
        {
            ++g.gnsCount;
            const bool tell = g.ggaCount == g.ggaAtLastGns;
            g.ggaAtLastGns = g.ggaCount;
            if (!report(f[0], f[1], f[2], f[3], f[4]))
                return false;
            // One mode letter per constellation ("NDD"): the first that is not N, else N.
            const std::string_view modes = f[5];
            const auto best = std::find_if(modes.begin(), modes.end(), [](char c) { return c != 'N'; });
            fix.modeIndicator = modes.empty() ? '\0' : best != modes.end() ? *best : 'N';
            setSatsUsed(f[6]);
            if (double hdop = 0.0; ToDouble(f[7], hdop))
                fix.hdop = hdop;
            setAltitude(f[8], f[9]);
            fix.navStatus = modeLetter(f[12]);
            return tell;
        }
        case NmeaType::Rmc:
        {
            const std::uint32_t fixes = g.ggaCount + g.gnsCount;
            const bool tell = g.rmcSeen && fixes == g.fixesAtLastRmc;
            g.rmcSeen = true;
            g.fixesAtLastRmc = fixes;
            // The date first, so that the report's GPS time uses it.
            const std::string_view date = f[8];
            std::optional<int> day;
            if (date.size() == 6 &&
                std::all_of(date.begin(), date.end(), [](char c) { return c >= '0' && c <= '9'; }))
            {
                const int yy = (date[4] - '0') * 10 + (date[5] - '0');
                day = GpsDayNumber(yy < 80 ? 2000 + yy : 1900 + yy, (date[2] - '0') * 10 + (date[3] - '0'),
                                   (date[0] - '0') * 10 + (date[1] - '0'));
            }
            double utcSeconds = 0.0;
            bool haveUtc = false;
            if (day && ParseUtc(f[0], utcSeconds, haveUtc))
                setDate(*day, utcSeconds, haveUtc);
            if (!report(f[0], f[2], f[3], f[4], f[5]))
                return false;
            if (double knots = 0.0; ToDouble(f[6], knots))
                fix.speedMps = knots * kMetresPerSecondPerKnot;
            fix.courseDeg = DoubleOr(f[7], kNoValue);
            fix.modeIndicator = modeLetter(f[11]);
            fix.navStatus = modeLetter(f[12]);
            return tell;
        }
        case NmeaType::Gll:
            if (report(f[4], f[0], f[1], f[2], f[3]))
                fix.modeIndicator = modeLetter(f[6]);
            return false;
        case NmeaType::Vtg:
        {
            // NMEA 2.3: course,T,magnetic,M,knots,N,km/h,K,mode; older receivers: course,magnetic,knots,km/h.
            const bool lettered = f[1] == "T" || f[3] == "M" || f[5] == "N";
            double knots = 0.0, kmh = 0.0;
            if (ToDouble(lettered ? f[4] : f[2], knots))
                fix.speedMps = knots * kMetresPerSecondPerKnot;
            else if (ToDouble(lettered ? f[6] : f[3], kmh))
                fix.speedMps = kmh / 3.6;
            fix.courseDeg = DoubleOr(f[0], kNoValue);
            if (lettered)
                fix.modeIndicator = modeLetter(f[8]);
            return false;
        }
        case NmeaType::Zda:
        {
            int day = 0, month = 0, year = 0;
            double utcSeconds = 0.0;
            bool haveUtc = false;
            if (ToInt(f[1], day) && ToInt(f[2], month) && ToInt(f[3], year) &&
                ParseUtc(f[0], utcSeconds, haveUtc))
                if (const auto gpsDay = GpsDayNumber(year, month, day))
                    setDate(*gpsDay, utcSeconds, haveUtc);
            return false;
        }
        case NmeaType::Txt:
        {
            if (!vrn::TraceSwitch())
                return false;
            // total, number, text id, text; the text itself may hold commas.
            const std::size_t first = f.n >= 4 ? 3 : 0;
            std::string line(talkerText);
            line += "TXT: ";
            for (std::size_t i = first; i < f.n; ++i)
            {
                if (i > first)
                    line += ',';
                line += f[i];
            }
            CTraceFile::Write(line);
            return false;
        }
        case NmeaType::Gsa:
        {
            // selection, fix mode, satellite numbers, PDOP, HDOP, VDOP and, from NMEA 4.11, a system
            // id. Receivers that list more (or fewer) than twelve numbers shift the DOPs along.
            if (f.n < 5 || f.truncated)
                return false;
            std::size_t dops = f.n - 3;
            int systemId = 0;
            const std::string_view last = f[f.n - 1];
            // The id is one hex digit; a DOP has a decimal point (or is empty, without a fix).
            const bool lastIsId =
                !last.empty() && last.size() <= 2 &&
                std::all_of(last.begin(), last.end(), [](char c) { return HexValue(c) >= 0; }) &&
                (f.n == 18 || f[f.n - 4].find('.') != std::string_view::npos);
            if (lastIsId)
            {
                dops = f.n - 4;
                for (char c : last)
                    systemId = systemId * 16 + HexValue(c);
            }
            int mode = 0;
            if (ToInt(f[1], mode) && mode >= 1 && mode <= 3)
                fix.fixMode = mode;
            fix.pdop = DoubleOr(f[dops], kNoValue);
            fix.hdop = DoubleOr(f[dops + 1], kNoValue);
            fix.vdop = DoubleOr(f[dops + 2], kNoValue);

            const std::optional<Constellation> hint =
                lastIsId ? ConstellationOfSystemId(systemId) : ConstellationOfTalker(talkerText);
            const bool combined = !lastIsId && !ConstellationOfTalker(talkerText);
            if (firstGsaOfBurst)
                g.burstReset = 0;
            // The constellations this sentence speaks for: all (GN without id, at the burst's
            // start), else its own and those of the numbers it lists.
            std::uint8_t scope = 0;
            if (talkerText == "GN" || combined)
                scope = firstGsaOfBurst ? kAllConstellations : 0;
            else if (hint)
                scope =
                    *hint == Constellation::Gps
                        ? static_cast<std::uint8_t>(BitOf(Constellation::Gps) | BitOf(Constellation::Sbas))
                        : BitOf(*hint);
            struct Listed
            {
                Constellation system;
                int svid;
            };
            std::array<Listed, Fields::kMax> listed;  // the first listedCount are set
            std::size_t listedCount = 0;
            for (std::size_t i = 2; i < dops; ++i)
            {
                int number = 0;
                if (!ToInt(f[i], number))
                    continue;
                if (const auto id = SatelliteFromNmea(hint, number))
                {
                    listed[listedCount++] = {id->system, id->svid};
                    if (talkerText != "GN" && !combined)
                        scope |= BitOf(id->system);
                }
            }
            const auto reset = static_cast<std::uint8_t>(scope & ~g.burstReset);
            g.burstReset |= scope;
            if (reset != 0)
            {
                for (std::size_t c = 0; c < kConstellationCount; ++c)
                    if ((reset & (1U << c)) != 0)
                        g.used[c].reset();
                satellites.RemoveIf(
                    [&](SatelliteEntry& e)
                    {
                        e.used = e.used && (reset & BitOf(e.system)) == 0;
                        return false;
                    });
            }
            bool namesGps = lastIsId && systemId == 1;
            for (std::size_t i = 0; i < listedCount; ++i)
            {
                namesGps = namesGps || listed[i].system == Constellation::Gps;
                if (listed[i].svid < 256)
                    g.used[ConstellationIndex(listed[i].system)].set(
                        static_cast<std::size_t>(listed[i].svid));
                if (SatelliteEntry* e = satellites.FindEntry(listed[i].system, listed[i].svid))
                    e->used = true;
            }
            g.gsaNamesGps = namesGps ? 1 : 0;
            return false;
        }
        case NmeaType::Gsv:
        {
            // The numbers of the header and the four groups a GSV sentence usually holds, read once
            // for the table and for the classic record.
            constexpr std::size_t kPreread = 3 + 4 * 4;
            std::array<int, kPreread> ints;
            std::array<bool, kPreread> isInt;
            std::array<bool, kPreread> asStored;  // the field needed no cleaning
            const std::size_t preread = std::min(f.n, kPreread);
            for (std::size_t i = 0; i < preread; ++i)
            {
                const std::string_view raw = f.Raw(i);
                const std::string_view field = f.Clean(raw);
                isInt[i] = ToInt(field, ints[i]);
                asStored[i] = raw.size() == field.size();
            }
            auto intAt = [&](std::size_t i, int& v)
            {
                if (i < preread)
                {
                    v = ints[i];
                    return isInt[i];
                }
                return ToInt(f[i], v);
            };
            // GP sentences also fill the classic GSV record; with the collector's layout ("GPGSV,"
            // then the fields, never two commas in a row) its tokens are these fields.
            if (talkerText == "GP" && f.noted && f.n > 0 && f.commas[0] == 5)
            {
                const char digit = sentence.size() > 8 ? sentence[8] : '\0';
                GsvRecord& r = gsv[digit == '1' ? 0 : digit == '2' ? 1 : 2];
                auto classic = [&](std::size_t i)
                {
                    if (i >= f.n)
                        return 0;
                    return i < preread && isInt[i] && asStored[i] && ints[i] < 999'999'999 &&
                                   ints[i] > -999'999'999
                               ? ints[i]
                               : ClassicFieldToInt(f.Raw(i));
                };
                r.totalMessages = classic(0);
                r.messageNumber = classic(1);
                r.satellitesInView = classic(2);
                for (std::size_t k = 0; k < r.satellites.size(); ++k)
                {
                    r.satellites[k].prn = classic(3 + 4 * k);
                    r.satellites[k].elevation = classic(4 + 4 * k);
                    r.satellites[k].azimuth = classic(5 + 4 * k);
                    r.satellites[k].snr = classic(6 + 4 * k);
                }
                g.classicGsvDone = true;
            }
            if (f.n < 3)
                return false;
            int total = 0, number = 0;
            const bool header = intAt(0, total) && intAt(1, number) && total >= 1 && total <= 9 &&
                                number >= 1 && number <= total;
            std::size_t groupFields = f.n - 3;
            std::uint8_t signal = 0;
            if (!f.truncated && groupFields % 4 == 1)
            {
                const std::string_view id = f[f.n - 1];
                const int value = id.size() == 1 ? HexValue(id[0]) : -1;
                signal = value >= 0 ? static_cast<std::uint8_t>(value) : 0;  // outside 0..F: as if none
                --groupFields;
            }
            // The set this message belongs to.
            GsvSetProgress* set = nullptr;
            for (GsvSetProgress& s : g.sets)
                if (s.active && s.talker == talker && s.signal == signal)
                    set = &s;
            if (header && number == 1)
            {
                if (set == nullptr)
                    set = &*std::min_element(
                        g.sets.begin(), g.sets.end(),
                        [](const GsvSetProgress& a, const GsvSetProgress& b)
                        { return (a.active ? a.lastUse + 1 : 0) < (b.active ? b.lastUse + 1 : 0); });
                set->count = 0;
                set->active = true;
                set->talker = talker;
                set->signal = signal;
                set->total = static_cast<std::uint8_t>(total);
                set->next = 1;
            }
            if (set != nullptr && (!header || set->total != total || set->next != number || f.truncated))
            {
                set->active = false;  // out of order, or not a set at all: it never removes anything
                set = nullptr;
            }
            if (set != nullptr)
            {
                set->lastUse = ++g.setClock;
                ++set->next;
            }

            const std::optional<Constellation> hint = ConstellationOfTalker(talkerText);
            const bool gpsNumbers = !hint || *hint == Constellation::Gps;
            const auto bit = static_cast<std::uint16_t>(1U << signal);
            for (std::size_t at = 3; at < 3 + groupFields; at += 4)
            {
                const std::size_t end = std::min(at + 4, 3 + groupFields);
                int value = 0;
                const std::string_view svid = f[at];
                const bool isNumber = intAt(at, value);
                // GPS numbers under GP or GN, the most common case, without the general rules.
                const auto id = !isNumber ? std::nullopt
                                : gpsNumbers && value >= 1 && value <= 32
                                    ? std::optional(SatelliteId{Constellation::Gps, value})
                                    : SatelliteFromNmea(hint, value);
                if (!id)
                {
                    bool empty = svid.empty();
                    for (std::size_t i = at + 1; i < end; ++i)
                        empty = empty && f[i].empty();
                    if (!empty)  // an empty group is no satellite at all
                        ++m_counters.satellitesRejected;
                    continue;
                }
                SatelliteEntry* e = satellites.Upsert(id->system, id->svid);
                if (e == nullptr)
                    continue;  // table full: counted there
                int elevation = 0, azimuth = 0, snr = 0;
                const bool angles = at + 2 < end && intAt(at + 1, elevation) && intAt(at + 2, azimuth) &&
                                    elevation >= -90 && elevation <= 90 && azimuth >= 0 && azimuth <= 360;
                if (angles)
                {
                    e->elevationDeg = static_cast<std::int16_t>(elevation);
                    e->azimuthDeg = static_cast<std::int16_t>(azimuth);
                }
                else if ((e->signalMask & ~bit) == 0)
                {
                    e->elevationDeg = kNoAngle;
                    e->azimuthDeg = kNoAngle;
                }
                const bool tracked = at + 3 < end && intAt(at + 3, snr) && snr >= 0 && snr <= 255;
                e->snrBySignal[signal] = tracked ? static_cast<std::int16_t>(snr) : kNoSnr;
                e->signalMask = static_cast<std::uint16_t>(e->signalMask | bit);
                if (e->signalMask == bit)
                    e->snrDbHz = e->snrBySignal[signal];
                else
                    RecomputeSnr(*e);
                e->talker = talker;
                e->lastSeenMs = g.receiverMs;
                e->used = IsUsed(g, *e);
                if (set != nullptr)
                {
                    const std::uint32_t key = PackKey(id->system, id->svid);
                    const auto reported = std::span(set->reported).first(set->count);
                    if (std::find(reported.begin(), reported.end(), key) != reported.end())
                        continue;  // twice in one set
                    if (set->count < set->reported.size())
                        set->reported[set->count++] = key;
                    else
                    {
                        set->active = false;  // more than a set can list: it removes nothing
                        set = nullptr;
                    }
                }
            }
            if (set != nullptr && number == total)
            {
                // Complete: the talker's satellites on this signal are exactly the ones reported.
                set->active = false;
                const auto reported = std::span(set->reported).first(set->count);
                // Usually the set names exactly the satellites the table holds for it: nothing to do.
                std::size_t held = 0;
                for (const SatelliteEntry& e : satellites.Entries())
                    held += e.talker == talker && (e.signalMask & bit) != 0 ? 1 : 0;
                if (held != set->count)
                    satellites.RemoveIf(
                        [&](SatelliteEntry& e)
                        {
                            if (e.talker != talker || (e.signalMask & bit) == 0 ||
                                std::find(reported.begin(), reported.end(), PackKey(e.system, e.svid)) !=
                                    reported.end())
                                return false;
                            e.signalMask = static_cast<std::uint16_t>(e.signalMask & ~bit);
                            e.snrBySignal[signal] = kNoSnr;
                            if (e.signalMask == 0)
                                return true;
                            RecomputeSnr(e);
                            return false;
                        });
            }
            return false;
        }
        default:
            return false;
    }
}
