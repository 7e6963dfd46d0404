// The byte stream of the simulated receiver, epoch by epoch, in one of its three protocols, and its
// side of the command link: the framed initialisation command it obeys.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/Records.h"
#include "sim/GnssNmea.h"
#include "sim/GnssTracking.h"
#include "sim/Messages.h"
#include "sim/ReceiverModel.h"
#include "sim/UbxMessages.h"

namespace vrnsim
{

enum class SimProtocol : std::uint8_t
{
    Nmea,
    Binary,
    Test,
    Ubx  // a u-blox receiver's binary protocol
};
std::optional<SimProtocol> ParseProtocol(std::string_view name);
std::string_view ProtocolName(SimProtocol p);

// Measurement intervals: the raw-measurement protocol steps a little under a second, inside the
// continuity window of the navigation engine that consumes it.
inline constexpr double kTestInterval = 0.9995;
inline constexpr double kSecondInterval = 1.0;
inline constexpr int kStatusEvery = 10;  // epochs between status blocks

struct StreamOptions
{
    SimProtocol protocol = SimProtocol::Nmea;
    std::optional<GpsTime> start;  // empty: now, from the PC clock
    Geodetic position{24.7753 * kDegree, 121.00248 * kDegree, 150.0};
    Vec3 velocityEnu;
    double noiseM = 0.0;
    std::uint64_t seed = 1;
    // NMEA only: the satellite systems the receiver tracks and the NMEA dialect it speaks. GPS alone
    // in 2.3 is the classic receiver's output; anything else is a modern multi-constellation
    // receiver's (GnssNmea.h). The binary protocols carry GPS only.
    GnssSet systems = kGpsOnly;
    NmeaVersion nmeaVersion = NmeaVersion::V23;
    // UBX only: the raw measurements and subframes too (RXM-RAWX, RXM-SFRBX), and NMEA sentences
    // after the UBX messages of each epoch.
    bool ubxRaw = false;
    bool nmeaToo = false;
    bool Modern() const { return systems != kGpsOnly || nmeaVersion != NmeaVersion::V23; }
};

// Bytes per second a protocol sends with about twelve satellites tracked and in view, for the
// baud-rate check (10 bits per byte on the line).
int TypicalBytesPerSecond(SimProtocol p);
// The same for a whole configuration: a modern NMEA receiver sends far more.
int TypicalBytesPerSecond(const StreamOptions& o);
inline int BytesPerSecondAt(int baud)
{
    return baud / 10;
}

inline constexpr std::string_view kTruthHeader =
    "week,tow,x,y,z,lat,lon,height,vx,vy,vz,clockBias,clockDrift,satsInView,satsTracked";
// One truth row (without line end) of an epoch: true GPS time, position, velocity, degrees for
// latitude and longitude, receiver clock bias (m) and drift (m/s), satellite counts.
std::string FormatTruthRow(const Epoch& e);

// What an initialisation command did.
struct CommandEffect
{
    std::string text;  // one line describing the command
    int baud = 0;      // new baud rate, 0 when unchanged
    std::vector<std::uint8_t> reply;  // bytes to send back first (UBX acknowledgements)
};

// Decodes an 18-byte initialisation command (id plus data, little-endian); empty when `message`
// is anything else.
std::optional<InitCommandRecord> DecodeInitCommand(std::span<const std::uint8_t> message);
int BaudFromCode(int code);  // 0 4800, 1 9600, 2 19200, 3 38400; 0 for other codes

// Pulls framed messages out of what the program writes to the receiver. Bytes outside frames and
// frames that fail the length or checksum test are counted and otherwise ignored.
class CCommandReader
{
public:
    // Complete, checked messages (id plus data) found in `bytes`, in order.
    std::vector<std::vector<std::uint8_t>> Feed(std::span<const std::uint8_t> bytes);
    // Bytes that were no command: outside frames or in frames that failed their checks.
    std::uint64_t IgnoredBytes() const { return m_ignored; }
    std::uint64_t BadFrames() const { return m_badFrames; }

private:
    enum class State : std::uint8_t
    {
        Hunting,
        AfterLeadingDle,
        Collecting,
        AfterInnerDle
    };
    State m_state = State::Hunting;
    std::vector<std::uint8_t> m_content;
    std::uint64_t m_ignored = 0;
    std::uint64_t m_badFrames = 0;
};

// The receiver's output, one epoch per call. Not thread-safe: one owner steps it.
class CSimStream
{
public:
    explicit CSimStream(const StreamOptions& options);

    // Appends the bytes of the next epoch to `out`; returns the epoch's receiver time in seconds
    // since the first epoch (the pacing time).
    double Next(std::vector<std::uint8_t>& out);
    const Epoch& LastEpoch() const { return m_model.Last(); }
    // Every system's satellites and the combined fix of the last epoch; null for the classic receiver.
    const GnssEpoch* LastGnssEpoch() const { return m_tracker ? &m_tracker->Last() : nullptr; }
    SimProtocol Protocol() const { return m_protocol; }
    GpsTime Start() const { return m_start; }
    std::uint8_t NmeaSelection() const { return m_nmeaSelection; }

    // Obeys a command message (id plus data) from the program.
    CommandEffect Apply(std::span<const std::uint8_t> message);
    // Obeys a UBX message (class, id, payload) from the program (UBX protocol).
    CommandEffect ApplyUbx(std::uint8_t cls, std::uint8_t id, std::span<const std::uint8_t> payload);
    const UbxOutputs& Outputs() const { return m_ubxOutputs; }

private:
    GpsTime m_start;
    CReceiverModel m_model;
    std::unique_ptr<CGnssTracker> m_tracker;  // the modern receiver's other systems; null for the classic one
    NmeaVersion m_nmeaVersion;
    SimProtocol m_protocol;
    SimProtocol m_binaryProtocol;  // what bit 7 of the output flags switches back to
    std::uint8_t m_nmeaSelection = kNmeaAllSentences | 0x40;
    UbxOutputs m_ubxOutputs;
    bool m_nmeaToo = false;
    double m_elapsed = 0.0;
    double m_interval = 0.0;
    long m_epochs = 0;
};

}  // namespace vrnsim
