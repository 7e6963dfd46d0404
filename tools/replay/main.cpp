// vrnrcvr-replay: prints what a port's log would receive from a recorded byte stream. Exit status 0
// after a replay, 2 on a bad option or an unreadable input (one line on stderr).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Replay.h"
#include "ReplayAccuracy.h"
#include "ReplayGnss.h"
#include "ReplayNav.h"
#include "analysis/TrackExport.h"
#include "link/ByteSource.h"
#include "nav/NavEngine.h"

namespace
{
constexpr int kExitUsage = 2;

int Fail(const std::string& reason)
{
    std::fprintf(stderr, "vrnrcvr-replay: %s\n", reason.c_str());
    return kExitUsage;
}

// An optional output file of the test protocol; no name means no file.
struct OutputFile
{
    std::FILE* file = nullptr;
    std::unique_ptr<replay::LineWriter> writer;
    bool failed = false;

    bool Open(const std::string& name)
    {
        if (name.empty())
            return true;
        file = std::fopen(name.c_str(), "w");
        failed = file == nullptr;
        if (!failed)
            writer = std::make_unique<replay::LineWriter>(file);
        return !failed;
    }
    [[nodiscard]] bool Failed() const { return failed; }
    // Flushes and closes; false when a write failed.
    bool Close()
    {
        if (file == nullptr)
            return true;
        const bool ok = writer->Flush();
        writer.reset();
        const bool closed = std::fclose(file) == 0;
        file = nullptr;
        return ok && closed;
    }
    ~OutputFile() { Close(); }
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
};
}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string_view> args(argv + 1, argv + argc);
    replay::Options options;
    std::string error;
    if (!replay::ParseOptions(args, options, error))
        return Fail(error);
    if (options.help)
    {
        std::fputs(replay::Usage().c_str(), stdout);
        return 0;
    }
    if (options.printAlmanac)
    {
        std::fputs(replay::BuiltInAlmanacCsv().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : Fail(std::string("cannot write the output: ") + std::strerror(errno));
    }

    const bool network = vrn::IsNetworkSourceName(options.input);
    std::FILE* in = stdin;
    if (network)
        in = nullptr;
    else if (options.input != "-")
    {
        in = std::fopen(options.input.c_str(), "rb");
        if (in == nullptr)
            return Fail("cannot open '" + options.input + "': " + std::strerror(errno));
    }

    vrn::SetDebugSwitch(options.debug);
    vrn::SetErrorReporter([](const std::string& text) {
        std::fprintf(stderr, "vrnrcvr-replay: decoder error: %s\n", text.c_str());
        vrn::ErrorReportClosed();
    });
    replay::LineWriter out(stdout);
    // With --accuracy standard output carries the table alone.
    const bool printLog = !options.accuracy;
    auto printLine = [&out, printLog](std::string_view line) {
        if (printLog)
            out.Append(line);
    };
    replay::ReplayLog log(printLine);
    vrn::SetPortLog(&log);

    // Test protocol: the receiver set's lines come through the views' notifications, the own
    // records and solution rows go to their files.
    OutputFile own, solution, fixes, satellites;
    for (auto [file, name] : {std::pair{&own, &options.ownFile}, std::pair{&solution, &options.solutionFile},
                              std::pair{&fixes, &options.fixesFile},
                              std::pair{&satellites, &options.satellitesFile}})
        if (!file->Open(*name))
        {
            if (in != stdin && in != nullptr)
                std::fclose(in);
            return Fail("cannot create '" + *name + "': " + std::strerror(errno));
        }
    if (solution.writer)
        solution.writer->Append(replay::SolutionCsvHeader());
    if (fixes.writer)
        fixes.writer->Append(replay::FixesCsvHeader());
    if (satellites.writer)
        satellites.writer->Append(replay::SatellitesCsvHeader());
    auto sendTo = [](OutputFile& file) -> replay::TestModeSink::Output {
        if (!file.writer)
            return {};
        return [&file](std::string_view text) { file.writer->Append(text); };
    };
    // With the own fix of the UBX protocol the port log already prints the receiver's records.
    replay::TestModeSink::Output receiverLines;
    if (options.mode == vrn::kModeTest)
        receiverLines = printLine;
    replay::TestModeSink testViews(receiverLines, sendTo(own), sendTo(solution));

    // Large enough to be kept off the stack: two record sets.
    auto context = std::make_unique<vrn::ParseContext>();
    replay::NoViews views;
    replay::Stats stats;
    const bool ownNavigation = vrn::RunsOwnFix(options.mode);
    vrn::IChunkSink& plain = ownNavigation ? static_cast<vrn::IChunkSink&>(testViews) : views;
    // The accuracy analysis taps the same notifications when asked for its table or tracks.
    const bool analyse = options.accuracy || !options.gpxFile.empty();
    replay::AccuracyTap tap(plain, options);
    if (analyse && !tap.UseReference(options, error))
    {
        vrn::SetPortLog(nullptr);
        if (in != stdin && in != nullptr)
            std::fclose(in);
        return Fail(error);
    }
    vrn::IChunkSink& inner = analyse ? static_cast<vrn::IChunkSink&>(tap) : plain;
    replay::GnssOutputs sink(options.mode, inner, sendTo(fixes), sendTo(satellites));
    if (analyse)
        sink.ForwardFixesTo(&tap);
    vrn::SetFixSink(&sink);
    const bool ok = network ? replay::ReplayNetwork(options, *context, sink, stats, error)
                            : replay::ReplayStream(in, options, *context, sink, stats, error);
    sink.Finish(context->receiver);
    vrn::SetFixSink(nullptr);
    vrn::SetPortLog(nullptr);
    if (in != stdin && in != nullptr)
        std::fclose(in);
    const bool written = out.Flush() && own.Close() && solution.Close() && fixes.Close() && satellites.Close();
    if (!ok)
        return Fail(network ? error : "'" + options.input + "': " + error);
    if (!written)
        return Fail(std::string("cannot write the output: ") + std::strerror(errno));
    if (analyse)
    {
        tap.Finish();
        if (!options.gpxFile.empty())
        {
            const auto& sources = tap.Sources();
            if (!vrn::analysis::WriteFileSafely(
                    options.gpxFile,
                    [&](std::ostream& gpx) { vrn::analysis::WriteGpx(gpx, tap.Workbench(), sources); }, error))
                return Fail(error);
        }
        if (options.accuracy)
        {
            out.Append(tap.TableLines());
            if (!out.Flush())
                return Fail(std::string("cannot write the output: ") + std::strerror(errno));
        }
    }
    if (options.stats)
    {
        std::fputs(replay::FormatStats(stats, context->receiver.GetCounters()).c_str(), stderr);
        if (vrn::IsUbxMode(options.mode))
            std::fputs(replay::FormatUbxStats(context->ubx.Counters()).c_str(), stderr);
        if (ownNavigation)
            std::fputs(replay::FormatNavigationStats(testViews.Epochs(), ProcessNavEngine()).c_str(), stderr);
    }
    return 0;
}
