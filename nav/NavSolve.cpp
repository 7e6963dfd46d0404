// The position solution: one linearised least-squares step per measurement epoch.
//
// Input: the latest channel-measurement message (pseudorange and range rate per channel), the
// current ephemerides, the look table's Sagnac and delay terms, and the running NavSolution.
// Each channel first passes a continuity screen: its measurement times must step by 0.9989 to
// 0.9999 s (the classic receiver; other inputs set their own window in NavInputs) and its range rate
// must not jump by more than 100 m/s; a channel contributes from its fifth consecutive good epoch,
// and only while its satellite has a valid ephemeris. Every used channel gives a row (line of sight,
// 1) with pseudorange and range-rate residuals against the current state; with exactly three rows an
// altitude row pins the height to the ellipsoid height of the current position. The normal matrix
// HᵀH is inverted once; G = N⁻¹Hᵀ maps residuals to corrections of position/clock and
// velocity/drift. The first four fixes take the full step, later ones one eighth of it, so noise is
// smoothed while the state carries over between epochs.
// So that the damped step does not leave the fix trailing a moving receiver, the position is first
// carried along the solved velocity over the time since the last accepted fix (up to 10 s).
//
// Bad data: a singular or badly conditioned geometry (GDOP above 99) retries once with an altitude
// row; a retried solution is discarded (fix mode 0). Non-finite wire values make their channel
// unusable, and an update that would leave a non-finite state or put the receiver beyond 20000 km
// from the earth's centre is discarded, so the state never turns to NaN or gets lost in space.
// Failures show only as state: fix mode 0 and, for a singular matrix, DOPs 999.9.
#include <algorithm>
#include <cmath>

#include "nav/NavEngine.h"

namespace
{
constexpr double kLightTimePerMetre = 3.3356409519815204e-9;
constexpr double kSpeedOfLight = 299792458.0;
constexpr double kMaxRangeRateJump = 100.0;
constexpr double kDegreesPerRadianExact = 57.295779513082195;
constexpr double kOscillatorNominalHz = 32051.25;
constexpr double kOscillatorHzPerMps = 5.255035554116115;
constexpr double kMaxRadius = 2.0e7;       // m from the earth's centre; GPS orbits are at 2.66e7 m
constexpr double kMaxCarrySeconds = 10.0;  // a longer gap carries nothing forward
constexpr double kWeekSeconds = 604800.0;
constexpr double kHalfWeekSeconds = 302400.0;

struct SolutionRow
{
    int prn = 0;
    std::array<double, 4> h{};
    double prResidual = 0.0;
    double rrResidual = 0.0;
    double iono = 0.0;
    double tropo = 0.0;
};

double Dot(const Triple& a, const Triple& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double SquareRootOrZero(double v)
{
    return std::sqrt(std::max(0.0, v));
}
}  // namespace

int InvertMatrix(std::size_t n, std::span<double> a)
{
    if (n == 0 || a.size() < n * n || n > 16)
        return 1;
    std::array<std::size_t, 16> perm{};
    for (std::size_t i = 0; i < n; ++i)
        perm[i] = i;
    auto at = [&](std::size_t r, std::size_t c) -> double& { return a[r * n + c]; };
    double product = 1.0;
    for (std::size_t i = 0; i < n; ++i)
    {
        std::size_t j = i;
        for (std::size_t c = i + 1; c < n; ++c)
            if (std::fabs(at(i, c)) > std::fabs(at(i, j)))
                j = c;
        if (j != i)
        {
            for (std::size_t r = 0; r < n; ++r)
                std::swap(at(r, i), at(r, j));
            std::swap(perm[i], perm[j]);
        }
        const double d = at(i, i);
        at(i, i) = 1.0;
        product *= d;
        if (!(std::fabs(product) >= 1e-6))
            return 1;
        for (std::size_t c = 0; c < n; ++c)
            at(i, c) /= d;
        for (std::size_t r = 0; r < n; ++r)
        {
            if (r == i)
                continue;
            const double f = at(r, i);
            if (f == 0.0)
                continue;
            at(r, i) = 0.0;
            for (std::size_t c = 0; c < n; ++c)
                at(r, c) -= f * at(i, c);
        }
    }
    // Column swaps of the input permute the rows of the inverse; swap them back.
    for (std::size_t i = 0; i < n; ++i)
    {
        while (perm[i] != i)
        {
            const std::size_t j = perm[i];
            for (std::size_t c = 0; c < n; ++c)
                std::swap(at(i, c), at(j, c));
            std::swap(perm[i], perm[j]);
        }
    }
    return 0;
}

MeasurementResidualResult NavEngine::MeasurementResidual(std::size_t i, double tr, double pseudorange,
                                                         double rangeRate)
{
    const EphemerisRecord& eph = ephemeris[i];
    const NavSolution& rx = solution;
    const Triple p{rx.x, rx.y, rx.z};

    const SatelliteFix atReceive = LookupSatellite(i, eph.iode, tr);
    const Triple d0{atReceive.position[0] - p[0], atReceive.position[1] - p[1], atReceive.position[2] - p[2]};
    double ts = tr - std::sqrt(d0[0] * d0[0] + d0[1] * d0[1] + d0[2] * d0[2]) * kLightTimePerMetre;
    if (ts < 0.0)
        ts += 604800.0;
    const SatelliteFix sat = LookupSatellite(i, eph.iode, ts);
    const Triple d{sat.position[0] - p[0], sat.position[1] - p[1], sat.position[2] - p[2]};

    MeasurementResidualResult out;
    out.range = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) + lookTable[i].sagnac;
    for (std::size_t k = 0; k < 3; ++k)
        out.lineOfSight[k] = d[k] / out.range;
    double drift = 0.0;
    const double clock = SatelliteClockCorrection(eph, ts, sat.relClock, &drift);
    out.pseudorangeResidual = pseudorange - out.range + clock * kSpeedOfLight - rx.clockBias;
    const Triple relVel{sat.velocity[0] - rx.vx, sat.velocity[1] - rx.vy, sat.velocity[2] - rx.vz};
    out.rangeRateResidual = rangeRate - Dot(out.lineOfSight, relVel) + drift * kSpeedOfLight - rx.clockDrift;
    out.iono = lookTable[i].iono;
    out.tropo = lookTable[i].tropo;
    return out;
}

