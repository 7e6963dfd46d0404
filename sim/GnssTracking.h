// The multi-constellation side of the simulated receiver: which satellites of the selected systems
// are in view, which signals it tracks on each and how strong, which take part in the fix, and the
// fix of all of them together (one receiver clock offset per system, so the dilutions of precision
// are those of a real multi-system solution).
//
// GPS comes from the receiver model's twelve channels (their acquisition, frame sync and ephemeris
// states); the other systems are tracked here with the same rules: a satellite above the elevation
// mask is acquired after a delay that depends on the start mode, its ephemeris is known at once
// after a hot start and after one navigation-message frame otherwise, and from then on it is used.
// Owned and stepped by one thread.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "sim/GnssOrbits.h"
#include "sim/ReceiverModel.h"

namespace vrnsim
{

// The signals a system's satellites are tracked on, by their NMEA 4.10/4.11 signal ids.
inline constexpr std::size_t kMaxSignals = 2;
struct SignalPlan
{
    std::size_t count = 1;
    std::array<int, kMaxSignals> ids{};  // the first is the L1-band signal every satellite sends
};
// GPS L1 C/A (1) and L5 (7); GLONASS L1OF (1); Galileo E1 (7) and E5a (1); BeiDou B1I (1);
// QZSS L1 C/A (1) and L5 (7).
SignalPlan SignalsOf(GnssSystem system);
// True when satellite `number` of `system` sends the plan's signal `index` (not every GPS satellite
// sends L5).
bool SendsSignal(GnssSystem system, int number, std::size_t index);

struct GnssSatelliteView
{
    GnssSystem system = GnssSystem::Gps;
    int number = 0;                         // within its system, as GnssSatellite::number
    double elevation = 0.0, azimuth = 0.0;  // rad, azimuth 0..2pi from north
    std::array<double, kMaxSignals> cn0{};  // dB-Hz per signal of SignalsOf(system); 0: not tracked
    bool used = false;                      // in the fix
};

struct GnssFix
{
    bool valid = false;
    int used = 0;
    std::array<int, kGnssSystemCount> usedBySystem{};
    Vec3 position, velocity;  // ECEF
    double pdop = 0.0, hdop = 0.0, vdop = 0.0;
};

struct GnssEpoch
{
    // Every satellite of the selected systems above the horizon, by system, then number.
    std::vector<GnssSatelliteView> satellites;
    GnssFix fix;
};

class CGnssTracker
{
public:
    // Tracks the systems in `systems`; `seed` drives the acquisition delays.
    CGnssTracker(GnssSet systems, std::uint64_t seed);

    // The satellites and fix of the epoch `model` has just stepped to.
    const GnssEpoch& Step(const CReceiverModel& model);
    // Drops every satellite and acquires them again; warm and cold starts forget the ephemerides.
    void Restart(StartMode mode);
    const GnssEpoch& Last() const { return m_epoch; }
    GnssSet Systems() const { return m_systems; }

private:
    struct Track
    {
        GnssSatellite satellite;
        double cn0Offset = 0.0;  // dB, this satellite's own
        bool acquiring = false;
        double lockAt = 0.0;       // seconds since the first epoch
        double ephemerisAt = 0.0;  // ditto; its ephemeris is known from here
        bool haveEphemeris = true;
    };
    void AddGps(const Epoch& e);
    void AddOthers(const Epoch& e);
    void MakeFix(const CReceiverModel& model);
    double AcquisitionDelay();
    double EphemerisDelay(const GnssSatellite& s);

    GnssSet m_systems;
    std::vector<Track> m_tracks;  // the selected systems' satellites but GPS, by system and number
    std::mt19937_64 m_events;
    StartMode m_mode = StartMode::Hot;
    bool m_started = false;
    GpsTime m_first;
    double m_now = 0.0;  // seconds since the first epoch
    double m_restartAt = 0.0;
    bool m_restarted = false;  // a start command has come
    GnssEpoch m_epoch;
};

}  // namespace vrnsim
