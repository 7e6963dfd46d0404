// Test-side generator of a consistent raw-measurement epoch series for a receiver at a known place:
// a 30-satellite constellation with harmonic terms and clock polynomials, broadcast as subframes,
// pseudoranges from light-time geometry with earth rotation, satellite clocks from the broadcast
// clock model written out here, the engine's own ionospheric and tropospheric models and a
// drifting receiver clock, and measurement time tags that step inside the continuity window.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "NavEncoding.h"
#include "nav/NavEngine.h"

namespace navtest
{
inline constexpr double kC = 299792458.0;
inline constexpr double kEarthRate = 7.2921151467e-5;

struct ScenarioConfig
{
    double latitude = 0.83;   // rad
    double longitude = 0.21;  // rad
    double height = 310.0;    // m
    Triple velocityEnu{};     // m/s
    int week = 2345;
    double startTime = 309600.0 + 1234.5;  // true GPS time of the first epoch, s
    double step = 0.9995;                  // true seconds between epochs
    double clockBias = 25000.0;            // receiver clock at start, m
    double clockDrift = 45.0;              // m/s
    std::size_t maxChannels = 12;
    double elevationMask = 0.09;  // rad
};

struct ScenarioEpoch
{
    double trueTime = 0.0;
    Triple truth{};  // ECEF receiver position
    std::vector<SubframeRecord> subframes;
    SatDataRecord satData{};
    MeasRecord meas{};
};

class Scenario
{
public:
    explicit Scenario(const ScenarioConfig& config) : m_config(config)
    {
        BuildConstellation();
        m_enu = LocalFrameMatrix(config.latitude, config.longitude);
        m_origin = GeodeticToEcef(config.latitude, config.longitude, config.height);
        // Satellites above the mask at the start, highest first, one channel each.
        std::vector<std::pair<double, int>> visible;
        for (int prn : m_prns)
        {
            const Measurement m = Measure(prn, config.startTime);
            if (m.elevation > config.elevationMask)
                visible.emplace_back(m.elevation, prn);
        }
        std::sort(visible.rbegin(), visible.rend());
        for (std::size_t k = 0; k < visible.size() && k < config.maxChannels; ++k)
            m_tracked.push_back(visible[k].second);
        m_lastBoundary = static_cast<std::int64_t>(std::floor(config.startTime / 6.0));
    }

    [[nodiscard]] const std::vector<int>& Tracked() const { return m_tracked; }
    [[nodiscard]] const EphemerisRecord& Ephemeris(int prn) const
    {
        return m_ephemeris[static_cast<std::size_t>(prn - 1)];
    }
    [[nodiscard]] const IonoUtcParameters& Iono() const { return m_iono; }
    [[nodiscard]] double ClockBias(double t) const
    {
        return m_config.clockBias + m_config.clockDrift * (t - m_config.startTime);
    }

    [[nodiscard]] Triple TruthAt(double t) const
    {
        const double dt = t - m_config.startTime;
        Triple p = m_origin;
        for (std::size_t k = 0; k < 3; ++k)
            for (std::size_t row = 0; row < 3; ++row)
                p[k] += m_enu[row * 3 + k] * m_config.velocityEnu[row] * dt;  // ENU -> ECEF is the transpose
        return p;
    }

    [[nodiscard]] Triple VelocityEcef() const
    {
        Triple v{};
        for (std::size_t k = 0; k < 3; ++k)
            for (std::size_t row = 0; row < 3; ++row)
                v[k] += m_enu[row * 3 + k] * m_config.velocityEnu[row];
        return v;
    }

