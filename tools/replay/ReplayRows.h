// vrnrcvr-replay's --fixes and --satellites rows, written from a record set's receiver fix and
// satellite table (whatever protocol filled them), and the sink that writes them for the UBX
// protocol: one fix row per position report, the satellite rows after each satellite message and
// once more at the end of the input.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "link/ChunkParser.h"

namespace replay
{
std::string_view FixCsvHeader();
// One --fixes row (line feed included): `sentence` the report's source ("NAV-PVT"), the UTC time as
// received, the date ddmmyy, signed decimal degrees with 9 decimals; empty fields where the report
// has no value.
std::string FixCsvRow(const ReceiverFix& fix);
std::string_view SatelliteCsvHeader();
// The --satellites rows of every satellite in `table`, each with `utc` in front.
std::string SatelliteCsvRows(const SatelliteTable& table, std::string_view utc);

// Record messages and reports of a UBX replay: fix and satellite rows from the receiver set's
// reports (port 1 or 2), everything else handed on to `views` (the test-mode sink for the own fix).
class ReportRowSink : public vrn::IChunkSink
{
public:
    using Output = std::function<void(std::string_view)>;
    ReportRowSink(vrn::IChunkSink& views, Output fixRow, Output satelliteRow)
        : m_views(views), m_fixRow(std::move(fixRow)), m_satelliteRow(std::move(satelliteRow))
    {
    }
    void Activity(unsigned code) override { m_views.Activity(code); }
    void NotifyViews(unsigned message, unsigned wParam, const CData& set) override
    {
        m_views.NotifyViews(message, wParam, set);
    }
    void Report(vrn::ReceiverReport what, const CData& set, int port) override;
    // The final satellite rows (utc "end") of the last table reported.
    void Finish();

private:
    vrn::IChunkSink& m_views;
    Output m_fixRow, m_satelliteRow;
    SatelliteTable m_lastTable{};
    bool m_haveTable = false;
};
}  // namespace replay
