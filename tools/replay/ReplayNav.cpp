// vrnrcvr-replay's test protocol output; see the header.
#include "ReplayNav.h"

#include <array>
#include <charconv>

#include "link/Notifications.h"
#include "nav/NavEngine.h"
#include "protocol/CData.h"

namespace replay
{
namespace
{
constexpr double kDegreesPerRadian = 57.29577951308232;

// Shortest text that reads back as the same double; never locale dependent.
void AppendNumber(std::string& out, double value)
{
    std::array<char, 32> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    out.append(text.data(), result.ptr);
}

void AppendNumber(std::string& out, std::int64_t value)
{
    std::array<char, 24> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    out.append(text.data(), result.ptr);
}

template <typename... Values>
void AppendRow(std::string& out, Values... values)
{
    bool first = true;
    auto one = [&](auto v)
    {
        if (!first)
            out += ',';
        first = false;
        if constexpr (std::is_floating_point_v<decltype(v)>)
            AppendNumber(out, static_cast<double>(v));
        else
            AppendNumber(out, static_cast<std::int64_t>(v));
    };
    (one(values), ...);
    out += '\n';
}
}  // namespace

std::string_view SolutionCsvHeader()
{
    return "epoch,week,tow,fixMode,satsUsed,fixCount,x,y,z,vx,vy,vz,clockBias,clockDrift,lat,lon,height,"
           "speed,"
           "heading,gdop,pdop,hdop,vdop,tdop\n";
}

std::string SolutionCsvRow(std::uint64_t epoch, const NavEngine& engine)
{
    const NavSolution& s = engine.solution;
    std::string row;
    AppendRow(row, epoch, s.week, s.timeOfWeek, s.fixMode, s.satellitesUsed, s.fixCounter, s.x, s.y, s.z,
              s.vx, s.vy, s.vz, s.clockBias, s.clockDrift, s.latitude * kDegreesPerRadian,
              s.longitude * kDegreesPerRadian, s.height, s.speed, s.heading, s.gdop, s.pdop, s.hdop, s.vdop,
              s.tdop);
    return row;
}

std::string BuiltInAlmanacCsv()
{
    std::string text = "prn,state,health,e,week,toa,i,omegaDot,sqrtA,omega0,omega,m0,af0,af1\n";
    const auto& table = BuiltInAlmanac();
    for (std::size_t k = 0; k < table.size(); ++k)
    {
        const AlmanacRecord& a = table[k];
        AppendRow(text, k + 1, a.state, a.health, a.e, a.week, a.toa, a.i, a.omegaDot, a.sqrtA, a.omega0,
                  a.omega, a.m0, a.af0, a.af1);
    }
    return text;
}

std::string FormatNavigationStats(std::uint64_t epochs, const NavEngine& engine)
{
    return "navigation epochs: " + std::to_string(epochs) + "\n" +
           "fixes: " + std::to_string(engine.solution.fixCounter) + "\n" +
           "subframes dropped: " + std::to_string(engine.inputs.droppedSubframes) + "\n";
}

void TestModeSink::NotifyViews(unsigned message, unsigned wParam, const CData& set)
{
    if (message != vrn::kMsgBinaryData)
        return;
    if (wParam == vrn::kSourcePort1)
    {
        if (m_receiverLine && set.FormatRecordText(m_line, 1, 1, 1, 1) != 0)
        {
            m_line += '\n';
            m_receiverLine(m_line);
        }
        return;
    }
    if (set.currentId == kIdMeas)
    {
        ++m_epochs;
        if (m_solutionRow)
            m_solutionRow(SolutionCsvRow(m_epochs, ProcessNavEngine()));
        return;
    }
    if (m_ownLine && set.FormatRecordText(m_line, 1, 1, 1, 0) != 0)
    {
        m_line += '\n';
        m_ownLine(m_line);
    }
}
}  // namespace replay
