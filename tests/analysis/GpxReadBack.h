// Reading exported GPX back in the tests, and validating it with xmllint against the track part of
// the GPX 1.1 schema (tests/data/gpx) when xmllint is installed.
#pragma once

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace gpxtest
{
struct Point
{
    double lat = 0, lon = 0;
    std::optional<double> ele, hdop;
    std::optional<int> sat;
    std::string time, fix;
};

struct Track
{
    std::string name;
    std::vector<Point> points;
};

// Text of the first <tag>...</tag> in `xml`.
inline std::optional<std::string> Child(std::string_view xml, const std::string& tag)
{
    const std::string open = "<" + tag + ">", close = "</" + tag + ">";
    const auto from = xml.find(open);
    if (from == std::string_view::npos)
        return std::nullopt;
    const auto to = xml.find(close, from);
    if (to == std::string_view::npos)
        return std::nullopt;
    return std::string(xml.substr(from + open.size(), to - from - open.size()));
}

// The value of attribute `name` in a start tag.
inline std::string Attribute(std::string_view tag, const std::string& name)
{
    const std::string key = " " + name + "=\"";
    const auto from = tag.find(key);
    if (from == std::string_view::npos)
        return {};
    const auto to = tag.find('"', from + key.size());
    return std::string(tag.substr(from + key.size(), to - from - key.size()));
}

// Tracks with their points; a point's children are read whatever their order. A plain scan: the
// files are large for a regular expression engine that recurses.
inline std::vector<Track> ReadTracks(std::string_view gpx)
{
    std::vector<Track> tracks;
    for (std::size_t at = gpx.find("<trk>"); at != std::string_view::npos; at = gpx.find("<trk>", at + 1))
    {
        const std::size_t end = gpx.find("</trk>", at);
        const std::string_view body = gpx.substr(at, end - at);
        Track track;
        const auto segment = body.find("<trkseg>");
        track.name = Child(body.substr(0, segment), "name").value_or("");
        for (std::size_t p = body.find("<trkpt "); p != std::string_view::npos; p = body.find("<trkpt ", p + 1))
        {
            const std::size_t tagEnd = body.find('>', p);
            const std::size_t ptEnd = body.find("</trkpt>", p);
            const std::string_view tag = body.substr(p, tagEnd - p);
            const std::string_view children = body.substr(tagEnd + 1, ptEnd - tagEnd - 1);
            Point point;
            point.lat = std::stod(Attribute(tag, "lat"));
            point.lon = std::stod(Attribute(tag, "lon"));
            if (auto v = Child(children, "ele"))
                point.ele = std::stod(*v);
            if (auto v = Child(children, "hdop"))
                point.hdop = std::stod(*v);
            if (auto v = Child(children, "sat"))
                point.sat = std::stoi(*v);
            point.time = Child(children, "time").value_or("");
            point.fix = Child(children, "fix").value_or("");
            track.points.push_back(point);
        }
        tracks.push_back(track);
    }
    return tracks;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool HaveXmllint()
{
    return std::system("command -v xmllint >/dev/null 2>&1") == 0;
}

// xmllint's verdict on `path` against the schema; the messages go to `messages`.
inline bool ValidGpx(const std::string& path, std::string& messages)
{
    const std::string schema = std::string(VRN_SOURCE_DIR) + "/tests/data/gpx/gpx-1.1-tracks.xsd";
    const std::string log = path + ".xmllint";
    const int rc = std::system(("xmllint --noout --schema '" + schema + "' '" + path + "' >'" + log + "' 2>&1").c_str());
    messages = ReadFile(log);
    std::remove(log.c_str());
    return rc == 0;
}
}  // namespace gpxtest
