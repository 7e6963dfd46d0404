// The own fix as a receiver fix report; see the header.
#include "nav/OwnFix.h"

#include <cmath>
#include <cstring>
#include <ctime>

#include "nav/NavEngine.h"

void FillOwnFix(ReceiverFix& fix, const NavEngine& engine, bool solvedThisEpoch)
{
    const NavSolution& s = engine.solution;
    const std::uint32_t sequence = fix.sequence + 1;
    fix = ReceiverFix{};
    fix.sequence = sequence;
    std::memcpy(fix.source.data(), "OWN", 4);
    fix.gpsWeek = s.week;
    fix.gpsTimeOfWeekS = s.timeOfWeek;
    fix.latitudeDeg = s.latitude * kOwnFixDegreesPerRadian;
    fix.longitudeDeg = s.longitude * kOwnFixDegreesPerRadian;
    fix.heightEllipsoidM = s.height;
    fix.fixMode = s.fixMode >= 2 ? 3 : s.fixMode == 1 ? 2 : 1;
    fix.quality = s.fixMode > 0 ? 1 : 0;
    fix.modeIndicator = s.fixMode <= 0 ? 'N' : solvedThisEpoch ? 'A' : 'E';
    fix.satsUsed = s.satellitesUsed;
    fix.carried = kFixCarriesQuality | kFixCarriesSatsUsed;
    fix.hdop = s.hdop;
    fix.pdop = s.pdop;
    fix.vdop = s.vdop;
    fix.speedMps = s.speed;
    fix.courseDeg = s.heading;
    if (engine.ionoValid != 0 && s.week > 0 && std::isfinite(s.timeOfWeek))
    {
        // GPS to UTC with the broadcast leap seconds: date and time of day.
        const double utc = 315964800.0 + s.week * 604800.0 + s.timeOfWeek - engine.iono.deltaTLs;
        const double days = std::floor(utc / 86400.0);
        fix.utcSecondsOfDay = utc - days * 86400.0;
        const auto t = static_cast<std::time_t>(days * 86400.0);
        std::tm parts{};
        if (gmtime_r(&t, &parts) != nullptr)
        {
            const int fields[3] = {parts.tm_mday, parts.tm_mon + 1, parts.tm_year % 100};
            for (int i = 0; i < 3; ++i)
            {
                fix.date[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + fields[i] / 10);
                fix.date[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + fields[i] % 10);
            }
        }
    }
}
