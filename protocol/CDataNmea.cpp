// CData: NMEA sentence input. The collector pulls "$" sentences of any talker (two capital letters;
// only "$GP" with the port's "GPS talker only" setting) out of the chunks into the assembly buffer
// (without the '$' and the line end, an empty field stored as one blank), and the import logs each
// recognised sentence and splits it into the text slots of its record. The satellite table and the
// receiver fix are kept in CDataGnss.cpp.
//
// Bad data: a line that does not start with $ and a talker is skipped up to the next '$'; a line
// starting with '#' is a comment and skipped whole; a sentence longer than the 8-bit counter can
// address is dropped whole (and a '$' after that point starts the next one, so a long line without
// a line end cannot swallow it); a CR followed by anything but LF or CR marks the sentence (and the
// rest of the call) bad. The classic records do not depend on the checksum. Fields longer than a
// slot are cut, GSV sentences with more than four satellite groups keep the first four.
#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include "app/CoreServices.h"
#include "protocol/CData.h"
#include "protocol/NmeaNumbers.h"

namespace
{
// Collector states (the binary extractor uses 0 and 3 with the same meaning).
constexpr int kIdle = 0;
constexpr int kSentenceEnding = 2;
constexpr int kCollecting = 3;
constexpr int kAfterDollar = 4;
constexpr int kAfterG = 5;  // the first talker letter was stored

constexpr std::size_t kGsvNumberIndex = 8;  // the message-number digit of "GPGSV,n,m,"

// The bytes the collector's inner loop must look at: line ends, commas, '$', and blanks and control
// characters (noted, so that fields without them need no trimming).
constexpr std::uint8_t kPlainByte = 0, kLineEndByte = 1, kCommaByte = 2, kDollarByte = 3, kBlankByte = 4;
struct ByteKinds
{
    std::array<std::uint8_t, 256> kind{};
    constexpr ByteKinds()
    {
        for (std::size_t c = 0; c <= ' '; ++c)
            kind[c] = kBlankByte;
        kind['\r'] = kind['\n'] = kLineEndByte;
        kind[','] = kCommaByte;
        kind['$'] = kDollarByte;
    }
};
constexpr ByteKinds kByteKinds;

// Splits the fields of a stored sentence (from character 6, after "GPxxx,") at ',' and skips empty
// tokens, holding its position in itself (two reader threads split at once).
class FieldSplitter
{
public:
    explicit FieldSplitter(std::string_view sentence)
        : m_rest(sentence.size() > 6 ? sentence.substr(6) : std::string_view{})
    {
    }
    bool Next(std::string_view& field)
    {
        while (!m_rest.empty() && m_rest.front() == ',')
            m_rest.remove_prefix(1);
        if (m_rest.empty())
            return false;
        // Fields are short: a plain scan beats a library search here.
        std::size_t end = 1;
        while (end < m_rest.size() && m_rest[end] != ',')
            ++end;
        field = m_rest.substr(0, end);
        m_rest.remove_prefix(end);
        return true;
    }

private:
    std::string_view m_rest;
};

// Copies a field into a slot, cut to what the slot holds, always terminated.
void StoreSlot(NmeaSlot& slot, std::string_view field)
{
    const std::size_t n = std::min(field.size(), slot.size() - 1);
    std::memcpy(slot.data(), field.data(), n);
    slot[n] = '\0';
}

bool IsCSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The numeric prefix of a field as a real, as the C conversion reads it but independent of the
// locale; no number gives 0, a number too large for a double gives infinity.
double FieldToDouble(std::string_view field)
{
    std::size_t i = 0;
    while (i < field.size() && IsCSpace(field[i]))
        ++i;
    if (i < field.size() && field[i] == '+')
    {
        ++i;
        if (i < field.size() && field[i] == '-')
            return 0.0;
    }
    const char* first = field.data() + i;
    const char* last = field.data() + field.size();
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error == std::errc::result_out_of_range)
    {
        const std::string_view number(first, static_cast<std::size_t>(end - first));
        const auto e = number.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
        const bool negative = !number.empty() && number.front() == '-';
        return tiny ? 0.0 : (negative ? -HUGE_VAL : HUGE_VAL);
    }
    return error == std::errc{} ? value : 0.0;
}

