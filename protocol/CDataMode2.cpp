// CData: the navigation import mode (ids 8, 10 and 12 of port 1 in test mode). Subframes are
// queued and channel measurements copied into the process-wide navigation engine; every
// measurement message runs one navigation epoch and turns the solution into this set's own NAV,
// DOP and SV records, in the receiver's units, and into the set's fix (in full precision) and
// satellite table.
#include <algorithm>

#include "nav/NavEngine.h"
#include "nav/OwnFix.h"
#include "protocol/CData.h"

int CData::ImportNavigationInput(std::span<const std::uint8_t> message, std::size_t length, int byteOrder)
{
    NavEngine& engine = ProcessNavEngine();
    switch (currentId)
    {
        case kIdMeas:
        {
            DecodeMeas(message, length, byteOrder);
            engine.SetEpochInputs(meas);
            RunOwnNavigationEpoch(engine);
            return kImportNavEpoch;
        }
        case kIdSubframe:
            DecodeSubframe(message, byteOrder);
            engine.QueueSubframe(subframe);
            break;
        case kIdSatData:
            DecodeSatData(message, length, byteOrder);
            engine.StoreChannelMeasurements(satData);
            break;
        default:
            break;
    }
    return kImportAccepted;
}

namespace
{
std::int32_t Hundredths(double seconds)
{
    return ClampToInt<std::int32_t>(100.0 * seconds);
}
}  // namespace

void CData::RunOwnNavigationEpoch(NavEngine& engine)
{
    const int fixesBefore = engine.solution.fixCounter;
    engine.RunNavigationEpoch();
    (void)FillOwnNavRecord(engine);
    (void)FillOwnDopRecord(engine);
    (void)FillOwnSvRecord(engine);
    FillOwnFix(fix, engine, engine.solution.fixCounter != fixesBefore);
}

int CData::FillOwnNavRecord(const NavEngine& engine)
{
    const NavSolution& s = engine.solution;
    nav.id = kIdNav;
    nav.week = static_cast<std::uint16_t>(s.week);
    nav.timeOfWeek = Hundredths(s.timeOfWeek);
    nav.x = ClampToInt<std::int32_t>(s.x);
    nav.y = ClampToInt<std::int32_t>(s.y);
    nav.z = ClampToInt<std::int32_t>(s.z);
    nav.vx = ClampToInt<std::int16_t>(10.0 * s.vx);
    nav.vy = ClampToInt<std::int16_t>(10.0 * s.vy);
    nav.vz = ClampToInt<std::int16_t>(10.0 * s.vz);
    nav.infoByte = 0;
    nav.infoWord = 0;

    return 1;
}

int CData::FillOwnDopRecord(const NavEngine& engine)
{
    const NavSolution& s = engine.solution;
    dop.id = kIdDop;
    dop.week = static_cast<std::uint16_t>(s.week);
    dop.timeOfWeek = Hundredths(s.timeOfWeek);
    // Saturated, so that a failed solution (999.9) shows as 25.5 rather than wrapping to a good value.
    dop.gdop = ClampToInt<std::uint8_t>(10.0 * s.gdop);
    dop.pdop = ClampToInt<std::uint8_t>(10.0 * s.pdop);
    dop.hdop = ClampToInt<std::uint8_t>(10.0 * s.hdop);
    dop.vdop = ClampToInt<std::uint8_t>(10.0 * s.vdop);
    dop.tdop = ClampToInt<std::uint8_t>(10.0 * s.tdop);
    dop.mode = static_cast<std::uint8_t>(std::clamp(s.satellitesUsed, 0, 3));
    return 1;
}

int CData::FillOwnSvRecord(const NavEngine& engine)
{
    const NavSolution& s = engine.solution;
    sv.id = kIdSv;
    sv.week = static_cast<std::uint16_t>(s.week);
    sv.timeOfWeek = Hundredths(s.timeOfWeek);
    sv.count = static_cast<std::uint8_t>(kChannelCount);
    for (std::size_t k = 0; k < kChannelCount; ++k)
    {
        const std::uint16_t chanPrn = meas.entries[k].chanPrn;
        SvEntry& e = sv.entries[k];
        e = SvEntry{};
        e.channel = static_cast<std::uint8_t>(chanPrn & 0xFU);
        e.prn = static_cast<std::uint8_t>((chanPrn >> 4) & 0x1FU);
        if (const auto index = PrnIndex(e.prn))
        {
            const SatelliteLookRow& row = engine.lookTable[*index];
            e.azimuth = static_cast<std::uint16_t>(static_cast<unsigned>(row.azimuthDeg) & 0xFFFFU);
            const auto elevation = static_cast<unsigned>(row.elevationDeg);
            const unsigned magnitude = row.elevationDeg < 0 ? 0U - elevation : elevation;
            e.elevation = static_cast<std::uint8_t>(magnitude & 0xFFU);
        }
    }
    UpdateTableFromSv(10LL * sv.timeOfWeek);
    return 1;
}
