// Known-answer tests of the error statistics and of their text forms.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "AnalysisTestSupport.h"
#include "analysis/AccuracyStatistics.h"

namespace
{
using namespace vrn::analysis;
using analysistest::ExpectSameTable;
using analysistest::PlainTable;

struct KnownAnswer
{
    const char* name;
    std::vector<EnuError> errors;
    int unfixed;  // extra epochs without a fix
    AccuracyTable want;
};

AccuracyTable Want(std::uint64_t epochs, std::uint64_t fixed, std::array<double, 13> m, std::array<double, 4> within)
{
    AccuracyTable t{};
    t.epochs = epochs;
    t.fixed = fixed;
    t.meanE = m[0], t.meanN = m[1], t.meanU = m[2], t.sdE = m[3], t.sdN = m[4], t.sdU = m[5];
    t.rmsH = m[6], t.rmsV = m[7], t.rms3D = m[8], t.cep50 = m[9], t.cep95 = m[10], t.drms2 = m[11], t.maxH = m[12];
    t.within = within;
    return t;
}

std::vector<EnuError> Circle(int count, double radius)
{
    std::vector<EnuError> v;
    for (int k = 0; k < count; ++k)
    {
        const double a = 2.0 * analysistest::kPi * k / count;
        v.push_back({radius * std::cos(a), radius * std::sin(a), 0.0});
    }
    return v;
}

TEST(AccuracyStatistics, KnownAnswers)
{
    const double nan = std::nan("");
    const std::vector<KnownAnswer> cases{
        // h = 5, 0, 5, 10. E: 3 0 -3 6; N: 4 0 -4 8; U: 1 -1 2 0. By hand: mean E 1.5, N 2, U 0.5;
        // E² 13.5, N² 24, U² 1.5 on average; ranks ceil(2) = 2 and ceil(3.8) = 4 of 0 5 5 10.
        {"hand-computed",
         {{3, 4, 1}, {0, 0, -1}, {-3, -4, 2}, {6, 8, 0}},
         2,
         Want(6, 4,
              {1.5, 2.0, 0.5, std::sqrt(11.25), std::sqrt(20.0), std::sqrt(1.25), std::sqrt(37.5), std::sqrt(1.5),
               std::sqrt(39.0), 5.0, 10.0, 2.0 * std::sqrt(37.5), 10.0},
              {0.25, 0.25, 0.75, 1.0})},
        // Every point at 3 m: all radii are 3, the means vanish, each axis holds half the variance.
        {"circle of 36 points",
         Circle(36, 3.0),
         0,
         Want(36, 36,
              {0, 0, 0, 3.0 / std::sqrt(2.0), 3.0 / std::sqrt(2.0), 0, 3, 0, 3, 3, 3, 6, 3}, {0, 0, 1, 1})},
        {"single epoch",
         {{1.0, -2.0, 0.5}},
         0,
         Want(1, 1,
              {1.0, -2.0, 0.5, 0, 0, 0, std::sqrt(5.0), 0.5, std::sqrt(5.25), std::sqrt(5.0), std::sqrt(5.0),
               2.0 * std::sqrt(5.0), std::sqrt(5.0)},
              {0, 0, 1, 1})},
        // A radius exactly on a limit counts as within it.
        {"on the limits",
         {{1, 0, 0}, {0, 2, 0}, {-5, 0, 0}, {0, -10, 0}},
         0,
         Want(4, 4,
              {-1.0, -2.0, 0, std::sqrt(6.5 - 1.0), std::sqrt(26.0 - 4.0), 0, std::sqrt(32.5), 0, std::sqrt(32.5),
               2.0, 10.0, 2.0 * std::sqrt(32.5), 10.0},
              {0.25, 0.5, 0.75, 1.0})},
        {"empty", {}, 0, Want(0, 0, {nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan},
                              {nan, nan, nan, nan})},
        {"no fixed epoch", {}, 3, Want(3, 0, {nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan},
                                       {nan, nan, nan, nan})},
    };
    for (const auto& c : cases)
    {
        CErrorStatistics stats;
        std::uint64_t key = 0;
        for (const auto& e : c.errors)
            stats.AddFix(e, key++);
        for (int k = 0; k < c.unfixed; ++k)
            stats.AddEpoch();
        ExpectSameTable(stats.Table(), c.want, 1e-12, c.name);
    }
}

TEST(AccuracyStatistics, NearestRankPercentiles)
{
    // Ranks ceil(p·n): n = 20 gives 10 and 19 (no rounding up to 20); n = 21 gives 11 and 20.
    for (const auto& [n, rank50, rank95] : std::vector<std::tuple<int, int, int>>{
             {1, 1, 1}, {2, 1, 2}, {3, 2, 3}, {20, 10, 19}, {21, 11, 20}, {100, 50, 95}, {101, 51, 96}})
    {
        CErrorStatistics stats;
        for (int k = 1; k <= n; ++k)
            stats.AddFix({static_cast<double>(k), 0.0, 0.0}, static_cast<std::uint64_t>(k));
        EXPECT_EQ(stats.HorizontalPercentile(50), rank50) << n;
        EXPECT_EQ(stats.HorizontalPercentile(95), rank95) << n;
    }
}

// Adding and removing in ring order for a long time matches a fresh two-pass computation of what is
// left, including equal radii (kept apart by their keys) and huge offsets far from the scatter.
TEST(AccuracyStatistics, RemovalLeavesWhatAFreshComputationGives)
{
    std::mt19937_64 random(5);
    std::normal_distribution<double> noise(0.0, 2.0);
    for (const double offset : {0.0, 250.0, 40'000.0})
    {
        CErrorStatistics stats;
        std::vector<EnuError> all;
        constexpr std::size_t kWindow = 500;
        for (std::size_t k = 0; k < 20'000; ++k)
        {
            EnuError e{offset + noise(random), noise(random), noise(random)};
            if (k % 7 == 0)
                e = {3.0, 4.0, 1.0};  // many equal radii
            all.push_back(e);
            stats.AddFix(e, k);
            if (all.size() > kWindow)
                stats.RemoveFix(all[all.size() - kWindow - 1], all.size() - kWindow - 1);
        }
        const std::vector<EnuError> window(all.end() - kWindow, all.end());
        ExpectSameTable(stats.Table(), PlainTable(window, kWindow), 1e-6, "offset " + std::to_string(offset));
    }
}

TEST(AccuracyStatistics, RemovingWhatWasNeverAddedChangesNothing)
{
    CErrorStatistics stats;
    stats.AddFix({1, 1, 1}, 1);
    stats.RemoveFix({1, 1, 1}, 2);   // another key
    stats.RemoveFix({2, 1, 1}, 1);   // another error
    EXPECT_EQ(stats.Fixed(), 1U);
    EXPECT_EQ(stats.Epochs(), 1U);
    stats.RemoveEpoch();
    stats.RemoveEpoch();  // never below zero
    EXPECT_EQ(stats.Epochs(), 0U);
}

TEST(AccuracyStatistics, LineAndTabSeparatedText)
{
    CErrorStatistics stats;
    stats.AddFix({3, 4, 1}, 0);
    stats.AddFix({0, 0, -1}, 1);
    stats.AddFix({-3, -4, 2}, 2);
    stats.AddFix({6, 8, 0}, 3);
    stats.AddEpoch();
    EXPECT_EQ(FormatTableLine("receiver1", stats.Table()),
              "source=receiver1 epochs=5 fixed=4 meanE=1.500 meanN=2.000 meanU=0.500 sdE=3.354 sdN=4.472 "
              "sdU=1.118 rmsH=6.124 rmsV=1.225 rms3D=6.245 cep50=5.000 cep95=10.000 drms2=12.247 maxH=10.000 "
              "within1m=0.2500 within2m=0.2500 within5m=0.7500 within10m=1.0000");
    EXPECT_EQ(FormatTableLine("own", CErrorStatistics().Table()),
              "source=own epochs=0 fixed=0 meanE= meanN= meanU= sdE= sdN= sdU= rmsH= rmsV= rms3D= cep50= cep95= "
              "drms2= maxH= within1m= within2m= within5m= within10m=");

    // A mean that rounds to zero prints without a sign.
    CErrorStatistics tiny;
    tiny.AddFix({-0.0001, 0.0, -0.0004}, 0);
    EXPECT_NE(FormatTableLine("own", tiny.Table()).find("meanE=0.000 meanN=0.000 meanU=0.000"), std::string::npos);

    const std::string tsv = FormatTableTsv({{"Receiver 1", stats.Table()}, {"Own fix", CErrorStatistics().Table()}});
    const auto firstLineEnd = tsv.find('\n');
    EXPECT_EQ(tsv.substr(0, firstLineEnd),
              "source\tepochs\tfixed\tmeanE\tmeanN\tmeanU\tsdE\tsdN\tsdU\trmsH\trmsV\trms3D\tcep50\tcep95\tdrms2\t"
              "maxH\twithin1m\twithin2m\twithin5m\twithin10m");
    EXPECT_NE(tsv.find("Receiver 1\t5\t4\t1.500\t"), std::string::npos);
    EXPECT_NE(tsv.find("Own fix\t0\t0\t\t\t"), std::string::npos);
    EXPECT_EQ(std::count(tsv.begin(), tsv.end(), '\n'), 3);
}

TEST(ReferencePoint, ErrorsInTheLocalFrameOfTheReference)
{
    const analysistest::Point origin{24.7753, 121.00248, 150.0};
    const ReferencePoint reference(origin.latitudeDeg, origin.longitudeDeg, origin.heightM);
    for (const auto& [e, n, u] : std::vector<std::tuple<double, double, double>>{
             {0, 0, 0}, {10, 0, 0}, {0, -7.5, 0}, {0, 0, 33}, {1234.5, -876.25, -12.0}})
    {
        const auto p = analysistest::Offset(origin, e, n, u);
        const EnuError got = reference.ErrorOf(p.latitudeDeg, p.longitudeDeg, p.heightM);
        EXPECT_NEAR(got.e, e, 1e-6);
        EXPECT_NEAR(got.n, n, 1e-6);
        EXPECT_NEAR(got.u, u, 1e-6);
    }
}
}  // namespace
