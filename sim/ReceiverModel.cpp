// Truth, channels and measurements of the simulated receiver.
//
// Time: the receiver tags its measurements by its own clock, which runs ahead of GPS time by
// bias/c, the bias growing with the drift. Epochs are stepped in receiver time; the true GPS time
// of an epoch follows from the clock model. Pseudoranges are formed the way a receiver measures
// them: the signal left the satellite at the transmit time found by iterating the light time, the
// satellite position of that moment is turned into the earth-fixed axes of the reception moment
// (the earth rotated during the flight), and the range is offset by both clocks and delayed by the
// atmosphere. Range rates are the time derivative of the same model without the atmosphere.
#include "sim/ReceiverModel.h"

#include <algorithm>
#include <cmath>

#include "sim/Atmosphere.h"

namespace vrnsim
{
namespace
{
constexpr double kFlightGuessS = 0.075;  // for subframe timing
constexpr double kDerivativeStepS = 0.5;
constexpr double kTwoPi = 2.0 * 3.14159265358979323846;

// Inverse of a symmetric positive 4x4 matrix by Gauss-Jordan elimination; false when singular.
bool Invert4(std::array<double, 16>& m)
{
    std::array<double, 16> inv{};
    for (std::size_t i = 0; i < 4; ++i)
        inv[i * 4 + i] = 1.0;
    for (std::size_t col = 0; col < 4; ++col)
    {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < 4; ++r)
            if (std::abs(m[r * 4 + col]) > std::abs(m[pivot * 4 + col]))
                pivot = r;
        if (std::abs(m[pivot * 4 + col]) < 1e-12)
            return false;
        for (std::size_t k = 0; k < 4; ++k)
        {
            std::swap(m[col * 4 + k], m[pivot * 4 + k]);
            std::swap(inv[col * 4 + k], inv[pivot * 4 + k]);
        }
        const double d = m[col * 4 + col];
        for (std::size_t k = 0; k < 4; ++k)
        {
            m[col * 4 + k] /= d;
            inv[col * 4 + k] /= d;
        }
        for (std::size_t r = 0; r < 4; ++r)
        {
            if (r == col)
                continue;
            const double f = m[r * 4 + col];
            for (std::size_t k = 0; k < 4; ++k)
            {
                m[r * 4 + k] -= f * m[col * 4 + k];
                inv[r * 4 + k] -= f * inv[col * 4 + k];
            }
        }
    }
    m = inv;
    return true;
}
}  // namespace

int Epoch::Measured() const
{
    return static_cast<int>(
        std::count_if(channels.begin(), channels.end(), [](const ChannelOutput& c) { return c.measured; }));
}

CReceiverModel::CReceiverModel(const ReceiverOptions& options)
    : m_options(options),
      m_constellation(options.start),
      m_iono(Coefficients(m_constellation.IonoUtc())),
      m_noise(options.seed),
      m_events(options.seed ^ 0xA5A5A5A55A5A5A5AULL)
{
    m_startEcef = ToEcef(options.position);
    m_velocityEcef = FromEnu(EnuAxes(options.position), options.velocityEnu);
    std::uniform_real_distribution<double> offset(-1.5, 1.5);
    for (double& o : m_cn0Offset)
        o = offset(m_events);
    std::uniform_real_distribution<double> phase(0.0, kTwoPi);
    for (double& p : m_fixErrorPhase)
        p = phase(m_events);
    m_haveEphemeris.fill(true);  // powered up with the ephemerides of its last run
}

void CReceiverModel::Restart(StartMode mode)
{
    m_mode = mode;
    for (Channel& c : m_channels)
        c = Channel{};
    if (mode != StartMode::Hot)
        m_haveEphemeris.fill(false);
    m_forwardStoredIono = mode != StartMode::Cold;
    m_restartAt = m_tau;
    m_restarted = true;
}

AcquisitionWindow AcquisitionWindowFor(StartMode mode, bool afterCommand, double sinceStartS)
{
    if (sinceStartS >= kStartWindowS)
        return {};
    // After a start command: a hot start finds its satellites at once; a warm start knows roughly
    // where to look; a cold start searches the sky. Warm and cold then wait for each satellite's
    // ephemeris (subframes 1 to 3, 18 s of a 30 s frame) before they can use it.
    switch (mode)
    {
        case StartMode::Hot:
            return {0.5, afterCommand ? 1.0 : 2.5};  // power-up searches a little longer
        case StartMode::Warm:
            return {1.0, 3.0};
        case StartMode::Cold:
            return {8.0, 14.0};
    }
    return {};
}

