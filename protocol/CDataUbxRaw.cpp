// CData: a u-blox receiver's raw data as the input of the program's own navigation (port 1 in UBX
// mode with the Test option). RXM-RAWX (or RXM-RAW of u-blox 6) becomes one measurement epoch:
// the GPS L1 C/A measurements whose tracking status says the pseudorange is valid, in twelve
// channels, as the channel-measurement message (pseudorange, range rate) and the measurement message
// (time, channel status) of the classic receiver; RXM-SFRBX (or RXM-SFRB) GPS L1 C/A subframes
// become the subframe messages. The engine then runs one epoch and this set's own NAV, DOP and SV
// records and its full-precision fix are filled, exactly as in the classic Test mode.
//
// Channels. The engine keeps per-channel continuity (time step, range-rate jump, a count of good
// epochs), so a satellite must keep its channel while it is tracked: a satellite keeps the channel
// it was given as long as every epoch reports it; a satellite that is missing from an epoch gives
// its channel up, and a channel given up is handed to a newcomer one epoch later at the earliest,
// so no continuity carries from one satellite to another. Newcomers take the lowest free channel in
// the order the message lists them; beyond twelve satellites the rest wait for a free channel.
//
// Time. The measurement time is the receiver's time of week of the epoch (rcvTow), the range rate
// is the Doppler times the L1 wavelength with the sign turned (a satellite moving away has a
// negative Doppler). The engine's continuity window follows the receiver's measurement interval:
// the interval of the previous epoch, ± 1.1 ms (a receiver clock step of a millisecond passes).
#include <algorithm>
#include <cmath>

#include "nav/NavEngine.h"
#include "protocol/CData.h"
#include "protocol/UbxFrame.h"
#include "protocol/WireBytes.h"

namespace
{
constexpr double kSpeedOfLight = 299792458.0;
constexpr double kL1Wavelength = kSpeedOfLight / 1575.42e6;  // m
constexpr double kIntervalTolerance = 0.0011;                // s
constexpr double kShortestInterval = 0.04, kLongestInterval = 30.0;
constexpr std::uint8_t kLockedSignal = 63;
constexpr std::size_t kRawxHeader = 16, kRawxEntry = 32;
constexpr std::size_t kRawHeader = 8, kRawEntry = 24;
constexpr std::uint32_t kPreamble = 0x8B;

struct RawMeasurement
{
    int prn = 0;
    double pseudorangeM = 0.0;
    double dopplerHz = 0.0;
    int cnoDbHz = 0;
};

// Gives each measured satellite its channel (see the file comment); returns the channel per entry
// of `measured`, or -1 for a satellite that found none.
std::array<int, 64> AssignChannels(UbxChannelMap& map, std::span<const RawMeasurement> measured)
{
    auto reported = [&](int prn) {
        return std::any_of(measured.begin(), measured.end(), [prn](const RawMeasurement& m) { return m.prn == prn; });
    };
    for (std::size_t c = 0; c < kChannelCount; ++c)
    {
        if (map.prn[c] == 0)
            map.freeEpochs[c] = static_cast<std::uint8_t>(std::min(255, map.freeEpochs[c] + 1));
        else if (!reported(map.prn[c]))
        {
            map.prn[c] = 0;
            map.freeEpochs[c] = 0;
        }
    }
    std::array<int, 64> channel{};
    channel.fill(-1);
    for (std::size_t k = 0; k < measured.size() && k < channel.size(); ++k)
    {
        const auto held = std::find(map.prn.begin(), map.prn.end(), static_cast<std::uint8_t>(measured[k].prn));
        if (held != map.prn.end())
        {
            channel[k] = static_cast<int>(held - map.prn.begin());
            continue;
        }
        for (std::size_t c = 0; c < kChannelCount; ++c)
            if (map.prn[c] == 0 && map.freeEpochs[c] >= 1)
            {
                map.prn[c] = static_cast<std::uint8_t>(measured[k].prn);
                channel[k] = static_cast<int>(c);
                break;
            }
    }
    return channel;
}
}  // namespace