// A coordinate slot: the value printed as "%9.5f", independent of the locale.
void StoreCoordinate(NmeaSlot& slot, float value)
{
    std::array<char, 64> digits{};
    const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(),
                                            static_cast<double>(value), std::chars_format::fixed, 5);
    const std::size_t n = error == std::errc{} ? static_cast<std::size_t>(end - digits.data()) : 0;
    constexpr std::size_t kWidth = 9;
    std::array<char, 80> padded{};
    const std::size_t pad = n < kWidth ? kWidth - n : 0;
    std::fill_n(padded.begin(), pad, ' ');
    std::copy_n(digits.begin(), n, padded.begin() + static_cast<std::ptrdiff_t>(pad));
    StoreSlot(slot, std::string_view(padded.data(), pad + n));
}

template <std::size_t N>
std::size_t StoreFields(std::array<NmeaSlot, N>& slots, std::string_view sentence)
{
    slots = {};
    FieldSplitter split(sentence);
    std::string_view field;
    std::size_t k = 0;
    while (k < N && split.Next(field))
        StoreSlot(slots[k++], field);
    return k;
}

void DecodeGga(GgaRecord& gga, std::string_view sentence)
{
    gga = {};
    FieldSplitter split(sentence);
    std::string_view field;
    for (std::size_t k = 0; k < gga.fields.size() && split.Next(field); ++k)
    {
        // The coordinates are read from the whole field text, never from a cut slot.
        if (k == nmea::kGgaLatitude)
        {
            gga.latitude = static_cast<float>(FieldToDouble(field) * 0.01);
            StoreCoordinate(gga.fields[k], gga.latitude);
        }
        else if (k == nmea::kGgaLongitude)
        {
            gga.longitude = static_cast<float>(FieldToDouble(field) * 0.01);
            StoreCoordinate(gga.fields[k], gga.longitude);
        }
        else
            StoreSlot(gga.fields[k], field);
    }
}

void DecodeGsa(GsaRecord& gsa, std::string_view sentence)
{
    if (StoreFields(gsa.fields, sentence) == gsa.fields.size())
    {
        // The last field carries the checksum suffix ("1.2*3F"): keep what comes before the '*'.
        NmeaSlot& last = gsa.fields[nmea::kGsaVdop];
        if (char* star = std::strchr(last.data(), '*'))
            *star = '\0';
    }
}

void DecodeGsv(GsvRecord& gsv, std::string_view sentence)
{
    gsv = {};
    FieldSplitter split(sentence);
    std::string_view field;
    if (split.Next(field))
        gsv.totalMessages = ClassicFieldToInt(field);
    if (split.Next(field))
        gsv.messageNumber = ClassicFieldToInt(field);
    if (split.Next(field))
        gsv.satellitesInView = ClassicFieldToInt(field);
    for (GsvSatellite& s : gsv.satellites)
    {
        if (!split.Next(field))
            return;
        s.prn = ClassicFieldToInt(field);
        if (!split.Next(field))
            return;
        s.elevation = ClassicFieldToInt(field);
        if (!split.Next(field))
            return;
        s.azimuth = ClassicFieldToInt(field);
        if (!split.Next(field))
            return;
        s.snr = ClassicFieldToInt(field);
    }
}

bool IsCapital(char c)
{
    return c >= 'A' && c <= 'Z';
}

