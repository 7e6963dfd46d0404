// vrnrcvr-replay's options, output and feeding loop; see the header.
#include "Replay.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "link/NetworkSource.h"

namespace replay
{
namespace
{
// Splits "--name=value" into name and value; a plain argument keeps an empty value.
std::pair<std::string_view, std::string_view> SplitOption(std::string_view arg, bool& hasValue)
{
    const std::size_t eq = arg.find('=');
    hasValue = arg.starts_with("--") && eq != std::string_view::npos;
    if (!hasValue)
        return {arg, {}};
    return {arg.substr(0, eq), arg.substr(eq + 1)};
}

// "LAT,LON,HEIGHT" in degrees and metres; false when it is not three numbers in range.
bool ParseReference(std::string_view text, Options& options)
{
    std::array<double, 3> v{};
    for (std::size_t k = 0; k < v.size(); ++k)
    {
        const std::size_t comma = text.find(',');
        const std::string_view part = k + 1 < v.size() ? text.substr(0, comma) : text;
        if ((k + 1 < v.size()) == (comma == std::string_view::npos))
            return false;
        const auto result = std::from_chars(part.data(), part.data() + part.size(), v[k]);
        if (result.ec != std::errc{} || result.ptr != part.data() + part.size() || !std::isfinite(v[k]))
            return false;
        if (k + 1 < v.size())
            text.remove_prefix(comma + 1);
    }
    if (std::fabs(v[0]) > 90.0 || std::fabs(v[1]) > 180.0 || std::fabs(v[2]) > 1e7)
        return false;
    options.haveReference = true;
    options.referenceLatitudeDeg = v[0];
    options.referenceLongitudeDeg = v[1];
    options.referenceHeightM = v[2];
    return true;
}
}  // namespace

std::string Usage()
{
    return "usage: vrnrcvr-replay [--protocol nmea|binary|test|ubx] [--port 1|2] [--debug] [--stats]\n"
           "                      [--fixes FILE] [--satellites FILE] [--gps-only] [--own-fix]\n"
           "                      [--own FILE] [--solution FILE] [--duration SECONDS] [--gpx FILE]\n"
           "                      [--accuracy [--reference LAT,LON,HEIGHT | --truth TRUTH.csv]] INPUT\n"
           "       vrnrcvr-replay --print-almanac\n"
           "\n"
           "Feeds a recorded receiver byte stream (a file, or - for standard input) through the same\n"
           "chunk loop as a live port, in reads of at most 80 bytes, and prints the lines that port's\n"
           "log file would receive with every message kind enabled.\n"
           "\n"
           "INPUT is a file, - for standard input, tcp://HOST:PORT (a receiver or serial server on\n"
           "the network) or gpsd://HOST[:PORT][/DEVICE] (the raw bytes of a device that a gpsd\n"
           "daemon owns; default port 2947, its first device); a network input is read until it\n"
           "closes.\n"
           "\n"
           "  --protocol nmea|binary|test|ubx  the port's protocol (default binary); test is port 1\n"
           "                          with the program's own navigation from the raw measurements;\n"
           "                          ubx is a u-blox receiver's binary protocol with NMEA in between\n"
           "  --fixes FILE            one CSV row per position report (NMEA GGA, RMC, GLL, GNS of\n"
           "                          any talker; NAV records in the binary modes; ubx: NAV-PVT, or\n"
           "                          NAV-POSLLH/NAV-SOL of older firmware)\n"
           "  --satellites FILE       the satellite table as CSV rows whenever the views are told\n"
           "                          (after a GGA; binary: after an SV record; ubx: after a NAV-SAT\n"
           "                          or NAV-SVINFO) and at the end\n"
           "  --gps-only              NMEA: read $GP sentences only, as with the port's \"GPS\n"
           "                          talker only\" setting\n"
           "  --own-fix               ubx, port 1: the own navigation from RXM-RAWX and RXM-SFRBX\n"
           "  --own FILE              test, ubx with --own-fix: the own NAV, DOP and SV lines after\n"
           "                          every epoch\n"
           "  --solution FILE         test, ubx with --own-fix: one CSV row per navigation epoch\n"
           "  --accuracy              print the accuracy table of each source of the stream (the port's\n"
           "                          receiver and, in test mode or with --own-fix, the own fix)\n"
           "                          instead of the log lines, against each source's own mean unless\n"
           "                          a reference is given\n"
           "  --reference LAT,LON,HEIGHT  a typed reference (degrees, metres above the ellipsoid)\n"
           "  --truth FILE            the truth rows of vrnrcvr-sim --truth as the reference\n"
           "  --gpx FILE              write the sources' tracks as GPX 1.1\n"
           "  --print-almanac         print the built-in almanac as CSV and exit\n"
           "  --port 1|2              the port the stream arrives on (default 1)\n"
           "  --duration SECONDS      network input: stop after this long\n"
           "  --debug                 decoder error texts on; the first one is printed on stderr\n"
           "  --stats                 print byte, chunk, frame, packet and sentence counters on stderr\n"
           "  --help                  print this text\n";
}

bool ParseOptions(std::span<const std::string_view> args, Options& options, std::string& error)
{
    bool filesOnly = false;
    bool haveInput = false;
    bool ubxNamed = false;
    bool ownFix = false;
    for (std::size_t i = 0; i < args.size(); ++i)
    {
        const std::string_view arg = args[i];
        if (filesOnly || arg == "-" || !arg.starts_with("-"))
        {
            if (haveInput)
            {
                error = "more than one input given: '" + std::string(arg) + "'";
                return false;
            }
            options.input = std::string(arg);
            haveInput = true;
            continue;
        }
        bool hasValue = false;
        const auto split = SplitOption(arg, hasValue);
        const std::string_view name = split.first;
        std::string_view value = split.second;
        // Options that take a value accept "--name value" and "--name=value".
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= args.size())
            {
                error = "option " + std::string(name) + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        if (name == "--")
            filesOnly = true;
        else if (name == "--help" || name == "-h")
            options.help = true;
        else if (name == "--debug" && !hasValue)
            options.debug = true;
        else if (name == "--stats" && !hasValue)
            options.stats = true;
        else if (name == "--protocol")
        {
            if (!takeValue())
                return false;
            if (value == "nmea")
                options.mode = vrn::kModeNmea;
            else if (value == "binary")
                options.mode = vrn::kModeBinary;
            else if (value == "test")
                options.mode = vrn::kModeTest;
            else if (value == "ubx")
                options.mode = vrn::kModeUbx;
            else
            {
                error = "unknown protocol '" + std::string(value) + "' (nmea, binary, test or ubx)";
                return false;
            }
            ubxNamed = value == "ubx";
        }
        else if (name == "--print-almanac" && !hasValue)
            options.printAlmanac = true;
        else if (name == "--own-fix" && !hasValue)
            ownFix = true;
        else if (name == "--own" || name == "--solution" || name == "--fixes" || name == "--satellites")
        {
            if (!takeValue())
                return false;
            std::string& file = name == "--own"        ? options.ownFile
                                : name == "--solution" ? options.solutionFile
                                : name == "--fixes"    ? options.fixesFile
                                                       : options.satellitesFile;
            file = std::string(value);
        }
        else if (name == "--accuracy" && !hasValue)
            options.accuracy = true;
        else if (name == "--reference")
        {
            if (!takeValue())
                return false;
            if (!ParseReference(value, options))
            {
                error = "bad reference '" + std::string(value) +
                        "' (LAT,LON,HEIGHT: degrees within +-90 and +-180, metres)";
                return false;
            }
        }
        else if (name == "--truth" || name == "--gpx")
        {
            if (!takeValue())
                return false;
            if (value.empty())
            {
                error = "option " + std::string(name) + " needs a file name";
                return false;
            }
            (name == "--truth" ? options.truthFile : options.gpxFile) = std::string(value);
        }
        else if (name == "--duration")
        {
            if (!takeValue())
                return false;
            double seconds = 0.0;
            const auto* end = value.data() + value.size();
            const auto [last, ec] = std::from_chars(value.data(), end, seconds);
            if (value.empty() || ec != std::errc{} || last != end || !std::isfinite(seconds) || seconds <= 0.0)
            {
                error = "bad duration '" + std::string(value) + "' (seconds, more than 0)";
                return false;
            }
            options.durationS = seconds;
        }
        else if (name == "--gps-only" && !hasValue)
            options.gpsTalkerOnly = true;
        else if (name == "--port")
        {
            if (!takeValue())
                return false;
            if (value == "1" || value == "2")
                options.port = value == "1" ? 0 : 1;
            else
            {
                error = "unknown port '" + std::string(value) + "' (1 or 2)";
                return false;
            }
        }
        else
        {
            error = "unknown option '" + std::string(arg) + "' (see --help)";
            return false;
        }
    }
    if (ownFix)
    {
        if (!ubxNamed)
        {
            error = "--own-fix needs --protocol ubx";
            return false;
        }
        options.mode = vrn::kModeUbxOwnFix;
    }
    if (options.mode == vrn::kModeTest && options.port != 0)
    {
        error = "the test protocol runs on port 1 only";
        return false;
    }
    if (options.mode == vrn::kModeUbxOwnFix && options.port != 0)
    {
        error = "--own-fix runs on port 1 only";
        return false;
    }
    if ((!options.ownFile.empty() || !options.solutionFile.empty()) && options.mode != vrn::kModeTest &&
        options.mode != vrn::kModeUbxOwnFix)
    {
        error = "--own and --solution need --protocol test, or --protocol ubx with --own-fix";
        return false;
    }
    if ((options.haveReference || !options.truthFile.empty()) && !options.accuracy)
    {
        error = "--reference and --truth need --accuracy";
        return false;
    }
    if (options.haveReference && !options.truthFile.empty())
    {
        error = "give either --reference or --truth, not both";
        return false;
    }
    if (options.durationS > 0.0 && !vrn::IsNetworkSourceName(options.input))
    {
        error = "--duration needs a tcp:// or gpsd:// input";
        return false;
    }
    if (!haveInput && !options.help && !options.printAlmanac)
    {
        error = "no input given (a file, or - for standard input; see --help)";
        return false;
    }
    return true;
}

bool LineWriter::Flush()
{
    const bool ok = m_buffer.empty() || std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out) == m_buffer.size();
    m_buffer.clear();
    return ok && std::fflush(m_out) == 0;
}

