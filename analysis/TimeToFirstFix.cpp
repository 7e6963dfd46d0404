// Time to first fix and its campaign; see the header.
#include "analysis/TimeToFirstFix.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vrn::analysis
{
std::string_view StartModeName(int startMode)
{
    switch (startMode)
    {
        case kStartHot:
            return "hot";
        case kStartWarm:
            return "warm";
        case kStartCold:
            return "cold";
        case kStartTest:
            return "test";
        default:
            return "none";
    }
}

void CTtffMeter::CommandSent(int port, int startMode, double now)
{
    if (startMode < kStartHot || startMode > kStartTest)
        return;  // no start mode: the receiver keeps tracking
    auto begin = [&](SourceId source) {
        SourceState& s = m_states[Index(source)];
        s.waiting = true;
        s.sawNoFix = false;
        s.commandAt = now;
        s.startMode = startMode;
    };
    if (port == 0)
    {
        begin(SourceId::Receiver1);
        if (now - m_states[Index(SourceId::Own)].lastReportAt <= kOwnRecentS)
            begin(SourceId::Own);
    }
    else
    {
        begin(SourceId::Receiver2);
    }
}

void CTtffMeter::OnReport(SourceId source, bool fixNow, double now)
{
    SourceState& s = m_states[Index(source)];
    s.lastReportAt = now;
    if (!s.waiting || now < s.commandAt)
        return;
    if (!fixNow)
    {
        s.sawNoFix = true;
        return;
    }
    if (!s.sawNoFix && now - s.commandAt < kStaleReportS)
        return;
    s.waiting = false;
    s.lastTtffS = now - s.commandAt;
    s.lastStartMode = s.startMode;
}

void CTtffMeter::Cancel(int port)
{
    if (port == 0)
    {
        m_states[Index(SourceId::Receiver1)].waiting = false;
        m_states[Index(SourceId::Own)].waiting = false;
    }
    else
    {
        m_states[Index(SourceId::Receiver2)].waiting = false;
    }
}

void CTtffMeter::Reset()
{
    m_states = {};
}

TtffSummary Summarise(const std::vector<std::optional<double>>& runs)
{
    TtffSummary summary;
    summary.runs = static_cast<int>(runs.size());
    std::vector<double> values;
    for (const auto& r : runs)
        if (r)
            values.push_back(*r);
        else
            ++summary.failures;
    if (values.empty())
    {
        summary.minS = summary.medianS = summary.maxS = std::numeric_limits<double>::quiet_NaN();
        return summary;
    }
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    summary.minS = values.front();
    summary.maxS = values.back();
    summary.medianS = n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
    return summary;
}

void CTtffCampaign::Start(const CampaignSettings& settings, double now)
{
    m_settings = settings;
    m_settings.runs = std::max(1, settings.runs);
    m_settings.port = settings.port == 0 ? 0 : 1;
    m_state = State::Due;
    m_dueAt = now;
    m_runsDone = 0;
    m_followed = {};
    for (auto& r : m_results)
        r.clear();
}

void CTtffCampaign::Stop()
{
    m_state = State::Idle;
}

CTtffCampaign::Step CTtffCampaign::Poll(const CTtffMeter& meter, double now)
{
    switch (m_state)
    {
        case State::Idle:
            return Step::Nothing;
        case State::Due:
            return now >= m_dueAt ? Step::SendStart : Step::Nothing;
        case State::Running:
            break;
    }
    bool waiting = false;
    for (const SourceId s : kAllSources)
        waiting = waiting || (m_followed[Index(s)] && meter.Waiting(s));
    if (waiting && now - m_runStartedAt < m_settings.timeoutS)
        return Step::Nothing;
    EndRun(meter);
    if (m_runsDone >= m_settings.runs)
    {
        m_state = State::Idle;
        return Step::Finished;
    }
    m_state = State::Due;
    m_dueAt = now + m_settings.waitS;
    return Step::Nothing;
}

void CTtffCampaign::Started(const CTtffMeter& meter, double now)
{
    if (m_state != State::Due)
        return;
    m_state = State::Running;
    m_runStartedAt = now;
    for (const SourceId s : kAllSources)
        m_followed[Index(s)] = meter.Waiting(s) && meter.State(s).commandAt == now;
}

void CTtffCampaign::EndRun(const CTtffMeter& meter)
{
    for (const SourceId s : kAllSources)
    {
        if (!m_followed[Index(s)])
            continue;
        const auto& state = meter.State(s);
        if (state.waiting || !state.lastTtffS)
            m_results[Index(s)].push_back(std::nullopt);
        else
            m_results[Index(s)].push_back(state.lastTtffS);
    }
    ++m_runsDone;
}
}  // namespace vrn::analysis
