// Port logs on real files: enables, appending, refused starts, the settings dialog, threads.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/ProfileTestDir.h"
#include "log/CPortLogger.h"
#include "protocol/CData.h"

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
}  // namespace
