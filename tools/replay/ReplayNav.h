// vrnrcvr-replay's test protocol (port 1 with the program's own navigation): the sink that prints
// the receiver set's records and writes the own records and one solution row per navigation
// epoch, and the CSV form of the built-in almanac.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "link/ChunkParser.h"

class NavEngine;

namespace replay
{
// The header row of the --solution file.
std::string_view SolutionCsvHeader();
// One --solution row (line feed included) for navigation epoch `epoch` of `engine`.
std::string SolutionCsvRow(std::uint64_t epoch, const NavEngine& engine);
// The built-in almanac as CSV with its header (radians, seconds).
std::string BuiltInAlmanacCsv();
// The --stats lines of the test protocol: navigation epochs, fixes, subframes dropped.
std::string FormatNavigationStats(std::uint64_t epochs, const NavEngine& engine);

// Record messages of a test-mode replay. Receiver-set records (port 1) go to `receiverLine` as log
// lines; the own set's NAV, DOP and SV records go to `ownLine`, and after each epoch (the own MEAS
// message) a solution row goes to `solutionRow`. An empty function drops that output.
class TestModeSink : public vrn::IChunkSink
{
public:
    using Output = std::function<void(std::string_view)>;
    TestModeSink(Output receiverLine, Output ownLine, Output solutionRow)
        : m_receiverLine(std::move(receiverLine)),
          m_ownLine(std::move(ownLine)),
          m_solutionRow(std::move(solutionRow))
    {
    }
    void Activity(unsigned /*code*/) override {}
    void NotifyViews(unsigned message, unsigned wParam, const CData& set) override;
    [[nodiscard]] std::uint64_t Epochs() const { return m_epochs; }

private:
    Output m_receiverLine, m_ownLine, m_solutionRow;
    std::string m_line;
    std::uint64_t m_epochs = 0;
};
}  // namespace replay
