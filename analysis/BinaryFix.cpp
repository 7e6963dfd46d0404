// Receiver fix from the binary NAV and DOP records; see the header.
#include "analysis/BinaryFix.h"

#include <cmath>
#include <cstring>

#include "nav/Coordinates.h"

namespace vrn::analysis
{
namespace
{
constexpr double kDegreesPerRadian = 57.29577951308232;
}

const ReceiverFix* CBinaryFixFallback::Offer(const CData& set)
{
    if (set.fix.sequence != 0)
        return &set.fix;
    const bool nav = set.currentId == kIdNav || set.currentId == kIdNavA;
    const bool dop = set.currentId == kIdDop || set.currentId == kIdDopA;
    if (nav)
    {
        const NavRecord& r = set.nav;
        const std::uint32_t sequence = m_fix.sequence + 1;
        m_fix = ReceiverFix{};
        m_fix.sequence = sequence;
        std::memcpy(m_fix.source.data(), "NAV", 4);
        m_fix.gpsWeek = r.week;
        m_fix.gpsTimeOfWeekS = r.timeOfWeek * 0.01;
        if (r.x != 0 || r.y != 0 || r.z != 0)  // an all-zero position is no position
        {
            const Triple g = EcefToGeodetic(r.x, r.y, r.z);
            m_fix.latitudeDeg = g[0] * kDegreesPerRadian;
            m_fix.longitudeDeg = g[1] * kDegreesPerRadian;
            m_fix.heightEllipsoidM = g[2];
        }
        m_fix.satsUsed = r.infoByte & 0x0F;
        m_have = true;
        return &m_fix;
    }
    if (dop)
    {
        const DopRecord& r = set.dop;
        const int mode = r.mode & 0x7F;
        const double tow = r.timeOfWeek * 0.01;
        const bool sameEpoch = m_have && m_fix.gpsWeek == r.week && std::fabs(m_fix.gpsTimeOfWeekS - tow) < 1e-3;
        if (!sameEpoch)
        {
            // A DOP record of an epoch without a NAV record: the receiver has no fix.
            const std::uint32_t sequence = m_fix.sequence + 1;
            m_fix = ReceiverFix{};
            m_fix.sequence = sequence;
            std::memcpy(m_fix.source.data(), "DOP", 4);
            m_fix.gpsWeek = r.week;
            m_fix.gpsTimeOfWeekS = tow;
            m_have = true;
        }
        // 0 none, 1 1D, 2 2D, 3 3D, 4 3D with corrections; larger values are satellite counts.
        m_fix.fixMode = mode <= 1 ? 1 : mode == 2 ? 2 : 3;
        m_fix.quality = mode <= 1 ? 0 : mode == 4 ? 2 : 1;
        m_fix.hdop = r.hdop * 0.1;
        m_fix.pdop = r.pdop * 0.1;
        m_fix.vdop = r.vdop * 0.1;
        return &m_fix;
    }
    return m_have ? &m_fix : nullptr;
}
}  // namespace vrn::analysis
