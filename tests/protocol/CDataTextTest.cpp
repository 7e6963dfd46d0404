// The log lines rendered from binary records.
#include <gtest/gtest.h>

#include <algorithm>

#include "ProtocolTestSupport.h"

namespace
{
std::size_t Numbers(const std::string& line)
{
    return static_cast<std::size_t>(std::ranges::count(line, ',')) + 1;
}
}  // namespace

TEST(CDataText, NavLineWithSignsAndNoInfoWord)
{
    CData set;
    set.currentId = kIdNav;
    set.nav = {kIdNav, 1000, 123456, 1, -2, 3, 4, -5, 6, 7, 999};
    std::string line;
    ASSERT_EQ(set.FormatRecordText(line, 1, 1, 1, 1), 1);
    EXPECT_EQ(line, "1,1000,123456,1,-2,3,4,-5,6,7");
    set.nav.timeOfWeek = INT32_MIN;
    set.nav.week = 65535;
    ASSERT_EQ(set.FormatRecordText(line, 1, 0, 0, 0), 1);
    EXPECT_EQ(line, "1,65535,-2147483648,1,-2,3,4,-5,6,7");
    set.currentId = kIdNavA;
    ASSERT_EQ(set.FormatRecordText(line, 1, 0, 0, 0), 1);
    EXPECT_EQ(line.substr(0, 2), "0,");
}

TEST(CDataText, DopKindFromTheId)
{
    CData set;
    set.dop = {kIdDop, 2000, 360000, 10, 20, 30, 40, 50, 0x83};
    set.currentId = kIdDopA;
    std::string line;
    ASSERT_EQ(set.FormatRecordText(line, 0, 1, 0, 0), 1);
    EXPECT_EQ(line, "1,2000,360000,10,20,30,40,50,131");
    set.currentId = kIdDop;
    ASSERT_EQ(set.FormatRecordText(line, 0, 1, 0, 0), 1);
    EXPECT_EQ(line, "2,2000,360000,10,20,30,40,50,131");
}

TEST(CDataText, SvAndMeasLinesAlwaysCarryTwelveGroups)
{
    CData set;
    set.currentId = kIdSv;
    set.sv.week = 1;
    set.sv.count = 1;
    set.sv.entries[0] = {3, 17, 359, 80, 48, 7, 0};
    std::string line;
    ASSERT_EQ(set.FormatRecordText(line, 0, 0, 1, 0), 1);
    EXPECT_EQ(Numbers(line), 4U + 72U);
    EXPECT_EQ(line.substr(0, 28), "3,1,0,1,3,17,359,80,48,7,0,0");

    set.currentId = kIdMeas;
    set.meas.measWord = 65535;
    set.meas.entries[11] = {0xFFFF, 63, 2, -1, 2147483647, -32768, {}};
    ASSERT_EQ(set.FormatRecordText(line, 0, 0, 0, 1), 1);
    EXPECT_EQ(Numbers(line), 5U + 72U);
    EXPECT_EQ(line.substr(0, 10), "4,0,0,6553");
    EXPECT_TRUE(line.ends_with(",65535,63,2,-1,2147483647,-32768")) << line;
}

TEST(CDataText, DisabledKindsAndOtherIdsRenderNothing)
{
    CData set;
    std::string line = "old";
    set.currentId = kIdSv;
    EXPECT_EQ(set.FormatRecordText(line, 1, 1, 0, 1), 0);
    EXPECT_TRUE(line.empty());
    for (const int id : {0, 7, 9, 10, 12, 128})
    {
        set.currentId = static_cast<std::uint8_t>(id);
        EXPECT_EQ(set.FormatRecordText(line, 1, 1, 1, 1), 0) << id;
        EXPECT_TRUE(line.empty());
    }
}
