// The multi-constellation receiver's NMEA output read back with the tests' own reader: checksums,
// talkers, GSV set arithmetic, satellite numbers per dialect, used satellites against GSA, GGA and
// GNS; the classic GPS-only output unchanged; restarts reaching every system.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "NmeaLines.h"
#include "SimTestSupport.h"
#include "sim/SimStream.h"

namespace
{
using namespace vrnsim;
using simtest::NmeaLine;
using simtest::ParseNmeaLine;
using simtest::SplitLines;
using simtest::ToInt;

constexpr GnssSet kAll = kAllSystems;
constexpr GnssSet Systems(std::initializer_list<GnssSystem> list)
{
    GnssSet s = 0;
    for (const GnssSystem g : list)
        s = static_cast<GnssSet>(s | SystemBit(g));
    return s;
}

StreamOptions Modern(GnssSet systems, NmeaVersion v, Geodetic at = StreamOptions{}.position,
                     GpsTime start = simtest::kStart)
{
    StreamOptions o = simtest::Options(SimProtocol::Nmea);
    o.systems = systems;
    o.nmeaVersion = v;
    o.position = at;
    o.start = start;
    return o;
}

struct Range
{
    int lo, hi;
};
bool InAny(int n, const std::vector<Range>& ranges)
{
    for (const Range& r : ranges)
        if (n >= r.lo && n <= r.hi)
            return true;
    return false;
}

// What real receivers send under each dialect: per GSV talker the satellite numbers and signal ids.
struct TalkerRule
{
    std::vector<Range> numbers;
    std::set<std::string> signals;  // empty: no signal field
    std::string firstSignal;        // the L1-band one every satellite sends
};
std::map<std::string, TalkerRule> RulesOf(NmeaVersion v)
{
    switch (v)
    {
        case NmeaVersion::V23:
            return {{"GP", {{{1, 32}, {193, 202}}, {}, ""}},
                    {"GL", {{{65, 96}}, {}, ""}},
                    {"GA", {{{301, 336}}, {}, ""}},
                    {"GB", {{{401, 463}}, {}, ""}}};
        case NmeaVersion::V410:
            return {{"GP", {{{1, 32}, {193, 202}}, {"1", "7"}, "1"}},
                    {"GL", {{{65, 96}}, {"1"}, "1"}},
                    {"GA", {{{1, 36}}, {"7", "1"}, "7"}},
                    {"GB", {{{1, 63}}, {"1"}, "1"}}};
        case NmeaVersion::V411:
            return {{"GP", {{{1, 32}}, {"1", "7"}, "1"}},
                    {"GL", {{{65, 96}}, {"1"}, "1"}},
                    {"GA", {{{1, 36}}, {"7", "1"}, "7"}},
                    {"GB", {{{1, 63}}, {"1"}, "1"}},
                    {"GQ", {{{1, 10}}, {"1", "7"}, "1"}}};
    }
    return {};
}
// GSA system id -> the talker of that system's GSV sets.
const std::map<int, std::string> kSystemTalker = {{1, "GP"}, {2, "GL"}, {3, "GA"}, {4, "GB"}, {5, "GQ"}};

double Degrees(const std::string& value, const std::string& hemisphere, int degreeDigits)
{
    const double whole = std::stod(value.substr(0, static_cast<std::size_t>(degreeDigits)));
    const double minutes = std::stod(value.substr(static_cast<std::size_t>(degreeDigits)));
    const double d = whole + minutes / 60.0;
    return hemisphere == "S" || hemisphere == "W" ? -d : d;
}

struct DialectCase
{
    const char* name;
    GnssSet systems;
    NmeaVersion version;
    Geodetic at;
    std::string mainTalker;
    std::set<std::string> gsvSets;  // talker + signal id of every set each epoch
};

TEST(GnssNmea, EveryDialectKeepsTheSentenceRulesAndUsedSatellitesAgree)
{
    const Geodetic taiwan = StreamOptions{}.position;
    const Geodetic munich{48.14 * kDegree, 11.58 * kDegree, 520.0};
    const Geodetic sydney{-33.87 * kDegree, 151.21 * kDegree, 40.0};
    const std::vector<DialectCase> cases = {
        {"4.11 five systems",
         kAll,
         NmeaVersion::V411,
         taiwan,
         "GN",
         {"GP1", "GP7", "GL1", "GA7", "GA1", "GB1", "GQ1", "GQ7"}},
        {"4.10 five systems",
         kAll,
         NmeaVersion::V410,
         taiwan,
         "GN",
         {"GP1", "GP7", "GL1", "GA7", "GA1", "GB1"}},
        {"2.3 five systems", kAll, NmeaVersion::V23, taiwan, "GN", {"GP", "GL", "GA", "GB"}},
        {"4.11 GPS and Galileo, Munich",
         Systems({GnssSystem::Gps, GnssSystem::Galileo}),
         NmeaVersion::V411,
         munich,
         "GN",
         {"GP1", "GP7", "GA7", "GA1"}},
        {"2.3 GPS and GLONASS, Sydney",
         Systems({GnssSystem::Gps, GnssSystem::Glonass}),
         NmeaVersion::V23,
         sydney,
         "GN",
         {"GP", "GL"}},
        {"4.11 BeiDou alone", Systems({GnssSystem::BeiDou}), NmeaVersion::V411, taiwan, "GB", {"GB1"}},
        {"4.10 GPS and QZSS share GP",
         Systems({GnssSystem::Gps, GnssSystem::Qzss}),
         NmeaVersion::V410,
         taiwan,
         "GP",
         {"GP1", "GP7"}},
    };
    for (const DialectCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto rules = RulesOf(c.version);
        const bool signalIds = c.version != NmeaVersion::V23;
        CSimStream stream(Modern(c.systems, c.version, c.at));
        std::vector<std::uint8_t> bytes;
        int fixes = 0;
        for (int epoch = 0; epoch < 70; ++epoch)
        {
            bytes.clear();
            stream.Next(bytes);
            const Epoch& truth = stream.LastEpoch();
            std::string why;
            int ggaUsed = -1, gnsUsed = -1, gsaListed = 0, quality = -1;
            std::set<int> gsaSystems;
            std::vector<std::pair<std::string, int>> listed;  // GSV talker, number
            // GSV set bookkeeping per talker + signal.
            struct SetState
            {
                int total = 0, next = 1, inView = 0, seen = 0;
                std::set<int> numbers;
            };
            std::map<std::string, SetState> sets;
            std::map<std::string, std::map<int, int>> snrOnFirstSignal;  // talker -> number -> snr
            for (const std::string& text : SplitLines(std::string(bytes.begin(), bytes.end())))
            {
                const auto line = ParseNmeaLine(text, why);
                ASSERT_TRUE(line) << why << ": " << text;
                const auto& f = line->fields;
                if (line->type == "GSV")
                {
                    ASSERT_TRUE(rules.count(line->talker)) << text;
                    const TalkerRule& rule = rules.at(line->talker);
                    ASSERT_EQ((f.size() - 3 - (signalIds ? 1 : 0)) % 4, 0U) << text;
                    const std::string key = line->talker + (signalIds ? f.back() : "");
                    if (signalIds)
                    {
                        EXPECT_TRUE(rule.signals.count(f.back())) << text;
                    }
                    SetState& s = sets[key];
                    const int total = ToInt(f[0]), number = ToInt(f[1]), inView = ToInt(f[2]);
                    if (number == 1)
                        s = SetState{total, 1, inView, 0, {}};
                    ASSERT_EQ(number, s.next) << text;
                    ASSERT_EQ(total, s.total) << text;
                    ASSERT_EQ(inView, s.inView) << text;
                    EXPECT_EQ(total, std::max(1, (inView + 3) / 4)) << text;
                    const int groups = static_cast<int>((f.size() - 3 - (signalIds ? 1 : 0)) / 4);
                    EXPECT_EQ(groups, std::min(4, inView - 4 * (number - 1))) << text;
                    for (int g = 0; g < groups; ++g)
                    {
                        const auto k = static_cast<std::size_t>(3 + 4 * g);
                        const int sv = ToInt(f[k]), el = ToInt(f[k + 1]), az = ToInt(f[k + 2]),
                                  snr = ToInt(f[k + 3]);
                        EXPECT_TRUE(InAny(sv, rule.numbers)) << text;
                        EXPECT_TRUE(s.numbers.insert(sv).second) << sv << " twice in one set: " << text;
                        EXPECT_TRUE(el >= 0 && el <= 90 && az >= 0 && az <= 359) << text;
                        EXPECT_TRUE(snr == -1 || (snr >= 20 && snr <= 55)) << text;
                        if (!signalIds || f.back() == rule.firstSignal)
                            snrOnFirstSignal[line->talker][sv] = snr;
                    }
                    s.seen += groups;
                    s.next = number + 1;
                }
                else if (line->type == "GSA")
                {
                    EXPECT_EQ(line->talker, c.mainTalker) << text;
                    ASSERT_EQ(f.size(), signalIds ? 18U : 17U) << text;
                    std::string talker;
                    if (signalIds)
                    {
                        const int id = ToInt(f.back());
                        ASSERT_TRUE(kSystemTalker.count(id)) << text;
                        EXPECT_TRUE(c.version == NmeaVersion::V411 || id <= 4) << text;
                        talker = kSystemTalker.at(id);
                        gsaSystems.insert(id);
                    }
                    for (std::size_t k = 2; k < 14; ++k)
                    {
                        const int sv = ToInt(f[k]);
                        if (sv < 0)
                            continue;
                        std::string owner = talker;
                        if (!signalIds)  // 2.3: the number range tells the system
                            for (const auto& [t, rule] : rules)
                                if (InAny(sv, rule.numbers))
                                    owner = t;
                        ASSERT_TRUE(rules.count(owner) && InAny(sv, rules.at(owner).numbers)) << text;
                        listed.emplace_back(owner, sv);
                        ++gsaListed;
                    }
                    EXPECT_EQ(f[1], quality > 0 ? "3" : "1") << text;
                }
                else if (line->type == "GGA")
                {
                    EXPECT_EQ(line->talker, c.mainTalker) << text;
                    quality = ToInt(f[5]);
                    ggaUsed = ToInt(f[6]);
                    if (quality > 0)
                    {
                        EXPECT_NEAR(Degrees(f[1], f[2], 2), truth.geodetic.latitude / kDegree, 1e-4) << text;
                        EXPECT_NEAR(Degrees(f[3], f[4], 3), truth.geodetic.longitude / kDegree, 1e-4) << text;
                        ++fixes;
                    }
                }
                else if (line->type == "GNS")
                {
                    EXPECT_TRUE(signalIds) << "GNS is no 2.3 sentence";
                    EXPECT_EQ(f[5].size(), c.version == NmeaVersion::V411 ? 6U : 4U) << text;
                    gnsUsed = ToInt(f[6]);
                }
                else
                    EXPECT_TRUE(line->type == "GLL" || line->type == "RMC" || line->type == "VTG") << text;
            }
            // Every set complete, and exactly the sets of the selected systems and signals.
            std::set<std::string> keys;
            for (const auto& [key, s] : sets)
            {
                EXPECT_EQ(s.next, s.total + 1) << key;
                EXPECT_EQ(s.seen, s.inView) << key;
                keys.insert(key);
            }
            EXPECT_EQ(keys, c.gsvSets);
            // The fix counts what GSA lists, and GSA lists only tracked satellites in view.
            EXPECT_EQ(ggaUsed, gsaListed);
            if (signalIds)
            {
                EXPECT_EQ(gnsUsed, ggaUsed);
            }
            for (const auto& [talker, sv] : listed)
            {
                const auto& seen = snrOnFirstSignal[talker];
                ASSERT_TRUE(seen.count(sv)) << talker << sv << " used but not in view";
                EXPECT_GT(seen.at(sv), 0) << talker << sv << " used but not tracked";
            }
            // One GSA system per GSV talker, and once the fix has settled every system takes part.
            std::set<std::string> talkers;
            for (const std::string& key : c.gsvSets)
                talkers.insert(key.substr(0, 2));
            if (signalIds)
            {
                EXPECT_EQ(gsaSystems.size(), talkers.size());
            }
            if (epoch > 40)
            {
                EXPECT_GT(quality, 0);
                for (const std::string& t : talkers)
                    EXPECT_TRUE(std::any_of(listed.begin(), listed.end(),
                                            [&](const auto& l) { return l.first == t; }))
                        << t << " has no satellite in the fix";
            }
        }
        EXPECT_GT(fixes, 40);
    }
}

// FNV-1a of a byte stream.
std::uint64_t Fingerprint(const std::vector<std::uint8_t>& bytes)
{
    std::uint64_t h = 0xCBF29CE484222325ULL;
    for (const std::uint8_t b : bytes)
        h = (h ^ b) * 0x100000001B3ULL;
    return h;
}

TEST(GnssNmea, GpsAloneInTwoPointThreeIsTheClassicOutputByteForByte)
{
    // The first ten minutes of the default receiver as it has always been (287047 bytes), whether
    // the options name GPS and 2.3 or not.
    StreamOptions named = simtest::Options(SimProtocol::Nmea);
    named.systems = kGpsOnly;
    named.nmeaVersion = NmeaVersion::V23;
    for (const StreamOptions& o : {simtest::Options(SimProtocol::Nmea), named})
    {
        CSimStream stream(o);
        EXPECT_EQ(stream.LastGnssEpoch(), nullptr);
        std::vector<std::uint8_t> bytes;
        for (;;)
        {
            const std::size_t before = bytes.size();
            if (stream.Next(bytes) >= 600.0)
            {
                bytes.resize(before);
                break;
            }
        }
        EXPECT_EQ(bytes.size(), 287047U);
        EXPECT_EQ(Fingerprint(bytes), 0x9BBFA75A7F443FC6ULL);
    }
}

TEST(GnssNmea, ModernGpsReportsTheClassicReceiversSatellitesAndFix)
{
    // The same receiver model under both writers: GPS L1 satellites, used set and GGA agree.
    CSimStream classic(simtest::Options(SimProtocol::Nmea));
    CSimStream modern(Modern(kGpsOnly, NmeaVersion::V411));
    std::vector<std::uint8_t> a, b;
    int compared = 0;
    for (int epoch = 0; epoch < 40; ++epoch)
    {
        a.clear();
        b.clear();
        classic.Next(a);
        modern.Next(b);
        const std::string ta(a.begin(), a.end()), tb(b.begin(), b.end());
        const auto skyA = simtest::ReadGsv(ta, false), skyB = simtest::ReadGsv(tb, true);
        ASSERT_TRUE(skyA.count("GP") && skyB.count("GP1"));
        const auto& l1 = skyB.at("GP1");
        ASSERT_EQ(skyA.at("GP").size(), l1.size());
        for (const auto& [sv, look] : skyA.at("GP"))
        {
            ASSERT_TRUE(l1.count(sv)) << sv;
            EXPECT_EQ(l1.at(sv).elevation, look.elevation);
            EXPECT_EQ(l1.at(sv).azimuth, look.azimuth);
            EXPECT_EQ(l1.at(sv).snr, look.snr);
        }
        // L5 only from the satellites that send it, a little stronger than L1 when tracked.
        for (const auto& [sv, look] : skyB.at("GP7"))
        {
            EXPECT_TRUE(SendsSignal(GnssSystem::Gps, sv, 1)) << sv;
            if (look.snr > 0)
            {
                EXPECT_GE(look.snr, l1.at(sv).snr);
            }
        }
        const auto gga = [](const std::string& text)
        {
            for (const std::string& l : SplitLines(text))
                if (l.rfind("$GPGGA", 0) == 0)
                    return l;
            return std::string();
        };
        EXPECT_EQ(gga(ta), gga(tb));
        std::set<int> usedA, usedB;
        std::string why;
        for (const auto& [text, used] : {std::pair{&ta, &usedA}, std::pair{&tb, &usedB}})
            for (const std::string& l : SplitLines(*text))
                if (const auto line = ParseNmeaLine(l, why); line && line->type == "GSA")
                    for (std::size_t k = 2; k < 14; ++k)
                        if (ToInt(line->fields[k]) > 0)
                            used->insert(ToInt(line->fields[k]));
        EXPECT_EQ(usedA, usedB);
        ++compared;
    }
    EXPECT_EQ(compared, 40);
}

// The program's initialisation command: id, week, time, position, clock, start mode, output
// flags, baud code, little-endian.
std::vector<std::uint8_t> InitCommand(int startMode)
{
    std::vector<std::uint8_t> m(kInitCommandSize, 0);
    m[0] = kIdInitCommand;
    m[15] = static_cast<std::uint8_t>(startMode);
    m[16] = kNmeaAllSentences | kNmeaChecksums;
    m[17] = 3;
    return m;
}

TEST(GnssNmea, StartCommandsRestartEverySystem)
{
    struct Case
    {
        int mode;
        double silentS;  // no system tracks anything for at least this long (0: not checked)
        double fixWithinS;
    };
    // Cold: 8-14 s of sky search to lock, then a frame for the ephemerides. Warm: lock in seconds,
    // but the ephemerides are lost. Hot: back within seconds.
    const std::vector<Case> cases = {{3, 8.0, 120.0}, {2, 1.0, 70.0}, {1, 0.0, 12.0}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mode);
        CSimStream stream(Modern(kAll, NmeaVersion::V411));
        std::vector<std::uint8_t> bytes;
        for (int i = 0; i < 60; ++i)
            stream.Next(bytes);
        ASSERT_TRUE(stream.LastGnssEpoch()->fix.valid);
        stream.Apply(InitCommand(c.mode));
        double lostFor = -1.0, backAfter = -1.0;
        for (int second = 1; second <= 150 && backAfter < 0.0; ++second)
        {
            bytes.clear();
            stream.Next(bytes);
            const auto sky = simtest::ReadGsv(std::string(bytes.begin(), bytes.end()), true);
            bool anyTracked = false;
            for (const auto& [key, sats] : sky)
                for (const auto& [sv, look] : sats)
                    anyTracked = anyTracked || look.snr > 0;
            if (!anyTracked)
                lostFor = second;
            if (stream.LastGnssEpoch()->fix.valid)
                backAfter = second;
        }
        if (c.silentS > 0.0)
        {
            EXPECT_GE(lostFor, c.silentS);
        }
        ASSERT_GT(backAfter, 0.0);
        EXPECT_LE(backAfter, c.fixWithinS);
        if (c.mode == 3)
        {
            EXPECT_GT(backAfter, 20.0);  // the sky search, then at least one ephemeris (18 s or more)
        }
    }
}

}  // namespace
