// Simulator throughput: generating the raw-measurement (test) stream, one hour and a whole day of
// it, as `vrnrcvr-sim --protocol test --out` does (bytes collected in memory instead of a file), and
// an hour of the classic NMEA stream and of a modern five-system receiver's NMEA 4.11.
#include <benchmark/benchmark.h>

#include <vector>

#include "sim/SimStream.h"

namespace
{
using namespace vrnsim;

StreamOptions TestOptions()
{
    StreamOptions o;
    o.protocol = SimProtocol::Test;
    o.start = GpsTime{2400, 345600.0};
    o.noiseM = 3.0;
    return o;
}

std::size_t Generate(double seconds, const StreamOptions& o = TestOptions())
{
    CSimStream stream(o);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(1 << 17);
    std::size_t total = 0;
    for (;;)
    {
        if (stream.Next(bytes) >= seconds)
            break;
        if (bytes.size() > (1 << 16))
        {
            total += bytes.size();
            bytes.clear();
        }
    }
    return total + bytes.size();
}

void BM_TestStreamOneHour(benchmark::State& state)
{
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes = Generate(3600.0);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}
BENCHMARK(BM_TestStreamOneHour)->Unit(benchmark::kMillisecond);

void BM_ClassicNmeaOneHour(benchmark::State& state)
{
    StreamOptions o;
    o.start = GpsTime{2400, 345600.0};
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes = Generate(3600.0, o);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}
BENCHMARK(BM_ClassicNmeaOneHour)->Unit(benchmark::kMillisecond);

// GPS, GLONASS, Galileo, BeiDou and QZSS seen from Taiwan: about 60 satellites in view a second.
void BM_ModernNmeaOneHour(benchmark::State& state)
{
    StreamOptions o;
    o.start = GpsTime{2400, 345600.0};
    o.systems = kAllSystems;
    o.nmeaVersion = NmeaVersion::V411;
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes = Generate(3600.0, o);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}
BENCHMARK(BM_ModernNmeaOneHour)->Unit(benchmark::kMillisecond);

// The target: a day of test-mode stream in under 30 s. Three runs; compare the median.
void BM_TestStreamOneDay(benchmark::State& state)
{
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes = Generate(86400.0);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}
BENCHMARK(BM_TestStreamOneDay)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace
