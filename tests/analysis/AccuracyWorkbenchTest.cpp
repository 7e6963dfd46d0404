// The workbench against each kind of reference, its ring, its re-centring on a moving mean, and the
// truth file.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "AnalysisTestSupport.h"
#include "analysis/AccuracyWorkbench.h"

namespace
{
using namespace vrn::analysis;
using analysistest::Epoch;
using analysistest::ExpectSameTable;
using analysistest::Offset;
using analysistest::PlainTable;
using analysistest::Point;

const Point kOrigin{24.7753, 121.00248, 150.0};
constexpr double kT0 = 2400 * 604800.0 + 345600.0;

ReferenceChoice Typed(const Point& p)
{
    ReferenceChoice c;
    c.kind = ReferenceKind::Position;
    c.latitudeDeg = p.latitudeDeg;
    c.longitudeDeg = p.longitudeDeg;
    c.heightM = p.heightM;
    return c;
}

// A typed reference: the table of epochs placed at known offsets, with unfixed and NaN epochs that
// count in `epochs` only.
TEST(AccuracyWorkbench, TypedReferenceSkipsUnfixedAndNaNEpochs)
{
    CAccuracyWorkbench bench;
    bench.SetReference(Typed(kOrigin));
    // No radius right on a limit: the positions go through latitude and longitude and back.
    const std::vector<EnuError> offsets{{3, 4.2, 1}, {0.3, 0.1, -1}, {-3, -4.1, 2}, {6, 8.3, 0}};
    for (const auto& o : offsets)
        bench.AddEpoch(SourceId::Receiver1, Epoch(Offset(kOrigin, o.e, o.n, o.u)));
    bench.AddEpoch(SourceId::Receiver1, Epoch(Offset(kOrigin, 500, 500, 0), 0));  // no fix
    PositionEpoch nan = Epoch(kOrigin);
    nan.heightM = std::nan("");
    bench.AddEpoch(SourceId::Receiver1, nan);
    bench.Refresh();
    bench.Settle();
    ExpectSameTable(bench.Table(SourceId::Receiver1), PlainTable(offsets, 6), 1e-6, "typed");
    ExpectSameTable(bench.Table(SourceId::Own), PlainTable({}, 0), 0, "no epochs");
    EXPECT_EQ(bench.ErrorAt(SourceId::Receiver1, 4).state, EpochState::EpochOnly);
    EXPECT_EQ(bench.ErrorAt(SourceId::Receiver1, 0).state, EpochState::Counted);
    EXPECT_NEAR(bench.ErrorAt(SourceId::Receiver1, 3).error.n, 8.3, 1e-6);
}

// Each source against its own mean: a symmetric pattern about a centre gives the pattern back (to
// the micrometres by which a mean of latitudes, longitudes and heights differs from the centroid).
TEST(AccuracyWorkbench, OwnMeanReferenceCentresEachSourceOnItself)
{
    CAccuracyWorkbench bench;
    const Point centre2 = Offset(kOrigin, 1000, -2000, 30);
    const std::vector<EnuError> pattern{{2.2, 0, 1}, {-2.2, 0, -1}, {0, 3.3, 0.5}, {0, -3.3, -0.5}, {0, 0, 0}};
    for (const auto& o : pattern)
    {
        bench.AddEpoch(SourceId::Receiver1, Epoch(Offset(kOrigin, o.e, o.n, o.u)));
        bench.AddEpoch(SourceId::Receiver2, Epoch(Offset(centre2, 2 * o.e, 2 * o.n, 2 * o.u)));
    }
    bench.Settle();
    ExpectSameTable(bench.Table(SourceId::Receiver1), PlainTable(pattern, 5), 1e-5, "receiver 1");
    std::vector<EnuError> doubled;
    for (const auto& o : pattern)
        doubled.push_back({2 * o.e, 2 * o.n, 2 * o.u});
    ExpectSameTable(bench.Table(SourceId::Receiver2), PlainTable(doubled, 5), 1e-5, "receiver 2");
    ASSERT_TRUE(bench.Centre(SourceId::Receiver2));
    EXPECT_NEAR(bench.Centre(SourceId::Receiver2)->LatitudeDeg(), centre2.latitudeDeg, 1e-9);

    // Every source against receiver 2's mean: receiver 1 sits about 2.2 km away from it.
    ReferenceChoice choice;
    choice.kind = ReferenceKind::SourceMean;
    choice.source = SourceId::Receiver2;
    bench.SetReference(choice);
    const AccuracyTable t = bench.Table(SourceId::Receiver1);
    EXPECT_NEAR(t.meanE, -1000.0, 0.5);
    EXPECT_NEAR(t.meanN, 2000.0, 0.5);
    EXPECT_NEAR(std::hypot(t.meanE, t.meanN), t.cep50, 5.0);
}

// The truth: the row nearest in time within 0.5 s, the frame at the truth position; epochs without
// a row are left out of every figure, `epochs` too.
TEST(AccuracyWorkbench, TruthRowsNearestInTimeAndMissingRowsLeftOut)
{
    std::string csv = "week,tow,x,y,z,lat,lon,height\n";
    std::vector<Point> truth;
    for (int k = 0; k < 10; ++k)
    {
        truth.push_back(Offset(kOrigin, 10.0 * k, 5.0 * k, 0.0));  // a moving receiver
        if (k == 6)
            continue;  // a gap in the file
        char line[200];
        std::snprintf(line, sizeof line, "2400,%.4f,0,0,0,%.12f,%.12f,%.6f\n", 345600.0 + k, truth[k].latitudeDeg,
                      truth[k].longitudeDeg, truth[k].heightM);
        csv += line;
    }
    std::string error;
    auto table = CTruthTable::Parse(csv, error);
    ASSERT_TRUE(table) << error;

    CAccuracyWorkbench bench;
    ReferenceChoice choice;
    choice.kind = ReferenceKind::Truth;
    bench.SetReference(choice);
    bench.SetTruth(std::make_shared<CTruthTable>(*table));
    for (int k = 0; k < 10; ++k)
    {
        // The fix is 1 m north of the truth; its time 0.3 s late (still the same row), at k = 8 0.7 s
        // late (nearer the next row).
        const double lateness = k == 8 ? 0.7 : 0.3;
        const Point fix = Offset(truth[k], 0.0, 1.0, 0.0);
        bench.AddEpoch(SourceId::Own, Epoch(fix, 3, kT0 + k + lateness));
    }
    bench.AddEpoch(SourceId::Own, Epoch(kOrigin, 3, kT0 + 100));  // far from every row
    bench.Settle();
    const AccuracyTable t = bench.Table(SourceId::Own);
    // Rows 0..9 without 6; the epoch at 6.3 s has none within 0.5 s (5 is 1.3 s, 7 is 0.7 s away); the
    // epoch at 8.7 s takes row 9 (0.3 s away), where the fix is 1 m north of row 8 instead.
    EXPECT_EQ(t.epochs, 9U);
    EXPECT_EQ(t.fixed, 9U);
    EXPECT_EQ(bench.ErrorAt(SourceId::Own, 6).state, EpochState::LeftOut);
    EXPECT_EQ(bench.ErrorAt(SourceId::Own, 10).state, EpochState::LeftOut);
    for (int k : {0, 1, 2, 3, 4, 5, 7, 9})
    {
        EXPECT_NEAR(bench.ErrorAt(SourceId::Own, static_cast<std::size_t>(k)).error.n, 1.0, 1e-6) << k;
        EXPECT_NEAR(bench.ErrorAt(SourceId::Own, static_cast<std::size_t>(k)).error.e, 0.0, 1e-6) << k;
    }
    const EnuError shifted = bench.ErrorAt(SourceId::Own, 8).error;
    EXPECT_NEAR(shifted.e, -10.0, 1e-3);
    EXPECT_NEAR(shifted.n, -4.0, 1e-3);
}

// Another source at the same epoch: receiver 1 against the own fix, whose epochs come later or not
// at all; an own epoch without a fix leaves receiver 1's epoch out.
TEST(AccuracyWorkbench, OtherSourceAtTheSameEpoch)
{
    CAccuracyWorkbench bench;
    ReferenceChoice choice;
    choice.kind = ReferenceKind::Source;
    choice.source = SourceId::Own;
    bench.SetReference(choice);
    for (int k = 0; k < 6; ++k)
    {
        const Point own = Offset(kOrigin, k, 0, 0);
        bench.AddEpoch(SourceId::Receiver1, Epoch(Offset(own, 0, 2, 0), 3, kT0 + k));
        if (k == 2)
        {
            EXPECT_EQ(bench.ErrorAt(SourceId::Receiver1, 2).state, EpochState::Pending);
        }
        if (k != 4)
            bench.AddEpoch(SourceId::Own, Epoch(own, k == 3 ? 0 : 3, kT0 + k + 0.0005));
    }
    bench.Settle();
    const AccuracyTable t = bench.Table(SourceId::Receiver1);
    EXPECT_EQ(t.epochs, 4U);  // k = 3 (own has no fix) and k = 4 (no own epoch) are left out
    EXPECT_EQ(t.fixed, 4U);
    EXPECT_NEAR(t.meanN, 2.0, 1e-6);
    EXPECT_NEAR(t.meanE, 0.0, 1e-6);
    EXPECT_NEAR(t.maxH, 2.0, 1e-6);
    EXPECT_EQ(bench.ErrorAt(SourceId::Receiver1, 4).state, EpochState::LeftOut);
    // The own fix against itself: all zero.
    EXPECT_NEAR(bench.Table(SourceId::Own).rms3D, 0.0, 1e-9);
}

// A ring of 50 epochs fed 400: the same table as a two-pass computation over the last 50, for a
// typed reference at once and for the running mean after Settle; Refresh in small slices converges
// on the mean in between.
TEST(AccuracyWorkbench, RingKeepsTheNewestEpochsAndMatchesAFreshComputation)
{
    std::mt19937_64 random(11);
    std::normal_distribution<double> noise(0.0, 3.0);
    constexpr std::size_t kCapacity = 50;
    for (const ReferenceKind kind : {ReferenceKind::Position, ReferenceKind::OwnMean})
    {
        CAccuracyWorkbench bench(kCapacity);
        ReferenceChoice choice = Typed(kOrigin);
        choice.kind = kind;
        bench.SetReference(choice);
        std::vector<PositionEpoch> epochs;
        for (int k = 0; k < 400; ++k)
        {
            // A slow drift makes the mean move all the time.
            epochs.push_back(Epoch(Offset(kOrigin, 0.05 * k + noise(random), noise(random), noise(random)),
                                   k % 9 == 0 ? 0 : 3));
            bench.AddEpoch(SourceId::Own, epochs.back());
            bench.Refresh(7);
        }
        const std::vector<PositionEpoch> kept(epochs.end() - kCapacity, epochs.end());
        // The reference point a fresh computation uses.
        Point centre = kOrigin;
        if (kind == ReferenceKind::OwnMean)
        {
            double la = 0, lo = 0, h = 0, n = 0;
            for (const auto& e : kept)
                if (e.Fixed())
                    la += e.latitudeDeg, lo += e.longitudeDeg, h += e.heightM, ++n;
            centre = {la / n, lo / n, h / n};
        }
        const ReferencePoint r(centre.latitudeDeg, centre.longitudeDeg, centre.heightM);
        std::vector<EnuError> errors;
        for (const auto& e : kept)
            if (e.Fixed())
                errors.push_back(r.ErrorOf(e.latitudeDeg, e.longitudeDeg, e.heightM));
        const AccuracyTable want = PlainTable(errors, kCapacity);
        if (kind == ReferenceKind::OwnMean)
        {
            // Without new epochs the slices catch up with the mean, to a small share of the scatter.
            for (int k = 0; k < 30; ++k)
                bench.Refresh(7);
            ExpectSameTable(bench.Table(SourceId::Own), want, 0.05, "running mean before Settle");
        }
        bench.Settle();
        ExpectSameTable(bench.Table(SourceId::Own), want, 1e-6, kind == ReferenceKind::Position ? "typed" : "mean");
        EXPECT_EQ(bench.Series(SourceId::Own).Size(), kCapacity);
    }
}

TEST(AccuracyWorkbench, ResetForgetsEveryEpochButKeepsTheReference)
{
    CAccuracyWorkbench bench;
    bench.SetReference(Typed(kOrigin));
    bench.AddEpoch(SourceId::Receiver2, Epoch(Offset(kOrigin, 1, 1, 1)));
    const auto revision = bench.Revision();
    bench.Reset();
    EXPECT_GT(bench.Revision(), revision);
    EXPECT_EQ(bench.Table(SourceId::Receiver2).epochs, 0U);
    EXPECT_EQ(bench.Series(SourceId::Receiver2).Size(), 0U);
    bench.AddEpoch(SourceId::Receiver2, Epoch(Offset(kOrigin, 0, 3, 0)));
    EXPECT_NEAR(bench.Table(SourceId::Receiver2).meanN, 3.0, 1e-6);

    // One source alone starts over; the others keep theirs.
    bench.AddEpoch(SourceId::Own, Epoch(Offset(kOrigin, 0, 1, 0)));
    bench.Reset(SourceId::Receiver2);
    EXPECT_EQ(bench.Table(SourceId::Receiver2).epochs, 0U);
    EXPECT_EQ(bench.Table(SourceId::Own).epochs, 1U);
}

TEST(TruthTable, ParsesItsColumnsInAnyOrderAndRefusesBadRows)
{
    struct Case
    {
        const char* name;
        const char* text;
        bool ok;
        const char* errorPart;
    };
    const std::vector<Case> cases{
        {"simulator layout", "week,tow,x,y,z,lat,lon,height,vx\n2400,1.5,0,0,0,24.5,121.5,150,0\n", true, ""},
        {"other order, CRLF, blank lines", "lat,height,tow,lon,week\r\n\r\n24.5,150,1.5,121.5,2400\r\n", true, ""},
        {"missing column", "week,tow,lat,lon\n2400,1,2,3\n", false, "no column 'height'"},
        {"malformed number", "week,tow,lat,lon,height\n2400,1,2,x,4\n", false, "line 2"},
        {"short row", "week,tow,lat,lon,height\n2400,1,2\n", false, "line 2"},
        {"no header", "", false, "no header"},
    };
    for (const auto& c : cases)
    {
        std::string error;
        const auto table = CTruthTable::Parse(c.text, error);
        EXPECT_EQ(table.has_value(), c.ok) << c.name;
        if (table)
        {
            ASSERT_EQ(table->Size(), 1U) << c.name;
            EXPECT_DOUBLE_EQ(table->Rows()[0].gpsSeconds, 2400 * 604800.0 + 1.5) << c.name;
            EXPECT_DOUBLE_EQ(table->Rows()[0].longitudeDeg, 121.5) << c.name;
        }
        else
        {
            EXPECT_NE(error.find(c.errorPart), std::string::npos) << c.name << ": " << error;
        }
    }
    std::string error;
    EXPECT_FALSE(CTruthTable::Load("/nonexistent/truth.csv", error));
    EXPECT_NE(error.find("/nonexistent/truth.csv"), std::string::npos);
}

TEST(TruthTable, NearestRowWithinHalfASecond)
{
    std::string error;
    const auto table = CTruthTable::Parse("week,tow,lat,lon,height\n0,10,1,0,0\n0,12,2,0,0\n0,11,3,0,0\n", error);
    ASSERT_TRUE(table);
    for (const auto& [t, want] : std::vector<std::pair<double, double>>{
             {10.0, 1}, {10.5, 1}, {10.6, 3}, {11.5, 3}, {11.51, 2}, {12.5, 2}, {9.5, 1}, {9.49, 0}, {12.51, 0}})
    {
        const TruthRow* row = table->Nearest(t);
        EXPECT_EQ(row ? row->latitudeDeg : 0.0, want) << t;
    }
}
}  // namespace
