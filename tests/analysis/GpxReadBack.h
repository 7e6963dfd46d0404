// Reading exported GPX back in the tests, and validating it with xmllint against the track part of
// the GPX 1.1 schema (tests/data/gpx) when xmllint is installed.
#pragma once

#include <cstdlib>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
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

inline std::optional<std::string> Child(const std::string& xml, const std::string& tag)
{
    const std::regex re("<" + tag + ">([^<]*)</" + tag + ">");
    std::smatch m;
    if (std::regex_search(xml, m, re))
        return m[1].str();
    return std::nullopt;
}

// Tracks with their points; a point's children are read whatever their order.
inline std::vector<Track> ReadTracks(const std::string& gpx)
{
    std::vector<Track> tracks;
    const std::regex trk("<trk>([\\s\\S]*?)</trk>");
    const std::regex pt("<trkpt lat=\"([^\"]+)\" lon=\"([^\"]+)\">([\\s\\S]*?)</trkpt>");
    for (auto t = std::sregex_iterator(gpx.begin(), gpx.end(), trk); t != std::sregex_iterator(); ++t)
    {
        const std::string body = (*t)[1].str();
        Track track;
        track.name = Child(body, "name").value_or("");
        for (auto p = std::sregex_iterator(body.begin(), body.end(), pt); p != std::sregex_iterator(); ++p)
        {
            Point point;
            point.lat = std::stod((*p)[1].str());
            point.lon = std::stod((*p)[2].str());
            const std::string children = (*p)[3].str();
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