// The type of a stored sentence. With `classic` set only the six types of the classic program count
// (whatever the talker, as it read them); otherwise also GNS, ZDA and TXT, and the talker must be
// two capital letters that do not start a proprietary sentence ('P').
NmeaType TypeOf(std::string_view sentence, bool classic)
{
    if (sentence.size() < 5)
        return NmeaType::None;
    if (!classic && (!IsCapital(sentence[0]) || !IsCapital(sentence[1]) || sentence[0] == 'P'))
        return NmeaType::None;
    const std::string_view type = sentence.substr(2, 3);
    if (type == "GGA")
        return NmeaType::Gga;
    if (type == "GLL")
        return NmeaType::Gll;
    if (type == "GSA")
        return NmeaType::Gsa;
    if (type == "GSV")
        return NmeaType::Gsv;
    if (type == "RMC")
        return NmeaType::Rmc;
    if (type == "VTG")
        return NmeaType::Vtg;
    if (classic)
        return NmeaType::None;
    if (type == "GNS")
        return NmeaType::Gns;
    if (type == "ZDA")
        return NmeaType::Zda;
    if (type == "TXT")
        return NmeaType::Txt;
    return NmeaType::None;
}

// The log kind of a type: the six classic kinds, GNS under GGA (it is the same position fix);
// ZDA and TXT are not logged.
int LogKindOf(NmeaType type)
{
    switch (type)
    {
        case NmeaType::Gga:
        case NmeaType::Gns: return nmea::kKindGga;
        case NmeaType::Gll: return nmea::kKindGll;
        case NmeaType::Gsa: return nmea::kKindGsa;
        case NmeaType::Gsv: return nmea::kKindGsv;
        case NmeaType::Rmc: return nmea::kKindRmc;
        case NmeaType::Vtg: return nmea::kKindVtg;
        default: return 0;
    }
}

// Whether a GSA sentence names GPS satellites: its system id is 1, or, without an id, one of its
// numbers is a GPS number under its talker.
bool GsaNamesGps(std::string_view sentence)
{
    FieldSplitter split(sentence);
    std::array<std::string_view, 20> fields{};
    std::size_t n = 0;
    std::string_view field;
    while (n < fields.size() && split.Next(field))
        fields[n++] = field;
    if (n == 18 && !fields[17].empty() && fields[17][0] != '*' &&
        fields[17].find('.') == std::string_view::npos)
        return fields[17][0] == '1';
    const auto hint = ConstellationOfTalker(sentence.substr(0, 2));
    for (std::size_t i = 2; i < std::min<std::size_t>(n, 14); ++i)
    {
        const int number = ClassicFieldToInt(fields[i]);
        const auto id = SatelliteFromNmea(hint, number);
        if (id && id->system == Constellation::Gps && fields[i].find('.') == std::string_view::npos)
            return true;
    }
    return false;
}
}  // namespace

int CData::BuildNmeaSentence(ChunkRef& chunk, std::string& diagnostic, int port)
{
    diagnostic.clear();
    const std::uint8_t* const data = chunk.position;
    const std::size_t n = data != nullptr ? chunk.count : 0;
    chunk.position = nullptr;
    chunk.count = 0;

    bool bad = false;  // a CR followed by a stray byte: drops sentences for the rest of this call
    int result = 0;
    for (std::size_t i = 0; i < n; ++i)
    {
        const auto byte = static_cast<char>(data[i]);
        switch (m_state)
        {
            case kCollecting:
            {
                // The plain characters and commas of a sentence, stored without leaving the loop.
                std::size_t end = i;
                std::uint8_t counter = m_counter;
                bool overflow = m_overflow;
                int comma = m_commaFlag;
                std::uint8_t sum = m_scan.sum;
                std::uint8_t commas = m_scan.count;
                bool blanks = m_scan.blanks;
                std::uint8_t* const buffer = m_buffer.data();
                auto put = [&](std::uint8_t c)
                {
                    if (!overflow)
                    {
                        buffer[counter] = c;
                        overflow = ++counter == 0;
                    }
                };
                for (; end < n; ++end)
                {
                    const std::uint8_t c = data[end];
                    const std::uint8_t kind = kByteKinds.kind[c];
                    if (kind == kPlainByte)
                    {
                        sum = static_cast<std::uint8_t>(sum ^ c);
                        put(c);
                        comma = 0;
                        continue;
                    }
                    if (kind == kLineEndByte || (overflow && kind == kDollarByte))
                        break;  // a '$' after a line too long for the counter starts the next one
                    sum = static_cast<std::uint8_t>(sum ^ c);
                    if (kind == kCommaByte)
                    {
                        if (comma != 0)
                            put(' ');
                        if (commas < NmeaScan::kMaxCommas)
                            m_scan.commas[commas++] = counter;
                        else
                            m_scan.truncated = true;
                        put(',');
                        comma = 1;
                    }
                    else
                    {
                        blanks = blanks || kind == kBlankByte;
                        put(c);  // a '$' inside a sentence is stored like any other byte
                        comma = 0;
                    }
                }
                m_counter = counter;
                m_overflow = overflow;
                m_commaFlag = comma;
                m_scan.sum = sum;
                m_scan.count = commas;
                m_scan.blanks = blanks;
                m_dirty = std::max<std::size_t>(m_dirty, overflow ? kContentLimit : std::size_t{counter});
                i = end;
                if (i == n)
                    break;
                if (data[i] == '\r')
                {
                    m_commaFlag = 0;
                    m_state = kSentenceEnding;
                }
                else if (data[i] == '$')
                {
                    // A line that ran past what the counter holds: dropped, and the '$' starts anew.
                    ++m_counters.sentencesDropped;
                    ClearPacketBuffer();
                    m_commaFlag = 0;
                    m_state = kAfterDollar;
                }
                else
                    result =
                        CompleteSentence(bad, diagnostic, port);  // a bare LF ends the line as CR LF does
                break;
            }
            case kSentenceEnding:
                if (byte == '\n')
                    result = CompleteSentence(bad, diagnostic, port);
                else if (byte == '\r')
                {
                    AppendContent(static_cast<std::uint8_t>('\r'));
                    m_scan.sum = static_cast<std::uint8_t>(m_scan.sum ^ '\r');
                    m_state = kCollecting;
                }
                else if (vrn::DebugSwitch())
                    diagnostic = "Communication format Error.";
                else
                    bad = true;
                break;
            case kAfterDollar:
                if (m_gpsTalkerOnly ? byte == 'G' : IsCapital(byte))
                {
                    AppendContent(static_cast<std::uint8_t>(byte));
                    m_scan.sum = static_cast<std::uint8_t>(m_scan.sum ^ byte);
                    m_state = kAfterG;
                }
                else
                    m_state = kIdle;
                break;
            case kAfterG:
                if (m_gpsTalkerOnly ? byte == 'P' : IsCapital(byte))
                {
                    AppendContent(static_cast<std::uint8_t>(byte));
                    m_scan.sum = static_cast<std::uint8_t>(m_scan.sum ^ byte);
                    m_state = kCollecting;
                }
                else
                    m_state = kIdle;
                break;
            default:
            {
                // Idle (or a state the binary extractor left behind): skip to the next '$'.
                m_state = kIdle;
                i = SkipToSentenceStart(data, i, n);
                if (i < n)
                {
                    ClearPacketBuffer();
                    m_commaFlag = 0;
                    m_state = kAfterDollar;
                }
                break;
            }
        }
    }
    return result;
}

void CData::AbandonSentence()
{
    // What follows the frame starts afresh, outside any comment line.
    m_atLineStart = true;
    m_lineIsComment = false;
    if (m_state == kIdle)
        return;
    ClearPacketBuffer();
    m_commaFlag = 0;
    m_state = kIdle;
}

std::size_t CData::SkipToSentenceStart(const std::uint8_t* data, std::size_t i, std::size_t n)
{
    while (i < n)
    {
        if (m_atLineStart)
        {
            m_lineIsComment = data[i] == '#';
            m_atLineStart = false;
        }
        if (m_lineIsComment)
        {
            const auto* lf = static_cast<const std::uint8_t*>(std::memchr(data + i, '\n', n - i));
            if (lf == nullptr)
                return n;
            i = static_cast<std::size_t>(lf - data) + 1;
            m_atLineStart = true;
            continue;
        }
        const auto* dollar = static_cast<const std::uint8_t*>(std::memchr(data + i, '$', n - i));
        const std::size_t end = dollar != nullptr ? static_cast<std::size_t>(dollar - data) : n;
        // A line end before it starts a new line, which may be a comment.
        const void* lf = end > i ? ::memrchr(data + i, '\n', end - i) : nullptr;
        if (lf != nullptr)
        {
            i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(lf) - data) + 1;
            m_atLineStart = true;
            continue;
        }
        return end;
    }
    return n;
}

