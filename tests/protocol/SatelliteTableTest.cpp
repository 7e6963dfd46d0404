// The satellite table: identity per (constellation, number), the capacity limit, expiry and counts.
#include <gtest/gtest.h>

#include "protocol/SatelliteTable.h"

TEST(SatelliteTable, OneEntryPerConstellationAndNumberAndNothingPastTheCapacity)
{
    SatelliteTable table;
    ASSERT_NE(table.Upsert(Constellation::Gps, 5), nullptr);
    ASSERT_NE(table.Upsert(Constellation::Glonass, 5), nullptr);
    EXPECT_EQ(table.Upsert(Constellation::Gps, 5), table.Find(Constellation::Gps, 5));
    EXPECT_EQ(table.Size(), 2U);
    EXPECT_EQ(table.Upsert(Constellation::Gps, 0), nullptr);
    EXPECT_EQ(table.Upsert(Constellation::Gps, 70000), nullptr);
    for (int n = 1; n <= 200; ++n)
        if (SatelliteEntry* e = table.Upsert(Constellation::Galileo, n))
            e->used = n % 2 == 0;
    EXPECT_EQ(table.Size(), SatelliteTable::kCapacity);
    EXPECT_EQ(table.Dropped(), 2U + 200U - (SatelliteTable::kCapacity - 2U));
    EXPECT_EQ(table.CountInView(Constellation::Galileo), SatelliteTable::kCapacity - 2U);
    EXPECT_EQ(table.CountUsed(), (SatelliteTable::kCapacity - 2U) / 2U);
    const SatelliteEntry* fresh = table.Find(Constellation::Glonass, 5);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->snrDbHz, kNoSnr);
    EXPECT_EQ(fresh->elevationDeg, kNoAngle);
    EXPECT_EQ(fresh->snrBySignal[15], kNoSnr);
}

TEST(SatelliteTable, ExpiryAndRemovalKeepTheOthersAndLettersRoundTrip)
{
    SatelliteTable table;
    for (int n = 1; n <= 6; ++n)
        table.Upsert(Constellation::BeiDou, n)->lastSeenMs = n * 1000;
    table.Expire(14'000, 10'000);  // 1..3 are more than 10 s old
    EXPECT_EQ(table.Size(), 3U);
    EXPECT_EQ(table.Find(Constellation::BeiDou, 3), nullptr);
    table.Remove(table.Find(Constellation::BeiDou, 5));
    ASSERT_EQ(table.Size(), 2U);
    EXPECT_EQ(table.Entries()[0].svid, 4);
    EXPECT_EQ(table.Entries()[1].svid, 6);
    for (std::size_t i = 0; i < kConstellationCount; ++i)
    {
        const auto system = static_cast<Constellation>(i);
        EXPECT_EQ(ConstellationFromLetter(ConstellationLetter(system)), system);
    }
    EXPECT_EQ(std::string(1, ConstellationLetter(Constellation::Glonass)), "R");
    EXPECT_FALSE(ConstellationFromLetter('X').has_value());
    table.Clear();
    EXPECT_EQ(table.Size(), 0U);
}