void ReplayLog::WriteRecord(const CData& set, int /*port*/)
{
    if (set.FormatRecordText(m_line, 1, 1, 1, 1) != 0)
    {
        m_line += '\n';
        m_out(m_line);
    }
}

int ReplayLog::WriteSentence(int kind, std::string& text, int /*port*/)
{
    if (kind < 1 || kind > 6)
        return 0;
    text += '\n';
    m_out(text);
    return 1;
}

void FeedChunks(std::span<const std::uint8_t> bytes, const Options& options, vrn::ParseContext& context,
                vrn::IChunkSink& sink, Stats& stats, const std::function<std::size_t()>& nextChunk)
{
    context.receiver.SetGpsTalkerOnly(options.gpsTalkerOnly);
    while (!bytes.empty())
    {
        std::size_t n = nextChunk ? std::clamp<std::size_t>(nextChunk(), 1, vrn::kChunkSize) : vrn::kChunkSize;
        n = std::min(n, bytes.size());
        vrn::ParseChunk(context, bytes.first(n), options.port, options.mode, sink);
        bytes = bytes.subspan(n);
        stats.bytes += n;
        ++stats.chunks;
    }
}

bool ReplayStream(std::FILE* in, const Options& options, vrn::ParseContext& context, vrn::IChunkSink& sink,
                  Stats& stats, std::string& error)
{
    // Large reads; the chunking into reader-sized pieces happens in FeedChunks. A block is a
    // multiple of the chunk size, so the chunks are the same as one continuous stream would give.
    std::vector<std::uint8_t> block(vrn::kChunkSize * 4096);
    std::size_t filled = 0;
    for (;;)
    {
        const std::size_t got = std::fread(block.data() + filled, 1, block.size() - filled, in);
        filled += got;
        if (filled == block.size() || got == 0)
        {
            FeedChunks(std::span(block).first(filled), options, context, sink, stats);
            filled = 0;
        }
        if (got == 0)
            break;
    }
    if (std::ferror(in) != 0)
    {
        error = std::string("read error: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool ReplayNetwork(const Options& options, vrn::ParseContext& context, vrn::IChunkSink& sink, Stats& stats,
                   std::string& error)
{
    const auto address = vrn::ParseNetworkAddress(options.input, error);
    if (!address)
        return false;
    vrn::NetworkOptions once;
    once.reconnect = false;
    // A tool waits for a silent peer only as long as --duration allows, or for ever.
    once.idleLimit = std::chrono::hours(24 * 365);
    vrn::CNetworkSource source(*address, options.input, once);
    if (!source.Usable())
    {
        error = "cannot set up '" + options.input + "': " + std::strerror(errno);
        return false;
    }
    int timer = -1;
    if (options.durationS > 0.0)
    {
        timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        itimerspec when{};
        const double whole = std::floor(options.durationS);
        when.it_value.tv_sec = static_cast<time_t>(whole);
        when.it_value.tv_nsec = static_cast<long>((options.durationS - whole) * 1e9);
        if (when.it_value.tv_sec == 0 && when.it_value.tv_nsec == 0)
            when.it_value.tv_nsec = 1;
        if (timer < 0 || ::timerfd_settime(timer, 0, &when, nullptr) != 0)
        {
            error = std::string("cannot set the duration timer: ") + std::strerror(errno);
            if (timer >= 0)
                ::close(timer);
            return false;
        }
    }
    // Whole chunks only until the end, so the chunks are those of a file of the same bytes.
    std::vector<std::uint8_t> pending;
    std::array<std::uint8_t, 4096> block{};
    bool ended = false;
    while (!ended)
    {
        const vrn::SourceWait wait = source.Wait(timer, true);
        if (wait.woken)
            break;
        for (;;)
        {
            const vrn::SourceRead read = source.Read(block);
            if (read.status == vrn::ReadStatus::Ended)
            {
                ended = true;
                break;
            }
            if (read.count == 0)
                break;
            pending.insert(pending.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(read.count));
        }
        const std::size_t whole = pending.size() / vrn::kChunkSize * vrn::kChunkSize;
        FeedChunks(std::span(pending).first(whole), options, context, sink, stats);
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(whole));
    }
    if (timer >= 0)
        ::close(timer);
    FeedChunks(pending, options, context, sink, stats);
    if (ended && !source.EverStreamed())
    {
        error = "cannot open '" + options.input + "': " + source.FailureText();
        return false;
    }
    return true;
}

std::string FormatStats(const Stats& stats, const CData::Counters& c)
{
    const std::array<std::pair<const char*, std::uint64_t>, 12> rows{{
        {"bytes", stats.bytes},
        {"chunks", stats.chunks},
        {"frames completed", c.framesCompleted},
        {"packets imported", c.packetsImported},
        {"rejected by length", c.rejectedLength},
        {"rejected by checksum", c.rejectedChecksum},
        {"framing errors", c.framingErrors},
        {"sentences imported", c.sentencesImported},
        {"sentences dropped", c.sentencesDropped},
        {"checksum mismatches", c.checksumMismatches},
        {"malformed sentences", c.malformedSentences},
        {"satellites rejected", c.satellitesRejected},
    }};
    std::string text;
    for (const auto& [name, value] : rows)
        text += std::string(name) + ": " + std::to_string(value) + "\n";
    return text;
}

std::string FormatUbxStats(const ubx::ExtractorCounters& c)
{
    std::string text = "UBX frames: " + std::to_string(c.frames) + "\n" +
                       "UBX dropped, bad checksum: " + std::to_string(c.badChecksum) + "\n" +
                       "UBX dropped, length above " + std::to_string(ubx::kMaxPayload) + ": " +
                       std::to_string(c.tooLong) + "\n";
    for (const auto& [key, count] : c.perMessage)
    {
        std::array<char, 32> id{};
        std::snprintf(id.data(), id.size(), "0x%02X 0x%02X", static_cast<unsigned>(key >> 8),
                      static_cast<unsigned>(key & 0xFFU));
        const char* name = ubx::MessageName(key);
        text += std::string("UBX ") + (*name != '\0' ? name : "message") + " (" + id.data() + ")" +
                (ubx::IsDecoded(key) ? "" : ", not decoded") + ": " + std::to_string(count) + "\n";
    }
    return text;
}
}  // namespace replay
