// vrnrcvr-replay: prints what a port's log would receive from a recorded byte stream. Exit status 0
// after a replay, 2 on a bad option or an unreadable input (one line on stderr).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Replay.h"

namespace
{
constexpr int kExitUsage = 2;

int Fail(const std::string& reason)
{
    std::fprintf(stderr, "vrnrcvr-replay: %s\n", reason.c_str());
    return kExitUsage;
}
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

    std::FILE* in = stdin;
    if (options.input != "-")
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
    replay::ReplayLog log([&out](std::string_view line) { out.Append(line); });
    vrn::SetPortLog(&log);

    // Large enough to be kept off the stack: two record sets.
    auto context = std::make_unique<vrn::ParseContext>();
    replay::NoViews views;
    replay::Stats stats;
    const bool ok = replay::ReplayStream(in, options, *context, views, stats, error);
    vrn::SetPortLog(nullptr);
    if (in != stdin)
        std::fclose(in);
    const bool written = out.Flush();
    if (!ok)
        return Fail("'" + options.input + "': " + error);
    if (!written)
        return Fail(std::string("cannot write the output: ") + std::strerror(errno));
    if (options.stats)
        std::fputs(replay::FormatStats(stats, context->receiver.GetCounters()).c_str(), stderr);
    return 0;
}
