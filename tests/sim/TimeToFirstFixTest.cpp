// Time to first fix against the simulated receiver's start modes: the program's own initialisation
// command restarts the receiver between two epochs, the raw-measurement stream goes through the chunk
// loop in test mode, and the meter times the receiver's fix (its NAV and DOP records) and the own fix
// on the stream's clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>

#include "SimTestSupport.h"
#include "analysis/BinaryFix.h"
#include "analysis/PositionSeries.h"
#include "analysis/TimeToFirstFix.h"
#include "link/ChunkParser.h"
#include "link/Notifications.h"
#include "link/ReceiverCommand.h"

namespace
{
using namespace vrnsim;
using vrn::analysis::CEpochBuilder;
using vrn::analysis::CTtffMeter;
using vrn::analysis::SourceId;

// The receiver's NAV and DOP reports and the own set's epochs go to the meter as they leave the
// chunk loop.
class FixSink : public vrn::IChunkSink
{
public:
    explicit FixSink(CTtffMeter& meter) : m_meter(meter) {}
    void Activity(unsigned /*code*/) override {}
    void NotifyViews(unsigned message, unsigned wParam, const CData& set) override
    {
        if (message != vrn::kMsgBinaryData)
            return;
        if (wParam == vrn::kSourcePort2)
        {
            if (set.currentId == kIdMeas)
                m_meter.OnReport(SourceId::Own, CEpochBuilder::HasFixNow(set.fix), now);
            return;
        }
        const ::ReceiverFix* fix = m_binaryFix.Offer(set);
        if (fix != nullptr && (set.currentId == kIdNav || set.currentId == kIdDop))
            m_meter.OnReport(SourceId::Receiver1, CEpochBuilder::HasFixNow(*fix), now);
    }
    double now = 0.0;

private:
    CTtffMeter& m_meter;
    vrn::analysis::CBinaryFixFallback m_binaryFix;
};

struct Measured
{
    std::vector<double> receiver, own;
};

double Mean(const std::vector<double>& v)
{
    return v.empty() ? 0.0 : std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

// `runs` starts in `resetMode` (the settings' 0 hot .. 2 cold), each after the fix of the one before
// and a pause that moves the next start to another place in the 30-s subframe cycle.
Measured RunStarts(int resetMode, int runs)
{
    CSimStream stream(simtest::Options(SimProtocol::Test));
    auto context = std::make_unique<vrn::ParseContext>();
    CTtffMeter meter;
    FixSink sink(meter);
    std::vector<std::uint8_t> bytes;
    double at = 0.0;
    auto step = [&] {
        bytes.clear();
        at = stream.Next(bytes);
        sink.now = at;
        for (std::size_t k = 0; k < bytes.size(); k += vrn::kChunkSize)
            vrn::ParseChunk(*context, std::span(bytes).subspan(k, std::min(vrn::kChunkSize, bytes.size() - k)), 0,
                            vrn::kModeTest, sink);
    };
    while (at < 150.0)  // the own fix settles first
        step();

    vrn::ReceiverInitFields init;
    init.resetMode = resetMode;
    init.protocol = 2;
    const auto command = vrn::EncodeInitCommand(vrn::BuildInitCommand(init, "4800", vrn::kCommandConfiguredBaud, 0),
                                                false);
    Measured measured;
    for (int run = 0; run < runs; ++run)
    {
        const double sentAt = at + 0.4;
        (void)stream.Apply(command);
        meter.CommandSent(0, resetMode + 1, sentAt);
        EXPECT_TRUE(meter.Waiting(SourceId::Own));
        while ((meter.Waiting(SourceId::Receiver1) || meter.Waiting(SourceId::Own)) && at < sentAt + 200.0)
            step();
        EXPECT_FALSE(meter.Waiting(SourceId::Receiver1)) << "run " << run;
        EXPECT_FALSE(meter.Waiting(SourceId::Own)) << "run " << run;
        measured.receiver.push_back(meter.State(SourceId::Receiver1).lastTtffS.value_or(1e9));
        measured.own.push_back(meter.State(SourceId::Own).lastTtffS.value_or(1e9));
        const double pauseUntil = at + 20.0 + 7.0 * run;
        while (at < pauseUntil)
            step();
    }
    return measured;
}

TEST(TimeToFirstFix, SimulatedStartModesTakePlausibleTimes)
{
    struct Case
    {
        const char* name;
        int resetMode;
        double minMean, maxMean;  // the receiver's mean over the runs
    };
    const std::vector<Case> cases{
        {"hot", 0, 0.5, 3.0},
        {"warm", 1, 20.0, 40.0},
        {"cold", 2, 30.0, 55.0},
    };
    std::vector<double> means;
    for (const auto& c : cases)
    {
        const Measured m = RunStarts(c.resetMode, 4);
        const double mean = Mean(m.receiver);
        EXPECT_GE(mean, c.minMean) << c.name;
        EXPECT_LE(mean, c.maxMean) << c.name;
        // The own fix needs the receiver's measurements with ephemerides, plus the engine's few epochs
        // of continuity: never long before the receiver, never long after it.
        for (std::size_t k = 0; k < m.own.size(); ++k)
        {
            EXPECT_GE(m.own[k], m.receiver[k] - 2.0) << c.name << " run " << k;
            EXPECT_LE(m.own[k], m.receiver[k] + 12.0) << c.name << " run " << k;
        }
        means.push_back(mean);
    }
    EXPECT_LT(means[0], means[1]);
    EXPECT_LT(means[1], means[2]);
}
}  // namespace
