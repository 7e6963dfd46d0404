// Process-wide switches and hooks of the core; see the header.
#include "app/CoreServices.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <utility>

namespace vrn
{
namespace
{
std::atomic<bool> g_debug{false};
std::atomic<bool> g_trace{false};
std::atomic<bool> g_errorLatch{true};    // set until the first error is shown
std::atomic<bool> g_errorShowing{false};  // guards against a second box while one is open
std::atomic<IPortLog*> g_portLog{nullptr};
std::atomic<IFixSink*> g_fixSink{nullptr};

std::mutex g_reporterMutex;
std::function<void(const std::string&)> g_reporter;

std::mutex g_presenterMutex;
std::function<void(const std::string&)> g_presenter;
}  // namespace

void SetDebugSwitch(bool on) { g_debug.store(on); }
bool DebugSwitch() { return g_debug.load(std::memory_order_relaxed); }
void SetTraceSwitch(bool on) { g_trace.store(on); }
bool TraceSwitch() { return g_trace.load(std::memory_order_relaxed); }

void SetErrorReporter(std::function<void(const std::string&)> reporter)
{
    std::lock_guard lock(g_reporterMutex);
    g_reporter = std::move(reporter);
}

void ResetErrorLatch()
{
    g_errorLatch.store(true);
    g_errorShowing.store(false);
}

void ErrorReportClosed() { g_errorShowing.store(false); }

void ShowErrorOnce(const std::string& text)
{
    // Two reader threads may get here at once: the exchange lets exactly one of them through.
    if (g_errorShowing.load() || !g_errorLatch.exchange(false))
        return;
    g_errorShowing.store(true);
    std::function<void(const std::string&)> reporter;
    {
        std::lock_guard lock(g_reporterMutex);
        reporter = g_reporter;
    }
    if (reporter)
        reporter(text);
    else
        g_errorShowing.store(false);
}

void SetMessagePresenter(std::function<void(const std::string&)> presenter)
{
    std::lock_guard lock(g_presenterMutex);
    g_presenter = std::move(presenter);
}

void ShowMessage(const std::string& text)
{
    std::function<void(const std::string&)> presenter;
    {
        std::lock_guard lock(g_presenterMutex);
        presenter = g_presenter;
    }
    if (presenter)
        presenter(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

void SetPortLog(IPortLog* log) { g_portLog.store(log); }
IPortLog* PortLog() { return g_portLog.load(); }
void SetFixSink(IFixSink* sink) { g_fixSink.store(sink); }
IFixSink* FixSink() { return g_fixSink.load(); }

}  // namespace vrn
