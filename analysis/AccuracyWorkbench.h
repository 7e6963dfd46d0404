// The accuracy workbench: the position series of the three sources, the reference they are measured
// against, and each source's running statistics. The Statistics view and `vrnrcvr-replay --accuracy`
// both run it. Owned by one thread (the UI thread, or the tool's).
//
// References:
// - OwnMean: each source against the mean of its own fixed epochs.
// - SourceMean: every source against the mean of one chosen source.
// - Position: a typed latitude, longitude and height.
// - Source: another source at the same epoch (GPS time within 0.5 s, nearest); E/N/U in the frame at
//   that source's position. Epochs whose counterpart is missing or has no fix are left out.
// - Truth: the truth row nearest in GPS time within 0.5 s; E/N/U in the frame at the truth position.
//   Epochs without a row are left out.
// Epochs left out count nowhere, not even in `epochs`.
//
// Cost: adding an epoch is O(log n). A running mean moves with every epoch; the statistics stay on
// the mean they were centred on until it has moved by more than a small share of the scatter, then
// they are re-centred in slices of at most a given number of epochs per Refresh, so no single update
// recomputes a whole day. Settle finishes everything exactly (the tool calls it before printing).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

#include "analysis/AccuracyStatistics.h"
#include "analysis/PositionSeries.h"
#include "analysis/TruthTable.h"

namespace vrn::analysis
{
enum class ReferenceKind : std::uint8_t
{
    OwnMean,
    SourceMean,
    Position,
    Source,
    Truth
};

struct ReferenceChoice
{
    ReferenceKind kind = ReferenceKind::OwnMean;
    SourceId source = SourceId::Receiver1;  // SourceMean and Source
    double latitudeDeg = 0.0, longitudeDeg = 0.0, heightM = 0.0;  // Position
};

// How an epoch counts in its source's table.
enum class EpochState : std::uint8_t
{
    LeftOut,    // no reference for it: counts nowhere
    Pending,    // its counterpart in the reference source may still arrive
    EpochOnly,  // counts in `epochs` only (no fix, or no reference point yet)
    Counted     // a fixed epoch with its error
};

struct EpochError
{
    EnuError error;
    EpochState state = EpochState::LeftOut;
};

namespace detail
{
// The errors of one source against one reference (point), aligned with its series.
struct ErrorSet
{
    std::deque<EpochError> errors;  // errors[i] belongs to the epoch of sequence first + i
    std::uint64_t first = 0;
    CErrorStatistics stats;
    std::optional<ReferencePoint> centre;
    std::uint64_t id = 0;
};
struct Tracker
{
    ErrorSet active;
    std::optional<ErrorSet> next;  // a re-centre in progress
    std::uint64_t firstPending = 0;  // Source reference: first epoch that may still be pending
    std::uint64_t refreshes = 0;     // Refresh calls since the last re-centre began
};
}  // namespace detail

// Epochs per source a Refresh re-centres at most.
inline constexpr std::size_t kRefreshBudget = 100;
// A running mean re-centres once it has moved by this share of the horizontal RMS, or at least by
// kRecentreMinimumM, and no sooner than after as many Refresh calls as 1/kRecentreSpacing of the
// epochs held (so re-centring costs at most kRecentreSpacing epochs' work per Refresh on average).
inline constexpr double kRecentreShare = 0.005;
inline constexpr double kRecentreMinimumM = 0.001;
inline constexpr std::uint64_t kRecentreSpacing = 8;
// A Source-reference epoch waits this long (its own source's time) for its counterpart.
inline constexpr double kMatchWaitS = 5.0;

class CAccuracyWorkbench
{
public:
    // `capacity` epochs per source (kUnbounded for a tool that keeps a whole recording).
    explicit CAccuracyWorkbench(std::size_t capacity = kDefaultCapacity);

    // Takes a new reference and recomputes every source at once.
    void SetReference(const ReferenceChoice& choice);
    [[nodiscard]] const ReferenceChoice& Reference() const { return m_choice; }
    // The truth rows of the Truth reference; null leaves every epoch out. Recomputes when in use.
    void SetTruth(std::shared_ptr<const CTruthTable> truth);
    [[nodiscard]] const CTruthTable* Truth() const { return m_truth.get(); }

    void AddEpoch(SourceId source, const PositionEpoch& epoch);
    // Re-centres moved running means by at most `budget` epochs per source.
    void Refresh(std::size_t budget = kRefreshBudget);
    // Brings every table to its exact state: running means re-centred on the current mean, epochs
    // waiting for a counterpart settled with what there is.
    void Settle();
    // Forgets every epoch (the reference and the truth stay).
    void Reset();
    // Forgets the epochs of one source (its stream started over).
    void Reset(SourceId source);

    [[nodiscard]] AccuracyTable Table(SourceId source) const;
    [[nodiscard]] const CPositionSeries& Series(SourceId source) const;
    // How epoch `index` of the source's series (0 the oldest) counts now.
    [[nodiscard]] const EpochError& ErrorAt(SourceId source, std::size_t index) const;
    // Calls visit(error) for every epoch of the source, oldest first.
    template <typename Visit>
    void ForEachError(SourceId source, Visit&& visit) const
    {
        for (const EpochError& error : m_trackers[Index(source)].active.errors)
            visit(error);
    }
    // Calls visit(epoch, error) for every epoch of the source, oldest first.
    template <typename Visit>
    void ForEachEpoch(SourceId source, Visit&& visit) const
    {
        auto error = m_trackers[Index(source)].active.errors.begin();
        m_series[Index(source)].ForEach([&](const PositionEpoch& epoch) { visit(epoch, *error++); });
    }
    // The point a mean or typed reference measures the source from; empty for the other kinds or
    // before the first fix.
    [[nodiscard]] std::optional<ReferencePoint> Centre(SourceId source) const;
    // Changes whenever anything a view shows may have changed.
    [[nodiscard]] std::uint64_t Revision() const { return m_revision; }
    // Changes when the source's errors were recomputed as a whole (a new reference or centre).
    [[nodiscard]] std::uint64_t Generation(SourceId source) const;

private:
    using ErrorSet = detail::ErrorSet;
    using Tracker = detail::Tracker;

    [[nodiscard]] bool MeanKind() const;
    [[nodiscard]] std::optional<ReferencePoint> TargetCentre(SourceId source) const;
    [[nodiscard]] EpochError Evaluate(SourceId source, const ErrorSet& generation, const PositionEpoch& epoch,
                                      bool force) const;
    static void Count(ErrorSet& generation, const EpochError& error, std::uint64_t sequence, double sign);
    void Rebuild(SourceId source, std::optional<ReferencePoint> centre);
    // Continues the tracker's re-centre by `budget` epochs; true when it has finished.
    bool Continue(SourceId source, std::size_t budget);
    void StartRecentre(SourceId source, const ReferencePoint& centre);
    void SettlePending(SourceId source, bool force);
    void DropOldest(SourceId source, std::uint64_t sequence);

    ReferenceChoice m_choice;
    std::shared_ptr<const CTruthTable> m_truth;
    std::array<CPositionSeries, kSourceCount> m_series;
    std::array<Tracker, kSourceCount> m_trackers;
    std::uint64_t m_revision = 0;
    std::uint64_t m_nextGenerationId = 1;
};
}  // namespace vrn::analysis
