// The navigation engine: broadcast subframes and raw channel measurements in, the program's own
// position fix out. All of its state lives in one NavEngine value; the program runs one of them
// (ProcessNavEngine), touched only by the reader thread of the port in import mode 2, and tests
// build fresh ones. One file per step: subframe decoding (NavSubframe.cpp), orbits, clocks and
// delays (NavOrbit.cpp), the least-squares step (NavSolve.cpp), and the per-epoch pipeline with its
// reset and channel plan (NavPipeline.cpp); the starting almanac is in BuiltInAlmanac.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "nav/NavRecords.h"
#include "protocol/Records.h"

// ---- pure parts (no engine state) ----

// IS-GPS-200 user algorithm at GPS time of week `t` (toeWeek is not used; tk folds into ±302400 s),
// with analytic velocity and acceleration.
[[nodiscard]] SatelliteMotion SatelliteFromEphemeris(const EphemerisRecord& record, double t);
// The same orbit without harmonic terms from an almanac record, at `week` and time of week `t`.
[[nodiscard]] Triple SatelliteFromAlmanac(const AlmanacRecord& almanac, int week, double t);
// Satellite clock offset (s) at transmission time `ttx` including the relativistic term and the
// group delay; `drift` receives the clock drift term (s/s) when not null.
[[nodiscard]] double SatelliteClockCorrection(const EphemerisRecord& record, double ttx, double relClock,
                                              double* drift = nullptr);
// Klobuchar ionospheric delay in metres; `params` null when no page 18 is held.
[[nodiscard]] double IonosphericDelay(const IonoUtcParameters* params, double elevation, double azimuth,
                                      double latitude, double longitude, double t);
// Tropospheric delay in metres (0 .. 200) for a receiver at `height`.
[[nodiscard]] double TroposphericDelay(double elevation, double height);
// Gauss-Jordan inversion in place with column pivoting of the n x n row-major `matrix`.
// Returns 0 on success, 1 when singular (running pivot product below 1e-6).
[[nodiscard]] int InvertMatrix(std::size_t n, std::span<double> matrix);

// The 32 entries of the almanac the engine starts from (week 980, toa 233472 s).
[[nodiscard]] const std::array<AlmanacRecord, kPrnCount>& BuiltInAlmanac();

// ---- engine inputs (written by the mode-2 record set) ----

struct QueuedSubframe
{
    std::uint8_t id = 0;
    std::uint8_t prn = 0;
    SubframeWords words{};
};

inline constexpr std::size_t kSubframeQueueSize = 64;

// The step between a channel's measurement times that keeps its continuity: the classic receiver
// measures a little under a second apart. Other inputs set their own window per epoch.
inline constexpr double kClassicIntervalLowS = static_cast<double>(0.9989F);
inline constexpr double kClassicIntervalHighS = static_cast<double>(0.9999F);

struct NavInputs
{
    int week = 0;
    double timeOfWeek = 0.0;  // s
    int usableChannels = 0;   // id 8 entries with signal >= 63
    std::array<QueuedSubframe, kSubframeQueueSize> queue{};
    std::size_t queueCount = 0;          // subframes queued since the last measurement message
    std::size_t subframeCount = 0;       // subframes to decode at this epoch
    std::uint64_t droppedSubframes = 0;  // queue full or PRN outside 1..32
    SatDataRecord channelMeasurements{};
    double intervalLowS = kClassicIntervalLowS;  // continuity window of this epoch, s
    double intervalHighS = kClassicIntervalHighS;
};

struct MeasurementResidualResult
{
    double pseudorangeResidual = 0.0;  // m
    double rangeRateResidual = 0.0;    // m/s
    Triple lineOfSight{};              // unit row towards the satellite
    double range = 0.0;                // corrected geometric range, m
    double iono = 0.0;
    double tropo = 0.0;
};

