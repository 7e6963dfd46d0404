// A small NMEA reader of the simulator tests, written apart from the program's own import so that
// the simulator's sentences are checked against the format itself: lines, checksums, fields, and
// the satellites of the GSV sets of one epoch.
#pragma once

#include <charconv>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace simtest
{

struct NmeaLine
{
    std::string talker;               // "GN"
    std::string type;                 // "GGA"
    std::vector<std::string> fields;  // after the address field, empty ones kept
};

// Splits one line (without CR LF). Empty with a reason when it is not "$" + body + "*hh" with the
// right checksum, or longer than the 82 characters (line end included) a sentence may have.
inline std::optional<NmeaLine> ParseNmeaLine(std::string_view line, std::string& why)
{
    why.clear();
    if (line.size() + 2 > 82)
        why = "longer than 82 characters";
    else if (line.size() < 10 || line[0] != '$' || line[line.size() - 3] != '*')
        why = "not $...*hh";
    if (!why.empty())
        return std::nullopt;
    const std::string_view body = line.substr(1, line.size() - 4);
    unsigned sum = 0;
    for (const char c : body)
        sum ^= static_cast<unsigned char>(c);
    unsigned given = 0;
    const auto r = std::from_chars(line.data() + line.size() - 2, line.data() + line.size(), given, 16);
    if (r.ec != std::errc{} || given != sum)
    {
        why = "bad checksum";
        return std::nullopt;
    }
    NmeaLine out;
    std::size_t from = 0;
    bool address = true;
    for (;;)
    {
        const std::size_t comma = body.find(',', from);
        const std::string_view field =
            body.substr(from, comma == std::string_view::npos ? comma : comma - from);
        if (address)
        {
            if (field.size() != 5)
            {
                why = "address field is not talker + type";
                return std::nullopt;
            }
            out.talker = field.substr(0, 2);
            out.type = field.substr(2);
            address = false;
        }
        else
            out.fields.emplace_back(field);
        if (comma == std::string_view::npos)
            break;
        from = comma + 1;
    }
    return out;
}

// The lines of a block of text ending in CR LF each.
inline std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();)
    {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

inline int ToInt(const std::string& s, int empty = -1)
{
    if (s.empty())
        return empty;
    int v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc{} && r.ptr == s.data() + s.size() ? v : -999;
}

struct GsvSatellite
{
    int elevation = -1, azimuth = -1, snr = -1;  // -1: empty
};
// talker + signal id ("GA7"; the talker alone without a signal field) -> number -> look angles.
using GsvSky = std::map<std::string, std::map<int, GsvSatellite>>;

// The satellites of every GSV sentence in `text` (one epoch); `withSignal` says whether the last
// field is a signal id.
inline GsvSky ReadGsv(const std::string& text, bool withSignal)
{
    GsvSky sky;
    std::string why;
    for (const std::string& l : SplitLines(text))
    {
        const auto line = ParseNmeaLine(l, why);
        if (!line || line->type != "GSV")
            continue;
        const std::size_t groupsEnd = line->fields.size() - (withSignal ? 1 : 0);
        const std::string key = line->talker + (withSignal ? line->fields.back() : std::string());
        for (std::size_t k = 3; k + 4 <= groupsEnd; k += 4)
            sky[key][ToInt(line->fields[k])] = GsvSatellite{
                ToInt(line->fields[k + 1]), ToInt(line->fields[k + 2]), ToInt(line->fields[k + 3])};
    }
    return sky;
}

}  // namespace simtest
