// The navigation engine's cost: one epoch with twelve satellites tracked, and the whole test-mode
// replay (both record sets, the engine, the own records and the solution rows) of one hour of raw
// measurements at 1 Hz.
//
//   build/bench/NavBench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "../tests/nav/NavStream.h"
#include "Replay.h"
#include "ReplayNav.h"

namespace
{
navtest::ScenarioConfig TwelveChannels()
{
    navtest::ScenarioConfig config;
    config.longitude = 1.5;  // twelve satellites above the horizon here
    config.elevationMask = 0.0;
    return config;
}

void BM_RunNavigationEpoch12(benchmark::State& state)
{
    navtest::Scenario scenario(TwelveChannels());
    if (scenario.Tracked().size() != kChannelCount)
    {
        state.SkipWithError("fewer than twelve satellites in view");
        return;
    }
    constexpr int kWarmUp = 300;
    constexpr int kEpochs = 3000;
    std::vector<navtest::ScenarioEpoch> epochs;
    epochs.reserve(kEpochs);
    for (int k = 0; k < kEpochs; ++k)
        epochs.push_back(scenario.Next());
    auto engine = std::make_unique<NavEngine>();
    for (int k = 0; k < kWarmUp; ++k)
        navtest::RunEpoch(*engine, epochs[static_cast<std::size_t>(k)]);
    const NavEngine warm = *engine;
    std::size_t next = kWarmUp;
    for (auto _ : state)
    {
        if (next == epochs.size())
        {
            state.PauseTiming();
            *engine = warm;
            next = kWarmUp;
            state.ResumeTiming();
        }
        navtest::RunEpoch(*engine, epochs[next++]);
        benchmark::DoNotOptimize(engine->solution.x);
    }
    if (engine->solution.fixMode != 2 || engine->solution.satellitesUsed != static_cast<int>(kChannelCount))
        state.SkipWithError("the engine lost its twelve-satellite fix");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_RunNavigationEpoch12)->Unit(benchmark::kMicrosecond);

void BM_ReplayTestModeOneHour(benchmark::State& state)
{
    navtest::Scenario scenario(TwelveChannels());
    constexpr int kEpochs = 3600;
    const std::vector<std::uint8_t> bytes = navtest::ScenarioStream(scenario, kEpochs);
    replay::Options options;
    options.mode = vrn::kModeTest;
    std::size_t lines = 0;
    for (auto _ : state)
    {
        ProcessNavEngine() = NavEngine{};
        std::string receiver, own, solution;
        replay::TestModeSink sink([&](std::string_view l) { receiver += l; },
                                  [&](std::string_view l) { own += l; },
                                  [&](std::string_view l) { solution += l; });
        auto context = std::make_unique<vrn::ParseContext>();
        replay::Stats stats;
        replay::FeedChunks(bytes, options, *context, sink, stats);
        lines = sink.Epochs();
        benchmark::DoNotOptimize(solution.data());
    }
    if (lines != kEpochs)
        state.SkipWithError("not every epoch ran");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
    state.counters["epochs/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kEpochs, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReplayTestModeOneHour)->Unit(benchmark::kMillisecond);
}  // namespace
