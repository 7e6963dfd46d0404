// Time to first fix: after an initialisation command with a start mode, the time until each source
// that follows the restarted receiver reports a fix again, and the campaign that repeats the command
// N times and summarises the runs. Times are seconds on any monotonic clock the caller uses (the
// GUI's steady clock, a test's simulated clock). Owned by one thread.
//
// What counts as the first fix: the first report with a fix after the command, except that a fix
// reported within kStaleReportS of the command, before the receiver has reported being without a
// fix, is taken as one it made before it obeyed (it was already on the line).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "analysis/PositionSeries.h"

namespace vrn::analysis
{
// Start modes as the command's startMode byte carries them.
inline constexpr int kStartHot = 1;
inline constexpr int kStartWarm = 2;
inline constexpr int kStartCold = 3;
inline constexpr int kStartTest = 4;
// "hot", "warm", "cold", "test"; "none" for 0 and other values.
[[nodiscard]] std::string_view StartModeName(int startMode);

inline constexpr double kStaleReportS = 1.5;
// The own fix follows a restart of receiver 1 when it has reported this recently.
inline constexpr double kOwnRecentS = 3.0;

class CTtffMeter
{
public:
    struct SourceState
    {
        bool waiting = false;
        bool sawNoFix = false;
        double commandAt = 0.0;
        int startMode = 0;
        std::optional<double> lastTtffS;  // of the last completed measurement
        int lastStartMode = 0;
        double lastReportAt = -1e300;
    };

    // A start command (startMode 1..4) went to port 0 or 1 at `now`: that port's receiver waits for
    // its first fix, and for port 0 also the own fix when it has reported within kOwnRecentS.
    void CommandSent(int port, int startMode, double now);
    // A report of `source` at `now`; `fixNow` whether it says the receiver has a valid fix now.
    void OnReport(SourceId source, bool fixNow, double now);
    // The port stopped: its sources stop waiting.
    void Cancel(int port);
    void Reset();

    [[nodiscard]] const SourceState& State(SourceId source) const { return m_states[Index(source)]; }
    [[nodiscard]] bool Waiting(SourceId source) const { return State(source).waiting; }

private:
    std::array<SourceState, kSourceCount> m_states{};
};

struct CampaignSettings
{
    int runs = 5;          // starts in the campaign, 1 or more
    int port = 0;          // the receiver restarted: 0 or 1
    int startMode = kStartCold;
    double waitS = 10.0;   // from the end of one run to the next start
    double timeoutS = 300.0;  // a run ends without a fix for sources still waiting after this
};

// min/median/max over the runs that got a fix (median of an even count: the mean of the middle two).
struct TtffSummary
{
    int runs = 0;      // runs the source followed
    int failures = 0;  // of them, runs without a fix before the timeout
    double minS = 0.0, medianS = 0.0, maxS = 0.0;  // NaN when no run got a fix
};
[[nodiscard]] TtffSummary Summarise(const std::vector<std::optional<double>>& runs);

class CTtffCampaign
{
public:
    enum class Step : std::uint8_t
    {
        Nothing,    // idle, or waiting
        SendStart,  // send the start command now, then call Started
        Finished    // the last run has just ended
    };

    void Start(const CampaignSettings& settings, double now);
    void Stop();
    // Called on a timer and after reports: what to do at `now`.
    [[nodiscard]] Step Poll(const CTtffMeter& meter, double now);
    // The command of a SendStart went out (the meter has been told): the run begins.
    void Started(const CTtffMeter& meter, double now);

    [[nodiscard]] bool Running() const { return m_state != State::Idle; }
    [[nodiscard]] const CampaignSettings& Settings() const { return m_settings; }
    [[nodiscard]] int RunsDone() const { return m_runsDone; }
    // Each run the source followed: its time to first fix, or empty when it had none in time.
    [[nodiscard]] const std::vector<std::optional<double>>& Results(SourceId source) const
    {
        return m_results[Index(source)];
    }
    [[nodiscard]] TtffSummary Summary(SourceId source) const { return Summarise(Results(source)); }

private:
    enum class State : std::uint8_t
    {
        Idle,
        Due,     // next start at m_dueAt
        Running  // a run since m_runStartedAt
    };
    void EndRun(const CTtffMeter& meter);

    CampaignSettings m_settings;
    State m_state = State::Idle;
    double m_dueAt = 0.0;
    double m_runStartedAt = 0.0;
    int m_runsDone = 0;
    std::array<bool, kSourceCount> m_followed{};
    std::array<std::vector<std::optional<double>>, kSourceCount> m_results;
};
}  // namespace vrn::analysis
