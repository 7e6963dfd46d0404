// The program itself, started the way a script would: a 20-second demo run offscreen with both
// ports running and logging and the trace on, then a look at what it left behind (exit status,
// logs, trace, profile, screenshots, stderr).
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/ProcessSupport.h"

namespace fs = std::filesystem;

namespace
{
std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + what.size()))
        ++n;
    return n;
}

// Sets an environment variable for this process and its children while it lives.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};
}  // namespace

TEST(DemoRun, TwentySecondsOnTheSimulatedReceiversThenAnOrderlyExit)
{
    std::string pattern = (fs::temp_directory_path() / "vrn-demo-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    const fs::path state = dir / "state";
    const fs::path profile = state / "vrnrcvr" / "demo.ini";
    const fs::path log1 = dir / "demo-port1.log";
    const fs::path log2 = dir / "demo-port2.log";
    fs::create_directories(profile.parent_path());
    // The demo profile as a previous run may have left it: only where the ports log to.
    std::ofstream(profile) << "[Logging 1]\nFileName=" << log1.string() << "\n[Logging 2]\nFileName=" << log2.string()
                           << "\n";
    // Shared with the views' screenshots: only this run's own pictures are replaced.
    const fs::path shots = fs::path(VRN_BINARY_DIR) / "screenshots";
    const std::vector<std::string> pictures{"main-window",      "input-settings",    "receiver-init-1",
                                            "log-file-settings", "preferences",      "sky-chart-config",
                                            "track-map-prefs",   "about",            "demo-main-window",
                                            "demo-radar-view",   "demo-signal-view-1", "demo-measure-view"};
    for (const std::string& name : pictures)
        fs::remove(shots / (name + ".png"));

    ScopedEnv stateHome("XDG_STATE_HOME", state.string());
    ScopedEnv configHome("XDG_CONFIG_HOME", (dir / "config").string());
    ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
    std::string err;
    const int status = simtest::RunTool({"--demo", "--exit-after", "20", "--log", "1", "--log", "2", "--screenshots", shots.string(), "/t"},
                                        err, std::string(VRN_BINARY_DIR) + "/vrnrcvr");
    EXPECT_EQ(status, 0) << err;
    for (const char* report : {"Sanitizer", "runtime error:", "QObject::", "QPainter::", "QWidget::"})
        EXPECT_EQ(err.find(report), std::string::npos) << err;

    // Port 1 ran: its packets are in the trace. In test mode nothing is logged for it, so its log
    // was created by the dialog and stays empty. Port 2 is a modern receiver speaking NMEA 4.11: its
    // GPS satellites come in GSV sets per signal, L1 C/A (signal id 1) and L5 (7), and reach its log.
    const std::string trace = ReadText(state / "vrnrcvr" / "glimsat.log");
    EXPECT_GT(Count(trace, "Complete packet found."), 100);
    EXPECT_TRUE(fs::exists(log1));
    EXPECT_EQ(fs::file_size(log1), 0U);
    const std::string nmea = ReadText(log2);
    EXPECT_GT(Count(nmea, "GPGSV,"), 20) << log2;
    EXPECT_GT(Count(nmea, ",7*"), 10) << log2;
    // The fix under the GN talker, and the satellites of GLONASS and Galileo in their own GSV sets.
    for (const char* sentence : {"GNGGA,", "GLGSV,", "GAGSV,", "GBGSV,"})
        EXPECT_GT(Count(nmea, sentence), 10) << sentence << " in " << log2;
    EXPECT_TRUE(nmea.empty() || nmea.back() == '\n');

    // The profile holds what the start-up dialog, the log dialog and the exit saved.
    const std::string saved = ReadText(profile);
    EXPECT_NE(saved.find("MeasSerialPort=/dev/pts/"), std::string::npos) << saved;
    EXPECT_NE(saved.find("MeasSerialBaud=38400"), std::string::npos) << saved;
    EXPECT_NE(saved.find("UseMeas=1"), std::string::npos) << saved;
    EXPECT_NE(saved.find("FileName=" + log2.string()), std::string::npos) << saved;
    EXPECT_NE(saved.find("[Main]"), std::string::npos) << saved;
    EXPECT_NE(saved.find("WplShowCmd="), std::string::npos) << saved;
    EXPECT_FALSE(fs::exists(dir / "config" / "vrnrcvr")) << "the user's own profile was touched";

    // Screenshots of every dialog, the main window and the views, for people to look at.
    for (const std::string& name : pictures)
    {
        const fs::path png = shots / (name + ".png");
        EXPECT_TRUE(fs::exists(png) && fs::file_size(png) > 1000) << png;
    }
    // The live radar view shows receiver 1's satellites (fully tracked: red symbols) in the upper
    // sky chart at the right.
    const QImage radar(QString::fromStdString((shots / "demo-radar-view.png").string()));
    ASSERT_FALSE(radar.isNull());
    int red = 0;
    for (int y = 0; y < radar.height() / 2; ++y)
        for (int x = radar.width() * 3 / 4; x < radar.width(); ++x)
            red += radar.pixelColor(x, y) == QColor(255, 0, 0) ? 1 : 0;
    EXPECT_GT(red, 500);
    // Receiver 2's table holds every constellation: the lower sky chart has badges and trails in the
    // colours of GLONASS, Galileo and BeiDou beside GPS. Port 1's own fix shares that chart and may
    // have drawn its symbols over the badges last; the trails stay.
    const std::vector<std::pair<const char*, QColor>> systems{{"GPS", QColor(255, 128, 0)},
                                                              {"GLONASS", QColor(255, 96, 96)},
                                                              {"Galileo", QColor(96, 232, 96)},
                                                              {"BeiDou", QColor(255, 232, 0)}};
    for (const auto& [name, colour] : systems)
    {
        int pixels = 0;
        for (int y = radar.height() / 2; y < radar.height(); ++y)
            for (int x = radar.width() * 3 / 4; x < radar.width(); ++x)
                pixels += radar.pixelColor(x, y) == colour ? 1 : 0;
        EXPECT_GT(pixels, 8) << name;
    }
    fs::remove_all(dir);
}
