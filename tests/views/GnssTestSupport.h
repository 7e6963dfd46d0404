// Receivers of several constellations for the view tests: NMEA sentences with their checksums and
// captures of real receivers, run through a record set the way a port's reader runs them, and
// satellite tables written directly.
#pragma once

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "protocol/CData.h"

namespace gnss_test
{
// "$body*hh\r\n".
inline std::string Sentence(std::string_view body)
{
    unsigned sum = 0;
    for (const char c : body)
        sum ^= static_cast<unsigned char>(c);
    std::array<char, 4> hex{};
    std::snprintf(hex.data(), hex.size(), "%02X", sum);
    return "$" + std::string(body) + "*" + hex.data() + "\r\n";
}

// Feeds `text` in chunks of at most 80 bytes.
inline void Feed(CData& set, std::string_view text)
{
    std::string diagnostic;
    for (std::size_t at = 0; at < text.size(); at += 80)
    {
        const std::size_t n = std::min<std::size_t>(80, text.size() - at);
        ChunkRef chunk{reinterpret_cast<const std::uint8_t*>(text.data() + at), n};
        (void)set.BuildNmeaSentence(chunk, diagnostic, 0);
    }
}

// The folder of the real receivers' NMEA captures; empty when it is not there.
inline std::optional<std::filesystem::path> CaptureFolder()
{
    const char* const override = std::getenv("VRN_SHARED_TESTDATA");
    const std::filesystem::path dir =
        std::filesystem::path(override != nullptr ? override : VRN_SHARED_TESTDATA) / "nmea";
    if (!std::filesystem::is_directory(dir))
        return std::nullopt;
    return dir;
}

// A capture up to and including the first line that holds `marker`; empty when it has none.
inline std::string CaptureUpTo(const std::filesystem::path& file, std::string_view marker)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    const std::size_t at = all.find(marker);
    if (at == std::string::npos)
        return {};
    const std::size_t end = all.find('\n', at);
    return all.substr(0, end == std::string::npos ? all.size() : end + 1);
}

// Writes one satellite into a table.
inline void Put(SatelliteTable& table, Constellation system, int svid, int elevation, int azimuth, int snr,
                bool used)
{
    SatelliteEntry* e = table.Upsert(system, svid);
    if (e == nullptr)
        return;
    e->elevationDeg = static_cast<std::int16_t>(elevation);
    e->azimuthDeg = static_cast<std::int16_t>(azimuth);
    e->snrDbHz = static_cast<std::int16_t>(snr);
    e->used = used;
    e->talker = {'G', 'N'};
}
}  // namespace gnss_test
