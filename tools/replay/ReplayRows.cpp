// vrnrcvr-replay's fix and satellite rows; see the header.
#include "ReplayRows.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace replay
{
namespace
{
void AppendFixed(std::string& out, double value, int decimals)
{
    out += ',';
    if (!std::isfinite(value))
        return;
    std::array<char, 48> text{};
    std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
    out += text.data();
}

void AppendInt(std::string& out, long value, bool present)
{
    out += ',';
    if (present)
        out += std::to_string(value);
}
}  // namespace

std::string_view FixCsvHeader()
{
    return "sentence,utc,date,lat,lon,altMSL,quality,fixMode,satsUsed,hdop,pdop,vdop,speed,course\n";
}

std::string FixCsvRow(const ReceiverFix& fix)
{
    std::string row = fix.source.data();
    row += ',';
    row += fix.utcText.data();
    row += ',';
    row += fix.date.data();
    AppendFixed(row, fix.latitudeDeg, 9);
    AppendFixed(row, fix.longitudeDeg, 9);
    AppendFixed(row, fix.altitudeMslM, 3);
    AppendInt(row, fix.quality, fix.quality >= 0);
    AppendInt(row, fix.fixMode, fix.fixMode > 0);
    AppendInt(row, fix.satsUsed, fix.satsUsed >= 0);
    AppendFixed(row, fix.hdop, 2);
    AppendFixed(row, fix.pdop, 2);
    AppendFixed(row, fix.vdop, 2);
    AppendFixed(row, fix.speedMps, 3);
    AppendFixed(row, fix.courseDeg, 2);
    row += '\n';
    return row;
}

std::string_view SatelliteCsvHeader()
{
    return "utc,system,svid,elevation,azimuth,snr,used\n";
}

std::string SatelliteCsvRows(const SatelliteTable& table, std::string_view utc)
{
    std::string rows;
    for (const SatelliteEntry& e : table.Entries())
    {
        rows += utc;
        rows += ',';
        rows += ConstellationLetter(e.system);
        AppendInt(rows, e.svid, true);
        AppendInt(rows, e.elevationDeg, e.elevationDeg != kNoAngle);
        AppendInt(rows, e.azimuthDeg, e.azimuthDeg != kNoAngle);
        AppendInt(rows, e.snrDbHz, e.snrDbHz != kNoSnr);
        AppendInt(rows, e.used ? 1 : 0, true);
        rows += '\n';
    }
    return rows;
}

void ReportRowSink::Report(vrn::ReceiverReport what, const CData& set, int port)
{
    m_views.Report(what, set, port);
    if (what == vrn::ReceiverReport::Fix && m_fixRow)
        m_fixRow(FixCsvRow(set.fix));
    else if (what == vrn::ReceiverReport::Satellites)
    {
        if (m_satelliteRow)
            m_satelliteRow(SatelliteCsvRows(set.satellites, set.ublox.satelliteUtc.data()));
        m_lastTable = set.satellites;
        m_haveTable = true;
    }
}

void ReportRowSink::Finish()
{
    if (m_haveTable && m_satelliteRow)
        m_satelliteRow(SatelliteCsvRows(m_lastTable, "end"));
}
}  // namespace replay
