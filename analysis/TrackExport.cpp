// GPX, KML and CSV writers; see the header.
#include "analysis/TrackExport.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace vrn::analysis
{
namespace
{
std::string Number(double value, int decimals)
{
    if (!std::isfinite(value))
        return {};
    std::array<char, 64> text{};
    const auto r = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, decimals);
    std::string s(text.data(), r.ptr);
    if (s.starts_with('-') && s.find_first_not_of("-0.") == std::string::npos)
        s.erase(0, 1);
    return s;
}

// Year, month, day of a day count since 1970-01-01 (proleptic Gregorian).
void CivilFromDays(std::int64_t z, std::int64_t& year, unsigned& month, unsigned& day)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

// GPX and KML longitudes run from -180 up to but not including 180.
double WrappedLongitude(double longitudeDeg)
{
    const double r = std::remainder(longitudeDeg, 360.0);
    return r >= 180.0 ? r - 360.0 : r;
}

std::string_view FixText(int fixMode)
{
    switch (fixMode)
    {
        case kFixNone:
            return "none";
        case kFix2D:
            return "2d";
        case kFix3D:
            return "3d";
        default:
            return {};  // a fix of unknown dimension: no <fix> element
    }
}

std::string_view StateText(EpochState state)
{
    switch (state)
    {
        case EpochState::Counted:
            return "counted";
        case EpochState::EpochOnly:
            return "epoch only";
        case EpochState::Pending:
            return "pending";
        case EpochState::LeftOut:
            return "left out";
    }
    return "left out";
}
}  // namespace

std::string IsoUtc(double unixSeconds)
{
    if (!std::isfinite(unixSeconds) || std::fabs(unixSeconds) > 1e11)
        return {};
    const auto millis = static_cast<std::int64_t>(std::llround(unixSeconds * 1000.0));
    std::int64_t seconds = millis / 1000;
    std::int64_t ms = millis % 1000;
    if (ms < 0)
    {
        ms += 1000;
        --seconds;
    }
    std::int64_t days = seconds / 86400;
    std::int64_t secondOfDay = seconds % 86400;
    if (secondOfDay < 0)
    {
        secondOfDay += 86400;
        --days;
    }
    std::int64_t year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    std::array<char, 48> text{};
    const int n = std::snprintf(text.data(), text.size(), "%04lld-%02u-%02uT%02lld:%02lld:%02lld",
                                static_cast<long long>(year), month, day, static_cast<long long>(secondOfDay / 3600),
                                static_cast<long long>(secondOfDay / 60 % 60), static_cast<long long>(secondOfDay % 60));
    std::string out(text.data(), static_cast<std::size_t>(std::max(n, 0)));
    if (ms != 0)
    {
        std::snprintf(text.data(), text.size(), ".%03lld", static_cast<long long>(ms));
        out += text.data();
    }
    out += 'Z';
    return out;
}

void WriteGpx(std::ostream& out, const CAccuracyWorkbench& workbench, std::span<const SourceId> sources)
{
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<gpx version=\"1.1\" creator=\"" << kExportCreator << "\"\n"
        << "     xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
        << "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
        << "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
           "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";
    for (const SourceId source : sources)
    {
        const CPositionSeries& series = workbench.Series(source);
        out << "  <trk>\n    <name>" << SourceName(source) << "</name>\n    <trkseg>\n";
        for (std::size_t i = 0; i < series.Size(); ++i)
        {
            const PositionEpoch& e = series.At(i);
            if (!e.Fixed())
                continue;
            // Schema order of a point's children: ele, time, ..., fix, sat, hdop.
            out << "      <trkpt lat=\"" << Number(e.latitudeDeg, 9) << "\" lon=\""
                << Number(WrappedLongitude(e.longitudeDeg), 9) << "\"><ele>" << Number(e.heightM, 3)
                << "</ele>";
            if (const std::string time = IsoUtc(e.utcS); !time.empty())
                out << "<time>" << time << "</time>";
            if (const std::string_view fix = FixText(e.fixMode); !fix.empty())
                out << "<fix>" << fix << "</fix>";
            if (e.satsUsed >= 0)
                out << "<sat>" << e.satsUsed << "</sat>";
            if (std::isfinite(e.hdop) && e.hdop >= 0.0)
                out << "<hdop>" << Number(e.hdop, 2) << "</hdop>";
            out << "</trkpt>\n";
        }
        out << "    </trkseg>\n  </trk>\n";
    }
    out << "</gpx>\n";
}

void WriteKml(std::ostream& out, const CAccuracyWorkbench& workbench, std::span<const SourceId> sources)
{
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n  <name>" << kExportCreator
        << " tracks</name>\n";
    for (const SourceId source : sources)
    {
        const CPositionSeries& series = workbench.Series(source);
        std::string coordinates;
        std::size_t points = 0;
        for (std::size_t i = 0; i < series.Size(); ++i)
        {
            const PositionEpoch& e = series.At(i);
            if (!e.Fixed())
                continue;
            if (points++ > 0)
                coordinates += ' ';
            coordinates += Number(WrappedLongitude(e.longitudeDeg), 9) + ',' + Number(e.latitudeDeg, 9) + ',' +
                           Number(e.heightM, 3);
        }
        if (points == 0)
            continue;
        out << "  <Placemark>\n    <name>" << SourceName(source) << "</name>\n";
        // A line needs two points; a single fix is a point.
        if (points == 1)
            out << "    <Point><coordinates>" << coordinates << "</coordinates></Point>\n";
        else
            out << "    <LineString>\n      <tessellate>1</tessellate>\n      <coordinates>" << coordinates
                << "</coordinates>\n    </LineString>\n";
        out << "  </Placemark>\n";
    }
    out << "</Document>\n</kml>\n";
}

void WriteCsv(std::ostream& out, const CAccuracyWorkbench& workbench, std::span<const SourceId> sources)
{
    out << "source,week,tow,utc,lat,lon,height,fixMode,satsUsed,hdop,state,e,n,u,h\n";
    for (const SourceId source : sources)
    {
        const CPositionSeries& series = workbench.Series(source);
        for (std::size_t i = 0; i < series.Size(); ++i)
        {
            const PositionEpoch& e = series.At(i);
            const EpochError& error = workbench.ErrorAt(source, i);
            out << SourceName(source) << ',';
            if (e.gpsWeek >= 0)
                out << e.gpsWeek;
            out << ',' << Number(e.gpsTowS, 3) << ',' << IsoUtc(e.utcS) << ',' << Number(e.latitudeDeg, 9) << ','
                << Number(e.longitudeDeg, 9) << ',' << Number(e.heightM, 3) << ',' << e.fixMode << ',';
            if (e.satsUsed >= 0)
                out << e.satsUsed;
            out << ',' << Number(e.hdop, 2) << ',' << StateText(error.state) << ',';
            if (error.state == EpochState::Counted)
                out << Number(error.error.e, 3) << ',' << Number(error.error.n, 3) << ',' << Number(error.error.u, 3)
                    << ',' << Number(error.error.Horizontal(), 3);
            else
                out << ",,,";
            out << '\n';
        }
    }
}

bool WriteFileSafely(const std::string& path, const std::function<void(std::ostream&)>& write, std::string& error)
{
    if (path.empty())
    {
        error = "no file name given";
        return false;
    }
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
        {
            error = "cannot create '" + temporary + "': " + std::strerror(errno);
            return false;
        }
        write(out);
        out.flush();
        if (!out)
        {
            error = "cannot write '" + temporary + "'";
            out.close();
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
    {
        error = "cannot replace '" + path + "': " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
}  // namespace vrn::analysis
