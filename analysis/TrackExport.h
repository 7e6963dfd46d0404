// Track export of the workbench's series: GPX 1.1 (one <trk> per source, a <trkpt> per fixed epoch
// with <ele>, <time>, <fix>, <sat>, <hdop>), KML (one LineString per source) and CSV (every epoch
// with its E/N/U error as the statistics count it). The writers take a stream; WriteFileSafely puts
// the text in place only once it has been written completely.
#pragma once

#include <functional>
#include <ostream>
#include <span>
#include <string>

#include "analysis/AccuracyWorkbench.h"

namespace vrn::analysis
{
inline constexpr std::string_view kExportCreator = "VRNRcvr Demo";

void WriteGpx(std::ostream& out, const CAccuracyWorkbench& workbench, std::span<const SourceId> sources);
void WriteKml(std::ostream& out, const CAccuracyWorkbench& workbench, std::span<const SourceId> sources);
// Header "source,week,tow,utc,lat,lon,height,fixMode,satsUsed,hdop,state,e,n,u,h"; state is
// "counted", "epoch only", "pending" or "left out", and e, n, u, h are empty unless counted.
void WriteCsv(std::ostream& out, const CAccuracyWorkbench& workbench, std::span<const SourceId> sources);

// ISO 8601 UTC ("2024-03-01T12:00:07Z", with ".250" when the time has milliseconds); empty for NaN.
[[nodiscard]] std::string IsoUtc(double unixSeconds);

// Writes `path` through a temporary file in the same folder that replaces it only after `write`
// and the flush have succeeded; an existing file stays as it was on failure. False and a reason.
bool WriteFileSafely(const std::string& path, const std::function<void(std::ostream&)>& write,
                     std::string& error);
}  // namespace vrn::analysis
