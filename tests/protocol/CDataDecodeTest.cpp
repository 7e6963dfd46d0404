// The binary message decoders, the time-field selection and the copies views keep.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "ProtocolTestSupport.h"
#include "protocol/WireBytes.h"

using namespace testing_support;

namespace
{
// Imports one message (id plus data) through the full extractor; returns the import result.
int Import(CData& set, const std::vector<std::uint8_t>& message, int byteOrder = 0,
           int importMode = kImportReceiver)
{
    std::vector<int> got;
    FeedAll(set, FramePacket(message), got, importMode, byteOrder);
    return got.empty() ? 0 : got.back();
}

std::vector<std::uint8_t> SvMessage(std::uint8_t count, std::size_t entries)
{
    std::vector<std::uint8_t> m{kIdSv};
    Put16(m, 1100);
    Put32(m, 360000);
    m.push_back(count);
    for (std::size_t k = 0; k < entries; ++k)
    {
        m.push_back(static_cast<std::uint8_t>(k));      // channel
        m.push_back(static_cast<std::uint8_t>(k + 3));  // prn
        Put16(m, static_cast<std::uint32_t>(300 + k));  // azimuth
        m.push_back(45);                                // elevation
        m.push_back(k == 0 ? 0 : 255);                  // raw signal
        m.push_back(0x2A);                              // state
    }
    return m;
}

void PutDouble(std::vector<std::uint8_t>& m, double v)
{
    const auto bits = std::bit_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i)
        m.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

std::vector<std::uint8_t> SatDataMessage(std::uint8_t count, std::size_t entries, std::size_t extraBytes = 0)
{
    std::vector<std::uint8_t> m{kIdSatData, count};
    Put16(m, static_cast<std::uint16_t>(-3));
    PutDouble(m, 345600.5);
    for (std::size_t k = 0; k < entries; ++k)
    {
        m.push_back(static_cast<std::uint8_t>(k));
        m.push_back(static_cast<std::uint8_t>(k + 1));
        PutDouble(m, 2.0e7 + static_cast<double>(k));
        PutDouble(m, -100.25);
    }
    m.insert(m.end(), extraBytes, 0x77);
    return m;
}
}  // namespace

TEST(CDataDecode, NavFieldsLittleEndianAndByteReversed)
{
    std::vector<std::uint8_t> m{kIdNav, 0x12, 0x34, 0x01, 0x02, 0x03, 0x84};
    m.resize(28, 0);
    m[19] = 0xFF;  // vx low byte
    m[20] = 0xFE;
    m[25] = 0x95;
    CData set;
    ASSERT_EQ(Import(set, m), 1);
    EXPECT_EQ(set.nav.id, kIdNav);
    EXPECT_EQ(set.nav.week, 0x3412);
    EXPECT_EQ(set.nav.timeOfWeek, static_cast<std::int32_t>(0x84030201U));
    EXPECT_EQ(set.nav.vx, static_cast<std::int16_t>(0xFEFF));
    EXPECT_EQ(set.nav.infoByte, 0x95);
    ASSERT_EQ(Import(set, m, 1), 1);
    EXPECT_EQ(set.nav.week, 0x1234);
    EXPECT_EQ(set.nav.timeOfWeek, 0x01020384);
    EXPECT_EQ(set.nav.vx, static_cast<std::int16_t>(0xFFFE));
}

TEST(CDataDecode, ShortFixedLayoutReadsTheChecksumThenZeros)
{
    // DOP message with only week and time: the rest of the layout comes from the zero-filled buffer,
    // whose first byte after the message is the checksum.
    std::vector<std::uint8_t> m{kIdDop};
    Put16(m, 2000);
    Put32(m, 100);
    CData set;
    ASSERT_EQ(Import(set, m), 1);
    const auto checksum = static_cast<std::uint8_t>(kIdDop + (2000 & 0xFF) + (2000 >> 8) + 100);
    EXPECT_EQ(set.dop.week, 2000);
    EXPECT_EQ(set.dop.gdop, checksum);
    EXPECT_EQ(set.dop.pdop, 0);
    EXPECT_EQ(set.dop.mode, 0);
}

TEST(CDataDecode, SvEntriesReadPastTheCountWithSignalConverted)
{
    CData set;
    ASSERT_EQ(Import(set, SvMessage(3, 5)), 1);
    EXPECT_EQ(set.sv.count, 3);
    EXPECT_EQ(set.sv.entries[4].prn, 7);
    EXPECT_EQ(set.sv.entries[4].azimuth, 304);
    EXPECT_EQ(set.sv.entries[5].prn, 0);
    EXPECT_EQ(set.sv.entries[0].signal, 8);   // raw 0
    EXPECT_EQ(set.sv.entries[1].signal, 56);  // raw 255
    EXPECT_EQ(set.sv.entries[1].state, 0x2A);

    // More entries than channels: the first twelve.
    ASSERT_EQ(Import(set, SvMessage(14, 14)), 1);
    EXPECT_EQ(set.sv.entries[11].channel, 11);
}

