// The reader thread of a port over a pseudo-terminal: how fast it parses a stream fed as fast as the
// tty takes it, and how much CPU it spends on a stream paced like a receiver at 38400 baud.
//
//   build/bench/ReaderBench                      both
//   build/bench/ReaderBench --benchmark_filter=Rate
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "config/CAppSettings.h"
#include "link/CFeedDoc.h"
#include "protocol/Framing.h"

namespace
{
using namespace std::chrono_literals;

class CountingView final : public vrn::IViewHandle
{
public:
    void PostRecord(const vrn::RecordDelivery&) override { count.fetch_add(1, std::memory_order_relaxed); }
    std::atomic<std::uint64_t> count{0};
};

class OneView final : public vrn::IViewRegistry
{
public:
    void UpdateAllViews(int, const CData*) override {}
    std::vector<std::shared_ptr<vrn::IViewHandle>> ViewHandles() const override { return {view}; }
    std::shared_ptr<CountingView> view = std::make_shared<CountingView>();
};

// A navigation message as a receiver sends it once per second (28 bytes of id and data).
std::vector<std::uint8_t> NavFrame(int n)
{
    std::vector<std::uint8_t> message{0x02, 0x4C, 0x04, 0x00, 0x10, 0x20, 0x00};
    for (int i = 0; i < 21; ++i)
        message.push_back(static_cast<std::uint8_t>(n + 3 * i));
    return FramePacket(message);
}

// A pseudo-terminal, a private profile pointing port 1 at it, and the document with port 1 started.
class Rig
{
public:
    Rig()
    {
        std::array<char, 128> name{};
        if (::openpty(&m_master, &m_slave, name.data(), nullptr, nullptr) != 0)
            return;
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        std::string dir = (std::filesystem::temp_directory_path() / "vrn-bench-XXXXXX").string();
        if (::mkdtemp(dir.data()) == nullptr)
            return;
        m_dir = dir;
        CAppSettings::SetProfilePath(m_dir + "/vrnrcvr.ini");
        CAppSettings::WriteProfileText("Data Sources", "MeasSerialPort", name.data());
        CAppSettings::WriteProfileText("Data Sources", "MeasSerialBaud", "38400");
        CAppSettings::WriteProfileText("ReceiverInit1", "Protocol", "1");
        m_doc = std::make_unique<vrn::CFeedDoc>(m_views);
        m_ok = m_doc->StartPort(0) != 0;
    }
    ~Rig()
    {
        m_doc.reset();
        CAppSettings::SetProfilePath({});
        if (!m_dir.empty())
            std::filesystem::remove_all(m_dir);
        if (m_master >= 0)
            ::close(m_master);
        if (m_slave >= 0)
            ::close(m_slave);
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    [[nodiscard]] bool Ok() const { return m_ok; }
    [[nodiscard]] std::uint64_t Records() const { return m_views.view->count.load(); }

    void Send(std::span<const std::uint8_t> bytes) const
    {
        while (!bytes.empty())
        {
            const ssize_t n = ::write(m_master, bytes.data(), bytes.size());
            if (n > 0)
                bytes = bytes.subspan(static_cast<std::size_t>(n));
            else
            {
                pollfd wait{m_master, POLLOUT, 0};
                ::poll(&wait, 1, 10);
            }
        }
    }

    [[nodiscard]] double ReaderCpuSeconds() const
    {
        clockid_t clock{};
        timespec used{};
        const auto thread = m_doc->ReaderThread(0);
        if (!thread || ::pthread_getcpuclockid(*thread, &clock) != 0 || ::clock_gettime(clock, &used) != 0)
            return 0.0;
        return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_dir;
    OneView m_views;
    std::unique_ptr<vrn::CFeedDoc> m_doc;
    bool m_ok = false;
};

// Blocks of frames fed as fast as the tty takes them; an iteration ends when the view has every
// record of its block.
void BM_ReaderParseRate(benchmark::State& state)
{
    Rig rig;
    if (!rig.Ok())
    {
        state.SkipWithError("no pseudo-terminal or port start failed");
        return;
    }
    std::vector<std::uint8_t> block;
    int frames = 0;
    while (block.size() < 64 * 1024)
    {
        const auto frame = NavFrame(frames++);
        block.insert(block.end(), frame.begin(), frame.end());
    }
    std::uint64_t expected = rig.Records();
    const double cpuBefore = rig.ReaderCpuSeconds();
    for (auto _ : state)
    {
        rig.Send(block);
        expected += static_cast<std::uint64_t>(frames);
        while (rig.Records() < expected)
            std::this_thread::yield();
    }
    const auto bytes =
        static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(block.size());
    state.SetBytesProcessed(bytes);
    // The reader's own capacity: bytes per second of its CPU time, whatever else runs on the machine.
    const double readerCpu = rig.ReaderCpuSeconds() - cpuBefore;
    if (readerCpu > 0.0)
        state.counters["reader_cpu_MBps"] = static_cast<double>(bytes) / readerCpu / 1e6;
}
BENCHMARK(BM_ReaderParseRate)->Unit(benchmark::kMillisecond)->UseRealTime();

// 38400 baud (3840 bytes/s) written in slices every `state.range(0)` ms for two seconds; reports the
// reader thread's CPU time as a share of one core.
void BM_ReaderCpuAt38400(benchmark::State& state)
{
    Rig rig;
    if (!rig.Ok())
    {
        state.SkipWithError("no pseudo-terminal or port start failed");
        return;
    }
    constexpr std::int64_t kBytesPerSecond = 3840;  // 38400 baud, ten bits per byte
    const auto period = std::chrono::milliseconds(state.range(0));
    std::vector<std::uint8_t> stream;
    for (int i = 0; stream.size() < 3840 * 3; ++i)
    {
        const auto frame = NavFrame(i);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    double share = 0.0;
    for (auto _ : state)
    {
        const double cpuBefore = rig.ReaderCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        auto next = start;
        std::size_t at = 0;
        std::int64_t sent = 0;
        for (std::int64_t tick = 1; std::chrono::steady_clock::now() - start < 2s; ++tick)
        {
            const std::int64_t due = kBytesPerSecond * tick * state.range(0) / 1000;
            const auto n = std::min(static_cast<std::size_t>(due - sent), stream.size() - at);
            rig.Send(std::span<const std::uint8_t>(stream).subspan(at, n));
            sent += static_cast<std::int64_t>(n);
            at = (at + n) % stream.size();
            next += period;
            std::this_thread::sleep_until(next);
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        share = (rig.ReaderCpuSeconds() - cpuBefore) / wall * 100.0;
    }
    state.counters["reader_cpu_percent"] = share;
    state.counters["records"] = static_cast<double>(rig.Records());
}
BENCHMARK(BM_ReaderCpuAt38400)->Arg(1)->Arg(10)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace
