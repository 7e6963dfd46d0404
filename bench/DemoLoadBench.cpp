// The UI thread's share of a core while the whole program runs in demo mode with both simulated
// receivers streaming at 38400 baud (port 1 test protocol with the own fix, port 2 NMEA) and every
// standard view open. Reports the share in percent over a measured window after a warm-up, and
// the UI thread's time per delivered record update (queued call events, with everything they
// draw) as median, 99th percentile and maximum in µs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <array>
#include <chrono>
#include <vector>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "app/CMainFrame.h"
#include "app/CMonitorApp.h"
#include "app/GuiServices.h"
#include "bench/GuiBenchSupport.h"
#include "res/MenuResources.h"

namespace
{
double ThreadCpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Times every top-level event the UI thread handles; queued calls are the record deliveries.
class TimingApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth++ > 0 || !m_recording)
        {
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        const bool queuedCall = event->type() == QEvent::MetaCall;
        const auto start = std::chrono::steady_clock::now();
        const bool handled = QApplication::notify(receiver, event);
        const auto stop = std::chrono::steady_clock::now();
        --m_depth;
        if (queuedCall)
            m_updateUs.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
        return handled;
    }
    void Record(bool on) { m_recording = on; }
    std::vector<double>& UpdateTimes() { return m_updateUs; }

private:
    int m_depth = 0;
    bool m_recording = false;
    std::vector<double> m_updateUs;
};

void RunEventsFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void DemoUiThreadShare(benchmark::State& state)
{
    // A state folder of our own: the demo profile never lands in the user's home.
    const std::string folder = vrnbench::IsolateProgram("vrn-demo-bench");
    if (folder.empty())
    {
        state.SkipWithError("no temporary folder");
        return;
    }
    static int argc = 1;
    static std::array<char, 15> name{"DemoLoadBench"};
    static std::array<char*, 2> argv{name.data(), nullptr};
    const auto application = std::make_unique<TimingApplication>(argc, argv.data());

    const int measureMs = static_cast<int>(state.range(0)) * 1000;
    for (auto _ : state)
    {
        vrn::gui::ProgramOptions options;
        options.demo = true;
        vrn::gui::CMonitorApp app(options);
        app.SetStartupAutoAccept(0);
        if (!app.InitInstance() || app.MainFrame() == nullptr)
        {
            state.SkipWithError("the demo did not start");
            break;
        }
        RunEventsFor(500);
        app.MainFrame()->ToggleStartPort(1);  // port 1 started itself; port 2 from the menu
        RunEventsFor(3000);                   // warm-up: first fix, trails, strip charts filling
        if (app.MainFrame()->IsPortRunning(0) != 1 || app.MainFrame()->IsPortRunning(1) != 1)
        {
            state.SkipWithError("a port is not running");
            break;
        }
        application->UpdateTimes().clear();
        application->Record(true);
        const double cpu0 = ThreadCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        RunEventsFor(measureMs);
        const double cpu = ThreadCpuSeconds() - cpu0;
        application->Record(false);
        std::vector<double>& us = application->UpdateTimes();
        std::sort(us.begin(), us.end());
        if (!us.empty())
        {
            state.counters["updates"] = static_cast<double>(us.size());
            state.counters["update_p50_us"] = us[us.size() / 2];
            state.counters["update_p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
            state.counters["update_max_us"] = us.back();
        }
        const double seconds = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
        state.SetIterationTime(seconds);
        state.counters["ui_cpu_pct"] = 100.0 * cpu / seconds;
        state.counters["ui_cpu_ms_per_s"] = 1000.0 * cpu / seconds;
        app.MainFrame()->ExecuteCommand(vrn::res::kIdAppExit);
        app.ExitInstance();
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(DemoUiThreadShare)->Arg(10)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
}  // namespace