void NavEngine::SolvePosition()
{
    const SatDataRecord& msg = inputs.channelMeasurements;
    if (msg.id != kIdSatData)
        return;
    NavSolution& s = solution;
    s.week = msg.week;
    const double t = msg.time;
    const bool timeUsable = std::isfinite(t);
    if (timeUsable)
        s.timeOfWeek = t;

    // Carry the position along the velocity over the time since the last accepted fix (a week
    // rollover folded in); a gap of more than 10 s, or time going backwards, carries nothing.
    if (s.fixCounter > 0 && timeUsable)
    {
        double since = t - s.lastFixTime;
        if (since > kHalfWeekSeconds)
            since -= kWeekSeconds;
        else if (since < -kHalfWeekSeconds)
            since += kWeekSeconds;
        if (since > 0.0 && since <= kMaxCarrySeconds)
        {
            s.x += s.vx * since;
            s.y += s.vy * since;
            s.z += s.vz * since;
        }
    }

    std::array<SolutionRow, kSolutionRows> rows{};
    std::size_t rowCount = 0;
    const std::size_t entries = std::min<std::size_t>(msg.count & 0x0FU, kChannelCount);
    for (std::size_t k = 0; k < entries; ++k)
    {
        const SatDataEntry& entry = msg.entries[k];
        const auto prnIndex = PrnIndex(entry.prn);
        const auto channel = ChannelIndex(entry.channel & 0x0F);
        if (!prnIndex || !channel)
            continue;
        ChannelTrack& track = tracks[*channel];
        if (!timeUsable || !std::isfinite(entry.pseudorange) || !std::isfinite(entry.rangeRate))
        {
            track.goodCount = 0;
            continue;
        }
        const double dRr = entry.rangeRate - track.lastRangeRate;
        track.lastRangeRate = entry.rangeRate;
        const double dt = t - track.lastTime;
        track.lastTime = t;
        if (dt < inputs.intervalLowS || dt > inputs.intervalHighS || s.timeKnown == 0)
        {
            track.goodCount = 0;
            continue;
        }
        if (std::fabs(dRr) > kMaxRangeRateJump)
        {
            track.goodCount = 0;
            continue;
        }
        if (track.goodCount < 0xFFFF)
            ++track.goodCount;
        if (track.goodCount <= 3)
            continue;
        if (ephemeris[*prnIndex].valid == 0 || rowCount >= kChannelCount)
            continue;
        const MeasurementResidualResult r = MeasurementResidual(
            *prnIndex, t - s.clockBias * kLightTimePerMetre, entry.pseudorange, entry.rangeRate);
        SolutionRow& row = rows[rowCount++];
        row.prn = entry.prn;
        row.h = {r.lineOfSight[0], r.lineOfSight[1], r.lineOfSight[2], 1.0};
        row.prResidual = r.pseudorangeResidual;
        row.rrResidual = r.rangeRateResidual;
        row.iono = r.iono;
        row.tropo = r.tropo;
    }
    for (std::size_t k = 0; k < rowCount; ++k)
        rows[k].prResidual -= rows[k].iono + rows[k].tropo;

    s.satellitesUsed = 0;
    s.fixMode = 0;
    if (rowCount < 3)
        return;
    const std::size_t satelliteRows = rowCount;
    s.satellitesUsed = static_cast<int>(rowCount);
    s.altitudeRow = 0;

    std::array<double, 16> n{};
    for (;;)
    {
        if ((satelliteRows == 3 || s.altitudeRow != 0) && rowCount < kSolutionRows)
        {
            const double rho = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
            const Triple ref = GeodeticToEcef(s.latitude, s.longitude, s.height);
            SolutionRow& row = rows[rowCount++];
            row = SolutionRow{};
            row.h = {-s.x / rho, -s.y / rho, -s.z / rho, 0.0};
            row.prResidual = rho - std::sqrt(ref[0] * ref[0] + ref[1] * ref[1] + ref[2] * ref[2]);
        }
        n.fill(0.0);
        for (std::size_t k = 0; k < rowCount; ++k)
            for (std::size_t r = 0; r < 4; ++r)
                for (std::size_t c = 0; c < 4; ++c)
                    n[r * 4 + c] += rows[k].h[r] * rows[k].h[c];
        if (InvertMatrix(4, n) != 0)
        {
            if (s.altitudeRow != 0)
            {
                s.gdop = s.pdop = s.tdop = s.vdop = s.hdop = kFailedDop;
                s.fixMode = 0;
                return;
            }
            s.altitudeRow = 1;
            continue;
        }
        for (auto& gRow : s.g)
            gRow.fill(0.0);
        for (std::size_t r = 0; r < 4; ++r)
            for (std::size_t k = 0; k < rowCount; ++k)
            {
                double v = 0.0;
                for (std::size_t c = 0; c < 4; ++c)
                    v += n[r * 4 + c] * rows[k].h[c];
                s.g[r][k] = v;
            }
        // DOPs every fourth fix, and whenever the stored GDOP has failed: a stale failed value must
        // not keep rejecting every later epoch.
        if ((s.fixCounter & 3) == 0 || s.gdop > 99.0)
        {
            const double rho = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
            const Triple u{s.x / rho, s.y / rho, s.z / rho};
            double v2 = 0.0;
            for (std::size_t k = 0; k < rowCount; ++k)
            {
                const double v = u[0] * s.g[0][k] + u[1] * s.g[1][k] + u[2] * s.g[2][k];
                v2 += v * v;
            }
            s.gdop = SquareRootOrZero(n[0] + n[5] + n[10] + n[15]);
            s.pdop = SquareRootOrZero(n[0] + n[5] + n[10]);
            s.tdop = SquareRootOrZero(n[15]);
            s.vdop = SquareRootOrZero(v2);
            s.hdop = SquareRootOrZero(s.pdop * s.pdop - v2);
        }
        if (s.gdop > 99.0)
        {
            if (s.altitudeRow != 0)
            {
                s.fixMode = 0;
                return;
            }
            s.altitudeRow = 1;
            continue;
        }
        break;
    }
    // An altitude-aided retry is not trusted: the fix is discarded and the state stays as it was.
    if (s.altitudeRow != 0)
    {
        s.fixMode = 0;
        return;
    }

    std::array<double, 4> delta{}, deltaV{};
    for (std::size_t r = 0; r < 4; ++r)
        for (std::size_t k = 0; k < rowCount; ++k)
        {
            delta[r] += s.g[r][k] * rows[k].prResidual;
            deltaV[r] += s.g[r][k] * rows[k].rrResidual;
        }
    if (s.fixCounter > 3)
        for (double& d : delta)
            d *= 0.125;

    NavSolution next = s;
    next.x -= delta[0];
    next.y -= delta[1];
    next.z -= delta[2];
    next.clockBias += delta[3];
    next.vx -= deltaV[0];
    next.vy -= deltaV[1];
    next.vz -= deltaV[2];
    next.clockDrift += deltaV[3];
    const Triple geo = EcefToGeodetic(next.x, next.y, next.z);
    next.latitude = geo[0];
    next.longitude = geo[1];
    next.height = geo[2];
    next.enu = LocalFrameMatrix(next.latitude, next.longitude);
    const Triple v{next.vx, next.vy, next.vz};
    const double vE = ApplyRow(next.enu, 0, v);
    const double vN = ApplyRow(next.enu, 1, v);
    const double vU = ApplyRow(next.enu, 2, v);
    next.verticalVelocity = vU;
    next.heading = std::fmod(std::atan2(vE, vN) * kDegreesPerRadianExact + 360.0, 360.0);
    next.speed = std::sqrt(vE * vE + vN * vN);
    next.timeOfWeek -= next.clockBias * kLightTimePerMetre;
    next.oscillatorOffset = kOscillatorNominalHz - next.clockDrift * kOscillatorHzPerMps;
    const bool finite =
        std::isfinite(next.x) && std::isfinite(next.y) && std::isfinite(next.z) && std::isfinite(next.vx) &&
        std::isfinite(next.vy) && std::isfinite(next.vz) && std::isfinite(next.clockBias) &&
        std::isfinite(next.clockDrift) && std::isfinite(next.latitude) && std::isfinite(next.longitude) &&
        std::isfinite(next.height) && std::isfinite(next.heading) && std::isfinite(next.timeOfWeek);
    // A wild measurement (a zero or absurd pseudorange) can throw one step far out; from beyond the
    // satellite shell the linearisation never finds its way back, so such a step is not taken.
    const bool plausible =
        finite && next.x * next.x + next.y * next.y + next.z * next.z < kMaxRadius * kMaxRadius;
    if (!plausible)
    {
        s.fixMode = 0;
        return;
    }
    next.fixMode = 2;
    next.fixCounter += 1;
    next.lastFixTime = t;
    s = next;
}
