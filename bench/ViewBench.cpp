// UI-thread time of one record update per view: what the sky chart, the track map, the status panel
// texts, the signal strips, the measure table and the Statistics view cost for each message of a
// streaming receiver.
// Each benchmark reports the median and the 99th percentile of the single updates in µs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableWidget>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <ctime>
#include <memory>
#include <random>
#include <vector>

#include "analysis/AccuracyWorkbench.h"
#include "protocol/CData.h"
#include "protocol/UbxFrame.h"
#include "views/ChannelStrip.h"
#include "views/MeasureText.h"
#include "views/RadarCanvas.h"
#include "views/StatisticsPlot.h"

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

// The CPU time of the calling thread, µs: unlike the wall clock it leaves out the time the thread
// waited for a core, so percentiles on a busy machine still tell what an update costs.
double ThreadCpuMicroseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// Times `update(i)` once per iteration and reports the median and 99th percentile, of the wall
// clock (p50_us, p99_us) and of the thread's CPU time (p50_cpu_us, p99_cpu_us).
template <typename Update>
void TimeEach(benchmark::State& state, Update&& update)
{
    std::vector<double> us;
    std::vector<double> cpu;
    us.reserve(100000);
    cpu.reserve(100000);
    int i = 0;
    for (auto _ : state)
    {
        const double cpuStart = ThreadCpuMicroseconds();
        const auto start = std::chrono::steady_clock::now();
        update(i++);
        const auto stop = std::chrono::steady_clock::now();
        cpu.push_back(ThreadCpuMicroseconds() - cpuStart);
        us.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
    }
    const auto percentile = [](std::vector<double>& v, std::size_t p)
    {
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, v.size() * p / 100)];
    };
    if (!us.empty())
    {
        state.counters["p50_us"] = percentile(us, 50);
        state.counters["p99_us"] = percentile(us, 99);
        state.counters["p50_cpu_us"] = percentile(cpu, 50);
        state.counters["p99_cpu_us"] = percentile(cpu, 99);
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

// A multi-constellation receiver's satellite table: `count` satellites of five systems, moving a
// little with `step`, two thirds of them used in the fix.
SatelliteTable ModernTable(int count, int step)
{
    SatelliteTable table;
    constexpr std::array<Constellation, 5> kSystems{Constellation::Gps, Constellation::Glonass,
                                                    Constellation::Galileo, Constellation::BeiDou,
                                                    Constellation::Qzss};
    for (int k = 0; k < count; ++k)
    {
        SatelliteEntry* e = table.Upsert(kSystems[static_cast<std::size_t>(k % 5)], 1 + k / 5);
        e->elevationDeg = static_cast<std::int16_t>(5 + (7 * k + step / 30) % 85);
        e->azimuthDeg = static_cast<std::int16_t>((23 * k + step) % 360);
        e->snrDbHz = static_cast<std::int16_t>(k % 7 == 0 ? kNoSnr : 25 + (k + step) % 25);
        e->used = k % 3 != 0;
        e->talker = {'G', 'N'};
    }
    return table;
}

// The sky chart of a modern receiver: 60 satellites as badges on a 400-pixel chart, with the
// status fields, the legend and (after the warm-up) a trail dot per satellite.
void RadarNmeaUpdate60(benchmark::State& state)
{
    EnsureApplication();
    CRadarCanvas canvas([](int, const std::string&) {});
    canvas.Resize(QSize(2010, 810));
    std::array<NmeaRecords, 8> epochs{};
    for (std::size_t k = 0; k < epochs.size(); ++k)
    {
        epochs[k].gga.latitude = 24.4652F;
        epochs[k].gga.longitude = 121.0015F;
        epochs[k].satellites = ModernTable(60, static_cast<int>(k) * 40);
    }
    TimeEach(state,
             [&](int i) { canvas.NmeaUpdate(1, epochs[static_cast<std::size_t>(i) % epochs.size()], 12); });
}
BENCHMARK(RadarNmeaUpdate60);

void SignalSatelliteRows(benchmark::State& state)
{
    EnsureApplication();
    CSignalCanvas canvas;
    canvas.SetGraphType(static_cast<int>(state.range(0)));
    canvas.Resize(QSize(760, 700));
    TimeEach(state, [&](int i) { canvas.DrawSatelliteRows(TwelveSatellites(i)); });
}
BENCHMARK(SignalSatelliteRows)->Arg(kBarGraph)->Arg(kLineGraph);

// A u-blox receiver's NAV-SAT with 60 satellites of five systems on its way to the views: decoded
// into the record set (satellite table and channel entries), the snapshot the reader copies for
// the views, and the sky chart's update from it (the signal views' own cost is SignalSatelliteRows).
std::vector<std::uint8_t> NavSat60(int step)
{
    std::vector<std::uint8_t> p(8 + 12 * 60, 0);
    p[4] = 1;
    p[5] = 60;
    for (std::size_t k = 0; k < 60; ++k)
    {
        std::uint8_t* e = p.data() + 8 + 12 * k;
        constexpr std::array<std::uint8_t, 5> kSystems{0, 6, 2, 3, 5};
        e[0] = kSystems[k % 5];
        e[1] = static_cast<std::uint8_t>(1 + k / 5);
        e[2] = static_cast<std::uint8_t>(k % 4 == 0 ? 0 : 25 + k % 20);
        e[3] = static_cast<std::uint8_t>(5 + (k * 7 + static_cast<std::size_t>(step) / 30) % 80);
        const auto azimuth = static_cast<std::uint16_t>((k * 23 + static_cast<std::size_t>(step)) % 360);
        e[4] = static_cast<std::uint8_t>(azimuth & 0xFF);
        e[5] = static_cast<std::uint8_t>(azimuth >> 8);
        e[8] = k % 3 == 0 ? 0x1F : 0x14;
        e[9] = 0x08;
    }
    return p;
}

void UbxNavSat60IntoViews(benchmark::State& state)
{
    EnsureApplication();
    CRadarCanvas radar([](int, const std::string&) {});
    radar.Resize(QSize(1100, 480));
    CData set;
    std::array<std::vector<std::uint8_t>, 8> messages;
    for (std::size_t k = 0; k < messages.size(); ++k)
        messages[k] = NavSat60(static_cast<int>(k) * 40);
    TimeEach(state,
             [&](int i)
             {
                 (void)set.ImportUbxMessage(0x01, 0x35, messages[static_cast<std::size_t>(i) % messages.size()]);
                 set.currentId = kIdSv;
                 const auto snapshot = std::make_shared<const CData>(set);
                 radar.SatelliteUpdate(0, snapshot->sv, snapshot->satellites);
                 benchmark::DoNotOptimize(snapshot->satellites.Size());
             });
}
BENCHMARK(UbxNavSat60IntoViews);

// A signal view with a row per satellite of a 40-satellite table, each update one sample per row.
void SignalTableRows40(benchmark::State& state)
{
    EnsureApplication();
    CSignalCanvas canvas;
    canvas.SetGraphType(static_cast<int>(state.range(0)));
    canvas.SetScrollBarWidth(15);
    canvas.Resize(QSize(760, 1000));
    std::array<SatelliteTable, 8> epochs{};
    for (std::size_t k = 0; k < epochs.size(); ++k)
        epochs[k] = ModernTable(40, static_cast<int>(k) * 40);
    TimeEach(state,
             [&](int i) { canvas.DrawTableRows(epochs[static_cast<std::size_t>(i) % epochs.size()]); });
}
BENCHMARK(SignalTableRows40)->Arg(kBarGraph)->Arg(kLineGraph);

void MeasureTableTexts(benchmark::State& state)
{
    MeasRecord meas;
    for (std::size_t i = 0; i < meas.entries.size(); ++i)
        meas.entries[i] = {
            static_cast<std::uint16_t>((40U << 9) | ((i + 1) << 4) | i), 0x3F, 0, 21000000, -1234, 500, {}};
    TimeEach(state, [&](int) { benchmark::DoNotOptimize(MeasureBarTexts(meas, 2.05F, 18)); });
}
BENCHMARK(MeasureTableTexts);

// The Statistics view with a day of epochs of each of the three sources: a static receiver with a
// few metres of noise and a slow wander.
class FullDay
{
public:
    explicit FullDay(vrn::analysis::ReferenceKind kind)
    {
        using namespace vrn::analysis;
        ReferenceChoice choice;
        choice.kind = kind;
        choice.latitudeDeg = 24.7753;
        choice.longitudeDeg = 121.00248;
        choice.heightM = 150.0;
        bench.SetReference(choice);
        for (int k = 0; k < static_cast<int>(kDefaultCapacity); ++k)
            AddSecond();
        bench.Settle();
    }
    void AddSecond()
    {
        using namespace vrn::analysis;
        for (const SourceId s : kAllSources)
        {
            const double wander = 1.5 * std::sin(m_second / 900.0 + static_cast<double>(Index(s)));
            PositionEpoch e;
            e.gpsWeek = 2400;
            e.gpsTowS = static_cast<double>(m_second);
            e.latitudeDeg = 24.7753 + (m_noise(m_random) + wander) / 111000.0;
            e.longitudeDeg = 121.00248 + m_noise(m_random) / 100900.0;
            e.heightM = 150.0 + 2.0 * m_noise(m_random);
            e.fixMode = m_second % 600 == 0 ? 0 : 3;
            e.satsUsed = 9;
            e.hdop = 0.9;
            bench.AddEpoch(s, e);
        }
        ++m_second;
    }
    vrn::analysis::CAccuracyWorkbench bench;

private:
    std::mt19937_64 m_random{7};
    std::normal_distribution<double> m_noise{0.0, 2.0};
    int m_second = 0;
};

// One second of the view: an epoch of each source into full rings, the re-centring slice, the three
// tables and their cells. Arg 0: each source's own running mean (re-centring); 1: a typed position.
void StatisticsUpdate(benchmark::State& state)
{
    EnsureApplication();
    using namespace vrn::analysis;
    FullDay day(state.range(0) == 0 ? ReferenceKind::OwnMean : ReferenceKind::Position);
    QTableWidget table(static_cast<int>(kSourceCount), static_cast<int>(TableColumns().size()));
    for (int r = 0; r < table.rowCount(); ++r)
        for (int c = 0; c < table.columnCount(); ++c)
            table.setItem(r, c, new QTableWidgetItem());
    TimeEach(state,
             [&](int)
             {
                 day.AddSecond();
                 day.bench.Refresh();
                 for (const SourceId s : kAllSources)
                 {
                     const AccuracyTable t = day.bench.Table(s);
                     for (std::size_t c = 0; c < TableColumns().size(); ++c)
                         table.item(static_cast<int>(Index(s)), static_cast<int>(c))
                             ->setText(statistics::CellText(t, c));
                 }
             });
}
// 12000 seconds: the running mean is re-centred at least once (every 86400/8 updates at most).
BENCHMARK(StatisticsUpdate)->Arg(0)->Arg(1)->Iterations(12000);

// The view's repaint: scatter, circles and both time series of the full day, 900 by 500 pixels.
void StatisticsPaint(benchmark::State& state)
{
    EnsureApplication();
    using namespace vrn::analysis;
    FullDay day(ReferenceKind::OwnMean);
    statistics::Tables tables{};
    for (const SourceId s : kAllSources)
        tables[Index(s)] = day.bench.Table(s);
    QImage image(900, 500, QImage::Format_RGB32);
    TimeEach(state, [&](int) { statistics::PaintStatistics(image, day.bench, tables, {true, true, true}); });
}
BENCHMARK(StatisticsPaint)->Iterations(100);
}  // namespace
