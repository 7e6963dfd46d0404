// The per-epoch order of work of the navigation engine, its reset, the channel plan and the
// input side that the mode-2 record set fills.
#include <algorithm>

#include "nav/NavEngine.h"

namespace
{
constexpr std::uint32_t kRefreshSeconds = 30;
constexpr std::uint32_t kPlanEpochs = 30;
constexpr std::uint32_t kTrackingStartCounter = 31;
constexpr int kFixesBeforeTracking = 5;
constexpr std::uint8_t kLockedSignal = 63;
}  // namespace

NavEngine& ProcessNavEngine()
{
    static NavEngine engine;
    return engine;
}

void NavEngine::QueueSubframe(const SubframeRecord& record)
{
    if (!PrnIndex(record.prn) || inputs.queueCount >= kSubframeQueueSize)
    {
        ++inputs.droppedSubframes;
        return;
    }
    QueuedSubframe& slot = inputs.queue[inputs.queueCount++];
    slot.id = record.id;
    slot.prn = record.prn;
    slot.words = record.words;
}

void NavEngine::StoreChannelMeasurements(const SatDataRecord& record)
{
    inputs.channelMeasurements = record;
}

void NavEngine::SetEpochInputs(const MeasRecord& record)
{
    inputs.subframeCount = inputs.queueCount;
    inputs.queueCount = 0;
    inputs.week = record.week;
    inputs.timeOfWeek = static_cast<double>(static_cast<std::uint32_t>(record.timeOfWeek)) * 0.01;
    inputs.intervalLowS = kClassicIntervalLowS;
    inputs.intervalHighS = kClassicIntervalHighS;
    inputs.usableChannels =
        static_cast<int>(std::count_if(record.entries.begin(), record.entries.end(),
                                       [](const MeasEntry& e) { return e.signal >= kLockedSignal; }));
}

void NavEngine::RunNavigationEpoch()
{
    if (resetPending)
    {
        ResetNavigation();
        resetPending = false;
    }
    ++epochCounter;

    const int week = inputs.week;
    const double t = inputs.timeOfWeek;
    const std::int32_t whole = ClampToInt<std::int32_t>(t);
    for (std::size_t i = 0; i < kPrnCount; ++i)
    {
        // Unsigned on purpose: a time of week that went backwards (new week) refreshes at once.
        const auto age = static_cast<std::uint32_t>(whole) - static_cast<std::uint32_t>(refreshStamps[i]);
        if (refreshStamps[i] == 0 || age > kRefreshSeconds)
        {
            RefreshLookRow(i, week, t);
            refreshStamps[i] = whole;
        }
    }

    PlanStep();

    const std::size_t count = std::min(inputs.subframeCount, kSubframeQueueSize);
    for (std::size_t k = 0; k < count; ++k)
        DecodeSubframe(inputs.queue[k].prn, inputs.queue[k].words);
    inputs.subframeCount = 0;

    if (inputs.usableChannels != 0)
        SolvePosition();

    if (planMode == PlanMode::Idle && solution.fixCounter > kFixesBeforeTracking)
    {
        planMode = PlanMode::Tracking;
        epochCounter = kTrackingStartCounter;
        const Triple xyz = GeodeticToEcef(solution.latitude, solution.longitude, solution.height);
        solution.x = xyz[0];
        solution.y = xyz[1];
        solution.z = xyz[2];
        solution.enu = LocalFrameMatrix(solution.latitude, solution.longitude);
        RefreshAllRows(week, t);
    }
}

void NavEngine::ResetNavigation()
{
    solution = NavSolution{};
    tracks = {};
    refreshStamps = {};
    planSlots = {};
    planMode = PlanMode::Idle;
    epochCounter = 0;

    almanac = BuiltInAlmanac();
    solution.almanacInUse = true;
    ephemeris = {};
    previousEphemeris = {};
    subframeSets = {};
    iono = IonoUtcParameters{};
    ionoValid = 0;
    specialMessage = {};

    solution.latitude = kDefaultLatitude;
    solution.longitude = kDefaultLongitude;
    solution.height = kDefaultHeight;
    inputs.week = 0;
    inputs.timeOfWeek = 0.0;
    solution.firstWeek = 0;
    solution.week = 0;
    solution.timeOfWeek = 0.0;

    const Triple xyz = GeodeticToEcef(solution.latitude, solution.longitude, solution.height);
    solution.x = xyz[0];
    solution.y = xyz[1];
    solution.z = xyz[2];
    solution.enu = LocalFrameMatrix(solution.latitude, solution.longitude);

    RefreshAllRows(inputs.week, inputs.timeOfWeek);
    PlanReset();
}

void NavEngine::RefreshAllRows(int week, double t)
{
    lookTable = {};
    for (std::size_t i = 0; i < kPrnCount; ++i)
        if (almanac[i].state == kAlmanacHeld || ephemeris[i].valid != 0)
            RefreshLookRow(i, week, t);
}

std::vector<int> NavEngine::PlanCandidates() const
{
    std::vector<int> list;
    for (std::size_t i = 0; i < kPrnCount; ++i)
    {
        const bool held = almanac[i].state == kAlmanacHeld;
        const bool valid = ephemeris[i].valid != 0;
        if (!held && !valid)
            continue;
        if (valid && ephemeris[i].health != 0)
            continue;
        if (held && almanac[i].health != 0)
            continue;
        if (lookTable[i].elevationDeg <= 0)
            continue;
        list.push_back(static_cast<int>(i + 1));
    }
    std::stable_sort(list.begin(), list.end(),
                     [this](int a, int b)
                     {
                         return lookTable[static_cast<std::size_t>(a - 1)].elevationDeg >
                                lookTable[static_cast<std::size_t>(b - 1)].elevationDeg;
                     });
    if (list.size() > kChannelCount)
        list.resize(kChannelCount);
    return list;
}

void NavEngine::RestartTrack(std::size_t slot)
{
    tracks[slot].goodCount = 0;
    tracks[slot].lastTime = 0.0;
}

void NavEngine::PlanReset()
{
    const std::vector<int> list = PlanCandidates();
    planSlots.fill(list.empty() ? 0 : list.front());
    for (std::size_t slot = 0; slot < kChannelCount; ++slot)
        RestartTrack(slot);
    planMode = PlanMode::Idle;
}

void NavEngine::PlanStep()
{
    if (planMode != PlanMode::Tracking || epochCounter < kPlanEpochs)
        return;
    epochCounter = 0;
    const std::vector<int> list = PlanCandidates();
    for (std::size_t slot = 0; slot < kChannelCount; ++slot)
    {
        if (planSlots[slot] != 0 && std::find(list.begin(), list.end(), planSlots[slot]) == list.end())
        {
            planSlots[slot] = 0;
            RestartTrack(slot);
        }
    }
    for (std::size_t slot = 0; slot < kChannelCount; ++slot)
    {
        if (planSlots[slot] != 0)
            continue;
        const auto next =
            std::find_if(list.begin(), list.end(),
                         [this](int prn)
                         { return std::find(planSlots.begin(), planSlots.end(), prn) == planSlots.end(); });
        if (next == list.end())
            break;
        planSlots[slot] = *next;
        RestartTrack(slot);
    }
}