struct LookPrediction
{
    double azimuth = 0.0, elevation = 0.0, doppler = 0.0, sagnac = 0.0, iono = 0.0, tropo = 0.0;
};

enum class PlanMode : std::uint8_t
{
    Idle,
    Tracking
};

inline constexpr double kDefaultLatitude = 0.4324106;
inline constexpr double kDefaultLongitude = 2.111892;
inline constexpr double kDefaultHeight = 150.0;

// A look-table row with its integer columns (degrees and Hz truncated toward zero).
[[nodiscard]] SatelliteLookRow LookRowFromPrediction(const LookPrediction& prediction);

class NavEngine
{
public:
    // ---- input side (import mode 2) ----
    // Queues one subframe message; PRNs outside 1..32 and subframes beyond the 64 slots are
    // dropped and counted.
    void QueueSubframe(const SubframeRecord& record);
    void StoreChannelMeasurements(const SatDataRecord& record);
    // The input half of a measurement message: takes over the queued subframes and sets the epoch
    // inputs from the record (week, time of week count × 0.01 s, channels with signal >= 63) and
    // the classic continuity window.
    void SetEpochInputs(const MeasRecord& record);

    // One epoch: reset on first use, look-table refresh, channel plan, subframe decoding, solution.
    void RunNavigationEpoch();

    // ---- the steps, public for tests and tools ----
    void ResetNavigation();
    // One subframe of satellite `prn` (others than 1..32 are ignored). The ephemeris completion runs
    // after every subframe; a new or replaced ephemeris refreshes that satellite's look-table row at
    // the current epoch time at once.
    void DecodeSubframe(int prn, const SubframeWords& words);
    // Cached satellite state at `t` for ephemeris issue `iode` of the PRN at `prnIndex`.
    [[nodiscard]] SatelliteFix LookupSatellite(std::size_t prnIndex, int iode, double t);
    [[nodiscard]] LookPrediction PredictSatellite(std::size_t prnIndex, int week, double t);
    void RefreshLookRow(std::size_t prnIndex, int week, double t);
    void SolvePosition();
    [[nodiscard]] MeasurementResidualResult MeasurementResidual(std::size_t prnIndex, double tr,
                                                                double pseudorange, double rangeRate);
    // Candidate PRNs for the channel plan, highest integer elevation first.
    [[nodiscard]] std::vector<int> PlanCandidates() const;

    // ---- state (read by the record set, tools and tests) ----
    NavInputs inputs{};
    NavSolution solution{};
    std::array<SubframeSet, kPrnCount> subframeSets{};
    std::array<EphemerisRecord, kPrnCount> ephemeris{};  // current
    std::array<EphemerisRecord, kPrnCount> previousEphemeris{};
    std::array<AlmanacRecord, kPrnCount> almanac{};
    IonoUtcParameters iono{};
    int ionoValid = 0;
    SpecialMessageText specialMessage{};
    std::array<SatelliteStateCacheEntry, kPrnCount> cache{};  // not cleared by the reset
    std::array<SatelliteLookRow, kPrnCount> lookTable{};
    std::array<std::int32_t, kPrnCount> refreshStamps{};  // whole seconds of the last refresh, 0 never
    std::array<ChannelTrack, kChannelCount> tracks{};
    std::array<int, kChannelCount> planSlots{};  // PRN per slot, 0 none
    PlanMode planMode = PlanMode::Idle;
    std::uint32_t epochCounter = 0;
    bool resetPending = true;  // the first epoch resets the engine

private:
    void DecodeAlmanacPage(std::size_t prnIndex, const SubframeWords& words, bool& dropped);
    void CompleteEphemeris(std::size_t prnIndex, std::uint32_t towCount);
    void RefreshAllRows(int week, double t);
    void PlanReset();
    void PlanStep();
    void RestartTrack(std::size_t slot);
};

// The program's one engine (import mode 2 of port 1).
NavEngine& ProcessNavEngine();
