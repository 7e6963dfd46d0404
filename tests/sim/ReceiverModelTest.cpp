// The measurement model itself: range rates agree with the change of the pseudoranges, also across
// the two-hourly change of ephemeris issue, and the receiver keeps a satellite on its channel.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "sim/ReceiverModel.h"

namespace
{
using namespace vrnsim;

TEST(ReceiverModel, RangeRatesMatchThePseudorangeStepsAcrossAnIssueChange)
{
    ReceiverOptions o;
    o.start = GpsTime{2400, 7200.0 * 20 - 120.0};  // new issues two minutes in
    o.position = {24.7753 * kDegree, 121.00248 * kDegree, 150.0};
    CReceiverModel model(o);
    std::map<int, std::pair<double, double>> last;  // prn -> pseudorange, range rate
    std::map<int, int> channelOf;
    int compared = 0;
    for (int k = 0; k < 300; ++k)
    {
        const Epoch& e = model.Step(1.0);
        for (std::size_t ch = 0; ch < e.channels.size(); ++ch)
        {
            const ChannelOutput& c = e.channels[ch];
            if (c.prn == 0)
                continue;
            const auto known = channelOf.find(c.prn);
            if (known != channelOf.end())
            {
                EXPECT_EQ(known->second, static_cast<int>(ch)) << "prn " << c.prn << " changed channel";
            }
            channelOf[c.prn] = static_cast<int>(ch);
            if (!c.measured)
                continue;
            const auto before = last.find(c.prn);
            if (before != last.end())
            {
                // The mean of two range rates against the pseudorange step of the same second.
                const double step = c.pseudorangeM - before->second.first;
                EXPECT_NEAR(0.5 * (c.rangeRateMps + before->second.second), step, 0.01)
                    << "prn " << c.prn << " at " << k;
                ++compared;
            }
            last[c.prn] = {c.pseudorangeM, c.rangeRateMps};
        }
    }
    EXPECT_GT(compared, 2000);
}

}  // namespace
