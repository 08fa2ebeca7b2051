#include <cmath>
#include <limits>

#include "tick_fixture.h"

namespace {

using Journal = std::vector<std::wstring>;

std::wstring Traced(PoolRole role, int action) {
    return L"进程名:" + PoolProcess(role).imagePath + L" 动作:" + std::to_wstring(action) + L"\n";
}

// Functions, not constants: the paths exist only once the test processes run.
Journal MuteChat() {
    return {kLoudMessage, Traced(kChat, 1), L"SetMute chat 1"};
}
Journal RestoreChat() {
    return {kSilentMessage, Traced(kChat, 0), L"SetMute chat 0"};
}

Journal Join(const Journal& a, const Journal& b) {
    Journal joined = a;
    joined.insert(joined.end(), b.begin(), b.end());
    return joined;
}

struct Step {
    float targetPeak;
    Journal journal;
    int32_t othersMuted;
    int32_t silentReadings;
};

TEST_F(TickTest, MutesAtALoudReadingAndRestoresAtTheSecondSilentOne) {
    FakeSession& target = endpoint.AddSession(L"player", PoolProcess(kPlayer).id);
    FakeSession& chat = endpoint.AddSession(L"chat", PoolProcess(kChat).id);
    const Step steps[] = {
        {0.2f, MuteChat(), 1, 0}, {0.0f, {}, 1, 1}, {0.0f, RestoreChat(), 0, 2}, {0.0f, {}, 0, 3},
        {0.2f, MuteChat(), 1, 0}, {0.5f, {}, 1, 0}, // holding: a loud reading runs no pass
    };
    for (const Step& step : steps) {
        target.peak = step.targetPeak;
        EXPECT_EQ(Tick(), step.journal);
        EXPECT_EQ(g_watcher.othersMuted, step.othersMuted);
        EXPECT_EQ(g_watcher.silentReadings, step.silentReadings);
        EXPECT_EQ(chat.muted, step.othersMuted);
        EXPECT_FALSE(target.muted);
        EXPECT_EQ(target.setMuteCalls, 0);
    }
    EXPECT_EQ(endpoint.lastActivateContext, 0x17u);
}

TEST_F(TickTest, EachTargetSessionIsOneReadingInEnumerationOrder) {
    struct Case {
        const char* name;
        std::vector<float> targetPeaks; // a target session before each, chat between 1st and 2nd
        int32_t othersMutedBefore;
        int32_t silentReadingsBefore;
        Journal journal;
        int32_t othersMuted;
        int32_t silentReadings;
    };
    const Case cases[] = {
        {"loud before two silent mutes and restores in one tick",
         {0.3f, 0.0f, 0.0f},
         0,
         0,
         Join(MuteChat(), RestoreChat()),
         0,
         2},
        {"silent before loud while holding restores, then mutes again",
         {0.0f, 0.3f},
         1,
         1,
         Join(RestoreChat(), MuteChat()),
         1,
         0},
        {"two silent sessions add two", {0.0f, 0.0f}, 0, 0, {}, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeEndpoint fresh;
        g_watcher.renderDevice = ComRef<IMMDevice>::AddRefOf(&fresh);
        for (size_t i = 0; i < c.targetPeaks.size(); ++i) {
            fresh.AddSession(L"player", PoolProcess(kPlayer).id).peak = c.targetPeaks[i];
            if (i == 0) {
                fresh.AddSession(L"chat", PoolProcess(kChat).id).muted = c.othersMutedBefore;
            }
        }
        g_watcher.othersMuted = c.othersMutedBefore;
        g_watcher.silentReadings = c.silentReadingsBefore;
        FakeJournal().clear();
        EXPECT_TRUE(RunTick());
        EXPECT_EQ(FakeJournal(), c.journal);
        EXPECT_EQ(g_watcher.othersMuted, c.othersMuted);
        EXPECT_EQ(g_watcher.silentReadings, c.silentReadings);
        g_watcher.renderDevice.Reset();
        EXPECT_EQ(fresh.UnbalancedReferences(), L"");
    }
}

TEST_F(TickTest, TargetExitRestoresOnlyWhenHolding) {
    TestProcess target;
    ASSERT_TRUE(StartTestProcess(L"C:\\hvtest\\exiting\\leaver.exe", false, &target));
    g_watcher.targetName = L"leaver.exe";
    endpoint.AddSession(L"chat", PoolProcess(kChat).id);
    endpoint.AddSession(L"leaver", target.id).peak = 0.4f;
    EXPECT_EQ(Tick(), MuteChat());
    EXPECT_EQ(Tick(), Journal{});
    endpoint.Session(1).peak = 0.0f;
    EXPECT_EQ(Tick(), Journal{}); // one silent reading
    EXPECT_EQ(g_watcher.silentReadings, 1);
    StopTestProcess(&target);
    const Journal gone = {kGoneMessage, Traced(kChat, 0), L"SetMute chat 0"};
    EXPECT_EQ(Tick(), gone);
    EXPECT_EQ(g_watcher.othersMuted, 0);
    EXPECT_EQ(g_watcher.silentReadings, 0);
    EXPECT_FALSE(endpoint.Session(0).muted);
    // Idle with the target gone: nothing at all, the count left alone.
    g_watcher.silentReadings = 5;
    EXPECT_EQ(Tick(), Journal{});
    EXPECT_EQ(g_watcher.silentReadings, 5);
}

TEST_F(TickTest, GoneMessageRepeatsWhileNoOtherSessionCanBeRestored) {
    g_watcher.targetName = L"absent.exe";
    g_watcher.othersMuted = 1;
    g_watcher.silentReadings = 1;
    endpoint.AddSession(L"gone", kNoSuchProcessId);
    for (int tick = 0; tick < 2; ++tick) {
        EXPECT_EQ(Tick(), Journal{kGoneMessage});
        EXPECT_EQ(g_watcher.othersMuted, 1);
        EXPECT_EQ(g_watcher.silentReadings, 0);
    }
}

TEST_F(TickTest, LoudnessThresholdEdges) {
    const float nearestBelow = 1e-6f;
    ASSERT_LT(static_cast<double>(nearestBelow), 1e-6);
    const struct {
        float peak;
        bool loud;
    } cases[] = {
        {nearestBelow, false},
        {std::nextafter(nearestBelow, 1.0f), true},
        {0.0f, false},
        {-0.5f, false},
        {std::numeric_limits<float>::quiet_NaN(), false},
        {1.0f, true},
        {std::numeric_limits<float>::infinity(), true},
    };
    FakeSession& target = endpoint.AddSession(L"player", PoolProcess(kPlayer).id);
    endpoint.AddSession(L"chat", PoolProcess(kChat).id);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.peak);
        ResetWatcher(L"player.exe");
        target.peak = c.peak;
        Tick();
        EXPECT_EQ(g_watcher.othersMuted, c.loud ? 1 : 0);
        EXPECT_EQ(g_watcher.silentReadings, c.loud ? 0 : 1);
    }
}

