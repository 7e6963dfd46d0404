// The parts of vrnrcvr-replay: its options, a buffered line writer, the port log that prints every
// line with all ten message kinds enabled, and the loop that feeds a byte stream to the reader's
// chunk loop.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/CoreServices.h"
#include "link/ChunkParser.h"

namespace replay
{
struct Options
{
    // The port's protocol mode: kModeNmea, kModeBinary, kModeTest, kModeUbx or kModeUbxOwnFix.
    int mode = vrn::kModeBinary;
    int port = 0;                 // port index: 0 = port 1, 1 = port 2
    bool debug = false;           // decoder error texts on (the first one is printed on stderr)
    bool stats = false;           // counters on stderr at the end
    bool help = false;
    bool printAlmanac = false;  // print the built-in almanac and exit
    std::string ownFile;        // test protocol: the own NAV, DOP and SV lines after every epoch
    std::string solutionFile;   // test protocol: one CSV row per navigation epoch
    std::string fixesFile;      // one CSV row per position report
    std::string satellitesFile; // the satellite table whenever the views are told, and at the end
    bool gpsTalkerOnly = false; // NMEA: read $GP sentences only (the port's "GPS talker only")
    bool accuracy = false;      // print the accuracy table of every source instead of the log lines
    bool haveReference = false;  // --reference given
    double referenceLatitudeDeg = 0.0, referenceLongitudeDeg = 0.0, referenceHeightM = 0.0;
    std::string truthFile;  // --truth: the simulator's truth rows as the reference
    std::string gpxFile;    // --gpx: the tracks of the stream's sources
    std::string input;  // a file, "-" for standard input, or a tcp:// or gpsd:// address
    double durationS = 0.0;  // network input: stop after this many seconds (0 = until it closes)
};

// Reads the command line (without the program name). False, and a one-line reason in `error`, on a
// bad option or a missing or extra file argument.
bool ParseOptions(std::span<const std::string_view> args, Options& options, std::string& error);
std::string Usage();

// Collects output lines and writes them in large blocks.
class LineWriter
{
public:
    explicit LineWriter(std::FILE* out) : m_out(out) { m_buffer.reserve(kBlock + 4096); }
    ~LineWriter() { Flush(); }
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    void Append(std::string_view text)
    {
        m_buffer.append(text);
        if (m_buffer.size() >= kBlock)
            Flush();
    }
    // False when the stream refused the bytes.
    bool Flush();

private:
    static constexpr std::size_t kBlock = 1 << 18;
    std::FILE* m_out;
    std::string m_buffer;
};

// The port log of a replay: every binary record of ids 1-6 and 8 as its text line, every sentence of
// the six NMEA types as stored; each line ends with a line feed.
class ReplayLog : public vrn::IPortLog
{
public:
    explicit ReplayLog(std::function<void(std::string_view)> out) : m_out(std::move(out)) {}
    void WriteRecord(const CData& set, int port) override;
    int WriteSentence(int kind, std::string& text, int port) override;

private:
    std::function<void(std::string_view)> m_out;
    std::string m_line;
};

// A replay has no views: record messages go nowhere.
class NoViews : public vrn::IChunkSink
{
public:
    void Activity(unsigned /*code*/) override {}
    void NotifyViews(unsigned /*message*/, unsigned /*wParam*/, const CData& /*set*/) override {}
};

struct Stats
{
    std::uint64_t bytes = 0;
    std::uint64_t chunks = 0;
};

// Runs `bytes` through ParseChunk in chunks of vrn::kChunkSize bytes, or of the sizes `nextChunk`
// returns (clamped to 1..kChunkSize), as a reader thread would.
void FeedChunks(std::span<const std::uint8_t> bytes, const Options& options, vrn::ParseContext& context,
                vrn::IChunkSink& sink, Stats& stats, const std::function<std::size_t()>& nextChunk = {});

// Reads `in` to its end through FeedChunks. False, and a reason in `error`, on a read error.
bool ReplayStream(std::FILE* in, const Options& options, vrn::ParseContext& context, vrn::IChunkSink& sink,
                  Stats& stats, std::string& error);

// Reads a tcp:// or gpsd:// source until the peer closes it or `durationS` passes (0 = no limit)
// and feeds what arrives through FeedChunks in the same 80-byte chunks a file of those bytes gets.
// False, and a one-line reason in `error`, when the source cannot be opened: a bad address, an
// unknown host, a refused connection, a gpsd that refuses the watch. There is no retry.
bool ReplayNetwork(const Options& options, vrn::ParseContext& context, vrn::IChunkSink& sink, Stats& stats,
                   std::string& error);

// The counters of --stats, one "name: value" line each.
std::string FormatStats(const Stats& stats, const CData::Counters& counters);
// The UBX counters of --stats: frames, dropped frames, and every message by class and id.
std::string FormatUbxStats(const ubx::ExtractorCounters& counters);
}  // namespace replay
