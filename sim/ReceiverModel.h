// The simulated receiver itself: a true position moving at a constant velocity, a clock with a bias
// and a drift, twelve channels that acquire satellites above the elevation mask and keep them while
// they stay up, the broadcast subframes each channel demodulates, and per epoch the pseudoranges and
// range rates the channels measure (light time, earth rotation, satellite clock, group delay,
// ionosphere, troposphere, receiver clock, Gaussian noise). Also the receiver's own position fix
// (truth plus a small bounded error) and its dilutions of precision.
// Owned and stepped by one thread.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "protocol/GpsTypes.h"
#include "sim/Constellation.h"
#include "sim/NavMessage.h"
#include "sim/SimMath.h"

namespace vrnsim
{

enum class StartMode : std::uint8_t
{
    Hot,
    Warm,
    Cold
};

// Channel status bytes, from acquisition to use in the fix. A channel counts as locked at 63 (0x3F).
inline constexpr std::uint8_t kStateSearching = 0x01;
inline constexpr std::uint8_t kStateCodeLock = 0x0F;
inline constexpr std::uint8_t kStateFrameSync = 0x1F;
inline constexpr std::uint8_t kStateEphemeris = 0x3F;
inline constexpr std::uint8_t kStateUsed = 0x7F;

inline constexpr double kTrackingMaskRad = 5.0 * kDegree;
// Bounds of the error of the receiver's own fix against the truth (3D, before the wire's rounding).
inline constexpr double kFixPositionErrorM = 5.0;
inline constexpr double kFixVelocityErrorMps = 0.1;

// How long a channel needs to lock onto a satellite, drawn from [lo, hi] seconds: a satellite rising
// while the receiver navigates, or within the first minute after power-up or a start command, by
// the start mode (hot quickest, cold a whole sky search). One table for every tracker.
struct AcquisitionWindow
{
    double lo = 1.0, hi = 4.0;
};
inline constexpr double kStartWindowS = 60.0;
[[nodiscard]] AcquisitionWindow AcquisitionWindowFor(StartMode mode, bool afterCommand, double sinceStartS);

struct ReceiverOptions
{
    GpsTime start;                // receiver time tag of the first measurement epoch
    Geodetic position;            // true position at that epoch
    Vec3 velocityEnu;             // m/s east, north, up; constant in earth-fixed axes
    double clockBiasM = 26315.0;  // receiver clock bias at the start, metres
    double clockDriftMps = 12.5;  // receiver clock drift, m/s (about 0.04 ppm)
    double noiseM = 0.0;          // pseudorange noise sigma; range rates get a tenth of it in m/s
    std::uint64_t seed = 1;
};

struct SatelliteInView
{
    int prn = 0;
    double elevation = 0.0, azimuth = 0.0;  // rad
    double cn0 = 0.0;                       // dB-Hz
    int channel = -1;                       // receiver channel, -1 when not assigned
};

struct ChannelOutput
{
    int prn = 0;  // 0: idle
    std::uint8_t state = 0;
    bool measured = false;  // pseudorange and range rate are valid
    double pseudorangeM = 0.0;
    double rangeRateMps = 0.0;
    double elevation = 0.0, azimuth = 0.0, cn0 = 0.0;
};

struct ReceiverFix
{
    bool valid = false;
    int used = 0;
    Vec3 position, velocity;  // ECEF
    double gdop = 0.0, pdop = 0.0, hdop = 0.0, vdop = 0.0, tdop = 0.0;
};

struct Epoch
{
    GpsTime receiverTime;  // time tag of the measurement by the receiver clock
    GpsTime trueTime;      // GPS time of the same instant
    Vec3 position, velocity;
    Geodetic geodetic;
    double clockBiasM = 0.0, clockDriftMps = 0.0;
    std::vector<SatelliteInView> inView;  // above the horizon, by PRN
    std::array<ChannelOutput, kChannelCount> channels{};
    std::vector<std::pair<int, SubframeWords>> subframes;  // demodulated since the previous epoch
    ReceiverFix fix;
    int Measured() const;
};

class CReceiverModel
{
public:
    explicit CReceiverModel(const ReceiverOptions& options);

    // Advances the receiver clock by `interval` seconds (the first call gives the start epoch) and
    // computes that epoch.
    const Epoch& Step(double interval);
    // Drops every channel and starts acquiring again; warm and cold starts also forget the
    // ephemerides, cold starts search longest.
    void Restart(StartMode mode);
    const Epoch& Last() const { return m_epoch; }
    CConstellation& Constellation() { return m_constellation; }
    // The error of the receiver's own fix at the last epoch: ECEF offsets from the true position (m)
    // and velocity (m/s), wandering slowly within kFixPositionErrorM and kFixVelocityErrorMps.
    void FixError(Vec3& position, Vec3& velocity) const;

private:
    struct Channel
    {
        int prn = 0;
        double lockAt = 0.0;         // elapsed true seconds: code and carrier lock
        double syncAt = 0.0;         // frame sync: measurements valid from here
        GpsTime nextSubframe;        // start of the next subframe to hand over
        std::uint8_t collected = 0;  // subframes 1, 2, 3 seen since the last complete set (bits 0..2)
        double flight = 0.0;         // light time of the last measurement, s; 0 before the first
    };
    // Pseudorange without noise from the true orbit and clock of `prn`; with `look`, also the
    // atmosphere and the look angles from `rx` (whose geodetic position is `rxGeodetic`). `flight`
    // is the light time guess in, the light time out.
    double Pseudorange(int prn, double tau, Vec3 rx, const Geodetic* rxGeodetic, LookAngles* look,
                       double& flight) const;
    void Assign(double tau);
    void Track(double tau);
    void MakeFix();
    double AcquisitionDelay(double tau);
    bool KnowsTime(double tau) const;
    void ForwardStoredIonoPage(int prn, GpsTime before);

    ReceiverOptions m_options;
    CConstellation m_constellation;
    KlobucharCoefficients m_iono;
    Vec3 m_startEcef, m_velocityEcef;
    double m_receiverElapsed = 0.0;
    bool m_started = false;
    std::array<Channel, kChannelCount> m_channels{};
    std::array<bool, kPrnCount> m_haveEphemeris{};
    bool m_forwardStoredIono = true;  // hand over the stored page 18 once after (re)start
    std::array<double, kPrnCount> m_cn0Offset{};
    StartMode m_mode = StartMode::Hot;
    double m_restartAt = 0.0;
    bool m_restarted = false;  // a start command has come (power-up is not a hot start)
    double m_tau = 0.0;  // elapsed true seconds of the last epoch
    std::mt19937_64 m_noise;
    std::mt19937_64 m_events;
    std::array<double, 9> m_fixErrorPhase{};
    Epoch m_epoch;
};

}  // namespace vrnsim
