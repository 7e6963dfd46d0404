// UI-thread time of one record update per view: what the sky chart, the track map, the status panel
// texts, the signal strips and the measure table cost for each message of a streaming receiver.
// Each benchmark reports the median and the 99th percentile of the single updates in µs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include "views/ChannelStrip.h"
#include "views/MeasureText.h"
#include "views/RadarCanvas.h"

namespace
{
void EnsureApplication()
{
    static int argc = 1;
    static std::array<char, 10> name{"ViewBench"};
    static std::array<char*, 2> argv{name.data(), nullptr};
    if (QCoreApplication::instance() == nullptr)
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static const auto app = std::make_unique<QApplication>(argc, argv.data());
    }
}

SvRecord TwelveSatellites(int step)
{
    SvRecord sv;
    sv.id = kIdSv;
    sv.count = 12;
    for (std::size_t i = 0; i < sv.entries.size(); ++i)
    {
        SvEntry& e = sv.entries[i];
        e.prn = static_cast<std::uint8_t>(i + 1);
        e.elevation = static_cast<std::uint8_t>(10 + (7 * i + static_cast<std::size_t>(step) / 30) % 80);
        e.azimuth = static_cast<std::uint16_t>((30 * i + static_cast<std::size_t>(step)) % 360);
        e.signal = static_cast<std::uint8_t>(30 + (i + static_cast<std::size_t>(step)) % 20);
        e.state = i % 3 == 0 ? 0x3F : 0x7F;
    }
    return sv;
}

// Times `update(i)` once per iteration and reports the median and 99th percentile.
template <typename Update>
void TimeEach(benchmark::State& state, Update&& update)
{
    std::vector<double> us;
    us.reserve(100000);
    int i = 0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        update(i++);
        const auto stop = std::chrono::steady_clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
    }
    std::sort(us.begin(), us.end());
    if (!us.empty())
    {
        state.counters["p50_us"] = us[us.size() / 2];
        state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    }
}

void RadarNavigationUpdate(benchmark::State& state)
{
    EnsureApplication();
    CRadarCanvas canvas([](int, const std::string&) {});
    canvas.Resize(QSize(1100, 480));
    canvas.SatelliteUpdate(0, TwelveSatellites(0));
    TimeEach(state,
             [&](int i)
             {
                 NavDisplay nav;
                 nav.latitudeDeg = 1e-5 * (i % 500);
                 nav.longitudeDeg = 1e-5 * (i % 300);
                 nav.courseRad = 0.01 * i;
                 nav.speedMps = 2.5;
                 nav.metresPerDegreeLongitude = 111000.0;
                 canvas.NavigationUpdate(0, nav, 0x98);
             });
}
BENCHMARK(RadarNavigationUpdate);

void RadarSatelliteUpdate(benchmark::State& state)
{
    EnsureApplication();
    CRadarCanvas canvas([](int, const std::string&) {});
    canvas.Resize(QSize(1100, 480));
    const SvRecord sv = TwelveSatellites(3);
    TimeEach(state, [&](int) { canvas.SatelliteUpdate(1, sv); });
}
BENCHMARK(RadarSatelliteUpdate);

void RadarNmeaUpdate(benchmark::State& state)
{
    EnsureApplication();
    CRadarCanvas canvas([](int, const std::string&) {});
    canvas.Resize(QSize(1100, 480));
    NmeaRecords nmea;
    nmea.gga.latitude = 24.4652F;
    nmea.gga.longitude = 121.0015F;
    for (std::size_t s = 0; s < 3; ++s)
        for (std::size_t k = 0; k < 4; ++k)
            nmea.gsv[s].satellites[k] = {static_cast<int>(4 * s + k + 1), static_cast<int>(10 + 6 * k),
                                         static_cast<int>(30 * (4 * s + k)), 40};
    TimeEach(state, [&](int) { canvas.NmeaUpdate(1, nmea, 12); });
}
BENCHMARK(RadarNmeaUpdate);

void SignalSatelliteRows(benchmark::State& state)
{
    EnsureApplication();
    CSignalCanvas canvas;
    canvas.SetGraphType(static_cast<int>(state.range(0)));
    canvas.Resize(QSize(760, 700));
    TimeEach(state, [&](int i) { canvas.DrawSatelliteRows(TwelveSatellites(i)); });
}
BENCHMARK(SignalSatelliteRows)->Arg(kBarGraph)->Arg(kLineGraph);

void MeasureTableTexts(benchmark::State& state)
{
    MeasRecord meas;
    for (std::size_t i = 0; i < meas.entries.size(); ++i)
        meas.entries[i] = {
            static_cast<std::uint16_t>((40U << 9) | ((i + 1) << 4) | i), 0x3F, 0, 21000000, -1234, 500, {}};
    TimeEach(state, [&](int) { benchmark::DoNotOptimize(MeasureBarTexts(meas, 2.05F, 18)); });
}
BENCHMARK(MeasureTableTexts);
}  // namespace