int CData::CompleteSentence(bool bad, const std::string& diagnostic, int port)
{
    m_atLineStart = true;
    m_lineIsComment = false;
    int result = 0;
    if (bad || !diagnostic.empty() || m_overflow)
        ++m_counters.sentencesDropped;
    else
    {
        m_scanValid = true;
        result = ImportNmeaSentence(
            std::string_view(reinterpret_cast<const char*>(m_buffer.data()), m_counter), port);
        m_scanValid = false;
    }
    ClearPacketBuffer();
    m_state = kIdle;
    return result;
}

int CData::ImportNmeaSentence(std::string_view sentence, int port)
{
    ggaSeen = 0;
    const NmeaType type = TypeOf(sentence, m_gpsTalkerOnly);
    // A run of GSA sentences describes one fix; any other sentence ends it.
    const bool firstGsaOfBurst = type == NmeaType::Gsa && !m_gnss.inGsaBurst;
    m_gnss.inGsaBurst = type == NmeaType::Gsa;
    if (type == NmeaType::None)
    {
        ++m_counters.sentencesDropped;  // other types and talkers: dropped silently
        ClearPacketBuffer();
        return 1;
    }
    const bool gps = sentence.starts_with("GP");
    const int kind = LogKindOf(type);
    // The log appends a line feed to the text it writes; the decoded last field then ends with it.
    // The text lives in a buffer the set keeps, so a sentence costs no allocation.
    std::string& text = m_sentence;
    if (kind != 0)
    {
        text.assign(sentence);
        m_nmeaWritten = true;
        if (vrn::IPortLog* log = vrn::PortLog())
            log->WriteSentence(kind, text, port);
    }

    // The table and the fix first (they read the stored sentence, not the logged text).
    const std::uint32_t reports = fix.sequence;
    m_gnss.gsaNamesGps = -1;
    m_gnss.classicGsvDone = false;
    const bool tell = ImportGnss(type, sentence, firstGsaOfBurst);

    // The classic records keep their layouts for every talker, so the views read a GN receiver as
    // they read a GP one. GSV records stay GPS talker only (the table has every talker). Of a burst
    // of GSA sentences the classic record keeps the first, or the one that names GPS satellites,
    // whose numbers the classic views understand; GP sentences always fill it.
    switch (type)
    {
        case NmeaType::Gga:
            DecodeGga(gga, text);
            ggaSeen = 1;
            break;
        case NmeaType::Gll:
            StoreFields(gll.fields, text);
            break;
        case NmeaType::Gsa:
        {
            const bool namesGps =
                gps || (m_gnss.gsaNamesGps >= 0 ? m_gnss.gsaNamesGps == 1 : GsaNamesGps(sentence));
            if (gps || firstGsaOfBurst || (namesGps && !m_gnss.classicGsaFromGps))
            {
                DecodeGsa(gsa, text);
                m_gnss.classicGsaFromGps = namesGps;
            }
            break;
        }
        case NmeaType::Gsv:
            if (gps && !m_gnss.classicGsvDone)
            {
                const char number = text.size() > kGsvNumberIndex ? text[kGsvNumberIndex] : '\0';
                DecodeGsv(gsv[number == '1' ? 0 : number == '2' ? 1 : 2], text);
            }
            break;
        case NmeaType::Rmc:
            StoreFields(rmc.fields, text);
            break;
        case NmeaType::Vtg:
            StoreFields(vtg.fields, text);
            break;
        default:
            break;
    }
    text.clear();
    if (tell)
        ggaSeen = 1;
    if (fix.sequence != reports)
        if (vrn::IFixSink* sink = vrn::FixSink())
            sink->FixReported(*this);
    ++m_counters.sentencesImported;
    ClearPacketBuffer();
    return 1;
}