TEST_F(TickTest, LoudTargetAloneWritesItsMessageEveryTickAndStaysIdle) {
    endpoint.AddSession(L"player", PoolProcess(kPlayer).id).peak = 0.5f;
    endpoint.AddSession(L"denied", PoolProcess(kDenied).id);
    for (int tick = 0; tick < 2; ++tick) {
        EXPECT_EQ(Tick(), Journal{kLoudMessage});
        EXPECT_EQ(g_watcher.othersMuted, 0);
    }
}

// Holding with one silent reading: a tick that takes a silent reading would restore the others,
// so any tick that leaves everything as it was took no reading.
TEST_F(TickTest, NoReadingWhenTheTickOrTheSessionTurnFails) {
    const struct {
        const char* name;
        unsigned endpointFaults;
        unsigned targetFaults;
        bool tickResult;
    } cases[] = {
        {"no session manager", kFailActivate, 0, false},
        {"no session enumerator", kFailGetSessionEnumerator, 0, false},
        {"no session count", kFailGetCount, 0, true},
        {"no session", 0, kFailGetSession, true},
        {"no extended control", 0, kFailQueryControl2, true},
        {"no volume control", 0, kFailQueryVolume, true},
        {"no meter", 0, kFailQueryMeter, true},
        {"no process id", 0, kFailGetProcessId, true},
        {"no peak", 0, kFailGetPeakValue, true},
    };
    FakeSession& target = endpoint.AddSession(L"player", PoolProcess(kPlayer).id);
    FakeSession& chat = endpoint.AddSession(L"chat", PoolProcess(kChat).id);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_watcher.othersMuted = 1;
        g_watcher.silentReadings = 1;
        chat.muted = TRUE;
        endpoint.faults = c.endpointFaults;
        target.faults = c.targetFaults;
        EXPECT_EQ(Tick(c.tickResult), Journal{});
        EXPECT_EQ(g_watcher.othersMuted, 1);
        EXPECT_EQ(g_watcher.silentReadings, 1);
        EXPECT_TRUE(chat.muted);
    }
    // The same tick without faults restores, so the cases above did test something.
    endpoint.faults = 0;
    target.faults = 0;
    EXPECT_EQ(Tick(), RestoreChat());
}

TEST_F(TickTest, TargetThatCannotBeQueriedNeverGivesAReading) {
    g_watcher.targetName = L"guarded.exe";
    endpoint.AddSession(L"guarded", PoolProcess(kDenied).id).peak = 0.9f;
    endpoint.AddSession(L"chat", PoolProcess(kChat).id);
    EXPECT_EQ(Tick(), Journal{});
    EXPECT_EQ(g_watcher.othersMuted, 0);
}

TEST_F(TickTest, ReleasesEachSessionsReferencesInOrder) {
    endpoint.AddSession(L"player", PoolProcess(kPlayer).id);
    endpoint.AddSession(L"noMeter", PoolProcess(kChat).id).faults = kFailQueryMeter;
    endpoint.logReleases = true;
    Tick();
    const Journal expected = {L"player control", L"player extended", L"player volume",
                              L"player meter",   L"noMeter control", L"noMeter extended",
                              L"noMeter volume"};
    EXPECT_EQ(endpoint.releases, expected);
}

} // namespace
