// Sentence assembly of the multi-constellation receiver.
#include "sim/GnssNmea.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "sim/Messages.h"
#include "sim/NmeaText.h"

namespace vrnsim
{
namespace
{
constexpr std::size_t kGsaSlots = 12;
constexpr std::size_t kGsvGroups = 4;
constexpr std::string_view kHexDigits = "0123456789ABCDEF";

// The reporting systems present when `systems` are on, in output order.
std::vector<GnssSystem> ReportingSystems(GnssSet systems, NmeaVersion v)
{
    std::array<bool, kGnssSystemCount> present{};
    for (std::size_t i = 0; i < kGnssSystemCount; ++i)
        if (Has(systems, static_cast<GnssSystem>(i)))
            present[SystemIndex(ReportingSystem(static_cast<GnssSystem>(i), v))] = true;
    std::vector<GnssSystem> out;
    for (std::size_t i = 0; i < kGnssSystemCount; ++i)
        if (present[i])
            out.push_back(static_cast<GnssSystem>(i));
    return out;
}

// Position-mode letters of GNS: one per system slot (GPS, GLONASS, Galileo, BeiDou; with 4.11 also
// QZSS and NavIC), 'A' where the slot's satellites are in the fix.
std::string GnsModes(const GnssFix& fix, NmeaVersion v)
{
    const std::size_t slots = v == NmeaVersion::V411 ? 6 : 4;
    std::string modes(slots, 'N');
    if (!fix.valid)
        return modes;
    for (std::size_t i = 0; i < kGnssSystemCount; ++i)
    {
        const std::size_t slot = SystemIndex(ReportingSystem(static_cast<GnssSystem>(i), v));
        if (fix.usedBySystem[i] > 0 && slot < slots)
            modes[slot] = 'A';
    }
    return modes;
}

void AppendDops(std::string& b, const GnssFix& fix)
{
    if (fix.valid)
    {
        b += ',';
        AppendFixed(b, fix.pdop, 1);
        b += ',';
        AppendFixed(b, fix.hdop, 1);
        b += ',';
        AppendFixed(b, fix.vdop, 1);
    }
    else
        b += ",,,";
}

// The GSA sentences of one reporting system: its satellites in the fix, twelve per sentence.
void AppendGsa(std::string& out, std::string& b, std::string_view talker, GnssSystem reporting,
               const GnssEpoch& g, NmeaVersion v, bool checksum)
{
    std::vector<int> used;
    for (const GnssSatelliteView& s : g.satellites)
        if (s.used && ReportingSystem(s.system, v) == reporting)
            used.push_back(NmeaNumber(s.system, s.number, v));
    std::size_t at = 0;
    do
    {
        b = talker;
        b += g.fix.valid ? "GSA,A,3" : "GSA,A,1";
        const std::size_t end = std::min(used.size(), at + kGsaSlots);
        for (std::size_t k = 0; k < kGsaSlots; ++k)
        {
            b += ',';
            if (at + k < end)
                AppendInt(b, used[at + k], 2);
        }
        AppendDops(b, g.fix);
        if (v != NmeaVersion::V23)
        {
            b += ',';
            AppendInt(b, SystemId(reporting));
        }
        out += Sentence(b, checksum);
        at = end;
    } while (at < used.size());
}

// One GSV set: the satellites of `reporting` in view that send the plan's signal `signal`, four
// per sentence; a set with no satellites is one sentence saying so.
void AppendGsvSet(std::string& out, std::string& b, GnssSystem reporting, std::size_t signal,
                  const GnssEpoch& g, NmeaVersion v, bool checksum)
{
    std::vector<const GnssSatelliteView*> listed;
    for (const GnssSatelliteView& s : g.satellites)
        if (ReportingSystem(s.system, v) == reporting && SendsSignal(s.system, s.number, signal))
            listed.push_back(&s);
    const std::size_t n = listed.size();
    const std::size_t messages = std::max<std::size_t>(1, (n + kGsvGroups - 1) / kGsvGroups);
    const std::string_view talker = Talker(reporting, v);
    for (std::size_t m = 0; m < messages; ++m)
    {
        b = talker;
        b += "GSV,";
        AppendInt(b, static_cast<long>(messages));
        b += ',';
        AppendInt(b, static_cast<long>(m + 1));
        b += ',';
        AppendInt(b, static_cast<long>(n), 2);
        for (std::size_t k = kGsvGroups * m; k < std::min(n, kGsvGroups * (m + 1)); ++k)
        {
            const GnssSatelliteView& s = *listed[k];
            b += ',';
            AppendInt(b, NmeaNumber(s.system, s.number, v), 2);
            b += ',';
            AppendInt(b, std::clamp(RoundedDegrees(s.elevation), 0, 90), 2);
            b += ',';
            AppendInt(b, RoundedDegrees(s.azimuth) % 360, 3);
            b += ',';
            if (s.cn0[signal] > 0.0)
                AppendInt(b, std::lround(s.cn0[signal]), 2);
        }
        if (v != NmeaVersion::V23)
        {
            b += ',';
            b += kHexDigits[static_cast<std::size_t>(SignalsOf(reporting).ids[signal]) & 0xFU];
        }
        out += Sentence(b, checksum);
    }
}
}  // namespace

std::optional<NmeaVersion> ParseNmeaVersion(std::string_view text)
{
    if (text == "2.3")
        return NmeaVersion::V23;
    if (text == "4.10")
        return NmeaVersion::V410;
    if (text == "4.11")
        return NmeaVersion::V411;
    return std::nullopt;
}

std::string_view NmeaVersionName(NmeaVersion v)
{
    switch (v)
    {
        case NmeaVersion::V23:
            return "2.3";
        case NmeaVersion::V410:
            return "4.10";
        case NmeaVersion::V411:
            return "4.11";
    }
    return "2.3";
}

GnssSystem ReportingSystem(GnssSystem system, NmeaVersion v)
{
    return system == GnssSystem::Qzss && v != NmeaVersion::V411 ? GnssSystem::Gps : system;
}

std::string_view Talker(GnssSystem system, NmeaVersion v)
{
    switch (ReportingSystem(system, v))
    {
        case GnssSystem::Gps:
            return "GP";
        case GnssSystem::Glonass:
            return "GL";
        case GnssSystem::Galileo:
            return "GA";
        case GnssSystem::BeiDou:
            return "GB";
        case GnssSystem::Qzss:
            return "GQ";
    }
    return "GP";
}

int NmeaNumber(GnssSystem system, int number, NmeaVersion v)
{
    switch (system)
    {
        case GnssSystem::Gps:
            return number;
        case GnssSystem::Glonass:
            return number + 64;
        case GnssSystem::Galileo:
            return v == NmeaVersion::V23 ? number + 300 : number;
        case GnssSystem::BeiDou:
            return v == NmeaVersion::V23 ? number + 400 : number;
        case GnssSystem::Qzss:
            return v == NmeaVersion::V411 ? number : number + 192;
    }
    return number;
}

int SystemId(GnssSystem reporting)
{
    return static_cast<int>(SystemIndex(reporting)) + 1;
}

std::string MakeGnssNmeaEpoch(const Epoch& e, const GnssEpoch& g, GnssSet systems, NmeaVersion v,
                              std::uint8_t selection)
{
    const bool checksum = (selection & kNmeaChecksums) != 0;
    const GnssFix& fix = g.fix;
    const UtcTime utc = ToUtc(e.trueTime);
    const std::vector<GnssSystem> reporting = ReportingSystems(systems, v);
    const std::string_view talker = reporting.size() == 1 ? Talker(reporting.front(), v) : "GN";
    FixFields fields{fix.valid, {}, fix.used, fix.hdop};
    if (fix.valid)
    {
        SpeedAndCourse(e.geodetic, fix.velocity, fields.speed, fields.course);
        fields.at = ToGeodetic(fix.position);
    }
    const Geodetic& at = fields.at;
    std::string out;
    out.reserve(2400);
    std::string b;
    b.reserve(96);

    if (selection & 0x01)  // GGA, and GNS from 4.10 on
    {
        b = talker;
        b += "GGA,";
        AppendGgaFields(b, utc, fields);
        out += Sentence(b, checksum);
        if (v != NmeaVersion::V23)
        {
            b = talker;
            b += "GNS,";
            AppendUtcTime(b, utc);
            b += ',';
            if (fix.valid)
                AppendPosition(b, at);
            else
                b += ",,,";
            b += ',';
            b += GnsModes(fix, v);
            b += ',';
            AppendInt(b, fix.used, 2);
            b += ',';
            if (fix.valid)
            {
                AppendFixed(b, fix.hdop, 1);
                b += ',';
                AppendFixed(b, at.height, 1);
                b += ",0.0,,,V";
            }
            else
                b += ",,,,,V";
            out += Sentence(b, checksum);
        }
    }
    if (selection & 0x02)  // GLL
    {
        b = talker;
        b += "GLL,";
        AppendGllFields(b, utc, fields);
        b += fix.valid ? ",A,A" : ",V,N";
        out += Sentence(b, checksum);
    }
    if (selection & 0x04)  // GSA, one (or more) per system
        for (const GnssSystem r : reporting)
            AppendGsa(out, b, talker, r, g, v, checksum);
    if (selection & 0x08)  // GSV, one set per system and signal
        for (const GnssSystem r : reporting)
        {
            const std::size_t signals = v == NmeaVersion::V23 ? 1 : SignalsOf(r).count;
            for (std::size_t k = 0; k < signals; ++k)
                AppendGsvSet(out, b, r, k, g, v, checksum);
        }
    if (selection & 0x10)  // RMC
    {
        b = talker;
        b += "RMC,";
        AppendRmcFields(b, utc, fields);
        b += fix.valid ? ",,,A" : ",,,N";
        if (v != NmeaVersion::V23)
            b += ",V";
        out += Sentence(b, checksum);
    }
    if (selection & 0x20)  // VTG
    {
        b = talker;
        b += "VTG,";
        AppendVtgFields(b, fields);
        b += fix.valid ? ",A" : ",N";
        out += Sentence(b, checksum);
    }
    return out;
}

}  // namespace vrnsim
