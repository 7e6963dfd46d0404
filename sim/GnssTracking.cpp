// Satellites in view, tracking and the combined fix of the multi-constellation receiver.
#include "sim/GnssTracking.h"

#include <algorithm>
#include <cmath>

namespace vrnsim
{
namespace
{
constexpr double kHysteresisRad = 0.5 * kDegree;  // a tracked satellite is kept this far below the mask
constexpr std::size_t kMaxUnknowns = 3 + kGnssSystemCount;

// GPS satellites of blocks IIF and III, which send L5.
constexpr std::array<int, 16> kGpsL5 = {1, 3, 6, 8, 9, 10, 11, 14, 18, 23, 24, 25, 26, 27, 28, 30};

// Inverse of a symmetric positive n x n matrix (row-major, n <= kMaxUnknowns) by Gauss-Jordan
// elimination with partial pivoting; false when singular.
bool Invert(std::array<double, kMaxUnknowns * kMaxUnknowns>& m, std::size_t n)
{
    std::array<double, kMaxUnknowns * kMaxUnknowns> inv{};
    for (std::size_t i = 0; i < n; ++i)
        inv[i * n + i] = 1.0;
    for (std::size_t col = 0; col < n; ++col)
    {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < n; ++r)
            if (std::abs(m[r * n + col]) > std::abs(m[pivot * n + col]))
                pivot = r;
        if (std::abs(m[pivot * n + col]) < 1e-12)
            return false;
        for (std::size_t k = 0; k < n; ++k)
        {
            std::swap(m[col * n + k], m[pivot * n + k]);
            std::swap(inv[col * n + k], inv[pivot * n + k]);
        }
        const double d = m[col * n + col];
        for (std::size_t k = 0; k < n; ++k)
        {
            m[col * n + k] /= d;
            inv[col * n + k] /= d;
        }
        for (std::size_t r = 0; r < n; ++r)
        {
            if (r == col)
                continue;
            const double f = m[r * n + col];
            for (std::size_t k = 0; k < n; ++k)
            {
                m[r * n + k] -= f * m[col * n + k];
                inv[r * n + k] -= f * inv[col * n + k];
            }
        }
    }
    m = inv;
    return true;
}

// The signal level law of the receiver model, with an allowance for the system and orbit.
double SignalLevel(double elevation, double offset)
{
    return std::clamp(34.0 + 14.0 * std::pow(std::sin(std::max(0.0, elevation)), 0.6) + offset, 20.0, 55.0);
}

double SystemOffset(const GnssSatellite& s)
{
    switch (s.system)
    {
        case GnssSystem::Glonass:
            return -1.5;
        case GnssSystem::Galileo:
            return -0.5;
        case GnssSystem::BeiDou:
            return s.orbitClass == OrbitClass::Geo ? -3.0 : s.orbitClass == OrbitClass::Igso ? -1.5 : -0.5;
        default:
            return 0.0;
    }
}

constexpr double kSecondSignalGain = 2.0;  // L5 and E5a arrive a little stronger than L1 and E1
}  // namespace

SignalPlan SignalsOf(GnssSystem system)
{
    switch (system)
    {
        case GnssSystem::Gps:
        case GnssSystem::Qzss:
            return {2, {1, 7}};
        case GnssSystem::Galileo:
            return {2, {7, 1}};
        case GnssSystem::Glonass:
        case GnssSystem::BeiDou:
            return {1, {1, 0}};
    }
    return {};
}

bool SendsSignal(GnssSystem system, int number, std::size_t index)
{
    if (index >= SignalsOf(system).count)
        return false;
    if (system == GnssSystem::Gps && index == 1)
        return std::find(kGpsL5.begin(), kGpsL5.end(), number) != kGpsL5.end();
    return true;
}

CGnssTracker::CGnssTracker(GnssSet systems, std::uint64_t seed)
    : m_systems(systems), m_events(seed ^ 0x6E55C0DE17A5E5EDULL)
{
    std::uniform_real_distribution<double> offset(-1.5, 1.5);
    for (std::size_t i = 0; i < kGnssSystemCount; ++i)
    {
        const auto system = static_cast<GnssSystem>(i);
        if (!Has(systems, system))
            continue;
        for (const GnssSatellite& s : MakeSatellites(system))
        {
            Track t;
            t.satellite = s;
            t.cn0Offset = offset(m_events) + SystemOffset(s);
            m_tracks.push_back(t);
        }
    }
}

void CGnssTracker::Restart(StartMode mode)
{
    m_mode = mode;
    m_restartAt = m_now;
    m_restarted = true;
    for (Track& t : m_tracks)
    {
        t.acquiring = false;
        if (mode != StartMode::Hot)
            t.haveEphemeris = false;
    }
}

double CGnssTracker::AcquisitionDelay()
{
    // The receiver model's windows: a rising satellite while navigating, or the first minute after
    // power-up or a start.
    const AcquisitionWindow w = AcquisitionWindowFor(m_mode, m_restarted, m_now - m_restartAt);
    return std::uniform_real_distribution<double>(w.lo, w.hi)(m_events);
}

double CGnssTracker::EphemerisDelay(const GnssSatellite& s)
{
    // One navigation-message frame: the geostationary BeiDou satellites repeat theirs every 6 s,
    // everything else within 30 s, after the first complete string or page.
    const bool fast = s.system == GnssSystem::BeiDou && s.orbitClass == OrbitClass::Geo;
    return std::uniform_real_distribution<double>(fast ? 6.0 : 18.0, fast ? 12.0 : 36.0)(m_events);
}

