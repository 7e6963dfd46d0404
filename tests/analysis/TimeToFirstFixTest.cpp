// Time to first fix from report sequences, and the campaign on a simulated clock.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/TimeToFirstFix.h"

namespace
{
using namespace vrn::analysis;

struct Report
{
    double at;
    bool fix;
};

TEST(TtffMeter, FirstFixAfterTheCommand)
{
    struct Case
    {
        const char* name;
        std::vector<Report> reports;  // receiver 1; the command goes out at 10 s
        std::optional<double> want;
    };
    const std::vector<Case> cases{
        {"fix lost, then back", {{9.0, true}, {10.5, false}, {11.5, false}, {40.2, true}}, 30.2},
        // Fixes within 1.5 s of the command were on the line before the receiver restarted.
        {"stale fix in flight", {{10.3, true}, {11.0, false}, {12.0, true}}, 2.0},
        {"no report without a fix: the first after the stale window", {{10.4, true}, {11.4, true}, {12.4, true}},
         2.4},
        {"an early fix after a reported loss counts", {{10.2, false}, {10.9, true}}, 0.9},
        {"never fixed", {{10.5, false}, {200.0, false}}, std::nullopt},
    };
    for (const auto& c : cases)
    {
        CTtffMeter meter;
        meter.CommandSent(0, kStartCold, 10.0);
        EXPECT_TRUE(meter.Waiting(SourceId::Receiver1)) << c.name;
        EXPECT_FALSE(meter.Waiting(SourceId::Own)) << c.name;  // the own fix never reported
        EXPECT_FALSE(meter.Waiting(SourceId::Receiver2)) << c.name;
        for (const Report& r : c.reports)
            meter.OnReport(SourceId::Receiver1, r.fix, r.at);
        const auto& state = meter.State(SourceId::Receiver1);
        EXPECT_EQ(state.waiting, !c.want.has_value()) << c.name;
        if (c.want)
        {
            ASSERT_TRUE(state.lastTtffS) << c.name;
            EXPECT_NEAR(*state.lastTtffS, *c.want, 1e-9) << c.name;
            EXPECT_EQ(state.lastStartMode, kStartCold) << c.name;
        }
    }
}

TEST(TtffMeter, OwnFixFollowsReceiverOneOnlyWhenItReports)
{
    CTtffMeter meter;
    meter.OnReport(SourceId::Own, true, 8.0);
    meter.CommandSent(0, kStartHot, 10.0);
    EXPECT_TRUE(meter.Waiting(SourceId::Own));
    meter.CommandSent(1, kStartWarm, 10.0);
    EXPECT_TRUE(meter.Waiting(SourceId::Receiver2));
    meter.OnReport(SourceId::Own, false, 11.0);
    meter.OnReport(SourceId::Own, true, 16.0);
    EXPECT_NEAR(*meter.State(SourceId::Own).lastTtffS, 6.0, 1e-12);
    meter.Cancel(1);
    EXPECT_FALSE(meter.Waiting(SourceId::Receiver2));

    CTtffMeter quiet;
    quiet.OnReport(SourceId::Own, true, 1.0);
    quiet.CommandSent(0, kStartHot, 10.0);  // the own fix last reported 9 s ago
    EXPECT_FALSE(quiet.Waiting(SourceId::Own));
    quiet.CommandSent(0, 0, 20.0);  // no start mode: nothing is measured
    EXPECT_TRUE(quiet.Waiting(SourceId::Receiver1));
    EXPECT_EQ(quiet.State(SourceId::Receiver1).commandAt, 10.0);
}

TEST(TtffSummary, MinMedianMax)
{
    const TtffSummary odd = Summarise({3.0, std::nullopt, 1.0, 2.0});
    EXPECT_EQ(odd.runs, 4);
    EXPECT_EQ(odd.failures, 1);
    EXPECT_EQ(odd.minS, 1.0);
    EXPECT_EQ(odd.medianS, 2.0);
    EXPECT_EQ(odd.maxS, 3.0);
    EXPECT_EQ(Summarise({4.0, 1.0, 2.0, 10.0}).medianS, 3.0);
    const TtffSummary none = Summarise({std::nullopt});
    EXPECT_EQ(none.failures, 1);
    EXPECT_TRUE(std::isnan(none.medianS));
}

// Three cold starts of receiver 1 with the own fix following: a receiver that needs 35, 40 and 45 s
// and an own fix 5 s faster; the campaign waits 10 s after each run and times a silent run out.
TEST(TtffCampaign, RunsTheStartsAndSummarisesEachSource)
{
    CTtffMeter meter;
    CTtffCampaign campaign;
    CampaignSettings settings;
    settings.runs = 4;
    settings.port = 0;
    settings.startMode = kStartCold;
    settings.waitS = 10.0;
    settings.timeoutS = 100.0;
    const std::vector<double> receiverTtff{35.0, 40.0, 45.0, -1.0};  // the last run never fixes
    int starts = 0;
    double startedAt = 0.0;
    bool finished = false;
    campaign.Start(settings, 0.0);
    for (double now = 0.0; now < 2000.0 && !finished; now += 0.5)
    {
        // One report a second from each source.
        if (std::fmod(now, 1.0) == 0.0 && starts > 0)
        {
            const double since = now - startedAt;
            const double rx = receiverTtff[static_cast<std::size_t>(starts - 1)];
            meter.OnReport(SourceId::Receiver1, rx > 0 && since >= rx, now);
            meter.OnReport(SourceId::Own, rx > 0 && since >= rx - 5.0, now);
        }
        else if (starts == 0)
            meter.OnReport(SourceId::Own, true, now);
        switch (campaign.Poll(meter, now))
        {
            case CTtffCampaign::Step::SendStart:
                meter.CommandSent(settings.port, settings.startMode, now);
                campaign.Started(meter, now);
                startedAt = now;
                ++starts;
                break;
            case CTtffCampaign::Step::Finished:
                finished = true;
                break;
            case CTtffCampaign::Step::Nothing:
                break;
        }
    }
    ASSERT_TRUE(finished);
    EXPECT_EQ(starts, 4);
    EXPECT_EQ(campaign.RunsDone(), 4);
    EXPECT_FALSE(campaign.Running());
    const TtffSummary rx = campaign.Summary(SourceId::Receiver1);
    EXPECT_EQ(rx.runs, 4);
    EXPECT_EQ(rx.failures, 1);
    EXPECT_EQ(rx.minS, 35.0);
    EXPECT_EQ(rx.medianS, 40.0);
    EXPECT_EQ(rx.maxS, 45.0);
    const TtffSummary own = campaign.Summary(SourceId::Own);
    EXPECT_EQ(own.runs, 4);
    EXPECT_EQ(own.minS, 30.0);
    EXPECT_EQ(own.maxS, 40.0);
    EXPECT_EQ(campaign.Summary(SourceId::Receiver2).runs, 0);
}
}  // namespace
