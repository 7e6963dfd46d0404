// The raw-measurement stream through the navigation engine: the engine and the simulator compute
// orbits, clocks and delays with separate code, so agreement here vouches for both.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SimTestSupport.h"

namespace
{
using namespace vrnsim;

struct LoopResult
{
    int epochs = 0;
    int firstFix = -1;
    double maxError = 0.0;
    double sumSquares = 0.0;
    int compared = 0;
    double maxSpeedError = 0.0;
};

// Runs `seconds` of test-mode output through the engine, comparing each epoch's solution with the
// truth from 120 s after the first fix on.
LoopResult RunLoop(const StreamOptions& options, double seconds)
{
    CSimStream stream(options);
    CData set;
    simtest::EngineDriver driver;
    LoopResult r;
    std::vector<std::uint8_t> bytes;
    double firstFixTime = -1.0;
    for (;;)
    {
        bytes.clear();
        const double at = stream.Next(bytes);
        if (at >= seconds)
            break;
        const Epoch& truth = stream.LastEpoch();
        simtest::FeedBinary(set, bytes, 97, [&](const CData& s) { driver.OnPacket(s); });
        const NavSolution& sol = driver.engine.solution;
        if (sol.fixMode != 0 && firstFixTime < 0.0)
            firstFixTime = at;
        if (firstFixTime >= 0.0 && at >= firstFixTime + 120.0)
        {
            const double error =
                simtest::Distance(sol.x, sol.y, sol.z, truth.position.x, truth.position.y, truth.position.z);
            r.maxError = std::max(r.maxError, sol.fixMode != 0 ? error : 1e9);
            r.sumSquares += error * error;
            ++r.compared;
            const double speedError = simtest::Distance(sol.vx, sol.vy, sol.vz, truth.velocity.x,
                                                        truth.velocity.y, truth.velocity.z);
            r.maxSpeedError = std::max(r.maxSpeedError, speedError);
        }
    }
    r.epochs = driver.epochs;
    r.firstFix = static_cast<int>(firstFixTime);
    return r;
}

TEST(EngineClosedLoop, StaticReceiverWithoutNoiseStaysWithinAMetre)
{
    const LoopResult r = RunLoop(simtest::Options(SimProtocol::Test), 400.0);
    ASSERT_GE(r.firstFix, 0) << "no fix";
    EXPECT_LT(r.firstFix, 90);
    ASSERT_GT(r.compared, 100);
    EXPECT_LT(r.maxError, 1.0);
    EXPECT_LT(r.maxSpeedError, 0.1);
}

TEST(EngineClosedLoop, NoisyPseudorangesGiveAFewMetresRms)
{
    const LoopResult r = RunLoop(simtest::Options(SimProtocol::Test, 3.0, 7), 400.0);
    ASSERT_GE(r.firstFix, 0) << "no fix";
    ASSERT_GT(r.compared, 100);
    EXPECT_LT(std::sqrt(r.sumSquares / r.compared), 3.0);
}

TEST(EngineClosedLoop, MovingReceiverAcrossAnEphemerisCutover)
{
    StreamOptions o = simtest::Options(SimProtocol::Test);
    o.start = GpsTime{2400, 7200.0 * 3 - 200.0};  // new issues 200 s in
    o.velocityEnu = {12.0, 5.0, 0.5};
    const LoopResult r = RunLoop(o, 420.0);
    ASSERT_GE(r.firstFix, 0) << "no fix";
    EXPECT_LT(r.maxError, 1.0);
    EXPECT_LT(r.maxSpeedError, 0.1);
}

// The fix keeps up with moving receivers (carried along the velocity before each step), from 120 s
// after the first fix on.
TEST(EngineClosedLoop, MovingReceiversStayWithinAMetre)
{
    const std::vector<Vec3> velocities{{12.0, 5.0, 0.5}, {-25.0, 3.0, 0.0}, {0.0, -40.0, -0.5}};
    for (const Vec3& v : velocities)
    {
        StreamOptions o = simtest::Options(SimProtocol::Test);
        o.velocityEnu = v;
        const LoopResult r = RunLoop(o, 400.0);
        ASSERT_GE(r.firstFix, 0) << "no fix at " << v.x << ", " << v.y << ", " << v.z;
        ASSERT_GT(r.compared, 100);
        EXPECT_LT(r.maxError, 1.0) << v.x << ", " << v.y << ", " << v.z;
        EXPECT_LT(r.maxSpeedError, 0.1) << v.x << ", " << v.y << ", " << v.z;
    }
}

}  // namespace
