// Playback as fast as possible of one hour of test-protocol raw data (made by the simulator, with
// its timing index) on port 1, with the radar, signal and measure views open as the program opens
// them at start-up. Reports the wall time from the start of the playback until the last update has
// been drawn, and how long input waited on the UI thread meanwhile: a helper thread posts an event
// every 20 ms and the UI thread notes how late it handled it (median, 99th percentile, maximum).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/CGuiDocument.h"
#include "app/CMainFrame.h"
#include "app/CMonitorApp.h"
#include "app/GuiServices.h"
#include "bench/GuiBenchSupport.h"
#include "link/ChunkParser.h"
#include "link/RawRecorder.h"
#include "link/RecordingPlayer.h"
#include "sim/SimStream.h"

namespace
{
using Clock = std::chrono::steady_clock;

// An event stamped when it was posted; the UI thread notes its delay.
class ProbeEvent : public QEvent
{
public:
    static QEvent::Type Kind()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    ProbeEvent() : QEvent(Kind()), posted(Clock::now()) {}
    Clock::time_point posted;
};

class ProbeReceiver : public QObject
{
public:
    bool event(QEvent* e) override
    {
        if (e->type() != ProbeEvent::Kind())
            return QObject::event(e);
        const auto delay = Clock::now() - static_cast<ProbeEvent*>(e)->posted;
        std::lock_guard lock(mutex);
        delaysMs.push_back(std::chrono::duration<double, std::milli>(delay).count());
        return true;
    }
    std::mutex mutex;
    std::vector<double> delaysMs;
};

// One hour of the simulated receiver's test protocol with its index, written once per run.
std::string MakeHour(const std::filesystem::path& folder)
{
    vrnsim::StreamOptions options;
    options.protocol = vrnsim::SimProtocol::Test;
    options.start = vrnsim::GpsTime{2300, 345600.0};
    vrnsim::CSimStream stream(options);
    std::vector<std::uint8_t> bytes;
    std::string index = std::string(vrn::kRecordingIndexHeader) + "\n";
    for (double t = 0.0; t < 3600.0;)
    {
        const std::size_t offset = bytes.size();
        t = stream.Next(bytes);
        // A receiver's epoch reaches the reader in reads of at most 80 bytes, all at its time.
        for (std::size_t at = offset; at < bytes.size(); at += vrn::kChunkSize)
            index += std::to_string(at) + " " + std::to_string(static_cast<std::uint64_t>(t * 1e6)) + "\n";
    }
    const std::string file = (folder / "hour.raw").string();
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    std::ofstream(file + ".idx", std::ios::binary) << index;
    return file;
}

double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(share * static_cast<double>(values.size())))];
}

void PlaybackHourAsFastAsPossible(benchmark::State& state)
{
    const std::string folder = vrnbench::IsolateProgram("vrn-playback-bench");
    if (folder.empty())
    {
        state.SkipWithError("no temporary folder");
        return;
    }
    static int argc = 1;
    static std::array<char, 14> name{"PlaybackBench"};
    static std::array<char*, 2> argv{name.data(), nullptr};
    const auto application = std::make_unique<QApplication>(argc, argv.data());
    const std::string file = MakeHour(folder);

    for (auto _ : state)
    {
        vrn::gui::CMonitorApp app(vrn::gui::ProgramOptions{});
        app.SetStartupAutoAccept(0);
        if (!app.InitInstance() || app.MainFrame() == nullptr)
        {
            state.SkipWithError("the program did not start");
            break;
        }
        vrn::gui::CMainFrame& frame = *app.MainFrame();
        ProbeReceiver probe;
        std::atomic<bool> probing{true};
        std::thread poster([&] {
            while (probing.load())
            {
                QCoreApplication::postEvent(&probe, new ProbeEvent);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });

        QElapsedTimer wall;
        wall.start();
        if (!frame.OpenRecording(0, QString::fromStdString(file), vrn::kModeTest))
        {
            probing = false;
            poster.join();
            state.SkipWithError("the recording did not open");
            break;
        }
        vrn::CRecordingPlayer* player = frame.Document()->Feed().Player(0);
        player->SetSpeed(0);
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (player->AtEnd())
                loop.quit();
        });
        check.start(5);
        loop.exec();
        QCoreApplication::sendPostedEvents();  // the last updates drawn
        const double seconds = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
        probing = false;
        poster.join();
        QCoreApplication::sendPostedEvents();

        state.SetIterationTime(seconds);
        std::lock_guard lock(probe.mutex);
        state.counters["input_p50_ms"] = Percentile(probe.delaysMs, 0.5);
        state.counters["input_p99_ms"] = Percentile(probe.delaysMs, 0.99);
        state.counters["input_max_ms"] = Percentile(probe.delaysMs, 1.0);
        state.counters["bytes"] = static_cast<double>(player->Size());
        frame.ExecuteCommand(32792);  // stop port 1
        app.ExitInstance();
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(PlaybackHourAsFastAsPossible)->Iterations(1)->Repetitions(5)->UseManualTime()->Unit(benchmark::kSecond);
}  // namespace
