// Network ports over real loopback sockets: the TCP client and the gpsd raw-mode client behind a
// started port, their faults (refused, reset, closed, silent, garbage, a stop while connecting),
// the CPU they cost while waiting, and the port-name and gpsd stream parsing underneath.
#include <gtest/gtest.h>
#include <pthread.h>

#include <future>
#include <random>

#include "LinkTestSupport.h"
#include "NetTestSupport.h"
#include "link/CFeedDoc.h"
#include "link/GpsdStream.h"
#include "link/NetworkSource.h"
#include "link/ReceiverCommand.h"

namespace vrn::test
{
namespace
{
class NoSink final : public IChunkSink
{
public:
    void Activity(unsigned) override {}
    void NotifyViews(unsigned, unsigned, const CData&) override {}
};

// The lines a port log gets from `bytes` fed in 80-byte chunks, as vrnrcvr-replay does.
std::vector<std::string> ReferenceLines(const std::string& bytes, int mode)
{
    CollectingLog log;
    PortLogScope scope(log);
    auto context = std::make_unique<ParseContext>();
    NoSink sink;
    const std::span<const std::uint8_t> all(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    for (std::size_t at = 0; at < all.size(); at += kChunkSize)
        ParseChunk(*context, all.subspan(at, std::min(kChunkSize, all.size() - at)), 0, mode, sink);
    return log.Lines();
}

double ThreadCpuSeconds(std::thread::native_handle_type thread)
{
    clockid_t clock{};
    timespec t{};
    if (::pthread_getcpuclockid(thread, &clock) != 0 || ::clock_gettime(clock, &t) != 0)
        return -1.0;
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct NetPort
{
    TempProfile profile;
    RecordingRegistry registry;
    RecordingFrame frame;
    std::unique_ptr<CFeedDoc> doc;

    explicit NetPort(const std::string& name, int protocol = 0)
    {
        TempProfile::SetPort(0, name, "4800", protocol);
        doc = std::make_unique<CFeedDoc>(registry, &frame);
    }
    int Start() { return doc->StartPort(0); }
    [[nodiscard]] std::string State() const { return doc->PortSourceText(0); }
};
}  // namespace

TEST(NetworkAddress, NamesAndTheirParts)
{
    struct Case
    {
        const char* name;
        bool ok;
        NetworkAddress::Kind kind;
        const char* host;
        const char* port;
        const char* device;
    };
    using K = NetworkAddress::Kind;
    const Case cases[] = {
        {"tcp://gps.local:10110", true, K::Tcp, "gps.local", "10110", ""},
        {"TCP://127.0.0.1:2000/", true, K::Tcp, "127.0.0.1", "2000", ""},
        {"tcp://[::1]:5000", true, K::Tcp, "::1", "5000", ""},
        {"  tcp://host:1  ", true, K::Tcp, "host", "1", ""},
        {"gpsd://localhost", true, K::Gpsd, "localhost", "2947", ""},
        {"gpsd://pi:3000/dev/ttyUSB0", true, K::Gpsd, "pi", "3000", "/dev/ttyUSB0"},
        {"gpsd://pi/dev/ttyACM0", true, K::Gpsd, "pi", "2947", "/dev/ttyACM0"},
        {"gpsd://[fe80::1]:2947/dev/gps", true, K::Gpsd, "fe80::1", "2947", "/dev/gps"},
        {"tcp://host", false, K::Tcp, "", "", ""},
        {"tcp://host:", false, K::Tcp, "", "", ""},
        {"tcp://:5000", false, K::Tcp, "", "", ""},
        {"tcp://host:0", false, K::Tcp, "", "", ""},
        {"tcp://host:65536", false, K::Tcp, "", "", ""},
        {"tcp://host:12ab", false, K::Tcp, "", "", ""},
        {"tcp://::1:5000", false, K::Tcp, "", "", ""},
        {"tcp://[::1:5000", false, K::Tcp, "", "", ""},
        {"gpsd://", false, K::Gpsd, "", "", ""},
        {"/dev/ttyS0", false, K::Tcp, "", "", ""},
    };
    for (const Case& c : cases)
    {
        std::string error;
        const auto address = ParseNetworkAddress(c.name, error);
        ASSERT_EQ(address.has_value(), c.ok) << c.name << ": " << error;
        if (!c.ok)
        {
            EXPECT_FALSE(error.empty()) << c.name;
            continue;
        }
        EXPECT_EQ(address->kind, c.kind) << c.name;
        EXPECT_EQ(address->host, c.host) << c.name;
        EXPECT_EQ(address->port, c.port) << c.name;
        EXPECT_EQ(address->device, c.device) << c.name;
    }
    EXPECT_TRUE(IsNetworkSourceName("GPSD://x"));
    EXPECT_FALSE(IsNetworkSourceName("COM1"));
}

TEST(GpsdSplitter, RawBytesAndObjectsApartAtEverySplit)
{
    struct Case
    {
        const char* name;
        std::string stream;
        std::string raw;
        std::size_t objects;
    };
    const std::string bin("\x10\x02\x7B\x22\x10\x03{x", 8);  // a frame holding '{"' and a lone brace
    const Case cases[] = {
        {"objects only", "{\"class\":\"VERSION\",\"a\":[1,{\"b\":\"}\"}]}\r\n{\"class\":\"WATCH\"}\n", "", 2},
        {"raw between objects", "{\"class\":\"X\"}\r\n$GPGGA,1*00\r\n{\"class\":\"Y\",\"s\":\"\\\"}\"}\r\n$GPRMC*11\r\n",
         "$GPGGA,1*00\r\n$GPRMC*11\r\n", 2},
        {"binary with braces", bin + "{\"class\":\"DEVICE\"}\r\n" + bin, bin + bin, 1},
        {"almost an object", "{\"clasS\":1}{\"class\"", "{\"clasS\":1}", 0},
    };
    for (const Case& c : cases)
        for (std::size_t cut = 0; cut <= c.stream.size(); ++cut)
        {
            CGpsdSplitter splitter;
            std::vector<std::uint8_t> raw;
            std::vector<std::string> objects;
            const std::span<const std::uint8_t> all(reinterpret_cast<const std::uint8_t*>(c.stream.data()),
                                                    c.stream.size());
            splitter.Feed(all.first(cut), raw, objects);
            splitter.Feed(all.subspan(cut), raw, objects);
            EXPECT_EQ(std::string(raw.begin(), raw.end()), c.raw) << c.name << ", cut at " << cut;
            EXPECT_EQ(objects.size(), c.objects) << c.name << ", cut at " << cut;
        }
    const GpsdAnswer devices = ReadGpsdAnswer(R"({"class":"DEVICES","devices":[{"path":"/dev/a"},{"path":"/dev/b"}]})");
    EXPECT_EQ(devices.kind, "DEVICES");
    EXPECT_EQ(devices.devices, (std::vector<std::string>{"/dev/a", "/dev/b"}));
    EXPECT_EQ(ReadGpsdAnswer(R"({"class":"ERROR","message":"no"})").message, "no");
    EXPECT_EQ(ReadGpsdAnswer("{broken").kind, "");
    EXPECT_EQ(GpsdWatchRequest("/dev/x"), "?WATCH={\"device\":\"/dev/x\",\"enable\":true,\"raw\":2};\n");
}

TEST(TcpPort, CaptureInRandomPiecesGivesTheLinesOfTheFile)
{
    const std::string stream = NmeaStream(120);
    LoopbackServer server([&stream](Peer& peer) {
        std::mt19937 rng(11);
        for (std::size_t at = 0; at < stream.size();)
        {
            const std::size_t n = std::min<std::size_t>(rng() % 300 + 1, stream.size() - at);
            if (!peer.Send(std::string_view(stream).substr(at, n)))
                return;
            at += n;
            if (rng() % 4 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        peer.Hold(std::chrono::milliseconds(5000));
    });
    ASSERT_TRUE(server.Ok());
    const auto expected = ReferenceLines(stream, kModeNmea);
    CollectingLog log;
    PortLogScope scope(log);
    NetPort port(server.Url());
    const auto view = port.registry.AddView();
    ASSERT_EQ(port.Start(), 1);
    EXPECT_TRUE(WaitFor([&] { return log.Count() >= expected.size(); }));
    EXPECT_EQ(log.Lines(), expected);
    EXPECT_GT(view->Count(), 0u);  // GGA notifications (how many depends on where the chunks end)
    EXPECT_EQ(port.doc->PortDevice(0), server.Url());
    EXPECT_EQ(port.State(), server.Url());
    port.doc->StopPort(0);
    EXPECT_FALSE(port.doc->IsOpen(0));
}

TEST(TcpPort, RefusedConnectionRetriesWithoutSpinningAndConnectsWhenTheServerComes)
{
    std::uint16_t freePort = 0;
    {
        LoopbackServer probe(nullptr);
        freePort = probe.Port();
    }
    NetPort port("tcp://127.0.0.1:" + std::to_string(freePort));
    ASSERT_EQ(port.Start(), 1);  // a network port starts even when nobody answers yet
    EXPECT_TRUE(WaitFor([&] { return port.State().find("reconnecting") != std::string::npos; }));
    EXPECT_NE(port.State().find("refused"), std::string::npos) << port.State();
    const auto reader = port.doc->ReaderThread(0);
    ASSERT_TRUE(reader.has_value());
    const double cpu0 = ThreadCpuSeconds(*reader);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_LT(ThreadCpuSeconds(*reader) - cpu0, 0.05);  // back-off waits in poll, it does not spin
    EXPECT_EQ(port.doc->IsRunning(0), 1);

    const std::string stream = NmeaStream(3);
    LoopbackServer server([&stream](Peer& peer) {
        peer.Send(stream);
        peer.Hold(std::chrono::milliseconds(5000));
    }, freePort);
    ASSERT_TRUE(server.Ok());
    CollectingLog log;
    PortLogScope scope(log);
    EXPECT_TRUE(WaitFor([&] { return log.Count() == 6; }, std::chrono::milliseconds(8000)));
    EXPECT_EQ(port.State(), server.Url());  // connected: no state text any more
}

TEST(TcpPort, ResetMidSentenceResumesAtTheNextSentence)
{
    const std::string stream = NmeaStream(4);
    std::atomic<int> connection{0};
    LoopbackServer server([&](Peer& peer) {
        if (connection.fetch_add(1) == 0)
        {
            peer.Send(stream.substr(0, stream.size() / 2 + 17));  // cut inside a sentence
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            peer.Reset();
            return;
        }
        peer.Send(stream);
        peer.Hold(std::chrono::milliseconds(5000));
    });
    const auto full = ReferenceLines(stream, kModeNmea);
    CollectingLog log;
    PortLogScope scope(log);
    NetPort port(server.Url());
    ASSERT_EQ(port.Start(), 1);
    EXPECT_TRUE(WaitFor([&] { return server.Accepted() >= 2 && log.Count() >= 4 + full.size(); },
                        std::chrono::milliseconds(6000)));
    const auto lines = log.Lines();
    // The sentences before the cut, then every sentence of the second connection, nothing broken.
    ASSERT_GE(lines.size(), full.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(full.size()), lines.end()), full);
    for (std::size_t i = 0; i + full.size() < lines.size(); ++i)
        EXPECT_EQ(lines[i], full[i]);
}

TEST(TcpPort, TrickleBurstAndGarbageCostLittleAndLoseNoSentence)
{
    const std::string stream = NmeaStream(2);
    std::string burst;
    while (burst.size() < 1024 * 1024)
        burst += NmeaStream(60);
    std::string garbage(4096, '\0');
    std::mt19937 rng(3);
    for (char& c : garbage)
        c = static_cast<char>(rng() % 256 == '$' ? 'x' : rng() % 256);
    struct Case
    {
        const char* name;
        std::string bytes;
        std::chrono::milliseconds gap;  // between bytes; 0 = all at once
    };
    const Case cases[] = {
        {"trickle of one byte per 100 ms", Sentence("GPVTG,,T,,M,,N,,K"), std::chrono::milliseconds(100)},
        {"1 MB burst", burst, std::chrono::milliseconds(0)},
        {"garbage, then sentences", garbage + stream, std::chrono::milliseconds(0)},
    };
    for (const Case& c : cases)
    {
        const Case* current = &c;
        LoopbackServer server([current](Peer& peer) {
            if (current->gap.count() == 0)
                peer.Send(current->bytes);
            else
                for (const char byte : current->bytes)
                {
                    if (!peer.Send(std::string_view(&byte, 1)))
                        return;
                    std::this_thread::sleep_for(current->gap);
                }
            peer.Hold(std::chrono::milliseconds(60000));
        });
        const auto expected = ReferenceLines(c.bytes, kModeNmea);
        CollectingLog log;
        PortLogScope scope(log);
        NetPort port(server.Url());
        ASSERT_EQ(port.Start(), 1) << c.name;
        const auto reader = port.doc->ReaderThread(0);
        ASSERT_TRUE(reader.has_value());
        const auto limit = c.gap.count() == 0 ? std::chrono::milliseconds(20000)
                                              : c.gap * static_cast<int>(c.bytes.size() + 20);
        EXPECT_TRUE(WaitFor([&] { return log.Count() >= expected.size(); }, limit)) << c.name;
        EXPECT_EQ(log.Lines(), expected) << c.name;
        if (c.gap.count() > 0)
        {
            EXPECT_LT(ThreadCpuSeconds(*reader), 0.1) << c.name;  // a wake-up per byte, no busy wait
        }
        port.doc->StopPort(0);
    }
}

TEST(TcpPort, StopEndsAtOnceWhileConnectingOrWaitingToRetry)
{
    // A listener that takes no connection: with its backlog full, a further connect hangs.
    LoopbackServer stuck(nullptr, 0, 0);
    ASSERT_TRUE(stuck.Ok());
    std::vector<int> fillers;
    for (int i = 0; i < 8; ++i)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(stuck.Port());
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        fillers.push_back(fd);
    }
    std::uint16_t refused = 0;
    {
        LoopbackServer probe(nullptr);
        refused = probe.Port();
    }
    struct Case
    {
        const char* name;
        std::string url;
        std::string waitFor;
    };
    const Case cases[] = {
        {"connect pending", "tcp://127.0.0.1:" + std::to_string(stuck.Port()), "connecting"},
        // The second refusal: a stop that did not wake the reader would wait out two seconds.
        {"back-off", "tcp://127.0.0.1:" + std::to_string(refused), "next try in 2 s"},
    };
    for (const Case& c : cases)
    {
        NetPort port(c.url);
        ASSERT_EQ(port.Start(), 1) << c.name;
        EXPECT_TRUE(WaitFor([&] { return port.State().find(c.waitFor) != std::string::npos; }, std::chrono::milliseconds(8000)))
            << c.name;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_NE(port.State().find(c.waitFor), std::string::npos) << c.name << ": " << port.State();
        const auto start = std::chrono::steady_clock::now();
        port.doc->StopPort(0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(700)) << c.name;
        EXPECT_FALSE(port.doc->IsOpen(0));
    }
    for (const int fd : fillers)
        ::close(fd);
}

TEST(TcpPort, CommandsGoToTheSocketWithoutBlockingTheCaller)
{
    std::promise<std::vector<std::uint8_t>> got;
    LoopbackServer server([&got](Peer& peer) {
        got.set_value(peer.ReadAll(22, std::chrono::milliseconds(3000)));
        peer.Hold(std::chrono::milliseconds(3000));
    });
    NetPort port(server.Url());
    ASSERT_EQ(port.Start(), 1);
    EXPECT_TRUE(WaitFor([&] { return port.State() == server.Url(); }));
    port.doc->SendReceiverCommand(0, kCommandConfiguredBaud);
    auto future = got.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(4)), std::future_status::ready);
    const auto bytes = future.get();
    ASSERT_GE(bytes.size(), 22u);
    EXPECT_EQ(bytes[0], 0x10);
    EXPECT_EQ(bytes[1], 0x02);
    EXPECT_EQ(bytes[3], 0x80);  // the initialisation command

