// vrnrcvr-replay's --fixes and --satellites output: one CSV row per position report of the record
// set, and the satellite table at every moment the views would be told and once more at the end.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "app/CoreServices.h"
#include "link/ChunkParser.h"

namespace replay
{
std::string_view FixesCsvHeader();
std::string_view SatellitesCsvHeader();
// One --fixes row (line feed included) for the latest report of `set`.
std::string FixCsvRow(const CData& set);
// The --satellites rows of `set`'s table at `utc`, sorted by constellation letter order and number.
void AppendSatelliteRows(std::string& out, const CData& set, std::string_view utc);

// Writes the rows while a replay runs. As a fix sink it receives every position report (a --fixes
// row; in NMEA mode after a report the views are told about, the satellite rows). As the chunk
// loop's sink it passes everything on to `inner` and, in the binary modes, writes the satellite
// rows after every SV record of the receiver (test mode: of receiver 1 only). In the UBX modes the
// satellite rows follow each NAV-SAT or NAV-SVINFO, at its time (`ublox.satelliteUtc`); a UBX
// stream without either gets them after its GGA sentences, as in NMEA mode.
class GnssOutputs : public vrn::IFixSink, public vrn::IChunkSink
{
public:
    using Output = std::function<void(std::string_view)>;
    // An empty output writes nothing of its kind.
    GnssOutputs(int mode, vrn::IChunkSink& inner, Output fixes, Output satellites);

    void FixReported(const CData& set) override;
    void Activity(unsigned code) override { m_inner.Activity(code); }
    void NotifyViews(unsigned message, unsigned wParam, const CData& set) override;
    // The closing rows of the satellite table, utc "end".
    void Finish(const CData& set);
    // Every position report also goes on to `next` (null: nowhere).
    void ForwardFixesTo(vrn::IFixSink* next) { m_next = next; }

private:
    int m_mode;
    vrn::IChunkSink& m_inner;
    Output m_fixes, m_satellites;
    vrn::IFixSink* m_next = nullptr;
    std::string m_text;
};
}  // namespace replay