TEST(CDataDecode, SignalConversionTable)
{
    for (const auto& [raw, stored] : {std::pair{0, 8}, {9, 28}, {99, 48}, {255, 56}, {1, 14}})
    {
        auto m = SvMessage(1, 1);
        m[8 + 5] = static_cast<std::uint8_t>(raw);
        CData set;
        ASSERT_EQ(Import(set, m), 1);
        EXPECT_EQ(set.sv.entries[0].signal, stored) << "raw " << raw;
    }
}

TEST(CDataDecode, MeasEntriesAndStatusBlock)
{
    std::vector<std::uint8_t> m{kIdMeas};
    Put16(m, 1200);
    Put32(m, 7000);
    Put16(m, 65000);
    m.push_back(9);
    for (std::uint32_t k = 0; k < 2; ++k)
    {
        Put16(m, (30U << 9) | ((k + 5) << 4) | k);
        m.push_back(63);
        m.push_back(1);
        Put32(m, 21000000 + k);
        Put32(m, static_cast<std::uint32_t>(-4000));
        Put16(m, static_cast<std::uint16_t>(-1200));
    }
    CData set;
    ASSERT_EQ(Import(set, m), 1);
    EXPECT_EQ(set.meas.measWord, 65000);
    EXPECT_EQ(set.meas.entries[1].chanPrn, (30U << 9) | (6U << 4) | 1U);
    EXPECT_EQ(set.meas.entries[1].meas1, 21000001);
    EXPECT_EQ(set.meas.entries[1].meas2, -4000);
    EXPECT_EQ(set.meas.entries[1].aux, -1200);
    EXPECT_EQ(set.meas.entries[2].chanPrn, 0);

    std::vector<std::uint8_t> s{kIdStatus};
    for (std::uint8_t b = 1; b <= 44; ++b)
        s.push_back(b);
    ASSERT_EQ(Import(set, s), 1);
    EXPECT_EQ(set.status.status1, 0x04030201);
    EXPECT_EQ(set.status.status11, 0x2221);
    EXPECT_EQ(set.status.statusText[9], 44);
}

TEST(CDataDecode, SatDataKeepsToTheTableAndWholeEntries)
{
    CData set;
    // Count above the table: twelve entries, never more.
    ASSERT_EQ(Import(set, SatDataMessage(13, 13)), 1);
    EXPECT_EQ(set.satData.count, 13);
    EXPECT_EQ(set.satData.week, -3);
    EXPECT_DOUBLE_EQ(set.satData.time, 345600.5);
    EXPECT_DOUBLE_EQ(set.satData.entries[11].pseudorange, 2.0e7 + 11);
    EXPECT_DOUBLE_EQ(set.satData.entries[11].rangeRate, -100.25);

    // Two announced and present, a partial third: the rest of the table persists from before.
    ASSERT_EQ(Import(set, SatDataMessage(2, 2, 10)), 1);
    EXPECT_EQ(set.satData.count, 2);
    EXPECT_EQ(set.satData.entries[1].prn, 2);
    EXPECT_EQ(set.satData.entries[2].prn, 3);

    // One announced, three present: entries two and three are zeroed.
    ASSERT_EQ(Import(set, SatDataMessage(1, 3)), 1);
    EXPECT_EQ(set.satData.entries[1].prn, 0);
    EXPECT_EQ(set.satData.entries[2].prn, 0);
    EXPECT_EQ(set.satData.entries[3].prn, 4);

    // The doubles are never byte-reversed.
    ASSERT_EQ(Import(set, SatDataMessage(1, 1), 1), 1);
    EXPECT_DOUBLE_EQ(set.satData.time, 345600.5);
    EXPECT_EQ(set.satData.week, static_cast<std::int16_t>(0xFDFF));
}

TEST(CDataDecode, SubframeAndSatDataPersistAcrossPackets)
{
    std::vector<std::uint8_t> sub{kIdSubframe, 17};
    for (std::uint32_t k = 0; k < 10; ++k)
        Put32(sub, 0x3FFFFFFFU - k);
    CData set;
    ASSERT_EQ(Import(set, sub), 1);
    ASSERT_EQ(Import(set, SatDataMessage(1, 1)), 1);
    ASSERT_EQ(Import(set, SvMessage(1, 1)), 1);
    EXPECT_EQ(set.subframe.prn, 17);
    EXPECT_EQ(set.subframe.words[9], 0x3FFFFFF6U);
    EXPECT_EQ(set.satData.entries[0].prn, 1);
}

