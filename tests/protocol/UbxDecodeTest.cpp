// The UBX message decoders, on messages built by hand from the published layouts: the fix of
// NAV-PVT (precision, UTC text, fix kinds), the satellite table of NAV-SAT and NAV-SVINFO, the
// classic records the views draw, times and leap seconds, MON-VER and short messages.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ProtocolTestSupport.h"
#include "nav/Coordinates.h"
#include "protocol/UbxFrame.h"

namespace
{
// A payload of `size` zero bytes with little-endian fields written at offsets.
struct Payload
{
    explicit Payload(std::size_t size) : bytes(size, 0) {}
    Payload& U8(std::size_t at, std::uint32_t v)
    {
        bytes.at(at) = static_cast<std::uint8_t>(v);
        return *this;
    }
    Payload& U16(std::size_t at, std::uint32_t v) { return U8(at, v & 0xFFU).U8(at + 1, v >> 8 & 0xFFU); }
    Payload& U32(std::size_t at, std::uint32_t v) { return U16(at, v & 0xFFFFU).U16(at + 2, v >> 16); }
    Payload& I32(std::size_t at, std::int32_t v) { return U32(at, static_cast<std::uint32_t>(v)); }
    Payload& Text(std::size_t at, std::string_view text)
    {
        std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return *this;
    }
    std::vector<std::uint8_t> bytes;
};

// NAV-PVT of 2021-06-10 18:18:55.500 at 50.1350851 N, 14.4299466 E (the layout of u-blox 8 on).
Payload Pvt()
{
    Payload p(92);
    p.U32(0, 411553500).U16(4, 2021).U8(6, 6).U8(7, 10).U8(8, 18).U8(9, 18).U8(10, 55).U8(11, 0x37);
    p.I32(16, 500399319).U8(20, 3).U8(21, 0x01).U8(23, 9);
    p.I32(24, 144299466).I32(28, 501350851).I32(32, 348857).I32(36, 304587);
    p.I32(48, 1000).I32(52, -2000).I32(56, 500).I32(60, 2236).I32(64, 29656505).U16(76, 249);
    return p;
}

TEST(UbxDecode, NavPvtGivesTheFixInFullPrecision)
{
    CData set;
    const unsigned what = set.ImportUbxMessage(0x01, 0x07, Pvt().bytes);
    EXPECT_NE(what & kUbxFix, 0U);
    const ReceiverFix& f = set.fix;
    EXPECT_STREQ(f.source.data(), "NAV-PVT");
    EXPECT_STREQ(f.utcText.data(), "181855.50");
    EXPECT_STREQ(f.date.data(), "100621");
    EXPECT_EQ(f.latitudeDeg, 501350851 * 1e-7);
    EXPECT_EQ(f.longitudeDeg, 144299466 * 1e-7);
    EXPECT_DOUBLE_EQ(f.heightEllipsoidM, 348.857);
    EXPECT_DOUBLE_EQ(f.altitudeMslM, 304.587);
    EXPECT_DOUBLE_EQ(f.geoidSeparationM, 44.27);
    EXPECT_EQ(f.fixMode, 3);
    EXPECT_EQ(f.quality, 1);
    EXPECT_EQ(f.satsUsed, 9);
    EXPECT_DOUBLE_EQ(f.pdop, 2.49);
    EXPECT_DOUBLE_EQ(f.speedMps, 2.236);
    EXPECT_DOUBLE_EQ(f.courseDeg, 296.56505);
    EXPECT_EQ(f.sequence, 1U);
    // 2021-06-10 is in GPS week 2161; the leap seconds follow from iTOW and the UTC time.
    EXPECT_EQ(f.gpsWeek, 2161);
    EXPECT_DOUBLE_EQ(f.gpsTimeOfWeekS, 411553.5);
    EXPECT_EQ(set.ublox.leapSeconds, 18);

    // The classic NAV record: ECEF metres and 0.1 m/s of the same position and velocity.
    const Triple xyz = GeodeticToEcef(50.1350851 * 0.017453292519943295, 14.4299466 * 0.017453292519943295, 348.857);
    EXPECT_EQ(set.nav.x, static_cast<std::int32_t>(std::lround(xyz[0])));
    EXPECT_EQ(set.nav.z, static_cast<std::int32_t>(std::lround(xyz[2])));
    EXPECT_EQ(set.nav.week, 2161);
    EXPECT_EQ(set.nav.timeOfWeek, 41155350);
    const double speed = std::sqrt(set.nav.vx * set.nav.vx + set.nav.vy * set.nav.vy + set.nav.vz * set.nav.vz);
    EXPECT_NEAR(speed, 10.0 * std::sqrt(1.0 + 4.0 + 0.25), 1.5);
    EXPECT_EQ(set.nav.infoByte & 0x0F, 9);
    EXPECT_EQ(set.dop.mode, 3);
    EXPECT_EQ(set.dop.pdop, 25);

    // The next report counts up.
    (void)set.ImportUbxMessage(0x01, 0x07, Pvt().bytes);
    EXPECT_EQ(set.fix.sequence, 2U);
}

TEST(UbxDecode, NavPvtFixKindsAndTimes)
{
    struct Case
    {
        const char* name;
        std::uint8_t fixType, flags;
        int fixMode, quality, classicMode;
        bool position;
    };
    const Case cases[] = {
        {"no fix", 0, 0x00, 1, 0, 0, false},
        {"dead reckoning only", 1, 0x00, 2, 6, 2, true},
        {"2D", 2, 0x01, 2, 1, 2, true},
        {"3D", 3, 0x01, 3, 1, 3, true},
        {"3D differential", 3, 0x03, 3, 2, 4, true},
        {"RTK float", 3, 0x43, 3, 5, 4, true},
        {"RTK fixed", 3, 0x83, 3, 4, 4, true},
        {"GNSS and dead reckoning", 4, 0x01, 3, 6, 3, true},
        {"3D but fix not OK", 3, 0x00, 3, 0, 3, true},
        {"time only", 5, 0x01, 1, 0, 0, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CData set;
        Payload p = Pvt();
        p.U8(20, c.fixType).U8(21, c.flags);
        (void)set.ImportUbxMessage(0x01, 0x07, p.bytes);
        EXPECT_EQ(set.fix.fixMode, c.fixMode);
        EXPECT_EQ(set.fix.quality, c.quality);
        EXPECT_EQ(set.dop.mode, c.classicMode);
        EXPECT_EQ(std::isfinite(set.fix.latitudeDeg), c.position);
    }

    // UTC text: the nanoseconds round to hundredths, also across a minute; a u-blox 7 layout (84
    // bytes) decodes; the newer invalidLlh flag takes the position away.
    struct TimeCase
    {
        std::uint8_t hour, minute, second;
        std::int32_t nano;
        const char* text;
    };
    for (const TimeCase& t : {TimeCase{12, 34, 56, -1200, "123456.00"}, TimeCase{12, 34, 59, 996000000, "123500.00"},
                              TimeCase{0, 0, 0, -4000000, "000000.00"}, TimeCase{23, 59, 59, 994999999, "235959.99"}})
    {
        CData set;
        Payload p = Pvt();
        p.U8(8, t.hour).U8(9, t.minute).U8(10, t.second).I32(16, t.nano);
        (void)set.ImportUbxMessage(0x01, 0x07, p.bytes);
        EXPECT_STREQ(set.fix.utcText.data(), t.text);
    }
    CData seven;
    Payload p = Pvt();
    p.bytes.resize(84);
    EXPECT_NE(seven.ImportUbxMessage(0x01, 0x07, p.bytes) & kUbxFix, 0U);
    EXPECT_TRUE(std::isfinite(seven.fix.latitudeDeg));
    CData invalid;
    (void)invalid.ImportUbxMessage(0x01, 0x07, Pvt().U8(78, 0x01).bytes);
    EXPECT_FALSE(std::isfinite(invalid.fix.latitudeDeg));
}

TEST(UbxDecode, ShortMessagesAreIgnoredAndChangeNothing)
{
    struct Case
    {
        std::uint8_t cls, id;
        std::size_t size;
    };
    for (const Case& c : {Case{0x01, 0x07, 83}, Case{0x01, 0x04, 17}, Case{0x01, 0x35, 7}, Case{0x01, 0x30, 7},
                          Case{0x01, 0x20, 15}, Case{0x01, 0x21, 19}, Case{0x01, 0x06, 51}, Case{0x01, 0x02, 27},
                          Case{0x0A, 0x04, 39}, Case{0x05, 0x01, 1}, Case{0x01, 0x3C, 40}})
    {
        CData set;
        const unsigned what = set.ImportUbxMessage(c.cls, c.id, std::vector<std::uint8_t>(c.size, 0x7F));
        EXPECT_EQ(what, kUbxIgnored) << int{c.cls} << "-" << int{c.id};
        EXPECT_EQ(set.fix.sequence, 0U);
        EXPECT_EQ(set.satellites.Size(), 0U);
    }
}

// One NAV-SAT entry: gnssId, svId, C/N0, elevation, azimuth, flags.
void SatEntry(Payload& p, std::size_t k, int gnss, int sv, int cno, int elevation, int azimuth, std::uint32_t flags)
{
    const std::size_t at = 8 + 12 * k;
    p.U8(at, static_cast<std::uint32_t>(gnss)).U8(at + 1, static_cast<std::uint32_t>(sv));
    p.U8(at + 2, static_cast<std::uint32_t>(cno)).U8(at + 3, static_cast<std::uint32_t>(elevation & 0xFF));
    p.U16(at + 4, static_cast<std::uint32_t>(azimuth & 0xFFFF)).U32(at + 8, flags);
}

TEST(UbxDecode, NavSatReplacesTheSatelliteTable)
{
    struct Expected
    {
        Constellation system;
        int svid;
        int elevation, azimuth, snr;
        bool used;
        int health;
    };
    Payload p(8 + 12 * 9);
    p.U32(0, 411553500).U8(4, 1).U8(5, 9);
    SatEntry(p, 0, 0, 12, 45, 67, 123, 0x0000081F);   // GPS, used (bit 3), healthy, ephemeris
    SatEntry(p, 1, 6, 5, 30, -5, 300, 0x00000024);    // GLONASS, unhealthy, negative elevation
    SatEntry(p, 2, 2, 11, 0, 20, 45, 0x00000011);     // Galileo, not tracked
    SatEntry(p, 3, 3, 35, 40, -91, 0, 0x00000014);    // BeiDou, angles unknown
    SatEntry(p, 4, 1, 131, 38, 30, 200, 0x00000017);  // SBAS
    SatEntry(p, 5, 5, 2, 41, 70, 10, 0x0000001F);     // QZSS, used
    SatEntry(p, 6, 7, 4, 33, 40, 360, 0x00000000);    // NavIC
    SatEntry(p, 7, 4, 1, 20, 10, 10, 0x00000000);     // IMES: not a constellation of the table
    SatEntry(p, 8, 0, 12, 50, 66, 124, 0x00000000);   // GPS 12 again: one entry, the last report
    CData set;
    set.satellites.Upsert(Constellation::Gps, 30);  // an older report: replaced
    EXPECT_EQ(set.ImportUbxMessage(0x01, 0x35, p.bytes), kUbxSatellites);
    const Expected expected[] = {
        {Constellation::Gps, 12, 66, 124, 50, false, 0},
        {Constellation::Glonass, 5, -5, 300, 30, false, 2},
        {Constellation::Galileo, 11, 20, 45, kNoSnr, false, 1},
        {Constellation::BeiDou, 35, kNoAngle, kNoAngle, 40, false, 1},
        {Constellation::Sbas, 131, 30, 200, 38, false, 1},
        {Constellation::Qzss, 2, 70, 10, 41, true, 1},
        {Constellation::NavIC, 4, 40, 360, 33, false, 0},
    };
    EXPECT_EQ(set.satellites.Size(), std::size(expected));
    EXPECT_EQ(set.satellites.Find(Constellation::Gps, 30), nullptr);
    for (const Expected& e : expected)
    {
        const SatelliteEntry* s = set.satellites.Find(e.system, e.svid);
        ASSERT_NE(s, nullptr) << ConstellationLetter(e.system) << e.svid;
        EXPECT_EQ(s->elevationDeg, e.elevation);
        EXPECT_EQ(s->azimuthDeg, e.azimuth);
        EXPECT_EQ(s->snrDbHz, e.snr);
        EXPECT_EQ(s->used, e.used);
        EXPECT_EQ(s->health, e.health);
    }
    // The classic SV record: GPS satellites only, in channel entries.
    EXPECT_EQ(set.sv.count, 1);
    EXPECT_EQ(set.sv.entries[0].prn, 12);
    EXPECT_EQ(set.sv.entries[0].elevation, 66);
    EXPECT_EQ(set.sv.entries[0].azimuth, 124);
    EXPECT_EQ(set.sv.entries[0].signal, 50);
    EXPECT_STREQ(set.ublox.satelliteUtc.data(), "181855.50");  // GPS time less 18 leap seconds

    // An announced count beyond the payload reads only the entries present.
    Payload cut(8 + 12 * 2);
    cut.U32(0, 1000).U8(5, 200);
    SatEntry(cut, 0, 0, 1, 40, 10, 10, 0);
    SatEntry(cut, 1, 0, 2, 40, 10, 10, 0);
    cut.bytes.resize(8 + 12 * 2 - 1);
    (void)set.ImportUbxMessage(0x01, 0x35, cut.bytes);
    EXPECT_EQ(set.satellites.Size(), 1U);
}

TEST(UbxDecode, NavSvInfoNumbersMapToConstellations)
{
    struct Case
    {
        int svid;
        Constellation system;
        int number;
    };
    const Case cases[] = {{7, Constellation::Gps, 7},        {33, Constellation::BeiDou, 6},
                          {64, Constellation::BeiDou, 37},   {65, Constellation::Glonass, 1},
                          {96, Constellation::Glonass, 32},  {120, Constellation::Sbas, 120},
                          {158, Constellation::Sbas, 158},   {159, Constellation::BeiDou, 1},
                          {193, Constellation::Qzss, 1},     {211, Constellation::Galileo, 1},
                          {246, Constellation::Galileo, 36}, {255, Constellation::Glonass, 255}};
    Payload p(8 + 12 * (std::size(cases) + 2));
    p.U32(0, 2000).U8(4, static_cast<std::uint32_t>(std::size(cases) + 2));
    std::size_t k = 0;
    for (const Case& c : cases)
    {
        const std::size_t at = 8 + 12 * k++;
        p.U8(at, static_cast<std::uint32_t>(k)).U8(at + 1, static_cast<std::uint32_t>(c.svid));
        p.U8(at + 2, c.svid == 7 ? 0x19U : 0x00U).U8(at + 4, 35).U8(at + 5, 45).U16(at + 6, 90);
    }
    p.U8(8 + 12 * k + 1, 175);      // IMES: left out
    p.U8(8 + 12 * (k + 1) + 1, 0);  // no satellite
    CData set;
    EXPECT_EQ(set.ImportUbxMessage(0x01, 0x30, p.bytes), kUbxSatellites);
    EXPECT_EQ(set.satellites.Size(), std::size(cases));
    for (const Case& c : cases)
        EXPECT_NE(set.satellites.Find(c.system, c.number), nullptr) << c.svid;
    const SatelliteEntry* gps = set.satellites.Find(Constellation::Gps, 7);
    ASSERT_NE(gps, nullptr);
    EXPECT_TRUE(gps->used);
    EXPECT_EQ(gps->health, 2);  // flags bit 4: unhealthy
    EXPECT_EQ(set.sv.entries[0].state, 0x7F);
}

TEST(UbxDecode, TimesWeeksAndLeapSeconds)
{
    // NAV-TIMEGPS with week and leap seconds valid sets both; a later NAV-PVT uses that week.
    CData set;
    Payload t(16);
    t.U32(0, 420964000).I32(4, 4363).U16(8, 2024).U8(10, 17).U8(11, 0x07);
    EXPECT_EQ(set.ImportUbxMessage(0x01, 0x20, t.bytes), kUbxTime);
    EXPECT_EQ(set.ublox.week, 2024);
    EXPECT_EQ(set.ublox.leapSeconds, 17);
    (void)set.ImportUbxMessage(0x01, 0x07, Pvt().bytes);
    EXPECT_EQ(set.fix.gpsWeek, 2024);
    EXPECT_EQ(set.ublox.leapSeconds, 17);  // the receiver's own value stays

    // Invalid week and leap seconds are not taken.
    CData unset;
    t.U8(11, 0x01);
    (void)unset.ImportUbxMessage(0x01, 0x20, t.bytes);
    EXPECT_EQ(unset.ublox.week, -1);
    EXPECT_EQ(unset.ublox.leapSeconds, kUnknownLeapSeconds);

    // NAV-TIMEUTC with a valid UTC time gives the leap seconds from the two times of day.
    CData utc;
    Payload u(20);
    u.U32(0, 411553500).I32(8, 500000000).U16(12, 2021).U8(14, 6).U8(15, 10).U8(16, 18).U8(17, 18).U8(18, 55);
    u.U8(19, 0x07);
    (void)utc.ImportUbxMessage(0x01, 0x21, u.bytes);
    EXPECT_EQ(utc.ublox.leapSeconds, 18);
    EXPECT_EQ(utc.ublox.week, 2161);
}

TEST(UbxDecode, OlderPositionMessagesGiveTheFixWithoutNavPvt)
{
    // NAV-SOL (ECEF cm) of a u-blox receiver in Oregon, week 2024 valid, 3D fix, 9 satellites.
    Payload sol(52);
    sol.U32(0, 420964000).I32(4, 4363).U16(8, 2024).U8(10, 3).U8(11, 0xDD);
    sol.I32(12, -238607106).I32(16, -392219051).I32(20, 441436073).U16(44, 173).U8(47, 9);
    CData set;
    const unsigned what = set.ImportUbxMessage(0x01, 0x06, sol.bytes);
    EXPECT_NE(what & kUbxFix, 0U);
    EXPECT_STREQ(set.fix.source.data(), "NAV-SOL");
    const Triple geo = EcefToGeodeticIterative(-2386071.06, -3922190.51, 4414360.73);
    EXPECT_NEAR(set.fix.latitudeDeg, geo[0] * 57.29577951308232, 1e-9);
    EXPECT_NEAR(set.fix.latitudeDeg, 44.0688096, 1e-6);
    EXPECT_NEAR(set.fix.longitudeDeg, -121.3143092, 1e-6);
    EXPECT_STREQ(set.fix.utcText.data(), "205546.00");  // GPS 20:56:04 less 18 s
    EXPECT_STREQ(set.fix.date.data(), "251018");
    EXPECT_EQ(set.fix.satsUsed, 9);
    EXPECT_DOUBLE_EQ(set.fix.pdop, 1.73);

    // Once the stream has shown NAV-PVT, NAV-SOL and NAV-POSLLH give no further reports.
    (void)set.ImportUbxMessage(0x01, 0x07, Pvt().bytes);
    const std::uint32_t sequence = set.fix.sequence;
    EXPECT_EQ(set.ImportUbxMessage(0x01, 0x06, sol.bytes) & kUbxFix, 0U);
    EXPECT_EQ(set.ImportUbxMessage(0x01, 0x02, Payload(28).bytes) & kUbxFix, 0U);
    EXPECT_EQ(set.fix.sequence, sequence);

    // NAV-POSLLH takes over from NAV-SOL when both come, with its mean-sea-level height.
    CData older;
    Payload llh(28);
    llh.U32(0, 420965000).I32(4, -1213143088).I32(8, 440688097).I32(12, 1108000).I32(16, 1129000);
    EXPECT_NE(older.ImportUbxMessage(0x01, 0x02, llh.bytes) & kUbxFix, 0U);
    EXPECT_EQ(older.ImportUbxMessage(0x01, 0x06, sol.bytes) & kUbxFix, 0U);
    EXPECT_STREQ(older.fix.source.data(), "NAV-POSLLH");
    EXPECT_DOUBLE_EQ(older.fix.altitudeMslM, 1129.0);
}

// Counts the position reports a record set hands to the fix sink, with what each carried.
class ReportLog final : public vrn::IFixSink
{
public:
    ReportLog() { vrn::SetFixSink(this); }
    ~ReportLog() override { vrn::SetFixSink(nullptr); }
    ReportLog(const ReportLog&) = delete;
    ReportLog& operator=(const ReportLog&) = delete;
    void FixReported(const CData& set) override
    {
        sources.emplace_back(set.fix.source.data());
        carried.push_back(set.fix.carried);
    }
    std::vector<std::string> sources;
    std::vector<std::uint16_t> carried;
};

TEST(UbxDecode, PositionReportsReachTheFixSinkWithWhatTheyCarry)
{
    Payload sol(52);
    sol.U32(0, 420964000).U16(8, 2024).U8(10, 3).U8(11, 0xDD);
    sol.I32(12, -238607106).I32(16, -392219051).I32(20, 441436073).U16(44, 173).U8(47, 9);
    Payload llh(28);
    llh.U32(0, 420965000).I32(4, -1213143088).I32(8, 440688097).I32(12, 1108000).I32(16, 1129000);
    constexpr std::uint16_t kAll = kFixCarriesAltitude | kFixCarriesQuality | kFixCarriesSatsUsed;
    struct Case
    {
        const char* name;
        std::uint8_t id;
        std::vector<std::uint8_t> payload;
        std::vector<std::string> sources;  // the reports the sink got
        std::uint16_t carried;
    };
    const Case cases[] = {
        {"NAV-PVT with a fix", 0x07, Pvt().bytes, {"NAV-PVT"}, kAll},
        // No position: the altitude is not part of the report (its field stays empty in --fixes).
        {"NAV-PVT without a fix", 0x07, Pvt().U8(20, 0).bytes, {"NAV-PVT"}, kFixCarriesQuality | kFixCarriesSatsUsed},
        {"NAV-PVT with invalidLlh", 0x07, Pvt().U8(78, 0x01).bytes, {"NAV-PVT"},
         kFixCarriesQuality | kFixCarriesSatsUsed},
        // NAV-POSLLH has a mean-sea-level height but no satellite count.
        {"NAV-POSLLH", 0x02, llh.bytes, {"NAV-POSLLH"}, kFixCarriesAltitude | kFixCarriesQuality},
        // NAV-SOL counts satellites but knows no mean sea level.
        {"NAV-SOL", 0x06, sol.bytes, {"NAV-SOL"}, kFixCarriesQuality | kFixCarriesSatsUsed},
        {"NAV-DOP", 0x04, Payload(18).U32(0, 411553500).U16(6, 152).bytes, {}, 0},
        {"short NAV-PVT", 0x07, Payload(83).bytes, {}, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ReportLog log;
        CData set;
        (void)set.ImportUbxMessage(0x01, c.id, c.payload);
        EXPECT_EQ(log.sources, c.sources);
        if (!c.sources.empty())
        {
            EXPECT_EQ(log.carried.back(), c.carried);
            EXPECT_EQ(set.fix.carried, c.carried);
        }
    }

    // A GGA just imported is no longer what the views are to be told about once a frame follows.
    ReportLog log;
    CData set;
    EXPECT_EQ(set.ImportNmeaSentence("GPGGA,181855.50,5008.1051,N,01425.7968,E,4,09,1.0,304.6,M,44.3,M,,", 0), 1);
    EXPECT_EQ(set.ggaSeen, 1);
    (void)set.ImportUbxMessage(0x01, 0x35, Payload(8).bytes);
    EXPECT_EQ(set.ggaSeen, 0);
    EXPECT_EQ(log.sources, (std::vector<std::string>{"GPGGA"}));
}

TEST(UbxDecode, VersionAcknowledgementAndGeneration)
{
    struct Case
    {
        const char* hardware;
        const char* extension;
        UbxGeneration generation;
        int major;
    };
    const Case cases[] = {{"00080000", "PROTVER=18.00", UbxGeneration::M8, 18},
                          {"00070000", "PROTVER 14.00", UbxGeneration::M8, 14},
                          {"00190000", "PROTVER=27.12", UbxGeneration::F9, 27},
                          {"000A0000", "PROTVER=34.10", UbxGeneration::F9, 34},
                          {"00190000", "", UbxGeneration::F9, -1},
                          {"00040007", "", UbxGeneration::M8, -1}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.hardware);
        Payload p(40 + 30 * 2);
        p.Text(0, "ROM CORE 3.01 (107888)").Text(30, c.hardware).Text(40, "FWVER=HPG 1.12").Text(70, c.extension);
        CData set;
        EXPECT_EQ(set.ImportUbxMessage(0x0A, 0x04, p.bytes), kUbxVersion);
        EXPECT_STREQ(set.ublox.version.software.data(), "ROM CORE 3.01 (107888)");
        EXPECT_STREQ(set.ublox.version.hardware.data(), c.hardware);
        EXPECT_EQ(set.ublox.version.generation, c.generation);
        EXPECT_EQ(set.ublox.version.protocolMajor, c.major);
    }

    CData set;
    EXPECT_EQ(set.ImportUbxMessage(0x05, 0x01, std::vector<std::uint8_t>{0x06, 0x04}), kUbxAck);
    EXPECT_TRUE(set.ublox.ack.acknowledged);
    EXPECT_EQ(set.ublox.ack.cls, 0x06);
    EXPECT_EQ(set.ublox.ack.id, 0x04);
    EXPECT_EQ(set.ImportUbxMessage(0x05, 0x00, std::vector<std::uint8_t>{0x06, 0x8A}), kUbxAck);
    EXPECT_FALSE(set.ublox.ack.acknowledged);
    EXPECT_EQ(set.ublox.ack.count, 2U);
    EXPECT_EQ(set.ImportUbxMessage(0x04, 0x02, testing_support::Bytes("ANTSTATUS=OK")), kUbxText);
}
}  // namespace
