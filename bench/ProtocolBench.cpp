// Extraction and import throughput of the extractors, in bytes of received stream per second: a
// binary stream of a receiver's usual messages, an NMEA stream of the six sentence types of a GPS
// receiver, the NMEA stream of a modern receiver (GN talker, four constellations, NMEA 4.11 system
// and signal ids, 43 satellites) and a UBX stream of a u-blox receiver, all fed in the reader's
// 80-byte chunks. The ParseChunk variants add the port log's text lines.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/CoreServices.h"
#include "link/ChunkParser.h"
#include "protocol/CData.h"
#include "protocol/Framing.h"
#include "protocol/UbxFrame.h"

namespace
{
constexpr std::size_t kStreamBytes = 1 << 20;

void Put16(std::vector<std::uint8_t>& m, std::uint32_t v)
{
    m.push_back(static_cast<std::uint8_t>(v));
    m.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& m, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        m.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// One second of binary output: NAV, DOP, SV with ten channels and MEAS with eight.
std::vector<std::uint8_t> BinaryStream()
{
    std::vector<std::uint8_t> stream;
    for (std::uint32_t t = 0; stream.size() < kStreamBytes; ++t)
    {
        const std::uint32_t tow = 29610000 + 100 * t;
        std::vector<std::uint8_t> nav{kIdNav};
        Put16(nav, 2406);
        Put32(nav, tow);
        for (std::uint32_t v : {3915427U + t, 404581U + 3 * t, 5001795U})
            Put32(nav, v);
        for (std::uint32_t v : {65526U, 31U, 5U})
            Put16(nav, v);
        nav.push_back(0xC8);
        Put16(nav, 205);
        std::vector<std::uint8_t> dop{kIdDop};
        Put16(dop, 2406);
        Put32(dop, tow);
        for (const int v : {18, 16, 9, 13, 8, 3})
            dop.push_back(static_cast<std::uint8_t>(v));
        std::vector<std::uint8_t> sv{kIdSv};
        Put16(sv, 2406);
        Put32(sv, tow);
        sv.push_back(10);
        for (std::uint32_t k = 0; k < 10; ++k)
        {
            sv.push_back(static_cast<std::uint8_t>(k));
            sv.push_back(static_cast<std::uint8_t>(3 + 2 * k));
            Put16(sv, 40 * k + t % 7);
            sv.push_back(static_cast<std::uint8_t>(10 + 5 * k));
            sv.push_back(static_cast<std::uint8_t>(100 + k));
            sv.push_back(0x0F);
        }
        std::vector<std::uint8_t> meas{kIdMeas};
        Put16(meas, 2406);
        Put32(meas, tow);
        Put16(meas, 0x1010 + t);
        meas.push_back(3);
        for (std::uint32_t k = 0; k < 8; ++k)
        {
            Put16(meas, (40U << 9) | ((3 + 2 * k) << 4) | k);
            meas.push_back(70);
            meas.push_back(1);
            Put32(meas, 20000000 + 150000 * k + 700 * t);
            Put32(meas, 4294964296U + 97 * k);
            Put16(meas, 63000 + 311 * k);
        }
        for (const auto* m : {&nav, &dop, &sv, &meas})
        {
            const auto frame = FramePacket(*m);
            stream.insert(stream.end(), frame.begin(), frame.end());
        }
    }
    return stream;
}

// One second of NMEA output: GGA, GLL, GSA, three GSV, RMC and VTG with CR LF.
std::vector<std::uint8_t> NmeaStream()
{
    std::string stream;
    std::array<char, 128> line{};
    for (int t = 0; stream.size() < kStreamBytes; ++t)
    {
        const int s = 36900 + t;
        const int hh = s / 3600 % 24, mm = s / 60 % 60, ss = s % 60;
        std::snprintf(line.data(), line.size(),
                      "$GPGGA,%02d%02d%02d.00,5159.%05d,N,00553.%05d,E,1,07,0.9,14.2,M,46.9,M,,*59\r\n", hh,
                      mm, ss, 10720 + 48 * (t % 1000), 96640 + 283 * (t % 300));
        stream += line.data();
        std::snprintf(line.data(), line.size(), "$GPGLL,5159.%05d,N,00553.%05d,E,%02d%02d%02d.00,A,A*6E\r\n",
                      10720 + 48 * (t % 1000), 96640 + 283 * (t % 300), hh, mm, ss);
        stream += line.data();
        stream += "$GPGSA,A,3,03,06,09,12,17,22,28,,,,,,1.6,0.9,1.3*3D\r\n";
        stream += "$GPGSV,3,1,12,03,67,112,44,06,41,254,42,09,23,301,37,12,55,048,45*7E\r\n";
        stream += "$GPGSV,3,2,12,16,12,170,30,17,34,205,39,19,08,331,,22,29,077,38*77\r\n";
        stream += "$GPGSV,3,3,12,25,05,021,,28,48,142,43,31,17,262,34,32,03,189,*7A\r\n";
        std::snprintf(line.data(), line.size(),
                      "$GPRMC,%02d%02d%02d.00,A,5159.%05d,N,00553.%05d,E,6.51,74.6,130226,,,A*5A\r\n", hh, mm,
                      ss, 10720 + 48 * (t % 1000), 96640 + 283 * (t % 300));
        stream += line.data();
        stream += "$GPVTG,74.6,T,,M,6.51,N,12.06,K,A*0F\r\n";
    }
    return {stream.begin(), stream.end()};
}

// "$body*hh\r\n" with its checksum.
void AppendSentence(std::string& stream, const std::string& body)
{
    unsigned sum = 0;
    for (const char c : body)
        sum ^= static_cast<unsigned char>(c);
    std::array<char, 8> suffix{};
    std::snprintf(suffix.data(), suffix.size(), "*%02X\r\n", sum);
    stream += '$';
    stream += body;
    stream += suffix.data();
}

// One second of a modern receiver's output: RMC, VTG, GGA, four GSA with system ids, GSV sets of
// GPS (with SBAS), GLONASS, Galileo and BeiDou with signal ids, GLL and ZDA.
std::vector<std::uint8_t> MultiConstellationStream()
{
    struct Sky
    {
        const char* talker;
        int signal;
        std::vector<int> numbers;
    };
    const std::vector<Sky> skies{
        {"GP", 1, {5, 10, 13, 15, 16, 18, 20, 21, 23, 25, 26, 27, 29, 44, 46, 51}},
        {"GL", 1, {66, 67, 68, 69, 73, 74, 81, 82, 83, 84}},
        {"GA", 7, {3, 5, 8, 9, 13, 15, 21, 27, 30, 36}},
        {"GB", 1, {4, 7, 27, 28, 30, 32, 33}},
    };
    std::string stream;
    std::array<char, 160> line{};
    for (int t = 0; stream.size() < kStreamBytes; ++t)
    {
        const int s = 81465 + t;
        const int hh = s / 3600 % 24, mm = s / 60 % 60, ss = s % 60;
        const int lat = 62964 + 2 * (t % 1000), lon = 61382 + 2 * (t % 700);
        std::snprintf(line.data(), line.size(), "GNRMC,%02d%02d%02d.00,A,3806.%05d,N,12237.%05d,W,0.040,,110720,,,D,V",
                      hh, mm, ss, lat, lon);
        AppendSentence(stream, line.data());
        AppendSentence(stream, "GNVTG,,T,,M,0.040,N,0.075,K,D");
        std::snprintf(line.data(), line.size(),
                      "GNGGA,%02d%02d%02d.00,3806.%05d,N,12237.%05d,W,2,12,0.54,83.1,M,-29.5,M,,0000", hh, mm, ss,
                      lat, lon);
        AppendSentence(stream, line.data());
        AppendSentence(stream, "GNGSA,A,3,29,20,18,16,51,13,44,26,,,,,0.99,0.54,0.83,1");
        AppendSentence(stream, "GNGSA,A,3,82,73,74,67,81,83,68,,,,,,0.99,0.54,0.83,2");
        AppendSentence(stream, "GNGSA,A,3,03,05,30,27,15,,,,,,,,0.99,0.54,0.83,3");
        AppendSentence(stream, "GNGSA,A,3,32,28,30,33,27,,,,,,,,0.99,0.54,0.83,4");
        for (const Sky& sky : skies)
        {
            const std::size_t total = (sky.numbers.size() + 3) / 4;
            for (std::size_t m = 0; m < total; ++m)
            {
                std::string body = std::string(sky.talker) + "GSV," + std::to_string(total) + "," +
                                   std::to_string(m + 1) + "," + std::to_string(sky.numbers.size());
                for (std::size_t k = 4 * m; k < std::min(sky.numbers.size(), 4 * m + 4); ++k)
                {
                    const int n = sky.numbers[k];
                    std::snprintf(line.data(), line.size(), ",%02d,%02d,%03d,%s", n, (n * 7) % 90,
                                  (n * 37 + t / 60) % 360, n % 3 == 0 ? "" : std::to_string(20 + (n + t) % 30).c_str());
                    body += line.data();
                }
                body += "," + std::to_string(sky.signal);
                AppendSentence(stream, body);
            }
        }
        std::snprintf(line.data(), line.size(), "GNGLL,3806.%05d,N,12237.%05d,W,%02d%02d%02d.00,A,D", lat, lon, hh,
                      mm, ss);
        AppendSentence(stream, line.data());
        std::snprintf(line.data(), line.size(), "GNZDA,%02d%02d%02d.00,11,07,2020,00,00", hh, mm, ss);
        AppendSentence(stream, line.data());
    }
    return {stream.begin(), stream.end()};
}


// One second of a u-blox receiver's output, as a modern one sends it: NAV-PVT, NAV-SAT with 32
// satellites of four systems, NAV-DOP, NAV-TIMEGPS and RXM-RAWX with 24 measurements.
std::vector<std::uint8_t> UbxStream()
{
    std::vector<std::uint8_t> stream;
    auto append = [&stream](std::uint8_t cls, std::uint8_t id, const std::vector<std::uint8_t>& payload) {
        const auto frame = ubx::BuildFrame(cls, id, payload);
        stream.insert(stream.end(), frame.begin(), frame.end());
    };
    for (std::uint32_t t = 0; stream.size() < kStreamBytes; ++t)
    {
        const std::uint32_t iTow = 411553000 + 1000 * t;
        std::vector<std::uint8_t> pvt;
        Put32(pvt, iTow);
        Put16(pvt, 2021);
        for (const int v : {6, 10, 18, 18, static_cast<int>(t % 60), 0x37})
            pvt.push_back(static_cast<std::uint8_t>(v));
        Put32(pvt, 30);
        Put32(pvt, 1234);
        for (const int v : {3, 1, 0, 18})
            pvt.push_back(static_cast<std::uint8_t>(v));
        for (std::uint32_t v : {144299466U + t, 501350851U, 348857U, 304587U, 2500U, 3500U, 10U, 20U, 5U, 22U,
                                29656505U, 150U, 500000U})
            Put32(pvt, v);
        Put16(pvt, 152);
        pvt.resize(92, 0);
        std::vector<std::uint8_t> sat;
        Put32(sat, iTow);
        sat.push_back(1);
        sat.push_back(32);
        Put16(sat, 0);
        for (std::uint32_t k = 0; k < 32; ++k)
        {
            sat.push_back(static_cast<std::uint8_t>(k % 4 == 3 ? 6 : k % 4));
            sat.push_back(static_cast<std::uint8_t>(1 + k));
            sat.push_back(static_cast<std::uint8_t>(30 + k % 15));
            sat.push_back(static_cast<std::uint8_t>(5 + 2 * k));
            Put16(sat, (37 * k + t) % 360);
            Put16(sat, 0);
            Put32(sat, k % 3 == 0 ? 0x81FU : 0x14U);
        }
        std::vector<std::uint8_t> dop;
        Put32(dop, iTow);
        for (const std::uint32_t v : {180U, 152U, 90U, 130U, 80U, 60U, 50U})
            Put16(dop, v);
        std::vector<std::uint8_t> timeGps;
        Put32(timeGps, iTow);
        Put32(timeGps, 0);
        Put16(timeGps, 2161);
        timeGps.push_back(18);
        timeGps.push_back(7);
        Put32(timeGps, 30);
        std::vector<std::uint8_t> rawx(16, 0);
        rawx[11] = 24;
        for (std::uint32_t k = 0; k < 24; ++k)
        {
            std::vector<std::uint8_t> m(32, 0);
            m[20] = static_cast<std::uint8_t>(k % 3 == 0 ? 0 : 6);
            m[21] = static_cast<std::uint8_t>(1 + k);
            m[30] = 0x07;
            rawx.insert(rawx.end(), m.begin(), m.end());
        }
        append(0x01, 0x07, pvt);
        append(0x01, 0x35, sat);
        append(0x01, 0x04, dop);
        append(0x01, 0x20, timeGps);
        append(0x02, 0x15, rawx);
    }
    return stream;
}

// UBX framing and decoding: the extractor over 80-byte chunks and every frame decoded into the set.
void BM_UbxExtractDecode(benchmark::State& state)
{
    const auto stream = UbxStream();
    ubx::CUbxExtractor extractor;
    CData set;
    std::uint64_t changes = 0;
    for (auto _ : state)
    {
        for (std::size_t at = 0; at < stream.size(); at += vrn::kChunkSize)
        {
            ChunkRef chunk{stream.data() + at, std::min(vrn::kChunkSize, stream.size() - at)};
            for (ubx::Event e = extractor.Next(chunk); e.kind != ubx::Event::Kind::None; e = extractor.Next(chunk))
                if (e.kind == ubx::Event::Kind::Frame)
                    changes += set.ImportUbxMessage(e.cls, e.id, e.bytes);
        }
    }
    benchmark::DoNotOptimize(changes);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_UbxExtractDecode)->Unit(benchmark::kMillisecond);

// Extraction and import only: the set's own extractor over 80-byte chunks.
void BM_BinaryExtractImport(benchmark::State& state)
{
    const auto stream = BinaryStream();
    CData set;
    std::string diagnostic;
    std::int64_t packets = 0;
    for (auto _ : state)
    {
        for (std::size_t at = 0; at < stream.size(); at += vrn::kChunkSize)
        {
            ChunkRef chunk{stream.data() + at, std::min(vrn::kChunkSize, stream.size() - at)};
            while (chunk.position != nullptr)
                packets += set.BuildBinaryDataPacket(chunk, diagnostic, 0, kImportReceiver);
        }
    }
    benchmark::DoNotOptimize(packets);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_BinaryExtractImport)->Unit(benchmark::kMillisecond);

void NmeaExtractImport(benchmark::State& state, const std::vector<std::uint8_t>& stream)
{
    CData set;
    std::string diagnostic;
    std::int64_t sentences = 0;
    for (auto _ : state)
    {
        for (std::size_t at = 0; at < stream.size(); at += vrn::kChunkSize)
        {
            ChunkRef chunk{stream.data() + at, std::min(vrn::kChunkSize, stream.size() - at)};
            sentences += set.BuildNmeaSentence(chunk, diagnostic, 0);
        }
    }
    benchmark::DoNotOptimize(sentences);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}

void BM_NmeaExtractImport(benchmark::State& state)
{
    NmeaExtractImport(state, NmeaStream());
}
BENCHMARK(BM_NmeaExtractImport)->Unit(benchmark::kMillisecond);

void BM_NmeaMultiConstellationExtractImport(benchmark::State& state)
{
    NmeaExtractImport(state, MultiConstellationStream());
}
BENCHMARK(BM_NmeaMultiConstellationExtractImport)->Unit(benchmark::kMillisecond);

// The whole chunk loop with a port log that renders every line (what a logging port does, less the
// file write).
class RenderingLog : public vrn::IPortLog
{
public:
    void WriteRecord(const CData& set, int /*port*/) override
    {
        bytes += set.FormatRecordText(m_line, 1, 1, 1, 1) != 0 ? m_line.size() + 1 : 0;
    }
    int WriteSentence(int /*kind*/, std::string& text, int /*port*/) override
    {
        text += '\n';
        bytes += text.size();
        return 1;
    }
    std::size_t bytes = 0;

private:
    std::string m_line;
};

class NoViews : public vrn::IChunkSink
{
public:
    void Activity(unsigned /*code*/) override {}
    void NotifyViews(unsigned /*message*/, unsigned /*wParam*/, const CData& /*set*/) override {}
};

void ParseChunks(benchmark::State& state, const std::vector<std::uint8_t>& stream, int mode)
{
    RenderingLog log;
    vrn::SetPortLog(&log);
    auto context = std::make_unique<vrn::ParseContext>();
    NoViews views;
    for (auto _ : state)
        for (std::size_t at = 0; at < stream.size(); at += vrn::kChunkSize)
            vrn::ParseChunk(*context,
                            std::span(stream).subspan(at, std::min(vrn::kChunkSize, stream.size() - at)), 0,
                            mode, views);
    vrn::SetPortLog(nullptr);
    benchmark::DoNotOptimize(log.bytes);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}

void BM_BinaryParseChunkWithLog(benchmark::State& state)
{
    ParseChunks(state, BinaryStream(), vrn::kModeBinary);
}
BENCHMARK(BM_BinaryParseChunkWithLog)->Unit(benchmark::kMillisecond);

void BM_NmeaParseChunkWithLog(benchmark::State& state)
{
    ParseChunks(state, NmeaStream(), vrn::kModeNmea);
}
BENCHMARK(BM_NmeaParseChunkWithLog)->Unit(benchmark::kMillisecond);

void BM_UbxParseChunkWithLog(benchmark::State& state)
{
    ParseChunks(state, UbxStream(), vrn::kModeUbx);
}
BENCHMARK(BM_UbxParseChunkWithLog)->Unit(benchmark::kMillisecond);

void BM_NmeaMultiConstellationParseChunkWithLog(benchmark::State& state)
{
    ParseChunks(state, MultiConstellationStream(), vrn::kModeNmea);
}
BENCHMARK(BM_NmeaMultiConstellationParseChunkWithLog)->Unit(benchmark::kMillisecond);
}  // namespace
