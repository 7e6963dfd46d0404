// vrnrcvr-replay's --fixes and --satellites rows; see the header.
#include "ReplayGnss.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "link/Notifications.h"
#include "protocol/CData.h"

namespace replay
{
namespace
{
// Shortest text that reads back as the same double; nothing for NaN.
void AppendShortest(std::string& out, double value)
{
    if (!std::isfinite(value))
        return;
    std::array<char, 32> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    out.append(text.data(), result.ptr);
}

void AppendFixed(std::string& out, double value, int decimals)
{
    if (!std::isfinite(value))
        return;
    std::array<char, 48> text{};
    const auto result =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, decimals);
    out.append(text.data(), result.ptr);
}

void AppendInt(std::string& out, long long value)
{
    std::array<char, 24> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    out.append(text.data(), result.ptr);
}

template <std::size_t N>
std::string_view TextOf(const std::array<char, N>& text)
{
    return {text.data(), static_cast<std::size_t>(std::find(text.begin(), text.end(), '\0') - text.begin())};
}
}  // namespace

std::string_view FixesCsvHeader()
{
    return "sentence,utc,date,lat,lon,altMSL,quality,fixMode,satsUsed,hdop,pdop,vdop,speed,course\n";
}

std::string_view SatellitesCsvHeader()
{
    return "utc,system,svid,elevation,azimuth,snr,used\n";
}

std::string FixCsvRow(const CData& set)
{
    const ReceiverFix& f = set.fix;
    std::string row;
    row.reserve(160);
    row += TextOf(f.source);
    row += ',';
    row += TextOf(f.utcText);
    row += ',';
    row += TextOf(f.date);
    row += ',';
    AppendFixed(row, f.latitudeDeg, 9);
    row += ',';
    AppendFixed(row, f.longitudeDeg, 9);
    row += ',';
    if ((f.carried & kFixCarriesAltitude) != 0)
        AppendShortest(row, f.altitudeMslM);
    row += ',';
    if ((f.carried & kFixCarriesQuality) != 0 && f.quality >= 0)
        AppendInt(row, f.quality);
    row += ',';
    if (f.fixMode > 0)
        AppendInt(row, f.fixMode);
    row += ',';
    if ((f.carried & kFixCarriesSatsUsed) != 0 && f.satsUsed >= 0)
        AppendInt(row, f.satsUsed);
    for (const double dop : {f.hdop, f.pdop, f.vdop})
    {
        row += ',';
        AppendShortest(row, dop);
    }
    row += ',';
    AppendFixed(row, f.speedMps, 3);
    row += ',';
    AppendShortest(row, f.courseDeg);
    row += '\n';
    return row;
}

void AppendSatelliteRows(std::string& out, const CData& set, std::string_view utc)
{
    const auto entries = set.satellites.Entries();
    std::array<const SatelliteEntry*, SatelliteTable::kCapacity> sorted{};
    std::size_t n = 0;
    for (const SatelliteEntry& e : entries)
        sorted[n++] = &e;
    std::sort(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(n),
              [](const SatelliteEntry* a, const SatelliteEntry* b)
              {
                  return std::pair(ConstellationIndex(a->system), a->svid) <
                         std::pair(ConstellationIndex(b->system), b->svid);
              });
    for (std::size_t i = 0; i < n; ++i)
    {
        const SatelliteEntry& e = *sorted[i];
        out += utc;
        out += ',';
        out += ConstellationLetter(e.system);
        out += ',';
        AppendInt(out, e.svid);
        out += ',';
        if (e.elevationDeg != kNoAngle)
            AppendInt(out, e.elevationDeg);
        out += ',';
        if (e.azimuthDeg != kNoAngle)
            AppendInt(out, e.azimuthDeg);
        out += ',';
        if (e.snrDbHz != kNoSnr)
            AppendInt(out, e.snrDbHz);
        out += e.used ? ",1\n" : ",0\n";
    }
}

GnssOutputs::GnssOutputs(int mode, vrn::IChunkSink& inner, Output fixes, Output satellites)
    : m_mode(mode), m_inner(inner), m_fixes(std::move(fixes)), m_satellites(std::move(satellites))
{
}

void GnssOutputs::FixReported(const CData& set)
{
    if (m_fixes)
        m_fixes(FixCsvRow(set));
    // A UBX receiver that sends no satellite message of its own (NMEA output only) gets the rows of
    // its GSV sentences as an NMEA port does.
    const bool nmeaTable = m_mode == vrn::kModeNmea || (vrn::IsUbxMode(m_mode) && !set.ublox.satellitesSeen);
    if (m_satellites && nmeaTable && set.ggaSeen != 0)
    {
        m_text.clear();
        AppendSatelliteRows(m_text, set, TextOf(set.fix.utcText));
        m_satellites(m_text);
    }
    if (m_next != nullptr)
        m_next->FixReported(set);
}

void GnssOutputs::NotifyViews(unsigned message, unsigned wParam, const CData& set)
{
    m_inner.NotifyViews(message, wParam, set);
    // The receiver's records (port 1 with the own fix: the own solution's go to receiver 2).
    const bool receiver = m_mode == vrn::kModeBinary || m_mode == vrn::kModeUbx ||
                          (vrn::RunsOwnFix(m_mode) && wParam == vrn::kSourcePort1);
    if (!m_satellites || message != vrn::kMsgBinaryData || !receiver ||
        (set.currentId != kIdSvA && set.currentId != kIdSv))
        return;
    m_text.clear();
    if (vrn::IsUbxMode(m_mode))
    {
        // After a NAV-SAT or NAV-SVINFO, at its own time.
        AppendSatelliteRows(m_text, set, TextOf(set.ublox.satelliteUtc));
    }
    else
    {
        std::array<char, 16> utc{};
        double seconds = 0.0;
        int day = 0;
        UtcOfGpsTime(set.sv.week, set.sv.timeOfWeek / 100.0, kDefaultLeapSeconds, utc, seconds, day);
        AppendSatelliteRows(m_text, set, TextOf(utc));
    }
    m_satellites(m_text);
}

void GnssOutputs::Finish(const CData& set)
{
    if (!m_satellites)
        return;
    m_text.clear();
    AppendSatelliteRows(m_text, set, "end");
    m_satellites(m_text);
}
}  // namespace replay