    // The next epoch: the subframes completed since the last one, then the id 12 and id 8 records.
    ScenarioEpoch Next()
    {
        ScenarioEpoch out;
        const double t = m_config.startTime + static_cast<double>(m_epoch++) * m_config.step;
        out.trueTime = t;
        out.truth = TruthAt(t);
        const auto boundary = static_cast<std::int64_t>(std::floor(t / 6.0));
        for (std::int64_t c = m_lastBoundary + 1; c <= boundary; ++c)
            for (int prn : m_tracked)
                out.subframes.push_back(SubframeEnding(prn, static_cast<std::uint32_t>(c % 100800)));
        m_lastBoundary = boundary;

        const double receiverTime = t + ClockBias(t) / kC;
        SatDataRecord& sd = out.satData;
        sd.id = kIdSatData;
        sd.count = static_cast<std::uint8_t>(m_tracked.size());
        sd.week = static_cast<std::int16_t>(m_config.week);
        sd.time = receiverTime;
        MeasRecord& mr = out.meas;
        mr.id = kIdMeas;
        mr.week = static_cast<std::uint16_t>(m_config.week);
        mr.timeOfWeek = static_cast<std::int32_t>(std::floor(receiverTime * 100.0));
        for (std::size_t k = 0; k < m_tracked.size(); ++k)
        {
            const int prn = m_tracked[k];
            const Measurement m = Measure(prn, t);
            SatDataEntry& e = sd.entries[k];
            e.channel = static_cast<std::uint8_t>(k);
            e.prn = static_cast<std::uint8_t>(prn);
            e.pseudorange = m.pseudorange;
            e.rangeRate = m.rangeRate;
            MeasEntry& me = mr.entries[k];
            const auto elevDeg = static_cast<std::uint16_t>(std::max(0.0, m.elevation * 57.29577951308232));
            me.chanPrn = static_cast<std::uint16_t>(k | (static_cast<unsigned>(prn) << 4) |
                                                    (static_cast<unsigned>(elevDeg) << 9));
            me.signal = 70;
            me.meas1 = static_cast<std::int32_t>(m.pseudorange);
        }
        return out;
    }

    struct Measurement
    {
        double pseudorange = 0.0;
        double rangeRate = 0.0;
        double elevation = 0.0;
    };

    // Pseudorange and range rate of `prn` received at true GPS time `t`.
    [[nodiscard]] Measurement Measure(int prn, double t) const
    {
        const EphemerisRecord& eph = Ephemeris(prn);
        const Triple p = TruthAt(t);
        double tau = 0.07;
        Triple s{};
        SatelliteMotion motion;
        for (int pass = 0; pass < 4; ++pass)
        {
            motion = SatelliteFromEphemeris(eph, t - tau);
            const double theta = kEarthRate * tau;
            const Triple& q = motion.position;
            s = {std::cos(theta) * q[0] + std::sin(theta) * q[1],
                 -std::sin(theta) * q[0] + std::cos(theta) * q[1], q[2]};
            tau = std::sqrt((s[0] - p[0]) * (s[0] - p[0]) + (s[1] - p[1]) * (s[1] - p[1]) +
                            (s[2] - p[2]) * (s[2] - p[2])) /
                  kC;
        }
        const double ts = t - tau;
        const Triple d{s[0] - p[0], s[1] - p[1], s[2] - p[2]};
        const double rho = tau * kC;
        const double east = ApplyRow(m_enu, 0, d), north = ApplyRow(m_enu, 1, d), up = ApplyRow(m_enu, 2, d);
        const double elevation = std::atan2(up, std::sqrt(east * east + north * north));
        double azimuth = std::atan2(east, north);
        if (azimuth < 0.0)
            azimuth += 6.2831853071796;
        double drift = 0.0;
        const double clock = BroadcastClock(eph, ts, drift);
        const double iono =
            IonosphericDelay(&m_iono, elevation, azimuth, m_config.latitude, m_config.longitude, t);
        const double tropo = TroposphericDelay(elevation, m_config.height);
        Measurement m;
        m.elevation = elevation;
        m.pseudorange = rho + ClockBias(t) - clock * kC + iono + tropo;
        const Triple v = VelocityEcef();
        const Triple& vs = motion.velocity;
        m.rangeRate = (d[0] * (vs[0] - v[0]) + d[1] * (vs[1] - v[1]) + d[2] * (vs[2] - v[2])) / rho +
                      m_config.clockDrift - drift * kC;
        return m;
    }