double CReceiverModel::AcquisitionDelay(double tau)
{
    const AcquisitionWindow w = AcquisitionWindowFor(m_mode, m_restarted, tau - m_restartAt);
    return std::uniform_real_distribution<double>(w.lo, w.hi)(m_events);
}

bool CReceiverModel::KnowsTime(double tau) const
{
    // A hot start keeps time and ephemerides: a channel measures as soon as it locks, without
    // waiting for a subframe edge to tell the time.
    return m_restarted && m_mode == StartMode::Hot && tau - m_restartAt < kStartWindowS;
}

double CReceiverModel::Pseudorange(int prn, double tau, Vec3 rx, const Geodetic* rxGeodetic, LookAngles* look,
                                   double& flight) const
{
    const GpsTime t = AddSeconds(m_options.start, tau);
    SatelliteState s;
    Vec3 sat;
    // Two passes from a guess within a millisecond leave a light-time error far below a picosecond.
    for (int i = 0; i < 2; ++i)
    {
        s = m_constellation.TrueState(prn, AddSeconds(t, -flight));
        const double theta = kEarthRate * flight;  // the earth turned while the signal flew
        const double c = std::cos(theta), sn = std::sin(theta);
        sat = {s.position.x * c + s.position.y * sn, -s.position.x * sn + s.position.y * c, s.position.z};
        flight = Norm(sat - rx) / kSpeedOfLight;
    }
    const double bias = m_options.clockBiasM + m_options.clockDriftMps * tau;
    double pr = flight * kSpeedOfLight + bias - kSpeedOfLight * (s.clockS - m_constellation.GroupDelayS(prn));
    if (look && rxGeodetic)
    {
        *look = Look(*rxGeodetic, rx, sat);
        pr += IonosphericDelayM(m_iono, *rxGeodetic, *look, t.tow) +
              TroposphericDelayM(rxGeodetic->height, look->elevation);
    }
    return pr;
}

void CReceiverModel::Assign(double tau)
{
    const GpsTime t = m_epoch.trueTime;
    m_epoch.inView.clear();
    for (const int prn : m_constellation.Prns())
    {
        const Vec3 sat = m_constellation.TrueState(prn, t).position;
        const LookAngles look = Look(m_epoch.geodetic, m_epoch.position, sat);
        if (look.elevation <= 0.0)
            continue;
        SatelliteInView v;
        v.prn = prn;
        v.elevation = look.elevation;
        v.azimuth = look.azimuth;
        const double fluctuation = 0.4 * std::sin(tau / 37.0 + prn);
        v.cn0 = std::clamp(34.0 + 14.0 * std::pow(std::sin(look.elevation), 0.6) +
                               m_cn0Offset[static_cast<std::size_t>(prn - 1)] + fluctuation,
                           20.0, 55.0);
        m_epoch.inView.push_back(v);
    }
    auto find = [&](int prn) -> SatelliteInView*
    {
        for (SatelliteInView& v : m_epoch.inView)
            if (v.prn == prn)
                return &v;
        return nullptr;
    };

    // Keep every satellite while it stays above the mask (with half a degree of hysteresis).
    for (std::size_t k = 0; k < m_channels.size(); ++k)
    {
        Channel& ch = m_channels[k];
        if (ch.prn == 0)
            continue;
        SatelliteInView* v = find(ch.prn);
        if (!v || v->elevation < kTrackingMaskRad - 0.5 * kDegree)
            ch = Channel{};
        else
            v->channel = static_cast<int>(k);
    }
    std::vector<SatelliteInView*> candidates;
    for (SatelliteInView& v : m_epoch.inView)
        if (v.channel < 0 && v.elevation >= kTrackingMaskRad)
            candidates.push_back(&v);
    std::sort(candidates.begin(), candidates.end(),
              [](const SatelliteInView* a, const SatelliteInView* b) { return a->elevation > b->elevation; });
    std::size_t next = 0;
    for (std::size_t k = 0; k < m_channels.size() && next < candidates.size(); ++k)
    {
        Channel& ch = m_channels[k];
        if (ch.prn != 0)
            continue;
        SatelliteInView* v = candidates[next++];
        v->channel = static_cast<int>(k);
        ch.prn = v->prn;
        ch.lockAt = tau + AcquisitionDelay(tau);
        // Bit sync takes a second after lock; frame sync comes with the next subframe's TLM and HOW.
        const GpsTime bitSync = AddSeconds(m_options.start, ch.lockAt + 1.0 - kFlightGuessS);
        ch.nextSubframe = AddSeconds(GpsTime{bitSync.week, 0.0}, 6.0 * std::ceil(bitSync.tow / 6.0));
        ch.syncAt = Seconds(m_options.start, ch.nextSubframe) + 0.6 + kFlightGuessS;
        if (KnowsTime(tau))
            ch.syncAt = ch.lockAt;
        ch.collected = 0;
    }
}