const GnssEpoch& CGnssTracker::Step(const CReceiverModel& model)
{
    const Epoch& e = model.Last();
    if (!m_started)
    {
        m_first = e.trueTime;
        m_started = true;
    }
    m_now = Seconds(m_first, e.trueTime);
    m_epoch.satellites.clear();
    if (Has(m_systems, GnssSystem::Gps))
        AddGps(e);
    AddOthers(e);
    MakeFix(model);
    return m_epoch;
}

void CGnssTracker::AddGps(const Epoch& e)
{
    for (const SatelliteInView& v : e.inView)
    {
        GnssSatelliteView s;
        s.system = GnssSystem::Gps;
        s.number = v.prn;
        s.elevation = v.elevation;
        s.azimuth = v.azimuth;
        if (v.channel >= 0)
        {
            const ChannelOutput& c = e.channels[static_cast<std::size_t>(v.channel)];
            if (c.state >= kStateCodeLock)
            {
                s.cn0[0] = v.cn0;
                if (SendsSignal(GnssSystem::Gps, v.prn, 1))
                    s.cn0[1] = std::min(55.0, v.cn0 + kSecondSignalGain);
            }
            s.used = c.measured && c.state >= kStateEphemeris;  // a candidate until the fix decides
        }
        m_epoch.satellites.push_back(s);
    }
}

void CGnssTracker::AddOthers(const Epoch& e)
{
    const auto axes = EnuAxes(e.geodetic);
    for (Track& t : m_tracks)
    {
        const GnssSatellite& sat = t.satellite;
        const LookAngles look = Look(axes, e.position, OrbitPosition(sat.orbit, e.trueTime));
        if (!t.acquiring && look.elevation >= kTrackingMaskRad)
        {
            t.acquiring = true;
            t.lockAt = m_now + AcquisitionDelay();
            t.ephemerisAt = t.haveEphemeris ? t.lockAt : t.lockAt + EphemerisDelay(sat);
        }
        else if (t.acquiring && look.elevation < kTrackingMaskRad - kHysteresisRad)
            t.acquiring = false;
        const bool locked = t.acquiring && m_now >= t.lockAt;
        if (locked && m_now >= t.ephemerisAt)
            t.haveEphemeris = true;
        if (look.elevation <= 0.0)
            continue;

        GnssSatelliteView s;
        s.system = sat.system;
        s.number = sat.number;
        s.elevation = look.elevation;
        s.azimuth = look.azimuth;
        if (locked)
        {
            const double fluctuation = 0.4 * std::sin(m_now / 37.0 + sat.number +
                                                      7.0 * static_cast<double>(SystemIndex(sat.system)));
            const SignalPlan plan = SignalsOf(sat.system);
            for (std::size_t k = 0; k < plan.count; ++k)
                if (SendsSignal(sat.system, sat.number, k))
                    s.cn0[k] = SignalLevel(look.elevation,
                                           t.cn0Offset + fluctuation + (k > 0 ? kSecondSignalGain : 0.0));
            s.used = t.haveEphemeris;
        }
        m_epoch.satellites.push_back(s);
    }
}

void CGnssTracker::MakeFix(const CReceiverModel& model)
{
    GnssFix& fix = m_epoch.fix;
    fix = GnssFix{};
    // Unknowns: east, north, up, and one clock offset per system that has a satellite in the fix.
    std::array<int, kGnssSystemCount> column{};
    column.fill(-1);
    std::size_t unknowns = 3;
    int candidates = 0;
    for (const GnssSatelliteView& s : m_epoch.satellites)
        if (s.used)
        {
            ++candidates;
            int& c = column[SystemIndex(s.system)];
            if (c < 0)
                c = static_cast<int>(unknowns++);
        }
    std::array<double, kMaxUnknowns * kMaxUnknowns> n{};
    bool solvable = candidates >= 4 && static_cast<std::size_t>(candidates) >= unknowns;
    if (solvable)
    {
        std::array<double, kMaxUnknowns> row{};
        for (const GnssSatelliteView& s : m_epoch.satellites)
        {
            if (!s.used)
                continue;
            row.fill(0.0);
            row[0] = -std::cos(s.elevation) * std::sin(s.azimuth);
            row[1] = -std::cos(s.elevation) * std::cos(s.azimuth);
            row[2] = -std::sin(s.elevation);
            row[static_cast<std::size_t>(column[SystemIndex(s.system)])] = 1.0;
            for (std::size_t i = 0; i < unknowns; ++i)
                for (std::size_t j = 0; j < unknowns; ++j)
                    n[i * unknowns + j] += row[i] * row[j];
        }
        solvable = Invert(n, unknowns);
    }
    if (!solvable)
    {
        for (GnssSatelliteView& s : m_epoch.satellites)
            s.used = false;
        return;
    }
    const std::size_t u = unknowns;
    fix.valid = true;
    fix.used = candidates;
    for (const GnssSatelliteView& s : m_epoch.satellites)
        if (s.used)
            ++fix.usedBySystem[SystemIndex(s.system)];
    fix.hdop = std::sqrt(std::max(0.0, n[0] + n[u + 1]));
    fix.vdop = std::sqrt(std::max(0.0, n[2 * u + 2]));
    fix.pdop = std::sqrt(std::max(0.0, n[0] + n[u + 1] + n[2 * u + 2]));
    Vec3 positionError, velocityError;
    model.FixError(positionError, velocityError);
    const Epoch& e = model.Last();
    fix.position = e.position + positionError;
    fix.velocity = e.velocity + velocityError;
}

}  // namespace vrnsim