TEST(CDataDecode, NavigationModeDecodesOnlyItsInputs)
{
    CData set;
    EXPECT_EQ(Import(set, SvMessage(1, 1), 0, kImportNavigation), 1);
    EXPECT_EQ(set.sv.week, 0);
    EXPECT_EQ(Import(set, SatDataMessage(1, 1), 0, kImportNavigation), 1);
    EXPECT_EQ(set.satData.entries[0].prn, 1);
}

TEST(CDataTime, SelectionFollowsTheIdAndSurvivesOtherIds)
{
    CData set;
    EXPECT_EQ(set.SelectedTime(), TimeSelection::None);
    ASSERT_EQ(Import(set, SvMessage(0, 0)), 1);
    EXPECT_EQ(set.SelectedTime(), TimeSelection::Sv);
    EXPECT_EQ(set.SelectedWeek(), 1100);
    EXPECT_EQ(set.SelectedTimeOfWeek(), 360000);
    // ClearRecords resets it; the status id selects nothing.
    std::vector<std::uint8_t> s{kIdStatus};
    s.resize(45);
    ASSERT_EQ(Import(set, s), 1);
    EXPECT_EQ(set.SelectedTime(), TimeSelection::None);
    set.currentId = kIdMeas;
    set.SelectTimeFields();
    EXPECT_EQ(set.SelectedTime(), TimeSelection::Meas);
    set.currentId = kIdStatus;
    set.SelectTimeFields();
    EXPECT_EQ(set.SelectedTime(), TimeSelection::Meas);
}

TEST(CDataTime, SecondsBetweenIsUnsignedAndStaleWithoutSelection)
{
    CData a, b;
    EXPECT_EQ(a.SecondsBetween(b), 0xFFFFFFFFU);
    a.currentId = kIdNav;
    a.SelectTimeFields();
    EXPECT_EQ(a.SecondsBetween(b), 0xFFFFFFFFU);
    b.currentId = kIdDop;
    b.SelectTimeFields();
    a.nav.week = 1000;
    a.nav.timeOfWeek = 10000;
    b.dop.week = 1000;
    b.dop.timeOfWeek = 10550;
    EXPECT_EQ(a.SecondsBetween(b), 5U);
    EXPECT_EQ(b.SecondsBetween(a), (0x100000000ULL - 550) / 100);  // earlier: very large
    b.dop.week = 1001;
    b.dop.timeOfWeek = 0;
    EXPECT_EQ(a.SecondsBetween(b), 604800U - 100U);
    EXPECT_EQ(b.SecondsBetween(a), (0x100000000ULL - 60470000ULL) / 100);  // earlier week: very large
}

TEST(CDataCopy, CopiesBinaryRecordsAndReselectsTime)
{
    CData source;
    ASSERT_EQ(Import(source, SvMessage(2, 2)), 1);
    source.rmc.fields[0][0] = 'x';
    CData copy;
    copy.CopyFrom(source);
    EXPECT_EQ(copy.currentId, kIdSv);
    EXPECT_EQ(copy.sequence, source.sequence);
    EXPECT_EQ(copy.sv.entries[1].prn, 4);
    EXPECT_EQ(copy.SelectedTime(), TimeSelection::Sv);
    EXPECT_EQ(copy.rmc.fields[0][0], '\0');
    // The copy's time belongs to the copy: changing the source does not move it.
    source.sv.week = 1;
    EXPECT_EQ(copy.SelectedWeek(), 1100);
    // A plain copy keeps working after the original is cleared.
    const CData snapshot = source;
    source.ClearRecords();
    EXPECT_EQ(snapshot.SelectedWeek(), 1);
}

TEST(WireBytes, FieldsAtTheEndReadZeroPastIt)
{
    const std::vector<std::uint8_t> bytes{0x01, 0x02, 0x03, 0x04, 0x05};
    const WireBytes little(bytes, false), reversed(bytes, true);
    EXPECT_EQ(little.U32(0), 0x04030201U);
    EXPECT_EQ(reversed.U32(0), 0x01020304U);
    EXPECT_EQ(little.U32(3), 0x0504U);
    EXPECT_EQ(reversed.U32(3), 0x04050000U);
    EXPECT_EQ(little.U16(4), 0x05U);
    EXPECT_EQ(little.U8(5), 0U);
    EXPECT_EQ(little.I32(100), 0);
    EXPECT_EQ(little.F64(0), std::bit_cast<double>(std::uint64_t{0x0504030201ULL}));
}
