// Position series of the accuracy analysis: the three sources (receiver 1, receiver 2, the own fix),
// one epoch per position report, in a ring that drops the oldest epoch once it is full. Also the
// turning of a receiver fix report into an epoch, with the merging of the several sentences or
// records that make up one epoch. No state beyond the values; owned by one thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "analysis/CompensatedSum.h"
#include "protocol/ReceiverFix.h"

namespace vrn::analysis
{
enum class SourceId : std::uint8_t
{
    Receiver1 = 0,
    Receiver2 = 1,
    Own = 2
};
inline constexpr std::size_t kSourceCount = 3;
inline constexpr std::array<SourceId, kSourceCount> kAllSources{SourceId::Receiver1, SourceId::Receiver2,
                                                                SourceId::Own};
[[nodiscard]] constexpr std::size_t Index(SourceId source) { return static_cast<std::size_t>(source); }
// "receiver1", "receiver2", "own": the names of the tool's output and of the export files.
[[nodiscard]] std::string_view SourceName(SourceId source);
// "Receiver 1", "Receiver 2", "Own fix": the names the view shows.
[[nodiscard]] std::string_view SourceLabel(SourceId source);

// 24 hours at one epoch per second.
inline constexpr std::size_t kDefaultCapacity = 86'400;
inline constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();

inline constexpr double kSecondsPerWeek = 604'800.0;
inline constexpr double kGpsEpochUnixS = 315'964'800.0;  // 1980-01-06 00:00:00 UTC
inline constexpr int kDefaultLeapSeconds = 18;           // GPS - UTC since 2017

// Fix modes of an epoch: none, a fix of unknown dimension, 2D, 3D.
inline constexpr int kFixNone = 0;
inline constexpr int kFixUnknownDimension = 1;
inline constexpr int kFix2D = 2;
inline constexpr int kFix3D = 3;

struct PositionEpoch
{
    int gpsWeek = -1;          // full GPS week; < 0 when unknown
    double gpsTowS = kNoValue;  // time of week, s
    double utcS = kNoValue;     // seconds since 1970-01-01 00:00:00 UTC; NaN when unknown
    double latitudeDeg = kNoValue;
    double longitudeDeg = kNoValue;
    double heightM = kNoValue;  // above the WGS-84 ellipsoid (above mean sea level when no separation is known)
    int fixMode = kFixNone;
    int satsUsed = -1;  // -1 unknown
    double hdop = kNoValue;

    // A fix (mode above 0) with a finite position: the epochs every figure but the epoch count uses.
    [[nodiscard]] bool Fixed() const;
    // Seconds since the GPS epoch; NaN when the GPS time is unknown.
    [[nodiscard]] double GpsSeconds() const;
};

// A ring of epochs. Every epoch keeps an absolute sequence number (0 for the first ever pushed), so
// other rings can stay aligned with this one.
class CPositionSeries
{
public:
    explicit CPositionSeries(std::size_t capacity = kDefaultCapacity);

    // Appends `epoch`; a full ring drops its oldest epoch first.
    void Push(const PositionEpoch& epoch);
    void Clear();

    [[nodiscard]] std::size_t Size() const { return m_items.size(); }
    [[nodiscard]] bool Empty() const { return m_items.empty(); }
    [[nodiscard]] std::size_t Capacity() const { return m_capacity; }
    [[nodiscard]] bool Full() const { return m_items.size() == m_capacity; }
    // Epoch `index`, 0 the oldest; `index` < Size().
    [[nodiscard]] const PositionEpoch& At(std::size_t index) const;
    [[nodiscard]] const PositionEpoch& Back() const { return At(Size() - 1); }
    // Sequence number of At(0), and one past that of Back().
    [[nodiscard]] std::uint64_t FirstSequence() const { return m_end - m_items.size(); }
    [[nodiscard]] std::uint64_t EndSequence() const { return m_end; }
    // Null when the epoch has been dropped or not yet pushed.
    [[nodiscard]] const PositionEpoch* BySequence(std::uint64_t sequence) const;
    // Calls visit(epoch) for every epoch, oldest first (faster than At over a whole day).
    template <typename Visit>
    void ForEach(Visit&& visit) const
    {
        for (std::size_t i = m_head; i < m_items.size(); ++i)
            visit(m_items[i]);
        for (std::size_t i = 0; i < m_head; ++i)
            visit(m_items[i]);
    }

    // The epoch whose GPS time is nearest to `gpsSeconds`, no farther than `maxGapS`; null when there
    // is none. A binary search: meant for the ascending times of one stream.
    [[nodiscard]] const PositionEpoch* NearestInTime(double gpsSeconds, double maxGapS) const;
    // GPS time of the newest epoch that had one; NaN when none had.
    [[nodiscard]] double NewestGpsSeconds() const { return m_newestGps; }

    // Mean latitude, longitude and height of the fixed epochs (longitudes taken on the side of the
    // first fixed one, so a track across 180 degrees averages sensibly); empty without a fixed epoch.
    struct Mean
    {
        double latitudeDeg, longitudeDeg, heightM;
    };
    [[nodiscard]] std::optional<Mean> MeanPosition() const;
    [[nodiscard]] std::uint64_t FixedCount() const { return m_fixedCount; }

private:
    void Account(const PositionEpoch& epoch, double sign);
    [[nodiscard]] double UnwrappedLongitude(double longitudeDeg) const;

    std::size_t m_capacity;
    std::vector<PositionEpoch> m_items;
    std::size_t m_head = 0;  // storage index of At(0) once the ring is full
    std::uint64_t m_end = 0;
    std::array<CompensatedSum, 3> m_sums{};
    std::uint64_t m_fixedCount = 0;
    double m_longitudeAnchor = kNoValue;
    double m_newestGps = kNoValue;
};

// Epochs from receiver fix reports. A receiver reports one epoch in several pieces (GGA, GSA, RMC
// sentences; NAV and DOP records): reports with the same time, or the same report sequence, refine
// the epoch being built; the next report with another time completes it. The own fix, one report per
// navigation epoch, goes through FromFix directly.
class CEpochBuilder
{
public:
    // The epoch of a report: fixed when the fix mode says 2D or 3D (or, with the mode unknown, the
    // quality says a fix) and the position is complete. UTC from the report's date and time of day,
    // else from the GPS time less `leapSeconds`; GPS time from the report.
    [[nodiscard]] static PositionEpoch FromFix(const ReceiverFix& fix, int leapSeconds = kDefaultLeapSeconds);
    // Whether the report says the receiver has a valid fix now (a fix mode of 2D or 3D or a quality
    // above 0; no quality of 0, no mode indicator 'E' estimated or 'N' none): what the time to first
    // fix waits for.
    [[nodiscard]] static bool HasFixNow(const ReceiverFix& fix);

    // Takes the record set's fix after each record or sentence; returns the previous epoch when this
    // report starts a new one.
    std::optional<PositionEpoch> Offer(const ReceiverFix& fix);
    // The epoch being built, if any (the end of a stream).
    std::optional<PositionEpoch> Flush();
    // Forgets the epoch being built and the report numbering (a new start of the port).
    void Reset();
    // GPS - UTC for the reports that give only one of the two times.
    void SetLeapSeconds(int seconds) { m_leapSeconds = seconds; }

private:
    std::optional<ReceiverFix> m_pending;
    std::uint32_t m_lastSequence = 0;  // 0: no position report seen yet
    int m_leapSeconds = kDefaultLeapSeconds;
};
}  // namespace vrn::analysis