    // The satellite clock offset (s) at transmission time `ts` as the broadcast clock model defines
    // it, written out here rather than taken from the engine so that the engine's own correction is
    // what the closed loop checks: polynomial from toc, relativistic term from a Kepler solution of
    // its own, minus the group delay. `drift` receives the polynomial's rate (s/s).
    static double BroadcastClock(const EphemerisRecord& eph, double ts, double& drift)
    {
        constexpr double kMu = 3.986005e14;
        constexpr double kF = -4.442807633e-10;  // s/m^(1/2)
        const auto fold = [](double d)
        { return d > 302400.0 ? d - 604800.0 : (d < -302400.0 ? d + 604800.0 : d); };
        const double a = eph.sqrtA * eph.sqrtA;
        const double n = std::sqrt(kMu / (a * a * a)) + eph.deltaN;
        const double m = eph.m0 + n * fold(ts - eph.toe);
        double e = m;
        for (int pass = 0; pass < 30; ++pass)
            e = m + eph.e * std::sin(e);
        const double dt = fold(ts - eph.toc);
        drift = eph.af1 + 2.0 * eph.af2 * dt;
        return eph.af0 + eph.af1 * dt + eph.af2 * dt * dt + kF * eph.e * eph.sqrtA * std::sin(e) - eph.tgd;
    }

private:
    // The subframe whose transmission ended at 6·c seconds of the week (its handover word carries c).
    SubframeRecord SubframeEnding(int prn, std::uint32_t c)
    {
        SubframeRecord r;
        r.id = kIdSubframe;
        r.prn = static_cast<std::uint8_t>(prn);
        const int id = static_cast<int>((c + 100800 - 1) % 5) + 1;
        const EphemerisRecord& eph = Ephemeris(prn);
        switch (id)
        {
            case 1:
                r.words = EncodeEphemeris(eph, c).sf1;
                break;
            case 2:
                r.words = EncodeEphemeris(eph, c - 1).sf2;
                break;
            case 3:
                r.words = EncodeEphemeris(eph, c - 2).sf3;
                break;
            case 4:
                r.words = EncodeIonoUtcPage(m_iono, c);
                break;
            default:
            {
                const std::uint32_t page = ((c + 100800 - 5) % 100800) / 5 % 25;
                const int sv = static_cast<int>(page) + 1;
                if (sv <= 24)
                    r.words = EncodeAlmanacPage(m_almanac[static_cast<std::size_t>(sv - 1)], sv, c);
                else
                    r.words = Frame(c, 5);
                break;
            }
        }
        return r;
    }

