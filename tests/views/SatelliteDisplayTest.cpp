// What the views make of a satellite table: classic or not, the constellation filter and its
// profile text, the labels, and the signal view rows that satellites keep.
#include <gtest/gtest.h>

#include <vector>

#include "GnssTestSupport.h"
#include "views/SatelliteDisplay.h"

using gnss_test::Put;

namespace
{
SatelliteTable GpsTable(int count, std::array<char, 2> talker)
{
    SatelliteTable table;
    for (int prn = 1; prn <= count; ++prn)
    {
        SatelliteEntry* e = table.Upsert(Constellation::Gps, prn);
        e->talker = talker;
    }
    return table;
}

std::string RowsText(const SatelliteRows& rows)
{
    std::string out;
    for (const auto& row : rows.Rows())
        out += (out.empty() ? "" : " ") + (row ? SatelliteLabel(row->system, row->svid) : std::string("-"));
    return out;
}
}  // namespace

TEST(SatelliteDisplay, ClassicTablesAreTheOnesTheClassicRecordsShowWhole)
{
    struct Case
    {
        const char* name;
        SatelliteTable table;
        bool classic;
    };
    SatelliteTable gpsWithSbas = GpsTable(10, {'G', 'P'});
    gpsWithSbas.Upsert(Constellation::Sbas, 133)->talker = {'G', 'P'};
    SatelliteTable withGlonass = GpsTable(4, {'G', 'P'});
    withGlonass.Upsert(Constellation::Glonass, 5)->talker = {'G', 'L'};
    SatelliteTable gnTalker = GpsTable(4, {'G', 'N'});
    SatelliteTable binaryGlonass = GpsTable(4, {});
    binaryGlonass.Upsert(Constellation::Glonass, 5);
    const std::vector<Case> cases{
        {"empty", SatelliteTable{}, true},           {"twelve GP", GpsTable(12, {'G', 'P'}), true},
        {"GP with SBAS", gpsWithSbas, true},         {"thirteen GP", GpsTable(13, {'G', 'P'}), false},
        {"a GLONASS satellite", withGlonass, false}, {"GPS under GN", gnTalker, false},
        {"binary channels", GpsTable(12, {}), true}, {"binary with GLONASS", binaryGlonass, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsClassicTable(c.table), c.classic) << c.name;
}

TEST(SatelliteDisplay, LabelsAndTheFilterAsTheProfileKeepsIt)
{
    EXPECT_EQ(SatelliteLabel(Constellation::Gps, 5), "G05");
    EXPECT_EQ(SatelliteLabel(Constellation::BeiDou, 37), "C37");
    EXPECT_EQ(SatelliteLabel(Constellation::Sbas, 133), "S133");
    EXPECT_EQ(SatelliteLabel(Constellation::Other, 400), "?400");
    EXPECT_EQ(ConstellationName(Constellation::Galileo), "Galileo");

    const struct
    {
        const char* stored;
        const char* hidden;  // what is written back
    } cases[] = {
        {"", ""}, {"R", "R"}, {"SR", "RS"}, {"r x9R?", "R?"}, {"GRECJIS?", "GRECJIS?"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConstellationFilter::FromHiddenLetters(c.stored).HiddenLetters(), c.hidden) << c.stored;
    ConstellationFilter filter = ConstellationFilter::FromHiddenLetters("RS");
    EXPECT_FALSE(filter.Shows(Constellation::Glonass));
    EXPECT_TRUE(filter.Shows(Constellation::Gps));
    filter.Show(Constellation::Glonass, true);
    filter.Show(Constellation::Sbas, true);
    EXPECT_TRUE(filter.ShowsAll());
}

TEST(SatelliteRows, SatellitesKeepTheirRowsAndNewOnesFillTheGaps)
{
    SatelliteTable table;
    Put(table, Constellation::Galileo, 3, 10, 10, 30, false);
    Put(table, Constellation::Gps, 12, 10, 10, 30, false);
    Put(table, Constellation::Gps, 2, 10, 10, 30, false);
    Put(table, Constellation::Glonass, 7, 10, 10, 30, false);
    SatelliteRows rows;
    // Arriving together: constellation and number order.
    EXPECT_TRUE(rows.Update(table));
    EXPECT_EQ(RowsText(rows), "G02 G12 R07 E03");

    // G12 sets; its row waits; R07 stays where it was.
    table.Remove(table.Find(Constellation::Gps, 12));
    EXPECT_FALSE(rows.Update(table));
    EXPECT_EQ(RowsText(rows), "G02 - R07 E03");

    // Two arrive: the lower takes the free row, the other a new row at the end.
    Put(table, Constellation::BeiDou, 21, 10, 10, 30, false);
    Put(table, Constellation::Gps, 30, 10, 10, 30, false);
    EXPECT_TRUE(rows.Update(table));
    EXPECT_EQ(RowsText(rows), "G02 G30 R07 E03 C21");

    // The table's own order changes (a removal moves entries up): the rows do not.
    table.Remove(table.Find(Constellation::Galileo, 3));
    Put(table, Constellation::Galileo, 3, 10, 10, 30, false);
    EXPECT_FALSE(rows.Update(table));
    EXPECT_EQ(RowsText(rows), "G02 G30 R07 E03 C21");

    table.Remove(table.Find(Constellation::BeiDou, 21));
    table.Remove(table.Find(Constellation::Galileo, 3));
    rows.Update(table);
    EXPECT_EQ(RowsText(rows), "G02 G30 R07 - -");
    rows.TrimFreeRows();
    EXPECT_EQ(RowsText(rows), "G02 G30 R07");
}