int CData::ImportUbxNavigationInput(std::uint8_t cls, std::uint8_t id, std::span<const std::uint8_t> payload)
{
    const std::uint16_t key = ubx::MessageKey(cls, id);
    const WireBytes w(payload, false);
    NavEngine& engine = ProcessNavEngine();
    std::array<RawMeasurement, 64> measured{};
    std::size_t n = 0;
    double rcvTow = 0.0;
    int week = 0;
    switch (key)
    {
        case ubx::kRxmRawx:
        {
            if (payload.size() < kRawxHeader)
                return kImportRejected;
            rcvTow = w.F64(0);
            week = w.U16(8);
            const std::size_t count = std::min<std::size_t>(w.U8(11), (payload.size() - kRawxHeader) / kRawxEntry);
            for (std::size_t k = 0; k < count && n < measured.size(); ++k)
            {
                const std::size_t at = kRawxHeader + k * kRawxEntry;
                const bool gpsL1 = w.U8(at + 20) == 0 && w.U8(at + 22) == 0;  // GPS, signal L1 C/A
                const bool prValid = (w.U8(at + 30) & 0x01) != 0;
                const int prn = w.U8(at + 21);
                const double pr = w.F64(at);
                const double doppler = w.F32(at + 16);
                if (!gpsL1 || !prValid || !PrnIndex(prn) || !std::isfinite(pr) || pr <= 0.0 || !std::isfinite(doppler))
                    continue;
                measured[n++] = {prn, pr, doppler, w.U8(at + 26)};
            }
            break;
        }
        case ubx::kRxmRaw:
        {
            if (payload.size() < kRawHeader)
                return kImportRejected;
            rcvTow = w.I32(0) * 0.001;
            week = w.I16(4);
            const std::size_t count = std::min<std::size_t>(w.U8(6), (payload.size() - kRawHeader) / kRawEntry);
            for (std::size_t k = 0; k < count && n < measured.size(); ++k)
            {
                const std::size_t at = kRawHeader + k * kRawEntry;
                const int prn = w.U8(at + 20);
                const int quality = w.I8(at + 21);  // 4 and up: pseudorange and Doppler good
                const double pr = w.F64(at + 8);
                const double doppler = w.F32(at + 16);
                if (quality < 4 || !PrnIndex(prn) || !std::isfinite(pr) || pr <= 0.0 || !std::isfinite(doppler))
                    continue;
                measured[n++] = {prn, pr, doppler, std::max<int>(0, w.I8(at + 22))};
            }
            break;
        }
        case ubx::kRxmSfrbx:
        {
            // GPS L1 C/A: ten words, the 30 bits of each right-aligned with its parity, data bits
            // as broadcast before inversion.
            if (payload.size() < 8 + 40 || w.U8(0) != 0 || w.U8(2) != 0 || w.U8(4) != 10 || !PrnIndex(w.U8(1)))
                return kImportAccepted;
            SubframeRecord record{};
            record.id = kIdSubframe;
            record.prn = w.U8(1);
            for (std::size_t k = 0; k < record.words.size(); ++k)
                record.words[k] = w.U32(8 + 4 * k) & 0x3FFFFFFFU;
            if ((record.words[0] >> 22 & 0xFFU) != kPreamble)
                return kImportAccepted;
            subframe = record;
            engine.QueueSubframe(record);
            ++ublox.subframes;
            return kImportAccepted;
        }
        case ubx::kRxmSfrb:
        {
            // u-blox 6: the 24 data bits of each word right-aligned, parity stripped.
            if (payload.size() < 42 || !PrnIndex(w.U8(1)))
                return kImportAccepted;
            SubframeRecord record{};
            record.id = kIdSubframe;
            record.prn = w.U8(1);
            for (std::size_t k = 0; k < record.words.size(); ++k)
                record.words[k] = (w.U32(2 + 4 * k) & 0xFFFFFFU) << 6;
            if ((record.words[0] >> 22 & 0xFFU) != kPreamble)
                return kImportAccepted;
            subframe = record;
            engine.QueueSubframe(record);
            ++ublox.subframes;
            return kImportAccepted;
        }
        default:
            return kImportAccepted;
    }
    if (!std::isfinite(rcvTow) || rcvTow < 0.0 || rcvTow >= 604800.0)
        return kImportRejected;

    const std::array<int, 64> channel = AssignChannels(ublox.channels, std::span(measured).first(n));
    satData = {};
    satData.id = kIdSatData;
    satData.week = static_cast<std::int16_t>(week);
    satData.time = rcvTow;
    meas = {};
    meas.id = kIdMeas;
    meas.week = static_cast<std::uint16_t>(week);
    meas.timeOfWeek = ClampToInt<std::int32_t>(std::round(rcvTow * 100.0));
    std::size_t stored = 0;
    for (std::size_t c = 0; c < kChannelCount; ++c)
    {
        const auto k = static_cast<std::size_t>(
            std::find(channel.begin(), channel.begin() + static_cast<std::ptrdiff_t>(n), static_cast<int>(c)) -
            channel.begin());
        if (k >= n)
            continue;
        const RawMeasurement& m = measured[k];
        const double rangeRate = -m.dopplerHz * kL1Wavelength;
        SatDataEntry& e = satData.entries[stored++];
        e.channel = static_cast<std::uint8_t>(c);
        e.prn = static_cast<std::uint8_t>(m.prn);
        e.pseudorange = m.pseudorangeM;
        e.rangeRate = rangeRate;
        MeasEntry& me = meas.entries[c];
        me.chanPrn = static_cast<std::uint16_t>(c | static_cast<unsigned>(m.prn) << 4);
        me.signal = static_cast<std::uint8_t>(std::clamp(m.cnoDbHz, int{kLockedSignal}, 255));
        me.meas1 = ClampToInt<std::int32_t>(std::round(m.pseudorangeM));
        me.meas2 = ClampToInt<std::int32_t>(std::round(rangeRate * 1000.0));
        me.aux = ClampToInt<std::int16_t>(std::round(m.dopplerHz));
    }
    satData.count = static_cast<std::uint8_t>(stored);
    ublox.rawMeasurements += stored;
    ++ublox.rawEpochs;

    engine.StoreChannelMeasurements(satData);
    engine.SetEpochInputs(meas);
    // The continuity window around this receiver's measurement interval.
    const double interval = ublox.lastRawTow >= 0.0 ? rcvTow - ublox.lastRawTow : 0.0;
    const double nominal = ublox.rawIntervalS;
    if (nominal >= kShortestInterval && nominal <= kLongestInterval)
    {
        engine.inputs.intervalLowS = nominal - kIntervalTolerance;
        engine.inputs.intervalHighS = nominal + kIntervalTolerance;
    }
    ublox.rawIntervalS = interval;
    ublox.lastRawTow = rcvTow;
    RunOwnNavigationEpoch(engine);
    return kImportNavEpoch;
}