    void BuildConstellation()
    {
        const double pi = 3.1415926535898;
        const double toe = std::floor(m_config.startTime / 7200.0) * 7200.0 + 3600.0;
        NavEngine decoder;
        decoder.ResetNavigation();
        decoder.resetPending = false;
        for (int prn = 1; prn <= 30; ++prn)
        {
            const int plane = (prn - 1) / 5, slot = (prn - 1) % 5;
            const double k = static_cast<double>(prn);
            EphemerisRecord e;
            e.week10 = m_config.week % 1024;
            e.ura = 0;
            e.iodc = 40 + prn;
            e.iode = e.iodc & 0xFF;
            e.toc = toe;
            e.toe = toe;
            e.tgd = (std::fmod(k * 3.7, 2.0) - 1.0) * 1e-8;
            e.af0 = (std::fmod(k * 7.3, 2.0) - 1.0) * 4e-4;
            e.af1 = (std::fmod(k * 5.1, 2.0) - 1.0) * 6e-12;
            e.af2 = 0.0;
            e.sqrtA = 5153.6 + 0.05 * std::sin(k);
            e.e = 0.001 + 0.012 * std::fabs(std::sin(k * 1.7));
            e.i0 = 0.958 + 0.01 * std::sin(k * 2.3);
            e.omega0 = -pi + plane * pi / 3.0 + 0.2;
            e.omega = std::fmod(k * 1.3, 2.0 * pi) - pi;
            e.m0 = std::fmod(slot * 2.0 * pi / 5.0 + plane * 0.26 + 0.4, 2.0 * pi) - pi - e.omega;
            e.deltaN = 4.3e-9 + 0.4e-9 * std::sin(k);
            e.omegaDot = -8.1e-9 + 0.2e-9 * std::cos(k);
            e.idot = 2.5e-10 * std::sin(k * 0.7);
            e.crs = 80.0 * std::sin(k * 0.9);
            e.crc = 200.0 + 100.0 * std::cos(k * 1.1);
            e.cuc = 5e-6 * std::sin(k * 1.9);
            e.cus = 6e-6 * std::cos(k * 0.4);
            e.cic = 1e-7 * std::sin(k * 2.9);
            e.cis = -8e-8 * std::cos(k * 3.1);
            const auto sf = EncodeEphemeris(e, 1000);
            decoder.DecodeSubframe(prn, sf.sf1);
            decoder.DecodeSubframe(prn, sf.sf2);
            decoder.DecodeSubframe(prn, sf.sf3);
            m_ephemeris[static_cast<std::size_t>(prn - 1)] =
                decoder.ephemeris[static_cast<std::size_t>(prn - 1)];
            // Scaled values exactly as broadcast, apart from the week fields of this scratch decoder.
            m_ephemeris[static_cast<std::size_t>(prn - 1)].week10 = e.week10;
            m_prns.push_back(prn);

            AlmanacRecord& a = m_almanac[static_cast<std::size_t>(prn - 1)];
            a.e = e.e;
            a.toa = std::floor(toe / 4096.0) * 4096.0;
            a.i = e.i0;
            a.omegaDot = e.omegaDot;
            a.sqrtA = e.sqrtA;
            a.omega0 = e.omega0;
            a.omega = e.omega;
            a.m0 = e.m0 + (e.deltaN + std::sqrt(3.986005e14) / std::pow(e.sqrtA, 3)) * (a.toa - toe);
            a.m0 = std::remainder(a.m0, 2.0 * pi);
            a.af0 = e.af0;
        }
        m_iono.alpha0 = 1.0245e-8;
        m_iono.alpha1 = 1.4901e-8;
        m_iono.alpha2 = -5.9605e-8;
        m_iono.alpha3 = -1.1921e-7;
        m_iono.beta0 = 88064.0;
        m_iono.beta1 = 49152.0;
        m_iono.beta2 = -131072.0;
        m_iono.beta3 = -262144.0;
        m_iono.tot = 503808;
        m_iono.deltaTLs = 18;
        m_iono.deltaTLsf = 18;
        m_iono.wnT = m_config.week & 0xFF;
        m_iono.wnLsf = m_config.week & 0xFF;
        m_iono.dn = 7;
        // Use the broadcast (quantised) parameters as the truth.
        decoder.DecodeSubframe(1, EncodeIonoUtcPage(m_iono, 1004));
        m_iono = decoder.iono;
    }

    ScenarioConfig m_config;
    std::array<EphemerisRecord, kPrnCount> m_ephemeris{};
    std::array<AlmanacRecord, kPrnCount> m_almanac{};
    IonoUtcParameters m_iono{};
    std::vector<int> m_prns;
    std::vector<int> m_tracked;
    Matrix3 m_enu{};
    Triple m_origin{};
    std::size_t m_epoch = 0;
    std::int64_t m_lastBoundary = 0;
};
// Hands one epoch to the engine in stream order: subframes, channel measurements, measurement.
inline void RunEpoch(NavEngine& engine, const ScenarioEpoch& epoch)
{
    for (const SubframeRecord& sf : epoch.subframes)
        engine.QueueSubframe(sf);
    engine.StoreChannelMeasurements(epoch.satData);
    engine.SetEpochInputs(epoch.meas);
    engine.RunNavigationEpoch();
}

inline double Distance(const Triple& a, const Triple& b)
{
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}
}  // namespace navtest