    // A peer that reads nothing: writes are queued (and dropped past their bound), never waited for.
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::uint8_t> block(256 * 1024, 0x55);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(port.doc->WritePort(0, block), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST(NetworkSource, HalfOpenConnectionCountsAsLostAfterTheIdleLimit)
{
    LoopbackServer server([](Peer& peer) {
        peer.Send(NmeaStream(1));
        peer.Hold(std::chrono::milliseconds(5000));  // then silence, the connection stays up
    });
    std::string error;
    NetworkOptions options;
    options.idleLimit = std::chrono::milliseconds(300);
    options.firstRetry = std::chrono::milliseconds(100);
    CNetworkSource source(*ParseNetworkAddress(server.Url(), error), server.Url(), options);
    std::array<std::uint8_t, 80> buffer{};
    std::size_t bytes = 0;
    const std::size_t perConnection = NmeaStream(1).size();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (std::chrono::steady_clock::now() < end && bytes < 2 * perConnection)
    {
        const SourceWait wait = source.Wait(-1, true);
        if (wait.readable)
            bytes += source.Read(buffer).count;
    }
    EXPECT_EQ(server.Accepted(), 2);  // the silent connection was given up and made again
    EXPECT_EQ(bytes, 2 * perConnection);
    EXPECT_EQ(source.Connections(), 2);
}

TEST(NetworkSource, WithoutReconnectAFailureEndsTheSource)
{
    std::uint16_t refused = 0;
    {
        LoopbackServer probe(nullptr);
        refused = probe.Port();
    }
    std::string error;
    NetworkOptions once;
    once.reconnect = false;
    const std::string url = "tcp://127.0.0.1:" + std::to_string(refused);
    CNetworkSource source(*ParseNetworkAddress(url, error), url, once);
    std::array<std::uint8_t, 80> buffer{};
    const SourceWait wait = source.Wait(-1, true);
    EXPECT_TRUE(wait.readable);
    EXPECT_EQ(source.Read(buffer).status, ReadStatus::Ended);
    EXPECT_FALSE(source.EverStreamed());
    EXPECT_NE(source.FailureText().find("refused"), std::string::npos) << source.FailureText();
}

TEST(GpsdPort, RawBytesOfTheFirstDeviceWithoutGpsdsJson)
{
    FakeGpsd gpsd;
    const std::string stream = NmeaStream(30);
    gpsd.stream.assign(stream.begin(), stream.end());
    gpsd.piece = 77;
    LoopbackServer server([&gpsd](Peer& peer) { gpsd.Serve(peer); });
    const auto expected = ReferenceLines(stream, kModeNmea);
    CollectingLog log;
    PortLogScope scope(log);
    NetPort port(server.Url("gpsd"));
    ASSERT_EQ(port.Start(), 1);
    EXPECT_TRUE(WaitFor([&] { return log.Count() >= expected.size(); }));
    EXPECT_EQ(log.Lines(), expected);
    const auto requests = gpsd.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "?DEVICES;");
    EXPECT_EQ(requests[1], "?WATCH={\"device\":\"/dev/ttyGPS0\",\"enable\":true,\"raw\":2};");
}

TEST(GpsdPort, NamedDeviceIsWatchedAndARefusalShowsAsReconnecting)
{
    FakeGpsd gpsd;
    gpsd.refuseWatch = true;
    LoopbackServer server([&gpsd](Peer& peer) { gpsd.Serve(peer); });
    NetPort port(server.Url("gpsd") + "/dev/nothing");
    ASSERT_EQ(port.Start(), 1);
    EXPECT_TRUE(WaitFor([&] { return port.State().find("reconnecting") != std::string::npos; }));
    EXPECT_NE(port.State().find("Can't open /dev/nothing."), std::string::npos) << port.State();
    const auto requests = gpsd.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0], "?WATCH={\"device\":\"/dev/nothing\",\"enable\":true,\"raw\":2};");
}

TEST(GpsdPort, AServerThatIsNoGpsdIsNotTakenForOne)
{
    LoopbackServer server([](Peer& peer) {
        peer.Send(NmeaStream(2));
        peer.Hold(std::chrono::milliseconds(3000));
    });
    std::string error;
    NetworkOptions once;
    once.reconnect = false;
    const std::string url = server.Url("gpsd");
    CNetworkSource source(*ParseNetworkAddress(url, error), url, once);
    std::array<std::uint8_t, 80> buffer{};
    while (source.Wait(-1, true).readable && source.Read(buffer).status != ReadStatus::Ended)
    {
    }
    EXPECT_FALSE(source.EverStreamed());
    EXPECT_EQ(source.FailureText(), "not a gpsd daemon (no version banner)");
}
}  // namespace vrn::test
