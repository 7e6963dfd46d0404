// Position series and the epochs made of receiver fix reports; see the header.
#include "analysis/PositionSeries.h"

#include <algorithm>
#include <cmath>

namespace vrn::analysis
{
namespace
{
constexpr double kSameTimeS = 1e-3;  // reports this close in time belong to one epoch

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? static_cast<unsigned>(-3) : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Seconds since 1970 of a "ddmmyy" date and a time of day; NaN when either is missing or malformed.
double UtcSeconds(const std::array<char, 8>& date, double secondsOfDay)
{
    if (!std::isfinite(secondsOfDay) || secondsOfDay < 0.0 || secondsOfDay >= 86'401.0)
        return kNoValue;
    std::array<unsigned, 6> digits{};
    for (std::size_t i = 0; i < digits.size(); ++i)
    {
        const char c = date[i];
        if (c < '0' || c > '9')
            return kNoValue;
        digits[i] = static_cast<unsigned>(c - '0');
    }
    const unsigned day = digits[0] * 10 + digits[1];
    const unsigned month = digits[2] * 10 + digits[3];
    const unsigned yy = digits[4] * 10 + digits[5];
    if (day < 1 || day > 31 || month < 1 || month > 12)
        return kNoValue;
    const std::int64_t year = yy < 80 ? 2000 + yy : 1900 + yy;  // two-digit years: 1980..2079
    return static_cast<double>(DaysFromCivil(year, month, day)) * 86'400.0 + secondsOfDay;
}

bool SameTime(const ReceiverFix& a, const ReceiverFix& b)
{
    if (a.gpsWeek >= 0 && b.gpsWeek >= 0 && std::isfinite(a.gpsTimeOfWeekS) && std::isfinite(b.gpsTimeOfWeekS))
        return a.gpsWeek == b.gpsWeek && std::fabs(a.gpsTimeOfWeekS - b.gpsTimeOfWeekS) < kSameTimeS;
    if (std::isfinite(a.utcSecondsOfDay) && std::isfinite(b.utcSecondsOfDay))
        return std::fabs(a.utcSecondsOfDay - b.utcSecondsOfDay) < kSameTimeS;
    return false;
}

bool PositionComplete(double latitudeDeg, double longitudeDeg, double heightM)
{
    return std::isfinite(latitudeDeg) && std::isfinite(longitudeDeg) && std::isfinite(heightM) &&
           std::fabs(latitudeDeg) <= 90.0 && std::fabs(longitudeDeg) <= 360.0;
}
}  // namespace

std::string_view SourceName(SourceId source)
{
    switch (source)
    {
        case SourceId::Receiver1:
            return "receiver1";
        case SourceId::Receiver2:
            return "receiver2";
        case SourceId::Own:
            return "own";
    }
    return "own";
}

std::string_view SourceLabel(SourceId source)
{
    switch (source)
    {
        case SourceId::Receiver1:
            return "Receiver 1";
        case SourceId::Receiver2:
            return "Receiver 2";
        case SourceId::Own:
            return "Own fix";
    }
    return "Own fix";
}

bool PositionEpoch::Fixed() const
{
    return fixMode > kFixNone && PositionComplete(latitudeDeg, longitudeDeg, heightM);
}

double PositionEpoch::GpsSeconds() const
{
    if (gpsWeek < 0 || !std::isfinite(gpsTowS))
        return kNoValue;
    return static_cast<double>(gpsWeek) * kSecondsPerWeek + gpsTowS;
}

// ---- the ring ----

CPositionSeries::CPositionSeries(std::size_t capacity) : m_capacity(std::max<std::size_t>(capacity, 1)) {}

double CPositionSeries::UnwrappedLongitude(double longitudeDeg) const
{
    double d = std::remainder(longitudeDeg - m_longitudeAnchor, 360.0);
    return m_longitudeAnchor + d;
}

void CPositionSeries::Account(const PositionEpoch& epoch, double sign)
{
    if (!epoch.Fixed())
        return;
    if (!std::isfinite(m_longitudeAnchor))
        m_longitudeAnchor = epoch.longitudeDeg;
    m_sums[0].Add(sign * epoch.latitudeDeg);
    m_sums[1].Add(sign * UnwrappedLongitude(epoch.longitudeDeg));
    m_sums[2].Add(sign * epoch.heightM);
    if (sign > 0)
        ++m_fixedCount;
    else
        --m_fixedCount;
    if (m_fixedCount == 0)
    {
        m_sums = {};
        m_longitudeAnchor = kNoValue;
    }
}

void CPositionSeries::Push(const PositionEpoch& epoch)
{
    if (m_items.size() < m_capacity)
    {
        m_items.push_back(epoch);
    }
    else
    {
        Account(m_items[m_head], -1.0);
        m_items[m_head] = epoch;
        m_head = (m_head + 1) % m_items.size();
    }
    Account(epoch, 1.0);
    if (const double t = epoch.GpsSeconds(); std::isfinite(t))
        m_newestGps = t;
    ++m_end;
}

void CPositionSeries::Clear()
{
    m_items.clear();
    m_head = 0;
    m_sums = {};
    m_fixedCount = 0;
    m_longitudeAnchor = kNoValue;
    m_newestGps = kNoValue;
    // Sequence numbers go on, so nothing aligned with the old epochs can be mistaken for new ones.
}

const PositionEpoch& CPositionSeries::At(std::size_t index) const
{
    std::size_t at = m_head + index;
    if (at >= m_items.size())
        at -= m_items.size();
    return m_items[at];
}

const PositionEpoch* CPositionSeries::BySequence(std::uint64_t sequence) const
{
    if (sequence < FirstSequence() || sequence >= m_end)
        return nullptr;
    return &At(static_cast<std::size_t>(sequence - FirstSequence()));
}

const PositionEpoch* CPositionSeries::NearestInTime(double gpsSeconds, double maxGapS) const
{
    if (!std::isfinite(gpsSeconds) || m_items.empty())
        return nullptr;
    // First epoch not earlier than the time (epochs without a time sort as late).
    std::size_t lo = 0, hi = m_items.size();
    while (lo < hi)
    {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (At(mid).GpsSeconds() < gpsSeconds)
            lo = mid + 1;
        else
            hi = mid;
    }
    const PositionEpoch* best = nullptr;
    double bestGap = maxGapS;
    for (const std::size_t i : {lo, lo - 1})  // lo - 1 wraps to a huge index when lo is 0
    {
        if (i >= m_items.size())
            continue;
        const double gap = std::fabs(At(i).GpsSeconds() - gpsSeconds);
        if (gap <= bestGap)
        {
            best = &At(i);
            bestGap = gap;
        }
    }
    return best;
}

std::optional<CPositionSeries::Mean> CPositionSeries::MeanPosition() const
{
    if (m_fixedCount == 0)
        return std::nullopt;
    const auto n = static_cast<double>(m_fixedCount);
    double longitude = m_sums[1].Value() / n;
    longitude = std::remainder(longitude, 360.0);  // back into -180 .. 180
    return Mean{m_sums[0].Value() / n, longitude, m_sums[2].Value() / n};
}

// ---- epochs from fix reports ----

PositionEpoch CEpochBuilder::FromFix(const ReceiverFix& fix, int leapSeconds)
{
    PositionEpoch e;
    e.latitudeDeg = fix.latitudeDeg;
    e.longitudeDeg = fix.longitudeDeg;
    if (std::isfinite(fix.heightEllipsoidM))
        e.heightM = fix.heightEllipsoidM;
    else if (std::isfinite(fix.altitudeMslM) && std::isfinite(fix.geoidSeparationM))
        e.heightM = fix.altitudeMslM + fix.geoidSeparationM;
    else
        e.heightM = fix.altitudeMslM;

    if (fix.quality == 0 || fix.fixMode == 1)
        e.fixMode = kFixNone;
    else if (fix.fixMode == 2 || fix.fixMode == 3)
        e.fixMode = fix.fixMode;
    else
        e.fixMode = kFixUnknownDimension;  // mode not reported; a quality above 0 or a bare position
    if (!PositionComplete(e.latitudeDeg, e.longitudeDeg, e.heightM))
        e.fixMode = kFixNone;

    e.satsUsed = fix.satsUsed;
    e.hdop = fix.hdop;
    const double leap = static_cast<double>(leapSeconds);
    e.utcS = UtcSeconds(fix.date, fix.utcSecondsOfDay);
    if (fix.gpsWeek >= 0 && std::isfinite(fix.gpsTimeOfWeekS))
    {
        e.gpsWeek = fix.gpsWeek;
        e.gpsTowS = fix.gpsTimeOfWeekS;
        if (!std::isfinite(e.utcS))
            e.utcS = kGpsEpochUnixS + e.GpsSeconds() - leap;
    }
    else if (std::isfinite(e.utcS))
    {
        const double gps = e.utcS - kGpsEpochUnixS + leap;
        if (gps >= 0.0)
        {
            e.gpsWeek = static_cast<int>(std::floor(gps / kSecondsPerWeek));
            e.gpsTowS = gps - static_cast<double>(e.gpsWeek) * kSecondsPerWeek;
        }
    }
    return e;
}

bool CEpochBuilder::HasFixNow(const ReceiverFix& fix)
{
    // An estimated (dead-reckoned) or missing position is no fix, whatever the last mode was.
    if (fix.quality == 0 || fix.fixMode == 1 || fix.modeIndicator == 'E' || fix.modeIndicator == 'N')
        return false;
    if (!std::isfinite(fix.latitudeDeg) || !std::isfinite(fix.longitudeDeg))
        return false;
    return fix.fixMode >= 2 || fix.quality > 0 || fix.quality < 0;
}

std::optional<PositionEpoch> CEpochBuilder::Offer(const ReceiverFix& fix)
{
    if (fix.sequence == m_lastSequence)
    {
        // No new position report: a later sentence or record of the same epoch (GSA, DOP).
        if (m_pending)
            *m_pending = fix;
        return std::nullopt;
    }
    m_lastSequence = fix.sequence;
    if (m_pending && SameTime(*m_pending, fix))
    {
        *m_pending = fix;
        return std::nullopt;
    }
    std::optional<PositionEpoch> done;
    if (m_pending)
        done = FromFix(*m_pending, m_leapSeconds);
    m_pending = fix;
    return done;
}

std::optional<PositionEpoch> CEpochBuilder::Flush()
{
    std::optional<PositionEpoch> done;
    if (m_pending)
        done = FromFix(*m_pending, m_leapSeconds);
    m_pending.reset();
    return done;
}

void CEpochBuilder::Reset()
{
    m_pending.reset();
    m_lastSequence = 0;
}
}  // namespace vrn::analysis
