// Port logs on real files: enables, appending, refused starts, the settings dialog, threads, and
// names that are no regular file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/CoreServices.h"
#include "config/ProfileTestDir.h"
#include "link/CFeedDoc.h"
#include "link/LinkTestSupport.h"
#include "log/CPortLogger.h"
#include "protocol/CData.h"
#include "protocol/Records.h"

namespace
{
class Logger : public ProfileTest
{
protected:
    // Sets the port's logging group in the profile as the settings dialog would.
    std::string Configure(int port, const std::string& name, const std::vector<std::string>& disabled = {})
    {
        const std::string path = (m_dir / name).string();
        const std::string section = port == 0 ? "Logging 1" : "Logging 2";
        std::vector<std::pair<std::string, std::string>> values{{"FileName", path}};
        for (const auto& key : CAppSettings::kLogMessageKeys)
            values.emplace_back(std::string(key), "1");
        for (const auto& key : disabled)
            values.emplace_back(key, "0");
        EXPECT_TRUE(CAppSettings::WriteProfileValues(section, values));
        return path;
    }
    static void Create(const std::string& path, const std::string& content = "")
    {
        std::ofstream(path, std::ios::binary) << content;
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::size_t OpenDescriptors()
    {
        const std::filesystem::directory_iterator fds("/proc/self/fd");
        return static_cast<std::size_t>(std::distance(fds, std::filesystem::directory_iterator()));
    }
};

TEST_F(Logger, StartNeedsAnExistingFile)
{
    const std::string path = Configure(0, "missing.log");
    CPortLogger logger;
    EXPECT_FALSE(logger.StartLogging(0));     // nothing configured yet
    ASSERT_TRUE(logger.ConfigureLogging(0));  // no dialog installed: loads the profile's group
    EXPECT_FALSE(logger.StartLogging(0));
    EXPECT_EQ(logger.IsLogging(0), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(logger.StartLogging(2));
    EXPECT_EQ(logger.IsLogging(-1), 0);
}

TEST_F(Logger, SentencesAppendToWhatTheFileHolds)
{
    const std::string path = Configure(1, "G_Port2.log", {"GSV"});
    Create(path, "earlier line\n");
    CPortLogger logger;
    ASSERT_TRUE(logger.ConfigureLogging(1));

    std::string gga = "GPGGA,123519,4807.038,N*47";
    EXPECT_EQ(logger.WriteSentence(1, gga, 1), 0);  // not logging yet
    EXPECT_EQ(gga, "GPGGA,123519,4807.038,N*47");

    ASSERT_TRUE(logger.StartLogging(1));
    EXPECT_EQ(logger.IsLogging(1), 1);
    EXPECT_EQ(logger.IsLogging(0), 0);
    EXPECT_EQ(logger.WriteSentence(1, gga, 1), 1);
    EXPECT_EQ(gga, "GPGGA,123519,4807.038,N*47\n");  // the line feed stays in the caller's text
    std::string gsv = "GPGSV,3,1,12,01, ,045*7A";
    EXPECT_EQ(logger.WriteSentence(4, gsv, 1), 0);  // GSV disabled
    EXPECT_EQ(gsv, "GPGSV,3,1,12,01, ,045*7A");
    std::string vtg = "GPVTG,054.7,T, ,M*1C";
    EXPECT_EQ(logger.WriteSentence(6, vtg, 0), 0);  // the other port
    EXPECT_EQ(logger.WriteSentence(6, vtg, 1), 1);
    std::string odd = "GPXXX";
    EXPECT_EQ(logger.WriteSentence(7, odd, 1), 0);
    EXPECT_EQ(logger.WriteSentence(0, odd, 1), 0);

    logger.StopLogging(1);
    EXPECT_EQ(logger.IsLogging(1), 0);
    std::string late = "GPRMC,late";
    EXPECT_EQ(logger.WriteSentence(5, late, 1), 0);
    EXPECT_EQ(Read(path), "earlier line\nGPGGA,123519,4807.038,N*47\nGPVTG,054.7,T, ,M*1C\n");

    // A second start appends again.
    ASSERT_TRUE(logger.StartLogging(1));
    EXPECT_EQ(logger.WriteSentence(5, late, 1), 1);
    logger.StopLogging(1);
    EXPECT_EQ(Read(path), "earlier line\nGPGGA,123519,4807.038,N*47\nGPVTG,054.7,T, ,M*1C\nGPRMC,late\n");
}

TEST_F(Logger, RecordsFollowTheirEnables)
{
    const std::string path = Configure(0, "G_Port1.log", {"SV"});
    Create(path);
    CPortLogger logger;
    ASSERT_TRUE(logger.ConfigureLogging(0));
    ASSERT_TRUE(logger.StartLogging(0));

    CData nav;
    nav.currentId = 2;
    nav.nav.id = 2;
    nav.nav.week = 1234;
    nav.nav.timeOfWeek = 3456700;
    nav.nav.x = -2956000;
    CData sv;
    sv.currentId = 6;
    sv.sv.id = 6;
    sv.sv.week = 1234;
    std::string expected;
    ASSERT_NE(nav.FormatRecordText(expected, 1, 1, 1, 1), 0);

    logger.WriteRecord(nav, 0);
    logger.WriteRecord(sv, 0);
    logger.WriteRecord(nav, 1);  // port 2 is not logging
    logger.WriteRecord(nav, 0);
    logger.StopLogging(0);
    EXPECT_EQ(Read(path), expected + "\n" + expected + "\n");
}

TEST_F(Logger, ConfiguringClosesTheLogBeforeTheDialogAndCancelKeepsItClosed)
{
    const std::string first = Configure(0, "first.log");
    Create(first);
    CPortLogger logger;
    ASSERT_TRUE(logger.ConfigureLogging(0));
    ASSERT_TRUE(logger.StartLogging(0));
    const std::size_t whileLogging = OpenDescriptors();

    int shown = 0;
    logger.SetSettingsDialog(
        [&](int port)
        {
            ++shown;
            EXPECT_EQ(port, 0);
            EXPECT_EQ(logger.IsLogging(0), 0);
            EXPECT_EQ(OpenDescriptors(), whileLogging - 1);
            std::string line = "GPGGA,during";
            EXPECT_EQ(logger.WriteSentence(1, line, 0), 0);
            return false;
        });
    EXPECT_FALSE(logger.ConfigureLogging(0));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(logger.IsLogging(0), 0);
    EXPECT_EQ(Read(first), "");

    // OK: the dialog saved another file and its enables, which the logger now uses.
    logger.SetSettingsDialog(
        [&](int port)
        {
            const std::string second = Configure(port, "second.log", {"GGA"});
            Create(second);
            return true;
        });
    ASSERT_TRUE(logger.ConfigureLogging(0));
    ASSERT_TRUE(logger.StartLogging(0));
    std::string gga = "GPGGA,x";
    std::string gll = "GPGLL,y";
    EXPECT_EQ(logger.WriteSentence(1, gga, 0), 0);
    EXPECT_EQ(logger.WriteSentence(2, gll, 0), 1);
    EXPECT_EQ(logger.Settings().LogFileName[0], (m_dir / "second.log").string());
    logger.StopLogging(0);
    EXPECT_EQ(Read((m_dir / "second.log").string()), "GPGLL,y\n");
}

TEST_F(Logger, DestructionClosesBothFiles)
{
    const std::string one = Configure(0, "one.log");
    const std::string two = Configure(1, "two.log");
    Create(one);
    Create(two);
    const std::size_t before = OpenDescriptors();
    {
        CPortLogger logger;
        ASSERT_TRUE(logger.ConfigureLogging(0));
        ASSERT_TRUE(logger.ConfigureLogging(1));
        ASSERT_TRUE(logger.StartLogging(0));
        ASSERT_TRUE(logger.StartLogging(1));
        ASSERT_TRUE(logger.StartLogging(1));  // a second start does not leak the first file
        EXPECT_EQ(OpenDescriptors(), before + 2);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

// Two reader threads write both ports into one shared file while the UI thread starts and stops
// port 1 again and again: every line arrives whole, and port 2 loses none.
TEST_F(Logger, ReadersWritingWhileTheLogStartsAndStops)
{
    const std::string shared = Configure(0, "shared.log");
    Configure(1, "shared.log");
    Create(shared);
    CPortLogger logger;
    ASSERT_TRUE(logger.ConfigureLogging(0));
    ASSERT_TRUE(logger.ConfigureLogging(1));
    ASSERT_TRUE(logger.StartLogging(1));

    constexpr int kLines = 3000;
    const std::string padding(120, 'x');
    std::atomic<bool> done{false};
    std::atomic<int> writtenOne{0};
    auto reader = [&](int port, std::atomic<int>* written)
    {
        for (int i = 0; i < kLines; ++i)
        {
            std::string text = "GPGGA," + std::to_string(port) + "," + std::to_string(i) + "," + padding;
            const int result = logger.WriteSentence(1, text, port);
            if (written)
                *written += result;
        }
    };
    std::thread portOne(reader, 0, &writtenOne);
    std::thread portTwo(reader, 1, nullptr);
    std::thread ui(
        [&]
        {
            while (!done.load())
            {
                logger.StartLogging(0);
                std::this_thread::yield();
                logger.StopLogging(0);
            }
        });
    portOne.join();
    portTwo.join();
    done.store(true);
    ui.join();
    logger.StopLogging(1);

    std::istringstream lines(Read(shared));
    std::vector<std::set<int>> seen(2);
    for (std::string line; std::getline(lines, line);)
    {
        std::istringstream fields(line);
        std::string tag, port, index, rest;
        std::getline(fields, tag, ',');
        std::getline(fields, port, ',');
        std::getline(fields, index, ',');
        std::getline(fields, rest);
        ASSERT_EQ(tag, "GPGGA") << line;
        ASSERT_TRUE(port == "0" || port == "1") << line;
        ASSERT_EQ(rest, padding) << line;
        seen[port == "0" ? 0 : 1].insert(std::stoi(index));
    }
    EXPECT_EQ(seen[1].size(), static_cast<std::size_t>(kLines));
    EXPECT_EQ(seen[0].size(), static_cast<std::size_t>(writtenOne.load()));
}
// A FIFO in the test's folder, with a reading end that the test holds open and never reads
// unless it drains it (so a writer fills the pipe and then blocks).
class Fifo
{
public:
    explicit Fifo(const std::filesystem::path& path) : m_path(path.string())
    {
        if (::mkfifo(m_path.c_str(), 0600) == 0)
            m_reader = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~Fifo()
    {
        if (m_reader >= 0)
            ::close(m_reader);
    }
    Fifo(const Fifo&) = delete;
    Fifo& operator=(const Fifo&) = delete;
    [[nodiscard]] bool Ok() const { return m_reader >= 0; }
    // Reads what the pipe holds; the count read.
    std::size_t Drain() const
    {
        std::size_t total = 0;
        std::array<char, 65536> buffer{};
        for (ssize_t n; (n = ::read(m_reader, buffer.data(), buffer.size())) > 0;)
            total += static_cast<std::size_t>(n);
        return total;
    }

private:
    std::string m_path;
    int m_reader = -1;
};

// A write to anything but a regular file could hold the reader thread (and with it the port's
// lock) for as long as the other end pleases, so such names never start a log.
TEST_F(Logger, StartRefusesAnythingButARegularFile)
{
    const Fifo heldFifo(m_dir / "held.fifo");
    ASSERT_TRUE(heldFifo.Ok());
    ASSERT_EQ(::mkfifo((m_dir / "lonely.fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(m_dir / "folder");
    Create((m_dir / "plain.log").string());
    std::filesystem::create_symlink(m_dir / "held.fifo", m_dir / "fifo-link.log");
    std::filesystem::create_symlink(m_dir / "plain.log", m_dir / "plain-link.log");
    struct Case
    {
        const char* name;
        bool accepted;
    };
    const Case cases[] = {
        {"held.fifo", false},      // a reader that never reads
        {"lonely.fifo", false},    // no reader at all
        {"/dev/null", false},      // a character device
        {"/dev/tty", false},       // a terminal
        {"folder", false},         // a folder
        {"fifo-link.log", false},  // a link is judged by what it points to
        {"plain.log", true},      {"plain-link.log", true},
    };
    const std::size_t before = OpenDescriptors();
    for (const Case& c : cases)
    {
        Configure(0, c.name);
        CPortLogger logger;
        ASSERT_TRUE(logger.ConfigureLogging(0));
        EXPECT_EQ(logger.StartLogging(0), c.accepted) << c.name;
        EXPECT_EQ(logger.IsLogging(0), c.accepted ? 1 : 0) << c.name;
        std::string gga = "GPGGA,1";
        EXPECT_EQ(logger.WriteSentence(1, gga, 0), c.accepted ? 1 : 0) << c.name;
    }
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(heldFifo.Drain(), 0U);
    EXPECT_EQ(Read((m_dir / "plain.log").string()), "GPGGA,1\nGPGGA,1\n");  // through the file and its link
}

// A port streaming NAV records with its log named after a FIFO that nobody drains: logging does not
// start, the reader goes on, and Stop Logging and Stop Port return at once.
TEST_F(Logger, AFifoThatNobodyReadsNeverHoldsUpThePort)
{
    using namespace std::chrono_literals;
    vrn::test::Pty pty;
    ASSERT_TRUE(pty.Ok());
    const Fifo fifo(m_dir / "port1.log");
    ASSERT_TRUE(fifo.Ok());
    ASSERT_TRUE(CAppSettings::WriteProfileValues(
        "Data Sources", {{"MeasSerialPort", pty.Path()}, {"MeasSerialBaud", "38400"}}));
    ASSERT_TRUE(CAppSettings::WriteProfileText("ReceiverInit1", "Protocol", "1"));
    Configure(0, "port1.log");
    CPortLogger logger;
    vrn::SetPortLog(&logger);
    ASSERT_TRUE(logger.ConfigureLogging(0));
    EXPECT_FALSE(logger.StartLogging(0));

    vrn::test::RecordingRegistry registry;  // no view: ten thousand snapshots would only cost memory
    vrn::test::RecordingFrame frame;
    vrn::CFeedDoc doc(registry, &frame);
    ASSERT_EQ(doc.StartPort(0), 1);
    // 10000 NAV records log 200 KB of lines, three times what a pipe holds.
    constexpr int kRecords = 10000;
    std::atomic<bool> stopSending{false};
    std::atomic<bool> allSent{false};
    std::thread receiver(
        [&]
        {
            std::vector<std::uint8_t> nav(28, 0);
            nav[0] = kIdNav;
            const auto bytes = vrn::test::Frame(nav);
            for (int i = 0; i < kRecords && !stopSending.load(); ++i)
                for (std::size_t done = 0; done < bytes.size() && !stopSending.load();)
                {
                    const ssize_t n = ::write(pty.Master(), bytes.data() + done, bytes.size() - done);
                    if (n > 0)
                        done += static_cast<std::size_t>(n);
                    else
                        std::this_thread::sleep_for(1ms);
                }
            allSent.store(!stopSending.load());
        });
    // Everything sent and nothing left in the tty: the reader took it all.
    const bool allRead =
        vrn::test::WaitFor([&] { return allSent.load() && vrn::BytesWaiting(pty.Slave()) == 0; }, 20000ms);
    auto stops = std::async(std::launch::async,
                            [&]
                            {
                                logger.StopLogging(0);
                                doc.StopPort(0);
                            });
    const bool prompt = stops.wait_for(2s) == std::future_status::ready;
    // Whatever happened, let everything end: drain the pipe until the stops are through.
    stopSending.store(true);
    while (stops.wait_for(10ms) != std::future_status::ready)
        fifo.Drain();
    receiver.join();
    vrn::SetPortLog(nullptr);
    EXPECT_TRUE(allRead) << "the reader stopped reading";
    EXPECT_TRUE(prompt) << "Stop Logging and Stop Port waited for the log";
    EXPECT_EQ(fifo.Drain(), 0U);
}
}  // namespace
