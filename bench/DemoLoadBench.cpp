// The UI thread's share of a core while the whole program runs in demo mode with both simulated
// receivers streaming at 38400 baud (port 1 test protocol with the own fix, port 2 NMEA) and every
// standard view open. Reports the share in percent over a measured window after a warm-up, and
// the number of record updates the views took in that window.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "app/CMainFrame.h"
#include "app/CMonitorApp.h"
#include "app/GuiServices.h"
#include "res/MenuResources.h"

namespace
{
double ThreadCpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void RunEventsFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void DemoUiThreadShare(benchmark::State& state)
{
    // A state folder of our own: the demo profile never lands in the user's home.
    std::string folder = (std::filesystem::temp_directory_path() / "vrn-demo-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr)
    {
        state.SkipWithError("no temporary folder");
        return;
    }
    ::setenv("XDG_STATE_HOME", folder.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static std::array<char, 15> name{"DemoLoadBench"};
    static std::array<char*, 2> argv{name.data(), nullptr};
    const auto application = std::make_unique<QApplication>(argc, argv.data());
    vrn::gui::SetMessageHandler([](QWidget*, const QString& text) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    });

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
        const double cpu0 = ThreadCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        RunEventsFor(measureMs);
        const double cpu = ThreadCpuSeconds() - cpu0;
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