// Page 18 (ionosphere and UTC) comes round only every 12.5 minutes. The receiver keeps the last
// one it demodulated and, after a hot or warm start, hands it over once together with the first
// complete ephemeris, so the host need not wait for the next broadcast. It is the subframe as it was
// broadcast, with its own (earlier) HOW time.
void CReceiverModel::ForwardStoredIonoPage(int prn, GpsTime before)
{
    m_forwardStoredIono = false;
    const GpsTime frame = AddSeconds(GpsTime{before.week, 0.0}, 30.0 * std::floor(before.tow / 30.0));
    for (int k = 1; k <= 60; ++k)
    {
        const GpsTime start = AddSeconds(frame, -30.0 * k + 18.0);
        if (PageAt(start) == 18)
        {
            m_epoch.subframes.emplace_back(prn, BuildSubframe(m_constellation, prn, start));
            return;
        }
    }
}

void CReceiverModel::Track(double tau)
{
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (std::size_t k = 0; k < m_channels.size(); ++k)
    {
        Channel& ch = m_channels[k];
        ChannelOutput& out = m_epoch.channels[k];
        out = ChannelOutput{};
        if (ch.prn == 0)
            continue;
        out.prn = ch.prn;
        for (const SatelliteInView& v : m_epoch.inView)
            if (v.prn == ch.prn)
            {
                out.elevation = v.elevation;
                out.azimuth = v.azimuth;
                out.cn0 = v.cn0;
            }
        if (tau < ch.lockAt)
        {
            out.state = kStateSearching;
            continue;
        }
        // Hand over every subframe whose last bit has arrived.
        while (Seconds(ch.nextSubframe, m_epoch.trueTime) >= 6.0 + kFlightGuessS)
        {
            const int id = SubframeIdAt(ch.nextSubframe);
            m_epoch.subframes.emplace_back(ch.prn, BuildSubframe(m_constellation, ch.prn, ch.nextSubframe));
            // Subframes 1 to 3 carry the ephemeris; their issue stays the same for hours, so they
            // may come in any order (a channel synced at subframe 2 is done after subframe 1).
            if (id >= 1 && id <= 3)
                ch.collected = static_cast<std::uint8_t>(ch.collected | 1U << (id - 1));
            if (id >= 1 && id <= 3 && ch.collected == 7)
            {
                ch.collected = 0;
                m_haveEphemeris[static_cast<std::size_t>(ch.prn - 1)] = true;
                if (m_forwardStoredIono)
                    ForwardStoredIonoPage(ch.prn, ch.nextSubframe);
            }
            ch.nextSubframe = AddSeconds(ch.nextSubframe, 6.0);
        }
        if (tau < ch.syncAt)
        {
            out.state = kStateCodeLock;
            continue;
        }
        out.state = m_haveEphemeris[static_cast<std::size_t>(ch.prn - 1)] ? kStateEphemeris : kStateFrameSync;
        out.measured = true;
        LookAngles look;
        // The light time changes by microseconds from epoch to epoch: the last one is a good guess.
        if (ch.flight == 0.0)
            ch.flight =
                Norm(m_constellation.TrueState(ch.prn, m_epoch.trueTime).position - m_epoch.position) /
                kSpeedOfLight;
        double& flight = ch.flight;
        out.pseudorangeM = Pseudorange(ch.prn, tau, m_epoch.position, &m_epoch.geodetic, &look, flight);
        const double h = kDerivativeStepS;
        double flightAhead = flight, flightBehind = flight;
        const double ahead = Pseudorange(ch.prn, tau + h, m_epoch.position + h * m_velocityEcef, nullptr,
                                         nullptr, flightAhead);
        const double behind = Pseudorange(ch.prn, tau - h, m_epoch.position - h * m_velocityEcef, nullptr,
                                          nullptr, flightBehind);
        out.rangeRateMps = (ahead - behind) / (2.0 * h);
        if (m_options.noiseM > 0.0)
        {
            out.pseudorangeM += m_options.noiseM * gauss(m_noise);
            out.rangeRateMps += 0.1 * m_options.noiseM * gauss(m_noise);
        }
    }
}

