// The accuracy workbench; see the header.
#include "analysis/AccuracyWorkbench.h"

#include <algorithm>
#include <cmath>

namespace vrn::analysis
{
namespace
{
bool SamePoint(const ReferencePoint& a, const ReferencePoint& b)
{
    return a.LatitudeDeg() == b.LatitudeDeg() && a.LongitudeDeg() == b.LongitudeDeg() && a.HeightM() == b.HeightM();
}

EnuError ErrorAgainst(const ReferencePoint& reference, const PositionEpoch& epoch)
{
    return reference.ErrorOf(epoch.latitudeDeg, epoch.longitudeDeg, epoch.heightM);
}
}  // namespace

CAccuracyWorkbench::CAccuracyWorkbench(std::size_t capacity)
    : m_series{CPositionSeries(capacity), CPositionSeries(capacity), CPositionSeries(capacity)}
{
}

bool CAccuracyWorkbench::MeanKind() const
{
    return m_choice.kind == ReferenceKind::OwnMean || m_choice.kind == ReferenceKind::SourceMean;
}

std::optional<ReferencePoint> CAccuracyWorkbench::TargetCentre(SourceId source) const
{
    std::optional<CPositionSeries::Mean> mean;
    switch (m_choice.kind)
    {
        case ReferenceKind::OwnMean:
            mean = m_series[Index(source)].MeanPosition();
            break;
        case ReferenceKind::SourceMean:
            mean = m_series[Index(m_choice.source)].MeanPosition();
            break;
        case ReferenceKind::Position:
            return ReferencePoint(m_choice.latitudeDeg, m_choice.longitudeDeg, m_choice.heightM);
        case ReferenceKind::Source:
        case ReferenceKind::Truth:
            return std::nullopt;
    }
    if (!mean)
        return std::nullopt;
    return ReferencePoint(mean->latitudeDeg, mean->longitudeDeg, mean->heightM);
}

EpochError CAccuracyWorkbench::Evaluate(SourceId source, const ErrorSet& generation, const PositionEpoch& epoch,
                                        bool force) const
{
    EpochError result;
    switch (m_choice.kind)
    {
        case ReferenceKind::OwnMean:
        case ReferenceKind::SourceMean:
        case ReferenceKind::Position:
            result.state = EpochState::EpochOnly;
            if (epoch.Fixed() && generation.centre)
                result = {ErrorAgainst(*generation.centre, epoch), EpochState::Counted};
            return result;
        case ReferenceKind::Truth:
        {
            const TruthRow* row = m_truth ? m_truth->Nearest(epoch.GpsSeconds()) : nullptr;
            if (row == nullptr)
                return result;  // left out
            result.state = EpochState::EpochOnly;
            if (epoch.Fixed())
                result = {ErrorAgainst(ReferencePoint(row->latitudeDeg, row->longitudeDeg, row->heightM), epoch),
                          EpochState::Counted};
            return result;
        }
        case ReferenceKind::Source:
        {
            const double t = epoch.GpsSeconds();
            if (!std::isfinite(t))
                return result;
            const CPositionSeries& other = m_series[Index(m_choice.source)];
            // Final once the other source has gone past the match window: no nearer epoch can come.
            const bool final =
                force || source == m_choice.source || other.NewestGpsSeconds() >= t + kTruthMatchS;
            if (!final)
            {
                result.state = EpochState::Pending;
                return result;
            }
            const PositionEpoch* match = other.NearestInTime(t, kTruthMatchS);
            if (match == nullptr || !match->Fixed())
                return result;
            result.state = EpochState::EpochOnly;
            if (epoch.Fixed())
                result = {ErrorAgainst(ReferencePoint(match->latitudeDeg, match->longitudeDeg, match->heightM), epoch),
                          EpochState::Counted};
            return result;
        }
    }
    return result;
}

void CAccuracyWorkbench::Count(ErrorSet& generation, const EpochError& error, std::uint64_t sequence, double sign)
{
    switch (error.state)
    {
        case EpochState::Counted:
            if (sign > 0)
                generation.stats.AddFix(error.error, sequence);
            else
                generation.stats.RemoveFix(error.error, sequence);
            break;
        case EpochState::EpochOnly:
            if (sign > 0)
                generation.stats.AddEpoch();
            else
                generation.stats.RemoveEpoch();
            break;
        case EpochState::LeftOut:
        case EpochState::Pending:
            break;
    }
}

void CAccuracyWorkbench::Rebuild(SourceId source, std::optional<ReferencePoint> centre)
{
    const CPositionSeries& series = m_series[Index(source)];
    Tracker& tracker = m_trackers[Index(source)];
    ErrorSet g;
    g.first = series.FirstSequence();
    g.centre = std::move(centre);
    g.id = m_nextGenerationId++;
    for (std::size_t i = 0; i < series.Size(); ++i)
    {
        const EpochError error = Evaluate(source, g, series.At(i), false);
        g.errors.push_back(error);
        Count(g, error, g.first + i, 1.0);
    }
    tracker.firstPending = g.first;
    tracker.refreshes = 0;
    tracker.active = std::move(g);
    tracker.next.reset();
    ++m_revision;
}

void CAccuracyWorkbench::StartRecentre(SourceId source, const ReferencePoint& centre)
{
    Tracker& tracker = m_trackers[Index(source)];
    tracker.refreshes = 0;
    tracker.next.emplace();
    tracker.next->first = m_series[Index(source)].FirstSequence();
    tracker.next->centre = centre;
    tracker.next->id = m_nextGenerationId++;
}

bool CAccuracyWorkbench::Continue(SourceId source, std::size_t budget)
{
    const CPositionSeries& series = m_series[Index(source)];
    Tracker& tracker = m_trackers[Index(source)];
    ErrorSet& n = *tracker.next;
    std::uint64_t cursor = n.first + n.errors.size();
    for (std::size_t k = 0; k < budget && cursor < series.EndSequence(); ++k, ++cursor)
    {
        const EpochError error = Evaluate(source, n, *series.BySequence(cursor), false);
        n.errors.push_back(error);
        Count(n, error, cursor, 1.0);
    }
    if (cursor < series.EndSequence())
        return false;
    tracker.active = std::move(n);
    tracker.next.reset();
    ++m_revision;
    return true;
}

void CAccuracyWorkbench::SettlePending(SourceId source, bool force)
{
    if (m_choice.kind != ReferenceKind::Source)
        return;
    const CPositionSeries& series = m_series[Index(source)];
    Tracker& tracker = m_trackers[Index(source)];
    ErrorSet& g = tracker.active;
    const double newest = series.NewestGpsSeconds();
    std::uint64_t sequence = std::max(tracker.firstPending, g.first);
    const std::uint64_t end = g.first + g.errors.size();
    for (; sequence < end; ++sequence)
    {
        EpochError& slot = g.errors[static_cast<std::size_t>(sequence - g.first)];
        if (slot.state != EpochState::Pending)
            continue;
        const PositionEpoch& epoch = *series.BySequence(sequence);
        const bool aged = newest - epoch.GpsSeconds() > kMatchWaitS;
        const EpochError error = Evaluate(source, g, epoch, force || aged);
        if (error.state == EpochState::Pending)
            break;
        slot = error;
        Count(g, error, sequence, 1.0);
        ++m_revision;
    }
    tracker.firstPending = sequence;
}

void CAccuracyWorkbench::DropOldest(SourceId source, std::uint64_t sequence)
{
    Tracker& tracker = m_trackers[Index(source)];
    auto drop = [sequence](ErrorSet& g) {
        if (g.first != sequence)
            return;
        if (!g.errors.empty())
        {
            Count(g, g.errors.front(), sequence, -1.0);
            g.errors.pop_front();
        }
        ++g.first;
    };
    drop(tracker.active);
    if (tracker.next)
        drop(*tracker.next);
    tracker.firstPending = std::max(tracker.firstPending, sequence + 1);
}

void CAccuracyWorkbench::SetReference(const ReferenceChoice& choice)
{
    m_choice = choice;
    for (const SourceId s : kAllSources)
        Rebuild(s, TargetCentre(s));
    for (const SourceId s : kAllSources)
        SettlePending(s, false);
}

void CAccuracyWorkbench::SetTruth(std::shared_ptr<const CTruthTable> truth)
{
    m_truth = std::move(truth);
    if (m_choice.kind == ReferenceKind::Truth)
        for (const SourceId s : kAllSources)
            Rebuild(s, std::nullopt);
    ++m_revision;
}

void CAccuracyWorkbench::AddEpoch(SourceId source, const PositionEpoch& epoch)
{
    CPositionSeries& series = m_series[Index(source)];
    Tracker& tracker = m_trackers[Index(source)];
    if (series.Full())
        DropOldest(source, series.FirstSequence());
    series.Push(epoch);
    const std::uint64_t sequence = series.EndSequence() - 1;
    const EpochError error = Evaluate(source, tracker.active, epoch, false);
    tracker.active.errors.push_back(error);
    Count(tracker.active, error, sequence, 1.0);
    if (m_choice.kind == ReferenceKind::Source)
        for (const SourceId s : kAllSources)
            SettlePending(s, false);
    ++m_revision;
}

void CAccuracyWorkbench::Refresh(std::size_t budget)
{
    if (!MeanKind())
        return;
    for (const SourceId s : kAllSources)
    {
        Tracker& tracker = m_trackers[Index(s)];
        if (tracker.next)
        {
            (void)Continue(s, budget);
            continue;
        }
        const std::optional<ReferencePoint> target = TargetCentre(s);
        if (!target)
            continue;
        const CPositionSeries& series = m_series[Index(s)];
        if (++tracker.refreshes < std::max<std::uint64_t>(1, series.Size() / kRecentreSpacing))
            continue;
        if (tracker.active.centre)
        {
            const EnuError shift =
                tracker.active.centre->ErrorOf(target->LatitudeDeg(), target->LongitudeDeg(), target->HeightM());
            const double distance = std::sqrt(shift.e * shift.e + shift.n * shift.n + shift.u * shift.u);
            const double rms = tracker.active.stats.HorizontalRms();
            const double threshold = std::max(kRecentreMinimumM, std::isfinite(rms) ? kRecentreShare * rms : 0.0);
            if (!(distance > threshold))
                continue;
        }
        StartRecentre(s, *target);
        (void)Continue(s, budget);
    }
}

void CAccuracyWorkbench::Settle()
{
    if (MeanKind())
    {
        for (const SourceId s : kAllSources)
        {
            const Tracker& tracker = m_trackers[Index(s)];
            const std::optional<ReferencePoint> target = TargetCentre(s);
            const bool same = target.has_value() == tracker.active.centre.has_value() &&
                              (!target || SamePoint(*target, *tracker.active.centre));
            if (tracker.next || !same)
                Rebuild(s, target);
        }
    }
    for (const SourceId s : kAllSources)
        SettlePending(s, true);
    ++m_revision;
}

void CAccuracyWorkbench::Reset()
{
    for (const SourceId s : kAllSources)
    {
        m_series[Index(s)].Clear();
        Rebuild(s, TargetCentre(s));
    }
}

void CAccuracyWorkbench::Reset(SourceId source)
{
    m_series[Index(source)].Clear();
    // Every source may measure against this one.
    for (const SourceId s : kAllSources)
        Rebuild(s, TargetCentre(s));
    for (const SourceId s : kAllSources)
        SettlePending(s, false);
}

AccuracyTable CAccuracyWorkbench::Table(SourceId source) const
{
    return m_trackers[Index(source)].active.stats.Table();
}

const CPositionSeries& CAccuracyWorkbench::Series(SourceId source) const
{
    return m_series[Index(source)];
}

const EpochError& CAccuracyWorkbench::ErrorAt(SourceId source, std::size_t index) const
{
    return m_trackers[Index(source)].active.errors[index];
}

std::optional<ReferencePoint> CAccuracyWorkbench::Centre(SourceId source) const
{
    return m_trackers[Index(source)].active.centre;
}

std::uint64_t CAccuracyWorkbench::Generation(SourceId source) const
{
    return m_trackers[Index(source)].active.id;
}
}  // namespace vrn::analysis
