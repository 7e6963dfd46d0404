// `vrnrcvr --exit-after N` run as a script runs it, on profiles the start-up checks accept and on
// ones they refuse: it always ends on time, with status 0 when it ran and 1 and a message when it
// could not start.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

TEST(ScriptedRun, EndsOnTimeWhateverTheProfileHolds)
{
    std::string pattern = (fs::temp_directory_path() / "vrn-scripted-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    struct Case
    {
        const char* dataSources;  // lines of "Data Sources"
        int seconds;              // --exit-after
        bool starts;
    };
    const Case cases[] = {
        {"MeasSerialPort=COM1\nMeasSerialPort2=COM2\n", 1, true},
        {"MeasSerialPort=COM1\nMeasSerialPort2=COM2\n", 0, true},
        {"MeasSource=1e308\n", 1, true},
        {"MeasSource=\nDataSource=\n", 1, true},
        {"DataSource=1e308\n", 1, true},
        // Refused by the checks: a port name no list holds, an empty baud rate of port 2.
        {"MeasSerialPort=COM9\n", 3, false},
        {"MeasSerialPort=COM1\nMeasSerialPort2=COM7\n", 1, false},
        {"MeasSerialPort2=COM2\nMeasSerialBaud2=\n", 0, false},
    };
    for (const Case& c : cases)
    {
        const fs::path profile = dir / "vrnrcvr.ini";
        std::ofstream(profile) << "[Data Sources]\n" << c.dataSources;
        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString((dir / "config").string()));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), QString::fromStdString((dir / "state").string()));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        run.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        run.start(QStringLiteral(VRN_BINARY_DIR "/vrnrcvr"),
                  {QStringLiteral("--profile"), QString::fromStdString(profile.string()),
                   QStringLiteral("--exit-after"), QString::number(c.seconds)});
        const bool ended = run.waitForFinished((c.seconds + 15) * 1000);
        if (!ended)
            run.kill();
        const std::string what = std::string(c.dataSources) + "after " + std::to_string(c.seconds) + " s";
        ASSERT_TRUE(ended) << what;
        EXPECT_LE(clock.elapsed(), (c.seconds + 5) * 1000) << what;
        const std::string err = run.readAllStandardError().toStdString();
        if (c.starts)
        {
            EXPECT_EQ(run.exitCode(), 0) << what << err;
            EXPECT_EQ(err.find("cannot start"), std::string::npos) << what << err;
        }
        else
        {
            EXPECT_EQ(run.exitCode(), 1) << what << err;
            // The check's own message first, then why the run ends.
            const bool reason = err.find("A serial port is required") != std::string::npos ||
                                err.find("A baud rate is required") != std::string::npos;
            EXPECT_TRUE(reason) << what << err;
            EXPECT_NE(err.find("vrnrcvr: cannot start: the Input Settings refused"), std::string::npos)
                << what << err;
        }
    }
    fs::remove_all(dir);
}