void CReceiverModel::MakeFix()
{
    ReceiverFix& fix = m_epoch.fix;
    fix = ReceiverFix{};
    std::vector<std::size_t> used;
    for (std::size_t k = 0; k < m_epoch.channels.size(); ++k)
        if (m_epoch.channels[k].measured && m_epoch.channels[k].state == kStateEphemeris)
            used.push_back(k);
    if (used.size() < 4)
        return;
    std::array<double, 16> n{};
    for (const std::size_t k : used)
    {
        const ChannelOutput& c = m_epoch.channels[k];
        const std::array<double, 4> row = {-std::cos(c.elevation) * std::sin(c.azimuth),
                                           -std::cos(c.elevation) * std::cos(c.azimuth),
                                           -std::sin(c.elevation), 1.0};
        for (std::size_t i = 0; i < 4; ++i)
            for (std::size_t j = 0; j < 4; ++j)
                n[i * 4 + j] += row[i] * row[j];
    }
    if (!Invert4(n))
        return;
    for (const std::size_t k : used)
        m_epoch.channels[k].state = kStateUsed;
    fix.valid = true;
    fix.used = static_cast<int>(used.size());
    fix.hdop = std::sqrt(std::max(0.0, n[0] + n[5]));
    fix.vdop = std::sqrt(std::max(0.0, n[10]));
    fix.pdop = std::sqrt(std::max(0.0, n[0] + n[5] + n[10]));
    fix.tdop = std::sqrt(std::max(0.0, n[15]));
    fix.gdop = std::sqrt(std::max(0.0, n[0] + n[5] + n[10] + n[15]));
    Vec3 positionError, velocityError;
    FixError(positionError, velocityError);
    fix.position = m_epoch.position + positionError;
    fix.velocity = m_epoch.velocity + velocityError;
}

void CReceiverModel::FixError(Vec3& position, Vec3& velocity) const
{
    // A slowly wandering error, bounded by kFixPositionErrorM in 3D and kFixVelocityErrorMps.
    const auto& p = m_fixErrorPhase;
    const double tau = m_tau;
    auto wave = [&](double period, double phase) { return std::sin(kTwoPi * tau / period + phase); };
    const Vec3 errorEnu = {1.4 * wave(263.0, p[0]) + 0.8 * wave(97.0, p[1]),
                           1.4 * wave(311.0, p[2]) + 0.8 * wave(131.0, p[3]),
                           2.3 * wave(419.0, p[4]) + 1.2 * wave(71.0, p[5])};
    const Vec3 velocityErrorEnu = {0.04 * wave(53.0, p[6]), 0.04 * wave(67.0, p[7]), 0.04 * wave(89.0, p[8])};
    const auto axes = EnuAxes(m_epoch.geodetic);
    position = FromEnu(axes, errorEnu);
    velocity = FromEnu(axes, velocityErrorEnu);
}

const Epoch& CReceiverModel::Step(double interval)
{
    if (m_started)
        m_receiverElapsed += interval;
    m_started = true;
    const double c = kSpeedOfLight;
    const double tau = (m_receiverElapsed - m_options.clockBiasM / c) / (1.0 + m_options.clockDriftMps / c);
    m_tau = tau;
    m_epoch.receiverTime = AddSeconds(m_options.start, m_receiverElapsed);
    m_epoch.trueTime = AddSeconds(m_options.start, tau);
    m_epoch.position = m_startEcef + tau * m_velocityEcef;
    m_epoch.velocity = m_velocityEcef;
    m_epoch.geodetic = ToGeodetic(m_epoch.position);
    m_epoch.clockBiasM = m_options.clockBiasM + m_options.clockDriftMps * tau;
    m_epoch.clockDriftMps = m_options.clockDriftMps;
    m_epoch.subframes.clear();
    Assign(tau);
    Track(tau);
    MakeFix();
    return m_epoch;
}

}  // namespace vrnsim
